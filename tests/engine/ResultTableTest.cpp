#include "engine/ResultTable.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "util/Exceptions.h"

namespace zorvik {
namespace {

const std::vector<TResultRow> kThreeReceptors = {
    {1, 500000.5, 4100000, 12.25, 0.1, 24010124},
    {2, 500100.5, 4100000, 13, 1234.5678, 0},
    {3, -20, 7.125, 0, 3e-05, 24123101},
};

TEST(ResultTableTest, FormatNames) {
  EXPECT_EQ(ResultFormatFromName("csv"), TResultFormat::rfCsv);
  EXPECT_EQ(ResultFormatFromName("GeoJSON"), TResultFormat::rfGeoJson);
  EXPECT_EQ(ResultFormatFromName("asc"), TResultFormat::rfAsciiGrid);
  EXPECT_EQ(ResultFormatFromName("json"), std::nullopt);
  EXPECT_EQ(ResultFormatFromName(""), std::nullopt);
}

TEST(ResultTableTest, CsvOfThreeReceptors) {
  EXPECT_EQ(FormatResultCsv(kThreeReceptors, "P98_00"),
            "receptor,x,y,elevation,P98_00,date\r\n"
            "1,500000.5,4100000,12.25,0.1,24010124\r\n"
            "2,500100.5,4100000,13,1234.5678,\r\n"
            "3,-20,7.125,0,3e-05,24123101\r\n");
  // A name with a comma or quote is quoted; a value that is not finite is an empty field.
  EXPECT_EQ(FormatResultCsv({{7, 1, 2, 3, NAN, 0}}, "4th \"high\", 1-hr"),
            "receptor,x,y,elevation,\"4th \"\"high\"\", 1-hr\",date\r\n"
            "7,1,2,3,,\r\n");
}

TEST(ResultTableTest, CsvNumbersReadBackExactly) {
  const double awkward = 0.1 + 0.2;  // 0.30000000000000004
  const std::string text = FormatResultCsv({{1, awkward, -0.0, 1e21, 1.0 / 3, 0}}, "v");
  EXPECT_EQ(text, "receptor,x,y,elevation,v,date\r\n"
                  "1,0.30000000000000004,0,1e+21,0.3333333333333333,\r\n");
}

TEST(ResultTableTest, GeoJsonOfThreeReceptors) {
  const std::string features =
      "\"features\": [\r\n"
      "{\"type\": \"Feature\", \"geometry\": {\"type\": \"Point\", \"coordinates\": [500000.5, 4100000]}, "
      "\"properties\": {\"receptor\": 1, \"x\": 500000.5, \"y\": 4100000, \"elevation\": 12.25, "
      "\"P98_00\": 0.1, \"date\": 24010124}},\r\n"
      "{\"type\": \"Feature\", \"geometry\": {\"type\": \"Point\", \"coordinates\": [500100.5, 4100000]}, "
      "\"properties\": {\"receptor\": 2, \"x\": 500100.5, \"y\": 4100000, \"elevation\": 13, "
      "\"P98_00\": 1234.5678, \"date\": null}},\r\n"
      "{\"type\": \"Feature\", \"geometry\": {\"type\": \"Point\", \"coordinates\": [-20, 7.125]}, "
      "\"properties\": {\"receptor\": 3, \"x\": -20, \"y\": 7.125, \"elevation\": 0, "
      "\"P98_00\": 3e-05, \"date\": 24123101}}\r\n"
      "]}\r\n";
  EXPECT_EQ(FormatResultGeoJson(kThreeReceptors, "P98_00", std::nullopt),
            "{\"type\": \"FeatureCollection\",\r\n" + features);
  EXPECT_EQ(FormatResultGeoJson(kThreeReceptors, "P98_00", 32617),
            "{\"type\": \"FeatureCollection\",\r\n"
            "\"crs\": {\"type\": \"name\", \"properties\": {\"name\": \"urn:ogc:def:crs:EPSG::32617\"}},\r\n" +
                features);
}

TEST(ResultTableTest, GeoJsonEscapesTheNameAndWritesNullForNoValue) {
  EXPECT_EQ(FormatResultGeoJson({{1, 0, 0, 0, INFINITY, 0}}, "a\"b\\c\td", std::nullopt),
            "{\"type\": \"FeatureCollection\",\r\n"
            "\"features\": [\r\n"
            "{\"type\": \"Feature\", \"geometry\": {\"type\": \"Point\", \"coordinates\": [0, 0]}, "
            "\"properties\": {\"receptor\": 1, \"x\": 0, \"y\": 0, \"elevation\": 0, "
            "\"a\\\"b\\\\c\\u0009d\": null, \"date\": null}}\r\n"
            "]}\r\n");
  EXPECT_EQ(FormatResultGeoJson({}, "v", std::nullopt),
            "{\"type\": \"FeatureCollection\",\r\n\"features\": [\r\n]}\r\n");
}

// A PLOTFILE without a ZELEV column gives no elevation: neither format may write "nan" (JSON has no such
// number, and GIS programs read it as text).
TEST(ResultTableTest, NumbersThatAreNotFiniteAreLeftEmpty) {
  const std::vector<TResultRow> rows = {{1, 10, 20, NAN, 1.5, 0}, {2, NAN, 20, INFINITY, 2, 24010101}};
  EXPECT_EQ(FormatResultCsv(rows, "v"),
            "receptor,x,y,elevation,v,date\r\n"
            "1,10,20,,1.5,\r\n"
            "2,,20,,2,24010101\r\n");
  EXPECT_EQ(FormatResultGeoJson(rows, "v", std::nullopt),
            "{\"type\": \"FeatureCollection\",\r\n"
            "\"features\": [\r\n"
            "{\"type\": \"Feature\", \"geometry\": {\"type\": \"Point\", \"coordinates\": [10, 20]}, "
            "\"properties\": {\"receptor\": 1, \"x\": 10, \"y\": 20, \"elevation\": null, \"v\": 1.5, "
            "\"date\": null}},\r\n"
            "{\"type\": \"Feature\", \"geometry\": null, "
            "\"properties\": {\"receptor\": 2, \"x\": null, \"y\": 20, \"elevation\": null, \"v\": 2, "
            "\"date\": 24010101}}\r\n"
            "]}\r\n");
}

struct TGridCase {
  const char* Name;
  std::vector<TResultRow> Rows;
  std::string Expected;
};

class AsciiGridTest : public testing::TestWithParam<TGridCase> {};

TEST_P(AsciiGridTest, WritesTheGridNorthFirst) {
  EXPECT_EQ(FormatResultAsciiGrid(GetParam().Rows), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    ResultTableTest, AsciiGridTest,
    testing::Values(
        // 3 x 2, given in no particular order, one x a little off its column; a missing value is NODATA.
        TGridCase{"ThreeByTwo",
                  {{5, 350050.0000001, 4200050, 0, 7.5, 0},
                   {1, 350000, 4200000, 0, 1.5, 0},
                   {6, 350100, 4200050, 0, 9, 0},
                   {2, 350050, 4200000, 0, 3, 0},
                   {4, 350000, 4200050, 0, 6, 0},
                   {3, 350100, 4200000, 0, NAN, 0}},
                  "ncols 3\r\nnrows 2\r\nxllcorner 349975\r\nyllcorner 4199975\r\ncellsize 50\r\n"
                  "NODATA_value -9999\r\n"
                  "6 7.5 9\r\n"
                  "1.5 3 -9999\r\n"},
        TGridCase{"OneColumn",
                  {{1, 10, 0, 0, 1, 0}, {2, 10, 25, 0, 2, 0}, {3, 10, 50, 0, 3, 0}},
                  "ncols 1\r\nnrows 3\r\nxllcorner -2.5\r\nyllcorner -12.5\r\ncellsize 25\r\n"
                  "NODATA_value -9999\r\n3\r\n2\r\n1\r\n"}),
    [](const testing::TestParamInfo<TGridCase>& info) { return info.param.Name; });

struct TNotGridCase {
  const char* Name;
  std::vector<TResultRow> Rows;
  std::string Message;
};

class NotAGridTest : public testing::TestWithParam<TNotGridCase> {};

TEST_P(NotAGridTest, IsRefusedWithItsReason) {
  try {
    FormatResultAsciiGrid(GetParam().Rows);
    FAIL() << "no error";
  } catch (const EFormatError& e) {
    EXPECT_EQ(std::string(e.what()), GetParam().Message);
  }
}

const std::string kNotGrid = "ESRI ASCII grid: the receptors do not form a regular Cartesian grid (";

INSTANTIATE_TEST_SUITE_P(
    ResultTableTest, NotAGridTest,
    testing::Values(
        TNotGridCase{"Scattered",
                     {{1, 0, 0, 0, 1, 0}, {2, 100, 30, 0, 1, 0}, {3, 250, 70, 0, 1, 0}},
                     kNotGrid + "x coordinates 0, 100, 250 are not equally spaced)"},
        TNotGridCase{"MissingCell",
                     {{1, 0, 0, 0, 1, 0},
                      {2, 100, 0, 0, 1, 0},
                      {3, 200, 0, 0, 1, 0},
                      {4, 0, 100, 0, 1, 0},
                      {5, 100, 100, 0, 1, 0}},
                     kNotGrid + "no receptor at x 200, y 100)"},
        TNotGridCase{"CellTwice",
                     {{1, 0, 0, 0, 1, 0}, {2, 100, 0, 0, 1, 0}, {3, 0, 0.00001, 0, 1, 0}},
                     kNotGrid + "receptors 1 (x 0, y 0) and 3 (x 0, y 1e-05) fall in the same cell)"},
        TNotGridCase{"UnequalSpacing",
                     {{1, 0, 0, 0, 1, 0}, {2, 100, 0, 0, 1, 0}, {3, 0, 50, 0, 1, 0}, {4, 100, 50, 0, 1, 0}},
                     "ESRI ASCII grid: the x spacing 100 differs from the y spacing 50; the format has square "
                     "cells only"},
        TNotGridCase{"OnePosition",
                     {{1, 5, 5, 0, 1, 0}, {2, 5, 5, 0, 2, 0}},
                     "ESRI ASCII grid: 2 receptor(s) at a single position give no cell size"},
        TNotGridCase{"NoReceptors", {}, "ESRI ASCII grid: 0 receptor(s) at a single position give no cell size"},
        TNotGridCase{"NoPosition",
                     {{1, 0, 0, 0, 1, 0}, {2, NAN, 0, 0, 1, 0}},
                     "ESRI ASCII grid: receptor 2 has no finite position"}),
    [](const testing::TestParamInfo<TNotGridCase>& info) { return info.param.Name; });

std::vector<int> ReceptorsOf(const std::vector<TResultRow>& rows) {
  std::vector<int> numbers;
  for (const TResultRow& r : rows) numbers.push_back(r.Receptor);
  return numbers;
}

TEST(ResultTableTest, TopRowsHighestFirstTiesByReceptor) {
  const std::vector<TResultRow> rows = {
      {1, 0, 0, 0, 2, 0}, {2, 0, 0, 0, NAN, 0}, {3, 0, 0, 0, 5, 0}, {4, 0, 0, 0, 2, 0},
      {5, 0, 0, 0, 5, 0}, {6, 0, 0, 0, 7, 0},   {7, 0, 0, 0, 2, 0},
  };
  struct {
    size_t N;
    std::vector<int> Expected;
  } const cases[] = {
      {0, {}},
      {1, {6}},
      {3, {6, 3, 5}},
      {5, {6, 3, 5, 1, 4}},
      {7, {6, 3, 5, 1, 4, 7, 2}},
      {20, {6, 3, 5, 1, 4, 7, 2}},
  };
  for (const auto& c : cases) EXPECT_EQ(ReceptorsOf(TopRows(rows, c.N)), c.Expected) << "n = " << c.N;
  // The rows come back whole.
  const auto top = TopRows(rows, 1);
  EXPECT_EQ(top[0].Value, 7);
}

}  // namespace
}  // namespace zorvik
