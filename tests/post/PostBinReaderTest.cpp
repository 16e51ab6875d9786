#include "post/PostBinReader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "meteo/MeteoHours.h"
#include "post/PostBinTypeDetector.h"
#include "post/PostFileWriter.h"
#include "post/PostSummary.h"
#include "support/TestSupport.h"
#include "util/ExceptionLog.h"

namespace zorvik {
namespace {

using test::ErrorOf;
using test::TempDir;

double Value(int hour, int type, int receptor) { return hour * 1000.0 + type * 100.0 + receptor + 0.5; }

std::string Make(const TempDir& dir, const std::string& name, const TPostFileLayout& layout, int hours,
                 int32_t first = 96010101) {
  std::string file = dir.File(name);
  WritePostFile(file, layout, first, hours, Value);
  return file;
}


struct FramingCase {
  const char* name;
  TPostFraming framing;
  bool doublePrecision;
  TPostOutTypes types;
};

class FramingRoundTrip : public ::testing::TestWithParam<FramingCase> {};

TEST_P(FramingRoundTrip, EveryValueOfEveryHourComesBack) {
  const FramingCase& c = GetParam();
  TempDir dir;
  TPostFileLayout layout;
  layout.Framing = c.framing;
  layout.DoublePrecision = c.doublePrecision;
  layout.Types = c.types;
  layout.Receptors = 7;
  const int hours = 30;
  const std::string file = Make(dir, "f.pos", layout, hours);

  // Detection from the receptor count alone (a Tarvo header states everything).
  TPostBinTypeDetector detector(file, c.framing == TPostFraming::pfTarvo ? 0 : 7, true);
  EXPECT_EQ(detector.Framing(), c.framing);
  const bool expectDouble = c.doublePrecision && c.framing != TPostFraming::pfLahey;
  if (c.framing != TPostFraming::pfStandard || c.types.Count() != 2 || expectDouble) {
    // (a = 8 bytes per receptor is ambiguous under the double hint: one double or two singles)
    EXPECT_EQ(detector.DoublePrecision(), expectDouble);
  }

  TBinPostReader reader(file, c.types, nullptr, 1.0, expectDouble, c.framing == TPostFraming::pfTarvo ? 0 : 7, true);
  EXPECT_EQ(reader.Framing(), c.framing);
  EXPECT_EQ(reader.ReceptorCount(), 7);
  EXPECT_EQ(reader.PostOutTypes(), c.types);
  EXPECT_EQ(reader.GroupName(), "ALL     ");
  const int precision = expectDouble ? 8 : 4;
  for (int h = 0; h < hours; ++h) {
    if (h > 0) reader.NewBlock(0, 0);
    int typeIndex = 0;
    for (TPostOutType t : kAllPostOutTypes) {
      if (!c.types.Contains(t)) continue;
      for (int r = 0; r < 7; ++r) {
        const double expected = expectDouble ? Value(h, typeIndex, r) : static_cast<float>(Value(h, typeIndex, r));
        ASSERT_EQ(reader.GetConcentration(r, t), expected) << "hour " << h << " type " << typeIndex << " rec " << r;
      }
      ++typeIndex;
    }
  }
  EXPECT_EQ(reader.DataValueCount(), c.types.Count() * 7);
  EXPECT_EQ(reader.Stream().Position(), reader.Stream().Size());
  (void)precision;

  TPostSummary s = SummarizePostFile(file, c.framing == TPostFraming::pfTarvo ? 0 : 7, expectDouble);
  EXPECT_EQ(s.Hours, hours);
  EXPECT_EQ(s.FirstDate, 96010101);
  EXPECT_EQ(s.LastDate, 96010206);
  EXPECT_EQ(s.Types, c.types);
}

using T = TPostOutType;
INSTANTIATE_TEST_SUITE_P(
    AllFramings, FramingRoundTrip,
    ::testing::Values(FramingCase{"StandardDoubleConc", TPostFraming::pfStandard, true, {T::poConc}},
                      FramingCase{"StandardSingleConc", TPostFraming::pfStandard, false, {T::poConc}},
                      FramingCase{"StandardDoubleAll", TPostFraming::pfStandard, true,
                                  {T::poConc, T::poDepos, T::poDDep, T::poWDep}},
                      FramingCase{"StandardSingleThree", TPostFraming::pfStandard, false,
                                  {T::poConc, T::poDepos, T::poDDep}},
                      FramingCase{"StandardDoubleTwo", TPostFraming::pfStandard, true, {T::poConc, T::poDepos}},
                      FramingCase{"TarvoDoubleConcDdep", TPostFraming::pfTarvo, true, {T::poConc, T::poDDep}},
                      FramingCase{"TarvoSingleAll", TPostFraming::pfTarvo, false,
                                  {T::poConc, T::poDepos, T::poDDep, T::poWDep}},
                      FramingCase{"LaheyConc", TPostFraming::pfLahey, false, {T::poConc}},
                      FramingCase{"LaheyTwo", TPostFraming::pfLahey, false, {T::poConc, T::poDepos}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PostFramingTest, LaheyMarkers) {
  const uint8_t a[] = {0x28};
  TLaheyMarker m = DecodeLaheyMarker(a);
  EXPECT_EQ(m.Length, 10);
  EXPECT_EQ(LaheyTrailerSize(m), 1);
  const uint8_t b[] = {0x91, 0x01};
  m = DecodeLaheyMarker(b);
  EXPECT_EQ(m.Length, 100);
  EXPECT_EQ(m.CountBytes, 1);
  EXPECT_EQ(LaheyTrailerSize(m), 2);
}

TEST(PostFramingTest, LaheyFileWithLetterGroupIsNotTakenForStandard) {
  // Group "ALL" with a 2-byte marker: at the standard offsets the group id reads as letters, so a test of the
  // group bytes alone would call it standard. The record structure says Lahey.
  TempDir dir;
  TPostFileLayout layout;
  layout.Framing = TPostFraming::pfLahey;
  layout.Receptors = 20;  // record length 96: a 2-byte marker
  const std::string file = Make(dir, "l.pos", layout, 5);
  TBinPostReader reader(file, {T::poConc}, nullptr, 1.0, true, 20, true);
  EXPECT_TRUE(reader.IsLahey());
  EXPECT_FALSE(reader.DoublePrecision());
  EXPECT_EQ(reader.FirstBlockPos(), 1);
  EXPECT_EQ(reader.DateBlock(), 96010101);
  EXPECT_EQ(reader.GetConcentration(3, T::poConc), static_cast<float>(Value(0, 0, 3)));
}

TEST(PostBinTypeDetectorTest, BytesPerReceptorTable) {
  struct Case {
    int recordLength;
    bool hintDouble;
    bool expectDouble;
    int expectTypes;
  } cases[] = {{416, true, false, 1},  {416, false, false, 1}, {816, true, true, 1},   {816, false, false, 2},
               {1616, true, true, 2},  {1616, false, false, 4}, {1216, true, false, 3}, {2416, false, true, 3},
               {3216, false, true, 4}, {716, true, true, 0},    {716, false, false, 0}};
  TempDir dir;
  for (const Case& c : cases) {
    // One record of the given length, written by hand: the detector must not care what the values are.
    std::string bytes(static_cast<size_t>(c.recordLength) + 8, '\0');
    std::memcpy(bytes.data(), &c.recordLength, 4);
    std::memcpy(bytes.data() + 4 + c.recordLength, &c.recordLength, 4);
    std::memcpy(bytes.data() + 12, "ALL     ", 8);
    test::WriteAll(dir.Path() / "d.pos", bytes);
    TPostBinTypeDetector d(dir.File("d.pos"), 100, c.hintDouble);
    EXPECT_EQ(d.DoublePrecision(), c.expectDouble) << c.recordLength << " " << c.hintDouble;
    EXPECT_EQ(d.PostOutTypes(), FirstPostOutTypes(c.expectTypes)) << c.recordLength << " " << c.hintDouble;
  }
}

TEST(PostBinTypeDetectorTest, ZeroReceptorsIsDivisionByZero) {
  TempDir dir;
  TPostFileLayout layout;
  const std::string file = Make(dir, "z.pos", layout, 1);
  try {
    TPostBinTypeDetector d(file, 0, true);
    FAIL();
  } catch (const EStackTrace& e) {
    EXPECT_EQ(e.ErrorMessage(), "Division by zero");
    EXPECT_NE(std::string(e.what()).find("TPostBinTypeDetector.DefineOutputTypes"), std::string::npos);
  }
}

TEST(PostBinTypeDetectorTest, TarvoHeaderIsTheResult) {
  TempDir dir;
  TPostFileLayout layout;
  layout.Framing = TPostFraming::pfTarvo;
  layout.Types = TPostOutTypes::FromBits(15);
  layout.Receptors = 3;
  const std::string file = Make(dir, "t.pos", layout, 2);
  TPostBinTypeDetector d(file, 99, false);
  EXPECT_TRUE(d.IsTarvo());
  EXPECT_TRUE(d.DoublePrecision());
  EXPECT_EQ(d.ReceptorCount(), 3);
  EXPECT_EQ(d.PostOutTypes().Count(), 4);
  TBinPostReader reader(file, {T::poConc}, nullptr, 1.0, false, 0, true);
  EXPECT_EQ(reader.FirstBlockPos(), 16 + 3 * 16);
}

TEST(PostBinReaderTest, PrecisionCheckAgainstKnownReceptorCount) {
  TempDir dir;
  std::string bytes(616 + 8, '\0');
  const int32_t length = 616;
  std::memcpy(bytes.data(), &length, 4);
  std::memcpy(bytes.data() + 4 + 616, &length, 4);
  std::memcpy(bytes.data() + 12, "ALL     ", 8);
  test::WriteAll(dir.Path() / "p.pos", bytes);
  const std::string file = dir.File("p.pos");
  EXPECT_EQ(ErrorOf([&] { TBinPostReader r(file, {T::poConc}, nullptr, 1.0, true, 100, true); }),
            "Unknown binary POST file format: " + file);
  TBinPostReader noCount(file, {T::poConc}, nullptr, 1.0, true, 0, true);
  EXPECT_TRUE(noCount.DoublePrecision());  // the caller's belief stands
}

TEST(PostBinReaderTest, EmptyTypeSetFailsInDefineSkipBlock) {
  TempDir dir;
  const std::string file = Make(dir, "e.pos", TPostFileLayout{}, 2);
  try {
    TBinPostReader r(file, {}, nullptr, 1.0, true, 0, true);
    FAIL();
  } catch (const EStackTrace& e) {
    EXPECT_EQ(e.ErrorMessage(), "Division by zero");
    EXPECT_NE(std::string(e.what()).find("TBinPostReader.DefineSkipBlock"), std::string::npos);
  }
}

}  // namespace
}  // namespace zorvik
