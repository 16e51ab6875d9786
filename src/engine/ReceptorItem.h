#pragma once
// One receptor of a receptor list: one block store per output type read and averaging period of the run.
#include <array>
#include <cstdint>
#include <memory>
#include <memory_resource>
#include <span>
#include <string_view>
#include <vector>

#include "engine/BlockStore.h"
#include "engine/EngineOptions.h"
#include "post/PostTypes.h"

namespace zorvik {

class TPrReceptorItem;

using TReceptorItems = std::vector<std::unique_ptr<TPrReceptorItem>>;

// The PLOTFILE record field that receives a value of the output type: "conc", "tdep", "ddep", "wdep".
std::string_view OutputFieldName(TPostOutType t);

// One receptor: one block store per output type read and averaging period (its PLOTFILE record is the list's to
// make, see TPlotRecords).
class TPrReceptorItem {
 public:
  // Raises "There are no Average Periods" when the run's options hold none. The stores are built with the
  // options.
  explicit TPrReceptorItem(TPostOutTypes poTypes, const TEngineOptions& options = {});
  ~TPrReceptorItem();

  void SetOutputTypes(TPostOutTypes poTypes);
  void AddPOSTValue(double Value, TPostOutType poType, int32_t aDate);
  void AddCalmHour(TPostOutType poType);
  void SortAllLists();
  // Ranks every store only as far as the given ranks need (see TSortedListStore::SelectRanks).
  void SelectRanks(std::span<const int> ranks);
  // Reserves aCount values in every store (from `resource` when given), or frees them for aCount < 1.
  // keepDates false lets the stores drop the dates of their values.
  void SetHourCount(int aCount, std::pmr::memory_resource* resource = nullptr, bool keepDates = true);
  double POSTValue(TAverageValue AvgPeriod, TPostOutType poType, double Percent, bool aUseInterpolation,
                   int32_t& aDate) const;
  double POSTValue(TAverageValue AvgPeriod, TPostOutType poType, int HighValue, int32_t& aDate) const;
  TSortedListStore* GetBlockStore(TAverageValue aAvgPeriod, TPostOutType aPoType);
  TPrBlockStore* GetPrBlockStore(TAverageValue aAvgPeriod, TPostOutType aPoType) const;
  const std::vector<std::unique_ptr<TPrBlockStore>>& Stores(TPostOutType t) const {
    return FAverages[static_cast<int>(t)];
  }
  double Summa(TPostOutType t) const { return FSumma[static_cast<int>(t)]; }
  int CountValue(TPostOutType t) const { return FCountValue[static_cast<int>(t)]; }
  // Counts hourly values added to the type's stores in bulk (their sum and number).
  void AddHourlySums(TPostOutType t, double sum, int count) {
    FSumma[static_cast<int>(t)] += sum;
    FCountValue[static_cast<int>(t)] += count;
  }

 private:
  TEngineOptions fOptions;
  std::array<std::vector<std::unique_ptr<TPrBlockStore>>, kPostOutTypeCount> FAverages;
  std::array<double, kPostOutTypeCount> FSumma{};
  std::array<int, kPostOutTypeCount> FCountValue{};
};

}  // namespace zorvik
