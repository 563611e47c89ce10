// Decimal digits of a number as spreadsheets see them: a double carries at most 15
// significant decimal digits, and every further shortening rounds half away from zero on
// those decimal digits (so 2.675 shows as 2.68 under "0.00", although the double lies
// just below it).
#pragma once

#include <cstdint>
#include <string>

namespace cw::sheet::numfmt {

// A non-negative decimal: 0.d[0]d[1]...d[count-1] x 10^point. count 0 is zero.
struct Decimal {
  char digits[24];
  int count = 0;
  int point = 0;

  // The digit at `index` from the first significant digit; '0' outside the stored ones.
  char DigitAt(int index) const { return index >= 0 && index < count ? digits[index] : '0'; }
  // Rounds to `places` digits after the decimal point (negative: to tens, hundreds, ...).
  void RoundToPlaces(int places);
  // Rounds to `significant` significant digits.
  void RoundToSignificant(int significant);
  // Digits before the decimal point (0 when the value is below 1).
  int IntegerDigits() const { return count == 0 || point < 0 ? 0 : point; }
  bool IsZero() const { return count == 0; }
};

// The magnitude of a finite value with at most 15 significant digits.
Decimal ToDecimal(double magnitude);
// The decimal of the whole number n standing for n / 10^places, trailing zeros dropped.
Decimal FromScaledInteger(std::uint64_t n, int places);

// `value` as General shows it, appended to `out`: plain notation with up to 15 significant
// digits for magnitudes in [1E-9, 1E+15), otherwise the short scientific form with up to
// 6 significant digits. A value that is not a number shows as #NUM!.
void AppendGeneral(double value, char decimal_separator, std::string& out);

}  // namespace cw::sheet::numfmt
