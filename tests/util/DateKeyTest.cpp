#include "util/DateKey.h"

#include <gtest/gtest.h>

namespace zorvik {
namespace {

TEST(DateKeyTest, DecodeUsesTheTwoDigitYearWindow) {
  auto a = DecodeDateKey(96010101);
  EXPECT_EQ(a.year, 1996);
  EXPECT_EQ(a.month, 1);
  EXPECT_EQ(a.day, 1);
  EXPECT_EQ(a.hour, 1);
  EXPECT_EQ(DecodeDateKey(49123124).year, 2049);
  EXPECT_EQ(DecodeDateKey(50010101).year, 1950);
}

TEST(DateKeyTest, HourIsTheHourEndingAndInvalidPartsGiveMinusOne) {
  // 1 January 1996 is day 35065 since 30 December 1899.
  EXPECT_DOUBLE_EQ(DateKeyToDateTime(96010101), 35065.0);
  EXPECT_DOUBLE_EQ(DateKeyToDateTime(96010124), 35065.0 + 23.0 / 24.0);
  for (int32_t bad : {0, -5, 96130101, 96010100, 96010125, 97022901, 96023001})
    EXPECT_EQ(DateKeyToDateTime(bad), -1.0) << bad;
  EXPECT_GT(DateKeyToDateTime(96022901), 0);  // 1996 is a leap year
}

TEST(DateKeyTest, RoundTripsEveryHourOfALeapYear) {
  double start = DateKeyToDateTime(96010101);
  for (int h = 0; h < 8784; ++h) {
    double dt = start + h / 24.0;
    int32_t key = DateTimeToDateKey(dt);
    ASSERT_NEAR(DateKeyToDateTime(key), dt, 1e-9) << key;
  }
  EXPECT_EQ(DateTimeToDateKey(start + 8783 / 24.0), 96123124);
}

TEST(DateKeyTest, AdvanceDateOneHourFollowsTheCalendar) {
  const struct {
    int32_t from;
    int32_t to;
  } cases[] = {
      {17123124, 18010101},  // end of the year
      {17010105, 17010106},
      {17010123, 17010124},
      {17013124, 17020101},
      {96022824, 96022901},  // 1996 is a leap year
      {97022824, 97030101},
      {22924, 30101},        // 2000 is a leap year too
      {99123124, 10101},     // 1999 -> 2000
      {49123124, 50010101},  // 2049 -> 2050: the key reads 1950 now, still one hour later in its digits
      // A key that names no valid hour: no date known.
      {17133101, 0},
      {17003101, 0},
      {17023001, 0},
      {17022901, 0},
      {17010001, 0},
      {17010100, 0},
      {17010125, 0},
      {17010199, 0},
      {0, 0},
      {-17010101, 0},
      {117010101, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(AdvanceDateOneHour(c.from), c.to) << c.from;
}

TEST(DateKeyTest, IsValidDateKeyText) {
  EXPECT_TRUE(IsValidDateKey("88010101"));
  EXPECT_FALSE(IsValidDateKey("abc"));
  EXPECT_FALSE(IsValidDateKey("88013201"));
  EXPECT_FALSE(IsValidDateKey(""));
}

}  // namespace
}  // namespace zorvik
