#include "engine/PostPercent.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <exception>
#include <filesystem>
#include <thread>

#include "engine/EngineOptions.h"
#include "engine/ListInputs.h"
#include "engine/SystemInfo.h"
#include "meteo/MeteoHours.h"
#include "post/PostBinReader.h"
#include "post/PostBinTypeDetector.h"
#include "records/AttributeCollection.h"
#include "util/ExceptionLog.h"

namespace zorvik {

namespace {
constexpr int kHourBatch = 32;  // hours read before their values are spread to the receptors
}

std::string_view OutputFieldName(TPostOutType t) {
  static constexpr std::string_view kNames[] = {"conc", "tdep", "ddep", "wdep"};
  return kNames[static_cast<int>(t)];
}

// ---------------------------------------------------------------------------------------------------------
// TPrReceptorItem

TPrReceptorItem::TPrReceptorItem(std::unique_ptr<TAttributeCollectionRef> aPlotRecord, TPostOutTypes poTypes)
    : PlotRecord(std::move(aPlotRecord)) {
  traced("TPrReceptorItem.ClearDate", [&] {
    if (!PlotRecord) return;
    for (const char* name : {"date", "rank"})
      if (base_Attribute* field = PlotRecord->ByName(name)) field->Clear();
  });
  if (EngineOptions().fAveragePeriods.Empty()) throw Exception("There are no Average Periods");
  if (!poTypes.Empty()) SetOutputTypes(poTypes);
}

TPrReceptorItem::~TPrReceptorItem() = default;

void TPrReceptorItem::SetOutputTypes(TPostOutTypes poTypes) {
  for (auto& stores : FAverages) stores.clear();
  FSumma.fill(0.0);
  FCountValue.fill(0);
  const TAverageValues periods = EngineOptions().fAveragePeriods;
  for (TPostOutType t : kAllPostOutTypes) {
    if (!poTypes.Contains(t)) continue;
    for (int p = 0; p < kAverageValueCount; ++p) {
      const auto period = static_cast<TAverageValue>(p);
      if (!periods.Contains(period)) continue;
      auto store = std::make_unique<TPrBlockStore>(period, THighValues{}, 0);
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

void TPrReceptorItem::SetHourCount(int aCount) {
  for (auto& stores : FAverages)
    for (auto& store : stores) {
      if (aCount < 1)
        store->HValues().Clear();
      else
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

// ---------------------------------------------------------------------------------------------------------
// TPrReceptorList

TPrReceptorList::TPrReceptorList(TReceptorListSettings settings)
    : fUseInterpolation(settings.UseInterpolation),
      FPost(settings.Post),
      fIsDoublePrecision(settings.DoublePrecision),
      fSettings(std::move(settings)),
      fProgress(fSettings.OnProgress, this) {
  namespace fs = std::filesystem;
  fCpuCount = std::max(1, DetectCpuCount());
  if (fSettings.MaxThreads > 0) fCpuCount = std::min(fCpuCount, fSettings.MaxThreads);
  PlotPath = fSettings.PlotPath;
  if (PlotPath.empty()) {
    PlotPath = fs::path(fSettings.PlotFile).parent_path().string();
    if (!PlotPath.empty()) PlotPath += '/';
  }
  std::error_code ec;
  if (!fSettings.MeteoFile.empty() && fs::exists(fSettings.MeteoFile, ec))
    FMeteoData = LoadMeteoHours(fSettings.MeteoFile, fMeteoUsableHours);
  ExtractReceptors(fSettings.PlotFile);
  FPost = GetPostOptions(fSettings.PostFile, FPost, ReceptorCount());
  fHourBlocks = IndexHourBlocks(fSettings.PostFile, FPost, FMeteoData.get(), fIsDoublePrecision, ReceptorCount(),
                                fProgress);
  SizeReceptorChunk();
  PostReader = std::make_unique<TBinPostReader>(fSettings.PostFile, FPost, nullptr, 1.0, fIsDoublePrecision,
                                                ReceptorCount(), true);
  fGroupName = PostReader->GroupName();
}

TPrReceptorList::~TPrReceptorList() {
  while (!FReceptors.empty()) FReceptors.pop_back();  // last first
}

TPrReceptorItem* TPrReceptorList::GetReceptor(int index) {
  if (index < 0 || index >= ReceptorCount()) return nullptr;
  return FReceptors[static_cast<size_t>(index)].get();
}

int TPrReceptorList::ChunkCount() const {
  if (fRecChunkCount <= 0) return 0;
  return (ReceptorCount() + fRecChunkCount - 1) / fRecChunkCount;
}

void TPrReceptorList::ExtractReceptors(const std::string& plotFile) {
  traced("TPrReceptorList.ExtractReceptors", [&] {
    std::error_code ec;
    if (!std::filesystem::exists(plotFile, ec)) Assert(false, "The file does not exist: " + plotFile);
    TPlotInput input = ReadPlotInput(plotFile);
    fHeader = std::move(input.Header);
    fFields = std::move(input.Fields);
    FReceptors.reserve(input.Records.size());
    for (auto& record : input.Records) FReceptors.push_back(std::make_unique<TPrReceptorItem>(std::move(record), FPost));
    if (FReceptors.empty()) throw EFormatError("The PLOTFILE " + plotFile + " lists no receptors");
  });
}

TPostOutTypes TPrReceptorList::GetPostOptions(const std::string& postFile, TPostOutTypes post, int receptorCount) {
  return traced("TPrReceptorList.GetPostOptions", [&] {
    if (!post.Empty()) return post;
    TPostBinTypeDetector detector(postFile, receptorCount, fIsDoublePrecision);
    if (detector.PostOutTypes().Empty())
      throw EFormatError(fmt::format(
          "The POSTFILE {} does not fit the {} receptors of the PLOTFILE {}: its record length {} holds no whole "
          "number of single or double values per receptor for 1 to 4 output types",
          postFile, receptorCount, fSettings.PlotFile, detector.BlockSize()));
    if (detector.IsTarvo() && detector.ReceptorCount() != receptorCount)
      throw EFormatError(fmt::format("The POSTFILE {} holds {} receptors, the PLOTFILE {} {}", postFile,
                                     detector.ReceptorCount(), fSettings.PlotFile, receptorCount));
    fIsDoublePrecision = detector.DoublePrecision();
    for (auto& item : FReceptors) item->SetOutputTypes(detector.PostOutTypes());
    return detector.PostOutTypes();
  });
}

int TPrReceptorList::ChunkReceptors(int receptors, int64_t values, int64_t budget) {
  const int64_t bytes = values * kBytesPerValue;
  if (bytes <= budget || receptors <= 1) return receptors;
  const auto share = static_cast<int64_t>(static_cast<double>(receptors) * static_cast<double>(budget) /
                                          static_cast<double>(bytes));
  return static_cast<int>(std::clamp<int64_t>(share, 1, receptors));
}

void TPrReceptorList::SizeReceptorChunk() {
  const TEngineOptions& options = EngineOptions();
  int64_t perReceptor = 0;
  for (int p = 0; p < kAverageValueCount; ++p) {
    const auto period = static_cast<TAverageValue>(p);
    const int h = HoursInPeriod(period);
    if (!options.fAveragePeriods.Contains(period) || h <= 0) continue;
    perReceptor += options.fRolling ? TotalHours() : (TotalHours() + h - 1) / h;
  }
  const int64_t values = perReceptor * FPost.Count() * ReceptorCount();
  int64_t budget = AvailableMemoryBytes() * 70 / 100;
  if (fSettings.MemoryLimitBytes > 0) budget = std::min(budget, fSettings.MemoryLimitBytes);
  fRecChunkCount = ChunkReceptors(ReceptorCount(), values, budget);
  fHourlyFastPath = options.fAveragePeriods == TAverageValues{TAverageValue::hr_1} && !options.fRolling;
}

void TPrReceptorList::CreatePlotWriters(const std::vector<TPercentItem>& /*data*/) { fPlotWriters.clear(); }

void TPrReceptorList::Execute(const std::vector<TPercentItem>& data) {
  traced("TPrReceptorList.Execute", [&] {
    if (TotalHours() == 0) return;
    const int64_t steps = int64_t{TotalHours()} * ChunkCount();
    fProgress.Begin("Reading Post File...", static_cast<uint32_t>(std::min<int64_t>(steps, UINT32_MAX)));
    TProgressFinishGuard finish(fProgress);
    fZeroValueCount = 0;
    fTotalValueCount = 0;
    CreatePlotWriters(data);
    struct FreeWriters {
      std::vector<std::unique_ptr<TPlotWriterBase>>& writers;
      ~FreeWriters() { writers.clear(); }
    } freeWriters{fPlotWriters};
    fProgress.BeginIterations(PostReader->PostFile());
    fProgress.Info().cbIter = 0;
    fRecStart = 0;
    while (fRecStart < ReceptorCount() && !fProgress.Aborted()) ProcessReceptorsChunk();
    if (!fProgress.Aborted())
      for (auto& writer : fPlotWriters) writer->Commit();
    finish.Finish();
  });
}

void TPrReceptorList::ProcessReceptorsChunk() {
  traced("TPrReceptorList.ProcessReceptorsChunk", [&] {
    const int n = std::min(ReceptorCount() - fRecStart, fRecChunkCount);
    for (int r = fRecStart; r < fRecStart + n; ++r) FReceptors[static_cast<size_t>(r)]->SetHourCount(TotalHours());
    if (fHourlyFastPath) {
      for (int h = 0; h < TotalHours() && !fProgress.Aborted(); h += kHourBatch)
        ReadHourBatch(h, std::min(kHourBatch, TotalHours() - h), fRecStart, n);
    } else {
      for (int h = 0; h < TotalHours() && !fProgress.Aborted(); ++h) ReadHourBlock(h, fRecStart, n);
    }
    if (fProgress.Aborted()) return;
    SortReceptorChunk(fRecStart, n);
    for (auto& writer : fPlotWriters) {
      if (fProgress.Aborted()) return;
      writer->Write(FReceptors, fRecStart, n);
    }
    for (int r = fRecStart; r < fRecStart + n; ++r)
      if (auto& item = FReceptors[static_cast<size_t>(r)]) item->SetHourCount(0);
    fRecStart += fRecChunkCount;
  });
}

void TPrReceptorList::ReadHourBlock(int h, int start, int n) {
  const int valueSize = fIsDoublePrecision ? 8 : 4;
  int skip = start * valueSize;
  const int64_t pos = fHourBlocks.Positions[static_cast<size_t>(h)];
  if (fStage.size() < static_cast<size_t>(n)) fStage.resize(static_cast<size_t>(n));
  for (TPostOutType t : kAllPostOutTypes) {
    if (!FPost.Contains(t)) continue;
    if (pos >= 0) {
      PostReader->Stream().SetPosition(pos);
      PostReader->NewBlock(skip, n * valueSize);
      for (int r = 0; r < n; ++r) {
        const double v = PostReader->GetConcentration();
        ++fTotalValueCount;
        FReceptors[static_cast<size_t>(start + r)]->AddPOSTValue(v, t, PostReader->DateBlock());
        if (v <= kZeroValueLimit) ++fZeroValueCount;
      }
      skip += ReceptorCount() * valueSize;
    } else {
      for (int r = 0; r < n; ++r) {
        ++fTotalValueCount;
        FReceptors[static_cast<size_t>(start + r)]->AddCalmHour(t);
      }
    }
  }
  fProgress.Advance();
}

// The 1-hour path: a batch of hours is read slice by slice into a staging block, then each receptor takes its
// column of the batch in one go. The values and dates that reach the stores are those of ReadHourBlock.
void TPrReceptorList::ReadHourBatch(int firstHour, int hours, int start, int n) {
  const int valueSize = fIsDoublePrecision ? 8 : 4;
  const int types = FPost.Count();
  const size_t rowSize = static_cast<size_t>(n);
  fStage.resize(static_cast<size_t>(types) * kHourBatch * rowSize);
  int done = 0;
  for (; done < hours; ++done) {
    if (fProgress.Aborted()) break;
    const int64_t pos = fHourBlocks.Positions[static_cast<size_t>(firstHour + done)];
    if (pos >= 0) {
      int skip = start * valueSize;
      int k = 0;
      for (TPostOutType t : kAllPostOutTypes) {
        if (!FPost.Contains(t)) continue;
        PostReader->Stream().SetPosition(pos);
        PostReader->NewBlock(skip, n * valueSize);
        PostReader->GetConcentrations(&fStage[(static_cast<size_t>(k) * kHourBatch + done) * rowSize], n);
        skip += ReceptorCount() * valueSize;
        ++k;
      }
    }
    fProgress.Advance();
  }
  const int32_t* dates = &fHourBlocks.Dates[static_cast<size_t>(firstHour)];
  const int64_t* positions = &fHourBlocks.Positions[static_cast<size_t>(firstHour)];
  int64_t zeros = 0;
  int k = 0;
  for (TPostOutType t : kAllPostOutTypes) {
    if (!FPost.Contains(t)) continue;
    const float* block = &fStage[static_cast<size_t>(k) * kHourBatch * rowSize];
    for (int r = 0; r < n; ++r) {
      TPrReceptorItem& item = *FReceptors[static_cast<size_t>(start + r)];
      TSortedListStore& store = *item.GetBlockStore(TAverageValue::hr_1, t);
      for (int b = 0; b < done; ++b) {
        if (positions[b] < 0) {
          store.AddItem(0.0f, dates[b]);  // a calm hour: value 0 over a divisor of 1
          continue;
        }
        const float v = block[static_cast<size_t>(b) * rowSize + r];
        item.AddHourly(store, v, t, dates[b]);
        zeros += v <= kZeroValueLimit;
      }
    }
    ++k;
  }
  fTotalValueCount += int64_t{done} * n * types;
  fZeroValueCount += zeros;
}

void TPrReceptorList::SortReceptorChunk(int start, int n) {
  // Which ranks the writers read: a store offered N values needs the same ranks whatever its receptor.
  auto rankStore = [this](TSortedListStore& store) {
    std::vector<int> ranks;
    bool partial = !fPlotWriters.empty();
    for (const auto& writer : fPlotWriters)
      if (!writer->AddNeededRanks(store.OfferedCount(), ranks)) partial = false;
    if (partial)
      store.SelectRanks(ranks);
    else
      store.SortList();
  };
  auto sortRange = [&](int from, int count) {
    for (int r = from; r < from + count; ++r) {
      TPrReceptorItem* item = FReceptors[static_cast<size_t>(r)].get();
      if (!item) continue;
      for (TPostOutType t : kAllPostOutTypes)
        for (const auto& store : item->Stores(t))
          if (TSortedListStore* list = store->ListStore()) rankStore(*list);
    }
  };
  const int per = (n + fCpuCount - 1) / fCpuCount;
  std::vector<std::exception_ptr> errors((n + per - 1) / std::max(per, 1));
  std::vector<std::thread> threads;
  int slot = 0;
  for (int e = 0; e < n; e += per, ++slot) {
    const int count = std::min(per, n - e);
    threads.emplace_back([&, from = start + e, count, slot] {
      try {
        sortRange(from, count);
      } catch (...) {
        errors[static_cast<size_t>(slot)] = std::current_exception();
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (auto& error : errors)
    if (error) std::rethrow_exception(error);
}

}  // namespace zorvik
