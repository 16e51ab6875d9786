#include "meteo/AermetVersion.h"

#include <gtest/gtest.h>

namespace zorvik {
namespace {

TEST(AermetVersionTest, VersionTextGivesMemberAndLayout) {
  struct Case {
    const char* text;
    TAermetVersion version;
    TSfcLineLayout layout;
    int fields;
  } cases[] = {
      {"98314", tav_98314, TSfcLineLayout::sllShortColumns, 20},
      {" 02222", tav_02222, TSfcLineLayout::sllShortColumns, 20},
      {"01247 ", tav_01247, TSfcLineLayout::sllShortColumns, 20},
      {"04300", tav_04300, TSfcLineLayout::sllLongColumns, 25},
      {"06341", tav_06341, TSfcLineLayout::sllLongColumns, 25},
      {"09040", tav_09040, TSfcLineLayout::sllLongColumns, 25},
      {"11059", tav_11059, TSfcLineLayout::sllBlankSeparated, 25},
      {" 24142", tav_11059, TSfcLineLayout::sllBlankSeparated, 25},  // a later version: blank-separated
      {"abc", tav_null, TSfcLineLayout::sllNone, 0},     // no version number
      {"2414x", tav_null, TSfcLineLayout::sllNone, 0},
      {"241420", tav_null, TSfcLineLayout::sllNone, 0},
      {"", tav_null, TSfcLineLayout::sllNone, 0},
      {"      ", tav_null, TSfcLineLayout::sllNone, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DetectAermetVersion(c.text), c.version) << '"' << c.text << '"';
    EXPECT_EQ(SfcLineLayout(c.version), c.layout) << c.text;
    EXPECT_EQ(SfcFieldCount(c.version), c.fields) << c.text;
  }
  EXPECT_EQ(AermetVersionText(tav_06341), "06341");
  EXPECT_EQ(AermetVersionText(tav_null), "");
}

}  // namespace
}  // namespace zorvik
