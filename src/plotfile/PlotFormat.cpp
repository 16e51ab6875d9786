#include "plotfile/PlotFormat.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "util/TextUtils.h"

namespace zorvik {
namespace {

// Removes trailing zeros of a fixed text with a decimal point, keeping one digit after the point.
void TidyFixed(std::string& text) {
  if (text.find_first_of("Ee") != std::string::npos) return;
  auto point = text.find('.');
  if (point == std::string::npos) return;
  size_t keep = text.size();
  while (keep > point + 2 && text[keep - 1] == '0') --keep;
  text.resize(keep);
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

std::string Pad(std::string text, const TOutputSpec& spec) {
  if (static_cast<int>(text.size()) >= spec.width) return text;
  std::string blanks(spec.width - text.size(), ' ');
  return spec.left ? text + blanks : blanks + text;
}

std::string PrintInteger(int64_t value, const TOutputSpec& spec) {
  // printf's %w.pd: at least p digits, zero-filled, sign in front.
  uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  std::string digits = std::to_string(magnitude);
  if (spec.precision > static_cast<int>(digits.size())) digits.insert(0, spec.precision - digits.size(), '0');
  if (value < 0) digits.insert(0, 1, '-');
  return Pad(std::move(digits), spec);
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

std::string PrintFixed(double value, const TOutputSpec& spec) {
  return Pad(Printf(value, std::chars_format::fixed, spec.precision < 0 ? 6 : spec.precision), spec);
}

std::string PrintText(std::string_view text, const TOutputSpec& spec) {
  if (spec.precision >= 0 && static_cast<int>(text.size()) > spec.precision) text = text.substr(0, spec.precision);
  return Pad(std::string(text), spec);
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

std::string FormatPlotValue(double v, int significantDigits) {
  const int n = significantDigits;
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
    auto e = text.find('e');
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

std::optional<std::string> ApplyOutputFormat(std::string_view format, double value) {
  auto spec = ParseOutputFormat(format);
  if (!spec) return std::nullopt;
  switch (spec->conversion) {
    case 'f':
      return PrintFixed(value, *spec);
    case 'd': {
      int64_t whole;
      if (!WholeNumber(value, whole)) return std::nullopt;
      return PrintInteger(whole, *spec);
    }
    default:
      return PrintText(FormatGeneral(value), *spec);
  }
}

std::optional<std::string> ApplyOutputFormat(std::string_view format, int64_t value) {
  auto spec = ParseOutputFormat(format);
  if (!spec) return std::nullopt;
  switch (spec->conversion) {
    case 'f':
      return PrintFixed(static_cast<double>(value), *spec);
    case 'd':
      return PrintInteger(value, *spec);
    default:
      return PrintText(std::to_string(value), *spec);
  }
}

std::optional<std::string> ApplyOutputFormat(std::string_view format, std::string_view text) {
  auto spec = ParseOutputFormat(format);
  if (!spec) return std::nullopt;
  switch (spec->conversion) {
    case 'f': {
      std::string_view t = TrimView(text);
      if (!t.empty() && t.front() == '+') t.remove_prefix(1);
      double value;
      auto [ptr, ec] = std::from_chars(t.data(), t.data() + t.size(), value);
      if (t.empty() || ec != std::errc() || ptr != t.data() + t.size()) return std::nullopt;
      return PrintFixed(value, *spec);
    }
    case 'd': {
      std::string_view t = TrimView(text);
      if (!t.empty() && t.front() == '+') t.remove_prefix(1);
      int64_t value;
      auto [ptr, ec] = std::from_chars(t.data(), t.data() + t.size(), value);
      if (t.empty() || ec != std::errc() || ptr != t.data() + t.size()) return std::nullopt;
      return PrintInteger(value, *spec);
    }
    default:
      return PrintText(text, *spec);
  }
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
