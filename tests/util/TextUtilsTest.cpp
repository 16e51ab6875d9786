#include "util/TextUtils.h"

#include <gtest/gtest.h>

#include <string>

namespace zorvik {
namespace {

using namespace std::string_literals;

TEST(TextUtilsTest, TrimsWhatEachVariantCallsBlank) {
  const struct {
    std::string text;
    std::string both;    // TrimView: every byte up to ' '
    std::string right;   // TrimRightView
    std::string spaces;  // TrimSpacesView: ' ' only
  } cases[] = {
      {"", "", "", ""},
      {"   ", "", "", ""},
      {"  a b  ", "a b", "  a b", "a b"},
      {"\t x\r\n", "x", "\t x", "\t x\r\n"},
      {"\0x\0"s, "x", "\0x"s, "\0x\0"s},
      {"\x01 y \x1f", "y", "\x01 y", "\x01 y \x1f"},
      {"\xA0z\xA0", "\xA0z\xA0", "\xA0z\xA0", "\xA0z\xA0"},  // bytes above 127 are text
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TrimView(c.text), c.both) << c.text;
    EXPECT_EQ(Trim(c.text), c.both) << c.text;
    EXPECT_EQ(TrimRightView(c.text), c.right) << c.text;
    EXPECT_EQ(TrimSpacesView(c.text), c.spaces) << c.text;
  }
}

TEST(TextUtilsTest, AsciiCaseOnly) {
  EXPECT_EQ(AsciiUpper("azAZ09_@[`{\xE9"), "AZAZ09_@[`{\xE9");
  EXPECT_EQ(AsciiLower("azAZ09_@[`{\xC9"), "azaz09_@[`{\xC9");
  const struct {
    const char* a;
    const char* b;
    bool same;
  } cases[] = {
      {"Rank", "RANK", true}, {"", "", true},     {"abc", "abcd", false}, {"@", "`", false},
      {"[", "{", false},      {"\xE9", "\xC9", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SameTextAscii(c.a, c.b), c.same) << c.a << " / " << c.b;
    EXPECT_EQ(SameTextAscii(c.b, c.a), c.same) << c.b << " / " << c.a;
  }
}

}  // namespace
}  // namespace zorvik
