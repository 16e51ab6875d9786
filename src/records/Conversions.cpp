#include "records/Conversions.h"

#include <fmt/format.h>

#include <charconv>
#include <cmath>
#include <limits>

#include "util/DateKey.h"

namespace zorvik {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads the whole text as a float. On failure `stop` is the position where reading stopped.
bool ReadFloat(std::string_view s, double& value, size_t& stop) {
  size_t i = 0;
  const size_t n = s.size();
  while (i < n && IsBlank(s[i])) ++i;
  bool negative = false;
  if (i < n && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  const size_t numberStart = i;
  size_t digits = 0;
  while (i < n && IsDigit(s[i])) ++i, ++digits;
  if (i < n && s[i] == '.') {
    ++i;
    while (i < n && IsDigit(s[i])) ++i, ++digits;
  }
  if (digits == 0) {
    stop = i;
    return false;
  }
  if (i < n && (s[i] == 'e' || s[i] == 'E')) {
    size_t j = i + 1;
    if (j < n && (s[j] == '+' || s[j] == '-')) ++j;
    if (j < n && IsDigit(s[j])) {
      while (j < n && IsDigit(s[j])) ++j;
      i = j;
    } else {
      stop = j;
      return false;
    }
  }
  const size_t numberEnd = i;
  while (i < n && IsBlank(s[i])) ++i;
  if (i != n) {
    stop = i;
    return false;
  }
  // from_chars reads neither a '+' nor a leading '.' without digit issues; give it the bare number.
  std::string_view number = s.substr(numberStart, numberEnd - numberStart);
  std::string buffer;
  if (number.front() == '.') {
    buffer = "0";
    buffer += number;
    number = buffer;
  }
  double parsed = 0.0;
  auto [ptr, ec] = std::from_chars(number.data(), number.data() + number.size(), parsed);
  if (ec != std::errc() || ptr != number.data() + number.size()) {
    stop = numberStart;
    return false;
  }
  value = negative ? -parsed : parsed;
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

[[noreturn]] void RaiseIntRange(std::string_view text) {
  throw ERangeError(fmt::format("Range check error: '{}' is outside the 32-bit integer range", text));
}

}  // namespace

bool TryTextToFloat(std::string_view text, double& value) {
  size_t stop = 0;
  if (ReadFloat(text, value, stop)) return true;
  if (stop < text.size() && text[stop] == ',') {
    std::string repaired(text);
    repaired[stop] = '.';
    return ReadFloat(repaired, value, stop);
  }
  return false;
}

double TextToFloat(std::string_view text) {
  double value = 0.0;
  if (!TryTextToFloat(text, value)) throw EConvertError(fmt::format("'{}' is not a valid floating point value", text));
  return value;
}

int32_t TextToInteger(std::string_view text) {
  size_t i = 0;
  const size_t n = text.size();
  while (i < n && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  bool hex = false;
  if (i < n && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
    hex = true;
    ++i;
  } else if (i + 1 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (hex) {
    uint64_t v = 0;
    int count = 0;
    while (i < n && HexDigit(text[i]) >= 0) {
      v = v * 16 + static_cast<uint64_t>(HexDigit(text[i++]));
      if (++count > 8) RaiseIntRange(text);
    }
    auto bits = static_cast<uint32_t>(v);
    int32_t result = static_cast<int32_t>(bits);
    return negative ? static_cast<int32_t>(0u - bits) : result;
  }
  int64_t v = 0;
  while (i < n && IsDigit(text[i])) {
    v = v * 10 + (text[i++] - '0');
    if (v > int64_t{1} << 32) RaiseIntRange(text);
  }
  if (negative) v = -v;
  if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) RaiseIntRange(text);
  return static_cast<int32_t>(v);
}

std::string FloatToText(double value) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  if (value == 0.0) return "0";
  // 15 significant digits in scientific form, then laid out as fixed or scientific.
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
  std::string_view sci(buf, static_cast<size_t>(res.ptr - buf));
  const size_t ePos = sci.find('e');
  const int exponent = std::stoi(std::string(sci.substr(ePos + 1)));
  std::string mantissa(sci.substr(0, ePos));
  const bool negative = mantissa.front() == '-';
  if (negative) mantissa.erase(0, 1);
  std::string digits;
  for (char c : mantissa)
    if (c != '.') digits += c;
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  std::string out = negative ? "-" : "";
  if (exponent >= -5 && exponent < 15) {
    if (exponent < 0) {
      out += "0.";
      out.append(static_cast<size_t>(-exponent - 1), '0');
      out += digits;
    } else if (static_cast<int>(digits.size()) <= exponent + 1) {
      out += digits;
      out.append(static_cast<size_t>(exponent + 1) - digits.size(), '0');
    } else {
      out += digits.substr(0, static_cast<size_t>(exponent + 1));
      out += '.';
      out += digits.substr(static_cast<size_t>(exponent + 1));
    }
  } else {
    out += digits.substr(0, 1);
    if (digits.size() > 1) {
      out += '.';
      out += digits.substr(1);
    }
    out += 'E';
    out += std::to_string(exponent);
  }
  return out;
}

std::string FloatToFixed(double value, int decimals) { return fmt::format("{:.{}f}", value, decimals); }

int32_t RoundToInt32(double value) {
  const double r = std::nearbyint(value);
  if (!(r >= -2147483648.0 && r <= 2147483647.0))
    throw ERangeError(fmt::format("Range check error: {} is outside the 32-bit integer range", FloatToText(value)));
  return static_cast<int32_t>(r);
}

int32_t TruncToInt32(double value) {
  const double r = std::trunc(value);
  if (!(r >= -2147483648.0 && r <= 2147483647.0))
    throw ERangeError(fmt::format("Range check error: {} is outside the 32-bit integer range", FloatToText(value)));
  return static_cast<int32_t>(r);
}

std::string DateTimeToText(double dateTime) {
  if (!std::isfinite(dateTime)) return FloatToText(dateTime);
  double days = std::floor(dateTime);
  auto ms = static_cast<int64_t>(std::llround((dateTime - days) * 86400000.0));
  if (ms >= 86400000) {
    days += 1;
    ms -= 86400000;
  }
  int year = 0, month = 0, day = 0;
  DecodeDate(days, year, month, day);
  std::string text = fmt::format("{:04}-{:02}-{:02}", year, month, day);
  const int64_t seconds = ms / 1000;
  if (seconds != 0)
    text += fmt::format(" {:02}:{:02}:{:02}", seconds / 3600, (seconds / 60) % 60, seconds % 60);
  return text;
}

bool TryTextToDateTime(std::string_view text, double& dateTime) {
  size_t i = 0;
  const size_t n = text.size();
  auto skipBlanks = [&] {
    while (i < n && IsBlank(text[i])) ++i;
  };
  auto number = [&](int minDigits, int maxDigits, int& out) {
    int count = 0;
    out = 0;
    while (i < n && IsDigit(text[i]) && count < maxDigits) out = out * 10 + (text[i++] - '0'), ++count;
    return count >= minDigits;
  };
  auto expect = [&](char c) {
    if (i < n && text[i] == c) {
      ++i;
      return true;
    }
    return false;
  };
  skipBlanks();
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  if (!number(4, 4, year) || !expect('-') || !number(1, 2, month) || !expect('-') || !number(1, 2, day)) return false;
  skipBlanks();
  if (i < n) {
    if (!number(1, 2, hour) || !expect(':') || !number(1, 2, minute)) return false;
    if (expect(':') && !number(1, 2, second)) return false;
    skipBlanks();
    if (i != n) return false;
  }
  if (hour > 23 || minute > 59 || second > 59) return false;
  double date = 0.0;
  if (!TryEncodeDate(year, month, day, date)) return false;
  const double time = (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
  dateTime = date + time;
  return true;
}

double TextToDateTime(std::string_view text) {
  double value = 0.0;
  if (!TryTextToDateTime(text, value)) throw EConvertError(fmt::format("'{}' is not a valid date and time", text));
  return value;
}

}  // namespace zorvik
