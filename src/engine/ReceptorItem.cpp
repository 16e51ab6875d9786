#include "engine/ReceptorItem.h"

#include "records/AttributeCollection.h"
#include "util/ExceptionLog.h"

namespace zorvik {

std::string_view OutputFieldName(TPostOutType t) {
  static constexpr std::string_view kNames[] = {"conc", "tdep", "ddep", "wdep"};
  return kNames[static_cast<int>(t)];
}

TPrReceptorItem::TPrReceptorItem(TPostOutTypes poTypes, const TEngineOptions& options) : fOptions(options) {
  if (fOptions.fAveragePeriods.Empty()) throw Exception("There are no Average Periods");
  if (!poTypes.Empty()) SetOutputTypes(poTypes);
}

TPrReceptorItem::~TPrReceptorItem() = default;

void TPrReceptorItem::SetOutputTypes(TPostOutTypes poTypes) {
  for (auto& stores : FAverages) stores.clear();
  FSumma.fill(0.0);
  FCountValue.fill(0);
  const TAverageValues periods = fOptions.fAveragePeriods;
  for (TPostOutType t : kAllPostOutTypes) {
    if (!poTypes.Contains(t)) continue;
    for (int p = 0; p < kAverageValueCount; ++p) {
      const auto period = static_cast<TAverageValue>(p);
      if (!periods.Contains(period)) continue;
      auto store = std::make_unique<TPrBlockStore>(period, THighValues{}, 0, fOptions);
      store->SetUseAverage(t == TPostOutType::poConc);
      FAverages[static_cast<int>(t)].push_back(std::move(store));
    }
  }
}

void TPrReceptorItem::AddPOSTValue(double Value, TPostOutType poType, int32_t aDate) {
  auto& stores = FAverages[static_cast<int>(poType)];
  if (stores.empty()) return;
  for (auto& store : stores) store->AddValue(static_cast<float>(Value), aDate);
  FSumma[static_cast<int>(poType)] += Value;
  ++FCountValue[static_cast<int>(poType)];
}

void TPrReceptorItem::AddCalmHour(TPostOutType poType) {
  for (auto& store : FAverages[static_cast<int>(poType)]) store->AddCalmHour();
}

void TPrReceptorItem::SortAllLists() {
  for (auto& stores : FAverages)
    for (auto& store : stores)
      if (TSortedListStore* list = store->ListStore()) list->SortList();
}

void TPrReceptorItem::SelectRanks(std::span<const int> ranks) {
  for (auto& stores : FAverages)
    for (auto& store : stores)
      if (TSortedListStore* list = store->ListStore()) list->SelectRanks(ranks);
}

void TPrReceptorItem::SetHourCount(int aCount, std::pmr::memory_resource* resource, bool keepDates) {
  for (auto& stores : FAverages)
    for (auto& store : stores) {
      if (aCount < 1) {
        store->HValues().Clear();
        continue;
      }
      if (TSortedListStore* list = store->ListStore()) {
        list->SetKeepDates(keepDates);
        list->SetMemoryResource(resource);
      }
      store->HValues().SetCapacity(aCount);
    }
}

TPrBlockStore* TPrReceptorItem::GetPrBlockStore(TAverageValue aAvgPeriod, TPostOutType aPoType) const {
  for (const auto& store : FAverages[static_cast<int>(aPoType)])
    if (store->AvgPeriod() == aAvgPeriod) return store.get();
  return nullptr;
}

TSortedListStore* TPrReceptorItem::GetBlockStore(TAverageValue aAvgPeriod, TPostOutType aPoType) {
  TPrBlockStore* store = GetPrBlockStore(aAvgPeriod, aPoType);
  return store ? store->ListStore() : nullptr;
}

double TPrReceptorItem::POSTValue(TAverageValue AvgPeriod, TPostOutType poType, double Percent,
                                  bool aUseInterpolation, int32_t& aDate) const {
  aDate = 0;
  const TPrBlockStore* store = GetPrBlockStore(AvgPeriod, poType);
  return store ? store->GetPercent(Percent, aUseInterpolation, aDate) : 0.0;
}

double TPrReceptorItem::POSTValue(TAverageValue AvgPeriod, TPostOutType poType, int HighValue, int32_t& aDate) const {
  aDate = 0;
  const TPrBlockStore* store = GetPrBlockStore(AvgPeriod, poType);
  return store ? store->GetHigh(HighValue, aDate) : 0.0;
}

}  // namespace zorvik
