#include "controls/RealRangeCheck.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <string>

namespace zorvik {

void PrintTo(TRealInterval range, std::ostream* os) { *os << "interval " << static_cast<int>(range); }

namespace {

using I = TRealInterval;

// For L = 10, U = 20: in range at L, at U, inside, below, above, NaN; and the range text.
struct IntervalCase {
  TRealInterval range;
  bool atLower, atUpper, inside, below, above, nan;
  const char* rangeText;
};

TEST(RealRangeCheckTest, IntervalsAndTheirTexts) {
  const IntervalCase cases[] = {
      {I::tbrNone, true, true, true, true, true, true, ""},
      {I::tbrClosedUpperLower, true, true, true, false, false, false, "10.0 <= value <= 20.0"},
      {I::tbrOpenUpper, true, false, true, false, false, false, "10.0 <= value < 20.0"},
      {I::tbrOpenLower, false, true, true, false, false, false, "10.0 < value <= 20.0"},
      {I::tbrOpenUpperLower, false, false, true, false, false, false, "10.0 < value < 20.0"},
      {I::tbrOnlyCloseLower, true, true, true, false, true, false, "10.0 <= value"},
      {I::tbrOnlyClosedUpper, true, true, true, true, false, false, " value < = 20.0"},
      {I::tbrOnlyOpenLower, false, true, true, false, true, false, "10.0 < value"},
      {I::tbrOnlyOpenUpper, true, false, true, true, false, false, " value < 20.0"},
      {I::tbrClosedUpperOpenLower, false, true, true, false, false, false, "10.0 < value <= 20.0"},
      {I::tbrOpenUpperClosedLower, true, false, true, false, false, false, "10.0 <= value < 20.0"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rangeText);
    TRealRangeCheck check;
    check.SetBoundRange(c.range);
    check.SetLowerVal(10);
    check.SetUpperVal(20);
    EXPECT_EQ(check.inRange(10), c.atLower);
    EXPECT_EQ(check.inRange(20), c.atUpper);
    EXPECT_EQ(check.inRange(15), c.inside);
    EXPECT_EQ(check.inRange(5), c.below);
    EXPECT_EQ(check.inRange(25), c.above);
    EXPECT_EQ(check.inRange(std::numeric_limits<double>::quiet_NaN()), c.nan);
    EXPECT_EQ(check.RangeString(), c.rangeText);
    const std::string hint = *c.rangeText ? std::string("The allowed range is ") + c.rangeText + "." : "";
    EXPECT_EQ(check.hintString(), hint);
    check.SetValue("7");
    EXPECT_EQ(check.errorString(), *c.rangeText ? "The Value 7 is not in range.\n\r\r" + hint : "");
  }
}

TEST(RealRangeCheckTest, PercentileFieldTexts) {
  TRealRangeCheck check;
  check.SetBoundRange(I::tbrClosedUpperLower);
  check.SetLowerVal(10);
  check.SetUpperVal(99.99);
  check.RangeErrorStr().SetFmtMinC(1);
  check.RangeErrorStr().SetFmtMaxC(100);
  check.SetValue("120");
  EXPECT_EQ(check.hintString(), "The allowed range is 10.0 <= value <= 99.99.");
  EXPECT_EQ(check.errorString(),
            "The Value 120 is not in range.\n\r\rThe allowed range is 10.0 <= value <= 99.99.");
  std::string shown;
  check.ShowRangeError([&](const std::string& message) { shown = message; });
  EXPECT_EQ(shown, check.errorString());

  check.SetValue("5%s");  // the offending text is put in as typed
  EXPECT_EQ(check.errorString().substr(0, 30), "The Value 5%s is not in range.");

  check.RangeErrorStr().SetDisplayFormat("0.000");
  EXPECT_EQ(check.RangeString(), "10.000 <= value <= 99.990");
  EXPECT_THROW(check.RangeErrorStr().SetDisplayFormat("%d"), std::invalid_argument);
  EXPECT_EQ(check.RangeErrorStr().DisplayFormat(), "0.000");

  auto german = std::make_unique<TRealRangeErrorStr>();
  german->SetLocale({",", "."});
  german->SetTexts([](int number) { return number == 3 ? std::string(" <= Wert <= ") : RealEditEnglishText(number); });
  check.RegisterErrorStr(std::move(german));
  EXPECT_EQ(check.RangeString(), "10,0 <= Wert <= 99,99");
  EXPECT_THROW(check.RegisterErrorStr(nullptr), std::invalid_argument);
}

}  // namespace
}  // namespace zorvik
