#pragma once
// Value stores: where the block values of one receptor, output type and averaging period are kept with
// their dates until they are ranked.
//
// TSortedStoreBase is the interface the ranking reads (one virtual call per store operation, never one per
// value on the filling path: TBlockStore calls TSortedListStore directly). TSortedListStore keeps every
// value offered (or every non-zero one, see the engine options) in two flat arrays.
//
// Order of ranking. SortList orders the kept entries by value, highest first. Equal values keep the order in
// which they were added, so the rank of every entry, and with it the date a rank reports, is determined by
// the input alone (never by threads or chunking). -0 and +0 are equal values. NaN values rank below every
// number, among themselves in the order they were added.
//
// Partial ranking. A caller that needs only a few high ranks (a percentile reads two, a high-value file one)
// can call SelectRanks instead of SortList: it places the entries of ranks 1 .. the deepest rank asked for
// exactly where a full sort puts them, so GetValue(r - 1) and GetDate(r - 1) of every such rank r are the
// same as after SortList; the positions below hold the remaining entries in an order fixed by the input but
// otherwise unspecified. It costs one pass over the values plus a sort of the deepest-rank entries; when the
// deepest rank lies beyond StoredCount / kSelectDepthDivisor it sorts fully instead.
#include <cstddef>
#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <limits>
#include <memory_resource>
#include <span>
#include <vector>

namespace zorvik {

class TSortedStoreBase {
 public:
  virtual ~TSortedStoreBase() = default;

  // Number of values held.
  virtual int StoredCount() const = 0;
  virtual float GetValue(int Index) const = 0;
  // Sets the number of entries; new entries are 0 with date 0.
  virtual void SetStoredCount(int n) = 0;
  virtual void AddItem(float aValue, int32_t aDate) = 0;
  // Number of values ever offered to AddItem, kept or not.
  virtual int OfferedCount() const { return 0; }
  virtual int32_t GetDate(int /*Index*/) const { return 0; }
  // Reserves room for aCapacity values.
  virtual void SetCapacity(int /*aCapacity*/) {}
  virtual void Clear() {}
};

class TSortedListStore final : public TSortedStoreBase {
 public:
  // SelectRanks sorts fully when the deepest rank asked for exceeds StoredCount / kSelectDepthDivisor.
  static constexpr size_t kSelectDepthDivisor = 4;

  // Skips zero values when the engine options say so at construction.
  TSortedListStore();
  explicit TSortedListStore(bool aSkipZeroValues) : fSkipZeroValues(aSkipZeroValues) {}

  int StoredCount() const override { return static_cast<int>(fValues.size()) + fDroppedCount; }
  // An index outside 0 .. StoredCount - 1 raises ERangeError ("List index out of bounds (%d)").
  float GetValue(int Index) const override;
  int32_t GetDate(int Index) const override;
  void SetStoredCount(int n) override;
  // Counts the value; keeps it with its date unless zero values are skipped and aValue <= 1e-37.
  void AddItem(float aValue, int32_t aDate) override {
    ++fTotalCount;
    if (fSkipZeroValues && IsZeroValue(aValue)) return;
    fValues.push_back(aValue);
    if (fKeepDates) fDates.push_back(aDate);
  }
  int OfferedCount() const override { return fTotalCount; }
  // A value a store that skips zero values does not keep.
  static bool IsZeroValue(float value) { return static_cast<double>(value) <= 1e-37; }
  // AddItem of each pair in order (dates[i] with values[i]), without a branch per value.
  void AddItems(std::span<const float> values, std::span<const int32_t> dates);
  // Reserves room in both arrays; a negative or smaller capacity changes nothing.
  void SetCapacity(int aCapacity) override;
  // Takes the memory of the entries from `resource` from now on (nullptr: the default heap). Only while the
  // store holds no memory (new, or after Clear).
  void SetMemoryResource(std::pmr::memory_resource* resource);
  // Whether the store keeps the dates of its entries (true by default). A store whose readers never ask for a
  // date may drop them: GetDate then answers 0, and sorting moves values only. Only while the store is empty.
  void SetKeepDates(bool keep);
  bool KeepDates() const { return fKeepDates; }
  // Frees all entries (their memory too) and sets the offered count to 0.
  void Clear() override;

  // Orders the entries highest first (see the order of ranking above). Runs after the last AddItem and
  // before the ranking; sorting a sorted store changes nothing.
  void SortList();
  // Places the entries of ranks 1 .. the deepest of aRanks (1 = highest; ranks outside 1 .. StoredCount are
  // ignored) as SortList would. Use it instead of SortList, once per filling: after SelectRanks the order of addition is
  // gone, so a further SortList or SelectRanks raises EAssertionFailed until Clear. After SortList it does
  // nothing.
  void SelectRanks(std::span<const int> aRanks);
  // Fills an empty store with the result of ranking a series elsewhere: the entries of ranks 1 .. m in order
  // (values and dates), the number of values the series kept (storedCount >= m) and offered. The ranks 1 .. m,
  // StoredCount and OfferedCount then answer as after AddItem of the whole series and SelectRanks up to rank m;
  // the entries below rank m are not held (GetValue and GetDate of them raise ERangeError). For callers that
  // read only those ranks: the rest of the series never needs memory (see detail::TLowestWords).
  void AssignRanked(std::span<const float> values, std::span<const int32_t> dates, int storedCount, int offeredCount);
  // As AssignRanked, for entries that are at their place only at `exactRanks` (at most kMaxExactRanks of them;
  // see detail::TLowestWords::FinishAtRanks): GetValue and GetDate of any other rank raise EAssertionFailed,
  // so that a reader asking for a rank the filling did not expect fails instead of reading a wrong entry. Only
  // those entries are held (Values and Dates are then empty). With `skipped`, the entries start at rank
  // skipped + 1: the ranks above them were only counted.
  static constexpr size_t kMaxExactRanks = 8;
  void AssignAtRanks(std::span<const float> values, std::span<const int32_t> dates, int storedCount, int offeredCount,
                     std::span<const int> exactRanks, int skipped = 0);

  // The kept entries in their current order, for bulk copies.
  std::span<const float> Values() const { return fValues; }
  std::span<const int32_t> Dates() const { return fDates; }
  bool SkipZeroValues() const { return fSkipZeroValues; }
  // True after SortList while no entry was added since.
  bool IsSorted() const { return fOrder == TOrder::Sorted && fSortedCount == fValues.size(); }

 private:
  // The slot of an exact rank's entry (index = rank - 1).
  size_t ExactSlot(int index) const;
  enum class TOrder : uint8_t { Added, Sorted, Selected };

  std::pmr::vector<float> fValues;
  std::pmr::vector<int32_t> fDates;
  int fTotalCount = 0;
  int fDroppedCount = 0;  // kept entries below the ranks AssignRanked held
  bool fSkipZeroValues;
  bool fKeepDates = true;
  TOrder fOrder = TOrder::Added;
  size_t fSortedCount = 0;  // entries at the last SortList
  // With AssignAtRanks, the only ranks (1 = highest) whose entries are at their place; none otherwise.
  std::array<int, kMaxExactRanks> fExactRanks{};
  std::array<float, kMaxExactRanks> fExactValues{};
  std::array<int32_t, kMaxExactRanks> fExactDates{};
  uint32_t fExactHeld = 0;  // entries the filling ranked (the exact ranks beyond them are out of bounds)
  uint8_t fExactCount = 0;
};

namespace detail {

// The ways of ordering value/date pairs that were measured for SortList (bench/bench_ranking.cpp); each
// gives the same result.
enum class TSortMethod : uint8_t {
  Radix,             // stable LSD radix sort of packed (value key, position) 64-bit words
  PackedKeys,        // std::sort of the packed words
  IndexPermutation,  // std::sort of positions by (value key, position), then applied
};
void SortEntries(std::span<float> values, std::span<int32_t> dates, TSortMethod method);
// Puts the m highest entries, in ranking order, in the first m places (the rest stay a permutation).
void PlaceHighest(std::span<float> values, std::span<int32_t> dates, size_t m);
// Copies the values of `in` that are not zero values (TSortedListStore::IsZeroValue) to `out`, in order, and
// returns their number; writes at most n values at `out`. For tests: the vector form and the portable one agree.
size_t PackNonZero(const float* in, size_t n, float* out);

// The ascending sort key of a value for a highest-first order (-0 as +0, NaN last).
inline uint32_t DescendingValueKey(float value) {
  const uint32_t bits = std::bit_cast<uint32_t>(value);
  const uint32_t magnitude = bits & 0x7fffffffu;
  // Unsigned order of the bit patterns equals the numeric order of the values. The tests are on the bits, so
  // that the key takes a few integer selections and no comparison of floats.
  uint32_t ascending = (bits & 0x80000000u) ? ~bits : (bits | 0x80000000u);
  ascending = magnitude == 0 ? 0x80000000u : ascending;   // -0 ranks as +0
  ascending = magnitude > 0x7f800000u ? 0u : ascending;    // NaN below every number
  return ~ascending;
}
// The value of a key (-0 comes back as +0).
float ValueOfDescendingKey(uint32_t key);
// Orders values highest first (-0 as +0, NaN last): the sort of a store that keeps no dates.
void SortValues(std::span<float> values);

// Puts the word of each of `places` (ascending, below n) at that place in a[0, n), the smaller words before it and
// the larger after it; the words between two places are in no particular order. `vectors` false keeps to the
// portable code (for tests); otherwise the processor's vector instructions are used where it has them.
void SelectAtPlaces(uint64_t* a, size_t n, std::span<const size_t> places, bool vectors = true);
void SelectAtPlaces(uint32_t* a, size_t n, std::span<const size_t> places, bool vectors = true);

// Keeps, of a stream of (value, position) pairs, the m that rank highest, as packed words: with TWord uint64_t
// (TLowestWords) the descending value key << 32 | position (ascending words are the ranking order, ties by
// position); with uint32_t (TLowestKeys) the key alone, in half the memory, for callers that need the values of
// ranks and not their positions. The words live in a buffer of `capacity` (> m) words that is cut back to m
// whenever it fills; once cut, a value that does not exceed the m-th value seen so far is rejected by one
// comparison of floats (an equal one would rank after it). Offer the pairs in position order.
template <class TWord>
class alignas(32) TLowestWordsOf {
 public:
  TLowestWordsOf(TWord* buffer, uint32_t capacity, uint32_t m)
      : fBuffer(buffer), fLimit(m == 0 ? 0 : ~TWord{0}), fCapacity(capacity), fM(m),
        fLimitValue(m == 0 ? std::numeric_limits<float>::infinity() : -std::numeric_limits<float>::infinity()) {}
  static TWord WordOf(float value, uint32_t position) {
    if constexpr (sizeof(TWord) == sizeof(uint64_t))
      return (static_cast<uint64_t>(DescendingValueKey(value)) << 32) | position;
    else
      return DescendingValueKey(value);
  }
  void Offer(float value, uint32_t position) {
    if (value < fLimitValue) return;
    const TWord word = WordOf(value, position);
    if (word >= fLimit) return;
    fBuffer[fCount++] = word;
    if (fCount == fCapacity) Cut();
  }
  // Offer returns at once for a value below this one (it cannot enter the kept entries).
  float LimitValue() const { return fLimitValue; }
  // The words Offer still takes are those below this one.
  TWord LimitWord() const { return fLimit; }
  // For callers that append several candidates at once: room for `count` (at most capacity - m) more words at
  // the end of the buffer, cut first when they would not fit. Write the candidates there, the ones to keep
  // first, and keep them with Appended (their number); words at or above LimitWord must not be kept.
  TWord* Room(uint32_t count) {
    if (fCount + count > fCapacity) Cut();
    return fBuffer + fCount;
  }
  void Appended(uint32_t count) { fCount += count; }
  // Asks the processor for the line the next word goes to, ahead of an Offer.
  void PrefetchSlot() const { __builtin_prefetch(fBuffer + fCount, 1); }
  // Keeps only the m (at least 1) highest from now on, when fewer than before: for a caller that learns that
  // entries it does not offer rank above all these.
  void LowerRank(uint32_t m) { fM = std::min(fM, std::max<uint32_t>(m, 1)); }
  // The number of entries Finish will keep.
  uint32_t Kept() const { return std::min(fCount, fM); }
  // Leaves the (at most m) words kept, in ranking order, at the start of the buffer; returns their number.
  uint32_t Finish();
  // As Finish, but ranks the kept words only as far as `ranks` (1 = first; ascending; at most
  // TSortedListStore::kMaxExactRanks) need: the word of each such rank is at its place and every word before it
  // ranks higher; the others are in no particular order.
  uint32_t FinishAtRanks(std::span<const int> ranks);
  static float ValueOf(TWord word) {
    return ValueOfDescendingKey(static_cast<uint32_t>(word >> (8 * sizeof(TWord) - 32)));
  }
  // The position of a word (0 for keys alone).
  static uint32_t PositionOf(TWord word) {
    if constexpr (sizeof(TWord) == sizeof(uint64_t))
      return static_cast<uint32_t>(word);
    else
      return 0;
  }

 private:
  void Cut();
  // After a selection that put the m-th word in its place: keeps the m words up to it, and raises the limit.
  void KeepSelected();
  // 32 bytes, aligned to them: no selector's state in an array of them straddles two lines.
  TWord* fBuffer;
  TWord fLimit;
  uint32_t fCapacity;
  uint32_t fM;
  uint32_t fCount = 0;
  float fLimitValue;
};
using TLowestWords = TLowestWordsOf<uint64_t>;
using TLowestKeys = TLowestWordsOf<uint32_t>;
static_assert(sizeof(TLowestWords) == 32 && sizeof(TLowestKeys) == 32);
extern template class TLowestWordsOf<uint64_t>;
extern template class TLowestWordsOf<uint32_t>;

}  // namespace detail

}  // namespace zorvik
