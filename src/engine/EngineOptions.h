#pragma once
// The settings of one run of the percentile engine. A run carries them as a value (TReceptorListSettings)
// down to every store it builds, so runs of different kinds never share them.
#include <cmath>

#include "post/PostTypes.h"

namespace zorvik {

// Values at or below this limit (negative values included) count as zero hours.
inline constexpr double kZeroValueLimit = 1e-37;
// The largest float that is a zero value: a float v is at or below the (double) zero limit exactly when it is
// at or below this one, so values compare in single precision, in vector lanes.
inline const float kZeroFloat = [] {
  const auto f = static_cast<float>(kZeroValueLimit);
  return static_cast<double>(f) <= kZeroValueLimit ? f : std::nextafter(f, 0.0f);
}();

struct TEngineOptions {
  // The periods for which every receptor and output type gets a block store.
  TAverageValues fAveragePeriods{TAverageValue::hr_1};
  // Block windows slide by one hour instead of restarting.
  bool fRolling = false;
  // Value stores do not keep values <= kZeroValueLimit; they only count them.
  bool fSkipZeroValues = false;

  bool operator==(const TEngineOptions&) const = default;
};

}  // namespace zorvik
