#include "engine/LaneRanks.h"

#include <cstring>
#include <limits>

#include "engine/SortedListStore.h"

namespace zorvik {

namespace {

// The helpers below take and give whole rows, and are always inlined into the function of each processor: no
// row crosses a call, whatever the ABI says of passing one.
#pragma GCC diagnostic ignored "-Wpsabi"

// A row of a block: thirty-two keys, one per series. On processors with AVX-512 it is one register, elsewhere the
// compiler pairs or quarters narrower ones.
using TRow = int16_t __attribute__((vector_size(64)));
static_assert(sizeof(TRow) == kRankLanes * sizeof(int16_t));

constexpr int16_t kSign = std::numeric_limits<int16_t>::min();

[[gnu::always_inline]] inline TRow LoadRow(const int16_t* p) {
  TRow row;
  std::memcpy(&row, p, sizeof row);
  return row;
}

// A 16-bit key is the upper half of the ranking key (DescendingValueKey) turned ascending, as a signed number; the
// ascending ranking key that a 16-bit key begins, and back.
inline uint32_t AscendingKeyOf(int16_t key) {
  return uint32_t{static_cast<uint16_t>(static_cast<uint16_t>(key) ^ 0x8000u)} << 16;
}

// Bit by bit from the highest, each lane's largest key that at least `rank` of its keys reach: a pass over the
// rows per bit. The keys found are kept with their sign bit flipped (as unsigned numbers in the keys' order), so
// that setting the next bit gives the next candidate.
template <size_t kRanks>
[[gnu::always_inline]] inline void FindRanked(const int16_t* keys, size_t count, const std::array<uint32_t, 2>& ranks,
                                              std::array<TRow, 2>& found) {
  found = {};
  for (int bit = 15; bit >= 0; --bit) {
    std::array<TRow, kRanks> candidate;
    std::array<TRow, kRanks> below;  // one less than the candidate's key: a key reaches it when greater
    std::array<TRow, kRanks> reached{};
    for (size_t k = 0; k < kRanks; ++k) {
      candidate[k] = found[k] | static_cast<int16_t>(1u << bit);
      below[k] = (candidate[k] ^ kSign) - 1;
    }
    for (size_t r = 0; r < count; ++r) {
      const TRow row = LoadRow(keys + r * kRankLanes);
      // A true comparison is all ones, -1 as an integer.
      for (size_t k = 0; k < kRanks; ++k) reached[k] -= row > below[k];
    }
    for (size_t k = 0; k < kRanks; ++k)
      found[k] = reached[k] >= static_cast<int16_t>(ranks[k]) ? candidate[k] : found[k];
  }
  for (size_t k = 0; k < kRanks; ++k) found[k] ^= kSign;
}

}  // namespace

__attribute__((target_clones("avx2", "default"))) void SampleKeys(const float* values, size_t n, int16_t* keys) {
  for (size_t j = 0; j < n; ++j)
    keys[j] = static_cast<int16_t>(static_cast<uint16_t>((~detail::DescendingValueKey(values[j]) >> 16) ^ 0x8000u));
}

float FloorOfKey(int16_t key) { return detail::ValueOfDescendingKey(~AscendingKeyOf(key)); }

float CeilingOfKey(int16_t key) { return detail::ValueOfDescendingKey(~(AscendingKeyOf(key) | 0xFFFFu)); }

__attribute__((target_clones("arch=x86-64-v4", "avx2", "default"))) void RankedKeysOfLanes(
    const int16_t* keys, size_t count, const std::array<uint32_t, 2>& ranks, size_t rankCount,
    std::array<std::array<int16_t, kRankLanes>, 2>& out) {
  std::array<TRow, 2> found;
  if (rankCount == 2)
    FindRanked<2>(keys, count, ranks, found);
  else
    FindRanked<1>(keys, count, ranks, found);
  for (size_t k = 0; k < rankCount; ++k) std::memcpy(out[k].data(), &found[k], sizeof found[k]);
}

}  // namespace zorvik
