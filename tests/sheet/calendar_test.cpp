#include "sheet/calendar.h"

#include <gtest/gtest.h>

namespace cw::sheet {
namespace {

TEST(Calendar, SerialsAndDatesOfEachSystem) {
  struct Case {
    DateSystem system;
    std::int64_t serial;
    int year, month, day, weekday;
  };
  const Case cases[] = {
      {DateSystem::k1900, 1, 1900, 1, 1, 0},
      {DateSystem::k1900, 59, 1900, 2, 28, 2},
      {DateSystem::k1900, 60, 1900, 2, 29, 3},
      {DateSystem::k1900, 61, 1900, 3, 1, 4},
      {DateSystem::k1900, 45322, 2024, 1, 31, 3},
      {DateSystem::k1900, 2958465, 9999, 12, 31, 5},
      {DateSystem::k1904, 0, 1904, 1, 1, 5},
      {DateSystem::k1904, 43860, 2024, 1, 31, 3},
      {DateSystem::k1904, 2957003, 9999, 12, 31, 5},
      // Before 1904, as libraries write such dates: negative serials count back from day 0.
      {DateSystem::k1904, -1, 1903, 12, 31, 4},
      {DateSystem::k1904, -1460, 1900, 1, 1, 1},
      {DateSystem::k1904, -695055, 1, 1, 1, 1},
      // LibreOffice's: from 30 Dec 1899, no 29 Feb 1900, the Julian calendar before 15 Oct 1582.
      {DateSystem::kLibreOffice, 0, 1899, 12, 30, 6},
      {DateSystem::kLibreOffice, 60, 1900, 2, 28, 3},
      {DateSystem::kLibreOffice, 61, 1900, 3, 1, 4},
      {DateSystem::kLibreOffice, -115858, 1582, 10, 15, 5},
      {DateSystem::kLibreOffice, -115859, 1582, 10, 4, 4},
      {DateSystem::kLibreOffice, -693595, 1, 1, 1, 6},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.serial);
    CivilDate date;
    ASSERT_TRUE(SerialToDate(c.serial, c.system, date));
    EXPECT_EQ(date.year, c.year);
    EXPECT_EQ(date.month, c.month);
    EXPECT_EQ(date.day, c.day);
    EXPECT_EQ(date.weekday, c.weekday);
    // LibreOffice's serials are made from Gregorian dates, as OpenDocument writes them.
    const bool julian = c.system == DateSystem::kLibreOffice && c.serial < -115858;
    if ((c.serial != 60 || c.system != DateSystem::k1900) && !julian) {
      EXPECT_EQ(DateToSerial(c.year, c.month, c.day, c.system), c.serial);
    }
  }
  CivilDate date;
  EXPECT_FALSE(SerialToDate(-1, DateSystem::k1900, date));
  EXPECT_FALSE(SerialToDate(2958466, DateSystem::k1900, date));
  EXPECT_FALSE(SerialToDate(2957004, DateSystem::k1904, date));
  EXPECT_FALSE(SerialToDate(-695056, DateSystem::k1904, date));
  EXPECT_FALSE(SerialToDate(-693596, DateSystem::kLibreOffice, date));
  EXPECT_FALSE(SerialToDate(2958466, DateSystem::kLibreOffice, date));
}

TEST(Calendar, ValidDatesFollowGregorianLeapYears) {
  EXPECT_TRUE(IsValidDate(2000, 2, 29));
  EXPECT_TRUE(IsValidDate(2024, 2, 29));
  EXPECT_FALSE(IsValidDate(1900, 2, 29));
  EXPECT_FALSE(IsValidDate(2023, 2, 29));
  EXPECT_FALSE(IsValidDate(2023, 4, 31));
  EXPECT_FALSE(IsValidDate(2023, 13, 1));
  EXPECT_FALSE(IsValidDate(0, 1, 1));
  EXPECT_FALSE(IsValidDate(10000, 1, 1));
  EXPECT_EQ(DaysInMonth(1900, 2), 28);
  EXPECT_EQ(DaysInMonth(2024, 12), 31);
}

}  // namespace
}  // namespace cw::sheet
