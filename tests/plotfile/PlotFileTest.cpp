#include "plotfile/PlotFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "PlotReaderSupport.h"
#include "plotfile/ISCPlotFileWriter.h"
#include "plotfile/PlotFormat.h"
#include "util/ExceptionLog.h"

namespace zorvik {
namespace {

using test::DataFile;
using test::PlotText;
using test::TempDir;
using test::WriteAll;

struct FixtureCase {
  const char* file;
  int receptors;
  std::vector<std::string> columns;
  double lastX, lastY;
};

const std::vector<std::string> kConcColumns = {"X",     "Y",   "AVERAGE CONC", "ZELEV", "ZHILL",     "ZFLAG",
                                               "AVE",   "GRP", "RANK",         "NET ID", "DATE(CONC)"};
const std::vector<std::string> kDeposColumns = {"X",     "Y",     "AVERAGE CONC", "TOTAL DEPO", "DRY DEPO",
                                                "WET DEPO", "ZELEV", "ZHILL",     "ZFLAG",      "AVE",
                                                "GRP",   "RANK",  "NET ID",       "DATE(CONC)"};

const FixtureCase kFixtures[] = {
    {"disc36.plt", 36, kConcColumns, -1500.0, 2598.08},
    {"grid144.plt", 144, kConcColumns, 1100.0, 1100.0},
    {"depos.plt", 30, kDeposColumns, -0.0, 3000.0},
};

TEST(PlotFileTest, RealModelPlotfiles) {
  for (const FixtureCase& c : kFixtures) {
    TPlotFile plot = TPlotFile::Read(DataFile(std::string("plotfile/") + c.file));
    EXPECT_EQ(plot.ReceptorCount(), c.receptors) << c.file;
    EXPECT_EQ(plot.StatedReceptorCount(), c.receptors) << c.file;
    EXPECT_EQ(plot.SourceGroup(), "ALL");
    EXPECT_EQ(plot.AveragingPeriod(), "1-HR");
    EXPECT_EQ(plot.HighValue(), "1ST");
    // DATE(CONC) is cut at the parenthesis and the heading "RAN" reads as RANK; the heading itself is kept.
    std::vector<std::string> expected = c.columns;
    std::replace(expected.begin(), expected.end(), std::string("DATE(CONC)"), std::string("DATE(CON"));
    EXPECT_EQ(plot.ColumnNames(), expected) << c.file;
    EXPECT_EQ(plot.Columns().size(), c.columns.size());
    EXPECT_DOUBLE_EQ(plot.X(plot.ReceptorCount() - 1), c.lastX) << c.file;
    EXPECT_DOUBLE_EQ(plot.Y(plot.ReceptorCount() - 1), c.lastY) << c.file;
    EXPECT_EQ(plot.AsString(0, plot.FieldIndex("period")), "1-HR");
    EXPECT_FALSE(plot.Headerless());
  }
}

// Reads `source` and writes it again through a writer with `digits` significant digits.
class TDigitsWriter : public TISCPlotFileWriterBase {
 public:
  TDigitsWriter(std::string file, int digits) : TISCPlotFileWriterBase(std::move(file)), fDigits(digits) {}
  int SignificantDigits() const override { return fDigits; }

 private:
  int fDigits;
};

void Rewrite(const std::string& source, const std::string& target, int digits) {
  TISCPlotReader reader(source);
  TDigitsWriter writer(target, digits);
  reader.WriterSubscribe(writer);
  reader.Process();
  ASSERT_EQ(reader.readerStatus(), attributeReaderStatus::arsOK);
}

std::vector<std::string> Sorted(std::vector<std::string> v) {
  std::sort(v.begin(), v.end());
  return v;
}

TEST(PlotFileTest, ReadWriteRoundTripKeepsValuesAndColumns) {
  TempDir dir;
  for (const FixtureCase& c : kFixtures) {
    const std::string source = DataFile(std::string("plotfile/") + c.file);
    for (int digits : {5, 4}) {
      const std::string copy = dir.File(std::to_string(digits) + c.file);
      Rewrite(source, copy, digits);
      TPlotFile a = TPlotFile::Read(source);
      TPlotFile b = TPlotFile::Read(copy);
      ASSERT_EQ(b.ReceptorCount(), a.ReceptorCount()) << c.file;
      EXPECT_EQ(Sorted(b.FieldKeys()), Sorted(a.FieldKeys())) << c.file;
      EXPECT_EQ(b.SourceGroup(), a.SourceGroup());
      EXPECT_EQ(b.AveragingPeriod(), a.AveragingPeriod());
      EXPECT_EQ(b.Header().GetAttributeValue("header2"), a.Header().GetAttributeValue("header2"));
      // The option words come back ordered by their option (CONC before DEPOS ...), the others after them.
      EXPECT_EQ(Sorted(PlotOptionWords(b.Header().GetAttributeValue("plot options"))),
                Sorted(PlotOptionWords(a.Header().GetAttributeValue("plot options"))));
      for (int i = 0; i < a.ReceptorCount(); ++i) {
        for (int fa = 0; fa < a.FieldCount(); ++fa) {
          const std::string& key = a.FieldKeys()[static_cast<size_t>(fa)];
          const int fb = b.FieldIndex(key);
          ASSERT_GE(fb, 0) << key;
          if (digits == 5 || std::isnan(a.AsFloat(i, fa))) {
            // Five significant digits reproduce every value the models print with five decimals.
            EXPECT_EQ(b.AsString(i, fb), a.AsString(i, fa)) << c.file << " receptor " << i << " " << key;
          } else {
            const double v = a.AsFloat(i, fa);
            const double tolerance = (std::fabs(v) > 1 ? 0.5e-4 : std::max(std::fabs(v) * 5e-4, 1e-12)) * (1 + 1e-9);
            EXPECT_NEAR(b.AsFloat(i, fb), v, tolerance) << c.file << " receptor " << i << " " << key;
          }
        }
      }
    }
  }
}

TEST(PlotFileTest, ReceptorRecordsCarryTheReaderKeysAndKinds) {
  TPlotFile plot = TPlotFile::Read(DataFile("plotfile/depos.plt"));
  auto record = plot.ReceptorRecord(0);
  std::vector<std::string> names;
  for (const base_Attribute& a : record->Items()) names.push_back(a.FieldName());
  EXPECT_EQ(names, plot.FieldKeys());
  EXPECT_EQ(names, (std::vector<std::string>{"xloc", "yloc", "conc", "tdep", "ddep", "wdep", "elev", "hill", "flag",
                                             "period", "sgroup", "rank", "netid", "date"}));
  EXPECT_EQ(record->ByName("conc")->FieldType(), AttrType::atFloat);
  EXPECT_DOUBLE_EQ(record->ByName("wdep")->asFloat(), 0.29081);
  EXPECT_EQ(record->ByName("date")->asString(), "96052211");
  EXPECT_EQ(record->ByName("netid")->asString(), "P30");
  EXPECT_DOUBLE_EQ(plot.AsFloat(0, plot.FieldIndex("TDEP")), 0.29653);
  EXPECT_TRUE(std::isnan(plot.AsFloat(0, plot.FieldIndex("rank"))));
  EXPECT_EQ(plot.FieldIndex("maxofconc"), -1);
}

struct ErrorCase {
  const char* name;
  std::vector<std::string> lines;
  const char* message;  // after the file name
};

TEST(PlotFileTest, ErrorsNameTheFileAndLine) {
  const std::vector<std::string> head = {
      "* T",
      "*         PLOT FILE OF  HIGH   1ST HIGH  1-HR VALUES FOR SOURCE GROUP: ALL",
      "*         FOR A TOTAL OF 2 RECEPTORS.",
      "*         FORMAT: (3(1X,F13.5))",
      "*        X             Y      AVERAGE CONC",
  };
  auto with = [&](std::vector<std::string> tail) {
    std::vector<std::string> lines = head;
    lines.insert(lines.end(), tail.begin(), tail.end());
    return lines;
  };
  const ErrorCase cases[] = {
      {"x not a number", with({"       1.00000       2.00000       3.00000", "     abc           2.00000       3.00000"}),
       ", line 7: the receptor has no X coordinate (\"abc\")"},
      {"y missing", with({"       1.00000       2.00000       3.00000", "       1.00000"}),
       ", line 7: the receptor has no Y coordinate"},
      {"count differs", with({"       1.00000       2.00000       3.00000"}),
       ": the header states 2 receptors, but the file holds 1 receptor lines"},
      {"no format", {"* T", head[1], head[2], "       1.00000       2.00000       3.00000"},
       ", line 1: the header block has no FORMAT statement"},
      {"empty", {}, ": the file is empty"},
  };
  TempDir dir;
  const std::string file = dir.File("bad.plt");
  for (const ErrorCase& c : cases) {
    WriteAll(file, PlotText(c.lines));
    try {
      TPlotFile::Read(file);
      ADD_FAILURE() << c.name << ": no error";
    } catch (const std::exception& e) {
      EXPECT_EQ(RootMessage(e), file + c.message) << c.name;
      EXPECT_TRUE(EStackTrace::IsException<EFormatError>(e)) << c.name;
    }
  }
  try {
    TPlotFile::Read(dir.File("missing.plt"));
    ADD_FAILURE() << "no error for a missing file";
  } catch (const std::exception& e) {
    EXPECT_TRUE(EStackTrace::IsException<EFileNotFound>(e));
    EXPECT_EQ(RootMessage(e), "The file does not exist: " + dir.File("missing.plt"));
  }
}

TEST(PlotFileTest, FileWithoutHeaderStatesNoCount) {
  TempDir dir;
  WriteAll(dir.File("n.plt"), PlotText({"1.0 2.0 3.0 4.0 5.0 6.0 1-HR ALL", "7.0 8.0 3.0 4.0 5.0 6.0 1-HR ALL"}));
  TPlotFile plot = TPlotFile::Read(dir.File("n.plt"));
  EXPECT_TRUE(plot.Headerless());
  EXPECT_EQ(plot.ReceptorCount(), 2);
  EXPECT_EQ(plot.StatedReceptorCount(), -1);
  EXPECT_EQ(plot.SourceGroup(), "ALL");
  EXPECT_EQ(plot.AveragingPeriod(), "1-HR");
  EXPECT_EQ(plot.ColumnNames(), (std::vector<std::string>{"X", "Y", "Data 1", "ZELEV", "ZHILL", "ZFLAG", "AVE", "GRP"}));
  EXPECT_DOUBLE_EQ(plot.X(1), 7.0);
  EXPECT_DOUBLE_EQ(plot.Y(1), 8.0);
}

}  // namespace
}  // namespace zorvik
