#include "engine/LaneRanks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <vector>

namespace zorvik {
namespace {

TEST(LaneRanksTest, KeysOrderValuesAndBoundTheirValues) {
  const float max = std::numeric_limits<float>::max(), tiny = std::numeric_limits<float>::denorm_min();
  const std::vector<float> ascending = {-max, -7e30f, -3.0f, -1.0f, -1e-37f, -tiny, 0.0f,
                                        tiny,  1e-37f, 0.125f, 1.0f,   2.5f,    7e30f, max};
  std::vector<int16_t> keys(ascending.size());
  SampleKeys(ascending.data(), ascending.size(), keys.data());
  for (size_t i = 0; i < ascending.size(); ++i) {
    const float v = ascending[i];
    if (i > 0) {
      EXPECT_LE(keys[i - 1], keys[i]) << v;
    }
    EXPECT_LE(FloorOfKey(keys[i]), v) << v;
    EXPECT_GE(CeilingOfKey(keys[i]), v) << v;
    // Within about 1 %; below the normal numbers, within a width of 1e-40.
    EXPECT_LE(CeilingOfKey(keys[i]) - FloorOfKey(keys[i]), std::max(std::fabs(v) / 64, 1e-40f)) << v;
  }
  const float zeros[] = {-0.0f, 0.0f};
  int16_t zeroKeys[2];
  SampleKeys(zeros, 2, zeroKeys);
  EXPECT_EQ(zeroKeys[0], zeroKeys[1]);
  EXPECT_FALSE(std::signbit(FloorOfKey(zeroKeys[0])));
}

// Each lane's key of a rank by sorting its keys.
int16_t RankBySort(const std::vector<int16_t>& block, size_t count, size_t lane, uint32_t rank) {
  std::vector<int16_t> series;
  for (size_t r = 0; r < count; ++r) series.push_back(block[r * kRankLanes + lane]);
  std::sort(series.begin(), series.end(), std::greater<>());
  return series[rank - 1];
}

TEST(LaneRanksTest, RanksMatchTheSortOfEachSeries) {
  std::mt19937 random(7);
  for (size_t count : {size_t{1}, size_t{2}, size_t{17}, size_t{516}, size_t{601}})
    for (bool fewKeys : {true, false}) {
      // Few distinct keys (many ties) or any, the extremes included.
      std::vector<int16_t> block(count * kRankLanes);
      for (int16_t& key : block) {
        const int draw =
            fewKeys ? static_cast<int>(random() % 5) * 16383 - 32768 : static_cast<int>(random() % 65536) - 32768;
        key = static_cast<int16_t>(std::clamp(draw, -32768, 32767));
      }
      for (const std::array<uint32_t, 2> ranks :
           {std::array<uint32_t, 2>{1, 1}, {static_cast<uint32_t>(count), 1},
            {static_cast<uint32_t>((count + 1) / 2), static_cast<uint32_t>((count + 3) / 4)}})
        for (size_t rankCount : {size_t{1}, size_t{2}}) {
          SCOPED_TRACE(testing::Message() << count << " rows, ranks " << ranks[0] << " " << ranks[1] << " of "
                                          << rankCount << (fewKeys ? ", ties" : ""));
          std::array<std::array<int16_t, kRankLanes>, 2> out{};
          RankedKeysOfLanes(block.data(), count, ranks, rankCount, out);
          for (size_t k = 0; k < rankCount; ++k)
            for (size_t lane = 0; lane < kRankLanes; ++lane)
              ASSERT_EQ(out[k][lane], RankBySort(block, count, lane, ranks[k]))
                  << "rank " << ranks[k] << ", lane " << lane;
        }
    }
}

}  // namespace
}  // namespace zorvik
