#pragma once
// Bounds at a rank or two of many series at once: the sample that bounds each series before a pass keeps every
// sampled value as a 16-bit key, thirty-two series side by side, and finds each series' floor (and ceiling) in a
// few vector passes over them, instead of offering the values to a selector per series one by one.
//
// A key is the upper half of a value's 32-bit ranking key: it orders values as they rank, with values that
// share their upper bits (within about 1 %, or below 1e-40) equal. A floor from a key is the lowest value with
// that key, a ceiling the highest, so that each lies on the safe side of the value whose key it came from.
#include <array>
#include <cstddef>
#include <cstdint>

namespace zorvik {

// Series side by side in a row of a block.
inline constexpr size_t kRankLanes = 32;
// Rows a block may hold: a lane's count of them must fit its 16 bits.
inline constexpr size_t kMaxRankRows = 32767;

// The keys of n values (numbers; -0 has the key of +0).
void SampleKeys(const float* values, size_t n, int16_t* keys);
// The lowest and the highest value with a key.
float FloorOfKey(int16_t key);
float CeilingOfKey(int16_t key);

// `keys` holds `count` (at most kMaxRankRows) rows of kRankLanes keys, row r holding a key of each of kRankLanes
// series (the order of the rows does not matter). For each of the `rankCount` (1 or 2) ranks (1 = highest,
// counting equal keys; from 1 to count), out[k][lane] receives the key of rank ranks[k] of that lane's series.
void RankedKeysOfLanes(const int16_t* keys, size_t count, const std::array<uint32_t, 2>& ranks, size_t rankCount,
                       std::array<std::array<int16_t, kRankLanes>, 2>& out);

}  // namespace zorvik
