#include "records/Conversions.h"

#include <gtest/gtest.h>

#include <cmath>

namespace zorvik {
namespace {

TEST(FloatTextTest, GeneralFormatWithFifteenDigits) {
  const std::pair<double, const char*> cases[] = {
      {0.0, "0"},          {1.5, "1.5"},           {-3.25, "-3.25"},        {100000.0, "100000"},
      {0.1, "0.1"},        {1.0 / 3.0, "0.333333333333333"}, {0.00001, "0.00001"}, {0.0000015, "1.5E-6"},
      {1e14, "100000000000000"}, {1e15, "1E15"}, {123456789012345678.0, "1.23456789012346E17"},
      {2.0 / 3.0 * 1e-7, "6.66666666666667E-8"},
  };
  for (auto [value, text] : cases) EXPECT_EQ(FloatToText(value), text) << value;
}

TEST(FloatTextTest, ReadsWithOneCommaRepair) {
  const std::pair<const char*, double> good[] = {
      {"1.5", 1.5}, {"  +2", 2}, {"-.5", -0.5}, {"12.", 12}, {"1e3", 1000}, {"2.5E-1 ", 0.25}, {"1,5", 1.5},
  };
  for (auto [text, value] : good) {
    double v = 0;
    EXPECT_TRUE(TryTextToFloat(text, v)) << text;
    EXPECT_DOUBLE_EQ(v, value) << text;
  }
  for (const char* text : {"", " ", "abc", "1,5,3", "1.5x", "1e", "--1", "1 2", "1e999"}) {
    double v = 0;
    EXPECT_FALSE(TryTextToFloat(text, v)) << text;
  }
}

TEST(IntegerTextTest, LeadingDigitsMakeTheValue) {
  const std::pair<const char*, int32_t> cases[] = {
      {"", 0},           {"24 ", 24},      {"  -17", -17}, {"+5", 5},       {"12abc", 12}, {"abc", 0},
      {"$1F", 31},       {"0x10", 16},     {"X0a", 10},    {"-$10", -16},   {"$FFFFFFFF", -1},
      {"2147483647", 2147483647},          {"-2147483648", -2147483647 - 1},
  };
  for (auto [text, value] : cases) EXPECT_EQ(TextToInteger(text), value) << text;
  EXPECT_THROW(TextToInteger("2147483648"), ERangeError);
  EXPECT_THROW(TextToInteger("$123456789"), ERangeError);
}

TEST(RoundingTest, TiesGoToEvenAndRangeIsChecked) {
  EXPECT_EQ(RoundToInt32(2.5), 2);
  EXPECT_EQ(RoundToInt32(3.5), 4);
  EXPECT_EQ(RoundToInt32(-2.5), -2);
  EXPECT_EQ(RoundToInt32(2147483647.4), 2147483647);
  EXPECT_THROW(RoundToInt32(2147483647.6), ERangeError);
  EXPECT_THROW(RoundToInt32(std::nan("")), ERangeError);
  EXPECT_EQ(TruncToInt32(-2.9), -2);
}

TEST(DateTextTest, RoundTripsAndRejectsInvalidDays) {
  EXPECT_EQ(DateTimeToText(0.0), "1899-12-30");
  EXPECT_EQ(DateTimeToText(42559.75), "2016-07-08 18:00:00");
  double dt = 0;
  ASSERT_TRUE(TryTextToDateTime(" 2016-07-08 18:00 ", dt));
  EXPECT_DOUBLE_EQ(dt, 42559.75);
  for (const char* bad : {"2016-02-30", "2016-13-01", "2016-07-08 24:00", "08/07/2016", "2016-07-08x"})
    EXPECT_FALSE(TryTextToDateTime(bad, dt)) << bad;
  try {
    TextToDateTime("soon");
    FAIL() << "no exception";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'soon' is not a valid date and time");
  }
}

}  // namespace
}  // namespace zorvik
