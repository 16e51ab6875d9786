#include "engine/BlockStore.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "engine/EngineOptions.h"
#include "util/Exceptions.h"

namespace zorvik {
namespace {

// Date keys of consecutive hours from 1 January 2017, hour 1.
std::vector<int32_t> HourKeys(int n) {
  std::vector<int32_t> keys;
  int32_t key = 17010101;
  for (int i = 0; i < n; ++i) {
    keys.push_back(key);
    key = AdvanceDateOneHour(key);
  }
  return keys;
}

std::unique_ptr<TPrBlockStore> MakeStore(TAverageValue period, bool rolling, bool skipZeros) {
  return std::make_unique<TPrBlockStore>(period, THighValues{}, 0, TEngineOptions{{period}, rolling, skipZeros});
}

TEST(BlockStoreTest, CalmHourTakesTheNextHourAfterTheLastValue) {
  auto store = MakeStore(TAverageValue::hr_1, false, false);
  store->AddCalmHour();  // no value yet: no date
  store->AddValue(4.0f, 17123124);
  store->AddCalmHour();
  store->AddCalmHour();
  const auto& values = store->HValues();
  ASSERT_EQ(values.StoredCount(), 4);
  const int32_t expected[] = {0, 17123124, 18010101, 18010102};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(values.GetDate(i), expected[i]) << i;
  EXPECT_EQ(values.GetValue(0), 0.0f);
  EXPECT_EQ(values.GetValue(1), 4.0f);
}

TEST(BlockStoreTest, PeriodWithoutHoursIsRefused) {
  try {
    MakeStore(TAverageValue::period_avg, false, false);
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Count of Items must be more 0");
  }
}

// A block of valid hours of 12.0 each, with `calm` calm hours at its start, is divided by `divisor`.
TEST(BlockStoreTest, BlockIsDividedByItsValidHoursButNotFewerThanThreeQuarters) {
  const struct {
    TAverageValue period;
    int calm;
    int divisor;
  } cases[] = {
      {TAverageValue::hr_8, 3, 6},  {TAverageValue::hr_8, 1, 7},   {TAverageValue::hr_8, 0, 8},
      {TAverageValue::hr_8, 5, 6},  {TAverageValue::hr_24, 10, 18}, {TAverageValue::hr_24, 4, 20},
      {TAverageValue::hr_3, 1, 3},  {TAverageValue::hr_3, 2, 3},   {TAverageValue::hr_1, 0, 1},
      {TAverageValue::hr_1, 1, 1},
  };
  for (bool rolling : {false, true}) {
    for (const auto& c : cases) {
      const int hours = HoursInPeriod(c.period);
      SCOPED_TRACE(testing::Message() << "hours " << hours << " calm " << c.calm << " rolling " << rolling);
      auto store = MakeStore(c.period, rolling, false);
      // Two blocks in a row, so that the second shows that the calm count starts again.
      for (int block = 0; block < 2; ++block) {
        for (int h = 0; h < hours; ++h) {
          if (h < c.calm && block == 0)
            store->AddCalmHour();
          else
            store->AddValue(12.0f, 17010101 + h);
        }
      }
      const auto& values = store->HValues();
      ASSERT_GE(values.StoredCount(), 2);
      const float valid = static_cast<float>(hours - c.calm);
      EXPECT_EQ(values.GetValue(0), 12.0f * valid / static_cast<float>(c.divisor));
      EXPECT_EQ(values.GetValue(values.StoredCount() - 1), 12.0f);  // the last window has no calm hour
    }
  }
}

TEST(BlockStoreTest, DepositionBlocksAreSums) {
  auto store = MakeStore(TAverageValue::hr_8, false, false);
  store->SetUseAverage(false);
  for (int h = 0; h < 8; ++h) {
    if (h % 2)
      store->AddCalmHour();
    else
      store->AddValue(0.1f * static_cast<float>(h + 1), 17010101 + h);
  }
  EXPECT_EQ(store->HValues().GetValue(0), ((0.1f + 0.3f) + 0.5f) + 0.7f);  // single precision, window order
  EXPECT_EQ(store->HValues().GetDate(0), 17010108);
}

TEST(BlockStoreTest, RollingWindowsCloseEveryHourFromTheEighth) {
  const auto keys = HourKeys(8760);
  for (bool rolling : {false, true}) {
    auto store = MakeStore(TAverageValue::hr_8, rolling, false);
    for (int h = 0; h < 8760; ++h) {
      store->AddValue(1.0f, keys[static_cast<size_t>(h)]);
      if (h == 6) {
        EXPECT_EQ(store->HValues().OfferedCount(), 0);
      }
      if (h == 7) {
        EXPECT_EQ(store->HValues().GetDate(0), keys[7]);
      }
    }
    EXPECT_EQ(store->HValues().OfferedCount(), rolling ? 8753 : 1095);
  }
}

// Every rolling block value against the window it stands for: the hours t-7 .. t, calm ones counted only
// while they are inside the window.
TEST(BlockStoreTest, RollingCalmHoursAreThoseInsideTheWindow) {
  std::mt19937 rng(11);
  std::uniform_real_distribution<float> value(0.0f, 100.0f);
  std::bernoulli_distribution startCalm(0.08), stayCalm(0.7);
  const int hours = 2000;
  std::vector<bool> calm(hours);
  std::vector<float> values(hours);
  for (int h = 0; h < hours; ++h) {
    calm[h] = h > 0 && calm[h - 1] ? stayCalm(rng) : startCalm(rng);
    values[h] = calm[h] ? 0.0f : value(rng);
  }
  const auto keys = HourKeys(hours);
  auto store = MakeStore(TAverageValue::hr_8, true, false);
  for (int h = 0; h < hours; ++h) {
    if (calm[h])
      store->AddCalmHour();
    else
      store->AddValue(values[h], keys[static_cast<size_t>(h)]);
  }
  const auto& blocks = store->HValues();
  ASSERT_EQ(blocks.StoredCount(), hours - 7);
  int longCalm = 0;
  for (int t = 7; t < hours; ++t) {
    float sum = values[t - 7];
    int valid = calm[t - 7] ? 0 : 1;
    for (int h = t - 6; h <= t; ++h) {
      sum += values[h];
      valid += calm[h] ? 0 : 1;
    }
    if (valid < 6) ++longCalm;
    ASSERT_EQ(blocks.GetValue(t - 7), sum / static_cast<float>(std::max(valid, 6))) << "hour " << t;
    ASSERT_EQ(blocks.GetDate(t - 7), keys[static_cast<size_t>(t)]) << "hour " << t;  // calm hours advance too
  }
  EXPECT_GT(longCalm, 0);  // the data did reach the three-quarter floor
}

// Values 1 .. N in random order, so the value of rank r is N + 1 - r; each value's date says where it came.
std::unique_ptr<TPrBlockStore> RankedStore(int N, bool skipZeros, int zeroHours = 0) {
  auto store = MakeStore(TAverageValue::hr_1, false, skipZeros);
  std::vector<int> order(static_cast<size_t>(N));
  for (int i = 0; i < N; ++i) order[static_cast<size_t>(i)] = i < zeroHours ? 0 : i + 1 - zeroHours;
  std::shuffle(order.begin(), order.end(), std::mt19937(N));
  for (int v : order) store->AddValue(static_cast<float>(v), 1000000 + v);
  store->ListStore()->SortList();
  return store;
}

TEST(BlockStoreTest, PercentileCases) {
  struct TCase {
    const char* name;
    int N;
    int zeroHours;
    double P;
    bool interpolate;
    double value;
    int32_t date;  // 0: no date
  };
  const TCase cases[] = {
      // x = 175.2: between ranks 175 (value 8586) and 176 (value 8585).
      {"8760 interpolated", 8760, 0, 98.0, true, 8585.8, 0},
      {"8760 nearest", 8760, 0, 98.0, false, 8585.0, 1008585},
      // x = 2 exactly: the second highest in both modes.
      {"100 interpolated", 100, 0, 98.0, true, 99.0, 1000099},
      {"100 nearest", 100, 0, 98.0, false, 99.0, 1000099},
      // x = 0.48: rank 0 reads as rank 1.
      {"24 interpolated", 24, 0, 98.0, true, 24.0, 0},
      {"24 nearest", 24, 0, 98.0, false, 24.0, 1000024},
      {"100th", 8760, 0, 100.0, true, 8760.0, 1008760},
      {"median", 9, 0, 50.0, true, 5.5, 0},
      {"median nearest", 9, 0, 50.0, false, 5.0, 1000005},
      // Only 175 values above zero: rank 176 is a zero hour.
      {"into the zero hours", 8760, 8585, 98.0, true, 0.8, 0},
      {"all in the zero hours", 8760, 8660, 98.0, true, 0.0, 0},
  };
  for (const TCase& c : cases) {
    for (bool skipZeros : {false, true}) {
      SCOPED_TRACE(testing::Message() << c.name << (skipZeros ? ", zeros skipped" : ""));
      auto store = RankedStore(c.N, skipZeros, c.zeroHours);
      int32_t date = -1;
      EXPECT_NEAR(store->GetPercent(c.P, c.interpolate, date), c.value, 1e-9);
      if (c.value != 0.0 || skipZeros) {
        EXPECT_EQ(date, c.value != 0.0 ? c.date : 0);
      }
    }
  }
}

TEST(BlockStoreTest, StoreWithoutKeptValuesRanksZero) {
  for (int zeros : {0, 50}) {
    auto store = MakeStore(TAverageValue::hr_1, false, true);
    for (int h = 0; h < zeros; ++h) store->AddValue(0.0f, 17010101 + h);
    store->ListStore()->SortList();
    EXPECT_EQ(store->HValues().OfferedCount(), zeros);
    EXPECT_EQ(store->HValues().StoredCount(), 0);
    for (double P : {10.0, 50.0, 98.0, 99.99, 100.0}) {
      for (bool interpolate : {false, true}) {
        int32_t date = -1;
        EXPECT_EQ(store->GetPercent(P, interpolate, date), 0.0);
        EXPECT_EQ(date, 0);
      }
    }
    for (int n : {0, 1, 2}) {
      int32_t date = -1;
      EXPECT_EQ(store->GetHigh(n, date), 0.0);
      EXPECT_EQ(date, 0);
    }
  }
}

TEST(BlockStoreTest, HighValuesByRank) {
  auto store = RankedStore(30, false);
  const struct {
    int n;
    double value;
    int32_t date;
  } cases[] = {{1, 30.0, 1000030}, {6, 25.0, 1000025}, {30, 1.0, 1000001}, {31, 0.0, 0}, {0, 0.0, 0}, {-1, 0.0, 0}};
  for (const auto& c : cases) {
    int32_t date = -1;
    EXPECT_EQ(store->GetHigh(c.n, date), c.value) << c.n;
    EXPECT_EQ(date, c.date) << c.n;
  }
}

// Skipped zeros are still counted, so non-negative values rank the same with or without skipping.
TEST(BlockStoreTest, SkippingZerosKeepsEveryRankingOfNonNegativeValues) {
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> value(0.0f, 50.0f);
  std::bernoulli_distribution zero(0.6);
  auto kept = MakeStore(TAverageValue::hr_1, false, false);
  auto skipped = MakeStore(TAverageValue::hr_1, false, true);
  for (int h = 0; h < 8760; ++h) {
    const float v = zero(rng) ? 0.0f : value(rng);
    kept->AddValue(v, 17010101);
    skipped->AddValue(v, 17010101);
  }
  kept->ListStore()->SortList();
  skipped->ListStore()->SortList();
  int32_t d1, d2;
  for (double P : {10.0, 25.0, 50.0, 60.0, 61.5, 75.0, 98.0, 99.9})
    for (bool interpolate : {false, true})
      EXPECT_EQ(kept->GetPercent(P, interpolate, d1), skipped->GetPercent(P, interpolate, d2)) << P;
  for (int n : {1, 2, 100, 3000, 5000}) EXPECT_EQ(kept->GetHigh(n, d1), skipped->GetHigh(n, d2)) << n;
}

// The ranks a percentile reads, selected alone, give the same percentile as a full sort.
TEST(BlockStoreTest, PercentRanksAreEnoughForGetPercent) {
  std::mt19937 rng(3);
  std::uniform_int_distribution<int> level(0, 30);
  std::vector<float> values(8760);
  for (float& v : values) v = static_cast<float>(level(rng)) * 0.5f;
  for (double P : {10.0, 50.0, 98.0, 99.0, 99.9, 99.99, 100.0}) {
    auto full = MakeStore(TAverageValue::hr_1, false, true);
    auto partial = MakeStore(TAverageValue::hr_1, false, true);
    for (size_t h = 0; h < values.size(); ++h) {
      full->AddValue(values[h], static_cast<int32_t>(h) + 1);
      partial->AddValue(values[h], static_cast<int32_t>(h) + 1);
    }
    full->ListStore()->SortList();
    const auto ranks = TPrBlockStore::PercentRanks(partial->HValues().OfferedCount(), P);
    partial->ListStore()->SelectRanks(ranks);
    for (bool interpolate : {false, true}) {
      int32_t d1 = -1, d2 = -1;
      EXPECT_EQ(full->GetPercent(P, interpolate, d1), partial->GetPercent(P, interpolate, d2)) << P;
      EXPECT_EQ(d1, d2) << P;
    }
  }
}

}  // namespace
}  // namespace zorvik
