namespace cw::vcard {}
