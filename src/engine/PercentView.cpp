#include "engine/PercentView.h"

#include <fmt/format.h>

#include <cmath>

#include "engine/PercentBlocks.h"

namespace zorvik {

TPercentView BuildPercentView(TPercentBlocks& blocks, int index, double percent) {
  TPercentView view;
  const TPercentReceptor& receptor = blocks.GetItem(index);
  blocks.LoadBufferValues(index);
  view.Hours = blocks.TotalHours();
  view.MarkedBar = std::max(0, static_cast<int>(std::trunc(view.Hours * ((100.0 - percent) / 100.0))));
  view.Title1 = "Series Plot for Receptor # " + std::to_string(index + 1);
  view.Title2 = fmt::format("Located at: {:.2f},{:.2f}", receptor.CoordX(), receptor.CoordY());
  view.NonZeroHours = blocks.ValueCount();
  view.Value = blocks.GetHourValue(index, view.MarkedBar);
  return view;
}

std::string GeneralFloatText(double value) {
  if (value == 0.0) return "0";
  std::string text = fmt::format("{:.15G}", value);
  // The exponent without leading zeros: "1.5E-5", as people read it.
  if (auto e = text.find('E'); e != std::string::npos) {
    size_t digits = e + 2;
    while (digits + 1 < text.size() && text[digits] == '0') text.erase(digits, 1);
    if (text[e + 1] == '+') text.erase(e + 1, 1);
  }
  return text;
}

std::string FormatPercentLabel(double percent) {
  if (percent != std::trunc(percent)) return fmt::format("{:1.1f} Percentile", percent);
  const auto n = static_cast<long long>(percent);
  const char* suffix = "th";
  if (n % 100 < 11 || n % 100 > 13) {
    switch (n % 10) {
      case 1: suffix = "st"; break;
      case 2: suffix = "nd"; break;
      case 3: suffix = "rd"; break;
      default: break;
    }
  }
  return fmt::format("{}{} Percentile", n, suffix);
}

}  // namespace zorvik
