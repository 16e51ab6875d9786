#include "meteo/AermetSfcReader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/TestSupport.h"
#include "util/ExceptionLog.h"

namespace zorvik {
namespace {

using test::TempDir;
using test::WriteAll;

// Remembers what a reader hands its writers.
class TRecordingWriter : public base_AttributeWriter {
 public:
  void ProcessBegin(TAttributeCollectionRef& header, TAttributeCollectionRef& fields) override {
    began = true;
    version = header.GetAttributeValue("verdate");
    fieldCount = fields.Count();
  }
  void ProcessRecord(TAttributeCollectionRef& r) override {
    rows.push_back(r.GetAttributeValue("YEAR") + " " + r.GetAttributeValue("HOUR") + " " + r.GetAttributeValue("w_s") +
                   " " + r.GetAttributeValue("z_temp") + " " + r.GetAttributeValue("PressureCloudCover"));
  }
  void ProcessError(attributeReaderStatus) override {}
  void ProcessFinish(TAttributeCollectionRef&) override { finished = true; }

  bool began = false, finished = false;
  std::string version;
  int fieldCount = 0;
  std::vector<std::string> rows;
};

const std::string kLabels =
    "   41.300N   74.000W          UA_ID: 14735     SF_ID: 14735     OS_ID: LOVETT       VERSION:";

// Hour lines of the long fixed-column layout (153 columns) and their short form (the first 120 columns).
const std::string kLong1 =
    "88  1  1   1  1   -0.1  0.011 -9.000 -9.000 -999.    3.      2.1  0.001   0.10   1.00    0.60   35.   50.0"
    "  273.8   10.0    99   -9.0   70.0 1007.0    10";
const std::string kLong2 =
    "88  1  1   1  2   -0.1  0.015 -9.000 -9.000 -999.    4.      2.8  0.001   0.10   1.00    0.80  168.   50.0"
    "  274.2   10.0    99   -9.0   70.0 1007.0     7";

struct TRun {
  TRecordingWriter writer;
  TAermetVersion version = tav_null;
  std::string fmtStr;
  attributeReaderStatus status = attributeReaderStatus::arsOK;
  TMetReaderStop stop;
};

void ReadFile(const std::string& file, TRun& run) {
  TAERMET_SFC_Reader reader(file);
  reader.WriterSubscribe(run.writer);
  reader.Process();
  reader.WriterUnsubscribe(run.writer);
  run.version = reader.AermetVersion();
  run.fmtStr = reader.FmtStr();
  run.status = reader.readerStatus();
  run.stop = reader.StopInfo();
}

TEST(AermetSfcReaderTest, LayoutFollowsTheHeaderVersion) {
  ASSERT_EQ(kLong1.size(), 153u);
  struct Case {
    const char* version;
    std::vector<std::string> lines;
    int fields;
    std::vector<std::string> rows;
  } cases[] = {
      {"06341", {kLong1, kLong2}, 25, {"88 1 0.6 10 10", "88 2 0.8 10 7"}},
      {"98314", {kLong1.substr(0, 120), kLong2.substr(0, 120)}, 20, {"88 1 0.6 10 ", "88 2 0.8 10 "}},
      // Blank-separated: any number of blanks or tabs between the values.
      {"11059",
       {"88 1 1 1 1 -0.1 0.011 -9 -9 -999 3 2.1 0.001 0.1 1 0.6 35 50 273.8 10 99 -9 70 1007 10",
        "88  1\t1    1  2  -0.1 0.015 -9 -9 -999 4 2.8 0.001 0.1 1 0.8 168 50 274.2 10 99 -9 70 1007 7 NAD-OS"},
       25,
       {"88 1 0.6 10 10", "88 2 0.8 10 7"}},
  };
  TempDir dir;
  for (const auto& c : cases) {
    std::string text = kLabels + c.version + "\r\n";
    for (const auto& l : c.lines) text += l + "\r\n";
    WriteAll(dir.File("f.sfc"), text);
    TRun run;
    ReadFile(dir.File("f.sfc"), run);
    EXPECT_EQ(run.writer.version, c.version);
    EXPECT_EQ(run.writer.fieldCount, c.fields) << c.version;
    EXPECT_EQ(run.writer.rows, c.rows) << c.version;
    EXPECT_TRUE(run.writer.finished) << c.version;
    EXPECT_EQ(run.version, DetectAermetVersion(c.version));
    if (c.fields == 20) {
      EXPECT_EQ(run.fmtStr.substr(run.fmtStr.size() - 24), "1X,F6.1,1X,F6.1,1X,F6.1)");
    }
  }
}

TEST(AermetSfcReaderTest, RepeatedHeaders) {
  TempDir dir;
  // A header inside the file is skipped; of two in a row only the first: the second is read as an hour line,
  // which the FORMAT statement cannot cut, and the reading stops there.
  WriteAll(dir.File("f.sfc"), kLabels + "06341\r\n" + kLong1 + "\r\n" + kLabels + "06341\r\n" + kLong2 + "\r\n");
  TRun run;
  ReadFile(dir.File("f.sfc"), run);
  EXPECT_EQ(run.writer.rows, (std::vector<std::string>{"88 1 0.6 10 10", "88 2 0.8 10 7"}));

  WriteAll(dir.File("g.sfc"), kLabels + "06341\r\n" + kLong1 + "\r\n" + kLabels + "06341\r\n" + kLabels +
                                  "06341\r\n" + kLong2 + "\r\n");
  TRun twice;
  ReadFile(dir.File("g.sfc"), twice);
  EXPECT_EQ(twice.writer.rows.size(), 1u);
  EXPECT_EQ(twice.status, attributeReaderStatus::arsBadRecord);
  EXPECT_TRUE(twice.stop.stopped);
  EXPECT_EQ(twice.stop.line, 4);
  EXPECT_TRUE(twice.stop.linesFollow);
  EXPECT_FALSE(run.stop.stopped);
}

TEST(AermetSfcReaderTest, NotASurfaceFileAndMissingFile) {
  TempDir dir;
  // Without "VERSION" on the first line: no header, no records, the writer is never called.
  WriteAll(dir.File("f.sfc"), "   41.300N   74.000W          UA_ID: 14735     SF_ID: 14735     OS_ID: LOVETT\r\n" +
                                  kLong1 + "\r\n");
  TRun run;
  ReadFile(dir.File("f.sfc"), run);
  EXPECT_EQ(run.status, attributeReaderStatus::arsBadFormat);
  EXPECT_FALSE(run.writer.began);
  EXPECT_TRUE(run.writer.rows.empty());

  TRun absent;
  try {
    ReadFile(dir.File("absent.sfc"), absent);
    FAIL() << "no failure for a missing file";
  } catch (const EFileNotFound& e) {
    EXPECT_EQ(std::string(e.what()), dir.File("absent.sfc"));
  }
  EXPECT_FALSE(absent.writer.began);
}

}  // namespace
}  // namespace zorvik
