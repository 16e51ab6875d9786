#include "plotfile/PlotFormat.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "util/TextUtils.h"

namespace zorvik {
namespace {

// Drops the trailing zeros of the fixed text [begin, end) that has a point, down to one digit after it.
char* TidyFixedChars(char* begin, char* end) {
  const char* point = static_cast<const char*>(std::memchr(begin, '.', static_cast<size_t>(end - begin)));
  if (!point) return end;
  while (end > point + 2 && end[-1] == '0') --end;
  return end;
}

// Removes trailing zeros of a fixed text with a decimal point, keeping one digit after the point.
void TidyFixed(std::string& text) {
  if (text.find_first_of("Ee") != std::string::npos) return;
  text.resize(static_cast<size_t>(TidyFixedChars(text.data(), text.data() + text.size()) - text.data()));
}

struct TOutputSpec {
  bool left = false;
  int width = 0;
  int precision = -1;
  char conversion = 0;
};

std::optional<TOutputSpec> ParseOutputFormat(std::string_view format) {
  TOutputSpec spec;
  size_t i = 0;
  if (i >= format.size() || format[i] != '%') return std::nullopt;
  ++i;
  if (i < format.size() && format[i] == '-') {
    spec.left = true;
    ++i;
  }
  while (i < format.size() && format[i] >= '0' && format[i] <= '9') spec.width = spec.width * 10 + (format[i++] - '0');
  if (i < format.size() && format[i] == '.') {
    ++i;
    spec.precision = 0;
    while (i < format.size() && format[i] >= '0' && format[i] <= '9')
      spec.precision = spec.precision * 10 + (format[i++] - '0');
  }
  if (i + 1 != format.size()) return std::nullopt;
  spec.conversion = format[i];
  if (spec.conversion != 'f' && spec.conversion != 'd' && spec.conversion != 's') return std::nullopt;
  return spec;
}

// Appends the text, padded with blanks to the format's width (left- or right-aligned).
void AppendPadded(std::string& out, std::string_view text, const TOutputSpec& spec) {
  const size_t blanks = static_cast<int>(text.size()) < spec.width ? static_cast<size_t>(spec.width) - text.size() : 0;
  if (!spec.left) out.append(blanks, ' ');
  out.append(text);
  if (spec.left) out.append(blanks, ' ');
}

void AppendInteger(std::string& out, int64_t value, const TOutputSpec& spec) {
  // printf's %w.pd: at least p digits, zero-filled, sign in front.
  const uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, magnitude).ptr;
  const auto count = static_cast<int>(end - digits);
  std::string text;
  if (value < 0) text += '-';
  if (spec.precision > count) text.append(static_cast<size_t>(spec.precision - count), '0');
  text.append(digits, static_cast<size_t>(count));
  AppendPadded(out, text, spec);
}

// printf's %.*f (fixed) or %.*e (scientific): both correctly rounded, without a format string to interpret, as
// they run for every number of every line written.
std::string Printf(double value, std::chars_format format, int precision) {
  char buffer[128];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, format, precision);
  if (ec == std::errc()) return std::string(buffer, end);
  return format == std::chars_format::fixed ? fmt::format("{:.{}f}", value, precision)
                                            : fmt::format("{:.{}e}", value, precision);
}

// std::pow(10, k) for k = -9 .. 9, as the library computes them (the texts must come out exactly as with pow).
double PowerOfTen(int k) {
  static const std::array<double, 19> kPowers = [] {
    std::array<double, 19> powers{};
    for (int i = 0; i < 19; ++i) powers[static_cast<size_t>(i)] = std::pow(10.0, i - 9);
    return powers;
  }();
  return k >= -9 && k <= 9 ? kPowers[static_cast<size_t>(k + 9)] : std::pow(10.0, k);
}

// Appends the decimal digits of x (no sign) to `out`; returns the end.
char* AppendDigits(char* out, uint64_t x) { return std::to_chars(out, out + 20, x).ptr; }

// v with n decimals, as printf's %.nf rounds it, into [out, limit); the end, or null where it does not fit. For
// up to nine decimals of values below 2^50 units of the last decimal, the scaled value v * 10^n decides the
// digits wherever it is not within its rounding error of a tie; otherwise the exact conversion runs.
char* FixedChars(double v, int n, char* out, char* limit) {
  const double a = std::fabs(v);
  if (n >= 1 && n <= 9 && a < 0x1p50 / PowerOfTen(n) && limit - out >= 32) {
    const auto unit = static_cast<uint64_t>(std::llround(PowerOfTen(n)));
    const double scaled = a * static_cast<double>(unit);
    const double whole = std::floor(scaled);
    const double fraction = scaled - whole;
    if (std::fabs(fraction - 0.5) > scaled * 0x1p-50) {
      const uint64_t x = static_cast<uint64_t>(whole) + (fraction > 0.5 ? 1 : 0);
      if (std::signbit(v)) *out++ = '-';
      out = AppendDigits(out, x / unit);
      *out++ = '.';
      char decimals[20];
      char* end = AppendDigits(decimals, x % unit);
      const auto count = static_cast<int>(end - decimals);
      for (int i = count; i < n; ++i) *out++ = '0';
      return std::copy(decimals, end, out);
    }
  }
  const auto [end, ec] = std::to_chars(out, limit, v, std::chars_format::fixed, n);
  return ec == std::errc() ? end : nullptr;
}

void AppendFixed(std::string& out, double value, const TOutputSpec& spec) {
  const int precision = spec.precision < 0 ? 6 : spec.precision;
  char buffer[128];
  if (const char* end = FixedChars(value, precision, buffer, buffer + sizeof buffer))
    AppendPadded(out, std::string_view(buffer, static_cast<size_t>(end - buffer)), spec);
  else
    AppendPadded(out, Printf(value, std::chars_format::fixed, precision), spec);
}

void AppendText(std::string& out, std::string_view text, const TOutputSpec& spec) {
  if (spec.precision >= 0 && static_cast<int>(text.size()) > spec.precision) text = text.substr(0, spec.precision);
  AppendPadded(out, text, spec);
}

bool WholeNumber(double value, int64_t& result) {
  if (!std::isfinite(value) || value != std::trunc(value) || std::fabs(value) >= 9.2e18) return false;
  result = static_cast<int64_t>(value);
  return true;
}

}  // namespace

std::string FormatGeneral(double v, int precision) {
  if (v == 0) return "0";
  if (!std::isfinite(v)) return std::isnan(v) ? "NAN" : (v < 0 ? "-INF" : "INF");
  std::string sci = Printf(v, std::chars_format::scientific, precision - 1);  // [-]d.ddde[+-]xx
  bool negative = sci[0] == '-';
  if (negative) sci.erase(0, 1);
  auto e = sci.find('e');
  int exponent = std::atoi(sci.c_str() + e + 1);
  std::string digits = sci.substr(0, 1) + sci.substr(2, e - 2);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  std::string out = negative ? "-" : "";
  if (exponent < -5 || exponent >= precision) {
    out.push_back(digits[0]);
    if (digits.size() > 1) out.append(".").append(digits, 1);
    out += fmt::format("E{}{:02d}", exponent < 0 ? '-' : '+', std::abs(exponent));
  } else if (exponent < 0) {
    out.append("0.").append(static_cast<size_t>(-exponent - 1), '0').append(digits);
  } else {
    if (static_cast<int>(digits.size()) <= exponent) digits.append(exponent + 1 - digits.size(), '0');
    out.append(digits, 0, exponent + 1);
    if (static_cast<int>(digits.size()) > exponent + 1) out.append(".").append(digits, exponent + 1);
  }
  return out;
}

namespace {

// The text of FormatPlotValue by its definition: printf-style conversions of the value, and of the value rounded
// to its significant digits. AppendPlotValue writes the same text without them where it can.
std::string SlowPlotValue(double v, int n) {
  const double a = std::fabs(v);
  std::string text;
  if (a > 1 && a <= 100000) {
    text = Printf(v, std::chars_format::fixed, n);
  } else if (a >= 0.00001 && a <= 1) {
    double scale = std::pow(10.0, std::ceil(std::log10(a)));
    double factor = std::pow(10.0, n);
    double rounded = std::nearbyint(v / scale * factor) / factor * scale;  // ties to even
    text = FormatGeneral(rounded, 15);
  } else if (v == 0) {
    return "0";
  } else {
    text = Printf(v, std::chars_format::scientific, n);
    const auto e = text.find('e');
    if (e == std::string::npos) return text;  // inf, nan
    text[e] = 'E';
    size_t end = e;
    while (end > 0 && text[end - 1] == '0') --end;
    if (end > 0 && text[end - 1] == '.') --end;
    text.erase(end, e - end);
    return text;
  }
  TidyFixed(text);
  return text;
}

// 0.00001 <= |v| <= 1: v rounded to n significant digits (half to even) as N * 10^(e - n), written as the
// shortest fixed text of the double nearest to it. Null where the value falls outside the few forms this
// covers (FormatPlotValue then writes it).
char* SmallPlotValue(double v, int n, char* out) {
  if (n < 1 || n > 9) return nullptr;
  const double a = std::fabs(v);
  const double e = std::ceil(std::log10(a));
  const double scale = PowerOfTen(static_cast<int>(e));
  const double factor = PowerOfTen(n);
  const double rounded = std::nearbyint(v / scale * factor);  // as FormatPlotValue rounds it
  const double magnitude = std::fabs(rounded);
  if (!(magnitude >= factor / 10 && magnitude <= factor)) return nullptr;
  char digits[20];
  char* end = AppendDigits(digits, static_cast<uint64_t>(magnitude));
  const auto length = static_cast<int>(end - digits);
  // D = N * 10^(e - n) has its first digit at 10^x; the printed rounded value is D, whose 15 significant
  // digits the computation of `rounded` (three roundings of at most 0.52 units in the last place each)
  // cannot disturb.
  const int x = length - 1 + static_cast<int>(e) - n;
  while (end > digits + 1 && end[-1] == '0') --end;
  if (x < -5 || x > 0) return nullptr;
  if (v < 0) *out++ = '-';
  if (x == 0) {
    *out++ = digits[0];
    if (end > digits + 1) {
      *out++ = '.';
      out = std::copy(digits + 1, end, out);
    }
    return out;
  }
  *out++ = '0';
  *out++ = '.';
  for (int i = 0; i < -x - 1; ++i) *out++ = '0';
  return std::copy(digits, end, out);
}

}  // namespace

void AppendPlotValue(std::string& out, double v, int significantDigits) {
  const int n = significantDigits;
  const double a = std::fabs(v);
  if (n < 1 || n > 9 || !std::isfinite(v)) {
    out += SlowPlotValue(v, n);
    return;
  }
  char text[48];  // the longest: "-0.00001" and nine digits, or "-d." with nine digits and "e-308"
  char* end = nullptr;
  if (a > 1 && a <= 100000) {
    end = TidyFixedChars(text, FixedChars(v, n, text, text + sizeof text));
  } else if (a >= 0.00001 && a <= 1) {
    end = SmallPlotValue(v, n, text);
    if (!end) {
      out += SlowPlotValue(v, n);
      return;
    }
  } else if (v == 0) {
    out += '0';
    return;
  } else {
    const auto [last, ec] = std::to_chars(text, text + sizeof text, v, std::chars_format::scientific, n);
    char* e = std::find(text, last, 'e');
    if (ec != std::errc() || e == last) {
      out += SlowPlotValue(v, n);
      return;
    }
    // d.ddddde+xx: E for e, the mantissa without trailing zeros (nor a bare point).
    *e = 'E';
    char* cut = e;
    while (cut > text && cut[-1] == '0') --cut;
    if (cut > text && cut[-1] == '.') --cut;
    end = std::copy(e, last, cut);
  }
  out.append(text, static_cast<size_t>(end - text));
}

std::string FormatPlotValue(double v, int significantDigits) {
  std::string text;
  AppendPlotValue(text, v, significantDigits);
  return text;
}

bool AppendOutputFormat(std::string& out, std::string_view format, double value) {
  const auto spec = ParseOutputFormat(format);
  if (!spec) return false;
  switch (spec->conversion) {
    case 'f':
      AppendFixed(out, value, *spec);
      return true;
    case 'd': {
      int64_t whole;
      if (!WholeNumber(value, whole)) return false;
      AppendInteger(out, whole, *spec);
      return true;
    }
    default:
      AppendText(out, FormatGeneral(value), *spec);
      return true;
  }
}

bool AppendOutputFormat(std::string& out, std::string_view format, int64_t value) {
  const auto spec = ParseOutputFormat(format);
  if (!spec) return false;
  switch (spec->conversion) {
    case 'f':
      AppendFixed(out, static_cast<double>(value), *spec);
      return true;
    case 'd':
      AppendInteger(out, value, *spec);
      return true;
    default:
      AppendText(out, std::to_string(value), *spec);
      return true;
  }
}

bool AppendOutputFormat(std::string& out, std::string_view format, std::string_view text) {
  const auto spec = ParseOutputFormat(format);
  if (!spec) return false;
  switch (spec->conversion) {
    case 'f': {
      std::string_view t = TrimView(text);
      if (!t.empty() && t.front() == '+') t.remove_prefix(1);
      double value;
      auto [ptr, ec] = std::from_chars(t.data(), t.data() + t.size(), value);
      if (t.empty() || ec != std::errc() || ptr != t.data() + t.size()) return false;
      AppendFixed(out, value, *spec);
      return true;
    }
    case 'd': {
      std::string_view t = TrimView(text);
      if (!t.empty() && t.front() == '+') t.remove_prefix(1);
      int64_t value;
      auto [ptr, ec] = std::from_chars(t.data(), t.data() + t.size(), value);
      if (t.empty() || ec != std::errc() || ptr != t.data() + t.size()) return false;
      AppendInteger(out, value, *spec);
      return true;
    }
    default:
      AppendText(out, text, *spec);
      return true;
  }
}

namespace {
template <class T>
std::optional<std::string> Applied(std::string_view format, T value) {
  std::string text;
  if (!AppendOutputFormat(text, format, value)) return std::nullopt;
  return text;
}
}  // namespace

std::optional<std::string> ApplyOutputFormat(std::string_view format, double value) { return Applied(format, value); }
std::optional<std::string> ApplyOutputFormat(std::string_view format, int64_t value) { return Applied(format, value); }
std::optional<std::string> ApplyOutputFormat(std::string_view format, std::string_view text) {
  return Applied(format, text);
}

std::string CenterTitle(std::string_view title, int width) {
  int n = width - static_cast<int>(title.size());
  if (n <= 0) return std::string(title);
  int right = n / 2;
  return std::string(n - right, ' ') + std::string(title) + std::string(right, ' ');
}

std::string PlotFormatStatement(std::span<const Tplotcolumn> columns) {
  std::string text;
  for (Tplotcolumn c : columns) {
    text += ",1X,";
    text += PlotColumnInfo(c).Descriptor;
  }
  if (!text.empty()) text.erase(0, 1);
  return "(" + text + ")";
}

std::vector<std::string> PlotOptionWords(std::string_view text) {
  std::vector<std::string> words;
  size_t i = 0;
  auto separator = [](char c) { return c == ',' || static_cast<unsigned char>(c) <= ' '; };
  while (i < text.size()) {
    if (separator(text[i])) {
      ++i;
      continue;
    }
    std::string word;
    if (text[i] == '"') {
      size_t close = text.find('"', i + 1);
      if (close == std::string_view::npos) close = text.size();
      word = std::string(text.substr(i + 1, close - i - 1));
      i = close + 1;
    } else {
      while (i < text.size() && !separator(text[i])) word += text[i++];
    }
    if (!word.empty()) words.push_back(std::move(word));
  }
  return words;
}

std::string SortedPlotOptions(std::string_view text) {
  auto words = PlotOptionWords(text);
  auto position = [](const std::string& w) {
    TPlotOption option;
    return FindPlotOption(w, option) ? static_cast<int>(option) : 1000;
  };
  std::stable_sort(words.begin(), words.end(),
                   [&](const std::string& a, const std::string& b) { return position(a) < position(b); });
  std::string joined;
  for (size_t i = 0; i < words.size(); ++i) {
    if (i) joined += "  ";
    joined += words[i];
  }
  return joined;
}

std::string PlotTitleLine(std::string_view appName, std::string_view header1) {
  if (!appName.empty()) return fmt::format("* {}:  {}", appName, header1);
  if (header1.empty() || header1.front() == '*') return std::string(header1);
  return "* " + std::string(header1);
}

}  // namespace zorvik
