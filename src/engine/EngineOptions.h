#pragma once
// The settings of one run of the percentile engine. A run carries them as a value (TReceptorListSettings)
// down to every store it builds, so runs of different kinds never share them.
#include "post/PostTypes.h"

namespace zorvik {

// Values at or below this limit (negative values included) count as zero hours.
inline constexpr double kZeroValueLimit = 1e-37;

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
