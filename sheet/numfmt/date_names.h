// Month and day names of the languages a format code may name.
#pragma once

#include <cstdint>
#include <string_view>

namespace cw::sheet::numfmt {

// Names for a Windows primary language id (0x07 German, 0x0C French, ...); English for
// the others. Months 1..12, weekdays 0..6 from Sunday.
std::string_view MonthName(std::uint16_t language, int month);
std::string_view MonthAbbreviation(std::uint16_t language, int month);
std::string_view DayName(std::uint16_t language, int weekday);
std::string_view DayAbbreviation(std::uint16_t language, int weekday);

}  // namespace cw::sheet::numfmt
