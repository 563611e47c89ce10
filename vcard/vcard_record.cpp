#include "vcard/vcard_record.h"

#include <charconv>
#include <optional>

namespace cw::vcard {
namespace {

using mapping::FieldKind;

// (A plain loop: find_first_of calls memchr once per character.)
bool HasLineBreak(std::string_view s) {
  for (char c : s) {
    if (c == '\r' || c == '\n') return true;
  }
  return false;
}

bool HasBeyondAscii(std::string_view s) {
  for (char c : s) {
    if (static_cast<unsigned char>(c) >= 0x80) return true;
  }
  return false;
}

// Appends vCard 2.1 quoted-printable as address books read it: every line break (CR LF, a
// lone LF as spreadsheets store a break typed in a cell, or a lone CR) as =0D=0A, "=" as =3D,
// with `escape_beyond_ascii` code-page bytes beyond ASCII as =XX, everything else as itself.
// (The UTF-8 file keeps its UTF-8 bytes as they are, as it always has.)
void AppendQuotedPrintable(std::string& out, std::string_view bytes, bool escape_beyond_ascii) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  const auto as_is = [escape_beyond_ascii](unsigned char b) {
    return b != '\r' && b != '\n' && b != '=' && (b < 0x80 || !escape_beyond_ascii);
  };
  std::size_t i = 0;
  while (i < bytes.size()) {
    // Bytes written as they are go in runs.
    std::size_t end = i;
    while (end < bytes.size() && as_is(static_cast<unsigned char>(bytes[end]))) ++end;
    out.append(bytes.substr(i, end - i));
    if (end == bytes.size()) break;
    const auto b = static_cast<unsigned char>(bytes[end]);
    i = end + 1;
    if (b == '\r' || b == '\n') {
      out += "=0D=0A";
      if (b == '\r' && i < bytes.size() && bytes[i] == '\n') ++i;
    } else {  // "=", or a code-page byte beyond ASCII
      out += '=';
      out += kHex[b >> 4];
      out += kHex[b & 0x0F];
    }
  }
}

// Appends "PROPERTY:" + value as it is, unless the value holds a line break (which would end
// the line early) or, in the ANSI file, a character beyond ASCII (which a reader would take
// for UTF-8): then the value is written quoted-printable, in the ANSI file's code page with
// the CHARSET that names it.
void AppendLine(std::string& out, std::string_view property, std::string_view value, const CodePage* ansi) {
  const bool labelled = ansi && HasBeyondAscii(value);
  out += property;
  if (labelled) {
    out += ";CHARSET=";
    out += ansi->CharsetName();
  }
  if (labelled || HasLineBreak(value)) {
    out += ";ENCODING=QUOTED-PRINTABLE:";
    if (labelled) {
      AppendQuotedPrintable(out, ansi->Encode(value), true);
    } else {
      AppendQuotedPrintable(out, value, false);
    }
  } else {
    out += ':';
    out += value;
  }
}

// Appends `value` with every ";" and ":" replaced by a space (CleanVCardValue).
void AppendClean(std::string& out, std::string_view value) {
  // Bytes 0x3A and 0x3B never occur inside a multi-byte UTF-8 sequence, so a byte-wise
  // replacement changes exactly the characters ":" and ";".
  const std::size_t start = out.size();
  out += value;
  // (The end is taken once: a char written through a pointer might be the string's own size
  // as far as the compiler knows, so out.size() in the condition would be read every time.)
  char* const end = out.data() + out.size();
  for (char* c = out.data() + start; c != end; ++c) {
    if (*c == ';' || *c == ':') *c = ' ';
  }
}

// Appends `value` in decimal, at least `width` digits as printf's "%0<width>d" writes it.
void AppendNumber(std::string& out, int value, int width) {
  char digits[16];
  const char* end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  const char* first = digits;
  if (value < 0) out += *first++;
  const auto length = static_cast<int>(end - first) + (value < 0 ? 1 : 0);
  if (length < width) out.append(static_cast<std::size_t>(width - length), '0');
  out.append(first, end);
}

void AppendDateYMD(std::string& out, const Date& date) {
  AppendNumber(out, date.year, 0);
  AppendNumber(out, date.month, 2);
  AppendNumber(out, date.day, 2);
}

void AppendTimeHMS(std::string& out, const LocalTime& time) {
  AppendNumber(out, time.hour, 2);
  AppendNumber(out, time.minute, 2);
  AppendNumber(out, time.second, 2);
}

struct TelLine {
  FieldKind kind;
  std::string_view property;  // "TEL;" + TelTypeName(kind)
  int statement;
};
constexpr TelLine kTelLines[] = {
    {FieldKind::kHomeVoice, "TEL;HOME;VOICE", 312}, {FieldKind::kWorkVoice, "TEL;WORK;VOICE", 314},
    {FieldKind::kCellular, "TEL;CELL", 316},        {FieldKind::kHomeFax, "TEL;HOME;FAX", 318},
    {FieldKind::kWorkFax, "TEL;WORK;FAX", 320},     {FieldKind::kPager, "TEL;PAGER", 322},
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

std::string CleanVCardValue(std::string_view value) {
  std::string cleaned;
  AppendClean(cleaned, value);
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
  std::string out;
  AppendDateYMD(out, date);
  return out;
}

std::string FormatTimeHMS(const LocalTime& time) {
  std::string out;
  AppendTimeHMS(out, time);
  return out;
}

std::string BuildVCardRecord(const ContactFields& fields, const LocalTime& build_time, const DateRecognizer& dates,
                             RecordSteps* steps, const RecordOptions& options) {
  const CodePage* ansi = options.ansi_code_page;
  const auto present = [&](FieldKind kind) { return !fields[kind].empty(); };
  LineRunner lines(steps);
  // A line of one field, cleaned or as it is.
  const auto cleaned_line = [&](std::string_view property, FieldKind kind) {
    return [&lines, &fields, ansi, property, kind](std::string& out) {
      std::string& value = lines.Scratch();
      AppendClean(value, fields[kind]);
      AppendLine(out, property, value, ansi);
    };
  };
  const auto plain_line = [&](std::string_view property, FieldKind kind) {
    return [&fields, ansi, property, kind](std::string& out) { AppendLine(out, property, fields[kind], ansi); };
  };

  lines.Add(304, [](std::string& out) { out += "BEGIN:VCARD"; });
  lines.Add(306, [](std::string& out) { out += "VERSION:2.1"; });
  lines.Add(308, [&](std::string& out) {
    std::string& value = lines.Scratch();
    AppendClean(value, fields[FieldKind::kLastName]);
    value += ';';
    AppendClean(value, fields[FieldKind::kFirstName]);
    value += ';';
    AppendClean(value, fields[FieldKind::kMiddleInitial]);
    value += ';';
    AppendClean(value, fields[FieldKind::kTitle]);
    AppendLine(out, "N", value, ansi);
  });
  lines.Add(310, [&](std::string& out) {
    std::string& value = lines.Scratch();
    AppendClean(value, fields[FieldKind::kFirstName]);
    value += ' ';
    AppendClean(value, fields[FieldKind::kMiddleInitial]);
    value += ' ';
    AppendClean(value, fields[FieldKind::kLastName]);
    AppendLine(out, "FN", value, ansi);
  });
  for (const TelLine& tel : kTelLines) {
    if (lines.Test(tel.statement, [&] { return present(tel.kind); })) {
      lines.Add(tel.statement, cleaned_line(tel.property, tel.kind));
    }
  }
  if (lines.Test(324, [&] { return present(FieldKind::kEmail); })) {
    lines.Add(324, plain_line("EMAIL;INTERNET;PREF", FieldKind::kEmail));
  }
  if (lines.Test(326, [&] { return present(FieldKind::kNotes); })) {
    lines.Add(326, cleaned_line("NOTE", FieldKind::kNotes));
  }
  if (lines.Test(330, [&] { return present(FieldKind::kWebsiteHome); })) {
    lines.Add(330, plain_line("URL;HOME", FieldKind::kWebsiteHome));
  }
  if (lines.Test(332, [&] { return present(FieldKind::kWebsiteWork); })) {
    lines.Add(332, plain_line("URL;WORK", FieldKind::kWebsiteWork));
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
        value += ';';
        for (FieldKind part : adr.parts) {
          value += ';';
          AppendClean(value, fields[part]);
        }
        AppendLine(out, adr.property, value, ansi);
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
      AppendDateYMD(out, birthday.value());
    });
  }
  lines.Add(346, [&](std::string& out) {
    out += "REV:";
    AppendDateYMD(out, {build_time.year, build_time.month, build_time.day});
    out += 'T';
    AppendTimeHMS(out, build_time);
  });
  lines.Add(348, [](std::string& out) { out += "END:VCARD"; });
  return lines.Take();
}

}  // namespace cw::vcard
