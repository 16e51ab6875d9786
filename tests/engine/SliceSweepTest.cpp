// The sweep of an hour's slice (decode, sums, non-zero counts, values reaching their limits, listed or marked,
// values counted at or above their ceilings) against the same steps written out value by value, for the vector
// form and the portable one, both precisions, every tail length.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "engine/EngineOptions.h"
#include "engine/SliceSweep.h"

namespace zorvik {
namespace {

using TSweep = int (*)(const uint8_t*, size_t, bool, const TSliceSweep&);

struct TSlice {
  std::vector<uint8_t> raw;
  std::vector<double> values;  // as written
};

TSlice MakeSlice(const std::vector<double>& values, bool doublePrecision) {
  TSlice s{{}, values};
  s.raw.resize(values.size() * (doublePrecision ? 8 : 4) + 1);  // +1: the slice need not be aligned
  for (size_t j = 0; j < values.size(); ++j) {
    if (doublePrecision) {
      std::memcpy(&s.raw[1 + 8 * j], &values[j], 8);
    } else {
      const auto f = static_cast<float>(values[j]);
      std::memcpy(&s.raw[1 + 4 * j], &f, 4);
    }
  }
  return s;
}

std::vector<double> Values(unsigned seed, size_t n) {
  std::mt19937 random(seed);
  std::vector<double> v(n);
  for (auto& x : v) {
    const unsigned r = random() % 10;
    // Zeros, values at and around the zero limit, negatives and ordinary values.
    x = r == 0 ? 0.0 : r == 1 ? kZeroValueLimit : r == 2 ? 2 * kZeroValueLimit : r == 3 ? -1.5 : (random() % 1000) * 0.37;
  }
  return v;
}

TEST(SliceSweepTest, EveryStepMatchesTheValueByValueDefinition) {
  for (TSweep sweep : {&SweepSlice, &detail::SweepSlicePortable})
    for (bool doublePrecision : {true, false})
      for (size_t n : {size_t{0}, size_t{1}, size_t{15}, size_t{16}, size_t{17}, size_t{47}, size_t{200}})
        for (bool withCeilings : {false, true})
          for (bool withMarks : {false, true})
            for (bool withRow : {true, false}) {
              SCOPED_TRACE(withCeilings ? "ceilings" : "no ceilings");
              SCOPED_TRACE(withMarks ? "marks" : "listed");
              SCOPED_TRACE(withRow ? "row kept" : "no row");
              const TSlice slice = MakeSlice(Values(static_cast<unsigned>(n), n), doublePrecision);
              std::vector<float> limits(n);
              for (size_t j = 0; j < n; ++j) limits[j] = j % 7 == 0 ? -INFINITY : static_cast<float>((j * 53) % 300);
              std::vector<double> sums(n, 1.0);
              std::vector<int32_t> nonZero(n, 2);
              std::vector<float> row(n);
              std::vector<uint32_t> tiles(n / kSweepTile + 1), lanes(n / kSweepTile + 1);
              // Ceilings above, at and below the limits (a value at its ceiling is counted, not listed).
              std::vector<float> ceilings(n);
              for (size_t j = 0; j < n; ++j) ceilings[j] = j % 5 == 0 ? INFINITY : static_cast<float>((j * 29) % 370);
              std::vector<int32_t> above(n, 3);
              // Marks keep the bits they had; the sweep adds its own.
              constexpr uint32_t kBit = 1u << 9;
              std::vector<uint32_t> marks(n);
              for (size_t j = 0; j < n; ++j) marks[j] = j % 3 == 0 ? 0x5u : 0u;
              const int listed = sweep(slice.raw.data() + 1, n, doublePrecision,
                                       {limits.data(), sums.data(), nonZero.data(), withRow ? row.data() : nullptr,
                                        tiles.data(), lanes.data(),
                                        withCeilings ? ceilings.data() : nullptr, withCeilings ? above.data() : nullptr,
                                        withMarks ? marks.data() : nullptr, kBit});

              std::vector<uint32_t> expectTiles, expectLanes;
              for (size_t j = 0; j < n; ++j) {
                const auto f = static_cast<float>(slice.values[j]);
                if (withRow) {
                  ASSERT_EQ(row[j], f) << n << " " << j;
                }
                ASSERT_EQ(sums[j], 1.0 + static_cast<double>(f)) << j;
                ASSERT_EQ(nonZero[j], 2 + (static_cast<double>(f) > kZeroValueLimit)) << j;
                const bool counted = withCeilings && f >= ceilings[j];
                if (withCeilings) {
                  ASSERT_EQ(above[j], 3 + counted) << j;
                }
                const bool reached = f >= limits[j] && !counted;
                if (withMarks) {
                  ASSERT_EQ(marks[j], (j % 3 == 0 ? 0x5u : 0u) | (reached ? kBit : 0u)) << n << " " << j;
                  continue;
                }
                if (reached) {
                  if (expectTiles.empty() || expectTiles.back() != j - j % kSweepTile) {
                    expectTiles.push_back(static_cast<uint32_t>(j - j % kSweepTile));
                    expectLanes.push_back(0);
                  }
                  expectLanes.back() |= 1u << (j % kSweepTile);
                }
              }
              ASSERT_EQ(listed, static_cast<int>(expectTiles.size())) << n;
              for (size_t t = 0; t < expectTiles.size(); ++t) {
                EXPECT_EQ(tiles[t], expectTiles[t]) << n;
                EXPECT_EQ(lanes[t], expectLanes[t]) << n;
              }
            }
}

TEST(SliceSweepTest, UnreadableValueAnywhereIsReported) {
  const double bad[] = {std::numeric_limits<double>::quiet_NaN(), INFINITY, -INFINITY, 1e39, -1e39};
  for (TSweep sweep : {&SweepSlice, &detail::SweepSlicePortable})
    for (bool doublePrecision : {true, false})
      for (double value : bad)
        for (size_t at : {size_t{0}, size_t{7}, size_t{16}, size_t{35}, size_t{36}}) {
          if (!doublePrecision && std::fabs(value) < INFINITY && std::fabs(value) > FLT_MAX) continue;  // no float
          std::vector<double> values(37, 1.0);
          values[at] = value;
          const TSlice slice = MakeSlice(values, doublePrecision);
          std::vector<double> sums(37);
          std::vector<int32_t> nonZero(37);
          std::vector<float> row(37), limits(37, 0.5f);
          std::vector<uint32_t> tiles(3), lanes(3);
          EXPECT_EQ(sweep(slice.raw.data() + 1, 37, doublePrecision,
                          {limits.data(), sums.data(), nonZero.data(), row.data(), tiles.data(), lanes.data()}),
                    -1)
              << value << " at " << at;
        }
  // The largest single-precision value is readable.
  std::vector<double> values(20, FLT_MAX);
  const TSlice slice = MakeSlice(values, true);
  std::vector<double> sums(20);
  std::vector<int32_t> nonZero(20);
  std::vector<float> row(20);
  std::vector<uint32_t> tiles(2), lanes(2);
  EXPECT_EQ(SweepSlice(slice.raw.data() + 1, 20, true, {nullptr, sums.data(), nonZero.data(), row.data(), tiles.data(), lanes.data()}), 0);
}

}  // namespace
}  // namespace zorvik
