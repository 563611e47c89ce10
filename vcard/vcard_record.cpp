#include "vcard/vcard_record.h"

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
constexpr FieldKind kFullNameStandIns[] = {FieldKind::kEmail,     FieldKind::kCellular,    FieldKind::kHomeVoice,
                                           FieldKind::kWorkVoice, FieldKind::kHomeFax,     FieldKind::kWorkFax,
                                           FieldKind::kPager,     FieldKind::kWebsiteHome, FieldKind::kWebsiteWork};

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

std::string BuildVCardRecord(const ContactFields& fields, const LocalTime& build_time, const DateRecognizer& dates,
                             RecordSteps* steps, const RecordOptions& options) {
  const LineRules& rules = RulesFor(options.version);
  const LineWriter w(rules, options.version == VCardVersion::k21 ? options.ansi_code_page : nullptr,
                     options.lost_characters);
  const auto present = [&](FieldKind kind) { return !fields[kind].empty(); };
  LineRunner lines(steps);
  // A line of one field: text, or (in 2.1) written as it is.
  const auto text_line = [&](std::string_view property, Types types, FieldKind kind) {
    return [&lines, &fields, &w, property, types, kind](std::string& out) {
      std::string& value = lines.Scratch();
      w.AppendText(value, fields[kind]);
      w.WriteLine(out, property, types, value);
    };
  };
  const auto verbatim_line = [&](std::string_view property, Types types, FieldKind kind) {
    return [&lines, &fields, &w, property, types, kind](std::string& out) {
      std::string& value = lines.Scratch();
      w.AppendVerbatim(value, fields[kind]);
      w.WriteLine(out, property, types, value);
    };
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
  for (const TelLine& tel : kTelLines) {
    if (lines.Test(tel.statement, [&] { return present(tel.kind); })) {
      lines.Add(tel.statement, text_line("TEL", tel.types, tel.kind));
    }
  }
  if (lines.Test(324, [&] { return present(FieldKind::kEmail); })) {
    lines.Add(324, verbatim_line("EMAIL", kEmail, FieldKind::kEmail));
  }
  if (lines.Test(326, [&] { return present(FieldKind::kNotes); })) {
    lines.Add(326, text_line("NOTE", {}, FieldKind::kNotes));
  }
  if (lines.Test(330, [&] { return present(FieldKind::kWebsiteHome); })) {
    lines.Add(330, verbatim_line("URL", kHome, FieldKind::kWebsiteHome));
  }
  if (lines.Test(332, [&] { return present(FieldKind::kWebsiteWork); })) {
    lines.Add(332, verbatim_line("URL", kWork, FieldKind::kWebsiteWork));
  }
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
