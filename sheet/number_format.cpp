#include "sheet/number_format.h"

#include <cmath>
#include <cstdio>

namespace cw::sheet {

struct NumberFormatter::Impl {
  FormatLocale locale;
  DateSystem date_system;
};

std::string FormatGeneral(double value) {
  if (value == 0) return "0";
  char buf[64];
  const double mag = std::fabs(value);
  if (mag >= 1e15 || mag < 1e-9) {
    std::snprintf(buf, sizeof buf, "%.5E", value);
  } else {
    std::snprintf(buf, sizeof buf, "%.15g", value);
  }
  return buf;
}

NumberFormatter::NumberFormatter(FormatLocale locale, DateSystem date_system)
    : impl_(std::make_unique<Impl>(Impl{locale, date_system})) {}
NumberFormatter::~NumberFormatter() = default;
NumberFormatter::NumberFormatter(NumberFormatter&&) noexcept = default;
NumberFormatter& NumberFormatter::operator=(NumberFormatter&&) noexcept = default;

std::string NumberFormatter::FormatNumber(double value, std::uint32_t, std::string_view) {
  return FormatGeneral(value);
}

std::string NumberFormatter::FormatString(std::string_view text, std::uint32_t, std::string_view) {
  return std::string(text);
}

}  // namespace cw::sheet
