#include "engine/EngineOptions.h"

namespace zorvik {

namespace {
// Set and read on the thread that builds the stores, never while workers run.
TEngineOptions gEngineOptions;
}  // namespace

const TEngineOptions& EngineOptions() { return gEngineOptions; }

void SetEngineOptions(TAverageValues periods, bool rolling) {
  gEngineOptions.fAveragePeriods = periods;
  gEngineOptions.fRolling = rolling;
}

void SetSkipZeroValues(bool flag) { gEngineOptions.fSkipZeroValues = flag; }

void SetEngineOptions(const TEngineOptions& options) { gEngineOptions = options; }

}  // namespace zorvik
