#pragma once
// Process-wide settings of the percentile engine. They are read when a store is built: a store keeps the
// values it was built with, so changing the options never affects stores that already exist.
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

// The current options; at program start {hr_1}, not rolling, zero values kept.
const TEngineOptions& EngineOptions();
void SetEngineOptions(TAverageValues periods, bool rolling);
void SetSkipZeroValues(bool flag);
// Replaces all options at once (restoring a saved copy).
void SetEngineOptions(const TEngineOptions& options);

// Saves the options on construction and restores them on destruction.
class TEngineOptionsScope {
 public:
  TEngineOptionsScope() : fSaved(EngineOptions()) {}
  ~TEngineOptionsScope() { SetEngineOptions(fSaved); }
  TEngineOptionsScope(const TEngineOptionsScope&) = delete;
  TEngineOptionsScope& operator=(const TEngineOptionsScope&) = delete;

 private:
  TEngineOptions fSaved;
};

}  // namespace zorvik
