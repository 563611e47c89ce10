#include "vcard/vcard_line.h"

#include <nettle/base64.h>

#include <charconv>
#include <cstdint>

namespace cw::vcard {
namespace {

constexpr LineRules kVersion21 = {.version = VCardVersion::k21,
                                  .text = TextForm::kCleaned,
                                  .types = TypeForm::kBare,
                                  .quoted_printable = true,
                                  .fold_at = 0,
                                  .dropped_types = {},
                                  .name_components = 4,
                                  .full_name_of_present_parts = false,
                                  .dates = DateForm::kBasic,
                                  .revision = StampForm::kLocalBasic,
                                  .utf8_byte_order_mark = true,
                                  .repeats = false,
                                  .blank_is_absent = false,
                                  .anniversary_dates = DateForm::kExtended,
                                  .photos = PhotoForm::kBase64,
                                  .photo_link = ";VALUE=URL"};
constexpr LineRules kVersion30 = {.version = VCardVersion::k30,
                                  .text = TextForm::kEscaped,
                                  .types = TypeForm::kTypeParamUpper,
                                  .quoted_printable = false,
                                  .fold_at = 75,
                                  .dropped_types = {"pref"},
                                  .name_components = 5,
                                  .full_name_of_present_parts = true,
                                  .dates = DateForm::kExtended,
                                  .revision = StampForm::kUtcExtended,
                                  .utf8_byte_order_mark = false,
                                  .repeats = true,
                                  .blank_is_absent = true,
                                  .anniversary_dates = DateForm::kExtended,
                                  .photos = PhotoForm::kEncodingB,
                                  .photo_link = ";VALUE=uri"};
constexpr LineRules kVersion40 = {.version = VCardVersion::k40,
                                  .text = TextForm::kEscaped,
                                  .types = TypeForm::kTypeParamLower,
                                  .quoted_printable = false,
                                  .fold_at = 75,
                                  .dropped_types = {"pref", "internet"},
                                  .name_components = 5,
                                  .full_name_of_present_parts = true,
                                  .dates = DateForm::kBasic,
                                  .revision = StampForm::kUtcBasic,
                                  .utf8_byte_order_mark = false,
                                  .repeats = true,
                                  .blank_is_absent = true,
                                  .anniversary_dates = DateForm::kBasic,
                                  .photos = PhotoForm::kDataUri,
                                  .photo_link = ";VALUE=uri"};

bool IsLineBreak(char c) { return c == '\r' || c == '\n'; }

// Control characters other than tab and the line breaks, which a reader would stop at or
// misread; they are written as spaces. (Bytes from 0x80 up belong to UTF-8 sequences.)
bool IsStrayControl(char c) {
  const auto b = static_cast<unsigned char>(c);
  return (b < 0x20 && c != '\t' && !IsLineBreak(c)) || b == 0x7F;
}

bool HasLineBreak(std::string_view s) {
  // (A plain loop: find_first_of calls memchr once per character.)
  for (char c : s) {
    if (IsLineBreak(c)) return true;
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
    if (IsLineBreak(static_cast<char>(b))) {
      out += "=0D=0A";
      if (b == '\r' && i < bytes.size() && bytes[i] == '\n') ++i;
    } else {  // "=", or a code-page byte beyond ASCII
      out += '=';
      out += kHex[b >> 4];
      out += kHex[b & 0x0F];
    }
  }
}

// Appends `text` with `special(c)` bytes replaced by what `replace` appends; the others go in
// runs.
template <typename Special, typename Replace>
void AppendReplacing(std::string& out, std::string_view text, Special special, Replace replace) {
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t end = i;
    while (end < text.size() && !special(text[end])) ++end;
    out.append(text.data() + i, end - i);
    if (end == text.size()) break;
    i = replace(out, text, end);
  }
}

void AppendEscaped(std::string& out, std::string_view text) {
  const auto special = [](char c) { return c == '\\' || c == ',' || c == ';' || IsLineBreak(c) || IsStrayControl(c); };
  AppendReplacing(out, text, special, [](std::string& o, std::string_view t, std::size_t at) {
    const char c = t[at];
    if (IsLineBreak(c)) {
      o += "\\n";
      return at + (c == '\r' && at + 1 < t.size() && t[at + 1] == '\n' ? 2 : 1);
    }
    if (IsStrayControl(c)) {
      o += ' ';
    } else {
      o += '\\';
      o += c;
    }
    return at + 1;
  });
}

// Appends `text` with the bytes `encoded(b)` says as %XX (RFC 3986's percent-encoding of the
// UTF-8 bytes), the others as they are.
template <typename Encoded>
void AppendPercentEncoded(std::string& out, std::string_view text, Encoded encoded) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  AppendReplacing(
      out, text, [&](char c) { return encoded(static_cast<unsigned char>(c)); },
      [](std::string& o, std::string_view t, std::size_t at) {
        const auto b = static_cast<unsigned char>(t[at]);
        o += '%';
        o += kHex[b >> 4];
        o += kHex[b & 0x0F];
        return at + 1;
      });
}

// Bytes no URI holds as they are (RFC 3986): beyond ASCII, controls, the space, and
// " < > \ ^ ` { | }. "%" stays, so an address already encoded is not encoded twice.
bool NotInUri(unsigned char b) {
  constexpr std::string_view kExcluded = "\"<>\\^`{|}";
  return b <= 0x20 || b >= 0x7F || kExcluded.find(static_cast<char>(b)) != std::string_view::npos;
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

// Days since 1970-01-01 of a civil date, and back (proleptic Gregorian calendar).
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

Date CivilFromDays(long long z) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  const long long y = static_cast<long long>(yoe) + era * 400 + (m <= 2);
  return {static_cast<int>(y), static_cast<int>(m), static_cast<int>(d)};
}

LocalTime ToUtc(const LocalTime& local) {
  const long long minutes =
      DaysFromCivil(local.year, static_cast<unsigned>(local.month), static_cast<unsigned>(local.day)) * 1440 +
      local.hour * 60 + local.minute - local.utc_offset_minutes;
  const long long days = minutes >= 0 ? minutes / 1440 : -((-minutes + 1439) / 1440);
  const long long in_day = minutes - days * 1440;
  const Date date = CivilFromDays(days);
  return {date.year,    date.month, date.day, static_cast<int>(in_day / 60), static_cast<int>(in_day % 60),
          local.second, 0};
}

}  // namespace

const LineRules& RulesFor(VCardVersion version) {
  switch (version) {
    case VCardVersion::k21:
      return kVersion21;
    case VCardVersion::k30:
      return kVersion30;
    case VCardVersion::k40:
      return kVersion40;
  }
  return kVersion21;  // not reached: every version has its case above
}

void LineWriter::AppendText(std::string& value, std::string_view text) const {
  switch (rules_.text) {
    case TextForm::kCleaned:
      // Bytes 0x3A and 0x3B never occur inside a multi-byte UTF-8 sequence, so a byte-wise
      // replacement changes exactly the characters ":" and ";".
      AppendReplacing(
          value, text, [](char c) { return c == ';' || c == ':' || IsStrayControl(c); },
          [](std::string& o, std::string_view, std::size_t at) {
            o += ' ';
            return at + 1;
          });
      break;
    case TextForm::kEscaped:
      AppendEscaped(value, text);
      break;
  }
}

void LineWriter::AppendVerbatim(std::string& value, std::string_view text) const {
  switch (rules_.text) {
    case TextForm::kCleaned:
      AppendReplacing(value, text, IsStrayControl, [](std::string& o, std::string_view, std::size_t at) {
        o += ' ';
        return at + 1;
      });
      break;
    case TextForm::kEscaped:
      AppendEscaped(value, text);
      break;
  }
}

void LineWriter::AppendUri(std::string& value, std::string_view text) const {
  switch (rules_.text) {
    case TextForm::kCleaned:
      AppendVerbatim(value, text);
      break;
    case TextForm::kEscaped:
      AppendPercentEncoded(value, text, NotInUri);
      break;
  }
}

void LineWriter::AppendDate(std::string& value, const Date& date, DateForm form) const {
  const bool extended = form == DateForm::kExtended;
  AppendNumber(value, date.year, extended ? 4 : 0);
  if (extended) value += '-';
  AppendNumber(value, date.month, 2);
  if (extended) value += '-';
  AppendNumber(value, date.day, 2);
}

void LineWriter::AppendStamp(std::string& value, const LocalTime& time) const {
  const bool local = rules_.revision == StampForm::kLocalBasic;
  const bool extended = rules_.revision == StampForm::kUtcExtended;
  const LocalTime t = local ? time : ToUtc(time);
  AppendNumber(value, t.year, extended ? 4 : 0);
  if (extended) value += '-';
  AppendNumber(value, t.month, 2);
  if (extended) value += '-';
  AppendNumber(value, t.day, 2);
  value += 'T';
  AppendNumber(value, t.hour, 2);
  if (extended) value += ':';
  AppendNumber(value, t.minute, 2);
  if (extended) value += ':';
  AppendNumber(value, t.second, 2);
  if (!local) value += 'Z';
}

void LineWriter::AppendTypes(std::string& out, std::span<const std::string_view> types) const {
  bool first = true;
  for (std::string_view type : types) {
    bool dropped = false;
    for (std::string_view d : rules_.dropped_types) dropped = dropped || (!d.empty() && d == type);
    if (dropped) continue;
    const bool upper = rules_.types != TypeForm::kTypeParamLower;
    if (rules_.types == TypeForm::kBare) {
      out += ';';
    } else {
      out += first ? ";TYPE=" : ",";
    }
    // A parameter value holding a separator is quoted (3.0 and 4.0); 2.1 has no quoting.
    const bool quoted = rules_.types != TypeForm::kBare && type.find_first_of(":;,") != std::string_view::npos;
    if (quoted) out += '"';
    for (char c : type) out += upper && c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    if (quoted) out += '"';
    first = false;
  }
}

void LineWriter::WriteLine(std::string& out, std::string_view name, std::span<const std::string_view> types,
                           std::string_view value) const {
  const std::size_t line_start = out.size();
  out += name;
  AppendTypes(out, types);
  if (!rules_.quoted_printable) {
    out += ':';
    out += value;
    if (rules_.fold_at != 0 && out.size() - line_start > rules_.fold_at) Fold(out, line_start);
    return;
  }
  const bool labelled = ansi_ && HasBeyondAscii(value);
  if (labelled) {
    out += ";CHARSET=";
    out += ansi_->CharsetName();
  }
  if (labelled || HasLineBreak(value)) {
    out += ";ENCODING=QUOTED-PRINTABLE:";
    if (labelled) {
      AppendQuotedPrintable(out, ansi_->Encode(value, lost_), true);
    } else {
      AppendQuotedPrintable(out, value, false);
    }
  } else {
    out += ':';
    out += value;
  }
}

namespace {

void AppendBase64(std::string& out, std::string_view bytes) {
  const std::size_t at = out.size();
  out.resize(at + BASE64_ENCODE_RAW_LENGTH(bytes.size()));
  base64_encode_raw(out.data() + at, bytes.size(), reinterpret_cast<const std::uint8_t*>(bytes.data()));
}

void AppendUpper(std::string& out, std::string_view text) {
  for (char c : text) out += c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

void LineWriter::WritePhoto(std::string& out, std::string_view type, std::string_view bytes) const {
  const std::size_t line_start = out.size();
  switch (rules_.photos) {
    case PhotoForm::kBase64: {
      // As Windows address books write it: the value on lines of their own, each indented
      // by a space, and a blank line after the last.
      out += "PHOTO;ENCODING=BASE64;TYPE=";
      AppendUpper(out, type);
      out += ':';
      std::string encoded;
      AppendBase64(encoded, bytes);
      constexpr std::size_t kPerLine = 72;
      for (std::size_t at = 0; at < encoded.size(); at += kPerLine) {
        out += "\r\n ";
        out.append(encoded, at, kPerLine);
      }
      out += "\r\n";
      return;
    }
    case PhotoForm::kEncodingB:
      out += "PHOTO;ENCODING=b;TYPE=";
      AppendUpper(out, type);
      out += ':';
      break;
    case PhotoForm::kDataUri:
      // VALUE=uri, though 4.0's default: Evolution Data Server takes a PHOTO without it for no
      // photo at all, and with it keeps the image's address.
      out += "PHOTO;VALUE=uri:data:image/";
      out += type;
      out += ";base64,";
      break;
  }
  AppendBase64(out, bytes);
  if (rules_.fold_at != 0) Fold(out, line_start);
}

void LineWriter::WritePhotoLink(std::string& out, std::string_view uri) const {
  const std::size_t line_start = out.size();
  out += "PHOTO";
  out += rules_.photo_link;
  out += ':';
  // Beyond ASCII percent-encoded in every version, so that the ANSI file's code page never
  // meets an address (the address itself holds no controls or spaces: IsPhotoUri).
  AppendPercentEncoded(out, uri, NotInUri);
  if (rules_.fold_at != 0 && out.size() - line_start > rules_.fold_at) Fold(out, line_start);
}

void LineWriter::Fold(std::string& out, std::size_t line_start) const {
  // Each physical line holds at most fold_at octets, a continuation's leading space
  // included, and ends on a character boundary: a UTF-8 sequence is never split.
  const std::string line = out.substr(line_start);
  out.resize(line_start);
  std::size_t at = 0;
  bool first = true;
  while (at < line.size()) {
    const std::size_t room = first ? rules_.fold_at : rules_.fold_at - 1;
    std::size_t end = std::min(line.size(), at + room);
    while (end < line.size() && end > at + 1 && (static_cast<unsigned char>(line[end]) & 0xC0) == 0x80) --end;
    if (!first) out += "\r\n ";
    out.append(line, at, end - at);
    at = end;
    first = false;
  }
}

}  // namespace cw::vcard
