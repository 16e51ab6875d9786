#include "controls/RealFormat.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace zorvik {
namespace {

const TNumberLocale kPoint{".", ","};
const TNumberLocale kComma{",", "."};

TEST(RealFormatTest, DefaultDisplay) {
  const struct {
    double value;
    int numDP;
    double minC, maxC;
    const TNumberLocale* locale;
    const char* expected;
  } cases[] = {
      {98, 2, 1, 100, &kPoint, "98.0"},
      {99.99, 2, 1, 100, &kPoint, "99.99"},
      {10, 2, 1, 100, &kPoint, "10.0"},
      {0.5, 2, 1, 100, &kPoint, "5.0E-01"},
      {100, 2, 1, 100, &kPoint, "1.0E+02"},  // both ends of the window are scientific
      {1, 2, 1, 100, &kPoint, "1.0E+00"},
      {0, 2, 1, 100, &kPoint, "0.0"},
      {-98, 2, 1, 100, &kPoint, "-98.0"},
      {12.3456, 2, 0, 100000, &kPoint, "12.35"},
      {123456, 2, 0, 100000, &kPoint, "1.23E+05"},
      {9.999, 2, 10, 100, &kPoint, "1.0E+01"},  // rounding carries into the exponent
      {98.4, 0, 0, 100000, &kPoint, "98"},
      {123456, 0, 0, 100000, &kPoint, "1.2E+05"},
      {98.5, -1, 0, 100000, &kPoint, "98.5"},
      {0.123456, -1, 1, 100, &kPoint, "1.235E-01"},
      {98.5, 2, 1, 100, &kComma, "98,5"},
      {0.5, 2, 1, 100, &kComma, "5,0E-01"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(DefaultDisplayText(c.value, c.numDP, c.minC, c.maxC, *c.locale), c.expected)
        << c.value << " with " << c.numDP << " decimals";
}

TEST(RealFormatTest, Patterns) {
  const struct {
    const char* pattern;
    double value;
    const TNumberLocale* locale;
    const char* expected;
  } cases[] = {
      {"0.00", 3.14159, &kPoint, "3.14"},
      {"#,##0.0", 1234567.89, &kPoint, "1,234,567.9"},
      {"#,##0.00", 1234.5, &kComma, "1.234,50"},
      {"0.###", 2.5, &kPoint, "2.5"},
      {"#.##", 0.5, &kPoint, ".5"},
      {"000", 7, &kPoint, "007"},
      {"0.0", -0.01, &kPoint, "0.0"},  // no minus sign on a value that rounds to zero
      {"0.0", -2.26, &kPoint, "-2.3"},
      {"0.0;(0.0)", -2.5, &kPoint, "(2.5)"},
      {"0.0;-0.0;'zero'", 0, &kPoint, "zero"},
      {"0.0 'ppm'", 4, &kPoint, "4.0 ppm"},
      {"00.0E+00", 1234, &kPoint, "12.3E+02"},
      {"0.00E-00", 500, &kPoint, "5.00E02"},
      {"0.00E-00", 0.005, &kPoint, "5.00E-03"},
      {"%8.3f", 3.14159, &kPoint, "3.142"},  // blanks at both ends are removed
      {"%.1f%%", 12.34, &kPoint, "12.3%"},
      {"%g", 0.0001, &kPoint, "0.0001"},
      {"%e", 1.5, &kPoint, "1.500000e+00"},
      {"%+.2f", 2, &kPoint, "+2.00"},
      {"%.2f", 2.5, &kComma, "2,50"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatByPattern(c.pattern, c.value, *c.locale), c.expected) << c.pattern;
}

TEST(RealFormatTest, PrintfPatternsThatCannotFormatARealAreRefused) {
  for (const char* pattern : {"%d", "%s", "%f %f", "%", "abc%", "%5.2x", "%n"}) {
    EXPECT_FALSE(IsValidNumberPattern(pattern)) << pattern;
    EXPECT_THROW(FormatByPattern(pattern, 1.0, kPoint), std::invalid_argument) << pattern;
  }
  EXPECT_TRUE(IsValidNumberPattern("0.00"));
  EXPECT_TRUE(IsValidNumberPattern("%-8.2G%%"));
}

TEST(RealFormatTest, GeneralFormKeepsWhatWasTyped) {
  EXPECT_EQ(GeneralText(98, kPoint), "98");
  EXPECT_EQ(GeneralText(0.1, kPoint), "0.1");
  EXPECT_EQ(GeneralText(12.3456789, kPoint), "12.3456789");
  EXPECT_EQ(GeneralText(0.1 + 0.2, kPoint), "0.3");
  EXPECT_EQ(GeneralText(1e-5, kPoint), "1e-05");
  EXPECT_EQ(GeneralText(12.5, kComma), "12,5");
}

}  // namespace
}  // namespace zorvik
