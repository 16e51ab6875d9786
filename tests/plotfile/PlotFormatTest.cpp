#include "plotfile/PlotFormat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace zorvik {
namespace {

struct ValueCase {
  double v;
  const char* five;
  const char* four;
};

const ValueCase kValueCases[] = {
    {12.3456789, "12.34568", "12.3457"},
    {1234.5, "1234.5", "1234.5"},
    {2, "2.0", "2.0"},
    {100000, "100000.0", "100000.0"},
    {0.5, "0.5", "0.5"},
    {1, "1", "1"},
    {0.000123456, "0.00012346", "0.0001235"},
    {0.00001, "0.00001", "0.00001"},
    {0, "0", "0"},
    {123456.7, "1.23457E+05", "1.2346E+05"},
    {0.000001234567, "1.23457E-06", "1.2346E-06"},
    {-3.25, "-3.25", "-3.25"},
    // beyond the published table
    {200000, "2E+05", "2E+05"},
    {-0.0375, "-0.0375", "-0.0375"},
    {0.99999999, "1", "1"},
    {1.00000001, "1.0", "1.0"},
    {363.71604, "363.71604", "363.716"},
    {0.03792, "0.03792", "0.03792"},
    {1e-9, "1E-09", "1E-09"},
    {-4.5e12, "-4.5E+12", "-4.5E+12"},
};

TEST(FormatPlotValueTest, BothDigitSettings) {
  for (const auto& c : kValueCases) {
    EXPECT_EQ(FormatPlotValue(c.v, 5), c.five) << c.v;
    EXPECT_EQ(FormatPlotValue(c.v, 4), c.four) << c.v;
  }
  // A sum beyond single precision: written as it is, not into the text's bounds.
  EXPECT_EQ(FormatPlotValue(std::numeric_limits<double>::infinity(), 5), "inf");
  EXPECT_EQ(FormatPlotValue(-std::numeric_limits<double>::infinity(), 4), "-inf");
}

// FormatPlotValue by its table above, with the C library's printf for the conversions.
std::string PrintfPlotValue(double v, int n) {
  char text[64];
  const double a = std::fabs(v);
  std::string out;
  if (a > 1 && a <= 100000) {
    std::snprintf(text, sizeof text, "%.*f", n, v);
    out = text;
  } else if (a >= 0.00001 && a <= 1) {
    const double scale = std::pow(10.0, std::ceil(std::log10(a)));
    const double factor = std::pow(10.0, n);
    out = FormatGeneral(std::nearbyint(v / scale * factor) / factor * scale, 15);
  } else if (v == 0) {
    return "0";
  } else {
    std::snprintf(text, sizeof text, "%.*e", n, v);
    out = text;
    const size_t e = out.find('e');
    size_t end = e;
    while (out[end - 1] == '0') --end;
    if (out[end - 1] == '.') --end;
    return out.substr(0, end) + "E" + out.substr(e + 1);
  }
  if (out.find('.') != std::string::npos && out.find('E') == std::string::npos)
    while (out.size() > out.find('.') + 2 && out.back() == '0') out.pop_back();
  return out;
}

TEST(FormatPlotValueTest, ValuesAndFixedFormatsAgreeWithPrintfInEveryRangeAndNearTies) {
  std::vector<double> values;
  std::mt19937_64 random(20261211);
  std::uniform_real_distribution<double> exponent(-8.0, 7.0);
  for (int i = 0; i < 100000; ++i) {
    const double v = std::pow(10.0, exponent(random));
    values.push_back(v);
    values.push_back(-v);
    values.push_back(static_cast<float>(v));  // the engine's values are single precision
  }
  // Halfway cases of five and four decimals, and their neighbours; ties a binary fraction holds exactly.
  for (int k = 100001; k < 10000000; k += 997)
    for (const double unit : {1e5, 1e4}) {
      const double tie = (k + 0.5) / unit;
      values.insert(values.end(), {tie, std::nextafter(tie, 0.0), std::nextafter(tie, 1e9)});
    }
  for (int m = 65; m < 6400000; m += 2 * 37) values.push_back(m / 64.0);
  for (int m = 1; m < 80000; m += 3) values.push_back(m / -8.0);  // ties of one and two decimals
  // Powers of ten, the ends of the ranges, and their neighbours.
  for (int e = -9; e <= 9; ++e) {
    const double p = std::pow(10.0, e);
    values.insert(values.end(), {p, std::nextafter(p, 0.0), std::nextafter(p, 1e300), 9.99995 * p, 9.999949999 * p});
  }
  values.insert(values.end(), {0.0, -0.0, 1.0, 100000.0, 0.00001, 1e300, 1e-300, -1e-9, 0.125, -2.5e6, 4.5e15});
  for (const double v : values) {
    for (const int n : {5, 4}) ASSERT_EQ(FormatPlotValue(v, n), PrintfPlotValue(v, n)) << std::hexfloat << v << " " << n;
    // The fixed formats of the column table, as printf applies them.
    for (const char* format : {"%13.5f", "%8.2f", "%.9f", "%.1f"}) {
      char text[400];
      std::snprintf(text, sizeof text, format, v);
      ASSERT_EQ(ApplyOutputFormat(format, v), std::string(text)) << std::hexfloat << v << " " << format;
    }
  }
}

TEST(FormatGeneralTest, FixedInsideTheExponentWindowScientificOutside) {
  const std::pair<double, const char*> cases[] = {
      {0.00012346, "0.00012346"}, {0.00001, "0.00001"}, {0.000001, "1E-06"}, {123.25, "123.25"},
      {1e15, "1E+15"},           {-0.5, "-0.5"},       {100, "100"},        {0.1 + 0.2, "0.3"},
  };
  for (auto [v, text] : cases) EXPECT_EQ(FormatGeneral(v), text) << v;
}

TEST(ApplyOutputFormatTest, PrintfConventionsOfTheColumnTable) {
  EXPECT_EQ(*ApplyOutputFormat("%13.5f", 500000.0), " 500000.00000");
  EXPECT_EQ(*ApplyOutputFormat("%8.2f", 99.75), "   99.75");
  EXPECT_EQ(*ApplyOutputFormat("%8.2f", -1.005), "   -1.00");  // the binary value is below -1.005
  EXPECT_EQ(*ApplyOutputFormat("%-6s", std::string_view("1-HR")), "1-HR  ");
  EXPECT_EQ(*ApplyOutputFormat("%-6s", std::string_view("MONTHLY")), "MONTHLY");  // not cut
  EXPECT_EQ(*ApplyOutputFormat("%8.8d", int64_t{8784}), "00008784");
  EXPECT_EQ(*ApplyOutputFormat("%8.8d", int64_t{-12}), "-00000012");
  EXPECT_EQ(*ApplyOutputFormat("%8.8d", std::string_view(" 96010124 ")), "96010124");
  EXPECT_EQ(*ApplyOutputFormat("%8.8d", 24.0), "00000024");
  EXPECT_EQ(*ApplyOutputFormat("%13.5f", std::string_view("2.5")), "      2.50000");
  EXPECT_EQ(*ApplyOutputFormat("%13.5f", int64_t{3}), "      3.00000");
}

TEST(ApplyOutputFormatTest, ValuesTheFormatCannotPrint) {
  EXPECT_FALSE(ApplyOutputFormat("%8.8d", std::string_view("abc")));
  EXPECT_FALSE(ApplyOutputFormat("%8.8d", std::string_view("")));
  EXPECT_FALSE(ApplyOutputFormat("%8.8d", 2.5));
  EXPECT_FALSE(ApplyOutputFormat("%13.5f", std::string_view("1-HR")));
  EXPECT_FALSE(ApplyOutputFormat("13.5f", 1.0));
}

TEST(CenterTitleTest, OddBlankGoesLeft) {
  EXPECT_EQ(CenterTitle("X", 13), "      X      ");
  EXPECT_EQ(CenterTitle("AVERAGE CONC", 13), " AVERAGE CONC");
  EXPECT_EQ(CenterTitle("ZELEV", 8), "  ZELEV ");
  EXPECT_EQ(CenterTitle("DATE", 8), "  DATE  ");
  EXPECT_EQ(CenterTitle("AVER CONC YR", 8), "AVER CONC YR");
}

TEST(PlotFormatStatementTest, OneXBeforeEachDescriptor) {
  using enum Tplotcolumn;
  Tplotcolumn xy[] = {pltX, pltY};
  Tplotcolumn three[] = {pltX, pltY, pltaveconc};
  Tplotcolumn mixed[] = {pltX, pltY, pltZElev, pltAve, pltNumHrs};
  EXPECT_EQ(PlotFormatStatement(xy), "(1X,F13.5,1X,F13.5)");
  EXPECT_EQ(PlotFormatStatement(three), "(1X,F13.5,1X,F13.5,1X,F13.5)");
  EXPECT_EQ(PlotFormatStatement(mixed), "(1X,F13.5,1X,F13.5,1X,F8.2,1X,A6,1X,I8.8)");
  EXPECT_EQ(PlotFormatStatement({}), "()");
}

TEST(SortedPlotOptionsTest, KnownWordsByPositionOthersAfterInTheirOrder) {
  const std::pair<const char*, const char*> cases[] = {
      {"RURAL,CONC,ELEV", "CONC  ELEV  RURAL"},
      {"wetdpl, DryDpl conc", "conc  DryDpl  wetdpl"},
      {"NonDFAULT,CONC,DEPOS,DDEP,WDEP,FLAT,DRYDPLT", "CONC  DEPOS  DDEP  WDEP  NonDFAULT  FLAT  DRYDPLT"},
      {"\"MY RUN\",ELEV,,CONC", "CONC  ELEV  MY RUN"},
      {"", ""},
  };
  for (auto [in, out] : cases) EXPECT_EQ(SortedPlotOptions(in), out) << in;
}

TEST(PlotTitleLineTest, AsteriskAndApplicationLabel) {
  EXPECT_EQ(PlotTitleLine("", "HOURLY RUN 2016"), "* HOURLY RUN 2016");
  EXPECT_EQ(PlotTitleLine("", "*already marked"), "*already marked");
  EXPECT_EQ(PlotTitleLine("", ""), "");
  EXPECT_EQ(PlotTitleLine("Zorvik", "HOURLY RUN"), "* Zorvik:  HOURLY RUN");
}

TEST(PlotColumnsTest, KeysAndHeadingNamesMeetTheirColumns) {
  EXPECT_EQ(PlotColumnByKey("CONC"), Tplotcolumn::pltaveconc);
  EXPECT_EQ(PlotColumnByKey("maxofconc"), Tplotcolumn::pltnullcolumn);
  EXPECT_EQ(PlotColumnByKey(""), Tplotcolumn::pltnullcolumn);
  // The title of every column is the first heading name that maps to it.
  for (int c = 1; c < kPlotColumnCount; ++c) {
    for (const auto& n : PlotColumnNames())
      if (static_cast<int>(n.Column) == c) {
        EXPECT_EQ(n.Name, PlotColumnInfo(c).Title) << c;
        break;
      }
  }
}

}  // namespace
}  // namespace zorvik
