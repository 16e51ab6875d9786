#pragma once
// Block stores: cut one receptor's hourly stream into averaging-period values (the block values) and keep
// them, with the date of each block's last hour, in a value store for ranking.
//
// Filling: AddValue / AddCalmHour once per hour in file order. A block closes when it holds as many hours as
// the period; its value is the single-precision sum of its hours in window order, divided (when the store
// averages) by the number of valid hours, but never by fewer than Round(hours * 0.75 + 0.4): 1 for 1 hour, 3
// for 3, 6 for 8 and 18 for 24 hours. In rolling mode (engine options at construction) the window slides by
// one hour, so every hour from the period's length on closes another block; the calm hours counted are those
// among the hours currently in the window. Otherwise blocks do not overlap, and an incomplete last block
// gives no value.
//
// Ranking (TPrBlockStore): after HValues has been sorted (TSortedListStore::SortList, or SelectRanks with at
// least the ranks the questions read), GetPercent and GetHigh answer in double precision.
#include <array>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/EngineOptions.h"
#include "engine/SortedListStore.h"
#include "post/PostTypes.h"
#include "util/DateKey.h"

namespace zorvik {

// How many values a store of `periodHours`-hour windows gets from `hours` hours: every hour from the
// period's length on closes a rolling window (hours - periodHours + 1); blocks do not overlap
// (hours / periodHours, an incomplete last block gives none).
int WindowCount(int hours, int periodHours, bool rolling);

class TBlockStore {
 public:
  virtual ~TBlockStore() = default;
  TBlockStore(const TBlockStore&) = delete;
  TBlockStore& operator=(const TBlockStore&) = delete;

  // One hour's value and its date.
  void AddValue(float Value, int32_t aDate) {
    fDate = aDate;
    if (FCount == 1)
      Emit(Value);  // a 1-hour block is its hour (divided by 1)
    else
      PutHour(Value, 0);
  }
  // One calm or missing hour: counts as an hour of the block with no value; its date follows the last one.
  void AddCalmHour() {
    ++CalmHours;
    if (fDate > 0) fDate = AdvanceDateOneHour(fDate);
    if (FCount == 1) {
      CalmHours = 0;
      Emit(0.0f);
    } else {
      PutHour(0.0f, 1);
    }
  }

  // The value store receiving the block values (owned).
  TSortedStoreBase& HValues() { return *fHValues; }
  const TSortedStoreBase& HValues() const { return *fHValues; }
  // HValues as the list store, or nullptr when a descendant keeps its values elsewhere.
  TSortedListStore* ListStore() { return fListStore; }
  const TSortedListStore* ListStore() const { return fListStore; }

  TAverageValue AvgPeriod() const { return FAvgPeriod; }
  int HoursPerBlock() const { return FCount; }
  int HoursInWindow() const { return ItemIndex; }
  int CalmHoursInWindow() const { return CalmHours; }
  int32_t LastDate() const { return fDate; }
  bool Rolling() const { return fRolling; }
  // True: the block value is the mean of the window (concentrations); false: its sum (depositions).
  bool UseAverage() const { return FUseAverage; }
  void SetUseAverage(bool aUseAverage) { FUseAverage = aUseAverage; }

 protected:
  // Takes ownership of the value store `aHighValues`. aHourCount > 0 reserves that many entries in it.
  // The high-value set is accepted for the callers' sake; the stores of this system keep every value.
  // Raises Exception "Count of Items must be more 0" for a period of 0 hours (period_avg).
  // The options' rolling flag decides whether windows slide.
  TBlockStore(TAverageValue AAvgPeriod, THighValues AHighValues, int aHourCount,
              std::unique_ptr<TSortedStoreBase> aHighValues, const TEngineOptions& options);

 public:
  // Round(hours * 0.75 + 0.4), halves to even: the fewest hours a window's value is divided by.
  static int MinimumDivisor(int hours);

 private:
  // Writes the hour into the next slot of the window. A rolling window also writes it FCount slots away, so
  // that the window fStart .. fStart + FCount - 1 reads as one run of hours however far it has slid.
  void PutHour(float value, uint8_t calm) {
    const int slot = fStart + ItemIndex;
    ValueSet[static_cast<size_t>(slot)] = value;
    if (fRolling) {
      const int mirror = slot < FCount ? slot + FCount : slot - FCount;
      ValueSet[static_cast<size_t>(mirror)] = value;
      fCalmSlot[static_cast<size_t>(slot)] = calm;
      fCalmSlot[static_cast<size_t>(mirror)] = calm;
    }
    ++ItemIndex;
    CloseBlockIfFull();
  }
  void CloseBlockIfFull() {
    if (ItemIndex < FCount) return;
    StoreBlockValue();
    if (fRolling) {
      // Slide by one hour: the oldest hour, and its calm mark, leave the window.
      CalmHours -= fCalmSlot[static_cast<size_t>(fStart)];
      fStart = fStart + 1 == FCount ? 0 : fStart + 1;
      --ItemIndex;
    } else {
      ItemIndex = 0;
      CalmHours = 0;
    }
  }
  void StoreBlockValue() {
    const float* window = ValueSet.data() + fStart;
    float sum = window[0];
    for (int j = 1; j < ItemIndex; ++j) sum += window[j];
    if (FUseAverage) {
      const int divisor = FCount - CalmHours > fMinDivisor ? FCount - CalmHours : fMinDivisor;
      sum = sum / static_cast<float>(divisor);
    }
    Emit(sum);
  }
  void Emit(float blockValue) {
    if (fListStore)
      fListStore->AddItem(blockValue, fDate);  // no virtual call on the filling path
    else
      fHValues->AddItem(blockValue, fDate);
  }

  std::vector<float> ValueSet;      // the block window, twice FCount slots (see PutHour)
  std::vector<uint8_t> fCalmSlot;   // rolling: 1 where the hour in that slot was calm or missing
  int FCount;                       // hours per block
  int ItemIndex = 0;                // hours in the window so far
  int fStart = 0;                   // first slot of the window; moves only in rolling mode
  TAverageValue FAvgPeriod;
  int CalmHours = 0;                // calm or missing hours in the window
  int fMinDivisor;                  // Round(FCount * 0.75 + 0.4), halves to even
  bool FUseAverage = true;
  bool fRolling;
  int32_t fDate = 0;                // date of the last hour added
  std::unique_ptr<TSortedStoreBase> fHValues;
  TSortedListStore* fListStore;     // fHValues when it is a list store
};

// Ranking steps over a value store, ranks counted from 1 = highest. Ranks beyond the kept values are skipped
// zero values: their value and date are 0.
// Trunc(N * ((100 - P) / 100)), at least 0.
int PercentRank(int N, double P);
// 0 when nothing is kept; the highest kept value for r <= 0; 0 for r beyond the kept values.
double ValueAtRank(const TSortedStoreBase& aStore, int r);
int32_t DateAtRank(const TSortedStoreBase& aStore, int r);

namespace detail {
// The neighbouring ranks around percentile P (within 0 .. 100) of N values and the percentiles they stand for.
struct TPercentSteps {
  int lo;
  int hi;
  double pLo;
  double pHi;
};
TPercentSteps FindPercentSteps(int N, double P);
// Out-of-range percentiles are taken at the nearest end; false for NaN.
bool BoundPercent(double& P);
}  // namespace detail

// The value at percentile Percent of N values ranked highest first, each rank (from 1) read through
// valueAt(rank) and dateAt(rank), which read rank 0 as rank 1 and give 0 for ranks beyond the values kept: see
// TPrBlockStore::GetPercent. `date` is the date of the value returned, 0 where the result is interpolated.
template <class ValueAt, class DateAt>
double RankedPercent(int N, double Percent, bool interpolate, ValueAt&& valueAt, DateAt&& dateAt, int32_t& date) {
  date = 0;
  double P = Percent;
  if (N <= 0 || !detail::BoundPercent(P)) return 0.0;
  const detail::TPercentSteps s = detail::FindPercentSteps(N, P);
  const double d = s.pLo - s.pHi;
  if (d <= 0) {
    date = dateAt(s.hi);
    return valueAt(s.hi);
  }
  const double vLo = valueAt(s.lo);
  const double vHi = valueAt(s.hi);
  if (interpolate) return vHi + (P - s.pHi) / d * (vLo - vHi);
  const double k = std::ceil(N * (100.0 - P) / 100.0);
  if (std::abs(k - s.hi) < std::abs(k - s.lo)) {
    date = dateAt(s.hi);
    return vHi;
  }
  date = dateAt(s.lo);
  return vLo;
}

class TPrBlockStore : public TBlockStore {
 public:
  // A block store keeping every block value in a TSortedListStore; rolling windows and skip-zeros as the
  // options of the run say.
  TPrBlockStore(TAverageValue AAvgPeriod, THighValues AHighValues, int aHourCount,
                const TEngineOptions& options = {});

  // The value at percentile Percent (0 < Percent <= 100; values outside are taken as 0 or 100, NaN gives 0)
  // of the block values, N being every value offered (skipped zeros included). With x = N * (100 - P) / 100
  // the interpolated result lies on the straight line between ranks floor(x) and ceil(x) (rank 0 read as
  // rank 1) and aDate is 0; without interpolation it is the value of rank ceil(x) with its date.
  double GetPercent(double Percent, bool aUseInterpolation, int32_t& aDate) const;
  // The HiNumber-th highest kept value (1 = highest) and its date; 0 and date 0 outside 1 .. StoredCount.
  double GetHigh(int HiNumber, int32_t& aDate) const;

  // The two ranks (each >= 1) that GetPercent(Percent, ...) reads on a store offered aOfferedCount values:
  // pass them to TSortedListStore::SelectRanks to rank a store for that percentile without a full sort.
  static std::array<int, 2> PercentRanks(int aOfferedCount, double Percent);

 protected:
  // For descendants that keep their values in another store.
  TPrBlockStore(TAverageValue AAvgPeriod, THighValues AHighValues, int aHourCount,
                std::unique_ptr<TSortedStoreBase> aHighValues, const TEngineOptions& options = {})
      : TBlockStore(AAvgPeriod, AHighValues, aHourCount, std::move(aHighValues), options) {}
};

}  // namespace zorvik
