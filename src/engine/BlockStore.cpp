#include "engine/BlockStore.h"

#include <algorithm>
#include <cmath>

#include "engine/EngineOptions.h"
#include "util/Exceptions.h"

namespace zorvik {

namespace {
int CheckedHoursInPeriod(TAverageValue period) {
  const int hours = HoursInPeriod(period);
  if (hours <= 0) throw Exception("Count of Items must be more 0");
  return hours;
}
}  // namespace

int TBlockStore::MinimumDivisor(int hours) {
  // std::nearbyint rounds halves to the even neighbour in the default rounding mode.
  return static_cast<int>(std::nearbyint(hours * 0.75 + 0.4));
}

int WindowCount(int hours, int periodHours, bool rolling) {
  if (periodHours <= 0) return 0;
  return rolling ? std::max(0, hours - periodHours + 1) : hours / periodHours;
}

TBlockStore::TBlockStore(TAverageValue AAvgPeriod, THighValues /*AHighValues*/, int aHourCount,
                         std::unique_ptr<TSortedStoreBase> aHighValues, const TEngineOptions& options)
    : FCount(CheckedHoursInPeriod(AAvgPeriod)),
      FAvgPeriod(AAvgPeriod),
      fMinDivisor(MinimumDivisor(FCount)),
      fRolling(options.fRolling),
      fHValues(std::move(aHighValues)),
      fListStore(dynamic_cast<TSortedListStore*>(fHValues.get())) {
  Assert(fHValues != nullptr, "a block store needs a value store");
  ValueSet.assign(2 * static_cast<size_t>(FCount), 0.0f);
  fCalmSlot.assign(2 * static_cast<size_t>(FCount), 0);
  if (aHourCount > 0) fHValues->SetCapacity(aHourCount);
}

int PercentRank(int N, double P) {
  const double rank = std::trunc(N * ((100.0 - P) / 100.0));
  return rank > 0 ? static_cast<int>(rank) : 0;
}

double ValueAtRank(const TSortedStoreBase& aStore, int r) {
  const int stored = aStore.StoredCount();
  if (stored <= 0) return 0.0;
  if (r <= 0) return aStore.GetValue(0);
  if (r > stored) return 0.0;
  return aStore.GetValue(r - 1);
}

int32_t DateAtRank(const TSortedStoreBase& aStore, int r) {
  const int stored = aStore.StoredCount();
  if (stored <= 0) return 0;
  if (r <= 0) return aStore.GetDate(0);
  if (r > stored) return 0;
  return aStore.GetDate(r - 1);
}

namespace detail {

// P is within [0, 100] here, so both searches end within N steps of the first guess.
TPercentSteps FindPercentSteps(int N, double P) {
  const int i = PercentRank(N, P);
  const auto percentAt = [N](int rank) { return (1.0 - static_cast<double>(rank) / N) * 100.0; };
  int lo = i;
  while (percentAt(lo) < P) --lo;
  int hi = i;
  while (percentAt(hi) > P) ++hi;
  lo = std::max(0, lo);
  hi = std::max(0, hi);
  return {lo, hi, percentAt(lo), percentAt(hi)};
}

bool BoundPercent(double& P) {
  if (std::isnan(P)) return false;
  P = std::clamp(P, 0.0, 100.0);
  return true;
}

}  // namespace detail

TPrBlockStore::TPrBlockStore(TAverageValue AAvgPeriod, THighValues AHighValues, int aHourCount,
                             const TEngineOptions& options)
    : TPrBlockStore(AAvgPeriod, AHighValues, aHourCount, std::make_unique<TSortedListStore>(options.fSkipZeroValues),
                    options) {}

double TPrBlockStore::GetPercent(double Percent, bool aUseInterpolation, int32_t& aDate) const {
  const TSortedStoreBase& store = HValues();
  return RankedPercent(
      store.OfferedCount(), Percent, aUseInterpolation, [&](int r) { return ValueAtRank(store, r); },
      [&](int r) { return DateAtRank(store, r); }, aDate);
}

double TPrBlockStore::GetHigh(int HiNumber, int32_t& aDate) const {
  aDate = 0;
  const TSortedStoreBase& store = HValues();
  if (HiNumber < 1 || HiNumber > store.StoredCount()) return 0.0;
  aDate = store.GetDate(HiNumber - 1);
  return store.GetValue(HiNumber - 1);
}

std::array<int, 2> TPrBlockStore::PercentRanks(int aOfferedCount, double Percent) {
  double P = Percent;
  if (aOfferedCount <= 0 || !detail::BoundPercent(P)) return {1, 1};
  const detail::TPercentSteps s = detail::FindPercentSteps(aOfferedCount, P);
  return {std::max(1, s.lo), std::max(1, s.hi)};
}

}  // namespace zorvik
