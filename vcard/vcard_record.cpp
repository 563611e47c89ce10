#include "vcard/vcard_record.h"

#include <cstdio>
#include <optional>

namespace cw::vcard {
namespace {

using mapping::FieldKind;

bool HasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

bool HasBeyondAscii(std::string_view s) {
  for (char c : s) {
    if (static_cast<unsigned char>(c) >= 0x80) return true;
  }
  return false;
}

// vCard 2.1 quoted-printable as address books read it: every line break (CR LF, a lone LF
// as spreadsheets store a break typed in a cell, or a lone CR) as =0D=0A, "=" as =3D, with
// `escape_beyond_ascii` code-page bytes beyond ASCII as =XX, everything else as itself. (The
// UTF-8 file keeps its UTF-8 bytes as they are, as it always has.)
std::string QuotedPrintable(std::string_view bytes, bool escape_beyond_ascii) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() + 16);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (b == '\r' || b == '\n') {
      out += "=0D=0A";
      if (b == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    } else if (b == '=' || (b >= 0x80 && escape_beyond_ascii)) {
      out += '=';
      out += kHex[b >> 4];
      out += kHex[b & 0x0F];
    } else {
      out += static_cast<char>(b);
    }
  }
  return out;
}

// "PROPERTY:" + value as it is, unless the value holds a line break (which would end the
// line early) or, in the ANSI file, a character beyond ASCII (which a reader would take for
// UTF-8): then the value is written quoted-printable, in the ANSI file's code page with the
// CHARSET that names it.
std::string EncodeLine(std::string_view property, std::string_view value, const CodePage* ansi) {
  const bool labelled = ansi && HasBeyondAscii(value);
  std::string line(property);
  if (labelled) {
    line += ";CHARSET=";
    line += ansi->CharsetName();
  }
  if (labelled || HasLineBreak(value)) {
    line += ";ENCODING=QUOTED-PRINTABLE:";
    line += labelled ? QuotedPrintable(ansi->Encode(value), true) : QuotedPrintable(value, false);
  } else {
    line += ':';
    line += value;
  }
  return line;
}

struct TelLine {
  FieldKind kind;
  int statement;
};
constexpr TelLine kTelLines[] = {
    {FieldKind::kHomeVoice, 312}, {FieldKind::kWorkVoice, 314}, {FieldKind::kCellular, 316},
    {FieldKind::kHomeFax, 318},   {FieldKind::kWorkFax, 320},   {FieldKind::kPager, 322},
};

struct AddressLine {
  std::string_view property;
  std::array<FieldKind, 5> parts;  // street, locality, region, postal code, country
  int test_statement;
  int compose_statement;
};
constexpr AddressLine kAddressLines[] = {
    {"ADR;WORK",
     {FieldKind::kWorkAddress, FieldKind::kWorkCity, FieldKind::kWorkRegion, FieldKind::kWorkZip,
      FieldKind::kWorkCountry},
     334,
     336},
    {"ADR;HOME",
     {FieldKind::kHomeAddress, FieldKind::kHomeCity, FieldKind::kHomeRegion, FieldKind::kHomeZip,
      FieldKind::kHomeCountry},
     338,
     340},
};

// Runs the tests and compositions of one record, through the caller's steps when given.
class LineRunner {
 public:
  explicit LineRunner(RecordSteps* steps) : steps_(steps) {}

  template <typename Condition>
  bool Test(int number, Condition&& test) {
    return steps_ ? steps_->Test(number, test) : test();
  }
  template <typename Compose>
  void Add(int number, Compose&& compose) {
    std::string line;
    if (steps_) {
      if (!steps_->Step(number, [&] { line = compose(); })) return;
    } else {
      line = compose();
    }
    if (!record_.empty()) record_ += "\r\n";
    record_ += line;
  }
  std::string Take() { return std::move(record_); }

 private:
  RecordSteps* steps_;
  std::string record_;
};

}  // namespace

std::string CleanVCardValue(std::string_view value) {
  // Bytes 0x3A and 0x3B never occur inside a multi-byte UTF-8 sequence, so a byte-wise
  // replacement changes exactly the characters ":" and ";".
  std::string cleaned(value);
  for (char& c : cleaned) {
    if (c == ';' || c == ':') c = ' ';
  }
  return cleaned;
}

std::string_view TelTypeName(FieldKind kind) {
  switch (kind) {
    case FieldKind::kHomeVoice:
      return "HOME;VOICE";
    case FieldKind::kWorkVoice:
      return "WORK;VOICE";
    case FieldKind::kCellular:
      return "CELL";
    case FieldKind::kHomeFax:
      return "HOME;FAX";
    case FieldKind::kWorkFax:
      return "WORK;FAX";
    case FieldKind::kPager:
      return "PAGER";
    default:
      return "";
  }
}

std::string FormatDateYMD(const Date& date) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%d%02d%02d", date.year, date.month, date.day);
  return buf;
}

std::string FormatTimeHMS(const LocalTime& time) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d%02d%02d", time.hour, time.minute, time.second);
  return buf;
}

std::string BuildVCardRecord(const ContactFields& fields, const LocalTime& build_time, const DateRecognizer& dates,
                             RecordSteps* steps, const RecordOptions& options) {
  const auto Line = [&](std::string_view property, std::string_view value) {
    return EncodeLine(property, value, options.ansi_code_page);
  };
  const auto c = [&](FieldKind kind) { return CleanVCardValue(fields[kind]); };
  const auto present = [&](FieldKind kind) { return !fields[kind].empty(); };
  LineRunner lines(steps);

  lines.Add(304, [] { return std::string("BEGIN:VCARD"); });
  lines.Add(306, [] { return std::string("VERSION:2.1"); });
  lines.Add(308, [&] {
    return Line("N", c(FieldKind::kLastName) + ";" + c(FieldKind::kFirstName) + ";" + c(FieldKind::kMiddleInitial) +
                         ";" + c(FieldKind::kTitle));
  });
  lines.Add(310, [&] {
    return Line("FN", c(FieldKind::kFirstName) + " " + c(FieldKind::kMiddleInitial) + " " + c(FieldKind::kLastName));
  });
  for (const TelLine& tel : kTelLines) {
    if (lines.Test(tel.statement, [&] { return present(tel.kind); })) {
      lines.Add(tel.statement, [&] { return Line("TEL;" + std::string(TelTypeName(tel.kind)), c(tel.kind)); });
    }
  }
  if (lines.Test(324, [&] { return present(FieldKind::kEmail); })) {
    lines.Add(324, [&] { return Line("EMAIL;INTERNET;PREF", fields[FieldKind::kEmail]); });
  }
  if (lines.Test(326, [&] { return present(FieldKind::kNotes); })) {
    lines.Add(326, [&] { return Line("NOTE", c(FieldKind::kNotes)); });
  }
  if (lines.Test(330, [&] { return present(FieldKind::kWebsiteHome); })) {
    lines.Add(330, [&] { return Line("URL;HOME", fields[FieldKind::kWebsiteHome]); });
  }
  if (lines.Test(332, [&] { return present(FieldKind::kWebsiteWork); })) {
    lines.Add(332, [&] { return Line("URL;WORK", fields[FieldKind::kWebsiteWork]); });
  }
  for (const AddressLine& adr : kAddressLines) {
    const bool any = lines.Test(adr.test_statement, [&] {
      for (FieldKind part : adr.parts) {
        if (present(part)) return true;
      }
      return false;
    });
    if (any) {
      lines.Add(adr.compose_statement, [&] {
        std::string value = ";";
        for (FieldKind part : adr.parts) value += ";" + c(part);
        return Line(adr.property, value);
      });
    }
  }
  std::optional<Date> birthday;
  if (lines.Test(342, [&] {
        if (!present(FieldKind::kBirthday)) return false;
        // A date cell gives its date; only text is read as the sheet shows it.
        birthday = options.birthday_date ? options.birthday_date : dates.Recognize(fields[FieldKind::kBirthday]);
        return birthday.has_value();
      })) {
    lines.Add(344, [&] { return "BDAY:" + FormatDateYMD(birthday.value()); });
  }
  lines.Add(346, [&] {
    return "REV:" + FormatDateYMD({build_time.year, build_time.month, build_time.day}) + "T" +
           FormatTimeHMS(build_time);
  });
  lines.Add(348, [] { return std::string("END:VCARD"); });
  return lines.Take();
}

}  // namespace cw::vcard
