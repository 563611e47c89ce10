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

struct TelLine {
  FieldKind kind;
  Types types;
  int statement;
};
constexpr TelLine kTelLines[] = {
    {FieldKind::kHomeVoice, kHomeVoice, 312}, {FieldKind::kWorkVoice, kWorkVoice, 314},
    {FieldKind::kCellular, kCell, 316},       {FieldKind::kHomeFax, kHomeFax, 318},
    {FieldKind::kWorkFax, kWorkFax, 320},     {FieldKind::kPager, kPager, 322},
};
// The lines added after the original kinds, each after the original lines of its property.
constexpr TelLine kOtherPhoneLine = {FieldKind::kOtherPhone, kVoice, 506};
constexpr TelLine kMoreEmailLines[] = {
    {FieldKind::kEmailHome, kEmailHome, 508},
    {FieldKind::kEmailWork, kEmailWork, 510},
    {FieldKind::kEmailOther, kEmailOther, 512},
};

struct AddressLine {
  Types types;
  std::array<FieldKind, 5> parts;  // street, locality, region, postal code, country
  int test_statement;
  int compose_statement;
};
constexpr AddressLine kAddressLines[] = {
    {kWork,
     {FieldKind::kWorkAddress, FieldKind::kWorkCity, FieldKind::kWorkRegion, FieldKind::kWorkZip,
      FieldKind::kWorkCountry},
     334,
     336},
    {kHome,
     {FieldKind::kHomeAddress, FieldKind::kHomeCity, FieldKind::kHomeRegion, FieldKind::kHomeZip,
      FieldKind::kHomeCountry},
     338,
     340},
};

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

constexpr FieldKind kMultiValued[] = {FieldKind::kHomeVoice,   FieldKind::kWorkVoice,  FieldKind::kCellular,
                                      FieldKind::kHomeFax,     FieldKind::kWorkFax,    FieldKind::kPager,
                                      FieldKind::kOtherPhone,  FieldKind::kEmail,      FieldKind::kEmailHome,
                                      FieldKind::kEmailWork,   FieldKind::kEmailOther, FieldKind::kWebsiteHome,
                                      FieldKind::kWebsiteWork, FieldKind::kCategories};

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

}  // namespace

bool MultiValued(FieldKind kind) {
  return std::find(std::begin(kMultiValued), std::end(kMultiValued), kind) != std::end(kMultiValued);
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
  const LineRules& rules = RulesFor(options.version);
  const LineWriter w(rules, options.version == VCardVersion::k21 ? options.ansi_code_page : nullptr,
                     options.lost_characters);
  const auto present = [&](FieldKind kind) { return !fields[kind].empty(); };
  LineRunner lines(steps);
  // A line of one value: text, or (in 2.1) written as it is.
  const auto text_line = [&](std::string_view property, Types types, const std::string& text) {
    return [&lines, &w, property, types, &text](std::string& out) {
      std::string& value = lines.Scratch();
      w.AppendText(value, text);
      w.WriteLine(out, property, types, value);
    };
  };
  const auto verbatim_line = [&](std::string_view property, Types types, const std::string& text) {
    return [&lines, &w, property, types, &text](std::string& out) {
      std::string& value = lines.Scratch();
      w.AppendVerbatim(value, text);
      w.WriteLine(out, property, types, value);
    };
  };
  // The lines of a multi-valued kind's earlier columns, in column order, before the line of
  // its last column; only in the versions that write them all. `line_of(value, preferred)`.
  const auto one_kind_lines = [&](FieldKind kind, int statement, const auto& line_of) {
    std::size_t ordinal = 0;
    for (const ContactFields::Earlier& e : fields.EarlierValues()) {
      if (e.kind != kind) continue;
      if (rules.repeats && !e.value.empty()) lines.Add(statement, line_of(e.value, fields.Preferred(kind, ordinal)));
      ++ordinal;
    }
    if (lines.Test(statement, [&] { return present(kind); })) {
      lines.Add(statement, line_of(fields[kind], fields.Preferred(kind, ordinal)));
    }
  };
  // A preferred value's types with PREF after them (a label's "* " in Google's CSV), in capitals:
  // the line layer drops the lower-case "pref" the original e-mail line carries in 3.0 and 4.0,
  // where it would make every e-mail address the preferred one.
  std::array<std::string_view, 4> pref_types{};
  const auto with_pref = [&pref_types](Types types, bool preferred) -> Types {
    if (!preferred || std::find(types.begin(), types.end(), "pref") != types.end() ||
        types.size() >= pref_types.size()) {
      return types;
    }
    std::copy(types.begin(), types.end(), pref_types.begin());
    pref_types[types.size()] = "PREF";
    return Types(pref_types.data(), types.size() + 1);
  };
  const auto tel_lines = [&](const TelLine& tel) {
    one_kind_lines(tel.kind, tel.statement, [&](const std::string& value, bool preferred) {
      return text_line("TEL", with_pref(tel.types, preferred), value);
    });
  };
  const auto email_lines = [&](FieldKind kind, Types types, int statement) {
    one_kind_lines(kind, statement, [&](const std::string& value, bool preferred) {
      return verbatim_line("EMAIL", with_pref(types, preferred), value);
    });
  };
  const auto url_lines = [&](FieldKind kind, Types types, int statement) {
    one_kind_lines(kind, statement, [&](const std::string& value, bool preferred) {
      return verbatim_line("URL", with_pref(types, preferred), value);
    });
  };

  lines.Add(304, [](std::string& out) { out += "BEGIN:VCARD"; });
  lines.Add(306, [&](std::string& out) {
    out += "VERSION:";
    out += VersionText(rules.version);
    if (rules.product_id) {
      out += "\r\nPRODID:";
      out += kProductId;
    }
  });
  lines.Add(308, [&](std::string& out) {
    std::string& value = lines.Scratch();
    for (std::size_t i = 0; i < rules.name_components; ++i) {
      if (i > 0) value += ';';
      if (i < std::size(kNameParts)) w.AppendText(value, fields[kNameParts[i]]);
    }
    w.WriteLine(out, "N", {}, value);
  });
  lines.Add(310, [&](std::string& out) {
    std::string& value = lines.Scratch();
    bool any = false;
    for (FieldKind part : kFullNameParts) {
      if (rules.full_name_of_present_parts && !present(part)) continue;
      if (any || !rules.full_name_of_present_parts) {
        if (part != kFullNameParts[0]) value += ' ';
      }
      w.AppendText(value, fields[part]);
      any = true;
    }
    if (rules.full_name_of_present_parts && !any) {
      for (FieldKind stand_in : kFullNameStandIns) {
        if (!present(stand_in)) continue;
        w.AppendText(value, fields[stand_in]);
        break;
      }
    }
    w.WriteLine(out, "FN", {}, value);
  });
  if (lines.Test(500, [&] { return present(FieldKind::kNickname); })) {
    lines.Add(500, text_line("NICKNAME", {}, fields[FieldKind::kNickname]));
  }
  if (lines.Test(502, [&] { return present(FieldKind::kOrganization) || present(FieldKind::kDepartment); })) {
    lines.Add(502, [&](std::string& out) {
      std::string& value = lines.Scratch();
      w.AppendText(value, fields[FieldKind::kOrganization]);
      if (present(FieldKind::kDepartment)) {
        value += ';';
        w.AppendText(value, fields[FieldKind::kDepartment]);
      }
      w.WriteLine(out, "ORG", {}, value);
    });
  }
  if (lines.Test(504, [&] { return present(FieldKind::kJobTitle); })) {
    lines.Add(504, text_line("TITLE", {}, fields[FieldKind::kJobTitle]));
  }
  for (const TelLine& tel : kTelLines) tel_lines(tel);
  tel_lines(kOtherPhoneLine);
  email_lines(FieldKind::kEmail, kEmail, 324);
  for (const TelLine& email : kMoreEmailLines) email_lines(email.kind, email.types, email.statement);
  if (lines.Test(326, [&] { return present(FieldKind::kNotes); })) {
    lines.Add(326, text_line("NOTE", {}, fields[FieldKind::kNotes]));
  }
  url_lines(FieldKind::kWebsiteHome, kHome, 330);
  url_lines(FieldKind::kWebsiteWork, kWork, 332);
  for (const AddressLine& adr : kAddressLines) {
    const bool any = lines.Test(adr.test_statement, [&] {
      for (FieldKind part : adr.parts) {
        if (present(part)) return true;
      }
      return false;
    });
    if (any) {
      lines.Add(adr.compose_statement, [&](std::string& out) {
        std::string& value = lines.Scratch();
        value += ';';  // no post office box, no extended address
        for (FieldKind part : adr.parts) {
          value += ';';
          w.AppendText(value, fields[part]);
        }
        w.WriteLine(out, "ADR", adr.types, value);
      });
    }
  }
  std::optional<Date> birthday;
  const auto recognize_birthday = [&] {
    if (!present(FieldKind::kBirthday)) return false;
    // A date cell gives its date; only text is read as the sheet shows it.
    birthday = options.birthday_date ? options.birthday_date : dates.Recognize(fields[FieldKind::kBirthday]);
    return birthday.has_value();
  };
  if (lines.Test(342, [&recognize_birthday] { return recognize_birthday(); })) {
    lines.Add(344, [&](std::string& out) {
      out += "BDAY:";
      w.AppendDate(out, birthday.value());
    });
  }
  std::optional<Date> anniversary;
  const auto recognize_anniversary = [&] {
    if (!present(FieldKind::kAnniversary)) return false;
    anniversary =
        options.anniversary_date ? options.anniversary_date : dates.Recognize(fields[FieldKind::kAnniversary]);
    return anniversary.has_value();
  };
  if (lines.Test(514, [&recognize_anniversary] { return recognize_anniversary(); })) {
    lines.Add(516, [&](std::string& out) {
      out += rules.anniversary;
      out += ':';
      w.AppendDate(out, anniversary.value(), rules.anniversary_dates);
    });
  }
  // One CATEGORIES line holds the categories of every Categories column (in 2.1 of the
  // last): readers that keep one CATEGORIES line per contact (KContacts) lose none.
  const auto each_category = [&](const auto& each) {
    if (rules.repeats) {
      for (const ContactFields::Earlier& e : fields.EarlierValues()) {
        if (e.kind == FieldKind::kCategories) ForEachCategory(e.value, each);
      }
    }
    ForEachCategory(fields[FieldKind::kCategories], each);
  };
  if (lines.Test(518, [&] {
        bool any = false;
        each_category([&](std::string_view) { any = true; });
        return any;
      })) {
    lines.Add(518, [&](std::string& out) {
      std::string& value = lines.Scratch();
      each_category([&](std::string_view one) {
        if (!value.empty()) value += ',';
        w.AppendText(value, one);
      });
      w.WriteLine(out, "CATEGORIES", {}, value);
    });
  }
  if (lines.Test(520, [&] { return options.photo || IsPhotoUri(fields[FieldKind::kPhoto]); })) {
    lines.Add(520, [&](std::string& out) {
      if (options.photo) {
        w.WritePhoto(out, options.photo->type, options.photo->bytes);
      } else {
        w.WritePhotoLink(out, fields[FieldKind::kPhoto]);
      }
    });
  }
  lines.Add(346, [&](std::string& out) {
    out += "REV:";
    w.AppendStamp(out, build_time);
    if (rules.uid && !options.uid.empty()) {
      out += "\r\nUID:";
      out += options.uid;
    }
  });
  lines.Add(348, [](std::string& out) { out += "END:VCARD"; });
  return lines.Take();
}

}  // namespace cw::vcard
