#pragma once
// The receptor list: reads one 1-hour POSTFILE for every receptor of a PLOTFILE of the same run into value
// stores and hands the results, a chunk of receptors at a time, to plot writers.
//
// The POSTFILE is scanned once to index its hour records; then, per chunk of receptors that fits the memory
// budget, every indexed hour is read again taking only the chunk's slice of each output type's values. A
// finished chunk is ranked on all processors (a full sort, or only the ranks the writers ask for), handed to
// the plot writers in list order and freed. Every result is the same whatever the chunk size and thread count.
// A POSTFILE out of memory may be indexed on a thread of its own while the first chunk is read, the workers
// following it hour by hour (TReceptorListSettings::StreamIndex).
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <future>
#include <memory>
#include <memory_resource>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "engine/BlockStore.h"
#include "engine/ChunkArena.h"
#include "engine/EngineOptions.h"
#include "engine/HourIndex.h"
#include "engine/PercentItem.h"
#include "engine/ReceptorItem.h"
#include "engine/RecordRing.h"
#include "engine/Progress.h"
#include "post/PostTypes.h"

namespace zorvik {

class TAttributeCollectionRef;
class TBinPostReader;
class TPlotFile;
class TPlotRecords;
class TMeteoHours;

// A plot writer takes each finished chunk of receptors from the list, in receptor order.
class TPlotWriterBase {
 public:
  virtual ~TPlotWriterBase() = default;
  // Writes receptors aStart .. aStart + aCount - 1, whose PLOTFILE records `records` gives.
  virtual void Write(TReceptorItems& aReceptors, int aStart, int aCount, TPlotRecords& records) = 0;
  // As Write, with records from `plot`, for a writer that runs alone: a writer that can spread its work over
  // `threads` threads does so (by default Write does it all, on the calling thread).
  virtual void WriteOnThreads(TReceptorItems& aReceptors, int aStart, int aCount, const TPlotFile& plot,
                              int threads);
  // Writers that keep nothing shared between them while writing, so that several of them run on threads side
  // by side (each group with records of its own).
  virtual bool CanWriteInParallel() const { return false; }
  // Adds the ranks (1 = highest) this writer reads from a store offered `offered` values, or returns false
  // when it needs every store fully sorted.
  virtual bool AddNeededRanks(int offered, std::vector<int>& ranks) const = 0;
  // Whether the writer reads the dates of ranked values (stores of writers that do not may drop them).
  virtual bool NeedsDates() const { return true; }
  // Whether the writer reads the date of a rank it reads (AddNeededRanks) from a 1-hour store offered `offered`
  // values.
  virtual bool NeedsDatesOfRanks(int /*offered*/) const { return NeedsDates(); }
  // Completes the output (the PLOTFILE is renamed into place); without it the output is discarded.
  virtual void Commit() {}
};

struct TReceptorListSettings {
  std::string PlotFile;
  std::string PlotPath;  // folder of the PLOTFILEs to write, with a trailing separator; "" = PlotFile's
  std::string PostFile;
  TPostOutTypes Post;  // empty: detected from the file
  TCB_ProgressEX OnProgress;
  bool UseInterpolation = true;
  std::string MeteoFile;
  bool DoublePrecision = true;    // the caller's belief; detection may change it
  int64_t MemoryLimitBytes = 0;   // caps the chunk budget; 0 = 70 % of the free memory
  int MaxThreads = 0;             // caps the sorting threads; 0 = one per logical processor
  // Periods, rolling or block windows, zero values kept or only counted: every store of the run is built so.
  TEngineOptions Options;
  // Windows longer than an hour are read in parallel with per-receptor selection where the writers read a few
  // ranks only; false keeps the hour-by-hour fill (the reference the fast paths are tested against).
  bool ParallelWindows = true;
  // A POSTFILE not in the page cache is indexed while the first chunk of a 1-hour run is read, so that the run
  // keeps the disk's pace (never: the index is read first; always: also from memory, for tests). The index's
  // errors then come from Execute, and Warnings only after it. A run of one chunk then reads the file once, past
  // the page cache, where its file system allows (TRecordRing); AlwaysPastCache does so also from memory, for
  // tests and benchmarks. A POSTFILE in memory whose records are small (kSharedRecordBytes) is indexed alongside
  // too, from a ring that the workers fill from the page cache (TRecordRing::OpenShared): each record is then
  // copied once, for every worker and for the index; AlwaysShared does so whatever the records' size, for tests.
  enum class TStreamIndex { Never, WhenCold, Always, AlwaysPastCache, AlwaysShared };
  TStreamIndex StreamIndex = TStreamIndex::Never;
};

class TPrReceptorList {
 public:
  explicit TPrReceptorList(TReceptorListSettings settings);
  virtual ~TPrReceptorList();
  TPrReceptorList(const TPrReceptorList&) = delete;
  TPrReceptorList& operator=(const TPrReceptorList&) = delete;

  // Processes every receptor once; `data` describes the PLOTFILEs to write.
  void Execute(const std::vector<TPercentItem>& data);

  TPrReceptorItem* GetReceptor(int index);
  int ReceptorCount() const { return static_cast<int>(FReceptors.size()); }
  int TotalHours() const { return fHourBlocks.TotalHours(); }
  const std::string& GroupName() const { return fGroupName; }
  // The averaging period of the POSTFILE's records, in hours.
  int AveragePeriod() const { return fAveragePeriod; }
  int RecChunkCount() const { return fRecChunkCount; }
  // Receptors per pass and their number of passes; a run holding every value may lower them when it starts.
  int ChunkCount() const;
  int CpuCount() const { return fCpuCount; }
  int SkipHourBlocks() const { return fHourBlocks.SkipHourBlocks; }
  bool IsDoublePrecision() const { return fIsDoublePrecision; }
  TPostOutTypes PostOutTypes() const { return FPost; }
  int64_t ZeroValueCount() const { return fZeroValueCount; }
  int64_t TotalValueCount() const { return fTotalValueCount; }
  // Usable hours of the met file, or -1 without one.
  int MeteoUsableHours() const { return fMeteoUsableHours; }
  bool Aborted() const { return fProgress.Aborted(); }
  // What the load found worth telling but not fatal (hours missing between the POSTFILE's records), one line each,
  // for the caller to show; the list itself prints nothing.
  const std::vector<std::string>& Warnings() const;
  // True while the index is still being read alongside the run (see TReceptorListSettings::StreamIndex): its
  // warnings are known after Execute.
  bool IndexPending() const { return fIndexPending; }
  // Whether the run reads the POSTFILE past the page cache (see TStreamIndex): before Execute, whether it may.
  bool ReadsPastCache() const { return fReadPastCache || ActiveRingPastCache(); }
  const TAttributeCollectionRef& Header() const { return *fHeader; }
  const TAttributeCollectionRef& Fields() const { return *fFields; }
  // The PLOTFILE of the run, as read.
  const TPlotFile& Plot() const { return *fPlot; }

  // Bytes a chunk keeps per block value, and the estimate for all receptors (block values x bytes).
  static constexpr int64_t kBytesPerValue = 8;
  // Receptors of a worker range on the 1-hour paths, at most (see ProcessHourlyChunk). Each range reads its own
  // slice of every record: measured on the 98th percentile of 30,000 receptors (chunks of 15,000), two ranges of
  // 7,500 a chunk take 0.95x the time of four of 3,750, with fewer and larger reads.
  static constexpr int kRangeReceptors = 8000;
  // Hours a worker of the 1-hour paths reads before their values go to the receptors.
  static constexpr int kHourBatch = 32;
  // Records up to this size are read for every worker alike once the file is in the page cache (a shared ring).
  static constexpr int64_t kSharedRecordBytes = int64_t{16} << 10;
  // Receptors per chunk for a run of `values` block values over `receptors` receptors in `budget` bytes:
  // the whole list when it fits, otherwise the share that fits, at least one receptor.
  static int ChunkReceptors(int receptors, int64_t values, int64_t budget);

 protected:
  virtual void CreatePlotWriters(const std::vector<TPercentItem>& data);

  std::unique_ptr<TPlotFile> fPlot;
  std::unique_ptr<TAttributeCollectionRef> fHeader;
  std::unique_ptr<TAttributeCollectionRef> fFields;
  std::vector<std::unique_ptr<TPlotWriterBase>> fPlotWriters;
  bool fUseInterpolation;
  TPostOutTypes FPost;
  std::string PlotPath;
  bool fIsDoublePrecision;
  TReceptorItems FReceptors;

 private:
  static TPlotFile ReadReceptorPlotFile(const std::string& plotFile);
  void ExtractReceptors(TPlotFile plot);
  TPostOutTypes GetPostOptions(const std::string& postFile, TPostOutTypes post, int receptorCount);
  void SizeReceptorChunk();
  void LimitWholeSeriesChunk();
  // Lowers the receptors per chunk to at most `receptors` (at least 1), in chunks of about one size.
  void LimitChunk(int receptors);
  void LimitSelectedChunk(int deepest);
  // Whether ranks down to `deepest` are deep enough for the 1-hour path to select them a column of hours at a
  // time (with a ceiling from the sample where they are placed alone).
  bool DeepSelection(int deepest) const;
  // The words each selector of the 1-hour path holds for ranks down to `deepest`.
  static uint32_t HourlySelectorWords(int deepest);
  // The same for the ranges read from a ring (no floors), whose `series` selectors in all share a chunk's words.
  static uint32_t RingSelectorWords(int deepest, size_t series);
  // The words each selector of the 1-hour path takes when its range is sampled first (HourlySelectorWords, or
  // more where the sample gives a floor and no ceiling).
  uint32_t SelectedWords(int deepest) const;
  // The sample of a range's hours for ranks down to `deepest` (and from `shallowest`, for a ceiling; `fromDisk`
  // where it is read past the page cache): every `stride`-th hour, `samples` in all; the floor is its series'
  // value at floorRank, the ceiling at ceilingRank (0: none). samples is 0 where a sample would tell too little
  // (few hours, zeros skipped).
  struct TSamplePlan {
    int stride = 0;
    int samples = 0;
    int floorRank = 0;
    int ceilingRank = 0;
  };
  TSamplePlan PlanSample(int deepest, int shallowest, bool fromDisk = false) const;
  // The shallowest rank that a ceiling may bound for ranks down to `deepest`, placed alone as `exactRanks`
  // (see ExactRanks; 0: none).
  int ShallowestForCeiling(int deepest, std::span<const int> exactRanks) const;
  // The memory of the selectors' words of a chunk of the ranked-entries path.
  static constexpr int64_t kSelectedChunkBytes = int64_t{48} << 20;
  void ProcessReceptorsChunk();
  struct THourlyRange {
    int from = 0;
    int count = 0;
    std::atomic<int>* hoursDone = nullptr;
    std::atomic<bool>* stop = nullptr;
    std::condition_variable* wake = nullptr;
    int64_t zeros = 0;
    const TRecordRing* ring = nullptr;  // the file read past the page cache, hoursDone counting as passed records
  };
  void ProcessHourlyChunk(int start, int n);
  // Starts the index on a thread of its own when the settings ask for it and the file allows it; false when the
  // index is to be read first.
  bool StartIndexStream(TPostOutTypes headerTypes, const THourIndexMeteo& meteo);
  // Waits for the index to be read to its end and raises its error, if any.
  void FinishIndex();
  // The run reads through the page cache after all: the ring stops, and the file is brought into the cache.
  void LeaveRing();
  // Waits for the chunk being written alongside (if any); its error is raised with `raise`, dropped without.
  void FinishChunkWrite(bool raise);
  // A ring over the span of receptors start .. start + n - 1 of every record, shared by the chunk's workers,
  // where their slices are small parts of long records; null otherwise.
  std::unique_ptr<TRecordRing> OpenChunkSpans(int start, int n) const;
  // The ring while the first chunk may still read from it, or null.
  TRecordRing* ActiveRing() const { return fRing && !fRing->Detached() ? fRing.get() : nullptr; }
  // Whether that ring reads past the page cache (not a shared one).
  bool ActiveRingPastCache() const { return ActiveRing() != nullptr && !fRing->Shared(); }
  // Waits until the index holds the hours before `hours` (at once when it is complete); false when the index
  // ended before them (its error tells why) or the range was asked to stop.
  bool WaitForHours(int hours, const THourlyRange& range) const;
  void ReadHourlyRange(THourlyRange& range);
  void ReadHourlySelected(THourlyRange& range, int deepest);
  // Per series of a range, from a sample of the hours: a floor that its deepest rank should lie above and, with
  // a shallowest rank, a ceiling that this rank should lie below (+infinity where the sample says nothing).
  struct TSeriesBounds {
    std::vector<float> Floors;    // empty: none
    std::vector<float> Ceilings;  // empty: none
  };
  // Empty bounds when there is nothing to gain (few hours, zeros skipped) or the run was stopped.
  TSeriesBounds SampleBounds(THourlyRange& range, int deepest, int shallowest);
  // One reading of the range within the bounds, placing `ranks` alone (ExactRanks) or, when empty, every rank
  // down to the deepest; false when a bound proved wrong (the series did not keep every rank asked for).
  bool ReadHourlySelectedPass(THourlyRange& range, int deepest, std::span<const int> ranks,
                              const TSeriesBounds& bounds);
  // The pass with selectors of words of TWord (see detail::TLowestWordsOf).
  template <class TWord>
  bool ReadHourlySelectedPassOf(THourlyRange& range, int deepest, std::span<const int> ranks,
                                const TSeriesBounds& bounds);
  // The bytes of a selector's word: 4 where no writer reads the dates of the ranks it reads (the hours then need
  // no place in the words), 8 otherwise.
  size_t SelectorWordBytes() const;
  void ReadWindowsSelected(THourlyRange& range, int deepest);
  // The ranks (1 = highest; ascending, each once) the writers read from a store offered `offered` values, added
  // to `ranks`; false when one of them needs every value in order.
  bool NeededRanks(int offered, std::vector<int>& ranks) const;
  // The needed ranks of a 1-hour store when the writers read only them (few, deep enough, zeros not skipped), in
  // `ranks`; false (and `ranks` empty) when every rank down to the deepest must be placed.
  bool ExactRanks(int offered, int deepest, std::vector<int>& ranks) const;
  // The deepest rank the writers read from a 1-hour store, or -1 when one of them needs every value in order.
  int DeepestNeededRank() const;
  // The same for the window stores of every period (rolling or block), or -1 when they are better filled
  // hour by hour.
  int DeepestNeededWindowRank() const;
  void RankReceptors(int from, int count);
  void ReadHourBlock(int h, int start, int n);
  void SortReceptorChunk(int start, int n);
  // Hands the chunk to the plot writers: one after another, or, when every writer can, in groups on threads,
  // each group writing from records of its own.
  void WriteChunk(int start, int n);
  // Raises the error for the first of `count` stored values at `values` that cannot be read: they are the values
  // of receptors firstReceptor... of output type `type`, `skip` bytes into the values of the record at recordPos.
  [[noreturn]] void RaiseBadValue(int64_t recordPos, int skip, const uint8_t* values, int count, int firstReceptor,
                                  TPostOutType type, int32_t date) const;

  TReceptorListSettings fSettings;
  std::unique_ptr<TBinPostReader> PostReader;
  std::unique_ptr<TMeteoHours> FMeteoData;
  int fMeteoUsableHours = -1;
  THourIndex fHourBlocks;
  TProgressReporter fProgress;
  int fRecChunkCount = 0;
  int fRecStart = 0;
  int fCpuCount = 1;
  int64_t fZeroValueCount = 0;
  int64_t fTotalValueCount = 0;
  std::string fGroupName;
  int fAveragePeriod = 0;
  bool fHourlyFastPath = false;
  int fWindowDeepest = -1;  // >= 0: this run's windows are read in parallel, selecting down to this rank
  std::array<TChunkArena, 2> fArenas;  // the values of the 1-hour path, reused every other chunk
  std::future<void> fChunkWrite;        // the writing of the chunk before the one being read
  TBlockPool fSelectorMemory;  // the selectors' words of the ranked-entries path, reused range after range
  // The index being read alongside the run, and how its reading ended; the thread comes last, so that it stops
  // before anything it writes into goes.
  std::unique_ptr<THourIndexStream> fIndexStream;
  std::exception_ptr fIndexError;
  bool fIndexPending = false;
  // Where each record of a file of records of one size lies, for a sample taken from the page cache while the
  // index is still being read (a stride of 0: not known).
  int64_t fStandardFirst = 0;
  int64_t fStandardStride = 0;
  // A POSTFILE read past the page cache, for the index and the first chunk's workers; or, once they read the
  // file after all, the thread that brings it into the cache.
  std::unique_ptr<TRecordRing> fRing;
  std::unique_ptr<TReadThrough> fReadThrough;
  bool fReadPastCache = false;  // a chunk was read from the ring
  std::jthread fIndexThread;
};

}  // namespace zorvik
