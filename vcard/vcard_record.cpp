// Statement numbers. The lines of the original record keep theirs, 304 to 348, even where a
// line is now written for several columns (each repeat reports under its line's number). The
// lines of the kinds added after the original 26 are numbered from 500 up, in the order they
// stand in the record, two apart as the original's are, so that no number the original gave
// changes its meaning:
//   500 NICKNAME            after FN
//   502 ORG                 (organization; department)
//   504 TITLE               the job title
//   506 TEL                 "Other Phone", after the original phones
//   508 510 512 EMAIL       home, work, other, after the original e-mail
//   514 516                 the anniversary: recognising its date, then its line (after BDAY)
//   518 CATEGORIES          one line for the categories of every Categories column
//   520 PHOTO
// Each is one number for its test and its line, as the phones are, except the anniversary.
//
// The record is the table kProperties, walked in order: one row per line a row may give, with
// the cells it reads, its value form, its name in each version and when it is written. A new
// property, or one more form of a property that some address book reads, is one more row; how
// each line is written (escaping, types, quoted-printable, folding) is the line layer's.
#include "vcard/vcard_record.h"

#include <algorithm>
#include <optional>

#include "vcard/vcard_line.h"

namespace cw::vcard {
namespace {

using mapping::FieldKind;
using Types = std::span<const std::string_view>;

constexpr std::string_view kHomeVoice[] = {"home", "voice"};
constexpr std::string_view kWorkVoice[] = {"work", "voice"};
constexpr std::string_view kCell[] = {"cell"};
constexpr std::string_view kHomeFax[] = {"home", "fax"};
constexpr std::string_view kWorkFax[] = {"work", "fax"};
constexpr std::string_view kPager[] = {"pager"};
constexpr std::string_view kEmail[] = {"internet", "pref"};
constexpr std::string_view kHome[] = {"home"};
constexpr std::string_view kWork[] = {"work"};
constexpr std::string_view kVoice[] = {"voice"};
// In capitals in every version: type names are case-insensitive, but KContacts takes an
// e-mail address's type only as HOME or WORK.
constexpr std::string_view kEmailHome[] = {"internet", "HOME"};
constexpr std::string_view kEmailWork[] = {"internet", "WORK"};
constexpr std::string_view kEmailOther[] = {"internet"};
// KContacts takes a web site's type only as HOME or WORK, too.
constexpr std::string_view kUpperHome[] = {"HOME"};
constexpr std::string_view kUpperWork[] = {"WORK"};

// How a property's value is made from its cells.
enum class ValueForm {
  kFixed,       // a text of the program's own: "VCARD", the version, the product, the UID
  kText,        // one cell's text, cleaned (2.1) or escaped
  kVerbatim,    // one cell's text that 2.1 writes uncleaned (an e-mail address); escaped later
  kUri,         // an address: 2.1 writes it uncleaned, the later versions as a URI, never escaped
  kStructured,  // components separated by ";", each a cell's text
  kFullName,    // the name parts joined by spaces, or a stand-in where the row has none
  kList,        // the comma-separated categories of every cell of the kind
  kDate,        // a recognised date
  kStamp,       // the time the record was built
  kPhoto,       // the image's bytes, or its address
};

// When a property's line is written.
enum class Presence {
  kAlways,
  kAnyCell,     // one of its cells is present
  kDate,        // its cell holds or reads as a date
  kCategories,  // its cells give at least one category
  kPhoto,       // the row has an image or a photo address
  kUid,         // the caller gave a UID
};

// The date form of a date line.
enum class DatesOf {
  kVersion,      // the version's (BDAY)
  kAnniversary,  // the version's anniversary form
  kExtended,     // 1980-03-07 in every version
};

// What a fixed text is.
enum class Fixed { kNone, kBegin, kEnd, kVersion, kProduct, kUid };

struct Property {
  int test;       // the statement of its test; 0: no test of its own
  int statement;  // the statement that composes its line
  std::span<const FieldKind> kinds;
  ValueForm form;
  std::array<std::string_view, 3> name;  // per version, in the order of kVersionRows; "": not written
  Types types;
  Presence presence;
  Fixed fixed = Fixed::kNone;
  // kStructured: empty components before the first cell's (ADR: post office box, extended
  // address); N pads its components to the version's count; ORG leaves out an empty last.
  std::size_t leading_empty = 0;
  bool padded_to_name_components = false;
  bool empty_last_dropped = false;
  // kDate: which date form it takes.
  DatesOf dates = DatesOf::kVersion;
};

template <std::size_t N>
constexpr std::array<std::string_view, 3> Every(const char (&name)[N]) {
  return {name, name, name};
}

constexpr FieldKind kNoKinds[1] = {FieldKind::kIgnore};
constexpr std::span<const FieldKind> kNone(kNoKinds, 0);

// N's components in their order: family, given, additional names, prefix (and in the later
// versions an empty suffix).
constexpr FieldKind kNameParts[] = {FieldKind::kLastName, FieldKind::kFirstName, FieldKind::kMiddleInitial,
                                    FieldKind::kTitle};
// FN's parts in their order.
constexpr FieldKind kFullNameParts[] = {FieldKind::kFirstName, FieldKind::kMiddleInitial, FieldKind::kLastName};
// What stands for FN when a row has no name part, so that importers take the contact: the
// first of these that is present.
constexpr FieldKind kFullNameStandIns[] = {FieldKind::kNickname,   FieldKind::kOrganization, FieldKind::kEmail,
                                           FieldKind::kEmailHome,  FieldKind::kEmailWork,    FieldKind::kEmailOther,
                                           FieldKind::kCellular,   FieldKind::kHomeVoice,    FieldKind::kWorkVoice,
                                           FieldKind::kOtherPhone, FieldKind::kHomeFax,      FieldKind::kWorkFax,
                                           FieldKind::kPager,      FieldKind::kWebsiteHome,  FieldKind::kWebsiteWork};
constexpr FieldKind kOrganization[] = {FieldKind::kOrganization, FieldKind::kDepartment};
constexpr FieldKind kWorkAddress[] = {FieldKind::kWorkAddress, FieldKind::kWorkCity, FieldKind::kWorkRegion,
                                      FieldKind::kWorkZip, FieldKind::kWorkCountry};
constexpr FieldKind kHomeAddress[] = {FieldKind::kHomeAddress, FieldKind::kHomeCity, FieldKind::kHomeRegion,
                                      FieldKind::kHomeZip, FieldKind::kHomeCountry};

template <FieldKind kKind>
constexpr FieldKind kOne[1] = {kKind};

// The record's lines in their order. (One row a line: clang-format would spread a row over
// ten.)
// clang-format off
constexpr Property kProperties[] = {
    {0, 304, kNone, ValueForm::kFixed, Every("BEGIN"), {}, Presence::kAlways, Fixed::kBegin},
    {0, 306, kNone, ValueForm::kFixed, Every("VERSION"), {}, Presence::kAlways, Fixed::kVersion},
    {0, 306, kNone, ValueForm::kFixed, {"", "PRODID", "PRODID"}, {}, Presence::kAlways, Fixed::kProduct},
    {0, 308, kNameParts, ValueForm::kStructured, Every("N"), {}, Presence::kAlways, Fixed::kNone, 0, true},
    {0, 310, kFullNameParts, ValueForm::kFullName, Every("FN"), {}, Presence::kAlways},
    {500, 500, kOne<FieldKind::kNickname>, ValueForm::kText, Every("NICKNAME"), {}, Presence::kAnyCell},
    {502, 502, kOrganization, ValueForm::kStructured, Every("ORG"), {}, Presence::kAnyCell, Fixed::kNone, 0, false, true},
    {504, 504, kOne<FieldKind::kJobTitle>, ValueForm::kText, Every("TITLE"), {}, Presence::kAnyCell},
    {312, 312, kOne<FieldKind::kHomeVoice>, ValueForm::kText, Every("TEL"), kHomeVoice, Presence::kAnyCell},
    {314, 314, kOne<FieldKind::kWorkVoice>, ValueForm::kText, Every("TEL"), kWorkVoice, Presence::kAnyCell},
    {316, 316, kOne<FieldKind::kCellular>, ValueForm::kText, Every("TEL"), kCell, Presence::kAnyCell},
    {318, 318, kOne<FieldKind::kHomeFax>, ValueForm::kText, Every("TEL"), kHomeFax, Presence::kAnyCell},
    {320, 320, kOne<FieldKind::kWorkFax>, ValueForm::kText, Every("TEL"), kWorkFax, Presence::kAnyCell},
    {322, 322, kOne<FieldKind::kPager>, ValueForm::kText, Every("TEL"), kPager, Presence::kAnyCell},
    {506, 506, kOne<FieldKind::kOtherPhone>, ValueForm::kText, Every("TEL"), kVoice, Presence::kAnyCell},
    {324, 324, kOne<FieldKind::kEmail>, ValueForm::kVerbatim, Every("EMAIL"), kEmail, Presence::kAnyCell},
    {508, 508, kOne<FieldKind::kEmailHome>, ValueForm::kVerbatim, Every("EMAIL"), kEmailHome, Presence::kAnyCell},
    {510, 510, kOne<FieldKind::kEmailWork>, ValueForm::kVerbatim, Every("EMAIL"), kEmailWork, Presence::kAnyCell},
    {512, 512, kOne<FieldKind::kEmailOther>, ValueForm::kVerbatim, Every("EMAIL"), kEmailOther, Presence::kAnyCell},
    {326, 326, kOne<FieldKind::kNotes>, ValueForm::kText, Every("NOTE"), {}, Presence::kAnyCell},
    {330, 330, kOne<FieldKind::kWebsiteHome>, ValueForm::kUri, Every("URL"), kUpperHome, Presence::kAnyCell},
    {332, 332, kOne<FieldKind::kWebsiteWork>, ValueForm::kUri, Every("URL"), kUpperWork, Presence::kAnyCell},
    {334, 336, kWorkAddress, ValueForm::kStructured, Every("ADR"), kWork, Presence::kAnyCell, Fixed::kNone, 2},
    {338, 340, kHomeAddress, ValueForm::kStructured, Every("ADR"), kHome, Presence::kAnyCell, Fixed::kNone, 2},
    {342, 344, kOne<FieldKind::kBirthday>, ValueForm::kDate, Every("BDAY"), {}, Presence::kDate},
    // The anniversary in each form a reader takes, one date read once: 2.1 and 3.0 have no
    // property of their own, and KContacts reads X-ANNIVERSARY there (with an ISO date);
    // Android's importer reads ANNIVERSARY in every version and no X- form, so 3.0 has both;
    // Evolution Data Server reads X-EVOLUTION-ANNIVERSARY only, in every version. That one is
    // in ISO's extended form everywhere: KContacts reads it too, and a basic 20050620 there
    // would undo the anniversary it read from the line before.
    {514, 516, kOne<FieldKind::kAnniversary>, ValueForm::kDate, {"X-ANNIVERSARY", "X-ANNIVERSARY", "ANNIVERSARY"}, {}, Presence::kDate, Fixed::kNone, 0, false, false, DatesOf::kAnniversary},
    {514, 516, kOne<FieldKind::kAnniversary>, ValueForm::kDate, {"", "ANNIVERSARY", ""}, {}, Presence::kDate, Fixed::kNone, 0, false, false, DatesOf::kAnniversary},
    {514, 516, kOne<FieldKind::kAnniversary>, ValueForm::kDate, Every("X-EVOLUTION-ANNIVERSARY"), {}, Presence::kDate, Fixed::kNone, 0, false, false, DatesOf::kExtended},
    // One CATEGORIES line holds the categories of every Categories column (in 2.1 of the
    // last): readers that keep one CATEGORIES line per contact (KContacts) lose none.
    {518, 518, kOne<FieldKind::kCategories>, ValueForm::kList, Every("CATEGORIES"), {}, Presence::kCategories},
    {520, 520, kOne<FieldKind::kPhoto>, ValueForm::kPhoto, Every("PHOTO"), {}, Presence::kPhoto},
    {0, 346, kNone, ValueForm::kStamp, Every("REV"), {}, Presence::kAlways},
    {0, 346, kNone, ValueForm::kFixed, {"", "", "UID"}, {}, Presence::kUid, Fixed::kUid},
    {0, 348, kNone, ValueForm::kFixed, Every("END"), {}, Presence::kAlways, Fixed::kEnd},
};
// clang-format on

constexpr FieldKind kMultiValued[] = {FieldKind::kHomeVoice,   FieldKind::kWorkVoice,  FieldKind::kCellular,
                                      FieldKind::kHomeFax,     FieldKind::kWorkFax,    FieldKind::kPager,
                                      FieldKind::kOtherPhone,  FieldKind::kEmail,      FieldKind::kEmailHome,
                                      FieldKind::kEmailWork,   FieldKind::kEmailOther, FieldKind::kWebsiteHome,
                                      FieldKind::kWebsiteWork, FieldKind::kCategories};

std::size_t VersionIndex(VCardVersion version) {
  for (std::size_t i = 0; i < kVersionRows.size(); ++i) {
    if (kVersionRows[i].version == version) return i;
  }
  return 0;  // not reached: every version has its row
}

// The categories of a cell, "Family, Friends": the texts between commas, without the blanks
// around them; empty ones are dropped.
template <typename Each>
void ForEachCategory(std::string_view cell, Each&& each) {
  while (!cell.empty()) {
    const std::size_t comma = std::min(cell.find(','), cell.size());
    std::string_view one = cell.substr(0, comma);
    while (!one.empty() && (one.front() == ' ' || one.front() == '\t')) one.remove_prefix(1);
    while (!one.empty() && (one.back() == ' ' || one.back() == '\t')) one.remove_suffix(1);
    if (!one.empty()) each(one);
    cell.remove_prefix(std::min(comma + 1, cell.size()));
  }
}

// Runs the tests and compositions of one record, through the caller's steps when given, and
// composes the lines straight into the record.
class LineRunner {
 public:
  explicit LineRunner(RecordSteps* steps) : steps_(steps) { record_.reserve(kTypicalRecordBytes); }

  template <typename Condition>
  bool Test(int number, Condition&& test) {
    return steps_ ? steps_->Test(number, test) : test();
  }
  // `compose(record)` appends one line; a line whose step fails leaves nothing behind.
  template <typename Compose>
  void Add(int number, Compose&& compose) {
    mark_ = record_.size();
    // Two pointers: small enough for std::function to hold without allocating.
    const auto append = [this, &compose] {
      if (mark_ > 0) record_ += "\r\n";
      compose(record_);
    };
    if (!steps_) {
      append();
    } else if (!steps_->Step(number, append)) {
      record_.resize(mark_);
    }
  }
  // A value being put together from several fields, kept between lines for its room.
  std::string& Scratch() {
    scratch_.clear();
    return scratch_;
  }
  std::string Take() { return std::move(record_); }

 private:
  static constexpr std::size_t kTypicalRecordBytes = 512;
  RecordSteps* steps_;
  std::string record_;
  std::size_t mark_ = 0;  // where the line being added begins
  std::string scratch_;
};

// One record being built: the row, the version's rules and the walk over kProperties.
class Builder {
 public:
  Builder(const ContactFields& fields, const LocalTime& build_time, const DateRecognizer& dates, RecordSteps* steps,
          const RecordOptions& options)
      : fields_(fields),
        build_time_(build_time),
        dates_(dates),
        options_(options),
        rules_(RulesFor(options.version)),
        version_index_(VersionIndex(options.version)),
        w_(rules_, RowOf(options.version).ansi_allowed ? options.ansi_code_page : nullptr, options.lost_characters),
        lines_(steps) {}

  std::string Build() {
    for (const Property& p : kProperties) {
      const std::string_view name = p.name[version_index_];
      if (!name.empty()) Write(p, name);
    }
    return lines_.Take();
  }

 private:
  // A value the version writes: not empty, and where the version says so not blank.
  bool Holds(std::string_view value) const { return !value.empty() && !(rules_.blank_is_absent && IsBlank(value)); }
  bool Present(FieldKind kind) const { return Holds(Value(kind)); }
  // The cell of `kind`. Where the version writes one value of a kind several columns carry
  // (2.1), a blank last column leaves the last earlier column's value that is not blank.
  std::string_view Value(FieldKind kind) const {
    const std::string& last = fields_[kind];
    if (rules_.repeats || !IsBlank(last)) return last;
    std::string_view value = last;
    for (const ContactFields::Earlier& e : fields_.EarlierValues()) {
      if (e.kind == kind && !IsBlank(e.value)) value = e.value;
    }
    return value;
  }
  // The cell's text as written: nothing for one the version leaves out.
  std::string_view Text(FieldKind kind) const {
    const std::string_view value = Value(kind);
    return Holds(value) ? value : std::string_view();
  }

  void Write(const Property& p, std::string_view name) {
    // A kind of several values gives a line for each earlier column's value first, in the
    // versions that write them all, each under the line's own number.
    const bool one_kind = p.kinds.size() == 1;
    // Values are counted in column order, the last column's after the earlier ones, so that
    // a label's preferred value (ContactFields::MarkPreferred) is found by its place.
    std::size_t ordinal = 0;
    if (one_kind && p.form != ValueForm::kList && MultiValued(p.kinds[0])) {
      for (const ContactFields::Earlier& e : fields_.EarlierValues()) {
        if (e.kind != p.kinds[0]) continue;
        const bool preferred = fields_.Preferred(e.kind, ordinal++);
        if (rules_.repeats && Holds(e.value)) {
          lines_.Add(p.statement, [&, preferred](std::string& out) { WriteOne(out, p, name, e.value, preferred); });
        }
      }
    }
    const bool preferred = one_kind && fields_.Preferred(p.kinds[0], ordinal);
    if (p.test != 0 && !lines_.Test(p.test, [&] { return Gives(p); })) return;
    if (p.test == 0 && !Gives(p)) return;
    lines_.Add(p.statement, [&](std::string& out) { Compose(out, p, name, preferred); });
  }

  // Whether the row gives the property's line.
  bool Gives(const Property& p) {
    switch (p.presence) {
      case Presence::kAlways:
        return true;
      case Presence::kAnyCell:
        return std::any_of(p.kinds.begin(), p.kinds.end(), [&](FieldKind k) { return Present(k); });
      case Presence::kDate:
        return RecognizeDate(p.kinds[0]).has_value();
      case Presence::kCategories: {
        bool any = false;
        EachCategory([&](std::string_view) { any = true; });
        return any;
      }
      case Presence::kPhoto:
        return options_.photo || IsPhotoUri(Value(FieldKind::kPhoto));
      case Presence::kUid:
        return !options_.uid.empty();
    }
    return false;
  }

  // The date of a Birthday or Anniversary cell: the date a date cell holds, else its text
  // recognised; read once however many lines write it.
  const std::optional<Date>& RecognizeDate(FieldKind kind) {
    const bool birthday = kind == FieldKind::kBirthday;
    auto& date = birthday ? birthday_ : anniversary_;
    if (!date) {
      std::optional<Date> read;
      if (Present(kind)) {
        const auto& given = birthday ? options_.birthday_date : options_.anniversary_date;
        read = given ? given : dates_.Recognize(Value(kind));
      }
      date = read;
    }
    return *date;
  }

  template <typename Each>
  void EachCategory(const Each& each) const {
    if (rules_.repeats) {
      for (const ContactFields::Earlier& e : fields_.EarlierValues()) {
        if (e.kind == FieldKind::kCategories) ForEachCategory(e.value, each);
      }
    }
    ForEachCategory(Value(FieldKind::kCategories), each);
  }

  // The line of one cell's value (a property of one kind).
  // A preferred value's types get PREF after them, in capitals: the line layer drops the
  // lower-case "pref" the original e-mail line carries in 3.0 and 4.0, where it would make
  // every address the preferred one.
  void WriteOne(std::string& out, const Property& p, std::string_view name, std::string_view text,
                bool preferred = false) {
    std::array<std::string_view, 4> pref_types{};
    Types types = p.types;
    if (preferred && std::find(types.begin(), types.end(), "pref") == types.end() && types.size() < pref_types.size()) {
      std::copy(types.begin(), types.end(), pref_types.begin());
      pref_types[types.size()] = "PREF";
      types = Types(pref_types.data(), types.size() + 1);
    }
    std::string& value = lines_.Scratch();
    if (p.form == ValueForm::kVerbatim) {
      w_.AppendVerbatim(value, text);
    } else if (p.form == ValueForm::kUri) {
      w_.AppendUri(value, text);
    } else {
      w_.AppendText(value, text);
    }
    w_.WriteLine(out, name, types, value);
  }

  std::string_view FixedText(Fixed fixed) const {
    switch (fixed) {
      case Fixed::kBegin:
      case Fixed::kEnd:
        return "VCARD";
      case Fixed::kVersion:
        return VersionText(options_.version);
      case Fixed::kProduct:
        return kProductId;
      case Fixed::kUid:
        return options_.uid;
      case Fixed::kNone:
        break;
    }
    return {};
  }

  void Compose(std::string& out, const Property& p, std::string_view name, bool preferred) {
    switch (p.form) {
      case ValueForm::kFixed:
        w_.WriteLine(out, name, p.types, FixedText(p.fixed));
        return;
      case ValueForm::kText:
      case ValueForm::kVerbatim:
      case ValueForm::kUri:
        WriteOne(out, p, name, Value(p.kinds[0]), preferred);
        return;
      case ValueForm::kStructured: {
        std::string& value = lines_.Scratch();
        const std::size_t count =
            p.padded_to_name_components ? rules_.name_components : p.leading_empty + p.kinds.size();
        std::size_t written = count;
        if (p.empty_last_dropped && !Present(p.kinds.back())) --written;
        for (std::size_t i = 0; i < written; ++i) {
          if (i > 0) value += ';';
          if (i >= p.leading_empty && i - p.leading_empty < p.kinds.size()) {
            w_.AppendText(value, Text(p.kinds[i - p.leading_empty]));
          }
        }
        w_.WriteLine(out, name, p.types, value);
        return;
      }
      case ValueForm::kFullName: {
        std::string& value = lines_.Scratch();
        // 2.1 joins all three parts, as the original does; the later versions the present ones.
        const bool of_present = rules_.full_name_of_present_parts;
        bool any = false;
        for (FieldKind part : p.kinds) {
          if (of_present && !Present(part)) continue;
          if ((any || !of_present) && part != p.kinds[0]) value += ' ';
          w_.AppendText(value, Text(part));
          any = true;
        }
        if (of_present && !any) {
          for (FieldKind stand_in : kFullNameStandIns) {
            if (!Present(stand_in)) continue;
            w_.AppendText(value, Text(stand_in));
            break;
          }
        }
        w_.WriteLine(out, name, p.types, value);
        return;
      }
      case ValueForm::kList: {
        std::string& value = lines_.Scratch();
        EachCategory([&](std::string_view one) {
          if (!value.empty()) value += ',';
          w_.AppendText(value, one);
        });
        w_.WriteLine(out, name, p.types, value);
        return;
      }
      case ValueForm::kDate: {
        std::string& value = lines_.Scratch();
        w_.AppendDate(value, RecognizeDate(p.kinds[0]).value(),
                      p.dates == DatesOf::kVersion       ? rules_.dates
                      : p.dates == DatesOf::kAnniversary ? rules_.anniversary_dates
                                                         : DateForm::kExtended);
        w_.WriteLine(out, name, p.types, value);
        return;
      }
      case ValueForm::kStamp: {
        std::string& value = lines_.Scratch();
        w_.AppendStamp(value, build_time_);
        w_.WriteLine(out, name, p.types, value);
        return;
      }
      case ValueForm::kPhoto:
        if (options_.photo) {
          w_.WritePhoto(out, options_.photo->type, options_.photo->bytes);
        } else {
          w_.WritePhotoLink(out, Value(FieldKind::kPhoto));
        }
        return;
    }
  }

  const ContactFields& fields_;
  const LocalTime& build_time_;
  const DateRecognizer& dates_;
  const RecordOptions& options_;
  const LineRules& rules_;
  const std::size_t version_index_;
  const LineWriter w_;
  LineRunner lines_;
  std::optional<std::optional<Date>> birthday_;  // once recognised
  std::optional<std::optional<Date>> anniversary_;
};

}  // namespace

bool MultiValued(FieldKind kind) {
  return std::find(std::begin(kMultiValued), std::end(kMultiValued), kind) != std::end(kMultiValued);
}

bool IsBlank(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b == ' ' || (b >= '\t' && b <= '\r')) {
      i += 1;
      continue;
    }
    // U+00A0 no-break space; U+2000 to U+200A, U+202F, U+205F; U+3000 ideographic space.
    const std::string_view rest = text.substr(i);
    if (rest.starts_with("\xC2\xA0")) {
      i += 2;
    } else if (rest.size() >= 3 && rest[0] == '\xE2' &&
               ((rest[1] == '\x80' && (static_cast<unsigned char>(rest[2]) <= 0x8A || rest[2] == '\xAF')) ||
                (rest[1] == '\x81' && rest[2] == '\x9F'))) {
      i += 3;
    } else if (rest.starts_with("\xE3\x80\x80")) {
      i += 3;
    } else {
      return false;
    }
  }
  return true;
}

bool RowIsBlank(const ContactFields& fields) {
  for (const std::string& value : fields.Values()) {
    if (!IsBlank(value)) return false;
  }
  for (const ContactFields::Earlier& e : fields.EarlierValues()) {
    if (!IsBlank(e.value)) return false;
  }
  return true;
}

bool WritesUid(VCardVersion version) {
  for (const Property& p : kProperties) {
    if (p.fixed == Fixed::kUid) return !p.name[VersionIndex(version)].empty();
  }
  return false;
}

bool IsPhotoUri(std::string_view text) {
  const auto starts = [&](std::string_view scheme) {
    if (text.size() <= scheme.size()) return false;
    for (std::size_t i = 0; i < scheme.size(); ++i) {
      const char c = text[i];
      if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != scheme[i]) return false;
    }
    return true;
  };
  if (!starts("http://") && !starts("https://")) return false;
  for (char c : text) {
    if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F) return false;
  }
  return true;
}

std::string BuildVCardRecord(const ContactFields& fields, const LocalTime& build_time, const DateRecognizer& dates,
                             RecordSteps* steps, const RecordOptions& options) {
  return Builder(fields, build_time, dates, steps, options).Build();
}

}  // namespace cw::vcard
