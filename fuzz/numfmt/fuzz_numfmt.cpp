// Fuzz entry point for the number-format parser and renderer. Input: one byte of
// switches (date system, locale, built-in id), eight bytes of the value, then the code.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "sheet/number_format.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace cw::sheet;
  if (size < 9) return 0;
  const std::uint8_t switches = data[0];
  double value = 0;
  std::memcpy(&value, data + 1, sizeof value);
  const std::string_view code(reinterpret_cast<const char*>(data + 9), size - 9);
  FormatLocale locale;
  if (switches & 2) {
    locale.date_order = DateOrder::kDayMonthYear;
    locale.date_separator = '.';
    locale.decimal_separator = ',';
    locale.thousands_separator = '.';
    locale.currency_symbol = "€";
    locale.currency_first = false;
    locale.currency_space = true;
    locale.negative_in_parentheses = false;
    locale.locale_id = "de_DE";
  }
  NumberFormatter formatter(locale, (switches & 1) ? DateSystem::k1904 : DateSystem::k1900);
  const std::uint32_t id = (switches & 4) ? (switches >> 3) * 2u : 164u;
  // The text stays bounded by the code: every placeholder shows a few characters at most.
  const std::string shown = formatter.FormatNumber(value, id, code);
  if (shown.size() > 4 * code.size() + 800) __builtin_trap();
  formatter.FormatNumber(-value, id, code);
  formatter.FormatNumber(value * 86400.0, id, code);
  if (formatter.FormatString(code, id, code).size() > 9 * code.size() + 800) __builtin_trap();
  return 0;
}
