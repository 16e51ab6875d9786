#include "design/DesignRun.h"

#include <fmt/format.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <limits>
#include <span>
#include <thread>

#include "engine/BlockStore.h"
#include "engine/HourIndex.h"
#include "engine/ParallelRanges.h"
#include "engine/ResultRowWriter.h"
#include "engine/SystemInfo.h"
#include "meteo/MeteoHours.h"
#include "post/PostBinReader.h"
#include "post/PostChecks.h"
#include "records/AttributeCollection.h"
#include "util/DateKey.h"
#include "util/ExceptionLog.h"
#include "util/TextUtils.h"

namespace zorvik {
namespace {

constexpr int kSlotBatch = 32;  // slots between two looks at the stop flag and two progress marks
constexpr uint32_t kProgressSteps = 1000000;
constexpr double kNoValue = -std::numeric_limits<double>::infinity();

// A value of a series and the slot it ends at. Of equal values the earlier ranks higher.
struct TEntry {
  double Value;
  uint32_t Slot;
};
inline bool RanksBefore(const TEntry& a, const TEntry& b) {
  return a.Value > b.Value || (a.Value == b.Value && a.Slot < b.Slot);
}

// The highest values of each receptor of a range, for the ranks a statistic reads. Each receptor gathers up to
// `capacity` entries; when they are full, the `keep` best stay and the lowest of them becomes the limit that a
// later value must pass (a later value equal to it ranks below it). Memory is capacity entries per receptor,
// whatever the number of values.
class TTopValues {
 public:
  TTopValues(size_t receptors, uint32_t capacity)
      : fCapacity(std::max<uint32_t>(capacity, 1)), fEntries(receptors * fCapacity), fCount(receptors, 0),
        fLimit(receptors, kNoValue) {}
  void Start(uint32_t keep) {
    fKeep = std::clamp<uint32_t>(keep, 1, fCapacity);
    std::fill(fCount.begin(), fCount.end(), 0);
    std::fill(fLimit.begin(), fLimit.end(), kNoValue);
  }
  void Offer(size_t j, double value, uint32_t slot) {
    if (!(value > fLimit[j])) return;
    TEntry* e = &fEntries[j * fCapacity];
    e[fCount[j]++] = {value, slot};
    if (fCount[j] == fCapacity && fKeep < fCapacity) {
      std::nth_element(e, e + fKeep - 1, e + fCapacity, RanksBefore);
      fCount[j] = fKeep;
      fLimit[j] = e[fKeep - 1].Value;
    }
  }
  // Receptor j's kept entries, highest first.
  std::span<const TEntry> Ranked(size_t j) {
    TEntry* e = &fEntries[j * fCapacity];
    const uint32_t n = fCount[j], m = std::min(n, fKeep);
    std::partial_sort(e, e + m, e + n, RanksBefore);
    return {e, m};
  }

 private:
  uint32_t fCapacity;
  uint32_t fKeep = 1;
  std::vector<TEntry> fEntries;
  std::vector<uint32_t> fCount;
  std::vector<double> fLimit;
};

bool SelectsValues(TDesignStatKind kind) {
  return kind == TDesignStatKind::dkRank || kind == TDesignStatKind::dkPercentile;
}

std::string BucketText(const TDesignCalendar& calendar, bool pooled, int bucket) {
  return pooled ? std::string("the POSTFILE") : std::to_string(calendar.Years[static_cast<size_t>(bucket)].Year);
}

}  // namespace

// What one statistic needs: its rank, and per bucket how many of the highest values its ranks read.
struct TDesignRun::TStatisticPlan {
  TDesignStatistic Statistic;
  int Rank = 0;
  std::vector<uint32_t> Keep;  // per bucket; empty for counts and sums
  uint32_t Capacity = 0;       // entries per receptor of the selection
};

struct TDesignRun::TRange {
  int From = 0;
  int Count = 0;
  std::atomic<int>* Done = nullptr;   // slots read; above the slot count once the range has ended
  std::atomic<bool>* Stop = nullptr;
};

TDesignRun::TDesignRun(TDesignSettings settings)
    : fSettings(std::move(settings)), fProgress(fSettings.OnProgress, this) {
  traced("TDesignRun.Create", [&] {
    CheckDesignRequest(fSettings.Request);
    fThreads = std::max(1, DetectCpuCount());
    if (fSettings.MaxThreads > 0) fThreads = std::min(fThreads, fSettings.MaxThreads);
    fPlot = std::make_unique<TPlotFile>(TPlotFile::Read(fSettings.PlotFile));
    if (ReceptorCount() == 0) throw EFormatError("The PLOTFILE " + fSettings.PlotFile + " lists no receptors");
    const TPostContents found = DetectPostContents(fSettings.PostFile, fSettings.PlotFile, &fPlot->Fields(),
                                                   ReceptorCount(), fSettings.DoublePrecision);
    fTypes = found.Types;
    for (TPostOutType t : kAllPostOutTypes)
      if (fTypes.Contains(t)) fTypeList.push_back(t);
    TBinPostReader reader(fSettings.PostFile, fTypes, nullptr, 1.0, found.DoublePrecision, ReceptorCount(), true);
    fDoublePrecision = reader.DoublePrecision();
    fGroupName = reader.GroupName();
    fValueBytesOffset = reader.ValueBytesOffset();
    if (reader.AveragePeriod() != 1)
      throw EFormatError(fmt::format(
          "The POSTFILE {} holds {}-hour averages: design values are made from a 1-hour POSTFILE",
          fSettings.PostFile, reader.AveragePeriod()));
    // The years from the first record to the last, for the names of the files before the whole file is read.
    const int32_t first = reader.DateBlock();
    int32_t last = first;
    const int64_t record = reader.RecordSizeOnDisk();
    const int64_t records = (reader.Stream().Size() - reader.FirstBlockPos()) / record;
    if (records > 1) {
      reader.Stream().SetPosition(reader.FirstBlockPos() + (records - 1) * record);
      reader.NewBlock(0, TBinPostReader::kHeaderOnly);
      last = reader.DateBlock();
    }
    if (DateKeyHourNumber(first) >= 0) {
      const int from = DecodeDateKey(first).year;
      const int to = DateKeyHourNumber(last) >= DateKeyHourNumber(first) ? DecodeDateKey(last).year : from;
      for (int y = from; y <= to; ++y) fPeekedYears.push_back(y);
    }
  });
}

TDesignRun::~TDesignRun() = default;

int TDesignRun::ChunkCount() const {
  return fChunkReceptors > 0 ? (ReceptorCount() + fChunkReceptors - 1) / fChunkReceptors : 0;
}

void TDesignRun::Execute() {
  traced("TDesignRun.Execute", [&] {
    fOutputs.clear();
    fWarnings.clear();
    std::error_code ec;
    if (!fSettings.MeteoFile.empty() && std::filesystem::exists(fSettings.MeteoFile, ec))
      fMeteo = LoadMeteoHours(fSettings.MeteoFile, fMeteoUsableHours);
    // A met file without any usable hour makes every hour calm; one that holds usable hours must hold every hour
    // of the POSTFILE.
    const THourIndexMeteo meteo{fMeteo.get(), fSettings.MeteoFile, fMeteoUsableHours > 0};
    const THourIndex index =
        IndexHourBlocks(fSettings.PostFile, fTypes, meteo, fDoublePrecision, ReceptorCount(), fProgress);
    if (fProgress.Aborted()) return;
    fWarnings = index.Warnings;
    fCalendar = BuildDesignCalendar(index);
    const TDesignRequest& request = fSettings.Request;
    fPlan = PlanSeries(fCalendar, request.Series, request.Years == TYearsRule::yrPeriod);
    for (std::string& w : CalendarWarnings(fCalendar, request.Series)) fWarnings.push_back(std::move(w));
    PlanStatistics();
    SizeChunks();
    fResults.assign(fStatistics.size(),
                    std::vector<std::vector<std::vector<TValueDate>>>(
                        static_cast<size_t>(fPlan.Buckets()),
                        std::vector<std::vector<TValueDate>>(fTypeList.size(),
                                                             std::vector<TValueDate>(static_cast<size_t>(ReceptorCount())))));
    if (fCalendar.Slots() == 0) return;
    fProgress.Begin("Reading Post File...", kProgressSteps);
    TProgressFinishGuard finish(fProgress);
    fProgress.BeginIterations(fSettings.PostFile);
    for (int start = 0; start < ReceptorCount() && !fProgress.Aborted(); start += fChunkReceptors)
      ProcessChunk(start, std::min(fChunkReceptors, ReceptorCount() - start));
    finish.Finish();
    if (!fProgress.Aborted()) BuildOutputs();
  });
}

void TDesignRun::PlanStatistics() {
  fStatistics.clear();
  const TDesignRequest& request = fSettings.Request;
  const bool pooled = request.Years == TYearsRule::yrPeriod;
  const std::string_view series = DesignSeriesInfo(request.Series).Name;
  const int years = static_cast<int>(fCalendar.Years.size());
  for (const TDesignStatistic& statistic : request.Statistics) {
    TStatisticPlan plan;
    plan.Statistic = statistic;
    plan.Rank = statistic.RankFor(years);
    for (int b = 0; b < fPlan.Buckets(); ++b) {
      const int64_t values = fPlan.Values[static_cast<size_t>(b)];
      const std::string where = BucketText(fCalendar, pooled, b);
      switch (statistic.Kind) {
        case TDesignStatKind::dkRank:
          if (values < plan.Rank)
            fWarnings.push_back(fmt::format(
                "the {} highest {} value of {} is 0: there {} {} value{}", AsciiLower(RankOrdinal(plan.Rank)), series,
                where,
                values == 0   ? "is no"
                : values == 1 ? "is only 1"
                              : fmt::format("are only {}", values),
                series, values > 1 ? "s" : ""));
          plan.Keep.push_back(static_cast<uint32_t>(plan.Rank));
          break;
        case TDesignStatKind::dkPercentile: {
          if (values == 0) fWarnings.push_back(fmt::format("{} has no {} value: its percentile is 0", where, series));
          const auto ranks = TPrBlockStore::PercentRanks(static_cast<int>(values), statistic.Percent);
          plan.Keep.push_back(static_cast<uint32_t>(std::max(ranks[0], ranks[1])));
          break;
        }
        case TDesignStatKind::dkMean:
          if (request.Series == TDesignSeries::dsHours && fPlan.ValidHours[static_cast<size_t>(b)] == 0)
            fWarnings.push_back(fmt::format("{} has no hour that is neither calm nor missing: its mean is 0", where));
          else if (values == 0)
            fWarnings.push_back(fmt::format("{} has no {} value: its mean is 0", where, series));
          break;
        case TDesignStatKind::dkAbove: break;
      }
      if (!plan.Keep.empty()) {
        // Enough room to cut seldom, never more than the bucket's values (a selection that is never cut).
        const int64_t keep = plan.Keep.back();
        const auto room = static_cast<uint32_t>(std::min(values, std::max(2 * keep, keep + 16)));
        plan.Capacity = std::max(plan.Capacity, room);
      }
    }
    fStatistics.push_back(std::move(plan));
  }
}

void TDesignRun::SizeChunks() {
  const TDesignSeriesInfo& info = DesignSeriesInfo(fSettings.Request.Series);
  const bool windows = info.Shape == TSeriesShape::ssRolling || (info.Shape == TSeriesShape::ssDailyMax && info.Hours > 1);
  const int64_t ring = windows ? info.Hours : 1;
  // Per receptor and output type: the stored values read, the ring of hours, a sum or maximum with its slot, a
  // window value, and what each statistic keeps.
  int64_t perType = 8 + 8 * ring + 8 + 4 + 8;
  for (const TStatisticPlan& s : fStatistics)
    perType += SelectsValues(s.Statistic.Kind) ? int64_t{s.Capacity} * int64_t{sizeof(TEntry)} + 8 + 4 : 8;
  fBytesPerReceptor = perType * static_cast<int64_t>(fTypeList.size());
  // The results of every receptor stay for the whole run.
  fResultBytes = static_cast<int64_t>(fStatistics.size()) * fPlan.Buckets() * static_cast<int64_t>(fTypeList.size()) *
                 ReceptorCount() * static_cast<int64_t>(sizeof(TValueDate));
  int64_t budget = AvailableMemoryBytes() * 70 / 100;
  if (fSettings.MemoryLimitBytes > 0) budget = std::min(budget, fSettings.MemoryLimitBytes);
  budget -= fResultBytes;
  fChunkReceptors = static_cast<int>(std::clamp<int64_t>(budget / fBytesPerReceptor, 1, ReceptorCount()));
}

void TDesignRun::ProcessChunk(int start, int count) {
  const std::vector<TReceptorRange> split = SplitRange(start, count, fThreads);
  std::atomic<bool> stop{false};
  std::vector<std::atomic<int>> done(split.size());
  std::vector<TRange> ranges;
  for (size_t i = 0; i < split.size(); ++i) ranges.push_back({split[i].from, split[i].count, &done[i], &stop});
  const int slots = fCalendar.Slots();
  const auto task = [&](size_t i) {
    struct Finished {  // one way or another
      std::atomic<int>& done;
      int past;
      ~Finished() { done.store(past, std::memory_order_release); }
    } finished{done[i], slots + 1};
    ReadRange(ranges[i]);
  };
  // Progress: the slots every range has passed, as a share of all chunks; a cancel asks the ranges to stop.
  const int chunk = start / fChunkReceptors;
  const double perSlot = static_cast<double>(kProgressSteps) / (static_cast<double>(slots) * ChunkCount());
  const auto watch = [&] {
    for (int reported = 0;;) {
      int passed = slots;
      bool ended = true;
      for (const auto& d : done) {
        const int v = d.load(std::memory_order_acquire);
        ended &= v > slots;
        passed = std::min(passed, v);
      }
      if (passed > reported) {
        reported = passed;
        fProgress.Step(static_cast<int32_t>((static_cast<double>(chunk) * slots + reported) * perSlot));
        if (fProgress.Aborted()) stop.store(true);
      }
      if (ended) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  };
  RunInParallel(ranges.size(), task, [&] { stop.store(true); }, watch);
}

void TDesignRun::ReadRange(TRange& range) {
  const TDesignSeriesInfo& info = DesignSeriesInfo(fPlan.Series);
  const TSeriesShape shape = info.Shape;
  const int hours = info.Hours;
  const bool windows = shape == TSeriesShape::ssRolling || (shape == TSeriesShape::ssDailyMax && hours > 1);
  const size_t ring = windows ? static_cast<size_t>(hours) : 1;
  const int valueSize = fDoublePrecision ? 8 : 4;
  const size_t n = static_cast<size_t>(range.Count);
  const size_t types = fTypeList.size();
  const int slots = fCalendar.Slots();
  const bool hourly = shape == TSeriesShape::ssHours;

  TBinPostReader reader(fSettings.PostFile, fTypes, nullptr, 1.0, fDoublePrecision, ReceptorCount(), true);
  std::vector<uint8_t> raw(n * static_cast<size_t>(valueSize));
  std::vector<double> rows(types * ring * n, 0.0);  // per type, the last `ring` hours of every receptor
  const double restartValue = shape == TSeriesShape::ssDailyMax ? kNoValue : 0.0;
  std::vector<double> acc(types * n, restartValue);  // per type: a block's sum or the day's maximum
  std::vector<int64_t> accSlot(types * n, 0);         // the slot of the day's maximum (as wide as a value, so
                                                      // that maximum and slot are chosen in the same vector lanes)
  std::vector<double> window(n);

  // Per statistic and type: a selection, a count or a sum per receptor.
  struct TAccumulator {
    std::unique_ptr<TTopValues> Top;
    std::vector<double> Sums;  // counts above the threshold, or sums
  };
  std::vector<std::vector<TAccumulator>> accumulators(fStatistics.size());
  for (size_t s = 0; s < fStatistics.size(); ++s)
    for (size_t k = 0; k < types; ++k) {
      TAccumulator a;
      if (SelectsValues(fStatistics[s].Statistic.Kind))
        a.Top = std::make_unique<TTopValues>(n, fStatistics[s].Capacity);
      else
        a.Sums.assign(n, 0.0);
      accumulators[s].push_back(std::move(a));
    }
  const auto startBucket = [&](int b) {
    for (size_t s = 0; s < fStatistics.size(); ++s)
      for (TAccumulator& a : accumulators[s]) {
        if (a.Top) a.Top->Start(fStatistics[s].Keep[static_cast<size_t>(b)]);
        std::fill(a.Sums.begin(), a.Sums.end(), 0.0);
      }
  };
  // One value per receptor of type k, ending at `slot` (or, for a day's maxima, at slots[j]).
  const auto offer = [&](size_t k, const double* values, uint32_t slot, const int64_t* slots) {
    for (size_t s = 0; s < fStatistics.size(); ++s) {
      TAccumulator& a = accumulators[s][k];
      const TDesignStatistic& statistic = fStatistics[s].Statistic;
      if (a.Top) {
        if (slots)
          for (size_t j = 0; j < n; ++j) a.Top->Offer(j, values[j], static_cast<uint32_t>(slots[j]));
        else
          for (size_t j = 0; j < n; ++j) a.Top->Offer(j, values[j], slot);
      } else if (statistic.Kind == TDesignStatKind::dkAbove) {
        const double x = statistic.Threshold;
        double* __restrict sums = a.Sums.data();
        for (size_t j = 0; j < n; ++j) sums[j] += values[j] > x ? 1.0 : 0.0;
      } else {
        double* __restrict sums = a.Sums.data();
        for (size_t j = 0; j < n; ++j) sums[j] += values[j];
      }
    }
  };
  const auto closeBucket = [&](int b) {
    const int64_t values = fPlan.Values[static_cast<size_t>(b)];
    for (size_t s = 0; s < fStatistics.size(); ++s) {
      const TStatisticPlan& plan = fStatistics[s];
      for (size_t k = 0; k < types; ++k) {
        TAccumulator& a = accumulators[s][k];
        std::vector<TValueDate>& out = fResults[s][static_cast<size_t>(b)][k];
        const bool sum = fTypeList[k] != TPostOutType::poConc;
        for (size_t j = 0; j < n; ++j) {
          TValueDate& r = out[static_cast<size_t>(range.From) + j];
          switch (plan.Statistic.Kind) {
            case TDesignStatKind::dkRank: {
              const std::span<const TEntry> top = a.Top->Ranked(j);
              const auto rank = static_cast<size_t>(plan.Rank);
              r = rank >= 1 && rank <= top.size()
                      ? TValueDate{top[rank - 1].Value, fCalendar.Dates[top[rank - 1].Slot]}
                      : TValueDate{};
              break;
            }
            case TDesignStatKind::dkPercentile: {
              const std::span<const TEntry> top = a.Top->Ranked(j);
              const auto at = [&](int rank) { return top[static_cast<size_t>(std::max(rank, 1) - 1)]; };
              const auto kept = [&](int rank) { return !top.empty() && rank <= static_cast<int>(top.size()); };
              r.Value = RankedPercent(
                  static_cast<int>(values), plan.Statistic.Percent, fSettings.Request.UseInterpolation,
                  [&](int rank) { return kept(rank) ? at(rank).Value : 0.0; },
                  [&](int rank) { return kept(rank) ? fCalendar.Dates[at(rank).Slot] : 0; }, r.Date);
              break;
            }
            case TDesignStatKind::dkAbove: r = {a.Sums[j], 0}; break;
            case TDesignStatKind::dkMean: {
              const int64_t count = hourly ? fPlan.ValidHours[static_cast<size_t>(b)] : values;
              r = {sum ? a.Sums[j] : count > 0 ? a.Sums[j] / static_cast<double>(count) : 0.0, 0};
              break;
            }
          }
        }
      }
    }
  };

  const int64_t* positions = fCalendar.Positions.data();
  int bucket = -1;
  for (int t0 = 0; t0 < slots; t0 += kSlotBatch) {
    if (range.Stop->load(std::memory_order_relaxed)) return;
    const int batchEnd = std::min(slots, t0 + kSlotBatch);
    for (int t = t0; t < batchEnd; ++t) {
      const auto ts = static_cast<size_t>(t);
      const TSlotKind kind = fCalendar.Kinds[ts];
      const int b = fPlan.SlotBucket[ts];
      if (b >= 0 && b != bucket) startBucket(bucket = b);
      const bool emit = fPlan.Emit[ts] && b >= 0;
      const auto divisor = static_cast<double>(fPlan.Divisor[ts]);
      int skip = range.From * valueSize;
      for (size_t k = 0; k < types; ++k) {
        double* row = &rows[(k * ring + ts % ring) * n];
        if (kind == TSlotKind::skValue) {
          reader.ReadRecordValues(positions[ts], skip, range.Count * valueSize, raw.data());
          if (DecodePostValues(raw.data(), range.Count, fDoublePrecision, row))
            RaiseFirstBadPostValue(fSettings.PostFile, positions[ts] + fValueBytesOffset + skip, raw.data(),
                                   range.Count, fDoublePrecision, range.From, fTypeList[k], fCalendar.Dates[ts]);
          skip += ReceptorCount() * valueSize;
        } else {
          std::fill(row, row + n, 0.0);  // a calm, missing or absent hour: 0, and no value of its own
        }
        const bool average = fTypeList[k] == TPostOutType::poConc;
        double* __restrict a = &acc[k * n];
        int64_t* __restrict aSlot = &accSlot[k * n];
        // The window ending at t, its hours summed in hour order.
        const auto windowValues = [&] {
          const size_t first = ts + 1 - static_cast<size_t>(hours);
          const double* r0 = &rows[(k * ring + first % ring) * n];
          for (size_t j = 0; j < n; ++j) window[j] = r0[j];
          for (size_t i = 1; i < static_cast<size_t>(hours); ++i) {
            const double* ri = &rows[(k * ring + (first + i) % ring) * n];
            for (size_t j = 0; j < n; ++j) window[j] += ri[j];
          }
          if (average)
            for (size_t j = 0; j < n; ++j) window[j] /= divisor;
          return window.data();
        };
        switch (shape) {
          case TSeriesShape::ssHours:
            if (emit) offer(k, row, static_cast<uint32_t>(t), nullptr);
            break;
          case TSeriesShape::ssBlocks:
            if (kind == TSlotKind::skValue)
              for (size_t j = 0; j < n; ++j) a[j] += row[j];
            if (emit) {
              for (size_t j = 0; j < n; ++j) window[j] = average ? a[j] / divisor : a[j];
              offer(k, window.data(), static_cast<uint32_t>(t), nullptr);
            }
            break;
          case TSeriesShape::ssRolling:
            if (emit) offer(k, windowValues(), static_cast<uint32_t>(t), nullptr);
            break;
          case TSeriesShape::ssDailyMax: {
            const double* v = nullptr;
            if (hours == 1) {
              if (kind != TSlotKind::skAbsent) v = row;
            } else if (t >= hours - 1) {
              v = windowValues();
            }
            if (v) {
              const double* __restrict value = v;
              for (size_t j = 0; j < n; ++j) {
                const bool higher = value[j] > a[j];
                a[j] = higher ? value[j] : a[j];
                aSlot[j] = higher ? int64_t{t} : aSlot[j];
              }
            }
            if (emit) offer(k, a, 0, aSlot);
            break;
          }
        }
        if (fPlan.Restart[ts]) std::fill(a, a + n, restartValue);
      }
      if (fPlan.BucketEnds[ts]) closeBucket(b);
    }
    range.Done->store(batchEnd, std::memory_order_release);
  }
}

void TDesignRun::BuildOutputs() {
  const TDesignRequest& request = fSettings.Request;
  const TDesignSeriesInfo& info = DesignSeriesInfo(request.Series);
  const std::vector<int> years = fCalendar.YearNumbers();
  const auto receptors = static_cast<size_t>(ReceptorCount());
  const std::vector<TResultRow> places = ReceptorRows(*fPlot);
  for (const TDesignOutputName& name : DesignOutputNames(request, years)) {
    const TStatisticPlan& plan = fStatistics[static_cast<size_t>(name.Statistic)];
    TDesignOutput out;
    out.Name = name;
    out.Statistic = plan.Statistic;
    out.Rank = plan.Rank;
    out.Title = DesignTitle(request, plan.Statistic, plan.Rank, name.Year, years, fGroupName);
    out.ValueName = AsciiLower(name.FileName.substr(0, name.FileName.rfind('.')));
    if (plan.Statistic.Kind == TDesignStatKind::dkMean)
      out.PeriodText = request.Years == TYearsRule::yrPeriod ? "PERIOD" : "ANNUAL";
    else
      out.PeriodText = fmt::format("{}-HR", info.Hours);
    if (plan.Statistic.Kind == TDesignStatKind::dkRank && RankOrdinal(plan.Rank).size() <= 5)
      out.RankText = RankOrdinal(plan.Rank);
    const auto& results = fResults[static_cast<size_t>(name.Statistic)];
    for (size_t k = 0; k < fTypeList.size(); ++k) {
      TDesignColumn column{fTypeList[k], places};
      for (size_t r = 0; r < receptors; ++r) {
        TValueDate v;
        switch (request.Years) {
          case TYearsRule::yrEach: {
            const auto b = static_cast<size_t>(std::find(years.begin(), years.end(), name.Year) - years.begin());
            v = results[b][k][r];
            break;
          }
          case TYearsRule::yrPeriod: v = results[0][k][r]; break;
          case TYearsRule::yrAverage: {
            double total = 0;
            for (const auto& bucket : results) total += bucket[k][r].Value;
            v = {results.empty() ? 0.0 : total / static_cast<double>(results.size()), 0};
            break;
          }
          case TYearsRule::yrMax:
            for (size_t b = 0; b < results.size(); ++b)
              if (b == 0 || results[b][k][r].Value > v.Value) v = results[b][k][r];
            break;
        }
        column.Rows[r].Value = v.Value;
        column.Rows[r].Date = v.Date;
      }
      out.Columns.push_back(std::move(column));
    }
    fOutputs.push_back(std::move(out));
  }
}

}  // namespace zorvik
