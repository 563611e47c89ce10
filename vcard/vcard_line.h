// How one vCard line is written in each version, apart from which lines a record holds:
// parameters and types, escaping or cleaning of text, quoted-printable and charset labels
// (2.1), line folding (3.0 and 4.0), and the forms of dates and timestamps. The record
// layout asks these rules and never tests the version itself, so a version is one row of
// the table in vcard_line.cpp.
//
// Written by hand: no library in Debian's archive writes vCard 2.1 as Windows address books
// read it (the libraries there write 3.0 or 4.0 only, and pull in GLib or Qt).
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "vcard/code_page.h"
#include "vcard/dates.h"
#include "vcard/vcard_version.h"

namespace cw::vcard {

// How text values are made safe for the line.
enum class TextForm {
  kCleaned,  // 2.1 as the original writes it: ";" and ":" become spaces
  kEscaped,  // 3.0 and 4.0: "\" "," ";" as \\ \, \; and every line break as \n
};

// How the types of a property are written.
enum class TypeForm {
  kBare,            // 2.1: "TEL;HOME;VOICE"
  kTypeParamUpper,  // 3.0: "TEL;TYPE=HOME,VOICE"
  kTypeParamLower,  // 4.0: "TEL;TYPE=home,voice"
};

enum class DateForm {
  kBasic,     // 19800307
  kExtended,  // 1980-03-07
};

enum class StampForm {
  kLocalBasic,   // 20260101T090503, the local time
  kUtcExtended,  // 2026-01-01T09:05:03Z
  kUtcBasic,     // 20260101T090503Z
};

// How an embedded photo is written.
enum class PhotoForm {
  kBase64,     // 2.1: PHOTO;ENCODING=BASE64;TYPE=JPEG: then indented lines and a blank line
  kEncodingB,  // 3.0: PHOTO;ENCODING=b;TYPE=JPEG:..., folded
  kDataUri,    // 4.0: PHOTO;VALUE=uri:data:image/jpeg;base64,..., folded
};

struct LineRules {
  VCardVersion version;
  TextForm text;
  TypeForm types;
  // Line breaks and (in the ANSI file) text beyond ASCII are written quoted-printable, with a
  // CHARSET parameter naming the code page: 2.1 only. Without, the record is UTF-8.
  bool quoted_printable;
  std::size_t fold_at;  // the longest line in octets; 0: lines are never folded
  // Type names this version does not write ("pref" and "internet" have no 4.0 form); empty
  // entries are unused.
  std::array<std::string_view, 2> dropped_types;
  std::size_t name_components;      // N: 4 in 2.1 as the original writes it; 5 in 3.0 and 4.0
  bool full_name_of_present_parts;  // FN joins only present name parts; 2.1 joins all three
  DateForm dates;
  StampForm revision;
  // The per-row UTF-8 file begins with a byte-order mark (Windows address books want it for
  // 2.1; the importers of 3.0 and 4.0 files refuse it).
  bool utf8_byte_order_mark;
  // Every value of a multi-valued kind gets its own line; 2.1 keeps the last column's only, as
  // the original does.
  bool repeats;
  // A cell of white space only gives no line and no component, as if empty; 2.1 writes it as
  // the original does.
  bool blank_is_absent;
  // The anniversary's date form: 2.1 and 3.0 have no anniversary of their own, and their
  // readers take an ISO date (KContacts reads no other form there).
  DateForm anniversary_dates;
  PhotoForm photos;
  std::string_view photo_link;  // the parameters of a photo given by its address, "" in 4.0
};

// The rules of `version`; every version has its row.
const LineRules& RulesFor(VCardVersion version);

// Writes the values and lines of one record under one version's rules.
class LineWriter {
 public:
  // `ansi`: the ANSI file's code page (2.1 only), or nullptr for UTF-8. `lost_characters`
  // counts the characters that code page lacks, written as "?"; may be nullptr.
  LineWriter(const LineRules& rules, const CodePage* ansi, std::size_t* lost_characters)
      : rules_(rules), ansi_(ansi), lost_(lost_characters) {}

  const LineRules& Rules() const { return rules_; }

  // Appends a cell's text to a value being composed, made safe as the version says (for
  // 2.1 cleaned; in every version, control characters other than tab and line breaks
  // become spaces, as they would stop or mislead a reader).
  void AppendText(std::string& value, std::string_view text) const;
  // Appends a text that 2.1 writes as it is (e-mail addresses and web sites); escaped as any
  // text in the later versions.
  void AppendVerbatim(std::string& value, std::string_view text) const;
  // Appends an address (a web site): 2.1 writes it as AppendVerbatim does; the later versions
  // as a URI value, which has no text escaping, so "," and ";" stay as they are, and the bytes
  // a URI may not hold (beyond ASCII, controls, spaces, "\" and the like) are percent-encoded.
  void AppendUri(std::string& value, std::string_view text) const;
  void AppendDate(std::string& value, const Date& date) const { AppendDate(value, date, rules_.dates); }
  void AppendDate(std::string& value, const Date& date, DateForm form) const;
  // The time a record was built, in the version's form: local, or converted to UTC.
  void AppendStamp(std::string& value, const LocalTime& time) const;

  // Appends "NAME;types:value" for a value composed with the Append calls above (its
  // component separators ";" already in it), folded as the version says. In 2.1 a value
  // holding a line break, or in the ANSI file a character beyond ASCII, is written
  // quoted-printable, in the code page with the CHARSET that names it.
  void WriteLine(std::string& out, std::string_view name, std::span<const std::string_view> types,
                 std::string_view value) const;
  // Appends the PHOTO line of an image's bytes, `type` "jpeg", "png" or "gif", in base64.
  void WritePhoto(std::string& out, std::string_view type, std::string_view bytes) const;
  // Appends the PHOTO line of an image given by its http(s) address.
  void WritePhotoLink(std::string& out, std::string_view uri) const;

 private:
  void AppendTypes(std::string& out, std::span<const std::string_view> types) const;
  void Fold(std::string& out, std::size_t line_start) const;

  const LineRules& rules_;
  const CodePage* ansi_;
  std::size_t* lost_;
};

}  // namespace cw::vcard
