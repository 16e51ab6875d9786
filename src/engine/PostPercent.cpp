#include "engine/PostPercent.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <future>
#include <mutex>

#include "engine/ListInputs.h"
#include "engine/ParallelRanges.h"
#include "engine/PlotFileWriters.h"
#include "engine/PlotRecords.h"
#include "engine/SystemInfo.h"
#include "meteo/MeteoHours.h"
#include "plotfile/PlotFile.h"
#include "post/PostBinReader.h"
#include "post/PostChecks.h"
#include "records/AttributeCollection.h"
#include "util/ExceptionLog.h"
#include "util/FileUtils.h"
#include "util/FileStream.h"
#include "util/OutputGuard.h"

namespace zorvik {


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
  // The PLOTFILE is read on a thread of its own while the met file and the POSTFILE's record headers are read
  // here, where progress is reported. The record headers do not depend on what the PLOTFILE tells (the output
  // types, the precision), and the errors keep their order: met file, PLOTFILE, the POSTFILE's fit to the
  // PLOTFILE, then its records.
  // A PLOTFILE not in memory is asked for first: its reads then come before those of the POSTFILE, which a cold
  // run starts alongside (see StartIndexStream), instead of waiting behind them.
  if (fSettings.StreamIndex != TReceptorListSettings::TStreamIndex::Never) WillNeedFile(fSettings.PlotFile);
  auto plot = std::async(std::launch::async, [file = fSettings.PlotFile] { return ReadReceptorPlotFile(file); });
  std::error_code ec;
  if (!fSettings.MeteoFile.empty() && fs::exists(fSettings.MeteoFile, ec))
    FMeteoData = LoadMeteoHours(fSettings.MeteoFile, fMeteoUsableHours);
  // A met file without any usable hour makes every hour calm (its caller warns); one that holds usable hours must
  // hold every hour of the POSTFILE.
  const THourIndexMeteo meteo{FMeteoData.get(), fSettings.MeteoFile, fMeteoUsableHours > 0};
  std::exception_ptr indexError;
  try {
    const TPostOutTypes headerTypes = FPost.Empty() ? TPostOutTypes{TPostOutType::poConc} : FPost;
    if (!StartIndexStream(headerTypes, meteo))
      fHourBlocks = IndexHourBlocks(fSettings.PostFile, headerTypes, meteo, fIsDoublePrecision, 0, fProgress);
  } catch (...) {
    indexError = std::current_exception();
  }
  ExtractReceptors(plot.get());
  FPost = GetPostOptions(fSettings.PostFile, FPost, ReceptorCount());
  if (indexError) std::rethrow_exception(indexError);
  fHourBlocks.ValueSize = fIsDoublePrecision ? 8 : 4;
  SizeReceptorChunk();
  PostReader = std::make_unique<TBinPostReader>(fSettings.PostFile, FPost, nullptr, 1.0, fIsDoublePrecision,
                                                ReceptorCount(), true);
  fGroupName = PostReader->GroupName();
  fAveragePeriod = PostReader->AveragePeriod();
}

void TPrReceptorList::FinishChunkWrite(bool raise) {
  if (!fChunkWrite.valid()) return;
  if (raise) {
    fChunkWrite.get();
    return;
  }
  try {
    fChunkWrite.get();
  } catch (...) {  // the run ends with an error of its own, or was cancelled
  }
}

TPrReceptorList::~TPrReceptorList() {
  FinishChunkWrite(false);
  if (fIndexStream) fIndexStream->Stop.store(true);
  if (fRing) fRing->Detach();  // an index waiting for the ring reads the file instead, and sees the stop
  while (!FReceptors.empty()) FReceptors.pop_back();  // last first
}

bool TPrReceptorList::StartIndexStream(TPostOutTypes headerTypes, const THourIndexMeteo& meteo) {
  using TStreamIndex = TReceptorListSettings::TStreamIndex;
  const TEngineOptions& options = fSettings.Options;
  if (fSettings.StreamIndex == TStreamIndex::Never || options.fRolling ||
      !(options.fAveragePeriods == TAverageValues{TAverageValue::hr_1}))
    return false;
  const bool inMemory = fSettings.StreamIndex == TStreamIndex::WhenCold && PostFileInMemory(fSettings.PostFile);
  const TStandardRecords records = StandardRecords(fSettings.PostFile, headerTypes, fIsDoublePrecision);
  const int hours = records.Hours;
  if (hours <= 0) return false;
  // Records of a few thousand receptors hold little besides a worker's slice: every worker would read them whole,
  // and the index each header on its own, unless they share a ring. Files read in several chunks (a run held to
  // less memory than the file) are indexed first, as the ring could not serve them. Larger records in memory are
  // indexed alongside the workers, who read their slices themselves (measured on the 98th percentile of 10,000
  // receptors: the workers start about 10 ms sooner).
  const int64_t limit = fSettings.MemoryLimitBytes;
  const bool fits = limit <= 0 || limit >= records.Stride * int64_t{hours};
  const bool shared = fSettings.StreamIndex == TStreamIndex::AlwaysShared ||
                      (inMemory && records.Stride <= kSharedRecordBytes && fits);
  if (inMemory && !fits) return false;
  if (inMemory) {
    fStandardFirst = records.First;
    fStandardStride = records.Stride;
  }
  fHourBlocks.Positions.assign(static_cast<size_t>(hours), -1);
  fHourBlocks.Dates.assign(static_cast<size_t>(hours), 0);
  fHourBlocks.RecordDates.assign(static_cast<size_t>(hours), 0);
  fIndexStream = std::make_unique<THourIndexStream>();
  fIndexPending = true;
  // A file out of memory is read once, past the page cache, by the index and by the workers of a run of one
  // chunk (Execute decides). Files on network drives keep the cache. A shared ring reads from the cache.
  std::unique_ptr<TStream> headers;
  if (shared)
    fRing = TRecordRing::OpenShared(fSettings.PostFile, records.First, records.Stride, hours, kHourBatch);
  else if (!inMemory && fSettings.StreamIndex != TStreamIndex::Always && !IsNetworkPath(fSettings.PostFile))
    fRing = TRecordRing::Open(fSettings.PostFile, records.First, records.Stride, hours, kHourBatch);
  if (fRing) headers = std::make_unique<TRingStream>(*fRing);
  // The thread is asked to stop (and joined) when the list goes, also from a constructor that fails.
  fIndexThread = std::jthread([this, hours, headerTypes, meteo, file = fSettings.PostFile,
                               doublePrecision = fIsDoublePrecision,
                               headers = std::move(headers)](std::stop_token token) mutable {
    // Asked to stop (also by a constructor that fails), the scan must not wait for a ring nobody reads on.
    const std::stop_callback onStop(token, [this] {
      fIndexStream->Stop.store(true);
      if (fRing) fRing->Detach();
    });
    try {
      IndexHourBlocksStreamed(fHourBlocks, hours, file, headerTypes, meteo, doublePrecision, *fIndexStream,
                              std::move(headers));
    } catch (...) {
      fIndexError = std::current_exception();
    }
  });
  return true;
}

void TPrReceptorList::LeaveRing() {
  if (!ActiveRing()) return;
  fRing->Detach();
  if (!fRing->Shared()) fReadThrough = std::make_unique<TReadThrough>(fSettings.PostFile, 0);
}

void TPrReceptorList::FinishIndex() {
  if (!fIndexPending) return;
  if (fIndexThread.joinable()) fIndexThread.join();
  fIndexPending = false;
  if (fIndexError) std::rethrow_exception(fIndexError);
}

bool TPrReceptorList::WaitForHours(int hours, const THourlyRange& range) const {
  if (!fIndexStream) return true;
  const THourIndexStream& index = *fIndexStream;
  while (index.Ready.load(std::memory_order_acquire) < hours) {
    // Done is set after the last entry: one more look tells an index that ended short.
    if (index.Done.load(std::memory_order_acquire))
      return index.Ready.load(std::memory_order_acquire) >= hours;
    if (range.stop->load(std::memory_order_relaxed)) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return true;
}

const std::vector<std::string>& TPrReceptorList::Warnings() const {
  static const std::vector<std::string> kNone;
  return fIndexPending ? kNone : fHourBlocks.Warnings;
}

TPrReceptorItem* TPrReceptorList::GetReceptor(int index) {
  if (index < 0 || index >= ReceptorCount()) return nullptr;
  return FReceptors[static_cast<size_t>(index)].get();
}

int TPrReceptorList::ChunkCount() const {
  if (fRecChunkCount <= 0) return 0;
  return (ReceptorCount() + fRecChunkCount - 1) / fRecChunkCount;
}

TPlotFile TPrReceptorList::ReadReceptorPlotFile(const std::string& plotFile) {
  return traced("TPrReceptorList.ExtractReceptors", [&] {
    std::error_code ec;
    if (!std::filesystem::exists(plotFile, ec)) Assert(false, "The file does not exist: " + plotFile);
    return TPlotFile::Read(plotFile);
  });
}

void TPrReceptorList::ExtractReceptors(TPlotFile plot) {
  traced("TPrReceptorList.ExtractReceptors", [&] {
    fPlot = std::make_unique<TPlotFile>(std::move(plot));
    fHeader = CloneAs(fPlot->Header());
    fFields = CloneAs(fPlot->Fields());
    const auto count = static_cast<size_t>(fPlot->ReceptorCount());
    FReceptors.reserve(count);
    for (size_t i = 0; i < count; ++i) FReceptors.push_back(std::make_unique<TPrReceptorItem>(FPost, fSettings.Options));
    if (FReceptors.empty()) throw EFormatError("The PLOTFILE " + fSettings.PlotFile + " lists no receptors");
  });
}

TPostOutTypes TPrReceptorList::GetPostOptions(const std::string& postFile, TPostOutTypes post, int receptorCount) {
  return traced("TPrReceptorList.GetPostOptions", [&] {
    if (!post.Empty()) return post;
    const TPostContents found =
        DetectPostContents(postFile, fSettings.PlotFile, fFields.get(), receptorCount, fIsDoublePrecision);
    fIsDoublePrecision = found.DoublePrecision;
    const auto setTypes = [&](int from, int count) {
      for (int r = from; r < from + count; ++r) FReceptors[static_cast<size_t>(r)]->SetOutputTypes(found.Types);
    };
    // The stores of tens of thousands of receptors take milliseconds to make, before the run can start: they are
    // made on every processor (measured on the 98th percentile of 30,000 receptors: 0.97x the time).
    constexpr int kManyReceptors = 2048;
    if (ReceptorCount() < kManyReceptors || fCpuCount < 2) {
      setTypes(0, ReceptorCount());
    } else {
      const std::vector<TReceptorRange> ranges = SplitRange(0, ReceptorCount(), fCpuCount);
      RunInParallel(ranges.size(), [&](size_t i) { setTypes(ranges[i].from, ranges[i].count); });
    }
    return found.Types;
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
  const TEngineOptions& options = fSettings.Options;
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

void TPrReceptorList::LimitWholeSeriesChunk() {
  // Every value of a chunk is held: memory the process has not touched before costs far more to fill (the
  // system clears each page first) than memory used again, so chunks of about this size, whose memory the
  // next chunk reuses, beat one chunk of all receptors although each chunk reads a slice of every record.
  // Measured on the viewer's load of 10,000 receptors x 8,760 hours: a quarter less time, a third of the
  // memory.
  constexpr int64_t kWholeSeriesChunkBytes = int64_t{128} << 20;
  const int64_t values = int64_t{TotalHours()} * FPost.Count() * ReceptorCount();
  LimitChunk(ChunkReceptors(ReceptorCount(), values, kWholeSeriesChunkBytes));
}

void TPrReceptorList::LimitChunk(int receptors) {
  if (receptors >= fRecChunkCount) return;
  // The chunks this limit makes, all of about one size: a small last chunk would read the file once more for a
  // few receptors, and the first would take more fresh memory than the others reuse. Measured on the 98th
  // percentile of 30,000 receptors (26,214 and 3,786 before, two of 15,000 now): 0.98x the time, 4 MiB less.
  const int chunks = (ReceptorCount() + receptors - 1) / receptors;
  fRecChunkCount = (ReceptorCount() + chunks - 1) / chunks;
}

uint32_t TPrReceptorList::HourlySelectorWords(int deepest) {
  // Room for a quarter more entries than kept between cuts (at least 64 more, the room a batch of hours may
  // take): measured on the 75th and 98th percentiles of 10,000 receptors, as fast as twice the rank, in less
  // memory.
  const auto m = static_cast<uint32_t>(std::max(deepest, 1));
  return m + std::max<uint32_t>(64, m / 4);
}

uint32_t TPrReceptorList::RingSelectorWords(int deepest, size_t series) {
  // Without floors from a sample, every value that reaches a selector's limit while the limit is still low is
  // offered: most of a pass's offers come in its first hours, and each cut reads a selector's whole buffer from
  // memory. Twice the rank halves the cuts; measured on the 98th percentile of 10,000 receptors read past the
  // page cache, the workers then wait for the disk from a third of the hours on instead of half.
  const auto m = static_cast<uint32_t>(std::max(deepest, 1));
  const auto fits = static_cast<uint64_t>(kSelectedChunkBytes) / sizeof(uint64_t) / std::max<size_t>(series, 1);
  return std::max(HourlySelectorWords(deepest), static_cast<uint32_t>(std::min<uint64_t>(2 * uint64_t{m}, fits)));
}

void TPrReceptorList::LimitSelectedChunk(int deepest) {
  // Fresh memory costs as much for the selectors' words of deep ranks (about one per kept rank and series):
  // chunks of about kSelectedChunkBytes hand them on from range to range. Measured on the 75th percentile of
  // 10,000 receptors x 8,760 hours: 67 MB instead of 347 MB, and a little faster; the ranks of a 98th percentile
  // still take over 25,000 receptors a chunk.
  const int64_t words = int64_t{SelectedWords(deepest)} * FPost.Count() * ReceptorCount();  // of 8 bytes
  // A file read past the page cache is read once: a second chunk would have to read it from the disk again.
  const int64_t budget = (ActiveRingPastCache() ? 2 : 1) * kSelectedChunkBytes;
  LimitChunk(ChunkReceptors(ReceptorCount(), words, budget));
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
    CreatePlotWriters(data);
    struct FreeWriters {
      std::vector<std::unique_ptr<TPlotWriterBase>>& writers;
      ~FreeWriters() { writers.clear(); }
    } freeWriters{fPlotWriters};
    // A chunk still being written when the run ends another way is waited for before the writers go.
    struct WaitForWrite {
      TPrReceptorList& list;
      ~WaitForWrite() { list.FinishChunkWrite(false); }
    } waitForWrite{*this};
    fWindowDeepest = DeepestNeededWindowRank();
    if (fHourlyFastPath) {
      if (const int deepest = DeepestNeededRank(); deepest < 0)
        LimitWholeSeriesChunk();
      else
        LimitSelectedChunk(deepest);
    }
    // The ring holds a few buffers of the file at a time: only a single pass over it can read from there.
    if (!fHourlyFastPath || ChunkCount() != 1) LeaveRing();
    const int64_t steps = int64_t{TotalHours()} * ChunkCount();
    fProgress.Begin("Reading Post File...", static_cast<uint32_t>(std::min<int64_t>(steps, UINT32_MAX)));
    TProgressFinishGuard finish(fProgress);
    fZeroValueCount = 0;
    fTotalValueCount = 0;
    fProgress.BeginIterations(PostReader->PostFile());
    fProgress.Info().cbIter = 0;
    fRecStart = 0;
    while (fRecStart < ReceptorCount() && !fProgress.Aborted()) ProcessReceptorsChunk();
    FinishChunkWrite(true);
    if (!fProgress.Aborted())
      for (auto& writer : fPlotWriters) writer->Commit();
    finish.Finish();
  });
}

void TPrReceptorList::ProcessReceptorsChunk() {
  traced("TPrReceptorList.ProcessReceptorsChunk", [&] {
    const int n = std::min(ReceptorCount() - fRecStart, fRecChunkCount);
    // A store ranked for a few ranks only takes those entries; all others get room for every hour.
    if (!(fHourlyFastPath && DeepestNeededRank() >= 0) && fWindowDeepest < 0) {
      bool keepDates = false;
      for (const auto& writer : fPlotWriters) keepDates |= writer->NeedsDates();
      std::pmr::memory_resource* memory = nullptr;
      if (fHourlyFastPath) {
        const size_t perStore = static_cast<size_t>(TotalHours()) * (keepDates ? 8 : 4) + 64;
        // Chunks take turns with two arenas: the one before this may still be being written from the other.
        TChunkArena& arena = fArenas[static_cast<size_t>(fRecStart / std::max(1, fRecChunkCount)) % fArenas.size()];
        memory = arena.StartChunk(perStore * static_cast<size_t>(n) * static_cast<size_t>(FPost.Count()));
      }
      for (int r = fRecStart; r < fRecStart + n; ++r)
        FReceptors[static_cast<size_t>(r)]->SetHourCount(TotalHours(), memory, keepDates || !fHourlyFastPath);
    }
    if (fHourlyFastPath || fWindowDeepest >= 0) {
      // Reads and ranks. An index read alongside has the last word: its error comes before one the workers met,
      // and so does one met writing the chunk before.
      try {
        ProcessHourlyChunk(fRecStart, n);
      } catch (...) {
        FinishIndex();
        FinishChunkWrite(true);
        throw;
      }
      if (fProgress.Aborted() && fIndexStream) fIndexStream->Stop.store(true);
      FinishIndex();
      if (fProgress.Aborted()) return;
    } else {
      FinishIndex();  // this path reads every hour from the start: the index must be whole
      try {
        for (int h = 0; h < TotalHours() && !fProgress.Aborted(); ++h) ReadHourBlock(h, fRecStart, n);
      } catch (...) {
        FinishChunkWrite(true);
        throw;
      }
      if (fProgress.Aborted()) return;
      SortReceptorChunk(fRecStart, n);
    }
    if (fProgress.Aborted()) return;
    // The chunk before is written by now; this one is written while the next one is read (the writers touch
    // only this chunk's receptors, and its stores keep their memory until then). Measured on the viewer's load
    // of 10,000 receptors in six chunks: 0.92x the wall time, in 141 to 145 instead of 94 MiB (two arenas).
    FinishChunkWrite(true);
    const int start = fRecStart;
    const auto write = [this, start, n] {
      WriteChunk(start, n);
      // The stores give their memory back for the next chunks; after the last one it goes with the list.
      if (start + n < ReceptorCount())
        for (int r = start; r < start + n; ++r)
          if (auto& item = FReceptors[static_cast<size_t>(r)]) item->SetHourCount(0);
    };
    if (start + n < ReceptorCount())
      fChunkWrite = std::async(std::launch::async, write);
    else
      write();
    fRecStart += fRecChunkCount;
  });
}


// The 1-hour path. Every sorting thread also reads: it takes a disjoint range of the chunk's receptors, reads
// their slice of every hour with a reader of its own, batch by batch into a staging block, from which each
// receptor takes its column, and then ranks its receptors. The values and dates that reach the stores are
// those of ReadHourBlock. The caller's thread reports one progress step per hour as every worker passes it, and
// turns a cancel into a stop request that the workers see at their next batch.
int TPrReceptorList::DeepestNeededWindowRank() const {
  const TEngineOptions& options = fSettings.Options;
  if (fHourlyFastPath || !fSettings.ParallelWindows || fPlotWriters.empty()) return -1;
  std::vector<int> ranks;
  for (int p = 0; p < kAverageValueCount; ++p) {
    const auto period = static_cast<TAverageValue>(p);
    const int hours = HoursInPeriod(period);
    if (!options.fAveragePeriods.Contains(period)) continue;
    if (hours <= 0) return -1;
    if (!NeededRanks(WindowCount(TotalHours(), hours, options.fRolling), ranks)) return -1;
  }
  const int deepest = ranks.empty() ? 0 : ranks.back();
  // The selection pays while it keeps a few entries per window series.
  constexpr int kMaxSelectedRank = 1024;
  return deepest <= kMaxSelectedRank ? deepest : -1;
}

bool TPrReceptorList::NeededRanks(int offered, std::vector<int>& ranks) const {
  for (const auto& writer : fPlotWriters)
    if (!writer->AddNeededRanks(offered, ranks)) return false;
  std::sort(ranks.begin(), ranks.end());
  ranks.erase(std::unique(ranks.begin(), ranks.end()), ranks.end());
  return true;
}

bool TPrReceptorList::ExactRanks(int offered, int deepest, std::vector<int>& ranks) const {
  ranks.clear();
  NeededRanks(offered, ranks);
  constexpr int kPlaceFrom = 32;  // above that depth a sort of the kept entries costs as little
  if (fSettings.Options.fSkipZeroValues || ranks.empty() || ranks.size() > TSortedListStore::kMaxExactRanks ||
      deepest < kPlaceFrom)
    ranks.clear();
  return !ranks.empty();
}

int TPrReceptorList::DeepestNeededRank() const {
  std::vector<int> ranks;
  if (!NeededRanks(TotalHours(), ranks)) return -1;
  const int deepest = ranks.empty() ? 0 : ranks.back();
  // Deep ranks (a median, say) are cheaper to reach by ranking whole series.
  if (fPlotWriters.empty() || deepest > TotalHours() / 4) return -1;
  return deepest;
}


void TPrReceptorList::ProcessHourlyChunk(int start, int n) {
  // A range's hour slice, with what its receptors keep, should stay in the processor's cache while the hour is
  // swept; more ranges than threads also let a thread whose ranges went quickly take the next one.
  // A ring of the file is read by every range at once: one range per thread.
  TRecordRing* ring = ActiveRing();
  const int rounds = ring ? 1 : ((n + kRangeReceptors - 1) / kRangeReceptors + fCpuCount - 1) / fCpuCount;
  const int parts = std::max(1, rounds) * fCpuCount;
  std::unique_ptr<TRecordRing> spans = ring || rounds > 1 ? nullptr : OpenChunkSpans(start, n);
  if (spans) ring = spans.get();
  const std::vector<TReceptorRange> split = SplitRange(start, n, parts);
  std::atomic<bool> stop{false};
  std::mutex wakeLock;
  std::condition_variable wake;
  std::vector<THourlyRange> ranges;
  std::vector<std::atomic<int>> done(split.size());
  for (size_t i = 0; i < split.size(); ++i)
    ranges.push_back(THourlyRange{split[i].from, split[i].count, &done[i], &stop, &wake, 0, ring});
  if (ring) {
    for (const auto& passed : done) ring->AddReader(&passed);
    ring->Release();
    fReadPastCache = !ring->Shared();
  }
  // The ring stops once the ranges are done (or failed): nothing else reads from it but the index.
  struct Detach {
    TRecordRing* ring;
    ~Detach() {
      if (ring) ring->Detach();
    }
  } detach{ring};
  const auto task = [&](size_t i) {
    struct Finished {  // finished, one way or another
      THourlyRange& range;
      int hours;
      ~Finished() {
        range.hoursDone->store(hours + 1, std::memory_order_release);
        range.wake->notify_one();
      }
    } finished{ranges[i], TotalHours()};
    ReadHourlyRange(ranges[i]);
  };
  // Report the hours the ranges have passed, on average; a cancel asks the workers to stop.
  const auto watch = [&] {
    int reported = 0;
    while (reported < TotalHours()) {
      int64_t sum = 0;
      for (const auto& range : ranges)
        sum += std::min(TotalHours(), range.hoursDone->load(std::memory_order_acquire));
      const int passed = static_cast<int>(sum / static_cast<int64_t>(ranges.size()));
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
  };
  RunInParallel(ranges.size(), task, [&] { stop.store(true); }, watch, static_cast<size_t>(fCpuCount));
  for (const auto& range : ranges) fZeroValueCount += range.zeros;
  fTotalValueCount += int64_t{TotalHours()} * n * FPost.Count();
}

std::unique_ptr<TRecordRing> TPrReceptorList::OpenChunkSpans(int start, int n) const {
  // Where each worker's slice is a few thousand bytes of records many times longer (the chunks of a deep
  // percentile), a read costs as much as the bytes it brings: the workers read each record's span of the chunk
  // once, together, instead of each its own slice in a read of its own. Measured on the 75th percentile of
  // 10,000 receptors (five chunks, slices of 8 KB): 58,000 reads instead of 102,000, 0.94x the wall time.
  constexpr int64_t kMaxSpanBytes = int64_t{64} << 10;
  if (fCpuCount < 2 || FPost.Count() != 1 || !fHourlyFastPath) return nullptr;
  const int valueSize = fIsDoublePrecision ? 8 : 4;
  const int64_t spanBytes = int64_t{n} * valueSize;
  // Records of one size: known from the file (indexed alongside) or from an index without gaps.
  int64_t first = fStandardFirst, stride = fStandardStride;
  if (stride <= 0 && !fIndexStream) {
    const std::vector<int64_t>& positions = fHourBlocks.Positions;
    if (positions.size() < 2 || positions[0] < 0) return nullptr;
    first = positions[0];
    stride = positions[1] - positions[0];
    for (size_t h = 2; h < positions.size(); ++h)
      if (positions[h] != first + static_cast<int64_t>(h) * stride) return nullptr;
  }
  if (stride <= 0 || spanBytes > kMaxSpanBytes || 2 * spanBytes > stride) return nullptr;
  return TRecordRing::OpenSpans(fSettings.PostFile, first, stride, TotalHours(), kHourBatch,
                                PostReader->ValueBytesOffset() + int64_t{start} * valueSize, spanBytes);
}

void TPrReceptorList::RankReceptors(int from, int count) {
  // Which ranks the writers read: a store offered N values needs the same ranks whatever its receptor.
  std::vector<int> ranks;
  auto rankStore = [&](TSortedListStore& store) {
    ranks.clear();
    if (!fPlotWriters.empty() && NeededRanks(store.OfferedCount(), ranks))
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

void TPlotWriterBase::WriteOnThreads(TReceptorItems& aReceptors, int aStart, int aCount, const TPlotFile& plot,
                                     int /*threads*/) {
  TPlotRecords records(plot);
  Write(aReceptors, aStart, aCount, records);
}

void TPrReceptorList::WriteChunk(int start, int n) {
  if (fPlotWriters.size() == 1) {  // its receptors' lines are composed on every thread, a part each
    fPlotWriters.front()->WriteOnThreads(FReceptors, start, n, *fPlot, fCpuCount);
    return;
  }
  bool parallel = fPlotWriters.size() > 1 && fCpuCount > 1;
  for (const auto& writer : fPlotWriters) parallel = parallel && writer->CanWriteInParallel();
  if (!parallel) {
    TPlotRecords records(*fPlot);
    for (auto& writer : fPlotWriters) writer->Write(FReceptors, start, n, records);
    return;
  }
  // Group g takes writers g, g + groups, ..., a piece of receptors at a time: the writers of a group read the
  // same receptors' stores one after the other while they are still in the processor's cache.
  const size_t groups = std::min(fPlotWriters.size(), static_cast<size_t>(fCpuCount));
  constexpr int kPiece = 512;
  RunInParallel(groups, [&](size_t g) {
    TPlotRecords records(*fPlot);
    for (int from = start; from < start + n; from += kPiece)
      for (size_t w = g; w < fPlotWriters.size(); w += groups)
        fPlotWriters[w]->Write(FReceptors, from, std::min(kPiece, start + n - from), records);
  });
}

void TPrReceptorList::SortReceptorChunk(int start, int n) {
  const std::vector<TReceptorRange> ranges = SplitRange(start, n, fCpuCount);
  RunInParallel(ranges.size(), [&](size_t i) { RankReceptors(ranges[i].from, ranges[i].count); });
}

}  // namespace zorvik