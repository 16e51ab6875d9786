#include "meteo/MeteoFixedColumns.h"

#include <charconv>
#include <cmath>
#include <span>

#include "util/TextUtils.h"

namespace zorvik {

namespace detail {

std::string_view Columns(std::string_view line, size_t first, size_t count) {
  if (first == 0 || first > line.size()) return {};
  return line.substr(first - 1, count);
}

bool TryReadDecimal(std::string_view text, double& value) {
  text = TrimView(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  // Digits or a point first: no second sign, no "inf" or "nan".
  if (text.empty() || !((text.front() >= '0' && text.front() <= '9') || text.front() == '.')) return false;
  double v = 0;
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), v, std::chars_format::general);
  if (ec != std::errc() || ptr != text.data() + text.size()) return false;
  value = negative ? -v : v;
  return true;
}

bool TryReadInteger(std::string_view text, int64_t& value) {
  text = TrimView(text);
  const bool plus = !text.empty() && text.front() == '+';
  if (plus) text.remove_prefix(1);
  if (text.empty() || (plus && text.front() == '-')) return false;
  int64_t v = 0;
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || ptr != text.data() + text.size()) return false;
  value = v;
  return true;
}

}  // namespace detail

using detail::Columns;

namespace {

struct TDateColumns {
  size_t year, month, day, hour;
};
constexpr TDateColumns kSurfaceDate{1, 4, 7, 14};
constexpr TDateColumns kIscDate{1, 3, 5, 7};

bool SameAsMissing(double value, double missing) {
  return std::fabs(value - missing) <= 1e-12 * std::fmax(std::fabs(value), std::fabs(missing));
}

}  // namespace

bool ParseLineDate(std::string_view line, bool surfaceLayout, TDateTime& result) {
  const TDateColumns& c = surfaceLayout ? kSurfaceDate : kIscDate;
  int64_t year, month, day, hour;
  if (!detail::TryReadInteger(Columns(line, c.year, 2), year) || !detail::TryReadInteger(Columns(line, c.month, 2), month) ||
      !detail::TryReadInteger(Columns(line, c.day, 2), day) || !detail::TryReadInteger(Columns(line, c.hour, 2), hour))
    return false;
  for (int64_t part : {year, month, day, hour})
    if (part < 0 || part > 65535) return false;
  if (year <= 99) year += year <= 50 ? 2000 : 1900;
  if (hour < 1 || hour > 24) return false;
  TDateTime date;
  if (!TryEncodeDate(static_cast<int>(year), static_cast<int>(month), static_cast<int>(day), date)) return false;
  result = date + static_cast<double>(hour - 1) / 24.0;
  return true;
}

bool SfcLineIsValid(std::string_view line) {
  struct TField {
    size_t first, last;
    double missing;
  };
  static constexpr TField kAlways[] = {{17, 22, -999}, {24, 29, -9}, {51, 55, -999}, {57, 64, -99999}, {95, 99, -9}};
  static constexpr TField kUnstable[] = {{31, 36, -9}, {38, 43, -9}, {45, 49, -999}};
  auto valid = [&](const TField& f, double& value) {
    return detail::TryReadDecimal(Columns(line, f.first, f.last - f.first + 1), value) && !SameAsMissing(value, f.missing);
  };
  double heatFlux = 0, value = 0;
  if (!valid(kAlways[0], heatFlux)) return false;
  for (const TField& f : std::span(kAlways).subspan(1))
    if (!valid(f, value)) return false;
  if (heatFlux > 0)
    for (const TField& f : kUnstable)
      if (!valid(f, value)) return false;
  return true;
}

TFixedLine ReadFixedColumnLine(std::string_view line, bool surfaceLayout) {
  TFixedLine r;
  line = TrimRightView(line);
  // A two-digit year at the start of the line: read the line trimmed. A one-digit year keeps its blank.
  std::string_view lead = TrimView(line);
  if (TrimView(lead.substr(0, 2)).size() == 2) line = lead;
  if (line.empty()) return r;

  r.kind = TFixedLineKind::flkUnreadable;
  if (line.size() < kFixedRecordLength) {
    r.problem = "the line is shorter than the 48 characters of a record";
    return r;
  }
  r.hasDate = ParseLineDate(line, surfaceLayout, r.date);
  if (!r.hasDate) {
    r.problem = surfaceLayout ? "columns 1-15 hold no valid date" : "columns 1-8 hold no valid date";
    return r;
  }
  const std::string_view speedText = Columns(line, surfaceLayout ? 87 : 18, 9);
  double speed = 0;  // a blank speed is calm
  if (!TrimView(speedText).empty() && !detail::TryReadDecimal(speedText, speed)) {
    r.problem = surfaceLayout ? "the wind speed in columns 87-95 is not a number"
                              : "the wind speed in columns 18-26 is not a number";
    return r;
  }
  if (!surfaceLayout) {
    // FORMAT (4I2,2F9.4,F6.1,I2,2F7.1): every field blank or a number.
    struct TIscField {
      size_t first, width;
      bool integer;
      std::string_view problem;
    };
    static constexpr TIscField kIscFields[] = {
        {9, 9, false, "the flow vector in columns 9-17 is not a number"},
        {27, 6, false, "the temperature in columns 27-32 is not a number"},
        {33, 2, true, "the stability class in columns 33-34 is not a number"},
        {35, 7, false, "the rural mixing height in columns 35-41 is not a number"},
        {42, 7, false, "the urban mixing height in columns 42-48 is not a number"},
    };
    for (const TIscField& f : kIscFields) {
      const std::string_view text = Columns(line, f.first, f.width);
      double value = 0;
      int64_t whole = 0;
      if (!TrimView(text).empty() &&
          !(f.integer ? detail::TryReadInteger(text, whole) : detail::TryReadDecimal(text, value))) {
        r.problem = f.problem;
        return r;
      }
    }
  }

  std::string keyText;
  if (surfaceLayout) {
    for (size_t first : {1, 4, 7, 14}) keyText += Columns(line, first, 2);
  } else {
    keyText = Columns(line, 1, 8);
  }
  for (char& ch : keyText)
    if (ch == ' ') ch = '0';
  int32_t key = 0;
  auto [ptr, ec] = std::from_chars(keyText.data(), keyText.data() + keyText.size(), key);
  if (keyText.empty() || ec != std::errc() || ptr != keyText.data() + keyText.size()) {
    r.problem = surfaceLayout ? "columns 1-15 hold no valid date" : "columns 1-8 hold no valid date";
    return r;
  }
  r.key = key;

  if (!(speed >= 0.00001)) {
    r.kind = TFixedLineKind::flkCalm;
    return r;
  }
  if (surfaceLayout && !SfcLineIsValid(line)) {
    r.kind = TFixedLineKind::flkMissing;
    return r;
  }
  r.kind = TFixedLineKind::flkUsable;
  r.speed = static_cast<float>(speed);
  return r;
}

}  // namespace zorvik
