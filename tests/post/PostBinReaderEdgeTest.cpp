#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <limits>
#include <set>

#include "meteo/MeteoHours.h"
#include "post/PostBinReader.h"
#include "post/PostBinTypeDetector.h"
#include "post/PostFileWriter.h"
#include "post/PostSummary.h"
#include "support/TestSupport.h"
#include "util/ExceptionLog.h"

namespace zorvik {
namespace {

using test::ErrorOf;
using test::TempDir;
using T = TPostOutType;


std::string StandardFile(const TempDir& dir, int receptors, int hours, bool doublePrecision = true) {
  TPostFileLayout layout;
  layout.Receptors = receptors;
  layout.DoublePrecision = doublePrecision;
  const std::string file = dir.File("s.pos");
  WritePostFile(file, layout, 96010101, hours, [](int h, int, int r) { return h * 10.0 + r; });
  return file;
}

void PutInt32(std::string& bytes, size_t at, int32_t v) { std::memcpy(bytes.data() + at, &v, 4); }

// Corruptions of a small file, in each framing: each must fail with a message naming the file and the byte offset
// of the fault, whether reading the whole file or opening it. Standard: 4 receptors in double precision, record
// length 48 (56 bytes on disk), 3 hours. Lahey: 4 receptors in single precision, record length 32 behind a 1-byte
// marker and before a 1-byte trailer (34 bytes on disk from offset 1), 6 hours.
TEST(PostCorruptionTest, EachCorruptionNamesFileAndOffset) {
  const auto standard = TPostFraming::pfStandard, lahey = TPostFraming::pfLahey;
  struct Case {
    const char* name;
    TPostFraming framing;
    std::function<void(std::string&)> corrupt;
    const char* expected;  // part of the message; the file name is checked separately
  } cases[] = {
      {"truncated last record", standard, [](std::string& b) { b.resize(b.size() - 3); },
       "the record at byte offset 112 needs 56 bytes but the file ends after 53"},
      {"second record of another length", standard, [](std::string& b) { PutInt32(b, 56, 40); },
       "the record at byte offset 56 has length 40, the first record 48"},
      {"trailing length differs", standard, [](std::string& b) { PutInt32(b, 56 + 52, 7); },
       "the record at byte offset 56 does not end with its length 48 at byte offset 108"},
      {"length above the limit", standard, [](std::string& b) { PutInt32(b, 56, 104857601); },
       "Incorrect block size (104857601) at position 60"},
      {"trailing garbage", standard, [](std::string& b) { b += "xyz"; }, "Truncated POSTFILE"},
      {"first length above the limit", standard, [](std::string& b) { PutInt32(b, 0, 104857601); },
       "GetStartBlockSize: Incorrect block size (104857601) at position 4 in"},
      {"a text file", standard,
       [](std::string& b) { b = "** AERMOD control file\nCO STARTING\nCO TITLEONE test run\n"; },
       "is a text file (it looks like a model control file), not a binary POSTFILE"},
      {"a PLOTFILE", standard,
       [](std::string& b) {
         b = "* AERMOD ( 24142):  test\n*         PLOT FILE OF  HIGH   1ST HIGH  1-HR VALUES FOR SOURCE GROUP: ALL\n";
       },
       "is a text file (it looks like a PLOTFILE), not a binary POSTFILE"},
      {"a model output listing (it echoes the control file first)", standard,
       [](std::string& b) { b = "CO STARTING\nCO FINISHED\n\n  *** Message Summary For AERMOD Model Setup ***\n"; },
       "is a text file (it looks like a model output listing), not a binary POSTFILE"},
      {"empty file", standard, [](std::string& b) { b.clear(); }, "is empty"},
      {"three bytes", standard, [](std::string& b) { b = "abc"; }, "too short"},
      {"truncated first record", standard, [](std::string& b) { b.resize(40); },
       "the record at byte offset 0 needs 56 bytes but the file ends after 40"},
      {"lahey: second record of another length", lahey, [](std::string& b) { b[35] = static_cast<char>(40 << 2); },
       "the record at byte offset 35 has length 40, the first record 32"},
      {"lahey: fifth record of another length", lahey, [](std::string& b) { b[137] = static_cast<char>(40 << 2); },
       "the record at byte offset 137 has length 40, the first record 32"},
      {"lahey: truncated last record", lahey, [](std::string& b) { b.resize(b.size() - 3); },
       "the record at byte offset 171 needs 34 bytes but the file ends after 31"},
      {"lahey: truncated third record", lahey, [](std::string& b) { b.resize(69 + 20); },
       "the record at byte offset 69 needs 34 bytes but the file ends after 20"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    TPostFileLayout layout;
    layout.Framing = c.framing;
    layout.Receptors = 4;
    const int hours = c.framing == lahey ? 6 : 3;
    const std::string file = dir.File("s.pos");
    WritePostFile(file, layout, 96010101, hours, [](int h, int, int r) { return h * 10.0 + r; });
    std::string bytes = test::ReadAll(file);
    ASSERT_EQ(bytes.size(), c.framing == lahey ? 205u : 168u);
    c.corrupt(bytes);
    test::WriteAll(file, bytes);
    const std::string message = ErrorOf([&] { SummarizePostFile(file, 4, true); });
    EXPECT_NE(message.find(c.expected), std::string::npos) << c.name << ": " << message;
    EXPECT_NE(message.find(file), std::string::npos) << c.name << ": " << message;
  }
}

class NoFirstHour : public TMeteoHours {
 public:
  bool IsExist(int32_t dateKey) const override { return dateKey != 96010101; }
};

TEST(PostBinReaderTest, MetDataWithoutTheFirstHourSkipsItsValues) {
  TempDir dir;
  const std::string file = StandardFile(dir, 4, 3);
  NoFirstHour met;
  TBinPostReader reader(file, {T::poConc}, &met, 1.0, true, 4, true);
  EXPECT_TRUE(reader.SkipedHour());
  EXPECT_EQ(reader.BlockSize(), 0);
  EXPECT_EQ(reader.ReceptorCount(), 4);
  reader.NewBlock(0, 0);
  EXPECT_FALSE(reader.SkipedHour());
  EXPECT_EQ(reader.GetConcentration(2, T::poConc), 12.0);
}

TEST(PostBinReaderTest, SlicesAndSequentialValues) {
  TempDir dir;
  const std::string file = StandardFile(dir, 4, 3, false);
  TBinPostReader reader(file, {T::poConc}, nullptr, 2.0, false, 4, true);
  reader.NewBlock(8, 4);  // skip two values, read one
  EXPECT_EQ(reader.GetConcentration(), 2.0 * 12.0);
  EXPECT_EQ(reader.GetConcentration(), 0.0);
  EXPECT_EQ(reader.DataValueCount(), 1);
}

TEST(PostBinReaderTest, NonFiniteValuesReadAsZero) {
  TempDir dir;
  TPostFileLayout layout;
  layout.Receptors = 3;
  const std::string file = dir.File("n.pos");
  WritePostFile(file, layout, 96010101, 1, [](int, int, int r) {
    return r == 0 ? std::numeric_limits<double>::quiet_NaN() : r == 1 ? INFINITY : 5.0;
  });
  TBinPostReader reader(file, {T::poConc}, nullptr, 1.0, true, 3, true);
  EXPECT_EQ(reader.GetConcentration(), 0.0);
  EXPECT_TRUE(reader.ValueNAN());
  EXPECT_EQ(reader.GetConcentration(), 0.0);
  EXPECT_TRUE(reader.ValueNAN());
  EXPECT_EQ(reader.GetConcentration(), 5.0);
  EXPECT_FALSE(reader.ValueNAN());
}

TEST(PostBinReaderTest, ReadingPastTheEnd) {
  TempDir dir;
  const std::string file = StandardFile(dir, 4, 2);
  TBinPostReader reader(file, {T::poConc}, nullptr, 1.0, true, 4, true);
  reader.NewBlock(0, 0);
  EXPECT_EQ(reader.DateBlock(), 96010102);
  reader.NewBlock(0, 0);
  EXPECT_EQ(reader.DataValueCount(), 0);
  EXPECT_EQ(ErrorOf([&] { reader.NewBlock(0, 0); }), "Read after end of data " + file);
}

TEST(PostBinReaderTest, PreparedBlockIsTakenByTheNextNewBlock) {
  TempDir dir;
  const std::string file = StandardFile(dir, 4, 3);
  TBinPostReader reader(file, {T::poConc}, nullptr, 1.0, true, 4, true);
  reader.PrepareNewBlock(0, 0);
  EXPECT_EQ(reader.DateBlock(), 96010101);
  reader.NewBlock(0, 0);
  EXPECT_EQ(reader.DateBlock(), 96010102);
  EXPECT_EQ(reader.GetConcentration(3, T::poConc), 13.0);
  reader.NewBlock(0, 0);
  EXPECT_EQ(reader.DateBlock(), 96010103);
}

TEST(PostBinReaderTest, GoToBlock) {
  TempDir dir;
  const std::string file = StandardFile(dir, 4, 10);
  TBinPostReader reader(file, {T::poConc}, nullptr, 1.0, true, 4, true);
  EXPECT_EQ(reader.GoToBlock(96010101), 0);
  EXPECT_EQ(reader.GoToBlock(96010103), 0);
  EXPECT_EQ(reader.DateBlock(), 96010103);
  EXPECT_EQ(reader.GetConcentration(1, T::poConc), 21.0);
  EXPECT_EQ(reader.GoToBlock(96010102), 0);  // backwards
  EXPECT_EQ(reader.DateBlock(), 96010102);
  EXPECT_EQ(reader.GoToBlock(96010501), 1);  // beyond the last record
}

TEST(PostBinReaderTest, UncachedStreamReadsTheSame) {
  TempDir dir;
  const std::string file = StandardFile(dir, 50, 40);
  TBinPostReader cached(file, {T::poConc}, nullptr, 1.0, true, 50, true);
  auto uncached = TBinPostReader::CreateWithMax(file, {T::poConc}, nullptr, 1.0, true, 50, 4);
  for (int h = 0; h < 40; ++h) {
    if (h > 0) {
      cached.NewBlock(0, 0);
      uncached->NewBlock(0, 0);
    }
    for (int r = 0; r < 50; ++r)
      ASSERT_EQ(cached.GetConcentration(r, T::poConc), uncached->GetConcentration(r, T::poConc));
  }
}

TEST(PostBinReaderTest, LargestRecordLengthIsAccepted) {
  TempDir dir;
  // A sparse file of one record of the largest length: only the markers are written.
  const std::string file = dir.File("big.pos");
  {
    std::string head(20, '\0');
    PutInt32(head, 0, 104857600);
    std::memcpy(head.data() + 12, "ALL     ", 8);
    test::WriteAll(file, head);
    std::filesystem::resize_file(file, 4 + 104857600);
    std::string tail(4, '\0');
    PutInt32(tail, 0, 104857600);
    FILE* f = std::fopen(file.c_str(), "ab");
    std::fwrite(tail.data(), 1, 4, f);
    std::fclose(f);
  }
  TPostBinTypeDetector d(file, 13107198, true);  // (104857600 - 16) / 8
  EXPECT_TRUE(d.DoublePrecision());
  EXPECT_EQ(d.PostOutTypes().Count(), 1);
}

}  // namespace
}  // namespace zorvik
