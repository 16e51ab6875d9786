// The readers of a receptor list: how the values of a chunk's receptors get from the POSTFILE into their stores.
// - ReadHourBlock: hour by hour into every block store (any period, rolling or not), one thread.
// - ReadHourlyRange: the 1-hour path of one worker thread over its range of receptors; whole series, or with
//   ReadHourlySelected only the few highest entries that the writers read.
#include <algorithm>
#include <array>
#include <bit>
#if defined(__SSE2__)
#include <immintrin.h>
#endif
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <span>
#include <vector>

#include "engine/ChunkArena.h"
#include "engine/LaneRanks.h"
#include "engine/PostPercent.h"
#include "engine/RecordRing.h"
#include "engine/SliceSweep.h"
#include "meteo/MeteoHours.h"
#include "post/PostBinReader.h"
#include "post/PostChecks.h"
#include "util/DateKey.h"
#include "util/FileStream.h"

namespace zorvik {

namespace {
// Ranks at least this share of the hours deep are selected a column of hours at a time.
constexpr int kColumnShare = 16;

using TFloat4 = float __attribute__((vector_size(16)));
using TInt4 = int __attribute__((vector_size(16)));
constexpr size_t kTile = kSweepTile;
static_assert(kTile < 32, "a tile's lanes are bits of a 32-bit word");

inline TFloat4 Load4(const float* p) {
  TFloat4 v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// Eight lanes a vector: on processors with AVX2 each is one register, elsewhere the compiler pairs SSE ones.
using TFloat8 = float __attribute__((vector_size(32)));

// Window values of a row of n receptors: rows[i] is the i-th hour of the window (oldest first), each a row of
// receptors. Every receptor adds its hours in window order, in single precision, so each value is exactly the
// sum a block store forms; averages divide once by the window's divisor. Sixty-four receptors go at a time:
// their eight sums do not wait on one another, so the additions overlap.
__attribute__((target_clones("avx2", "default"))) void WindowRow(const float* const* rows, int hours, size_t n,
                                                                  bool average, float divisor, float* out) {
  constexpr size_t kVectors = 8;
  constexpr size_t kWide = kVectors * 8;
  const TFloat8 by = {divisor, divisor, divisor, divisor, divisor, divisor, divisor, divisor};
  size_t j0 = 0;
  for (; j0 + kWide <= n; j0 += kWide) {
    TFloat8 sum[kVectors];
#pragma GCC unroll 8
    for (size_t v = 0; v < kVectors; ++v) std::memcpy(&sum[v], rows[0] + j0 + 8 * v, sizeof(TFloat8));
    for (int i = 1; i < hours; ++i) {
      const float* row = rows[i] + j0;
#pragma GCC unroll 8
      for (size_t v = 0; v < kVectors; ++v) {
        TFloat8 x;
        std::memcpy(&x, row + 8 * v, sizeof x);
        sum[v] += x;
      }
    }
#pragma GCC unroll 8
    for (size_t v = 0; v < kVectors; ++v) {
      if (average) sum[v] /= by;
      std::memcpy(out + j0 + 8 * v, &sum[v], sizeof(TFloat8));
    }
  }
  for (; j0 < n; ++j0) {
    float sum = rows[0][j0];
    for (int i = 1; i < hours; ++i) sum += rows[i][j0];
    out[j0] = average ? sum / divisor : sum;
  }
}

// Whether any of the kTile values is at least its limit.
inline bool AnyAtLeast(const float* values, const float* limits) {
#if defined(__SSE2__)
  __m128 any = _mm_cmpge_ps(_mm_loadu_ps(values), _mm_loadu_ps(limits));
  for (size_t i = 4; i < kTile; i += 4) any = _mm_or_ps(any, _mm_cmpge_ps(_mm_loadu_ps(values + i), _mm_loadu_ps(limits + i)));
  return _mm_movemask_ps(any) != 0;
#else
  TInt4 any = {0, 0, 0, 0};
  for (size_t i = 0; i < kTile; i += 4) any |= Load4(values + i) >= Load4(limits + i);
  int lanes[4];
  std::memcpy(lanes, &any, sizeof lanes);
  return (lanes[0] | lanes[1] | lanes[2] | lanes[3]) != 0;
#endif
}

// Offers value v of position h to a receptor's selector: a value that reaches its limit goes to the selector,
// whose new limit is noted (a limit never falls: it may start from a floor above the selector's). With skipZeros,
// zero values are not offered.
template <class TSelect>
inline void OfferValue(float v, uint32_t h, TSelect& select, float& limit, bool skipZeros) {
  if (v < limit || (skipZeros && v <= kZeroFloat)) return;
  select.Offer(v, h);
  limit = std::max(limit, select.LimitValue());
}
// Offers the values of `lanes` (a bit per value, from the first; one value per receptor) of position h to the
// receptors' selectors.
template <class TSelect>
inline void OfferMarked(const float* values, uint32_t lanes, uint32_t h, TSelect* select, float* limit,
                        bool skipZeros) {
  for (; lanes != 0; lanes &= lanes - 1) {
    const auto j = static_cast<size_t>(std::countr_zero(lanes));
    OfferValue(values[j], h, select[j], limit[j], skipZeros);
  }
}

// The value of receptor j of a slice as the sweep decodes it (a double rounded to single precision).
inline float SliceValue(const uint8_t* slice, size_t j, bool doublePrecision) {
  if (doublePrecision) {
    double v;
    std::memcpy(&v, slice + 8 * j, sizeof v);
    return static_cast<float>(v);
  }
  float v;
  std::memcpy(&v, slice + 4 * j, sizeof v);
  return v;
}

// Offers the values of the tiles a sweep listed (see TSliceSweep) to their selectors, as OfferMarked does, in
// the same order. The selectors of a few thousand receptors do not stay in the processor's cache, and each offer
// would wait for its selector's line and then for the line its word goes to: both are asked for a few values
// ahead. `pending` has room for a value per receptor.
template <class ValueAt, class TSelect>
inline void OfferListed(ValueAt&& valueAt, const uint32_t* tiles, const uint32_t* lanes, int listed, uint32_t h,
                        TSelect* select, float* limit, bool skipZeros, uint32_t* pending) {
  size_t count = 0;
  for (int t = 0; t < listed; ++t)
    for (uint32_t l = lanes[t]; l != 0; l &= l - 1) {
      const uint32_t j = tiles[t] + static_cast<uint32_t>(std::countr_zero(l));
      pending[count++] = j;
      __builtin_prefetch(&select[j], 1);
    }
  constexpr size_t kSlotAhead = 8;
  for (size_t p = 0; p < std::min(count, kSlotAhead); ++p) select[pending[p]].PrefetchSlot();
  for (size_t p = 0; p < count; ++p) {
    if (p + kSlotAhead < count) select[pending[p + kSlotAhead]].PrefetchSlot();
    const uint32_t j = pending[p];
    OfferValue(valueAt(j), h, select[j], limit[j], skipZeros);
  }
}

// Offers a tile of at most kTile values: a full tile whose values are all below their limits costs one vector
// comparison. With skipZeros, zero values are not counted in `kept` either.
template <class TSelect>
inline void OfferTile(const float* values, size_t width, uint32_t h, TSelect* select, float* limit, int* kept,
                      bool skipZeros) {
  if (skipZeros)
    for (size_t j = 0; j < width; ++j) kept[j] += values[j] > kZeroFloat;
  if (width == kTile && !AnyAtLeast(values, limit)) return;
  OfferMarked(values, (1u << width) - 1, h, select, limit, skipZeros);
}

// The output types the file holds, in their fixed order (the order of their values in a record).
std::vector<TPostOutType> TypeList(TPostOutTypes types) {
  std::vector<TPostOutType> list;
  for (const TPostOutType t : kAllPostOutTypes)
    if (types.Contains(t)) list.push_back(t);
  return list;
}

// The zero values of series that each read `hoursRead` hours, from their counts of values above the zero limit.
int64_t ZeroValues(int hoursRead, const std::vector<int32_t>& nonZero) {
  int64_t zeros = int64_t{hoursRead} * static_cast<int64_t>(nonZero.size());
  for (const int32_t count : nonZero) zeros -= count;
  return zeros;
}

// The set bits of a word, inline: without a processor flag for it, std::popcount is a library call.
inline uint32_t BitCount(uint32_t x) {
#if defined(__POPCNT__)
  return static_cast<uint32_t>(std::popcount(x));
#else
  x -= (x >> 1) & 0x55555555u;
  x = (x & 0x33333333u) + ((x >> 2) & 0x33333333u);
  return (((x + (x >> 4)) & 0x0F0F0F0Fu) * 0x01010101u) >> 24;
#endif
}

// Appends to a selector the words of the hours of one receptor's column of an hour batch (values `stride`
// apart, of positions `first` on) that `hours` marks (a bit per hour, from the first), other than those at or
// above its limit (with skipZeros, other than zero values). The marked hours are together in the selector's
// buffer, so that its lines are written once, not an entry at a time across the hours.
template <class TWord>
inline void AppendMarked(const float* column, size_t stride, uint32_t hours, uint32_t first,
                         detail::TLowestWordsOf<TWord>& select, bool skipZeros) {
  TWord* out = select.Room(BitCount(hours));
  const TWord limit = select.LimitWord();
  uint32_t kept = 0;
  for (; hours != 0; hours &= hours - 1) {
    const auto b = static_cast<uint32_t>(std::countr_zero(hours));
    const float v = column[b * stride];
    const TWord word = detail::TLowestWordsOf<TWord>::WordOf(v, first + b);
    out[kept] = word;
    kept += static_cast<uint32_t>((word < limit) & (!skipZeros | (v > kZeroFloat)));
  }
  select.Appended(kept);
  // The next batch's words for this selector go on from here, into a line no write has brought in yet: asking
  // for it now hides the wait (measured on the 75th percentile of 10,000 receptors: 6 % less processor time).
  __builtin_prefetch(out + kept + 8, 1);
}

// A worker's slices of the records of an hour batch (one per output type and hour). Records of a few thousand
// receptors hold little besides a worker's slices, and a read costs about a microsecond before its first byte:
// where a batch's records lie one after the other and the bytes between the slices are few, the batch comes in
// one read and each slice is taken from it; otherwise each slice is read on its own. With a ring that reads the
// file past the page cache, the slices are taken where the ring holds them, as long as it does.
class TBatchSlices {
 public:
  // Slices of sliceBytes bytes at `firstSkip` bytes into each record's values, then every typeStride bytes for
  // the further output types (types in all).
  TBatchSlices(TBinPostReader& reader, const int64_t* positions, int firstSkip, int sliceBytes, int typeStride,
               int types, const TRecordRing* ring = nullptr)
      : fRing(ring),
        fValuesAt(reader.ValueBytesOffset()),
        fReader(reader),
        fPositions(positions),
        fFirstSkip(firstSkip),
        fSliceBytes(sliceBytes),
        fSpanPerRecord(int64_t{typeStride} * (types - 1) + sliceBytes),
        fSingle(std::make_unique_for_overwrite<uint8_t[]>(static_cast<size_t>(sliceBytes))) {}

  // Hours h0 .. h0 + hours - 1 come next (the hours before h0 are passed: see TRecordRing::AddReader).
  void Batch(int h0, int hours) {
    fBatched = false;
    fRinged = fRing && fRing->WaitRecords(h0 + hours);
    if (fRinged || hours < 2 || fPositions[h0] < 0) return;
    const int64_t stride = fPositions[h0 + 1] - fPositions[h0];
    if (stride <= 0 || stride - fSpanPerRecord > kFewBytes) return;
    for (int b = 2; b < hours; ++b)
      if (fPositions[h0 + b] != fPositions[h0] + b * stride) return;
    const int64_t bytes = (hours - 1) * stride + fSpanPerRecord;
    if (bytes > kMaxBatchBytes) return;
    if (static_cast<int64_t>(fBatch.size()) < bytes) fBatch.resize(static_cast<size_t>(bytes));
    // A file that ends early is met by the reads of single slices, which report it with its place.
    fBatched = fReader.ReadValueSpan(fPositions[h0], fFirstSkip, bytes, fBatch.data());
    fFirst = fPositions[h0];
  }
  // The slice of the record at recordPos (of the batch) at `skip` bytes into its values.
  const uint8_t* Slice(int64_t recordPos, int skip) {
    if (fRinged)
      if (const uint8_t* slice = fRing->Bytes(recordPos + fValuesAt + skip, fSliceBytes)) return slice;
    if (fBatched) return fBatch.data() + (recordPos - fFirst) + (skip - fFirstSkip);
    fReader.ReadRecordValues(recordPos, skip, fSliceBytes, fSingle.get());
    return fSingle.get();
  }

 private:
  static constexpr int64_t kFewBytes = 8 << 10;        // beyond the slices, per record
  static constexpr int64_t kMaxBatchBytes = 1 << 20;  // a batch read stays in the processor's cache
  const TRecordRing* fRing;
  int fValuesAt;  // bytes from a record's start to its values
  bool fRinged = false;
  TBinPostReader& fReader;
  const int64_t* fPositions;
  int fFirstSkip;
  int fSliceBytes;
  int64_t fSpanPerRecord;
  std::unique_ptr<uint8_t[]> fSingle;
  std::vector<uint8_t> fBatch;
  bool fBatched = false;
  int64_t fFirst = 0;
};

// One selector per receptor and series of a worker's range, over one block of words.
template <class TWord>
class TSelectors {
  using TSelect = detail::TLowestWordsOf<TWord>;
  static constexpr bool kPositions = sizeof(TWord) == sizeof(uint64_t);

 public:
  // Each selector gathers up to `capacity` (> m) entries between cuts: a larger block cuts less often, a smaller
  // one raises the entry limit sooner and stays in cache. With a pool, the words come from it and go back to it.
  TSelectors(size_t count, uint32_t m, uint32_t capacity, TBlockPool* pool = nullptr)
      : fCapacity(capacity),
        fPool(pool),
        fBlock(pool ? pool->Take(count * fCapacity * sizeof(TWord))
                    : std::make_unique<TMappedBlock>(count * fCapacity * sizeof(TWord))),
        fWords(static_cast<TWord*>(fBlock->Data())) {
    fLowest.reserve(count);
    for (size_t i = 0; i < count; ++i) fLowest.emplace_back(&fWords[i * fCapacity], fCapacity, m);
  }
  ~TSelectors() {
    if (fPool) fPool->Give(std::move(fBlock));
  }
  TSelectors(const TSelectors&) = delete;
  TSelectors& operator=(const TSelectors&) = delete;
  TSelect* Data() { return fLowest.data(); }
  TSelect& operator[](size_t i) { return fLowest[i]; }
  const TSelect& operator[](size_t i) const { return fLowest[i]; }
  // Hands selector i's kept entries, highest first, to `store`, with the dates of their hours (0 for keys alone).
  // With `exactRanks` (1 to TSortedListStore::kMaxExactRanks of them), only those ranks are placed: the store
  // answers them alone. `skipped` entries rank above the selector's (counted, not offered).
  void Assign(size_t i, TSortedListStore& store, const std::vector<int32_t>& hourDates, int kept, int offered,
              std::span<const int> exactRanks = {}, int skipped = 0) {
    std::array<int, TSortedListStore::kMaxExactRanks> within{};
    for (size_t k = 0; k < exactRanks.size(); ++k) within[k] = exactRanks[k] - skipped;
    const uint32_t count = exactRanks.empty() ? fLowest[i].Finish()
                                              : fLowest[i].FinishAtRanks({within.data(), exactRanks.size()});
    fValues.resize(count);
    fDates.resize(count);
    const auto take = [&](uint32_t e) {
      const TWord word = fWords[i * fCapacity + e];
      fValues[e] = TSelect::ValueOf(word);
      fDates[e] = kPositions ? hourDates[TSelect::PositionOf(word)] : 0;
    };
    // The store reads the entries of the exact ranks alone: the others are not decoded.
    if (exactRanks.empty())
      for (uint32_t e = 0; e < count; ++e) take(e);
    else
      for (size_t k = 0; k < exactRanks.size(); ++k)
        if (within[k] >= 1 && static_cast<uint32_t>(within[k]) <= count) take(static_cast<uint32_t>(within[k] - 1));
    if (exactRanks.empty())
      store.AssignRanked(fValues, fDates, kept, offered);
    else
      store.AssignAtRanks(fValues, fDates, kept, offered, exactRanks, skipped);
  }

 private:
  uint32_t fCapacity;
  TBlockPool* fPool;
  std::unique_ptr<TMappedBlock> fBlock;
  TWord* fWords;
  std::vector<TSelect> fLowest;
  std::vector<float> fValues;
  std::vector<int32_t> fDates;
};
}  // namespace

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

bool TPrReceptorList::DeepSelection(int deepest) const {
  return static_cast<int64_t>(deepest) * kColumnShare >= TotalHours();
}

// The 1-hour path when the writers read only a few ranks: each hour's slice of the worker's receptors is
// offered to one selector per receptor and type, which keeps only the entries down to the deepest rank asked
// for. No receptor's series is ever held whole: memory is about a word per kept rank, and the stores receive the
// ranked entries at the end (TSortedListStore::AssignRanked, or AssignAtRanks for the ranks alone).
//
// Most of the cost is in the values that enter a selector before its limit has risen. A first look at every
// 17th hour (every 7th under a ceiling, see PlanSample) gives each series a floor that its deepest rank lies
// above, so that values below it are never offered, and for deep ranks placed alone a ceiling that its
// shallowest rank lies below, so that values above it are only counted. Both are checked afterwards (the series
// must still have kept `deepest` entries, and fewer values than the shallowest rank may have reached the
// ceiling), and a range where one was wrong is read again without them. The result is the same either way.
void TPrReceptorList::ReadHourlySelected(THourlyRange& range, int deepest) {
  // The ranks the writers read (the same for every store: each is offered every hour). Where they are few and
  // deep, only they are placed, not every rank above them; deep ranks placed alone also take a ceiling from the
  // sample, the values above it being only counted.
  std::vector<int> exactRanks;
  ExactRanks(TotalHours(), deepest, exactRanks);
  const TSeriesBounds bounds = SampleBounds(range, deepest, ShallowestForCeiling(deepest, exactRanks));
  if (ReadHourlySelectedPass(range, deepest, exactRanks, bounds) || bounds.Floors.empty()) return;
  // Read again from the file: the ring has gone on, and this range has passed all its records.
  THourlyRange again = range;
  std::atomic<int> hoursAgain{0};
  again.ring = nullptr;
  again.hoursDone = &hoursAgain;
  ReadHourlySelectedPass(again, deepest, exactRanks, {});
  range.zeros = again.zeros;
}

TPrReceptorList::TSamplePlan TPrReceptorList::PlanSample(int deepest, int shallowest, bool fromDisk) const {
  // Strides prime to the 24 hours of a day. Between a floor and a ceiling every value is kept, in a band whose
  // width goes with the square root of the stride: there a denser sample pays for itself, unless it is read
  // from the disk (measured on the 75th percentile of 10,000 receptors: 0.95x the time with every 7th hour
  // instead of every 17th; the 98th percentile, without a ceiling, takes 1.07x with it).
  const int stride = shallowest > 0 && !fromDisk ? 7 : 17;
  constexpr int kMinSamples = 64;  // fewer say too little about a series
  TSamplePlan plan;
  plan.stride = stride;
  const int hoursTotal = TotalHours();
  plan.samples = (hoursTotal + stride - 1) / stride;
  if (fSettings.Options.fSkipZeroValues || plan.samples < kMinSamples) return {};
  // The floor is the sample's value at about twice the rank where the deepest rank should fall, plus a margin;
  // for deep ranks, where twice is far more than the sample's spread calls for, six standard deviations of the
  // sample's count above that rank (a binomial count) plus the margin.
  // A ceiling mirrors it: six standard deviations and the margin below where the shallowest rank should fall.
  const auto sampleRank = [&](int r, double& spread) {
    const double expected = static_cast<double>(r) * plan.samples / hoursTotal;
    spread = std::sqrt(expected * (1.0 - static_cast<double>(r) / hoursTotal));
    return expected;
  };
  double spread = 0.0;
  double expected = sampleRank(deepest, spread);
  const double wanted = std::min(2.0 * expected, expected + 6.0 * spread) + 8.0;
  plan.floorRank = std::min(plan.samples, static_cast<int>(wanted));
  expected = shallowest > 0 ? sampleRank(shallowest, spread) : 0.0;
  const auto ceilingRank = static_cast<int>(std::floor(expected - 6.0 * spread - 8.0));
  if (ceilingRank >= 1 && ceilingRank < plan.floorRank) plan.ceilingRank = ceilingRank;
  return plan;
}

int TPrReceptorList::ShallowestForCeiling(int deepest, std::span<const int> exactRanks) const {
  return DeepSelection(deepest) && !exactRanks.empty() ? exactRanks.front() : 0;
}

uint32_t TPrReceptorList::SelectedWords(int deepest) const {
  const uint32_t words = HourlySelectorWords(deepest);
  // Deep ranks without a ceiling (placed together with shallow ones) keep every value above their series' floor:
  // room for about all of them, so that the pass seldom cuts. Measured on the 98th, 99th, 90th and 75th
  // percentiles of 10,000 receptors: 7 % less time, in a little less memory (the chunks are smaller).
  if (!DeepSelection(deepest)) return words;
  std::vector<int> exactRanks;
  ExactRanks(TotalHours(), deepest, exactRanks);
  const TSamplePlan plan = PlanSample(deepest, ShallowestForCeiling(deepest, exactRanks));
  if (plan.samples == 0 || plan.ceilingRank > 0) return words;
  const int64_t aboveFloor = int64_t{plan.floorRank} * TotalHours() / plan.samples;
  return std::max<uint32_t>(words, static_cast<uint32_t>(std::min<int64_t>(aboveFloor + aboveFloor / 20,
                                                                           TotalHours())));
}

TPrReceptorList::TSeriesBounds TPrReceptorList::SampleBounds(THourlyRange& range, int deepest, int shallowest) {
  const int hoursTotal = TotalHours();
  // A range read from a ring past the page cache takes its sample from the disk, before the ring gets there: a
  // seventeenth of its slices. Without a sample every series would offer its selector a tenth of its values or
  // more while its limit rises.
  const bool fromDisk = range.ring && !range.ring->Shared();
  const TSamplePlan plan = PlanSample(deepest, shallowest, fromDisk);
  if (plan.samples == 0) return {};

  // An index still being read alongside would keep the sample waiting for its end. The sample takes each hour's
  // record where a file of records of one size has it (the bounds are checked afterwards, whatever they came
  // from); otherwise the run goes at the index's pace. The hours a met file marks calm or missing count as 0
  // whatever the record holds: the hours follow each other from the first record's, and each is looked up as
  // the index would. (Taking the records' own values there set floors that did not hold, and every range was
  // read again: the 98th percentile of 10,000 receptors took 4x the time with a met file of 22 % such hours
  // over records that held values in them.)
  std::vector<int64_t> predicted;
  if (fIndexStream && fIndexStream->Ready.load(std::memory_order_acquire) < hoursTotal) {
    if (!fRing && fStandardStride <= 0) return {};
    if (FMeteoData && !WaitForHours(1, range)) return {};
    const int64_t first = fRing ? fRing->First() : fStandardFirst;
    const int64_t stride = fRing ? fRing->Stride() : fStandardStride;
    predicted.resize(static_cast<size_t>(hoursTotal));
    int32_t date = FMeteoData ? fHourBlocks.RecordDates[0] : 0;
    for (int h = 0; h < hoursTotal; ++h) {
      const bool calm = FMeteoData && !FMeteoData->IsExist(date);
      predicted[static_cast<size_t>(h)] = calm ? -1 : first + int64_t{h} * stride;
      if (FMeteoData) date = AdvanceDateOneHour(date);
    }
  }
  const auto rank = static_cast<uint32_t>(plan.floorRank);
  const auto ceilingRank = static_cast<uint32_t>(plan.ceilingRank);
  const int valueSize = fIsDoublePrecision ? 8 : 4;
  const size_t n = static_cast<size_t>(range.count);
  const auto types = static_cast<size_t>(FPost.Count());
  const size_t selectors = n * types;
  // Every sampled value is kept as a 16-bit key (see LaneRanks.h), the series of a type side by side in blocks of
  // kRankLanes (each type's series padded to whole blocks): block b holds, per sampled hour, the keys of its
  // series. Their floors and ceilings then take a few vector passes over each block. The block of memory is one
  // of the pass's size, which the pass then finds in the pool (this thread holds one block at a time): the
  // sample takes no fresh memory of its own.
  const size_t samples = static_cast<size_t>(plan.samples);
  if (samples > kMaxRankRows) return {};
  const size_t padded = (n + kRankLanes - 1) / kRankLanes * kRankLanes;
  const size_t sampleBytes = types * padded * samples * sizeof(int16_t);
  std::unique_ptr<TMappedBlock> memory =
      fSelectorMemory.Take(std::max(sampleBytes, selectors * SelectedWords(deepest) * SelectorWordBytes()));
  const struct GiveBack {
    TBlockPool& pool;
    std::unique_ptr<TMappedBlock>& block;
    ~GiveBack() { pool.Give(std::move(block)); }
  } giveBack{fSelectorMemory, memory};
  auto* const sampled = static_cast<int16_t*>(memory->Data());
  std::vector<double> sums(n);  // the sweep's, not needed here
  std::vector<int32_t> nonZero(n);
  TBinPostReader reader(fSettings.PostFile, FPost, nullptr, 1.0, fIsDoublePrecision, ReceptorCount(), true);
  const auto raw = std::make_unique_for_overwrite<uint8_t[]>(n * static_cast<size_t>(valueSize));
  const auto row = std::make_unique_for_overwrite<float[]>(n);
  std::vector<int16_t> keys(padded, 0);
  uint32_t tile = 0, lanes = 0;  // the sweep lists nothing here
  const int64_t* positions = predicted.empty() ? fHourBlocks.Positions.data() : predicted.data();
  // Where the range's slice of output type k lies in a record's values.
  const auto skipOf = [&](size_t k) { return (range.from + static_cast<int>(k) * ReceptorCount()) * valueSize; };
  {
    // Every slice of the sample is asked for at once (read-ahead hints): a disk serves them together instead of
    // one read after the other, and slices in memory cost next to nothing. Measured on 10,000 receptors read
    // cold: the 98th percentile in 1.18x the time of reading the file past the cache (instead of 1.42x with one
    // direct read after the other, 9 rounds), the 75th in 1.43x instead of 1.6x; no change when in memory.
    TFileStream hints(fSettings.PostFile);
    for (int h = 0; h < hoursTotal; h += plan.stride)
      if (positions[h] >= 0)
        for (size_t k = 0; k < types; ++k)
          hints.WillNeed(positions[h] + reader.ValueBytesOffset() + skipOf(k), int64_t{range.count} * valueSize);
  }
  size_t s = 0;
  for (int h = 0; h < hoursTotal; h += plan.stride, ++s) {
    if (range.stop->load(std::memory_order_relaxed)) return {};
    for (size_t k = 0; k < types; ++k) {
      if (positions[h] < 0) {
        std::fill(row.get(), row.get() + n, 0.0f);  // a calm hour: value 0
      } else {
        reader.ReadRecordValues(positions[h], skipOf(k), range.count * valueSize, raw.get());
        // An unreadable value (or piece) is reported by the full pass, with its place.
        const TSliceSweep decode{nullptr, sums.data(), nonZero.data(), row.get(), &tile, &lanes};
        if (SweepSlice(raw.get(), n, fIsDoublePrecision, decode) < 0) return {};
      }
      SampleKeys(row.get(), n, keys.data());
      for (size_t j0 = 0; j0 < n; j0 += kRankLanes)
        std::memcpy(&sampled[((k * padded + j0) / kRankLanes * samples + s) * kRankLanes], &keys[j0],
                    kRankLanes * sizeof(int16_t));
    }
  }
  // Only the floor's rank and the ceiling's are found, not an order of the sampled values.
  const bool ceilings = ceilingRank > 0;
  TSeriesBounds bounds;
  bounds.Floors.assign(selectors, -std::numeric_limits<float>::infinity());
  if (ceilings) bounds.Ceilings.assign(selectors, std::numeric_limits<float>::infinity());
  if (samples < rank) return bounds;
  std::array<std::array<int16_t, kRankLanes>, 2> ranked;
  for (size_t k = 0; k < types; ++k)
    for (size_t j0 = 0; j0 < n; j0 += kRankLanes) {
      RankedKeysOfLanes(&sampled[(k * padded + j0) / kRankLanes * samples * kRankLanes], samples,
                        {rank, ceilingRank}, ceilings ? 2 : 1, ranked);
      for (size_t j = j0; j < std::min(n, j0 + kRankLanes); ++j) {
        const size_t i = k * n + j;
        const float floor = FloorOfKey(ranked[0][j - j0]);
        bounds.Floors[i] = floor;
        // A ceiling no higher than the floor would leave no room between them.
        if (const float ceiling = ceilings ? CeilingOfKey(ranked[1][j - j0]) : 0.0f; ceilings && ceiling > floor)
          bounds.Ceilings[i] = ceiling;
      }
    }
  return bounds;
}

size_t TPrReceptorList::SelectorWordBytes() const {
  bool dates = false;
  for (const auto& writer : fPlotWriters) dates |= writer->NeedsDatesOfRanks(TotalHours());
  return dates ? sizeof(uint64_t) : sizeof(uint32_t);
}

bool TPrReceptorList::ReadHourlySelectedPass(THourlyRange& range, int deepest, std::span<const int> ranks,
                                             const TSeriesBounds& bounds) {
  // Words of half the size halve the selectors' memory and their selections' work. Measured on the 98th
  // percentile: 0.92x the wall time at 10,000 receptors (25 instead of 34 MiB), 0.89x at 30,000.
  return SelectorWordBytes() == sizeof(uint32_t) ? ReadHourlySelectedPassOf<uint32_t>(range, deepest, ranks, bounds)
                                                 : ReadHourlySelectedPassOf<uint64_t>(range, deepest, ranks, bounds);
}

template <class TWord>
bool TPrReceptorList::ReadHourlySelectedPassOf(THourlyRange& range, int deepest, std::span<const int> ranks,
                                               const TSeriesBounds& bounds) {
  const std::vector<float>& floors = bounds.Floors;
  const int valueSize = fIsDoublePrecision ? 8 : 4;
  const int hoursTotal = TotalHours();
  const int types = FPost.Count();
  const size_t n = static_cast<size_t>(range.count);
  const size_t selectors = n * static_cast<size_t>(types);
  // Without floors, a pass read from a ring of the whole file takes more room between cuts (see
  // RingSelectorWords); a chunk's spans leave the chunk's size as it was.
  const uint32_t words = range.ring && !range.ring->Spans() && floors.empty()
                             ? RingSelectorWords(deepest, static_cast<size_t>(ReceptorCount()) * FPost.Count())
                             : SelectedWords(deepest);
  TSelectors<TWord> lowest(selectors, static_cast<uint32_t>(deepest), words, &fSelectorMemory);
  std::vector<int32_t> nonZero(selectors, 0);  // values above the zero limit, of the hours read
  // Each selector's limit (or the floor below which nothing it keeps can lie), in a row for vector comparisons.
  std::vector<float> limits(selectors);
  for (size_t i = 0; i < selectors; ++i)
    limits[i] = floors.empty() ? lowest[i].LimitValue() : std::max(floors[i], lowest[i].LimitValue());
  std::vector<double> sums(selectors, 0.0);
  const bool skipZeros = fSettings.Options.fSkipZeroValues;
  const std::vector<TPostOutType> typeList = TypeList(FPost);

  // Deep ranks take a large share of every series: the hours of a batch that reach a receptor's limit are then
  // marked and go to its selector together, after the batch. Few ranks offer each hour's few values at once.
  const bool columns = DeepSelection(deepest);
  std::vector<float> stage(columns ? static_cast<size_t>(types) * kHourBatch * n : 0);
  std::vector<uint32_t> marked(columns ? selectors : 0, 0);  // a bit per hour of the batch
  // Values at or above a series' ceiling rank above everything its selector keeps: they are only counted, and
  // the selector needs that many fewer entries.
  const float* ceilings = columns && !bounds.Ceilings.empty() ? bounds.Ceilings.data() : nullptr;
  std::vector<int32_t> above(ceilings ? selectors : 0, 0);
  TBinPostReader reader(fSettings.PostFile, FPost, nullptr, 1.0, fIsDoublePrecision, ReceptorCount(), true);
  const auto tiles = std::make_unique_for_overwrite<uint32_t[]>(n / kTile + 1);
  const auto lanes = std::make_unique_for_overwrite<uint32_t[]>(n / kTile + 1);
  const auto pending = std::make_unique_for_overwrite<uint32_t[]>(n);
  const std::vector<float> calmRow(n, 0.0f);  // a calm hour: value 0 over a divisor of 1
  const int64_t* positions = fHourBlocks.Positions.data();
  TBatchSlices slices(reader, positions, range.from * valueSize, range.count * valueSize, ReceptorCount() * valueSize,
                      types, range.ring);
  for (int h0 = 0; h0 < hoursTotal; h0 += kHourBatch) {
    if (range.stop->load(std::memory_order_relaxed)) return true;
    const int hb = std::min(kHourBatch, hoursTotal - h0);
    if (!WaitForHours(h0 + hb, range)) return true;  // the index ended short: its error is raised
    slices.Batch(h0, hb);
    for (int b = 0; b < hb; ++b) {
      const auto h = static_cast<uint32_t>(h0 + b);
      int skip = range.from * valueSize;
      for (int k = 0; k < types; ++k) {
        const size_t at = static_cast<size_t>(k) * n;
        // Offers without columns decode their few values again from the slice, instead of the sweep storing all.
        float* decoded =
            columns ? &stage[(static_cast<size_t>(k) * kHourBatch + static_cast<size_t>(b)) * n] : nullptr;
        if (positions[h] < 0) {
          if (skipZeros) continue;
          if (columns) {
            std::fill(decoded, decoded + n, 0.0f);
            for (size_t j = 0; j < n; ++j) {
              const bool counted = ceilings && 0.0f >= ceilings[at + j];
              if (counted) ++above[at + j];
              marked[at + j] |= static_cast<uint32_t>(!counted && 0.0f >= limits[at + j]) << b;
            }
          } else {
            for (size_t j0 = 0; j0 < n; j0 += kTile)
              OfferTile(calmRow.data() + j0, std::min(kTile, n - j0), h, lowest.Data() + at + j0, &limits[at + j0],
                        nullptr, false);
          }
          continue;
        }
        const uint8_t* slice = slices.Slice(positions[h], skip);
        const int listed = SweepSlice(slice, n, fIsDoublePrecision,
                                      {&limits[at], &sums[at], &nonZero[at], decoded, tiles.get(), lanes.get(),
                                       ceilings ? ceilings + at : nullptr, ceilings ? &above[at] : nullptr,
                                       columns ? &marked[at] : nullptr, 1u << b});
        if (listed < 0)
          RaiseBadValue(positions[h], skip, slice, range.count, range.from, typeList[static_cast<size_t>(k)],
                        fHourBlocks.Dates[h]);
        skip += ReceptorCount() * valueSize;
        // None are listed with columns: the sweep marked them.
        OfferListed([&](size_t j) { return SliceValue(slice, j, fIsDoublePrecision); }, tiles.get(), lanes.get(),
                    listed, h, lowest.Data() + at, &limits[at], skipZeros, pending.get());
      }
    }
    if (columns)
      for (int k = 0; k < types; ++k) {
        const float* block = &stage[static_cast<size_t>(k) * kHourBatch * n];
        for (size_t j = 0; j < n; ++j) {
          const size_t i = static_cast<size_t>(k) * n + j;
          if (marked[i] == 0) continue;
          if (ceilings) lowest[i].LowerRank(static_cast<uint32_t>(std::max(1, deepest - above[i])));
          AppendMarked(block + j, n, marked[i], static_cast<uint32_t>(h0), lowest[i], skipZeros);
          marked[i] = 0;
          limits[i] = std::max(limits[i], lowest[i].LimitValue());
        }
      }
    range.hoursDone->store(h0 + hb, std::memory_order_release);
  }
  // A floor was right when its series still kept as many entries as the deepest rank, a ceiling when fewer
  // values than the shallowest rank reached it.
  if (!floors.empty())
    for (size_t i = 0; i < selectors; ++i) {
      const int counted = ceilings ? above[i] : 0;
      const bool floorTooHigh = counted + static_cast<int64_t>(lowest[i].Kept()) < deepest;
      const bool ceilingTooLow = counted > 0 && (ranks.empty() || counted >= ranks.front());
      if (floorTooHigh || ceilingTooLow) return false;
    }
  const int hoursRead = hoursTotal - fHourBlocks.SkipHourBlocks;
  range.zeros += ZeroValues(hoursRead, nonZero);
  for (size_t j = 0; j < n; ++j) {
    TPrReceptorItem& item = *FReceptors[static_cast<size_t>(range.from) + j];
    int k = 0;
    for (TPostOutType t : kAllPostOutTypes) {
      if (!FPost.Contains(t)) continue;
      const size_t i = static_cast<size_t>(k++) * n + j;
      lowest.Assign(i, *item.GetBlockStore(TAverageValue::hr_1, t), fHourBlocks.Dates,
                    skipZeros ? nonZero[i] : hoursTotal, hoursTotal, ranks, ceilings ? above[i] : 0);
      item.AddHourlySums(t, sums[i], hoursRead);
    }
  }
  return true;
}

void TPrReceptorList::ReadHourlyRange(THourlyRange& range) {
  if (fWindowDeepest >= 0) {
    ReadWindowsSelected(range, fWindowDeepest);
    return;
  }
  if (const int deepest = DeepestNeededRank(); deepest >= 0) {
    ReadHourlySelected(range, deepest);
    return;
  }
  const int valueSize = fIsDoublePrecision ? 8 : 4;
  const int types = FPost.Count();
  const size_t rowSize = static_cast<size_t>(range.count);
  TBinPostReader reader(fSettings.PostFile, FPost, nullptr, 1.0, fIsDoublePrecision, ReceptorCount(), true);
  std::vector<float> stage(static_cast<size_t>(types) * kHourBatch * rowSize);
  TBatchSlices slices(reader, fHourBlocks.Positions.data(), range.from * valueSize, range.count * valueSize,
                      ReceptorCount() * valueSize, types, range.ring);
  const std::vector<TPostOutType> typeList = TypeList(FPost);
  std::vector<TSortedListStore*> stores(static_cast<size_t>(types) * rowSize);
  std::vector<TPrReceptorItem*> items(rowSize);
  for (int r = 0; r < range.count; ++r) {
    items[static_cast<size_t>(r)] = FReceptors[static_cast<size_t>(range.from + r)].get();
    for (int k = 0; k < types; ++k)
      stores[static_cast<size_t>(k) * rowSize + r] =
          items[static_cast<size_t>(r)]->GetBlockStore(TAverageValue::hr_1, typeList[static_cast<size_t>(k)]);
  }
  // The sweep decodes each slice into its row of the batch and keeps each receptor's running sum (in hour order)
  // and its count of values above the zero limit, across the receptors of the row at once.
  std::vector<double> sums(static_cast<size_t>(types) * rowSize, 0.0);
  std::vector<int32_t> nonZero(static_cast<size_t>(types) * rowSize, 0);
  const auto tiles = std::make_unique_for_overwrite<uint32_t[]>(rowSize / kTile + 1);  // the sweep's, not needed here
  const auto lanes = std::make_unique_for_overwrite<uint32_t[]>(rowSize / kTile + 1);
  for (int first = 0; first < TotalHours(); first += kHourBatch) {
    if (range.stop->load(std::memory_order_relaxed)) return;
    const int hours = std::min(kHourBatch, TotalHours() - first);
    if (!WaitForHours(first + hours, range)) return;  // the index ended short: its error is raised
    const int64_t* positions = &fHourBlocks.Positions[static_cast<size_t>(first)];
    const int32_t* dates = &fHourBlocks.Dates[static_cast<size_t>(first)];
    slices.Batch(first, hours);
    for (int b = 0; b < hours; ++b) {
      int skip = range.from * valueSize;
      for (int k = 0; k < types; ++k) {
        float* row = &stage[(static_cast<size_t>(k) * kHourBatch + static_cast<size_t>(b)) * rowSize];
        if (positions[b] < 0) {  // a calm hour: 0 over a divisor of 1 (a value of the store, not of the sum's count)
          std::fill(row, row + rowSize, 0.0f);
          continue;
        }
        const uint8_t* slice = slices.Slice(positions[b], skip);
        const size_t at = static_cast<size_t>(k) * rowSize;
        if (SweepSlice(slice, rowSize, fIsDoublePrecision,
                       {nullptr, &sums[at], &nonZero[at], row, tiles.get(), lanes.get()}) < 0)
          RaiseBadValue(positions[b], skip, slice, range.count, range.from, typeList[static_cast<size_t>(k)],
                        dates[b]);
        skip += ReceptorCount() * valueSize;
      }
    }
    // Each receptor takes its column of the batch at once.
    for (int k = 0; k < types; ++k) {
      const float* block = &stage[static_cast<size_t>(k) * kHourBatch * rowSize];
      std::array<float, kHourBatch> column;
      for (size_t j = 0; j < rowSize; ++j) {
        for (int b = 0; b < hours; ++b) column[static_cast<size_t>(b)] = block[static_cast<size_t>(b) * rowSize + j];
        stores[static_cast<size_t>(k) * rowSize + j]->AddItems(
            std::span<const float>(column.data(), static_cast<size_t>(hours)),
            std::span<const int32_t>(dates, static_cast<size_t>(hours)));
      }
    }
    range.hoursDone->store(first + hours, std::memory_order_release);
  }
  const int hoursRead = TotalHours() - fHourBlocks.SkipHourBlocks;
  range.zeros += ZeroValues(hoursRead, nonZero);
  for (size_t j = 0; j < rowSize; ++j)
    for (int k = 0; k < types; ++k)
      items[j]->AddHourlySums(typeList[static_cast<size_t>(k)], sums[static_cast<size_t>(k) * rowSize + j], hoursRead);
  RankReceptors(range.from, range.count);
}

void TPrReceptorList::RaiseBadValue(int64_t recordPos, int skip, const uint8_t* values, int count, int firstReceptor,
                                    TPostOutType type, int32_t date) const {
  RaiseFirstBadPostValue(fSettings.PostFile, recordPos + PostReader->ValueBytesOffset() + skip, values, count,
                         fIsDoublePrecision, firstReceptor, type, date);
}

// Block and rolling windows when the writers read only a few ranks. Each worker keeps, per output type, the last
// hours of its receptors in a ring of hour rows (calm and missing hours as 0). Every hour that closes a window
// of a period gives each receptor's window value: the single-precision sum of the window's hours in window
// order, divided for concentrations by the valid hours (never fewer than three quarters of the window), exactly
// as a block store computes it, but across the receptors of a row at a time, so that the sums vectorise. The
// values stream through one selector per receptor, type and period, which keeps the entries down to the
// deepest rank asked for; no window series is ever held.
void TPrReceptorList::ReadWindowsSelected(THourlyRange& range, int deepest) {
  const TEngineOptions& options = fSettings.Options;
  const int valueSize = fIsDoublePrecision ? 8 : 4;
  const int hoursTotal = TotalHours();
  const size_t n = static_cast<size_t>(range.count);
  const std::vector<TPostOutType> typeList = TypeList(FPost);
  struct TPeriod {
    TAverageValue period;
    int hours;
    int minDivisor;
    int offered;
  };
  std::vector<TPeriod> periods;
  int ringHours = 1;
  for (int p = 0; p < kAverageValueCount; ++p) {
    const auto period = static_cast<TAverageValue>(p);
    const int hours = HoursInPeriod(period);
    if (!options.fAveragePeriods.Contains(period) || hours <= 0) continue;
    periods.push_back({period, hours, TBlockStore::MinimumDivisor(hours), WindowCount(hoursTotal, hours, options.fRolling)});
    ringHours = std::max(ringHours, hours);
  }
  const size_t types = typeList.size();
  const size_t selectors = types * periods.size() * n;
  TSelectors<uint64_t> lowest(selectors, static_cast<uint32_t>(deepest),
                              std::max(2 * static_cast<uint32_t>(deepest), 16u));
  std::vector<int> kept(selectors, 0);  // kept window values, counted only when zeros are skipped
  std::vector<float> limits(selectors);  // each selector's LimitValue, in a row for vector comparisons
  for (size_t i = 0; i < selectors; ++i) limits[i] = lowest[i].LimitValue();
  std::vector<double> hourSums(types * n, 0.0);
  std::vector<int32_t> nonZero(types * n, 0);  // values above the zero limit, of the hours read
  const auto tiles = std::make_unique_for_overwrite<uint32_t[]>(n / kTile + 1);  // the sweep's, not needed here
  const auto lanes = std::make_unique_for_overwrite<uint32_t[]>(n / kTile + 1);
  // Calm and missing hours before each hour, for the divisor of every window.
  std::vector<int> calmBefore(static_cast<size_t>(hoursTotal) + 1, 0);
  for (int h = 0; h < hoursTotal; ++h)
    calmBefore[static_cast<size_t>(h) + 1] = calmBefore[static_cast<size_t>(h)] + (fHourBlocks.Positions[static_cast<size_t>(h)] < 0);

  TBinPostReader reader(fSettings.PostFile, FPost, nullptr, 1.0, fIsDoublePrecision, ReceptorCount(), true);
  std::vector<float> ring(types * static_cast<size_t>(ringHours) * n, 0.0f);
  std::vector<const float*> rows(static_cast<size_t>(ringHours));
  std::vector<float> windowValues(n);  // one period's window values of the receptors, for one hour and type
  const int64_t* positions = fHourBlocks.Positions.data();
  const bool skipZeros = options.fSkipZeroValues;
  TBatchSlices slices(reader, positions, range.from * valueSize, range.count * valueSize, ReceptorCount() * valueSize,
                      static_cast<int>(types));
  for (int h0 = 0; h0 < hoursTotal; h0 += kHourBatch) {
    if (range.stop->load(std::memory_order_relaxed)) return;
    const int hb = std::min(kHourBatch, hoursTotal - h0);
    slices.Batch(h0, hb);
    for (int h = h0; h < h0 + hb; ++h) {
      const size_t slot = static_cast<size_t>(h % ringHours);
      int skip = range.from * valueSize;
      for (size_t k = 0; k < types; ++k) {
        float* row = &ring[(k * static_cast<size_t>(ringHours) + slot) * n];
        if (positions[h] < 0) {
          std::fill(row, row + n, 0.0f);
          continue;
        }
        const uint8_t* slice = slices.Slice(positions[h], skip);
        if (SweepSlice(slice, n, fIsDoublePrecision,
                       {nullptr, &hourSums[k * n], &nonZero[k * n], row, tiles.get(), lanes.get()}) < 0)
          RaiseBadValue(positions[h], skip, slice, range.count, range.from, typeList[k], fHourBlocks.Dates[h]);
        skip += ReceptorCount() * valueSize;
      }
      for (size_t q = 0; q < periods.size(); ++q) {
        const TPeriod& period = periods[q];
        const int first = h - period.hours + 1;
        if (first < 0 || (!options.fRolling && (h + 1) % period.hours != 0)) continue;
        const int calm = calmBefore[static_cast<size_t>(h) + 1] - calmBefore[static_cast<size_t>(first)];
        const int valid = period.hours - calm;
        const auto divisor = static_cast<float>(valid > period.minDivisor ? valid : period.minDivisor);
        for (size_t k = 0; k < types; ++k) {
          const float* base = &ring[k * static_cast<size_t>(ringHours) * n];
          for (int i = 0; i < period.hours; ++i)
            rows[static_cast<size_t>(i)] = base + static_cast<size_t>((first + i) % ringHours) * n;
          const bool average = typeList[k] == TPostOutType::poConc;
          const size_t at = (k * periods.size() + q) * n;
          detail::TLowestWords* select = lowest.Data() + at;
          int* keptCount = &kept[at];
          float* limit = &limits[at];
          WindowRow(rows.data(), period.hours, n, average, divisor, windowValues.data());
          for (size_t j0 = 0; j0 < n; j0 += kTile)
            OfferTile(&windowValues[j0], std::min(kTile, n - j0), static_cast<uint32_t>(h), select + j0, limit + j0,
                      keptCount + j0, skipZeros);
        }
      }
    }
    range.hoursDone->store(h0 + hb, std::memory_order_release);
  }
  range.zeros += ZeroValues(hoursTotal - fHourBlocks.SkipHourBlocks, nonZero);
  for (size_t j = 0; j < n; ++j) {
    TPrReceptorItem& item = *FReceptors[static_cast<size_t>(range.from) + j];
    for (size_t k = 0; k < types; ++k) {
      item.AddHourlySums(typeList[k], hourSums[k * n + j], hoursTotal - fHourBlocks.SkipHourBlocks);
      for (size_t q = 0; q < periods.size(); ++q) {
        const size_t i = (k * periods.size() + q) * n + j;
        const int keptCount = skipZeros ? kept[i] : periods[q].offered;
        lowest.Assign(i, *item.GetBlockStore(periods[q].period, typeList[k]), fHourBlocks.Dates, keptCount,
                      periods[q].offered);
      }
    }
  }
}

}  // namespace zorvik
