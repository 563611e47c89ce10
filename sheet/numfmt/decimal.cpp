#include "sheet/numfmt/decimal.h"

#include <charconv>
#include <cmath>
#include <cstdint>

namespace cw::sheet::numfmt {
namespace {

// Reads "d.ddde+XX" as written by std::to_chars in scientific form.
void ParseScientific(const char* first, const char* last, Decimal& d) {
  d.count = 0;
  const char* p = first;
  while (p < last && *p != 'e') {
    if (*p != '.' && d.count < static_cast<int>(sizeof d.digits)) d.digits[d.count++] = *p;
    ++p;
  }
  int exponent = 0;
  if (p < last) std::from_chars(p + 1 + (p[1] == '+'), last, exponent);
  d.point = exponent + 1;
}

void StripTrailingZeros(Decimal& d) {
  while (d.count > 0 && d.digits[d.count - 1] == '0') --d.count;
  if (d.count == 0) d.point = 0;
}

void RoundToCount(Decimal& d, int keep) {
  if (keep >= d.count) return;
  if (keep < 0) {
    d.count = 0;
    d.point = 0;
    return;
  }
  const bool up = d.digits[keep] >= '5';
  d.count = keep;
  if (up) {
    int i = keep - 1;
    while (i >= 0 && d.digits[i] == '9') --i;
    if (i < 0) {
      d.digits[0] = '1';
      d.count = 1;
      d.point += 1;
    } else {
      ++d.digits[i];
      d.count = i + 1;
    }
  }
  StripTrailingZeros(d);
}

}  // namespace

void Decimal::RoundToPlaces(int places) { RoundToCount(*this, point + places); }

void Decimal::RoundToSignificant(int significant) { RoundToCount(*this, significant); }

Decimal FromScaledInteger(std::uint64_t n, int places) {
  Decimal d;
  if (n == 0) return d;
  // At most 20 digits: they fit the 24 a Decimal holds.
  const int len = static_cast<int>(std::to_chars(d.digits, d.digits + sizeof d.digits, n).ptr - d.digits);
  d.count = len;
  d.point = len - places;
  StripTrailingZeros(d);
  return d;
}

Decimal ToDecimal(double magnitude) {
  Decimal d;
  if (!(magnitude > 0) || !std::isfinite(magnitude)) return d;
  if (magnitude < 1e15 && magnitude == std::floor(magnitude)) {
    // Whole numbers (ZIP codes, phone numbers, date serials) skip the float printer.
    return FromScaledInteger(static_cast<std::uint64_t>(magnitude), 0);
  }
  char buf[64];
  // The shortest form that reads back as the same double is the 15-digit rounding
  // whenever it has 15 digits or fewer; otherwise ask for exactly 15.
  auto res = std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::scientific);
  ParseScientific(buf, res.ptr, d);
  // Below the normal range a double has fewer digits than 15, and its shortest form says
  // nothing about the 15-digit one. Otherwise 24 digits are taken and rounded half away
  // from zero here: the printer would break an exact tie (100000000000000.5) to even.
  if (d.count > 15 || magnitude < 2.2250738585072014e-308) {
    res = std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::scientific, 23);
    ParseScientific(buf, res.ptr, d);
    d.RoundToSignificant(15);
    return d;
  }
  const int point = d.point;
  StripTrailingZeros(d);
  if (d.count > 0) d.point = point;
  return d;
}

void AppendGeneral(double value, char decimal_separator, std::string& out) {
  if (!std::isfinite(value)) {
    out += "#NUM!";
    return;
  }
  Decimal d = ToDecimal(std::fabs(value));
  if (d.IsZero()) {
    out += '0';
    return;
  }
  if (value < 0) out += '-';
  const int exponent = d.point - 1;
  if (exponent >= -9 && exponent < 15) {
    if (d.point <= 0) {
      out += '0';
      out += decimal_separator;
      out.append(static_cast<std::size_t>(-d.point), '0');
      out.append(d.digits, static_cast<std::size_t>(d.count));
      return;
    }
    for (int i = 0; i < d.point; ++i) out += d.DigitAt(i);
    if (d.count > d.point) {
      out += decimal_separator;
      out.append(d.digits + d.point, static_cast<std::size_t>(d.count - d.point));
    }
    return;
  }
  d.RoundToSignificant(6);
  const int shown_exponent = d.point - 1;
  out += d.digits[0];
  if (d.count > 1) {
    out += decimal_separator;
    out.append(d.digits + 1, static_cast<std::size_t>(d.count - 1));
  }
  out += shown_exponent < 0 ? "E-" : "E+";
  const int magnitude = shown_exponent < 0 ? -shown_exponent : shown_exponent;
  if (magnitude < 10) out += '0';
  char buf[8];
  const auto res = std::to_chars(buf, buf + sizeof buf, magnitude);
  out.append(buf, res.ptr);
}

}  // namespace cw::sheet::numfmt
