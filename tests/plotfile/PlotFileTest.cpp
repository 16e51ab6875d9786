#include "plotfile/PlotFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

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

// The first `count` lines of a file, without their line ends.
std::vector<std::string> FirstLines(const std::string& file, size_t count) {
  const std::string text = test::ReadAll(file);
  std::vector<std::string> lines;
  for (size_t at = 0; lines.size() < count && at < text.size();) {
    const size_t end = std::min(text.find('\n', at), text.size());
    lines.push_back(text.substr(at, end - at));
    if (!lines.back().empty() && lines.back().back() == '\r') lines.back().pop_back();
    at = end + 1;
  }
  return lines;
}

// `line` with `text` written over it from character `column` (from 1) on.
std::string Put(std::string line, size_t column, std::string_view text) {
  if (line.size() < column - 1 + text.size()) line.resize(column - 1 + text.size(), ' ');
  line.replace(column - 1, text.size(), text);
  return line;
}

struct DamageCase {
  const char* name;
  std::vector<std::pair<int, std::string>> edits;  // file line (from 1) and its new text
  int line;                                        // the line the message names
  std::string fragment;
  bool headerless = false;                         // the receptor lines without the header block
};

TEST(PlotFileTest, DamagedFilesAreRefusedNamingFileLineAndProblem) {
  // The header and first two receptors of a real AERMOD PLOTFILE; fields: X 2-14, Y 16-28, AVERAGE CONC 30-42,
  // ZELEV 44-51, ZHILL 53-60, ZFLAG 62-69, AVE 73-77, GRP 80-87, RANK 90-94, NET ID 100-107, DATE 110-117.
  std::vector<std::string> base = FirstLines(DataFile("plotfile/grid144.plt"), 10);
  ASSERT_EQ(base.size(), 10u);
  base[4] = "*         FOR A TOTAL OF     2 RECEPTORS.";
  const std::string format = "*         FORMAT: ";
  const std::string r10 = base[9];
  const std::string wholeRange = " is not a whole number from 0 to 2147483647";
  const DamageCase cases[] = {
      {"count exponent", {{5, "*         FOR A TOTAL OF 1e9 RECEPTORS."}}, 5, "the receptor count \"1E9\"" + wholeRange},
      {"count negative", {{5, "*         FOR A TOTAL OF -3 RECEPTORS."}}, 5, "the receptor count \"-3\"" + wholeRange},
      {"count fraction", {{5, "*         FOR A TOTAL OF 12.5 RECEPTORS."}}, 5, "the receptor count \"12.5\"" + wholeRange},
      {"count beyond 32 bits", {{5, "*         FOR A TOTAL OF 4294967296 RECEPTORS."}}, 5,
       "the receptor count \"4294967296\"" + wholeRange},
      {"count beyond the file", {{5, "*         FOR A TOTAL OF 2,000,000 RECEPTORS."}}, 5,
       "the header states 2000000 receptors, more than a file of "},
      {"format unknown descriptor", {{6, format + "(3(1X,F13.5),3(1X,F8.2),3X,A5,2X,G8.2)"}}, 6,
       "the FORMAT statement (3(1X,F13.5),3(1X,F8.2),3X,A5,2X,G8.2) cannot be used: \"G8.2\" is no descriptor"},
      {"format repeated descriptor", {{6, format + "(3F13.5,3(1X,F8.2))"}}, 6,
       "\"3F13.5\" repeats a single descriptor"},
      {"format nested groups", {{6, format + "(3(1X,F13.5),2(1X,3(F8.2)))"}}, 6, "cannot be used: it nests groups"},
      {"format without width", {{6, format + "(3(1X,F13.5),1X,F)"}}, 6, "\"F\" has no valid width"},
      {"X junk", {{10, Put(r10, 2, "          abc")}}, 10, "the X field holds \"abc\", which is not a number"},
      {"Y overflow", {{10, Put(r10, 16, "        1e400")}}, 10, "the Y field holds \"1e400\", which is not a number"},
      {"value nan", {{10, Put(r10, 30, "          nan")}}, 10, "the AVERAGE CONC field holds \"nan\""},
      {"value inf", {{10, Put(r10, 30, "         -inf")}}, 10, "the AVERAGE CONC field holds \"-inf\""},
      {"value control byte", {{10, Put(r10, 30, "     1.5\x01" "2345")}}, 10,
       "the AVERAGE CONC field holds \"1.5\\x012345\", which is not a number"},
      {"value cut by a NUL byte", {{10, Put(r10, 38, std::string_view("\0", 1))}}, 10,
       "the line ends before the ZELEV field (character 44); the FORMAT statement describes 11 fields"},
      {"elevation junk", {{10, Put(r10, 44, "    n/a ")}}, 10, "the ZELEV field holds \"n/a\", which is not a number"},
      {"hill blank", {{10, Put(r10, 53, "        ")}}, 10, "the ZHILL field is empty; it must hold a number"},
      {"count field junk", {{7, Put(base[6], 110, "NUM HRS ")}, {10, Put(r10, 110, "      x1")}}, 10,
       "the NUM HRS field holds \"x1\", which is not a whole number"},
      {"too few fields", {{10, r10.substr(0, 42)}}, 10, "the line ends before the ZELEV field (character 44)"},
      {"too many fields", {{10, r10 + "      7.00000"}}, 10,
       "the line holds \"7.00000\" from character 124 on, beyond the fields of the FORMAT statement"},
      {"shifted line", {{10, " " + r10}}, 10,
       "the line holds \"0\" at character 15, between the fields of the FORMAT statement"},
      {"headerless field missing", {{10, r10.substr(0, 100)}}, 2, "the line holds 10 fields; the first receptor line holds 11",
       true},
  };
  TempDir dir;
  const std::string file = dir.File("bad.plt");
  for (const DamageCase& c : cases) {
    std::vector<std::string> lines = base;
    for (const auto& [line, text] : c.edits) lines[static_cast<size_t>(line - 1)] = text;
    if (c.headerless) lines.erase(lines.begin(), lines.begin() + 8);
    WriteAll(file, PlotText(lines));
    try {
      TPlotFile::Read(file);
      ADD_FAILURE() << c.name << ": no error";
    } catch (const std::exception& e) {
      const std::string message = RootMessage(e);
      EXPECT_TRUE(message.starts_with(file + ", line " + std::to_string(c.line) + ": ")) << c.name << ": " << message;
      EXPECT_NE(message.find(c.fragment), std::string::npos) << c.name << ": " << message;
      EXPECT_TRUE(EStackTrace::IsException<EFormatError>(e)) << c.name;
    }
  }
  // Undamaged, the same lines read.
  WriteAll(file, PlotText(base));
  EXPECT_EQ(TPlotFile::Read(file).ReceptorCount(), 2);
}

TEST(PlotFileTest, BinaryFilesAreNamedForWhatTheyLookLike) {
  TempDir dir;
  // Two records of a standard POSTFILE: each framed by its length (24) before and after it.
  std::string post;
  for (int record = 0; record < 2; ++record) {
    post += std::string("\x18\0\0\0", 4);
    post += std::string("\x90\x15\xb8\x05\x01\0\0\0", 8) + "ALL     " + std::string(8, '\0');
    post += std::string("\x18\0\0\0", 4);
  }
  std::string other(300, '\0');
  for (size_t i = 0; i < other.size(); i += 3) other[i] = static_cast<char>('A' + i % 26);
  const struct {
    const char* name;
    std::string bytes;
    std::string message;  // after the file name
  } cases[] = {
      {"POSTFILE", post, " is a binary file (it looks like a POSTFILE), not a PLOTFILE"},
      {"other binary", other, " is a binary file, not a PLOTFILE"},
  };
  for (const auto& c : cases) {
    const std::string file = dir.File(std::string(c.name) + ".plt");
    WriteAll(file, c.bytes);
    try {
      TPlotFile::Read(file);
      ADD_FAILURE() << c.name << ": no error";
    } catch (const std::exception& e) {
      EXPECT_EQ(RootMessage(e), file + c.message) << c.name;
    }
  }
}

TEST(PlotFileTest, HeaderErrorsAndCountMismatch) {
  const std::vector<std::string> head = {
      "* T",
      "*         PLOT FILE OF  HIGH   1ST HIGH  1-HR VALUES FOR SOURCE GROUP: ALL",
      "*         FOR A TOTAL OF 2 RECEPTORS.",
      "*         FORMAT: (3(1X,F13.5))",
      "*        X             Y      AVERAGE CONC",
  };
  const struct {
    const char* name;
    std::vector<std::string> lines;
    const char* message;  // after the file name
  } cases[] = {
      {"count differs", {head[0], head[1], head[2], head[3], head[4], "       1.00000       2.00000       3.00000"},
       ": the header states 2 receptors, but the file holds 1 receptor lines"},
      {"no format", {"* T", head[1], head[2], "       1.00000       2.00000       3.00000"},
       ", line 1: the header block has no FORMAT statement"},
      {"empty", {}, ": the file is empty"},
  };
  TempDir dir;
  const std::string file = dir.File("bad.plt");
  for (const auto& c : cases) {
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
  // A PLOTFILE written from these receptors states their true count.
  EXPECT_EQ(plot.Header().ByName("mumreceptors")->asInteger(), 2);
  EXPECT_EQ(plot.SourceGroup(), "ALL");
  EXPECT_EQ(plot.AveragingPeriod(), "1-HR");
  EXPECT_EQ(plot.ColumnNames(), (std::vector<std::string>{"X", "Y", "Data 1", "ZELEV", "ZHILL", "ZFLAG", "AVE", "GRP"}));
  EXPECT_DOUBLE_EQ(plot.X(1), 7.0);
  EXPECT_DOUBLE_EQ(plot.Y(1), 8.0);
}

// What a subscriber of the reader takes from each receptor record while it is the reader's (a copy of the
// record would not do: copying goes through the attributes' rules again).
class TLiveValues : public base_AttributeWriter {
 public:
  void ProcessBegin(TAttributeCollectionRef&, TAttributeCollectionRef&) override {}
  void ProcessRecord(TAttributeCollectionRef& record) override {
    auto& row = rows.emplace_back();
    for (base_Attribute& a : record.Items())
      row[a.FieldName()] = {a.IsNull(), a.asString(), a.FieldType() == AttrType::atFloat ? a.asFloat() : 0.0};
  }
  void ProcessError(attributeReaderStatus) override {}
  void ProcessFinish(TAttributeCollectionRef& footer) override { header = CloneAs(footer); }
  struct TValue {
    bool null;
    std::string text;
    double number;
  };
  std::vector<std::map<std::string, TValue>> rows;
  std::unique_ptr<TAttributeCollectionRef> header;
};

// Receptor lines go straight from the line into the arrays, not through the reader's data record: the values,
// nulls, texts, footer and source group must be those a subscriber of the reader gets from the record.
TEST(PlotFileTest, ArraysHoldWhatTheReaderRecordsHold) {
  TempDir dir;
  std::vector<std::string> zeros(test::kExample.begin(), test::kExample.end() - 4);
  zeros[4] = "*         FOR A TOTAL OF 5 RECEPTORS.";
  // A number that prints as 0 does not replace the field's initial 0 until the field has taken another value:
  // -0 comes back as +0 before that, and as -0 after.
  for (const char* line : {"      -0.00000      -0.00000      -0.00000    -0.00   120.00    -0.00 1-HR   ALL      ",
                           "       0.00000 4100000.00000      12.34568   100.50   120.00     0.00 1-HR   ALL",
                           "      -0.00000 4100000.00000      -0.00000   101.25   120.00    -0.00 1-HR   ALL      G1",
                           "  500300.00000      -0.00000   1.23457E+05    -0.00   120.00     1.50 1-HR   ALL      GRID1    16121201",
                           "      -0.00000      -0.00000      -0.00000    -0.00   120.00    -0.00 1-HR   ALL      GRID1    16121202"})
    zeros.push_back(line);
  WriteAll(dir.File("zeros.plt"), PlotText(zeros));
  // Without a group on the kind line, the first receptor's GRP names it.
  std::vector<std::string> group = test::kExample;
  group[3] = "*                  PLOT FILE OF 98.00TH PERCENTILE 1-HR VALUES";
  for (size_t i = 8; i < group.size(); ++i) group[i].replace(group[i].find("ALL     "), 8, "STACK1  ");
  WriteAll(dir.File("group.plt"), PlotText(group));

  std::vector<std::string> files = {dir.File("zeros.plt"), dir.File("group.plt")};
  for (const char* name : {"disc36.plt", "grid144.plt", "depos.plt"})
    files.push_back(DataFile(std::string("plotfile/") + name));
  const auto same = [](double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; };
  for (const std::string& file : files) {
    SCOPED_TRACE(file);
    TISCPlotReader reader(file);
    TLiveValues live;
    reader.WriterSubscribe(live);
    reader.Process();
    ASSERT_EQ(reader.readerStatus(), attributeReaderStatus::arsOK);
    const TPlotFile plot = TPlotFile::Read(file);
    ASSERT_EQ(plot.ReceptorCount(), static_cast<int>(live.rows.size()));
    for (const char* key : {"minimum x", "maximum x", "minimum y", "mayimum y", "group"})
      EXPECT_EQ(plot.Header().ByName(key)->asString(), live.header->ByName(key)->asString()) << key;
    for (int i = 0; i < plot.ReceptorCount(); ++i) {
      const auto& row = live.rows[static_cast<size_t>(i)];
      EXPECT_TRUE(same(plot.X(i), row.at("xloc").number)) << "receptor " << i + 1 << ": " << plot.X(i);
      EXPECT_TRUE(same(plot.Y(i), row.at("yloc").number)) << "receptor " << i + 1 << ": " << plot.Y(i);
      for (int f = 0; f < plot.FieldCount(); ++f) {
        const std::string& key = plot.FieldKeys()[static_cast<size_t>(f)];
        const TLiveValues::TValue& value = row.at(key);
        EXPECT_EQ(plot.IsNull(i, f), value.null) << "receptor " << i + 1 << ", " << key;
        EXPECT_EQ(plot.AsString(i, f), value.text) << "receptor " << i + 1 << ", " << key;
        if (plot.Fields().ByName(key)->FieldType() == AttrType::atFloat) {
          EXPECT_TRUE(same(plot.AsFloat(i, f), value.number)) << "receptor " << i + 1 << ", " << key;
        }
      }
    }
  }
  const TPlotFile zero = TPlotFile::Read(dir.File("zeros.plt"));
  EXPECT_FALSE(std::signbit(zero.X(2)));
  EXPECT_TRUE(std::signbit(zero.X(4)));
  EXPECT_TRUE(std::signbit(zero.Y(3)));
  EXPECT_EQ(TPlotFile::Read(dir.File("group.plt")).SourceGroup(), "STACK1");
}

}  // namespace
}  // namespace zorvik
