#include "controls/NumberSyntax.h"

#include <charconv>
#include <cmath>
#include <system_error>

namespace zorvik {

namespace {

// States of the number automaton; the numbers are those of the design notes (there is no state 2).
enum : int {
  stInvalid = -1,
  stStart = 0,
  stSign = 1,
  stInteger = 3,
  stSeparator = 4,
  stFraction = 5,
  stExponentLetter = 6,
  stLeadingZero = 7,
  stExponentDigits = 8,
  stExponentSign = 9
};

enum class TCharClass { ccZero, ccDigit, ccExponent, ccPlus, ccMinus, ccSeparator, ccOther };

int Next(int state, TCharClass c, bool nonNegative) {
  switch (c) {
    case TCharClass::ccZero:
      switch (state) {
        case stStart: case stSign: return stLeadingZero;
        case stInteger: return stInteger;
        case stSeparator: case stFraction: return stFraction;
        case stExponentDigits: case stExponentSign: return stExponentDigits;
        default: return stInvalid;
      }
    case TCharClass::ccDigit:
      switch (state) {
        case stStart: case stSign: case stInteger: return stInteger;
        case stSeparator: case stFraction: return stFraction;
        case stExponentLetter: case stExponentDigits: case stExponentSign: return stExponentDigits;
        default: return stInvalid;
      }
    case TCharClass::ccExponent:
      return state == stInteger || state == stSeparator || state == stFraction ? stExponentLetter : stInvalid;
    case TCharClass::ccPlus:
      return state == stStart ? stSign : state == stExponentLetter ? stExponentSign : stInvalid;
    case TCharClass::ccMinus:
      if (state == stStart) return nonNegative ? stInvalid : stSign;
      return state == stExponentLetter ? stExponentSign : stInvalid;
    case TCharClass::ccSeparator:
      return state == stStart || state == stSign || state == stInteger || state == stLeadingZero ? stSeparator
                                                                                                 : stInvalid;
    case TCharClass::ccOther:
      return stInvalid;
  }
  return stInvalid;
}

bool IsBlankChar(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

void EraseAll(std::string& text, std::string_view what) {
  if (what.empty()) return;
  for (auto pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos)) text.erase(pos, what.size());
}

std::string Joined(std::string_view before, std::string_view middle, std::string_view after) {
  std::string text;
  text.reserve(before.size() + middle.size() + after.size());
  text.append(before).append(middle).append(after);
  return text;
}

}  // namespace

TNumberTextState ClassifyNumberText(std::string_view text, std::string_view decimalSeparator, bool nonNegative) {
  int state = stStart;
  std::size_t i = 0;
  while (i < text.size()) {
    TCharClass c = TCharClass::ccOther;
    std::size_t width = 1;
    // The separator is tested first: a locale may use a character that is also a sign or letter elsewhere.
    if (!decimalSeparator.empty() && text.substr(i, decimalSeparator.size()) == decimalSeparator) {
      c = TCharClass::ccSeparator;
      width = decimalSeparator.size();
    } else {
      const char ch = text[i];
      if (ch == '0') c = TCharClass::ccZero;
      else if (ch >= '1' && ch <= '9') c = TCharClass::ccDigit;
      else if (ch == 'e' || ch == 'E') c = TCharClass::ccExponent;
      else if (ch == '+') c = TCharClass::ccPlus;
      else if (ch == '-') c = TCharClass::ccMinus;
    }
    state = Next(state, c, nonNegative);
    if (state == stInvalid) return TNumberTextState::ntsInvalid;
    i += width;
  }
  switch (state) {
    case stInteger: case stSeparator: case stFraction: case stLeadingZero: case stExponentDigits:
      return TNumberTextState::ntsComplete;
    default:
      return TNumberTextState::ntsIncomplete;
  }
}

bool IsPassThroughKey(std::string_view key) {
  if (key.size() != 1) return false;
  switch (key[0]) {
    case '\x01': case '\x03': case '\x08': case '\x16': case '\x18': case '\x1a': return true;
    default: return false;
  }
}

std::optional<std::string> FilterTypedKey(std::string_view key, std::string_view before, std::string_view after,
                                          const TNumberLocale& locale, bool nonNegative) {
  if (IsPassThroughKey(key)) return std::string(key);
  const auto resultIs = [&](std::string_view typed) {
    return ClassifyNumberText(Joined(before, typed, after), locale.decimalSeparator, nonNegative);
  };
  if (key == " ") {
    if (resultIs("E") == TNumberTextState::ntsIncomplete) return std::string("E");
    return std::nullopt;
  }
  const bool numberKey = (key.size() == 1 && ((key[0] >= '0' && key[0] <= '9') || key[0] == '+' || key[0] == '-' ||
                                              key[0] == '.' || key[0] == 'e' || key[0] == 'E')) ||
                         (!key.empty() && key == locale.decimalSeparator);
  if (!numberKey || resultIs(key) == TNumberTextState::ntsInvalid) return std::nullopt;
  return std::string(key);
}

std::string CleanPastedText(std::string_view clipboard, std::string_view thousandSeparator) {
  std::string text;
  text.reserve(clipboard.size());
  for (char c : clipboard)
    if (!IsBlankChar(c)) text += c;
  EraseAll(text, thousandSeparator);
  return text;
}

std::optional<std::string> FilterPaste(std::string_view clipboard, std::string_view before, std::string_view after,
                                       const TNumberLocale& locale, bool nonNegative) {
  std::string cleaned = CleanPastedText(clipboard, locale.thousandSeparator);
  if (ClassifyNumberText(Joined(before, cleaned, after), locale.decimalSeparator, nonNegative) !=
      TNumberTextState::ntsComplete)
    return std::nullopt;
  return cleaned;
}

std::optional<double> TextToReal(std::string_view text, std::string_view decimalSeparator) {
  std::string s(text);
  if (!decimalSeparator.empty() && decimalSeparator != ".") {
    if (const auto pos = s.find(decimalSeparator); pos != std::string::npos)
      s = s.substr(0, pos) + "." + s.substr(pos + decimalSeparator.size());
  }
  std::size_t first = 0, last = s.size();
  while (first < last && s[first] == ' ') ++first;
  while (last > first && s[last - 1] == ' ') --last;
  if (first < last && s[first] == '+' && last - first > 1 && s[first + 1] != '-' && s[first + 1] != '+') ++first;
  if (first == last) return std::nullopt;
  double value = 0;
  const char* begin = s.data() + first;
  const char* end = s.data() + last;
  const auto [ptr, ec] = std::from_chars(begin, end, value, std::chars_format::general);
  if (ec != std::errc() || ptr != end || !std::isfinite(value)) return std::nullopt;
  return value;
}

}  // namespace zorvik
