#include "post/PostTypes.h"

namespace zorvik {

std::string_view PostOutTypeName(TPostOutType t) {
  static constexpr std::string_view kNames[] = {"conc", "depos", "ddep", "wdep"};
  return kNames[static_cast<int>(t)];
}

int HoursInPeriod(TAverageValue a) {
  static constexpr int kHours[kAverageValueCount] = {1, 2, 3, 4, 6, 8, 12, 24, 1, 1, 720, 1, 1, 0, 1};
  return kHours[static_cast<int>(a)];
}

std::string_view AverageValueCode(TAverageValue a) {
  static constexpr std::string_view kCodes[kAverageValueCount] = {
      "01", "02", "03", "04", "06", "08", "12", "24", "MO", "AN", "30", "HH", "M10", "PR", "TS"};
  return kCodes[static_cast<int>(a)];
}

std::string_view HighValueCode(THighValue h) {
  static constexpr std::string_view kCodes[] = {"1ST", "2ND", "3RD", "4TH", "5TH",
                                                "6TH", "7TH", "8TH", "9TH", "10TH"};
  return kCodes[static_cast<int>(h)];
}

}  // namespace zorvik
