#pragma once
// One pass over an hour's slice of a worker's receptors, as it comes from the POSTFILE: every value is decoded to
// single precision once and, in the same pass, added to its receptor's running sum, counted when it is above the
// zero limit and compared with its receptor's entry limit. A value below its limit (almost all of them, once the
// limits have risen) costs a few vector instructions and no call; the tiles holding a value that reached its
// limit are listed for the caller, with the lanes of those values, which it offers to their selectors. A caller
// that gathers a batch of hours before offering has each such value marked in its receptor's bit word instead.
#include <cstddef>
#include <cstdint>

#include "engine/EngineOptions.h"

namespace zorvik {

// Receptors are compared kSweepTile at a time: a tile is listed when one of its values reached its limit.
inline constexpr size_t kSweepTile = 16;

struct TSliceSweep {
  const float* Limits = nullptr;  // per receptor: a value at or above it is listed (null: nothing is listed)
  double* Sums = nullptr;         // per receptor: adds the decoded value (as single precision, widened)
  int32_t* NonZero = nullptr;     // per receptor: counts the values above the zero limit
  float* Row = nullptr;           // receives the decoded values (null: they are not kept)
  uint32_t* Tiles = nullptr;      // receives the first receptor of each listed tile (room for n / kSweepTile + 1)
  uint32_t* Lanes = nullptr;      // receives, per listed tile, a bit for each of its values that reached its limit
  // With Limits: per receptor, a value at or above it is counted in Above instead of listed (null: none is).
  const float* Ceilings = nullptr;
  int32_t* Above = nullptr;
  // With Limits: per receptor, a value that reached its limit (and not its ceiling) sets MarkBit in its word
  // instead of being listed; no tile is listed then (null: values are listed).
  uint32_t* Marks = nullptr;
  uint32_t MarkBit = 0;
};

// Sweeps n values (8-byte doubles or 4-byte floats, native order, unaligned). Returns the number of tiles listed,
// or -1 when a value is not a number, infinite or beyond single precision (the caller reports it with its place;
// the sums and counts are then incomplete).
int SweepSlice(const uint8_t* raw, size_t n, bool doublePrecision, const TSliceSweep& sweep);

namespace detail {
// The same sweep one value at a time (processors without the vector form use it); for tests.
int SweepSlicePortable(const uint8_t* raw, size_t n, bool doublePrecision, const TSliceSweep& sweep);
}  // namespace detail

}  // namespace zorvik
