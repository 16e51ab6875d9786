#include "engine/SortedListStore.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <stdexcept>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "engine/EngineOptions.h"
#include "util/Exceptions.h"

namespace zorvik {

namespace detail {


// Reused by every sort of a thread, so that sorting a chunk allocates once per thread.
struct TSortScratch {
  std::vector<uint64_t> keys;
  std::vector<uint64_t> spare;
  std::vector<uint32_t> order;
  std::vector<uint32_t> valueKeys;
  std::vector<float> values;
  std::vector<int32_t> dates;
  std::vector<uint8_t> inPlace;
};

TSortScratch& Scratch() {
  thread_local TSortScratch scratch;
  return scratch;
}

// Packs (value key, position): the natural order of the words is the ranking order, ties by position.
void BuildPackedKeys(std::span<const float> values, std::vector<uint64_t>& keys) {
  keys.resize(values.size());
  for (size_t i = 0; i < values.size(); ++i)
    keys[i] = (static_cast<uint64_t>(DescendingValueKey(values[i])) << 32) | static_cast<uint32_t>(i);
}

// Stable LSD radix sort on the upper 32 bits (three digits of 11, 11 and 10 bits). The input is in position
// order, so stability alone keeps ties by position.
void RadixSortUpper(std::vector<uint64_t>& keys, std::vector<uint64_t>& spare) {
  constexpr int kDigitBits = 11;
  constexpr uint32_t kBuckets = 1u << kDigitBits;
  constexpr int kPasses = 3;
  const size_t n = keys.size();
  spare.resize(n);
  std::array<std::array<uint32_t, kBuckets>, kPasses> counts{};
  for (uint64_t k : keys) {
    const auto upper = static_cast<uint32_t>(k >> 32);
    ++counts[0][upper & (kBuckets - 1)];
    ++counts[1][(upper >> kDigitBits) & (kBuckets - 1)];
    ++counts[2][upper >> (2 * kDigitBits)];
  }
  uint64_t* src = keys.data();
  uint64_t* dst = spare.data();
  for (int pass = 0; pass < kPasses; ++pass) {
    auto& count = counts[pass];
    const int shift = 32 + pass * kDigitBits;
    if (count[(src[0] >> shift) & (kBuckets - 1)] == n) continue;  // one digit for all: nothing moves
    uint32_t sum = 0;
    for (uint32_t& c : count) {
      const uint32_t here = c;
      c = sum;
      sum += here;
    }
    for (size_t i = 0; i < n; ++i) {
      const uint64_t k = src[i];
      dst[count[(k >> shift) & (kBuckets - 1)]++] = k;
    }
    std::swap(src, dst);
  }
  if (src != keys.data()) std::memcpy(keys.data(), src, n * sizeof(uint64_t));
}

// Rewrites values and dates in the order of the positions in the low halves of `keys`.
void ApplyOrder(const std::vector<uint64_t>& keys, std::span<float> values, std::span<int32_t> dates,
                TSortScratch& s) {
  s.values.assign(values.begin(), values.end());
  s.dates.assign(dates.begin(), dates.end());
  for (size_t i = 0; i < keys.size(); ++i) {
    const auto pos = static_cast<uint32_t>(keys[i]);
    values[i] = s.values[pos];
    dates[i] = s.dates[pos];
  }
}

float ValueOfDescendingKey(uint32_t key) {
  const uint32_t ascending = ~key;
  if (ascending == 0) return std::numeric_limits<float>::quiet_NaN();
  const uint32_t bits = (ascending & 0x80000000u) ? (ascending & 0x7FFFFFFFu) : ~ascending;
  return std::bit_cast<float>(bits);
}

void SortValues(std::span<float> values) {
  // LSD radix sort of the 32-bit descending keys (three digits of 11, 11 and 10 bits); equal keys are equal
  // values, so no position needs to travel with them.
  constexpr int kDigitBits = 11;
  constexpr uint32_t kBuckets = 1u << kDigitBits;
  const size_t n = values.size();
  if (n < 2) return;
  TSortScratch& s = Scratch();
  s.valueKeys.resize(n);
  s.order.resize(n);
  std::array<std::array<uint32_t, kBuckets>, 3> counts{};
  for (size_t i = 0; i < n; ++i) {
    const uint32_t key = DescendingValueKey(values[i]);
    s.valueKeys[i] = key;
    ++counts[0][key & (kBuckets - 1)];
    ++counts[1][(key >> kDigitBits) & (kBuckets - 1)];
    ++counts[2][key >> (2 * kDigitBits)];
  }
  uint32_t* src = s.valueKeys.data();
  uint32_t* dst = s.order.data();
  for (int pass = 0; pass < 3; ++pass) {
    auto& count = counts[static_cast<size_t>(pass)];
    const int shift = pass * kDigitBits;
    if (count[(src[0] >> shift) & (kBuckets - 1)] == n) continue;
    uint32_t sum = 0;
    for (uint32_t& c : count) {
      const uint32_t here = c;
      c = sum;
      sum += here;
    }
    for (size_t i = 0; i < n; ++i) dst[count[(src[i] >> shift) & (kBuckets - 1)]++] = src[i];
    std::swap(src, dst);
  }
  for (size_t i = 0; i < n; ++i) values[i] = ValueOfDescendingKey(src[i]);
}

namespace {
// Splits a[lo, hi) around `pivot`: the words below it first, then the others; returns where the others begin.
// Every word is moved without a data-dependent branch, which on these short buffers of unpredictable order is
// several times faster than a partition that branches.
template <class TWord>
size_t PartitionPortable(TWord* a, size_t lo, size_t hi, TWord pivot, TWord* /*spare*/) {
  size_t below = lo;
  for (size_t i = lo; i < hi; ++i) {
    const TWord v = a[i];
    const bool less = v < pivot;
    a[i] = a[below];
    a[below] = v;
    below += less;
  }
  return below;
}

#if defined(__x86_64__)
// As PartitionPortable, a register of words per step (eight of 64 bits, sixteen of 32): each step's words below
// the pivot are packed into one register and stored where their side ends (the lanes past them are overwritten
// by the next store, or lie on words already read), the others likewise into `spare` (room for hi - lo words and
// a register more), which goes back after them.
template <class TWord>
__attribute__((target("avx512f"))) size_t PartitionAvx512(TWord* a, size_t lo, size_t hi, TWord pivot,
                                                           TWord* spare) {
  constexpr size_t kLanes = 64 / sizeof(TWord);
  size_t below = lo, others = 0, i = lo;
  for (; i + kLanes <= hi; i += kLanes) {
    const __m512i v = _mm512_loadu_si512(a + i);
    unsigned less;
    if constexpr (sizeof(TWord) == 8) {
      const __mmask8 mask = _mm512_cmplt_epu64_mask(v, _mm512_set1_epi64(static_cast<long long>(pivot)));
      _mm512_storeu_si512(a + below, _mm512_maskz_compress_epi64(mask, v));
      _mm512_storeu_si512(spare + others, _mm512_maskz_compress_epi64(static_cast<__mmask8>(~mask), v));
      less = mask;
    } else {
      const __mmask16 mask = _mm512_cmplt_epu32_mask(v, _mm512_set1_epi32(static_cast<int>(pivot)));
      _mm512_storeu_si512(a + below, _mm512_maskz_compress_epi32(mask, v));
      _mm512_storeu_si512(spare + others, _mm512_maskz_compress_epi32(static_cast<__mmask16>(~mask), v));
      less = mask;
    }
    const auto count = static_cast<size_t>(std::popcount(less));
    below += count;
    others += kLanes - count;
  }
  for (; i < hi; ++i) {
    const TWord v = a[i];
    const bool less = v < pivot;
    a[below] = v;
    spare[others] = v;
    below += less;
    others += !less;
  }
  std::memcpy(a + below, spare, others * sizeof(TWord));
  return below;
}

const bool kHasAvx512 = __builtin_cpu_supports("avx512f");
#endif

template <class TWord>
using TPartition = size_t (*)(TWord*, size_t, size_t, TWord, TWord*);

template <class TWord>
TPartition<TWord> FastestPartition() {
#if defined(__x86_64__)
  if (kHasAvx512) return &PartitionAvx512<TWord>;
#endif
  return &PartitionPortable<TWord>;
}

// Puts the word of each place of `places` (ascending, within [lo, hi)) at that place, the smaller words before it
// and the larger after it: a quickselect that follows every place at once, so that the places share the
// partitions above them.
template <class TWord>
void SelectPlaces(TWord* a, size_t lo, size_t hi, std::span<const size_t> places, TPartition<TWord> partition,
                  TWord* spare, size_t& budget) {
  while (!places.empty()) {
    if (places.size() == 1 && places.front() == hi - 1) {  // the largest last: one scan
      size_t largest = lo;
      for (size_t i = lo + 1; i < hi; ++i) largest = a[i] > a[largest] ? i : largest;
      std::swap(a[largest], a[hi - 1]);
      return;
    }
    // A sort finishes short ranges, and any range once the partitions have moved several times the words the
    // selection began with: whatever order defeats the pivots, the selection stays within a sort's time.
    if (hi - lo <= 16 || budget < hi - lo) {
      std::sort(a + lo, a + hi);
      return;
    }
    budget -= hi - lo;
    // The median of the words at a quarter, half and three quarters of the range as pivot, kept aside at the end
    // while the rest is split. (The first and last words would be a poor choice: a buffer cut before is often
    // a run in order followed by a few words appended since, and their median is then next to the smallest.)
    const size_t step = (hi - lo) / 4;
    size_t q1 = lo + step, q2 = lo + 2 * step, q3 = lo + 3 * step;
    if (a[q2] < a[q1]) std::swap(q1, q2);
    if (a[q3] < a[q2]) std::swap(q2, q3);
    if (a[q2] < a[q1]) std::swap(q1, q2);
    std::swap(a[q2], a[hi - 1]);
    const TWord pivot = a[hi - 1];
    const size_t at = partition(a, lo, hi - 1, pivot, spare);
    std::swap(a[at], a[hi - 1]);
    const auto below = static_cast<size_t>(std::lower_bound(places.begin(), places.end(), at) - places.begin());
    const size_t above = below + (below < places.size() && places[below] == at);
    SelectPlaces(a, lo, at, places.first(below), partition, spare, budget);
    places = places.subspan(above);
    lo = at + 1;
  }
}

template <class TWord>
void SelectWordsAtPlaces(TWord* a, size_t n, std::span<const size_t> places, bool vectors) {
  if (places.empty()) return;
  // Holds nothing between the sorts that use it; words of 32 bits take half of its room.
  std::vector<uint64_t>& spare = Scratch().spare;
  if (spare.size() < n + 16) spare.resize(n + 16);
  size_t budget = 8 * n;  // words partitioned before the rest is sorted: about twice an expected selection's
  SelectPlaces(a, 0, n, places, vectors ? FastestPartition<TWord>() : &PartitionPortable<TWord>,
               reinterpret_cast<TWord*>(spare.data()), budget);
}
}  // namespace

void SelectAtPlaces(uint64_t* a, size_t n, std::span<const size_t> places, bool vectors) {
  SelectWordsAtPlaces(a, n, places, vectors);
}

void SelectAtPlaces(uint32_t* a, size_t n, std::span<const size_t> places, bool vectors) {
  SelectWordsAtPlaces(a, n, places, vectors);
}

template <class TWord>
void TLowestWordsOf<TWord>::Cut() {
  const size_t place = fM - 1;
  SelectAtPlaces(fBuffer, fCount, {&place, 1});
  KeepSelected();
}

template <class TWord>
void TLowestWordsOf<TWord>::KeepSelected() {
  fCount = fM;
  fLimit = fBuffer[fM - 1];
  // A later value equal to the limit's ranks below it (it comes at a later position, or has the same key): only a
  // higher one can enter. Where many values are equal (a year of zero hours), the callers' comparisons of
  // floats then turn them away instead of their words. Measured on the 75th percentile of 10,000 receptors,
  // 8,000 of them with 85 % zero hours: 0.83x the processor time; no change without such ties.
  fLimitValue = std::nextafter(ValueOf(fLimit), std::numeric_limits<float>::infinity());
}

template <class TWord>
uint32_t TLowestWordsOf<TWord>::FinishAtRanks(std::span<const int> ranks) {
  // The cut to m, when due, and the ranks in one selection.
  const bool cut = fCount > fM;
  const uint32_t kept = cut ? fM : fCount;
  Assert(ranks.size() <= TSortedListStore::kMaxExactRanks, "FinishAtRanks: at most kMaxExactRanks ranks");
  std::array<size_t, TSortedListStore::kMaxExactRanks + 1> places{};
  size_t count = 0;
  for (const int rank : ranks)
    if (rank >= 1 && static_cast<uint32_t>(rank) <= kept) places[count++] = static_cast<size_t>(rank - 1);
  if (cut && (count == 0 || places[count - 1] != fM - 1)) places[count++] = fM - 1;
  SelectAtPlaces(fBuffer, fCount, {places.data(), count});
  if (cut) KeepSelected();
  return fCount;
}

template <class TWord>
uint32_t TLowestWordsOf<TWord>::Finish() {
  if (fCount > fM) Cut();
  std::sort(fBuffer, fBuffer + fCount);
  return fCount;
}

template class TLowestWordsOf<uint64_t>;
template class TLowestWordsOf<uint32_t>;

// The m lowest packed words of the entries, in order, in s.keys.
void LowestWords(std::span<const float> values, size_t m, TSortScratch& s) {
  const size_t capacity = std::max<size_t>(2 * m, 64);
  s.keys.resize(capacity);
  TLowestWords lowest(s.keys.data(), static_cast<uint32_t>(capacity), static_cast<uint32_t>(m));
  for (size_t i = 0; i < values.size(); ++i) lowest.Offer(values[i], static_cast<uint32_t>(i));
  s.keys.resize(lowest.Finish());
}

namespace {
// Below this size std::sort of the packed words beats the radix passes.
constexpr size_t kRadixMinimum = 256;
}  // namespace

void PlaceHighest(std::span<float> values, std::span<int32_t> dates, size_t m) {
  m = std::min(m, values.size());
  if (m == 0) return;
  TSortScratch& s = Scratch();
  LowestWords(values, m, s);
  // Entry j of the first m goes to position j. Entries now in the first m places that are not among them
  // move to the places the chosen ones leave.
  s.values.resize(m);
  s.dates.resize(m);
  s.inPlace.assign(m, 0);
  for (size_t j = 0; j < m; ++j) {
    const auto from = static_cast<uint32_t>(s.keys[j]);
    s.values[j] = values[from];
    s.dates[j] = dates[from];
    if (from < m) s.inPlace[from] = 1;
  }
  size_t freed = 0;
  for (size_t pos = 0; pos < m; ++pos) {
    if (s.inPlace[pos]) continue;
    while (static_cast<uint32_t>(s.keys[freed]) < m) ++freed;
    const auto to = static_cast<uint32_t>(s.keys[freed++]);
    values[to] = values[pos];
    dates[to] = dates[pos];
  }
  std::copy(s.values.begin(), s.values.end(), values.begin());
  std::copy(s.dates.begin(), s.dates.end(), dates.begin());
}

void SortEntries(std::span<float> values, std::span<int32_t> dates, TSortMethod method) {
  const size_t n = values.size();
  if (n < 2) return;
  TSortScratch& s = Scratch();
  switch (method) {
    case TSortMethod::Radix:
    case TSortMethod::PackedKeys:
      BuildPackedKeys(values, s.keys);
      if (method == TSortMethod::Radix && n >= kRadixMinimum)
        RadixSortUpper(s.keys, s.spare);
      else
        std::sort(s.keys.begin(), s.keys.end());
      ApplyOrder(s.keys, values, dates, s);
      break;
    case TSortMethod::IndexPermutation: {
      s.valueKeys.resize(n);
      s.order.resize(n);
      for (size_t i = 0; i < n; ++i) {
        s.valueKeys[i] = DescendingValueKey(values[i]);
        s.order[i] = static_cast<uint32_t>(i);
      }
      const uint32_t* vk = s.valueKeys.data();
      std::sort(s.order.begin(), s.order.end(),
                [vk](uint32_t a, uint32_t b) { return vk[a] < vk[b] || (vk[a] == vk[b] && a < b); });
      s.values.assign(values.begin(), values.end());
      s.dates.assign(dates.begin(), dates.end());
      for (size_t i = 0; i < n; ++i) {
        values[i] = s.values[s.order[i]];
        dates[i] = s.dates[s.order[i]];
      }
      break;
    }
  }
}

}  // namespace detail

TSortedListStore::TSortedListStore() : fSkipZeroValues(false) {}

namespace {
[[noreturn]] void IndexOutOfBounds(int index) {
  throw std::out_of_range(fmt::format("List index out of bounds ({})", index));
}
}  // namespace

void TSortedListStore::AssignRanked(std::span<const float> values, std::span<const int32_t> dates, int storedCount,
                                    int offeredCount) {
  Assert(fValues.empty() && fTotalCount == 0, "AssignRanked fills an empty store");
  Assert(values.size() == dates.size() && static_cast<int>(values.size()) <= storedCount && storedCount <= offeredCount,
         "AssignRanked: the ranked entries do not fit the counts");
  fValues.assign(values.begin(), values.end());
  fDates.assign(dates.begin(), dates.end());
  fTotalCount = offeredCount;
  fExactCount = 0;
  fDroppedCount = storedCount - static_cast<int>(values.size());
  fOrder = fDroppedCount == 0 ? TOrder::Sorted : TOrder::Selected;
  fSortedCount = fValues.size();
}

void TSortedListStore::AssignAtRanks(std::span<const float> values, std::span<const int32_t> dates, int storedCount,
                                     int offeredCount, std::span<const int> exactRanks, int skipped) {
  Assert(!exactRanks.empty() && exactRanks.size() <= kMaxExactRanks, "AssignAtRanks: 1 to kMaxExactRanks ranks");
  Assert(fValues.empty() && fTotalCount == 0, "AssignAtRanks fills an empty store");
  Assert(values.size() == dates.size() && skipped >= 0 && skipped < exactRanks.front() &&
             skipped + static_cast<int64_t>(values.size()) <= storedCount && storedCount <= offeredCount,
         "AssignAtRanks: the ranked entries do not fit the counts");
  // Only the entries of the exact ranks are held, in the order of exactRanks: no memory beyond the store itself.
  for (size_t k = 0; k < exactRanks.size(); ++k) {
    const auto at = static_cast<size_t>(exactRanks[k] - 1 - skipped);
    fExactValues[k] = at < values.size() ? values[at] : 0.0f;
    fExactDates[k] = at < values.size() ? dates[at] : 0;
  }
  fExactHeld = static_cast<uint32_t>(skipped + values.size());
  fTotalCount = offeredCount;
  fDroppedCount = storedCount;
  fOrder = TOrder::Selected;
  fSortedCount = 0;
  fExactCount = static_cast<uint8_t>(exactRanks.size());
  std::copy(exactRanks.begin(), exactRanks.end(), fExactRanks.begin());
}

size_t TSortedListStore::ExactSlot(int index) const {
  if (index < 0 || static_cast<uint32_t>(index) >= fExactHeld) IndexOutOfBounds(index);
  for (size_t k = 0; k < fExactCount; ++k)
    if (fExactRanks[k] == index + 1) return k;
  throw EAssertionFailed(fmt::format("Assertion Failed: rank {} of a store ranked only at the ranks its writers asked for",
                                     index + 1));
}

float TSortedListStore::GetValue(int Index) const {
  if (fExactCount != 0) return fExactValues[ExactSlot(Index)];
  if (static_cast<size_t>(Index) >= fValues.size()) IndexOutOfBounds(Index);
  return fValues[static_cast<size_t>(Index)];
}

int32_t TSortedListStore::GetDate(int Index) const {
  if (fExactCount != 0) {
    if (!fKeepDates) {
      if (Index < 0 || static_cast<uint32_t>(Index) >= fExactHeld) IndexOutOfBounds(Index);
      return 0;
    }
    return fExactDates[ExactSlot(Index)];
  }
  if (!fKeepDates) {
    if (static_cast<size_t>(Index) >= fValues.size()) IndexOutOfBounds(Index);
    return 0;
  }
  if (static_cast<size_t>(Index) >= fDates.size()) IndexOutOfBounds(Index);
  return fDates[static_cast<size_t>(Index)];
}

namespace {
// Copies the values of `in` that are not zero values (IsZeroValue) to `out`, in order; returns their number.
// Writes up to n values at `out`.
size_t PackNonZeroPortable(const float* in, size_t n, float* out) {
  size_t k = 0;
  for (size_t i = 0; i < n; ++i) {
    out[k] = in[i];
    k += !TSortedListStore::IsZeroValue(in[i]);
  }
  return k;
}

#if defined(__x86_64__)
// For each mask of eight lanes, its set lanes first to last (then zeros): the permutation that packs them.
const auto kPackLanes = [] {
  std::array<std::array<int32_t, 8>, 256> lanes{};
  for (int mask = 0; mask < 256; ++mask) {
    int k = 0;
    for (int lane = 0; lane < 8; ++lane)
      if (mask & (1 << lane)) lanes[static_cast<size_t>(mask)][static_cast<size_t>(k++)] = lane;
  }
  return lanes;
}();

// Eight values at a time: a compare, a permutation from the table and one store. A float is a zero value exactly
// when it is at or below kZeroFloat; NaN is not (an unordered compare is true).
__attribute__((target("avx2"))) size_t PackNonZeroAvx2(const float* in, size_t n, float* out) {
  const __m256 zero = _mm256_set1_ps(kZeroFloat);
  size_t k = 0, i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m256 v = _mm256_loadu_ps(in + i);
    const auto mask = static_cast<unsigned>(_mm256_movemask_ps(_mm256_cmp_ps(v, zero, _CMP_NLE_UQ)));
    const __m256i lanes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(kPackLanes[mask].data()));
    _mm256_storeu_ps(out + k, _mm256_permutevar8x32_ps(v, lanes));
    k += static_cast<size_t>(std::popcount(mask));
  }
  return k + PackNonZeroPortable(in + i, n - i, out + k);
}

const bool kPackAvx2 = __builtin_cpu_supports("avx2");
#endif
}  // namespace

namespace detail {
size_t PackNonZero(const float* in, size_t n, float* out) {
#if defined(__x86_64__)
  if (kPackAvx2) return PackNonZeroAvx2(in, n, out);
#endif
  return PackNonZeroPortable(in, n, out);
}
}  // namespace detail

void TSortedListStore::AddItems(std::span<const float> values, std::span<const int32_t> dates) {
  fTotalCount += static_cast<int>(values.size());
  if (!fSkipZeroValues) {
    fValues.insert(fValues.end(), values.begin(), values.end());
    if (fKeepDates) fDates.insert(fDates.end(), dates.begin(), dates.end());
    return;
  }
  if (!fKeepDates) {  // the values are packed in place, in the room the vector has or makes
    const size_t held = fValues.size();
    fValues.resize(held + values.size());
    fValues.resize(held + detail::PackNonZero(values.data(), values.size(), fValues.data() + held));
    return;
  }
  // The kept pairs are packed in a small block first: each pair is written, and the place advances past it only
  // where the value is kept.
  constexpr size_t kBlock = 64;
  for (size_t i0 = 0; i0 < values.size(); i0 += kBlock) {
    const size_t m = std::min(kBlock, values.size() - i0);
    std::array<float, kBlock> keptValues;
    std::array<int32_t, kBlock> keptDates;
    size_t k = 0;
    for (size_t i = 0; i < m; ++i) {
      keptValues[k] = values[i0 + i];
      keptDates[k] = dates[i0 + i];
      k += !IsZeroValue(values[i0 + i]);
    }
    fValues.insert(fValues.end(), keptValues.begin(), keptValues.begin() + static_cast<std::ptrdiff_t>(k));
    fDates.insert(fDates.end(), keptDates.begin(), keptDates.begin() + static_cast<std::ptrdiff_t>(k));
  }
}

void TSortedListStore::SetStoredCount(int n) {
  fDroppedCount = 0;
  fExactCount = 0;
  const size_t count = n > 0 ? static_cast<size_t>(n) : 0;
  fValues.resize(count, 0.0f);
  if (fKeepDates) fDates.resize(count, 0);
}

void TSortedListStore::SetCapacity(int aCapacity) {
  if (aCapacity <= 0) return;
  fValues.reserve(static_cast<size_t>(aCapacity));
  if (fKeepDates) fDates.reserve(static_cast<size_t>(aCapacity));
}

void TSortedListStore::SetMemoryResource(std::pmr::memory_resource* resource) {
  if (resource == nullptr) resource = std::pmr::get_default_resource();
  if (fValues.get_allocator().resource() == resource) return;
  Assert(fValues.capacity() == 0 && fDates.capacity() == 0, "a store changes its memory only while it holds none");
  std::destroy_at(&fValues);
  std::construct_at(&fValues, resource);
  std::destroy_at(&fDates);
  std::construct_at(&fDates, resource);
}

void TSortedListStore::SetKeepDates(bool keep) {
  if (keep == fKeepDates) return;
  Assert(fValues.empty() && fDates.empty(), "a store changes what it keeps only while it is empty");
  fKeepDates = keep;
}

void TSortedListStore::Clear() {
  std::pmr::vector<float>(fValues.get_allocator()).swap(fValues);
  std::pmr::vector<int32_t>(fDates.get_allocator()).swap(fDates);
  fTotalCount = 0;
  fDroppedCount = 0;
  fExactCount = 0;
  fOrder = TOrder::Added;
}

namespace {
void RequireOrderOfAddition(bool selected) {
  if (selected) Assert(false, "the store was ranked partially; clear it before ranking it again");
}
}  // namespace

void TSortedListStore::SortList() {
  RequireOrderOfAddition(fOrder == TOrder::Selected);
  if (fKeepDates)
    detail::SortEntries(fValues, fDates, detail::TSortMethod::Radix);
  else
    detail::SortValues(fValues);
  fOrder = TOrder::Sorted;
  fSortedCount = fValues.size();
}

void TSortedListStore::SelectRanks(std::span<const int> aRanks) {
  if (IsSorted()) return;
  RequireOrderOfAddition(fOrder == TOrder::Selected);
  const size_t n = fValues.size();
  size_t deepest = 0;
  for (int rank : aRanks)
    if (rank >= 1 && static_cast<size_t>(rank) <= n) deepest = std::max(deepest, static_cast<size_t>(rank));
  if (deepest == 0) return;
  if (deepest > n / kSelectDepthDivisor || !fKeepDates) {
    SortList();
    return;
  }
  detail::PlaceHighest(fValues, fDates, deepest);
  fOrder = TOrder::Selected;
}

}  // namespace zorvik
