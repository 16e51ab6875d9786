#include "engine/PostPercent.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <exception>
#include <filesystem>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "engine/EngineOptions.h"
#include "engine/ListInputs.h"
#include "engine/PlotFileWriters.h"
#include "engine/SystemInfo.h"
#include "meteo/MeteoHours.h"
#include "post/PostBinReader.h"
#include "post/PostBinTypeDetector.h"
#include "post/PostChecks.h"
#include "records/AttributeCollection.h"
#include "util/ExceptionLog.h"
#include "util/OutputGuard.h"

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
  // A met file without any usable hour makes every hour calm (its caller warns); one that holds usable hours must
  // hold every hour of the POSTFILE.
  const THourIndexMeteo meteo{FMeteoData.get(), fSettings.MeteoFile, fMeteoUsableHours > 0};
  fHourBlocks = IndexHourBlocks(fSettings.PostFile, FPost, meteo, fIsDoublePrecision, ReceptorCount(), fProgress);
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
    // The PLOTFILE's value columns tell how many output types the run wrote: evidence of the precision when the
    // record length fits both.
    int plotTypes = 0;
    for (TPostOutType t : kAllPostOutTypes) plotTypes += fFields && fFields->ByName(OutputFieldName(t)) != nullptr;
    TPostBinTypeDetector detector(postFile, receptorCount, fIsDoublePrecision, plotTypes);
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

void TPrReceptorList::CreatePlotWriters(const std::vector<TPercentItem>& data) {
  CreatePercentPlotWriters(fPlotWriters, PlotPath, data, *fHeader, *fFields, FPost, fUseInterpolation);
}

void TPrReceptorList::Execute(const std::vector<TPercentItem>& data) {
  traced("TPrReceptorList.Execute", [&] {
    // The last guard before writing: no output may replace an input of the run or another output (callers
    // check this, with their own names for the roles, before anything is read).
    std::vector<TFileRole> inputs{{"the POSTFILE of this run", fSettings.PostFile},
                                  {"the PLOTFILE of this run", fSettings.PlotFile}};
    if (!fSettings.MeteoFile.empty()) inputs.push_back({"the met file of this run", fSettings.MeteoFile});
    std::vector<TFileRole> outputs;
    for (const TPercentItem& item : data)
      if (!item.PlotName.empty()) outputs.push_back({"the output file " + item.PlotName, PlotPath + item.PlotName});
    CheckOutputRoles(inputs, outputs);
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
    // A store ranked for a few ranks only takes those entries; all others get room for every hour.
    if (!(fHourlyFastPath && DeepestNeededRank() >= 0)) {
      bool keepDates = false;
      for (const auto& writer : fPlotWriters) keepDates |= writer->NeedsDates();
      std::pmr::memory_resource* memory = nullptr;
      if (fHourlyFastPath) {
        const size_t perStore = static_cast<size_t>(TotalHours()) * (keepDates ? 8 : 4) + 64;
        memory = fArena.StartChunk(perStore * static_cast<size_t>(n) * static_cast<size_t>(FPost.Count()));
      }
      for (int r = fRecStart; r < fRecStart + n; ++r)
        FReceptors[static_cast<size_t>(r)]->SetHourCount(TotalHours(), memory, keepDates || !fHourlyFastPath);
    }
    if (fHourlyFastPath) {
      ProcessHourlyChunk(fRecStart, n);  // reads and ranks
      if (fProgress.Aborted()) return;
    } else {
      for (int h = 0; h < TotalHours() && !fProgress.Aborted(); ++h) ReadHourBlock(h, fRecStart, n);
      if (fProgress.Aborted()) return;
      SortReceptorChunk(fRecStart, n);
    }
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
  for (TPostOutType t : kAllPostOutTypes) {
    if (!FPost.Contains(t)) continue;
    if (pos >= 0) {
      PostReader->Stream().SetPosition(pos);
      PostReader->NewBlock(skip, n * valueSize);
      if (FirstBadPostValue(PostReader->BufferedValues(), PostReader->DataValueCount(), fIsDoublePrecision) >= 0)
        RaiseBadValue(pos, skip, PostReader->BufferedValues(), PostReader->DataValueCount(), start, t,
                      PostReader->DateBlock());
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

// The 1-hour path. Every sorting thread also reads: it takes a disjoint range of the chunk's receptors, reads
// their slice of every hour with a reader of its own, batch by batch into a staging block, from which each
// receptor takes its column, and then ranks its receptors. The values and dates that reach the stores are
// those of ReadHourBlock. The caller's thread reports one progress step per hour as every worker passes it, and
// turns a cancel into a stop request that the workers see at their next batch.
int TPrReceptorList::DeepestNeededRank() const {
  std::vector<int> ranks;
  for (const auto& writer : fPlotWriters)
    if (!writer->AddNeededRanks(TotalHours(), ranks)) return -1;
  int deepest = 0;
  for (int r : ranks) deepest = std::max(deepest, r);
  // Deep ranks (a median, say) are cheaper to reach by ranking whole series.
  if (fPlotWriters.empty() || deepest > TotalHours() / 4) return -1;
  return deepest;
}

// The 1-hour path when the writers read only a few ranks: each hour's slice of the worker's receptors is
// offered to one selector per receptor and type, which keeps only the entries down to the deepest rank asked
// for. No receptor's series is ever held whole: memory is two words per kept rank, and the stores receive the
// ranked entries at the end (TSortedListStore::AssignRanked).
void TPrReceptorList::ReadHourlySelected(THourlyRange& range, int deepest) {
  const int valueSize = fIsDoublePrecision ? 8 : 4;
  const int hoursTotal = TotalHours();
  const int types = FPost.Count();
  const size_t n = static_cast<size_t>(range.count);
  const auto m = static_cast<uint32_t>(deepest);
  const uint32_t capacity = std::max<uint32_t>(2 * m, 64);
  const size_t selectors = n * static_cast<size_t>(types);
  const auto words = std::make_unique_for_overwrite<uint64_t[]>(selectors * capacity);
  std::vector<detail::TLowestWords> lowest;
  lowest.reserve(selectors);
  for (size_t i = 0; i < selectors; ++i) lowest.emplace_back(&words[i * capacity], capacity, m);
  std::vector<int> kept(selectors, 0);
  std::vector<double> sums(selectors, 0.0);
  const bool skipZeros = EngineOptions().fSkipZeroValues;
  std::vector<TPostOutType> typeList;
  for (TPostOutType t : kAllPostOutTypes)
    if (FPost.Contains(t)) typeList.push_back(t);

  TBinPostReader reader(fSettings.PostFile, FPost, nullptr, 1.0, fIsDoublePrecision, ReceptorCount(), true);
  const auto raw = std::make_unique_for_overwrite<uint8_t[]>(n * static_cast<size_t>(valueSize));
  const auto row = std::make_unique_for_overwrite<float[]>(n);
  const int64_t* positions = fHourBlocks.Positions.data();
  for (int h0 = 0; h0 < hoursTotal; h0 += kHourBatch) {
    if (range.stop->load(std::memory_order_relaxed)) return;
    const int hb = std::min(kHourBatch, hoursTotal - h0);
    int64_t zeros = 0;
    // Hour by hour: the hour's slice is read, and its values and the selectors are both visited in order.
    for (int b = 0; b < hb; ++b) {
      const auto h = static_cast<uint32_t>(h0 + b);
      int skip = range.from * valueSize;
      for (int k = 0; k < types; ++k) {
        detail::TLowestWords* select = &lowest[static_cast<size_t>(k) * n];
        int* keptCount = &kept[static_cast<size_t>(k) * n];
        if (positions[h] < 0) {  // a calm hour: value 0 over a divisor of 1
          if (skipZeros) continue;
          for (size_t j = 0; j < n; ++j) {
            ++keptCount[j];
            select[j].Offer(0.0f, h);
          }
          continue;
        }
        reader.ReadRecordValues(positions[h], skip, range.count * valueSize, raw.get());
        if (DecodePostValues(raw.get(), range.count, fIsDoublePrecision, 1.0, row.get()))
          RaiseBadValue(positions[h], skip, raw.get(), range.count, range.from, typeList[static_cast<size_t>(k)],
                        fHourBlocks.Dates[h]);
        skip += ReceptorCount() * valueSize;
        double* sum = &sums[static_cast<size_t>(k) * n];
        for (size_t j = 0; j < n; ++j) {
          const float v = row[j];
          sum[j] += v;
          const bool zero = v <= kZeroValueLimit;
          zeros += zero;
          if (skipZeros && zero) continue;
          ++keptCount[j];
          select[j].Offer(v, h);
        }
      }
    }
    range.zeros += zeros;
    range.hoursDone->store(h0 + hb, std::memory_order_release);
  }
  std::vector<float> values;
  std::vector<int32_t> dates;
  for (size_t j = 0; j < n; ++j) {
    TPrReceptorItem& item = *FReceptors[static_cast<size_t>(range.from) + j];
    int k = 0;
    for (TPostOutType t : kAllPostOutTypes) {
      if (!FPost.Contains(t)) continue;
      const size_t i = static_cast<size_t>(k++) * n + j;
      const uint32_t count = lowest[i].Finish();
      values.resize(count);
      dates.resize(count);
      for (uint32_t e = 0; e < count; ++e) {
        const uint64_t word = words[i * capacity + e];
        values[e] = detail::TLowestWords::ValueOf(word);
        dates[e] = fHourBlocks.Dates[detail::TLowestWords::PositionOf(word)];
      }
      item.GetBlockStore(TAverageValue::hr_1, t)->AssignRanked(values, dates, kept[i], hoursTotal);
      item.AddHourlySums(t, sums[i], hoursTotal - fHourBlocks.SkipHourBlocks);
    }
  }
}

void TPrReceptorList::ReadHourlyRange(THourlyRange& range) {
  if (const int deepest = DeepestNeededRank(); deepest >= 0) {
    ReadHourlySelected(range, deepest);
    return;
  }
  const int valueSize = fIsDoublePrecision ? 8 : 4;
  const int types = FPost.Count();
  const size_t rowSize = static_cast<size_t>(range.count);
  TBinPostReader reader(fSettings.PostFile, FPost, nullptr, 1.0, fIsDoublePrecision, ReceptorCount(), true);
  std::vector<float> stage(static_cast<size_t>(types) * kHourBatch * rowSize);
  const auto raw = std::make_unique_for_overwrite<uint8_t[]>(rowSize * static_cast<size_t>(valueSize));
  std::vector<TPostOutType> typeList;
  for (TPostOutType t : kAllPostOutTypes)
    if (FPost.Contains(t)) typeList.push_back(t);
  std::vector<TSortedListStore*> stores(static_cast<size_t>(types) * rowSize);
  std::vector<TPrReceptorItem*> items(rowSize);
  for (int r = 0; r < range.count; ++r) {
    items[static_cast<size_t>(r)] = FReceptors[static_cast<size_t>(range.from + r)].get();
    for (int k = 0; k < types; ++k)
      stores[static_cast<size_t>(k) * rowSize + r] =
          items[static_cast<size_t>(r)]->GetBlockStore(TAverageValue::hr_1, typeList[static_cast<size_t>(k)]);
  }
  for (int first = 0; first < TotalHours(); first += kHourBatch) {
    if (range.stop->load(std::memory_order_relaxed)) return;
    const int hours = std::min(kHourBatch, TotalHours() - first);
    const int64_t* positions = &fHourBlocks.Positions[static_cast<size_t>(first)];
    const int32_t* dates = &fHourBlocks.Dates[static_cast<size_t>(first)];
    for (int b = 0; b < hours; ++b) {
      if (positions[b] < 0) continue;
      int skip = range.from * valueSize;
      for (int k = 0; k < types; ++k) {
        reader.ReadRecordValues(positions[b], skip, range.count * valueSize, raw.get());
        if (DecodePostValues(raw.get(), range.count, fIsDoublePrecision, 1.0,
                             &stage[(static_cast<size_t>(k) * kHourBatch + b) * rowSize]))
          RaiseBadValue(positions[b], skip, raw.get(), range.count, range.from, typeList[static_cast<size_t>(k)],
                        dates[b]);
        skip += ReceptorCount() * valueSize;
      }
    }
    // Receptors in tiles, so that each hour's row of the staging block is read contiguously.
    constexpr int kTile = 64;
    for (int k = 0; k < types; ++k) {
      const TPostOutType t = typeList[static_cast<size_t>(k)];
      const float* block = &stage[static_cast<size_t>(k) * kHourBatch * rowSize];
      for (int t0 = 0; t0 < range.count; t0 += kTile) {
        const int tile = std::min(kTile, range.count - t0);
        TSortedListStore* const* tileStores = &stores[static_cast<size_t>(k) * rowSize + t0];
        TPrReceptorItem* const* tileItems = &items[static_cast<size_t>(t0)];
        for (int b = 0; b < hours; ++b) {
          if (positions[b] < 0) {
            for (int j = 0; j < tile; ++j) tileStores[j]->AddItem(0.0f, dates[b]);  // calm: 0 over a divisor of 1
            continue;
          }
          const float* row = block + static_cast<size_t>(b) * rowSize + t0;
          for (int j = 0; j < tile; ++j) {
            tileItems[j]->AddHourly(*tileStores[j], row[j], t, dates[b]);
            range.zeros += row[j] <= kZeroValueLimit;
          }
        }
      }
    }
    range.hoursDone->store(first + hours, std::memory_order_release);
  }
  RankReceptors(range.from, range.count);
}

void TPrReceptorList::ProcessHourlyChunk(int start, int n) {
  const int threads = std::max(1, std::min(fCpuCount, n));
  const int per = (n + threads - 1) / threads;
  std::atomic<bool> stop{false};
  std::mutex wakeLock;
  std::condition_variable wake;
  std::vector<THourlyRange> ranges;
  std::vector<std::atomic<int>> done(static_cast<size_t>(threads));
  for (int e = 0, i = 0; e < n; e += per, ++i)
    ranges.push_back(THourlyRange{start + e, std::min(per, n - e), &done[static_cast<size_t>(i)], &stop, &wake});
  std::vector<std::exception_ptr> errors(ranges.size());
  std::vector<std::thread> workers;
  for (size_t i = 0; i < ranges.size(); ++i)
    workers.emplace_back([&, i] {
      try {
        ReadHourlyRange(ranges[i]);
      } catch (...) {
        errors[i] = std::current_exception();
        stop.store(true);
      }
      ranges[i].hoursDone->store(TotalHours() + 1, std::memory_order_release);  // finished, one way or another
      wake.notify_one();
    });
  // Report every hour once all workers have passed it; a cancel asks them to stop.
  int reported = 0;
  while (reported < TotalHours()) {
    int passed = TotalHours();
    for (const auto& range : ranges) passed = std::min(passed, range.hoursDone->load(std::memory_order_acquire));
    if (passed <= reported) {
      std::unique_lock lock(wakeLock);
      wake.wait_for(lock, std::chrono::milliseconds(5));
      continue;
    }
    for (; reported < passed && !stop.load(); ++reported) {
      fProgress.Advance();
      if (fProgress.Aborted()) stop.store(true);
    }
    if (stop.load()) break;
  }
  for (auto& worker : workers) worker.join();
  for (size_t i = 0; i < ranges.size(); ++i) fZeroValueCount += ranges[i].zeros;
  fTotalValueCount += int64_t{TotalHours()} * n * FPost.Count();
  for (auto& error : errors)
    if (error) std::rethrow_exception(error);
}

void TPrReceptorList::RaiseBadValue(int64_t recordPos, int skip, const uint8_t* values, int count, int firstReceptor,
                                    TPostOutType type, int32_t date) const {
  const int valueSize = fIsDoublePrecision ? 8 : 4;
  const int bad = std::max(0, FirstBadPostValue(values, count, fIsDoublePrecision));
  TPostValuePlace place;
  place.Offset = recordPos + PostReader->ValueBytesOffset() + skip + int64_t{bad} * valueSize;
  place.Date = date;
  place.Receptor = firstReceptor + bad;
  place.Type = type;
  RaiseBadPostValue(fSettings.PostFile, place, values + static_cast<size_t>(bad) * valueSize, fIsDoublePrecision);
}

void TPrReceptorList::RankReceptors(int from, int count) {
  // Which ranks the writers read: a store offered N values needs the same ranks whatever its receptor.
  std::vector<int> ranks;
  auto rankStore = [&](TSortedListStore& store) {
    ranks.clear();
    bool partial = !fPlotWriters.empty();
    for (const auto& writer : fPlotWriters)
      if (!writer->AddNeededRanks(store.OfferedCount(), ranks)) partial = false;
    if (partial)
      store.SelectRanks(ranks);
    else
      store.SortList();
  };
  for (int r = from; r < from + count; ++r) {
    TPrReceptorItem* item = FReceptors[static_cast<size_t>(r)].get();
    if (!item) continue;
    for (TPostOutType t : kAllPostOutTypes)
      for (const auto& store : item->Stores(t))
        if (TSortedListStore* list = store->ListStore()) rankStore(*list);
  }
}

void TPrReceptorList::SortReceptorChunk(int start, int n) {
  auto sortRange = [this](int from, int count) { RankReceptors(from, count); };
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
