#include "plotfile/ISCPlotFileWriter.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "PlotReaderSupport.h"
#include "support/TestSupport.h"
#include "util/ExceptionLog.h"

namespace zorvik {
namespace {

namespace fs = std::filesystem;
using test::PlotText;
using test::ReadAll;
using test::kExample;
using test::TempDir;

// The percentile writer's digit setting.
class TFiveDigitWriter : public TISCPlotFileWriterBase {
 public:
  using TISCPlotFileWriterBase::TISCPlotFileWriterBase;
  int SignificantDigits() const override { return 5; }
};

std::unique_ptr<TAttributeCollectionRef> MakeHeader(const std::string& header1, const std::string& options,
                                                    const std::string& header2, int receptors) {
  auto header = std::make_unique<TAttributeCollectionRef>("header");
  header->DefineString("header1", header1);
  header->DefineString("plot options", options);
  header->DefineString("header2", header2);
  header->DefineInteger("mumreceptors", receptors);
  return header;
}

// A record with the columns of the worked example; every attribute starts null.
std::unique_ptr<TAttributeCollectionRef> MakeExampleRecord() {
  auto r = std::make_unique<TAttributeCollectionRef>("record");
  for (const char* key : {"xloc", "yloc", "conc", "elev", "hill", "flag"})
    r->AddAttribute(std::make_unique<Atr_Float>(key));
  for (const char* key : {"period", "sgroup", "netid", "date"}) r->AddAttribute(std::make_unique<Atr_String>(key));
  return r;
}

TEST(ISCPlotFileWriterTest, WorkedExampleByteForByte) {
  TempDir dir;
  const std::string file = dir.File("example.plt");
  auto header = MakeHeader("HOURLY RUN 2016", "RURAL,CONC,ELEV",
                           "         PLOT FILE OF 98.00TH PERCENTILE 1-HR VALUES FOR SOURCE GROUP: ALL", 4);
  auto record = MakeExampleRecord();
  struct Row {
    double x, conc, elev, flag;
    const char* netid;
    const char* date;
  } rows[] = {
      {500000, 12.3456789, 100.5, 0, "", "16070815"},
      {500100, 0.000123456, 101.25, 0, "", "16011003"},
      {500200, 0, 102, 0, "", "16030524"},
      {500300, 123456.7, 99.75, 1.5, "GRID1", "16121201"},
  };
  {
    TFiveDigitWriter writer(file);
    writer.ProcessBegin(*header, *record);
    for (const Row& row : rows) {
      record->ByName("xloc")->SetAsFloat(row.x);
      record->ByName("yloc")->SetAsFloat(4100000);
      record->ByName("conc")->SetAsFloat(row.conc);
      record->ByName("elev")->SetAsFloat(row.elev);
      record->ByName("hill")->SetAsFloat(120);
      record->ByName("flag")->SetAsFloat(row.flag);
      record->ByName("period")->SetAsString("1-HR");
      record->ByName("sgroup")->SetAsString("ALL");
      record->ByName("netid")->SetAsString(row.netid);
      record->ByName("date")->SetAsString(row.date);
      writer.ProcessRecord(*record);
    }
    writer.ProcessFinish(*header);
  }
  EXPECT_EQ(ReadAll(file), PlotText(kExample));
}

// Writes one PLOTFILE with the given fields and records (each a list of key/value texts) and returns its
// receptor lines (the lines after the eight header lines).
struct FieldValue {
  const char* key;
  const char* value;  // nullptr: the attribute stays null
};

TEST(ISCPlotFileWriterTest, ReceptorLineEdgeCases) {
  struct Case {
    const char* name;
    std::vector<FieldValue> record;
    const char* line;  // nullptr: no line
  } cases[] = {
      {"null concentration, elevation set",
       {{"xloc", "1"}, {"yloc", "2"}, {"conc", nullptr}, {"elev", "3.5"}},
       "       1.00000       2.00000                   3.50"},
      {"everything beyond X and Y null", {{"xloc", "1"}, {"yloc", "2"}, {"conc", nullptr}, {"elev", nullptr}}, nullptr},
      {"long AVE widens the line", {{"xloc", "1"}, {"yloc", "2"}, {"period", "MONTHLY"}}, "       1.00000       2.00000 MONTHLY"},
      {"integer count zero-filled", {{"xloc", "1"}, {"yloc", "2"}, {"hnum", "#8784"}}, "       1.00000       2.00000 00008784"},
      {"deposition with four digits", {{"xloc", "1"}, {"yloc", "2"}, {"tdep", "0.29653"}}, "       1.00000       2.00000        0.2965"},
      {"date year written as a number", {{"xloc", "1"}, {"yloc", "2"}, {"dateyr", "96010124"}},
       "       1.00000       2.00000 96010124"},
      {"unknown attributes are ignored", {{"xloc", "1"}, {"yloc", "2"}, {"maxofconc", "9"}, {"rank", "1ST"}},
       "       1.00000       2.00000 1ST  "},
  };
  TempDir dir;
  for (const Case& c : cases) {
    TAttributeCollectionRef record("record");
    for (const FieldValue& f : c.record) {
      std::string key = f.key;
      if (f.value && f.value[0] == '#') {
        record.DefineInteger(key, std::stoi(f.value + 1));
      } else if (key == "period" || key == "rank" || key == "dateyr") {
        record.AddAttribute(std::make_unique<Atr_String>(key));
        if (f.value) record.ByName(key)->SetAsString(f.value);
      } else {
        record.AddAttribute(std::make_unique<Atr_Float>(key));
        if (f.value) record.ByName(key)->SetAsString(f.value);
      }
    }
    auto header = MakeHeader("T", "CONC", "PLOT FILE OF X", 1);
    const std::string file = dir.File("edge.plt");
    TISCPlotFileWriterBase writer(file);
    writer.ProcessBegin(*header, record);
    writer.ProcessRecord(record);
    writer.ProcessFinish(*header);
    const std::string text = ReadAll(file);
    size_t pos = 0;
    for (int i = 0; i < 8; ++i) pos = text.find("\r\n", pos) + 2;
    EXPECT_EQ(text.substr(pos), c.line ? std::string(c.line) + "\r\n" : std::string()) << c.name;
  }
}

TEST(ISCPlotFileWriterTest, HeaderBlockVariants) {
  TempDir dir;
  struct Case {
    const char* name;
    std::string appName;
    std::string header1;
    bool addOn;
    std::vector<const char*> fields;
    std::vector<const char*> expected;  // the first, third and sixth to eighth header lines
  } cases[] = {
      {"only X and Y", "", "RUN", false, {"xloc", "yloc"},
       {"* RUN", "*  CONC  ELEV  RURAL", "*         FORMAT: (1X,F13.5,1X,F13.5)", "*      X             Y      ",
        "*_____________ _____________"}},
      {"title already marked, option add-on", "", "*RUN 2", true, {"xloc", "yloc", "ddep"},
       {"*RUN 2", "*  CONC  ELEV  RURAL  FLAT", "*         FORMAT: (1X,F13.5,1X,F13.5,1X,F13.5)",
        "*      X             Y          DRY DEPO  ", "*_____________ _____________ _____________"}},
      {"application label, empty title", "Zorvik", "", false, {"xloc", "yloc", "hnum"},
       {"* Zorvik:  ", "*  CONC  ELEV  RURAL", "*         FORMAT: (1X,F13.5,1X,F13.5,1X,I8.8)",
        "*      X             Y        NUM HRS", "*_____________ _____________ ________"}},
      {"empty title line", "", "", false, {"xloc", "yloc"},
       {"", "*  CONC  ELEV  RURAL", "*         FORMAT: (1X,F13.5,1X,F13.5)", "*      X             Y      ",
        "*_____________ _____________"}},
  };
  for (const Case& c : cases) {
    auto header = MakeHeader(c.header1, "RURAL,CONC,ELEV", "PLOT FILE OF", 0);
    if (c.addOn) header->DefineString("optionaddon", "FLAT");
    TAttributeCollectionRef fields("fields");
    for (const char* key : c.fields) fields.AddAttribute(std::make_unique<Atr_Float>(key));
    const std::string file = dir.File("header.plt");
    TISCPlotFileWriterBase writer(file, c.appName);
    writer.ProcessBegin(*header, fields);
    writer.ProcessFinish(*header);
    const std::string text = ReadAll(file);
    std::vector<std::string> lines;
    for (size_t pos = 0, end; (end = text.find("\r\n", pos)) != std::string::npos; pos = end + 2)
      lines.push_back(text.substr(pos, end - pos));
    ASSERT_EQ(lines.size(), 8u) << c.name;
    EXPECT_EQ(lines[0], c.expected[0]) << c.name;
    EXPECT_EQ(lines[1], "* MODELING OPTIONS USED:") << c.name;
    EXPECT_EQ(lines[2], c.expected[1]) << c.name;
    EXPECT_EQ(lines[3], "*         PLOT FILE OF") << c.name;
    EXPECT_EQ(lines[4], "*         FOR A TOTAL OF 0 RECEPTORS.") << c.name;
    EXPECT_EQ(lines[5], c.expected[2]) << c.name;
    EXPECT_EQ(lines[6], c.expected[3]) << c.name;
    EXPECT_EQ(lines[7], c.expected[4]) << c.name;
  }
}

std::vector<std::string> FilesIn(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(ISCPlotFileWriterTest, TheNameAppearsOnlyWhenTheFileIsComplete) {
  TempDir dir;
  const std::string file = dir.File("out.plt");
  test::WriteAll(file, "old contents\r\n");
  auto header = MakeHeader("T", "CONC", "PLOT FILE OF", 1);
  auto record = MakeExampleRecord();
  record->ByName("xloc")->SetAsFloat(1);
  record->ByName("yloc")->SetAsFloat(2);
  record->ByName("conc")->SetAsFloat(3);
  {
    TISCPlotFileWriterBase writer(file);
    writer.ProcessBegin(*header, *record);
    writer.ProcessRecord(*record);
    EXPECT_TRUE(writer.IsOpen());
    EXPECT_EQ(ReadAll(file), "old contents\r\n");  // still the old file while writing
    EXPECT_EQ(FilesIn(dir.Path()), std::vector<std::string>{"out.plt"});  // the new file has no name yet
    // destroyed unfinished, as after a failed run
  }
  EXPECT_EQ(ReadAll(file), "old contents\r\n");
  EXPECT_EQ(FilesIn(dir.Path()), std::vector<std::string>{"out.plt"});

  TISCPlotFileWriterBase writer(file);
  writer.ProcessBegin(*header, *record);
  writer.ProcessBegin(*header, *record);  // ignored while open
  writer.ProcessRecord(*record);
  writer.ProcessFinish(*header);
  EXPECT_FALSE(writer.IsOpen());
  EXPECT_EQ(FilesIn(dir.Path()), std::vector<std::string>{"out.plt"});
  const std::string text = ReadAll(file);
  EXPECT_EQ(text.find("* T\r\n* MODELING OPTIONS USED:\r\n"), 0u);
  EXPECT_NE(text.find("\r\n       1.00000       2.00000           3.0" + std::string(61, ' ') + "\r\n"), std::string::npos) << text;
  // A finished PLOTFILE is readable by others like any new file, not private like a temporary one.
  struct stat st {};
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_NE(st.st_mode & S_IRUSR, 0u);
  EXPECT_EQ(st.st_mode & 0777 & ~0666u, 0u);
}

TEST(ISCPlotFileWriterTest, FailuresLeaveNoFile) {
  TempDir dir;
  auto header = MakeHeader("T", "CONC", "PLOT FILE OF", 1);
  TAttributeCollectionRef fields("fields");
  fields.AddAttribute(std::make_unique<Atr_Float>("xloc"));
  fields.AddAttribute(std::make_unique<Atr_Float>("yloc"));
  fields.AddAttribute(std::make_unique<Atr_String>("dateyr"));

  // A folder that does not exist.
  {
    TISCPlotFileWriterBase writer(dir.File("missing/out.plt"));
    try {
      writer.ProcessBegin(*header, fields);
      FAIL() << "no error";
    } catch (const std::exception& e) {
      EXPECT_NE(RootMessage(e).find(dir.File("missing/out.plt")), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find("TISCPlotFileWriterBase.ProcessBegin"), std::string::npos) << e.what();
    }
  }
  // A header without a required key.
  {
    TAttributeCollectionRef bad("header");
    bad.DefineString("header1", "T");
    TISCPlotFileWriterBase writer(dir.File("out.plt"));
    try {
      writer.ProcessBegin(bad, fields);
      FAIL() << "no error";
    } catch (const std::exception& e) {
      EXPECT_NE(RootMessage(e).find("Missing attribute - plot options"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(writer.IsOpen());
  }
  EXPECT_TRUE(FilesIn(dir.Path()).empty());
  // A value its column's format cannot print.
  {
    TISCPlotFileWriterBase writer(dir.File("out.plt"));
    writer.ProcessBegin(*header, fields);
    fields.ByName("xloc")->SetAsFloat(1);
    fields.ByName("yloc")->SetAsFloat(2);
    fields.ByName("dateyr")->SetAsString("JAN90");
    try {
      writer.ProcessRecord(fields);
      FAIL() << "no error";
    } catch (const std::exception& e) {
      EXPECT_EQ(RootMessage(e), dir.File("out.plt") +
                                    ", line 9: the DATE YR value \"JAN90\" cannot be written with the format %8.8d");
    }
  }
  EXPECT_TRUE(FilesIn(dir.Path()).empty());
}

}  // namespace
}  // namespace zorvik
