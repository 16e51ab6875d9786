#include "meteo/MeteoFormat.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"

namespace zorvik {
namespace {

TEST(MeteoFormatTest, AermetHeaderNeedsAllFourLabels) {
  const std::string full =
      "   29.967N   95.350W          UA_ID: 3937      SF_ID: 722430    OS_ID:              VERSION: 24142";
  struct Case {
    std::string firstLine;
    bool aermet;
  } cases[] = {
      {full, true},
      {"   41.300N   74.000W          UA_ID: 14735     SF_ID: 14735     OS_ID: LOVETT", false},  // no VERSION
      {"88010101 180.0000   2.5000 273.0 4 1000.0  800.0", false},
      {"   29.967N   95.350W          ua_id: 3937      sf_id: 722430    os_id:              version: 24142", false},
      {"", false},
  };
  test::TempDir dir;
  for (const auto& c : cases) {
    EXPECT_EQ(IsAermetSfcHeader(c.firstLine), c.aermet) << c.firstLine;
    test::WriteAll(dir.File("m.sfc"), c.firstLine + "\r\n96  1  1   1  1 rest\r\n");
    EXPECT_EQ(DetectMeteoFormat(dir.File("m.sfc"), mfAermetSFC), c.aermet) << c.firstLine;
    EXPECT_FALSE(DetectMeteoFormat(dir.File("m.sfc"), mfSamson));  // no test for other formats
  }
  EXPECT_FALSE(DetectMeteoFormat(dir.File("absent.sfc"), mfAermetSFC));
}

}  // namespace
}  // namespace zorvik
