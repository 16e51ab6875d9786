#include "plotfile/ISCPlotReader.h"

#include <gtest/gtest.h>

#include "PlotReaderSupport.h"
#include "util/ExceptionLog.h"

namespace zorvik {
namespace {

using test::kExample;
using test::PlotText;
using test::ReadPlot;
using test::TempDir;
using test::WriteAll;


TEST(ISCPlotReaderTest, ReadsTheWrittenExampleBack) {
  TempDir dir;
  WriteAll(dir.File("example.plt"), PlotText(kExample));
  auto r = ReadPlot(dir.File("example.plt"));
  const auto& w = r->writer;
  const auto& reader = *r->reader;
  ASSERT_EQ(reader.readerStatus(), attributeReaderStatus::arsOK) << reader.StatusMessage();
  EXPECT_EQ(w.begins, 1);
  EXPECT_EQ(w.finishes, 1);
  EXPECT_EQ(w.HeaderValue("header1"), "* HOURLY RUN 2016");
  EXPECT_EQ(w.HeaderValue("plot options"), "CONC,ELEV,RURAL");
  EXPECT_EQ(reader.PlotOptions(), (TPlotOptions{TPlotOption::pltoCONC, TPlotOption::pltoELEV}));
  EXPECT_EQ(w.HeaderValue("datatype"), "1");
  EXPECT_EQ(w.HeaderValue("group"), "ALL");
  EXPECT_EQ(w.HeaderValue("hour"), "1-HR");
  EXPECT_EQ(w.HeaderValue("high"), "OTHERS");
  EXPECT_EQ(reader.PltAverageKeyword(), TPltAverageKeyword::kw1Hr);
  EXPECT_EQ(w.HeaderValue("header2"), "PLOT FILE OF 98.00TH PERCENTILE 1-HR VALUES FOR SOURCE GROUP: ALL");
  EXPECT_EQ(w.HeaderValue("mumreceptors"), "4");
  EXPECT_EQ(w.HeaderValue("format"),
            "(1X,F13.5,1X,F13.5,1X,F13.5,1X,F8.2,1X,F8.2,1X,F8.2,1X,A6,1X,A8,1X,A8,1X,A8)");
  EXPECT_EQ(reader.Columns(), (std::vector<std::pair<int, int>>{
                                  {2, 13}, {16, 13}, {30, 13}, {44, 8}, {53, 8}, {62, 8}, {71, 6}, {78, 8}, {87, 8},
                                  {96, 8}}));
  EXPECT_EQ(reader.FieldNames(), (std::vector<std::string>{"xloc", "yloc", "conc", "elev", "hill", "flag", "period",
                                                           "sgroup", "netid", "date"}));
  EXPECT_EQ(w.fieldNames,
            (std::vector<std::string>{"xloc", "maxofxloc", "yloc", "maxofyloc", "conc", "maxofconc", "elev",
                                      "maxofelev", "hill", "maxofhill", "flag", "maxofflag", "period", "sgroup",
                                      "netid", "date"}));
  ASSERT_EQ(w.records.size(), 4u);
  const char* concs[] = {"12.34568", "0.00012346", "0", "123457"};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(w.Value(i, "xloc"), std::to_string(500000 + 100 * i)) << i;
    EXPECT_EQ(w.Value(i, "conc"), concs[i]) << i;
    EXPECT_EQ(w.Value(i, "period"), "1-HR");
  }
  EXPECT_EQ(w.Value(0, "netid"), "");
  EXPECT_EQ(w.Value(3, "netid"), "GRID1");
  EXPECT_EQ(w.Value(3, "date"), "16121201");
  EXPECT_EQ(w.Value(3, "maxofconc"), "123457");
  EXPECT_EQ(w.Value(1, "maxofconc"), "12.34568");
  EXPECT_EQ(w.HeaderValue("minimum x"), "500000");
  EXPECT_EQ(w.HeaderValue("maximum x"), "500300");
  EXPECT_EQ(w.HeaderValue("minimum y"), "4100000");
  EXPECT_EQ(w.HeaderValue("mayimum y"), "4100000");
  // A consumer that copies the header at ProcessBegin sees no extents yet.
  EXPECT_TRUE(w.beginHeader->ByName("minimum x")->IsNull());
}

struct FixtureCase {
  const char* file;
  int receptors;
  std::vector<std::string> keys;
  const char* header1;
  const char* options;
  const char* netid;
  const char* firstX;
  const char* firstY;
  const char* firstConc;
  const char* lastDate;
  const char* minX;
  const char* maxY;
};

class ISCPlotReaderFixtureTest : public ::testing::TestWithParam<FixtureCase> {};

TEST_P(ISCPlotReaderFixtureTest, RealModelPlotfiles) {
  const FixtureCase& c = GetParam();
  auto r = ReadPlot(test::DataFile(std::string("plotfile/") + c.file));
  const auto& w = r->writer;
  ASSERT_EQ(r->reader->readerStatus(), attributeReaderStatus::arsOK) << r->reader->StatusMessage();
  EXPECT_EQ(r->reader->FieldNames(), c.keys);
  EXPECT_EQ(r->reader->PlotColumnNames()[c.keys.size() - 3], "RANK");  // the heading reads "RAN"
  ASSERT_EQ(w.records.size(), static_cast<size_t>(c.receptors));
  EXPECT_EQ(w.HeaderValue("mumreceptors"), std::to_string(c.receptors));
  EXPECT_EQ(w.HeaderValue("header1"), c.header1);
  EXPECT_EQ(w.HeaderValue("header2"), "PLOT FILE OF HIGH 1ST HIGH 1-HR VALUES FOR SOURCE GROUP: ALL");
  EXPECT_EQ(w.HeaderValue("plot options"), c.options);
  EXPECT_EQ(w.HeaderValue("group"), "ALL");
  EXPECT_EQ(w.HeaderValue("hour"), "1-HR");
  EXPECT_EQ(w.HeaderValue("high"), "1ST");
  EXPECT_EQ(w.HeaderValue("datatype"), "1");
  const char* format = c.keys.size() == 14 ? "(6(1X,F13.5),3(1X,F8.2),3X,A5,2X,A8,2X,A5,5X,A8,2X,I8)"
                                            : "(3(1X,F13.5),3(1X,F8.2),3X,A5,2X,A8,2X,A5,5X,A8,2X,I8)";
  EXPECT_EQ(w.HeaderValue("format"), format);
  EXPECT_EQ(w.Value(0, "xloc"), c.firstX);
  EXPECT_EQ(w.Value(0, "yloc"), c.firstY);
  EXPECT_EQ(w.Value(0, "conc"), c.firstConc);
  EXPECT_EQ(w.Value(0, "period"), "1-HR");
  EXPECT_EQ(w.Value(0, "sgroup"), "ALL");
  EXPECT_EQ(w.Value(0, "rank"), "1ST");
  EXPECT_EQ(w.Value(0, "netid"), c.netid);
  EXPECT_EQ(w.Value(w.records.size() - 1, "date"), c.lastDate);
  EXPECT_EQ(w.HeaderValue("minimum x"), c.minX);
  EXPECT_EQ(w.HeaderValue("mayimum y"), c.maxY);
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, ISCPlotReaderFixtureTest,
    ::testing::Values(
        FixtureCase{"disc36.plt", 36,
                    {"xloc", "yloc", "conc", "elev", "hill", "flag", "period", "sgroup", "rank", "netid", "date"},
                    "disc36: one point source, 36 discrete receptors with terrain            12/10/26",
                    "REGDFAULT,CONC,ELEV,FLGPOL,RURAL,SIGA&SIGW", "", "0", "500", "5.46766", "88011711", "-3000",
                    "3000"},
        FixtureCase{"grid144.plt", 144,
                    {"xloc", "yloc", "conc", "elev", "hill", "flag", "period", "sgroup", "rank", "netid", "date"},
                    "grid144: one point source, 12 x 12 cartesian receptor grid              12/10/26",
                    "NONDFAULT,CONC,FLAT,RURAL,ADJ_U*", "G144", "-1100", "-1100", "162.80575", "96011802", "-1100",
                    "1100"},
        FixtureCase{"depos.plt", 30,
                    {"xloc", "yloc", "conc", "tdep", "ddep", "wdep", "elev", "hill", "flag", "period", "sgroup",
                     "rank", "netid", "date"},
                    "depos: one point source with particle deposition (Method 1),            12/10/26",
                    "NONDFAULT,CONC,DEPOS,DDEP,WDEP,FLAT,DRYDPLT,WETDPLT,RURAL,ADJ_U*", "P30", "146.94631",
                    "202.25425", "363.71604", "96041923", "-2853.16955", "3000"}),
    [](const auto& info) {
      std::string name = info.param.file;
      return name.substr(0, name.find('.'));
    });

TEST(ISCPlotReaderTest, HeaderVariants) {
  // Model version in the title, blank lines, an options line of the models' own older layout, lower-case
  // group on the first receptor line, remarks after the records.
  const std::vector<std::string> lines = {
      "* ISCST3 (02035):  Test run, two receptors",
      "* MODELING OPTIONS USED:",
      "*  RURAL  CONC  ELEV",
      "*         PLOT FILE OF  HIGH   1ST HIGH  24-HR VALUES FOR SOURCE GROUP: STACK1  ",
      "",
      "*         FOR A TOTAL OF     2 RECEPTORS.",
      "*         FORMAT: (3(1X,F13.5),1X,A8)",
      "*        X             Y      AVERAGE CONC   GRP   ",
      "* ____________  ____________  ____________ ________",
      "       1.00000       2.00000       3.00000 north",
      "   ",
      "       4.00000       5.00000       6.00000 north",
      "* CONCUNIT ug/m^3",
      "* DEPUNIT g/m^2",
      "* Chemical Name: Sulfur  dioxide",
      "",
  };
  TempDir dir;
  WriteAll(dir.File("v.plt"), PlotText(lines));
  for (bool preserve : {false, true}) {
    auto r = ReadPlot(dir.File("v.plt"), [&](TISCPlotReader& reader) { reader.SetPreserveModelVersion(preserve); });
    const auto& w = r->writer;
    ASSERT_EQ(r->reader->readerStatus(), attributeReaderStatus::arsOK) << r->reader->StatusMessage();
    EXPECT_EQ(w.HeaderValue("header1"),
              preserve ? "* ISCST3 (02035):  Test run, two receptors" : "Test run, two receptors");
    EXPECT_EQ(w.HeaderValue("plot options"), "RURAL,CONC,ELEV");
    EXPECT_EQ(w.HeaderValue("group"), "STACK1");
    EXPECT_EQ(w.HeaderValue("hour"), "24-HR");
    EXPECT_EQ(r->reader->PltAverageKeyword(), TPltAverageKeyword::kwNoAvg);
    ASSERT_EQ(w.records.size(), 2u);
    EXPECT_EQ(w.Value(0, "sgroup"), "NORTH");  // the first receptor line is read upper-cased
    EXPECT_EQ(w.Value(1, "sgroup"), "north");
    EXPECT_EQ(w.Value(1, "conc"), "6");
    EXPECT_EQ(r->reader->concunit(), "ug/m^3");
    EXPECT_EQ(r->reader->depunit(), "g/m^2");
    EXPECT_EQ(r->reader->ChemName(), "Sulfur dioxide");
  }
}

TEST(ISCPlotReaderTest, GroupFromTheFirstRecordWhenTheKindLineNamesNone) {
  TempDir dir;
  WriteAll(dir.File("g.plt"), PlotText({
                                  "* T",
                                  "*  PLOT FILE OF ANNUAL VALUES",
                                  "*         FORMAT: (3(1X,F13.5),1X,A8,1X,I8)",
                                  "*        X             Y      AVERAGE CONC   GRP    NUM HRS ",
                                  "       1.00000       2.00000       3.00000 east         24",
                                  "       4.00000       5.00000       6.00000 west",
                              }));
  auto r = ReadPlot(dir.File("g.plt"));
  const auto& w = r->writer;
  ASSERT_EQ(r->reader->readerStatus(), attributeReaderStatus::arsOK) << r->reader->StatusMessage();
  EXPECT_EQ(w.HeaderValue("group"), "EAST");
  EXPECT_EQ(w.HeaderValue("hour"), "ANNUAL");
  EXPECT_EQ(r->reader->PltAverageKeyword(), TPltAverageKeyword::kwAnnual);
  EXPECT_EQ(w.HeaderValue("plot options"), "<null>");
  EXPECT_EQ(r->reader->PlotOptions(), TPlotOptions{TPlotOption::pltoCONC});  // derived from the columns
  EXPECT_EQ(w.beginHeader->GetAttributeValue("group"), "Unknown");
  EXPECT_EQ(w.Value(0, "hnum"), "24");
  // A blank count field is no value, not 0.
  EXPECT_EQ(w.Value(1, "hnum"), "<null>");
}

struct BadCase {
  const char* name;
  std::vector<std::string> lines;
  const char* message;  // after "<file>"
};

class ISCPlotReaderBadHeaderTest : public ::testing::TestWithParam<BadCase> {};

TEST_P(ISCPlotReaderBadHeaderTest, EndsWithBadFormatBeforeAnyWriterCall) {
  const BadCase& c = GetParam();
  TempDir dir;
  const std::string file = dir.File("bad.plt");
  WriteAll(file, PlotText(c.lines));
  auto r = ReadPlot(file);
  EXPECT_EQ(r->reader->readerStatus(), attributeReaderStatus::arsBadFormat);
  EXPECT_EQ(r->writer.begins, 0);
  EXPECT_EQ(r->writer.records.size(), 0u);
  EXPECT_EQ(r->writer.finishes, 0);
  EXPECT_EQ(r->reader->StatusMessage(), file + c.message);
}

const std::string kKind = "*         PLOT FILE OF  HIGH   1ST HIGH  1-HR VALUES FOR SOURCE GROUP: ALL";
const std::string kHeadings = "*        X             Y      AVERAGE CONC";
const std::string kData = "       1.00000       2.00000       3.00000";

INSTANTIATE_TEST_SUITE_P(
    BadInput, ISCPlotReaderBadHeaderTest,
    ::testing::Values(
        BadCase{"empty", {}, ": the file is empty"},
        BadCase{"blank_lines_only", {"", "   ", ""}, ": the file is empty"},
        BadCase{"no_format_line",
                {"* T", kKind, "*         FOR A TOTAL OF 1 RECEPTORS.", kHeadings, kData},
                ", line 1: the header block has no FORMAT statement"},
        BadCase{"format_not_cut",
                {"* T", kKind, "*         FORMAT: 3(1X,F13.5)", kHeadings, kData},
                ", line 3: the FORMAT statement 3(1X,F13.5) cannot be used: fmt string is not enclosed in required "
                "parens"},
        BadCase{"format_too_few_fields",
                {"* T", kKind, "*         FORMAT: (1X,F13.5,1X,F13.5)", kHeadings, kData},
                ", line 3: the FORMAT statement (1X,F13.5,1X,F13.5) describes 2 field(s); a PLOTFILE line has at "
                "least three"},
        BadCase{"headings_missing",
                {"* T", kKind, "*         FORMAT: (3(1X,F13.5))", kData},
                ", line 4: the FORMAT statement is not followed by the column headings"},
        BadCase{"no_kind_line",
                {"* T", "*         FORMAT: (3(1X,F13.5))", kHeadings, kData},
                ", line 1: the header block has no line naming what the file holds (such as \"PLOT FILE OF\")"},
        BadCase{"headerless_two_values", {"  1.0  2.0"}, ", line 1: a PLOTFILE without header needs X, Y and values on its first line"},
        BadCase{"headerless_no_coordinates",
                {"", "  ALL  2.0  3.0 1.0 1.0 1.0"},
                ", line 2: the first line does not begin with X and Y coordinates (\"ALL\", \"2.0\")"},
        BadCase{"headerless_too_few_decimals",
                {"  1.0  2.0  3.0  4.0  5.0 ALL"},
                ", line 1: the first line holds 3 decimal value(s) after X and Y; at least four are needed"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ISCPlotReaderTest, MissingFileRaisesFileNotFound) {
  TempDir dir;
  TISCPlotReader reader(dir.File("none.plt"));
  test::TRecordingWriter w;
  reader.WriterSubscribe(w);
  try {
    reader.Process();
    FAIL() << "no error";
  } catch (const EFileNotFound& e) {
    EXPECT_EQ(std::string(e.what()), dir.File("none.plt"));
  }
  EXPECT_EQ(w.begins, 0);
}

TEST(ISCPlotReaderTest, HeaderWithoutReceptorLines) {
  TempDir dir;
  std::vector<std::string> lines(kExample.begin(), kExample.begin() + 8);
  lines.push_back("");
  WriteAll(dir.File("h.plt"), PlotText(lines));
  auto r = ReadPlot(dir.File("h.plt"));
  EXPECT_EQ(r->reader->readerStatus(), attributeReaderStatus::arsOK);
  EXPECT_EQ(r->writer.begins, 1);
  EXPECT_EQ(r->writer.records.size(), 0u);
  EXPECT_EQ(r->writer.finishes, 1);
  EXPECT_EQ(r->writer.HeaderValue("minimum x"), "1E30");
}

// Two header blocks of a MAXDCONT file (one per rank) and of an annual post/plot file (one per year).
std::vector<std::string> TwoBlocks(const std::string& kind1, const std::string& kind2) {
  std::vector<std::string> lines;
  const char* values[2][2] = {{"3.00000", "6.00000"}, {"7.00000", "8.00000"}};
  for (int b = 0; b < 2; ++b) {
    lines.push_back("* TWO BLOCKS");
    lines.push_back(b == 0 ? kind1 : kind2);
    lines.push_back("*         FOR A TOTAL OF 2 RECEPTORS.");
    lines.push_back("*         FORMAT: (3(1X,F13.5),1X,A8)");
    lines.push_back("*        X             Y      AVERAGE CONC   GRP");
    lines.push_back("       1.00000       2.00000       " + std::string(values[b][0]) + " ALL");
    lines.push_back("       4.00000       5.00000       " + std::string(values[b][1]) + " ALL");
  }
  return lines;
}

TEST(ISCPlotReaderTest, SeveralHeaderBlocks) {
  const auto maxdcont = TwoBlocks("*   MAXDCONT FILE OF 1ST HIGHEST 24-HR VALUES FOR SOURCE GROUP: ALL",
                                  "*   MAXDCONT FILE OF 2ND HIGHEST 24-HR VALUES FOR SOURCE GROUP: ALL");
  const auto annual = TwoBlocks("*   POST/PLOT FILE OF ANNUAL VALUES FOR YEAR  1 FOR SOURCE GROUP: ALL",
                                "*   POST/PLOT FILE OF ANNUAL VALUES FOR YEAR  2 FOR SOURCE GROUP: ALL");
  const auto plain = TwoBlocks("*   PLOT FILE OF 1ST HIGHEST 24-HR VALUES FOR SOURCE GROUP: ALL",
                               "*   PLOT FILE OF 2ND HIGHEST 24-HR VALUES FOR SOURCE GROUP: ALL");
  struct Case {
    const char* name;
    const std::vector<std::string>& lines;
    int layer;
    std::vector<std::string> concs;
    std::vector<std::string> layerNames;
    const char* high;
  } cases[] = {
      {"maxdcont first", maxdcont, 0, {"3", "6"}, {"1ST"}, "1ST"},
      {"maxdcont second", maxdcont, 1, {"7", "8"}, {"1ST", "2ND"}, "2ND"},
      {"maxdcont beyond", maxdcont, 2, {}, {"1ST", "2ND"}, "2ND"},
      {"maxdcont all", maxdcont, -1, {"3", "6", "7", "8"}, {"1ST", "2ND"}, "1ST"},
      {"annual all", annual, -1, {"3", "6", "7", "8"}, {"Year 1", "Average"}, "OTHERS"},
      {"annual second", annual, 1, {"7", "8"}, {"Year 1", "Year 2"}, "OTHERS"},
      {"plain file stops at its first block", plain, 1, {"3", "6"}, {"1"}, "1ST"},
  };
  TempDir dir;
  for (const Case& c : cases) {
    WriteAll(dir.File("blocks.plt"), PlotText(c.lines));
    auto r = ReadPlot(dir.File("blocks.plt"), [&](TISCPlotReader& reader) { reader.SetLayerID(c.layer); });
    ASSERT_EQ(r->reader->readerStatus(), attributeReaderStatus::arsOK) << c.name << r->reader->StatusMessage();
    std::vector<std::string> concs;
    for (size_t i = 0; i < r->writer.records.size(); ++i) concs.push_back(r->writer.Value(i, "conc"));
    EXPECT_EQ(concs, c.concs) << c.name;
    std::vector<std::string> names;
    for (int i = 0; i < r->reader->LayerCount(); ++i) names.push_back(r->reader->GetLayerName(i));
    EXPECT_EQ(names, c.layerNames) << c.name;
    EXPECT_EQ(r->writer.HeaderValue("high"), c.high) << c.name;
  }
  EXPECT_EQ(test::ReadPlot(dir.File("blocks.plt"))->reader->ClassName(), "TISCPlotReader");
}

TEST(ISCPlotReaderTest, FilesWithoutHeader) {
  TempDir dir;
  struct Case {
    const char* name;
    std::vector<std::string> lines;
    std::vector<std::string> keys;
    std::vector<std::vector<std::string>> values;  // per record, the values of `keys`
    const char* hour;
    const char* high;
  } cases[] = {
      {"hourly",
       {"  500000.0 4100000.0 12.345 100.0 120.0 0.0 1-HR 1ST ALL GRID1 96010101",
        "  500100.0 4100000.0 0.5 101.0 121.0 1.5 1-HR 1ST ALL GRID1 96010102"},
       {"xloc", "yloc", "data1", "elev", "hill", "flag", "period", "rank", "sgroup", "netid", "date"},
       {{"500000", "4100000", "12.345", "100", "120", "0", "1-HR", "1ST", "ALL", "GRID1", "96010101"},
        {"500100", "4100000", "0.5", "101", "121", "1.5", "1-HR", "1ST", "ALL", "GRID1", "96010102"}},
       "1-HR",
       "1ST"},
      {"data with date years",
       {"1.0 2.0 3.0 4.0 5.0 6.0 96010101 8.5 96020101 PERIOD SRC", "1.0 2.0 3.0 4.0 5.0 6.5 x 9.5 y PERIOD SRC"},
       {"data1", "elev", "flag", "date", "data2", "dateyr1", "period", "sgroup"},
       {{"3", "4", "6", "96010101", "8.5", "96020101", "PERIOD", "SRC"},
        {"3", "4", "6.5", "x", "9.5", "y", "PERIOD", "SRC"}},
       "PERIOD",
       "OTHERS"},
      {"monthly",
       {"1.0 2.0 10.00 20.00 0.00 3.5 JANUARY 1990 ALL", "1.0 2.0 10.00 20.00 0.00 4.5 February 1992 ALL",
        "1.0 2.0 10.00 20.00 0.00 5.5 MARCH 1800 ALL"},
       {"elev", "hill", "flag", "conc", "date", "sgroup"},
       {{"10", "20", "0", "3.5", "90013124", "ALL"},
        {"10", "20", "0", "4.5", "92022924", "ALL"},
        {"10", "20", "0", "5.5", "<null>", "ALL"}},
       "3 MONTH",
       "1ST"},
  };
  for (const Case& c : cases) {
    WriteAll(dir.File("nohead.plt"), PlotText(c.lines));
    auto r = ReadPlot(dir.File("nohead.plt"));
    const auto& w = r->writer;
    ASSERT_EQ(r->reader->readerStatus(), attributeReaderStatus::arsOK) << c.name << r->reader->StatusMessage();
    EXPECT_TRUE(r->reader->Headerless());
    ASSERT_EQ(w.records.size(), c.values.size()) << c.name;
    for (size_t i = 0; i < c.values.size(); ++i)
      for (size_t k = 0; k < c.keys.size(); ++k) EXPECT_EQ(w.Value(i, c.keys[k]), c.values[i][k]) << c.name << i << c.keys[k];
    EXPECT_EQ(w.HeaderValue("hour"), c.hour) << c.name;
    EXPECT_EQ(w.HeaderValue("high"), c.high) << c.name;
  }
  // Data fields are named "Data n" after their caption.
  WriteAll(dir.File("nohead.plt"), PlotText(cases[1].lines));
  auto r = ReadPlot(dir.File("nohead.plt"));
  EXPECT_EQ(r->reader->GetPlotColumnNameByID(2), "Data 1");
  EXPECT_EQ(r->reader->GetPlotColumnNameByID(3), "ZELEV");
  EXPECT_EQ(r->reader->PlotOptions(), TPlotOptions{TPlotOption::pltoELEV});
}

}  // namespace
}  // namespace zorvik
