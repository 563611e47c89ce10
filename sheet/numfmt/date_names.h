// Month and day names of the languages a format code may name.
#pragma once

#include <cstdint>
#include <string_view>

namespace cw::sheet::numfmt {

// Names for a Windows locale id (0x407 German, 0x419 Russian, ...; 0 for English): the names
// Windows gives English, German, French, Spanish, Italian and Dutch, and ICU's names for
// every other language ICU knows (months as they stand alone, days as a date shows them);
// English for the rest. Months 1..12, weekdays 0..6 from Sunday. A view stays valid for
// the life of the program.
std::string_view MonthName(std::uint32_t lcid, int month);
// The month's name as a date with a day number gives it, where the language says it so
// ("15 марта 2023"); MonthName's elsewhere.
std::string_view MonthNameInDate(std::uint32_t lcid, int month);
std::string_view MonthAbbreviation(std::uint32_t lcid, int month);
std::string_view DayName(std::uint32_t lcid, int weekday);
std::string_view DayAbbreviation(std::uint32_t lcid, int weekday);

}  // namespace cw::sheet::numfmt
