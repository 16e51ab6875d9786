#include "meteo/MeteoFixedColumns.h"

#include <gtest/gtest.h>

#include <string>

#include "util/DateKey.h"

namespace zorvik {
namespace {

// One ISCST3 record, FORMAT (4I2,2F9.4,F6.1,I2,2F7.1): 48 characters.
std::string IscLine(const char* date8, const char* speed9) {
  std::string line = std::string(date8) + " 180.0000" + speed9 + " 273.0" + " 4" + " 1000.0" + "  800.0";
  EXPECT_EQ(line.size(), 48u);
  return line;
}

// One AERMET surface line in the long fixed-column layout (columns as the 06341 FORMAT statement cuts them).
std::string SfcLine(const char* heatFlux, const char* wStar, const char* ziConv, const char* obuLen,
                    const char* speed = "   2.10") {
  std::string line = "88 01 01   1 01";
  (line += ' ') += heatFlux;  // 17-22
  line += "  0.222";          // 24-29 u*
  (line += ' ') += wStar;     // 31-36
  line += "  0.005";          // 38-43 VPTG
  (line += ' ') += ziConv;    // 45-49
  line += "   251";           // 51-55 zimech
  (line += ' ') += obuLen;    // 57-64
  line += " 0.1500   0.70   1.00";  // 66-85
  (line += ' ') += speed;     // 87-93
  line += "   28.";           // 94-99 (direction 95-99)
  line += "    6.1  287.5    2.0";       // 101-120
  EXPECT_EQ(line.size(), 120u);
  return line;
}

TEST(MeteoFixedColumnsTest, IscRecordsCalmAndUsable) {
  struct Case {
    std::string line;
    TFixedLineKind kind;
    int32_t key;
    float speed;
  } cases[] = {
      {IscLine("88010101", "   2.5000"), TFixedLineKind::flkUsable, 88010101, 2.5f},
      {IscLine("88010101", "   0.0000"), TFixedLineKind::flkCalm, 0, 0},
      {IscLine("88010101", "  0.00001"), TFixedLineKind::flkUsable, 88010101, 0.00001f},
      {IscLine("88010101", "0.0000099"), TFixedLineKind::flkCalm, 0, 0},
      {IscLine("88010101", "   -1.000"), TFixedLineKind::flkCalm, 0, 0},
      {IscLine("88010101", "         "), TFixedLineKind::flkCalm, 0, 0},   // empty speed counts as 0
      {IscLine("88010101", "   2.5x00"), TFixedLineKind::flkUnreadable, 0, 0},  // a speed that is no number
      // One extra leading blank before a two-digit year: read trimmed.
      {std::string(1, ' ').append(IscLine("88010101", "   2.5000")), TFixedLineKind::flkUsable, 88010101, 2.5f},
      // A one-digit year in its two-column field keeps its blank, which becomes a zero in the key.
      {IscLine(" 5 1 2 3", "   1.0000"), TFixedLineKind::flkUsable, 5010203, 1.0f},
      {IscLine("88 1 1 1", "   1.0000"), TFixedLineKind::flkUsable, 88010101, 1.0f},
      {IscLine("8801a101", "   1.0000"), TFixedLineKind::flkUnreadable, 0, 0},
      {"  14735  88  14735  88", TFixedLineKind::flkUnreadable, 0, 0},  // station header, shorter than 48
      {"", TFixedLineKind::flkEmpty, 0, 0},
  };
  for (const auto& c : cases) {
    TFixedLine r = ReadFixedColumnLine(c.line, false);
    EXPECT_EQ(r.kind, c.kind) << '"' << c.line << '"';
    if (c.kind == TFixedLineKind::flkUsable) {
      EXPECT_EQ(r.key, c.key) << c.line;
      EXPECT_EQ(r.speed, c.speed) << c.line;
    }
  }
}

TEST(MeteoFixedColumnsTest, LineDatesOfBothLayouts) {
  TDateTime dt = 0;
  ASSERT_TRUE(ParseLineDate(IscLine("88010124", "   2.5000"), false, dt));
  EXPECT_DOUBLE_EQ(dt, DateKeyToDateTime(88010124));
  ASSERT_TRUE(ParseLineDate(SfcLine("  -5.0", "-9.000", " -999", "    54.1"), true, dt));
  EXPECT_DOUBLE_EQ(dt, DateKeyToDateTime(88010101));
  // Year 50 is 2050 here (date keys read 50 as 1950).
  ASSERT_TRUE(ParseLineDate(IscLine("50010101", "   2.5000"), false, dt));
  int y, m, d;
  DecodeDate(dt, y, m, d);
  EXPECT_EQ(y, 2050);
  for (const char* bad : {"88010100", "88010125", "88023001", "88130101", "8801  01", "88-10101"})
    EXPECT_FALSE(ParseLineDate(IscLine(bad, "   2.5000"), false, dt)) << bad;
}

TEST(MeteoFixedColumnsTest, SurfaceLayoutMissingFields) {
  struct Case {
    const char* name;
    std::string line;
    bool valid;
  } cases[] = {
      {"stable, convective fields missing", SfcLine("  -5.0", "-9.000", " -999", "    54.1"), true},
      {"Monin-Obukhov length missing", SfcLine("  -5.0", "-9.000", " -999", "-99999.0"), false},
      {"heat flux missing", SfcLine("-999.0", "-9.000", " -999", "    54.1"), false},
      {"unstable, convective height missing", SfcLine("  35.0", " 0.800", " -999", "   -30.0"), false},
      {"unstable, convective velocity missing", SfcLine("  35.0", "-9.000", "  800", "   -30.0"), false},
      {"unstable, all present", SfcLine("  35.0", " 0.800", "  800", "   -30.0"), true},
      {"unreadable length", SfcLine("  -5.0", "-9.000", " -999", "    54.x"), false},
      {"line ends before the direction", SfcLine("  -5.0", "-9.000", " -999", "    54.1").substr(0, 96), false},
  };
  for (const auto& c : cases) EXPECT_EQ(SfcLineIsValid(c.line), c.valid) << c.name;

  TFixedLine usable = ReadFixedColumnLine(SfcLine("  -5.0", "-9.000", " -999", "    54.1"), true);
  EXPECT_EQ(usable.kind, TFixedLineKind::flkUsable);
  EXPECT_EQ(usable.key, 88010101);
  EXPECT_EQ(usable.speed, 2.1f);
  EXPECT_TRUE(usable.hasDate);
  EXPECT_EQ(ReadFixedColumnLine(SfcLine("  -5.0", "-9.000", " -999", "-99999.0"), true).kind,
            TFixedLineKind::flkMissing);
  EXPECT_EQ(ReadFixedColumnLine(SfcLine("  -5.0", "-9.000", " -999", "    54.1", "   0.00"), true).kind,
            TFixedLineKind::flkCalm);
}

}  // namespace
}  // namespace zorvik
