#include "meteo/AermodSfcRules.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace zorvik {
namespace {

// A usable stable hour; each case changes it.
TSfcHourValues GoodHour() {
  TSfcHourValues v;
  v.windSpeed = 2.1;
  v.windDir = 28;
  v.temp = 287.5;
  v.obukhovLength = 54.1;
  v.convMixHeight = -999;  // ignored while the length is positive
  v.mechMixHeight = 251;
  v.frictionVelocity = 0.222;
  v.convVelocity = -9;
  return v;
}

TEST(AermodSfcRulesTest, CalmDependsOnTheRuleSet) {
  struct Case {
    double speed;
    bool calm11103, calmUnknown;
  } cases[] = {
      {0.0, true, true}, {1e-13, true, true}, {0.0000099, false, true}, {0.00001, false, false},
      {0.0001, false, false}, {-5.0, false, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsCalmHour(c.speed, av_11103), c.calm11103) << c.speed;
    EXPECT_EQ(IsCalmHour(c.speed, av_Unknown), c.calmUnknown) << c.speed;
  }
}

TEST(AermodSfcRulesTest, FirstConditionThatHoldsGivesTheRow) {
  struct Case {
    const char* name;
    void (*change)(TSfcHourValues&);
    int row11103, rowUnknown;
  } cases[] = {
      {"good stable hour", [](TSfcHourValues&) {}, 0, 0},
      {"speed 999", [](TSfcHourValues& v) { v.windSpeed = 999; }, 1, 1},
      {"speed 999 and length -99999", [](TSfcHourValues& v) { v.windSpeed = 999; v.obukhovLength = -99999; }, 1, 1},
      {"negative speed", [](TSfcHourValues& v) { v.windSpeed = -0.5; }, 1, 1},
      {"direction 999", [](TSfcHourValues& v) { v.windDir = 999; }, 2, 2},
      {"direction -9", [](TSfcHourValues& v) { v.windDir = -9; }, 2, 2},
      {"direction NaN", [](TSfcHourValues& v) { v.windDir = std::numeric_limits<double>::quiet_NaN(); }, 2, 2},
      {"temperature 999", [](TSfcHourValues& v) { v.temp = 999; }, 3, 3},
      {"temperature 0", [](TSfcHourValues& v) { v.temp = 0; }, 3, 3},
      {"length -99999", [](TSfcHourValues& v) { v.obukhovLength = -99999; }, 4, 4},
      {"length NaN", [](TSfcHourValues& v) { v.obukhovLength = std::numeric_limits<double>::quiet_NaN(); }, 4, 4},
      {"unstable, convective height -999", [](TSfcHourValues& v) { v.obukhovLength = -30; v.convVelocity = 1; }, 5, 5},
      {"mechanical height -999", [](TSfcHourValues& v) { v.mechMixHeight = -999; }, 6, 6},
      {"friction velocity -9", [](TSfcHourValues& v) { v.frictionVelocity = -9; }, 7, 7},
      {"friction velocity exactly 9", [](TSfcHourValues& v) { v.frictionVelocity = 9; }, 7, 0},
      {"unstable, convective velocity -9",
       [](TSfcHourValues& v) { v.obukhovLength = -30; v.convMixHeight = 800; }, 8, 8},
      {"unstable, -9 velocity but length -99999",
       [](TSfcHourValues& v) { v.obukhovLength = -99999; v.convMixHeight = 800; }, 4, 4},
      {"temperature NaN counts as present", [](TSfcHourValues& v) { v.temp = std::numeric_limits<double>::quiet_NaN(); }, 0, 0},
  };
  for (const auto& c : cases) {
    TSfcHourValues v = GoodHour();
    c.change(v);
    EXPECT_EQ(MissingConditionRow(v, av_11103), c.row11103) << c.name;
    EXPECT_EQ(MissingConditionRow(v, av_Unknown), c.rowUnknown) << c.name;
  }
}

TEST(AermodSfcRulesTest, ReasonTexts) {
  EXPECT_EQ(BadHourReason(-1, av_11103), "Calm");
  EXPECT_EQ(BadHourReason(-1, av_Unknown), "Calm");
  EXPECT_EQ(BadHourReason(1, av_11103), "Missing: (WSpeed >= 90) or (WSpeed < 0)");
  EXPECT_EQ(BadHourReason(4, av_11103), "Missing: (OBULEN < -99990)");
  EXPECT_EQ(BadHourReason(5, av_11103), "Missing: (OBULEN < 0) and ((ZICONV > 90000) or (ZICONV < 0))");
  EXPECT_EQ(BadHourReason(8, av_11103), "Missing: (WSTAR < 0) and (OBULEN < 0.0) and (OBULEN > -99990)");
  EXPECT_EQ(BadHourReason(4, av_Unknown), "Missing");
  EXPECT_EQ(MissingConditionText(0), "");
  EXPECT_EQ(MissingConditionText(9), "");
}

}  // namespace
}  // namespace zorvik
