#include "controls/NumberSyntax.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>

namespace zorvik {
namespace {

constexpr auto C = TNumberTextState::ntsComplete;
constexpr auto P = TNumberTextState::ntsIncomplete;
constexpr auto X = TNumberTextState::ntsInvalid;

const TNumberLocale kPoint{".", ","};
const TNumberLocale kComma{",", "."};

struct ClassifyCase {
  const char* text;
  const char* separator;
  bool nonNegative;
  TNumberTextState expected;
};

TEST(NumberSyntaxTest, ClassifiesTexts) {
  const ClassifyCase cases[] = {
      {"0", ".", false, C},        {"0.5", ".", false, C},     {".5", ".", false, C},
      {"1.", ".", false, C},       {"-.", ".", false, C},      {"1e+05", ".", false, C},
      {"12.5e-3", ".", false, C},  {"1e+0", ".", false, C},    {"+7", ".", false, C},
      {"05", ".", false, X},       {"00", ".", false, X},      {"1e05", ".", false, X},
      {"1e0", ".", false, X},      {"0e5", ".", false, X},     {"1.2.3", ".", false, X},
      {"--1", ".", false, X},      {"1 ", ".", false, X},      {"abc", ".", false, X},
      {"", ".", false, P},         {"-", ".", false, P},       {"+", ".", false, P},
      {"1e", ".", false, P},       {"1e-", ".", false, P},     {"1.5E", ".", false, P},
      {"-5", ".", true, X},        {"-", ".", true, X},        {"1e-5", ".", true, C},
      {"+5", ".", true, C},        {"12,5", ",", false, C},    {"12.5", ",", false, X},
      {"1\xd9\xab" "5", "\xd9\xab", false, C},  // a separator of two bytes
  };
  for (const auto& c : cases)
    EXPECT_EQ(ClassifyNumberText(c.text, c.separator, c.nonNegative), c.expected)
        << "text \"" << c.text << "\" separator \"" << c.separator << "\"";
}

struct KeyCase {
  const char* before;
  const char* key;
  const char* after;
  const TNumberLocale* locale;
  bool nonNegative;
  std::optional<std::string> expected;  // nothing: dropped
};

TEST(NumberSyntaxTest, FiltersTypedKeys) {
  const std::nullopt_t dropped = std::nullopt;
  const KeyCase cases[] = {
      {"0", "5", "", &kPoint, false, dropped},     // no leading zeros
      {"0", ".", "", &kPoint, false, "."},
      {"0.", "5", "", &kPoint, false, "5"},
      {"1.5", " ", "", &kPoint, false, "E"},       // a blank is tried as the exponent letter
      {"1.5E", " ", "", &kPoint, false, dropped},
      {"", " ", "", &kPoint, false, dropped},
      {"12", "x", "", &kPoint, false, dropped},
      {"12", ".", "", &kComma, false, dropped},    // "." is no separator with a comma locale
      {"12", ",", "", &kComma, false, ","},
      {"", "-", "", &kPoint, true, dropped},
      {"1e", "-", "", &kPoint, true, "-"},
      {"1", "e", "0", &kPoint, false, dropped},    // the text after the selection counts: 1e0
      {"1", ".", "5", &kPoint, false, "."},
      {"", "7", "", &kPoint, false, "7"},          // replaces a whole selection
      {"0", "\x08", "", &kPoint, false, "\x08"},   // backspace
      {"05", "\x16", "", &kPoint, false, "\x16"},  // Ctrl+V
      {"", "\x01", "", &kPoint, false, "\x01"},    // Ctrl+A
      {"", "\x02", "", &kPoint, false, dropped},   // Ctrl+B
  };
  for (const auto& c : cases)
    EXPECT_EQ(FilterTypedKey(c.key, c.before, c.after, *c.locale, c.nonNegative), c.expected)
        << "\"" << c.before << "\" + \"" << c.key << "\" + \"" << c.after << "\"";
}

TEST(NumberSyntaxTest, FiltersPastes) {
  const struct {
    const char* clipboard;
    const char* before;
    const TNumberLocale* locale;
    std::optional<std::string> expected;
  } cases[] = {
      {"1 234.5", "", &kPoint, "1234.5"},
      {"1,234.5", "", &kPoint, "1234.5"},
      {"\t12\r\n", "", &kPoint, "12"},
      {"1.234,5", "", &kComma, "1234,5"},
      {"5", "1", &kPoint, "5"},
      {"abc", "", &kPoint, std::nullopt},
      {"1e", "", &kPoint, std::nullopt},  // incomplete texts are not pasted
      {"5", "0", &kPoint, std::nullopt},  // would give 05
  };
  for (const auto& c : cases)
    EXPECT_EQ(FilterPaste(c.clipboard, c.before, "", *c.locale, false), c.expected) << c.clipboard;
}

TEST(NumberSyntaxTest, ConvertsTexts) {
  const struct {
    const char* text;
    const char* separator;
    std::optional<double> expected;
  } cases[] = {
      {"12,5", ",", 12.5},  {"98.0", ".", 98.0},   {"1.", ".", 1.0},          {"+5", ".", 5.0},
      {" 7 ", ".", 7.0},    {"1e+05", ".", 1e5},   {"-.5", ".", -0.5},        {"", ".", std::nullopt},
      {"1e", ".", std::nullopt},   {".", ".", std::nullopt},    {"-.", ".", std::nullopt},
      {"+-5", ".", std::nullopt},  {"1e999", ".", std::nullopt}, {"inf", ".", std::nullopt},
      {"nan", ".", std::nullopt},  {"0x10", ".", std::nullopt},  {"1,5", ".", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(TextToReal(c.text, c.separator), c.expected) << "\"" << c.text << "\"";
}

}  // namespace
}  // namespace zorvik
