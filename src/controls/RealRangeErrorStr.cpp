#include "controls/RealRangeErrorStr.h"

#include <array>
#include <stdexcept>

#include "controls/RealFormat.h"

namespace zorvik {

const std::string& RealEditEnglishText(int number) {
  static const std::array<std::string, 13> texts = {
      "",
      "The Value %s is not in range.\n\r",
      "The allowed range is ",
      " <= value <= ",
      " <= value < ",
      " < value <= ",
      " < value < ",
      " <= value",
      " value < = ",
      " < value",
      " value < ",
      " < value <= ",
      " <= value < ",
  };
  if (number < 1 || number >= static_cast<int>(texts.size()))
    throw std::out_of_range("No text " + std::to_string(number) + " in the real-number edit's texts");
  return texts[static_cast<std::size_t>(number)];
}

void TRealRangeErrorStr::SetDisplayFormat(std::string value) {
  if (!IsValidNumberPattern(value))
    throw std::invalid_argument("Not a number format with one real-number conversion: \"" + value + "\"");
  fDisplayFormat = std::move(value);
}

std::string TRealRangeErrorStr::Text(int number) const {
  return fTexts ? fTexts(number) : RealEditEnglishText(number);
}

std::string TRealRangeErrorStr::FormatBound(double value) const {
  if (!fDisplayFormat.empty()) return FormatByPattern(fDisplayFormat, value, fLocale);
  return DefaultDisplayText(value, fNumDP, fFmtMinC, fFmtMaxC, fLocale);
}

std::string TRealRangeErrorStr::RangeString(TRealInterval range, double lowerVal, double upperVal) const {
  const auto both = [&](int text) { return FormatBound(lowerVal) + Text(text) + FormatBound(upperVal); };
  switch (range) {
    case TRealInterval::tbrNone: return {};
    case TRealInterval::tbrClosedUpperLower: return both(3);
    case TRealInterval::tbrOpenUpper: return both(4);
    case TRealInterval::tbrOpenLower: return both(5);
    case TRealInterval::tbrOpenUpperLower: return both(6);
    case TRealInterval::tbrOnlyCloseLower: return FormatBound(lowerVal) + Text(7);
    case TRealInterval::tbrOnlyClosedUpper: return Text(8) + FormatBound(upperVal);
    case TRealInterval::tbrOnlyOpenLower: return FormatBound(lowerVal) + Text(9);
    case TRealInterval::tbrOnlyOpenUpper: return Text(10) + FormatBound(upperVal);
    case TRealInterval::tbrClosedUpperOpenLower: return both(11);
    case TRealInterval::tbrOpenUpperClosedLower: return both(12);
  }
  return {};
}

std::string TRealRangeErrorStr::hintString(TRealInterval range, double lowerVal, double upperVal) const {
  const std::string rangeText = RangeString(range, lowerVal, upperVal);
  if (rangeText.empty()) return {};
  return Text(2) + rangeText + ".";
}

std::string TRealRangeErrorStr::errorString(const std::string& offendingText, TRealInterval range, double lowerVal,
                                            double upperVal) const {
  if (range == TRealInterval::tbrNone) return {};
  std::string first = Text(1);
  // Only the placeholder is replaced: a "%" in the offending text stays as typed.
  if (const auto pos = first.find("%s"); pos != std::string::npos) first.replace(pos, 2, offendingText);
  return first + "\r" + hintString(range, lowerVal, upperVal);
}

}  // namespace zorvik
