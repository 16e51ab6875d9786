#include "controls/RealFormat.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <stdexcept>
#include <vector>

namespace zorvik {

namespace {

// to_chars writes as printf would in the C locale, whatever the process locale is.
std::string ToChars(double value, std::chars_format format, int precision) {
  char buffer[512];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, format, precision);
  if (result.ec != std::errc()) return {};  // only for magnitudes beyond any display window
  return std::string(buffer, result.ptr);
}

void ReplaceFirstPoint(std::string& text, std::string_view decimalSeparator) {
  if (decimalSeparator == ".") return;
  if (const auto pos = text.find('.'); pos != std::string::npos)
    text = text.substr(0, pos) + std::string(decimalSeparator) + text.substr(pos + 1);
}

std::string TrimBlanks(std::string text) {
  const auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && isBlank(text.back())) text.pop_back();
  std::size_t first = 0;
  while (first < text.size() && isBlank(text[first])) ++first;
  return text.substr(first);
}

// ---- float patterns ----

enum class TTokenKind { tkLiteral, tkIntegerDigit, tkPoint, tkFractionDigit, tkExponent };

struct TToken {
  TTokenKind kind;
  std::string text;  // literal text, or the exponent letter
  int index = 0;     // fraction digit position
};

struct TSection {
  std::vector<TToken> tokens;
  int integerZeros = 0;  // minimum integer digits
  int integerSlots = 0;
  int fractionMin = 0;
  int fractionMax = 0;
  bool grouping = false;
  bool scientific = false;
  bool exponentPlus = false;
  int exponentDigits = 0;
};

std::vector<std::string_view> SplitSections(std::string_view pattern) {
  std::vector<std::string_view> sections;
  char quote = 0;
  std::size_t start = 0;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '\'' || c == '"') {
      quote = c;
    } else if (c == ';') {
      sections.push_back(pattern.substr(start, i - start));
      start = i + 1;
    }
  }
  sections.push_back(pattern.substr(start));
  return sections;
}

TSection ParseSection(std::string_view text) {
  TSection s;
  bool afterPoint = false;
  bool afterExponent = false;
  const auto literal = [&](std::string_view t) {
    if (!s.tokens.empty() && s.tokens.back().kind == TTokenKind::tkLiteral) s.tokens.back().text.append(t);
    else s.tokens.push_back({TTokenKind::tkLiteral, std::string(t)});
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\'' || c == '"') {
      const auto close = text.find(c, i + 1);
      const auto end = close == std::string_view::npos ? text.size() : close;
      literal(text.substr(i + 1, end - i - 1));
      i = end;
    } else if ((c == '0' || c == '#') && !afterExponent) {
      if (afterPoint) {
        s.tokens.push_back({TTokenKind::tkFractionDigit, {}, s.fractionMax});
        ++s.fractionMax;
        if (c == '0') s.fractionMin = s.fractionMax;
      } else {
        s.tokens.push_back({TTokenKind::tkIntegerDigit, {}});
        ++s.integerSlots;
        if (c == '0') ++s.integerZeros;
      }
    } else if (c == '.' && !afterPoint && !afterExponent) {
      afterPoint = true;
      s.tokens.push_back({TTokenKind::tkPoint, {}});
    } else if (c == ',' && !afterPoint && !afterExponent) {
      s.grouping = true;
    } else if ((c == 'E' || c == 'e') && !afterExponent && i + 1 < text.size() &&
               (text[i + 1] == '+' || text[i + 1] == '-')) {
      afterExponent = true;
      s.scientific = true;
      s.exponentPlus = text[i + 1] == '+';
      s.tokens.push_back({TTokenKind::tkExponent, std::string(1, c)});
      i += 1;
      while (i + 1 < text.size() && text[i + 1] == '0') {
        ++s.exponentDigits;
        ++i;
      }
    } else {
      literal(text.substr(i, 1));
    }
  }
  return s;
}

std::string Grouped(const std::string& digits, std::string_view separator) {
  std::string out;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out.append(separator);
    out += digits[i];
  }
  return out;
}

std::string FormatSection(const TSection& s, double magnitude, bool negative, const TNumberLocale& locale) {
  std::string integer, fraction, exponent;
  if (s.scientific) {
    const int integerDigits = std::max(1, s.integerSlots);
    const int significant = integerDigits + s.fractionMax;
    int power = 0;
    std::string digits;
    if (magnitude == 0) {
      digits.assign(static_cast<std::size_t>(significant), '0');
    } else {
      const std::string text = ToChars(magnitude, std::chars_format::scientific, significant - 1);
      const auto e = text.find('e');
      for (std::size_t i = 0; i < e; ++i)
        if (text[i] != '.') digits += text[i];
      power = std::atoi(text.c_str() + e + 1) - (integerDigits - 1);
    }
    integer = digits.substr(0, static_cast<std::size_t>(integerDigits));
    fraction = digits.substr(static_cast<std::size_t>(integerDigits));
    std::string powerDigits = std::to_string(std::abs(power));
    if (static_cast<int>(powerDigits.size()) < s.exponentDigits)
      powerDigits.insert(0, static_cast<std::size_t>(s.exponentDigits) - powerDigits.size(), '0');
    exponent = (power < 0 ? "-" : s.exponentPlus ? "+" : "") + powerDigits;
  } else {
    const std::string text = ToChars(magnitude, std::chars_format::fixed, s.fractionMax);
    const auto point = text.find('.');
    integer = text.substr(0, point);
    if (point != std::string::npos) fraction = text.substr(point + 1);
    if (integer == "0" && s.integerZeros == 0) integer.clear();
    if (static_cast<int>(integer.size()) < s.integerZeros)
      integer.insert(0, static_cast<std::size_t>(s.integerZeros) - integer.size(), '0');
    if (s.grouping) integer = Grouped(integer, locale.thousandSeparator);
  }
  while (static_cast<int>(fraction.size()) > s.fractionMin && fraction.back() == '0') fraction.pop_back();
  const bool allZero = std::all_of(integer.begin(), integer.end(), [](char c) { return c < '1' || c > '9'; }) &&
                       std::all_of(fraction.begin(), fraction.end(), [](char c) { return c == '0'; });
  std::string sign = negative && !allZero ? "-" : "";

  std::string out;
  bool numberStarted = false;
  const auto startNumber = [&] {
    if (numberStarted) return;
    numberStarted = true;
    out += sign;
    if (s.integerSlots == 0) out += integer;
  };
  for (const TToken& t : s.tokens) {
    switch (t.kind) {
      case TTokenKind::tkLiteral:
        out += t.text;
        break;
      case TTokenKind::tkIntegerDigit:
        if (!numberStarted) {
          startNumber();
          out += integer;
        }
        break;
      case TTokenKind::tkPoint:
        startNumber();
        if (!fraction.empty()) out += locale.decimalSeparator;
        break;
      case TTokenKind::tkFractionDigit:
        startNumber();
        if (t.index < static_cast<int>(fraction.size())) out += fraction[static_cast<std::size_t>(t.index)];
        break;
      case TTokenKind::tkExponent:
        startNumber();
        out += t.text + exponent;
        break;
    }
  }
  return out;
}

// ---- printf-style patterns ----

struct TPrintfPattern {
  std::string prefix, suffix;
  std::string conversion;  // the conversion in fmt's replacement-field syntax, e.g. "<+8.3e"
};

bool ParsePrintf(std::string_view pattern, TPrintfPattern& parsed) {
  bool haveConversion = false;
  std::string* text = &parsed.prefix;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] != '%') {
      *text += pattern[i];
      continue;
    }
    if (i + 1 < pattern.size() && pattern[i + 1] == '%') {
      *text += '%';
      ++i;
      continue;
    }
    if (haveConversion) return false;
    haveConversion = true;
    bool left = false, plus = false, space = false, alternate = false, zero = false;
    std::size_t j = i + 1;
    for (; j < pattern.size(); ++j) {
      const char f = pattern[j];
      if (f == '-') left = true;
      else if (f == '+') plus = true;
      else if (f == ' ') space = true;
      else if (f == '#') alternate = true;
      else if (f == '0') zero = true;
      else break;
    }
    std::string width, precision;
    bool havePrecision = false;
    for (; j < pattern.size() && pattern[j] >= '0' && pattern[j] <= '9'; ++j) width += pattern[j];
    if (j < pattern.size() && pattern[j] == '.') {
      havePrecision = true;
      for (++j; j < pattern.size() && pattern[j] >= '0' && pattern[j] <= '9'; ++j) precision += pattern[j];
    }
    if (j >= pattern.size() || width.size() > 3 || precision.size() > 2) return false;
    const char type = pattern[j];
    if (std::string_view("eEfFgG").find(type) == std::string_view::npos) return false;
    std::string& conversion = parsed.conversion;
    if (left) conversion += '<';
    conversion += plus ? "+" : space ? " " : "";
    if (alternate) conversion += '#';
    if (zero && !left) conversion += '0';
    conversion += width;
    conversion += '.';
    conversion += havePrecision ? (precision.empty() ? std::string("0") : precision) : std::string("6");  // printf's default
    conversion += type;
    text = &parsed.suffix;
    i = j;
  }
  return haveConversion;
}

}  // namespace

std::string FormatFloatPattern(std::string_view pattern, double value, const TNumberLocale& locale) {
  const auto sections = SplitSections(pattern);
  std::string_view chosen = sections[0];
  bool negative = value < 0;
  if (value < 0 && sections.size() > 1 && !sections[1].empty()) {
    chosen = sections[1];
    negative = false;
  } else if (value == 0 && sections.size() > 2 && !sections[2].empty()) {
    chosen = sections[2];
  }
  return FormatSection(ParseSection(chosen), std::fabs(value), negative, locale);
}

bool IsValidPrintfPattern(std::string_view pattern) {
  TPrintfPattern parsed;
  return ParsePrintf(pattern, parsed);
}

std::string FormatPrintfPattern(std::string_view pattern, double value, const TNumberLocale& locale) {
  TPrintfPattern parsed;
  if (!ParsePrintf(pattern, parsed))
    throw std::invalid_argument(fmt::format("Not a number format with one real-number conversion: \"{}\"", pattern));
  std::string number = fmt::format(fmt::runtime("{:" + parsed.conversion + "}"), value);
  ReplaceFirstPoint(number, locale.decimalSeparator);
  return parsed.prefix + number + parsed.suffix;
}

std::string FormatByPattern(std::string_view pattern, double value, const TNumberLocale& locale) {
  if (pattern.find('%') != std::string_view::npos) return TrimBlanks(FormatPrintfPattern(pattern, value, locale));
  return TrimBlanks(FormatFloatPattern(pattern, value, locale));
}

bool IsValidNumberPattern(std::string_view pattern) {
  return pattern.find('%') == std::string_view::npos || IsValidPrintfPattern(pattern);
}

std::string GeneralText(double value, const TNumberLocale& locale) {
  std::string text = ToChars(value, std::chars_format::general, 15);
  ReplaceFirstPoint(text, locale.decimalSeparator);
  return text;
}

std::string DefaultDisplayText(double value, int numDP, double fmtMinC, double fmtMaxC, const TNumberLocale& locale) {
  const double magnitude = std::fabs(value);
  std::string text;
  if ((fmtMinC < magnitude && magnitude < fmtMaxC) || value == 0) {
    text = numDP < 0 ? ToChars(value, std::chars_format::general, 6) : ToChars(value, std::chars_format::fixed, numDP);
    ReplaceFirstPoint(text, locale.decimalSeparator);
  } else {
    const std::string pattern = numDP < 0 ? std::string("0.0##E+00")
                                          : "0.0" + std::string(static_cast<std::size_t>(std::max(0, numDP - 1)), '#') +
                                                "E+00";
    text = FormatFloatPattern(pattern, value, locale);
  }
  const std::string_view sep = locale.decimalSeparator;
  const auto separatorAt = [&](std::size_t pos) {
    return text[pos] == '.' || text[pos] == ',' || (!sep.empty() && text.compare(pos, sep.size(), sep) == 0);
  };
  while (text.size() > 1 && text[0] == '0' && !separatorAt(1)) text.erase(0, 1);
  const auto point = sep.empty() ? std::string::npos : text.find(sep);
  if (text.find_first_of("eE") == std::string::npos && point != std::string::npos) {
    const std::size_t keep = point + sep.size() + 1;  // one digit after the separator stays
    while (text.size() > keep && text.back() == '0') text.pop_back();
  }
  return text;
}

}  // namespace zorvik
