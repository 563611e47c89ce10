#include "sheet/xlsx/xlsx_values.h"

#include <charconv>
#include <cmath>

#include "sheet/calendar.h"

namespace cw::sheet::xlsx {
namespace {

// Writes `cp` as UTF-8 at `at`, returning the number of bytes written (at most 4).
std::size_t PutUtf8(char* at, std::uint32_t cp) {
  if (cp < 0x80) {
    at[0] = static_cast<char>(cp);
    return 1;
  }
  if (cp < 0x800) {
    at[0] = static_cast<char>(0xC0 | (cp >> 6));
    at[1] = static_cast<char>(0x80 | (cp & 0x3F));
    return 2;
  }
  if (cp < 0x10000) {
    at[0] = static_cast<char>(0xE0 | (cp >> 12));
    at[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    at[2] = static_cast<char>(0x80 | (cp & 0x3F));
    return 3;
  }
  at[0] = static_cast<char>(0xF0 | (cp >> 18));
  at[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
  at[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
  at[3] = static_cast<char>(0x80 | (cp & 0x3F));
  return 4;
}

// The UTF-16 unit escaped as "_xHHHH_" at s[i], or -1.
int EscapeAt(std::string_view s, std::size_t i) {
  if (i + 7 > s.size() || s[i] != '_' || (s[i + 1] != 'x' && s[i + 1] != 'X') || s[i + 6] != '_') return -1;
  int value = 0;
  for (std::size_t k = 2; k < 6; ++k) {
    const int h = HexValue(s[i + k]);
    if (h < 0) return -1;
    value = value * 16 + h;
  }
  return value;
}

}  // namespace

bool EndsWith(std::string_view s, std::string_view tail) {
  return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

std::optional<double> ParseNumber(std::string_view s) {
  s = TrimSpace(s);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  if (s.empty()) return std::nullopt;
  // Whole numbers (phone numbers, ZIP codes, date serials) of up to 15 digits are exact
  // doubles: read them as integers, the same value from_chars gives, at a fraction of its cost.
  const std::string_view digits = s.front() == '-' ? s.substr(1) : s;
  if (!digits.empty() && digits.size() <= 15) {
    std::uint64_t whole = 0;
    bool plain = true;
    for (const char c : digits) {
      if (c < '0' || c > '9') {
        plain = false;
        break;
      }
      whole = whole * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (plain) return s.front() == '-' ? -static_cast<double>(whole) : static_cast<double>(whole);
  }
  double value = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (ec != std::errc() || end != s.data() + s.size() || !std::isfinite(value)) return std::nullopt;
  return value;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Text in OOXML strings escapes characters XML cannot carry as "_xHHHH_" (a UTF-16 unit;
// "_x005F_" escapes the underscore itself), ECMA-376 Part 1, 22.9.2.19 ST_Xstring. An escape
// takes 7 bytes (14 for a surrogate pair) and its character at most 3 (4), so the text is
// decoded where it stands, writing never ahead of reading.
void DecodeXstringInPlace(std::string& text) {
  const std::string_view s(text);
  std::size_t i = s.find('_');
  while (i != std::string_view::npos && EscapeAt(s, i) < 0) i = s.find('_', i + 1);
  if (i == std::string_view::npos) return;  // nearly every string: nothing escaped
  std::size_t out = i;
  while (i < s.size()) {
    const int unit = EscapeAt(s, i);
    if (unit < 0) {
      text[out++] = s[i++];
      continue;
    }
    i += 7;
    std::uint32_t cp = static_cast<std::uint32_t>(unit);
    if (cp >= 0xD800 && cp <= 0xDBFF) {
      const int low = EscapeAt(s, i);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (static_cast<std::uint32_t>(low) - 0xDC00);
        i += 7;
      } else {
        cp = 0xFFFD;
      }
    } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    out += PutUtf8(&text[out], cp);
  }
  text.resize(out);
}

std::string DecodeXstring(std::string text) {
  DecodeXstringInPlace(text);
  return text;
}

namespace {

bool ReadDigits(std::string_view s, std::size_t& i, std::size_t count, unsigned& out) {
  out = 0;
  for (std::size_t k = 0; k < count; ++k, ++i) {
    if (i >= s.size() || s[i] < '0' || s[i] > '9') return false;
    out = out * 10 + static_cast<unsigned>(s[i] - '0');
  }
  return true;
}

}  // namespace

// The serial number of an ISO 8601 date-time as a t="d" cell stores it
// ("2024-02-29", "2024-02-29T13:45:00Z", "T08:30:00"), in the workbook's date system.
std::optional<double> IsoDateSerial(std::string_view s, DateSystem system) {
  s = TrimSpace(s);
  std::size_t i = 0;
  double serial = 0;
  if (!s.empty() && s[0] != 'T') {
    unsigned y = 0, m = 0, d = 0;
    if (!ReadDigits(s, i, 4, y) || i >= s.size() || s[i++] != '-' || !ReadDigits(s, i, 2, m) || i >= s.size() ||
        s[i++] != '-' || !ReadDigits(s, i, 2, d)) {
      return std::nullopt;
    }
    const int year = static_cast<int>(y), month = static_cast<int>(m), day = static_cast<int>(d);
    if (day < 1 || day > DaysInMonth(year, month)) return std::nullopt;
    serial = static_cast<double>(DateToSerial(year, month, day, system));
  }
  if (i < s.size()) {
    if (s[i++] != 'T') return std::nullopt;
    unsigned h = 0, mi = 0, sec = 0;
    if (!ReadDigits(s, i, 2, h) || i >= s.size() || s[i++] != ':' || !ReadDigits(s, i, 2, mi)) return std::nullopt;
    double seconds = 0;
    if (i < s.size() && s[i] == ':') {
      ++i;
      if (!ReadDigits(s, i, 2, sec)) return std::nullopt;
      seconds = sec;
      if (i < s.size() && s[i] == '.') {
        const std::size_t start = i;
        ++i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
        double fraction = 0;
        std::from_chars(s.data() + start, s.data() + i, fraction);
        seconds += fraction;
      }
    }
    if (i < s.size() && s[i] == 'Z') ++i;
    if (i != s.size() || h > 24 || mi > 59 || sec > 60) return std::nullopt;
    serial += (h * 3600.0 + mi * 60.0 + seconds) / 86400.0;
  }
  return serial;
}

}  // namespace cw::sheet::xlsx
