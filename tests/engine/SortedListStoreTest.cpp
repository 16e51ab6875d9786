#include "engine/SortedListStore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <random>
#include <span>
#include <vector>

#include "engine/EngineOptions.h"
#include "engine/SliceSweep.h"
#include "util/Exceptions.h"

namespace zorvik {
namespace {

struct TEntry {
  float value;
  int32_t date;
};

std::vector<TEntry> Entries(const TSortedListStore& store) {
  std::vector<TEntry> result;
  for (int i = 0; i < store.StoredCount(); ++i) result.push_back({store.GetValue(i), store.GetDate(i)});
  return result;
}

void ExpectSameEntries(const TSortedListStore& actual, const TSortedListStore& expected, int position) {
  ASSERT_LT(position, expected.StoredCount());
  EXPECT_EQ(std::bit_cast<uint32_t>(actual.GetValue(position)), std::bit_cast<uint32_t>(expected.GetValue(position)))
      << "position " << position;
  EXPECT_EQ(actual.GetDate(position), expected.GetDate(position)) << "position " << position;
}

// Hourly-looking data: a share of zero hours, values over several decades, and many exact repeats.
std::vector<float> RandomValuesWithTies(std::mt19937& rng, int n) {
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::uniform_int_distribution<int> level(0, 40);
  std::vector<float> values(static_cast<size_t>(n));
  for (float& v : values) {
    const double u = unit(rng);
    if (u < 0.2)
      v = 0.0f;
    else if (u < 0.6)
      v = static_cast<float>(level(rng)) * 0.25f;  // few distinct values: many ties
    else
      v = static_cast<float>(std::pow(10.0, -3.0 + 6.0 * unit(rng)));
  }
  return values;
}

TEST(SortedListStoreTest, SortsHighestFirstWithTiesInOrderOfAddition) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  TSortedListStore store(false);
  const std::vector<TEntry> added = {{2.0f, 1}, {-0.0f, 2}, {nan, 3}, {5.0f, 4}, {0.0f, 5}, {2.0f, 6},
                                     {-1.5f, 7}, {inf, 8}, {-nan, 9}, {2.0f, 10}, {-0.0f, 11}, {1e-30f, 12}};
  for (const TEntry& e : added) store.AddItem(e.value, e.date);
  store.SortList();
  // Equal values (the three 2s, the zeros of either sign, the NaNs) keep the order in which they came.
  const std::vector<int32_t> expectedDates = {8, 4, 1, 6, 10, 12, 2, 5, 11, 7, 3, 9};
  std::vector<int32_t> dates;
  for (const TEntry& e : Entries(store)) dates.push_back(e.date);
  EXPECT_EQ(dates, expectedDates);
  EXPECT_TRUE(std::signbit(store.GetValue(6)));  // -0 keeps its sign
  EXPECT_TRUE(std::isnan(store.GetValue(10)));
  EXPECT_EQ(store.OfferedCount(), 12);

  const auto before = Entries(store);
  store.SortList();  // sorting a sorted store changes nothing
  const auto after = Entries(store);
  for (size_t i = 0; i < before.size(); ++i) EXPECT_EQ(after[i].date, before[i].date);
}

TEST(SortedListStoreTest, EverySortMethodGivesTheSameOrder) {
  std::mt19937 rng(7);
  for (int n : {0, 1, 2, 5, 255, 256, 1095, 8760}) {
    const std::vector<float> values = RandomValuesWithTies(rng, n);
    std::vector<int32_t> dates(values.size());
    for (size_t i = 0; i < dates.size(); ++i) dates[i] = static_cast<int32_t>(i) + 1;

    std::vector<std::vector<int32_t>> results;
    for (auto method : {detail::TSortMethod::Radix, detail::TSortMethod::PackedKeys,
                        detail::TSortMethod::IndexPermutation}) {
      std::vector<float> v = values;
      std::vector<int32_t> d = dates;
      detail::SortEntries(v, d, method);
      for (size_t i = 0; i < v.size(); ++i) ASSERT_EQ(v[i], values[static_cast<size_t>(d[i] - 1)]);
      for (size_t i = 1; i < v.size(); ++i) {
        ASSERT_GE(v[i - 1], v[i]) << "n " << n << " position " << i;
        if (v[i - 1] == v[i]) {
          ASSERT_LT(d[i - 1], d[i]) << "n " << n << " position " << i;
        }
      }
      results.push_back(d);
    }
    EXPECT_EQ(results[0], results[1]) << n;
    EXPECT_EQ(results[0], results[2]) << n;
  }
}

TEST(SortedListStoreTest, SkippedZerosAreCountedButNotKept) {
  TSortedListStore store(true);
  EXPECT_TRUE(store.SkipZeroValues());
  for (float v : {0.0f, 3.0f, -2.0f, 1e-37f, 1e-36f, -0.0f}) store.AddItem(v, 1);
  EXPECT_EQ(store.OfferedCount(), 6);
  EXPECT_EQ(store.StoredCount(), 2);
  store.SortList();
  EXPECT_EQ(store.GetValue(0), 3.0f);
  EXPECT_EQ(store.GetValue(1), 1e-36f);

  store.Clear();
  EXPECT_EQ(store.OfferedCount(), 0);
  EXPECT_EQ(store.StoredCount(), 0);
}

// A batch keeps exactly what one AddItem per pair keeps, in the same order, across the batch's inner blocks.
TEST(SortedListStoreTest, AddItemsKeepsWhatSingleAddsKeep) {
  std::mt19937 rng(11);
  std::vector<float> values = RandomValuesWithTies(rng, 200);
  // Zeros of both signs, the zero limit's neighbours on either side (in float), negatives, NaN.
  const float specials[] = {-0.0f, 1e-37f, 1e-36f, -2.0f, std::numeric_limits<float>::quiet_NaN(), 0.0f,
                            kZeroFloat, std::nextafter(kZeroFloat, 1.0f)};
  for (size_t i = 0; i < std::size(specials); ++i) values[i * 23 + 3] = specials[i];
  std::vector<int32_t> dates(values.size());
  for (size_t i = 0; i < dates.size(); ++i) dates[i] = 96010101 + static_cast<int32_t>(i);
  for (const bool skipZeros : {true, false})
    for (const bool keepDates : {true, false})
      for (const size_t n : {size_t{0}, size_t{1}, size_t{63}, size_t{64}, size_t{65}, size_t{200}}) {
        TSortedListStore single(skipZeros), batch(skipZeros);
        single.SetKeepDates(keepDates);
        batch.SetKeepDates(keepDates);
        for (size_t i = 0; i < n; ++i) single.AddItem(values[i], dates[i]);
        batch.AddItems(std::span(values).first(n), std::span(dates).first(n));
        SCOPED_TRACE(testing::Message() << "skip " << skipZeros << " dates " << keepDates << " n " << n);
        EXPECT_EQ(batch.OfferedCount(), single.OfferedCount());
        ASSERT_EQ(batch.Values().size(), single.Values().size());
        for (size_t i = 0; i < single.Values().size(); ++i)
          EXPECT_EQ(std::bit_cast<uint32_t>(batch.Values()[i]), std::bit_cast<uint32_t>(single.Values()[i])) << i;
        EXPECT_TRUE(std::ranges::equal(batch.Dates(), single.Dates()));
      }
}

TEST(SortedListStoreTest, IndexOutsideTheKeptValuesIsARangeError) {
  TSortedListStore store(false);
  store.AddItem(1.0f, 7);
  for (int bad : {-1, 1, 5}) {
    try {
      store.GetValue(bad);
      ADD_FAILURE() << bad;
    } catch (const std::out_of_range& e) {
      EXPECT_EQ(std::string(e.what()), "List index out of bounds (" + std::to_string(bad) + ")");
      EXPECT_EQ(ExceptionClassName(e), "ERangeError");
    }
    EXPECT_THROW(store.GetDate(bad), std::out_of_range);
  }
}

// Every rank from 1 to the deepest one asked for holds what the full sort puts there, for stores of several
// sizes filled in random, rising and falling order.
TEST(SortedListStoreTest, SelectedRanksMatchTheFullSort) {
  const std::vector<std::vector<int>> rankSets = {
      {175, 176},             // the 98th percentile of 8760 hours
      {1},                    // the highest
      {1, 2, 3, 4, 5, 6},     // 1st to 6th high
      {40, 2, 40, 7},         // unordered, duplicates
      {2000},                 // deep, still selected
      {0, -3, 9000, 3},       // out of range ignored
      {3000, 176},            // deep enough to sort fully
      {7500, 8000, 8760},     // in the zero hours
  };
  std::mt19937 rng(2024);
  for (int n : {10, 300, 8760}) {
    for (int order = 0; order < 3; ++order) {
      std::vector<float> values = RandomValuesWithTies(rng, n);
      if (order == 1) std::sort(values.begin(), values.end());
      if (order == 2) std::sort(values.rbegin(), values.rend());
      TSortedListStore sorted(false);
      for (size_t i = 0; i < values.size(); ++i) sorted.AddItem(values[i], static_cast<int32_t>(i) + 1);
      sorted.SortList();
      for (const auto& ranks : rankSets) {
        SCOPED_TRACE(testing::Message() << "n " << n << " order " << order << " deepest rank " << ranks[0]);
        TSortedListStore selected(false);
        for (size_t i = 0; i < values.size(); ++i) selected.AddItem(values[i], static_cast<int32_t>(i) + 1);
        selected.SelectRanks(ranks);
        int deepest = 0;
        for (int rank : ranks)
          if (rank <= n) deepest = std::max(deepest, rank);
        for (int position = 0; position < deepest; ++position) ExpectSameEntries(selected, sorted, position);
        // Still a permutation of what was added.
        std::vector<int32_t> dates(selected.Dates().begin(), selected.Dates().end());
        std::sort(dates.begin(), dates.end());
        for (size_t i = 0; i < dates.size(); ++i) ASSERT_EQ(dates[i], static_cast<int32_t>(i) + 1);
      }
    }
  }
}

TEST(SortedListStoreTest, RankingAgainAfterASelectionIsRefused) {
  TSortedListStore store(false);
  for (int i = 0; i < 20; ++i) store.AddItem(static_cast<float>(i % 3), i);
  const int ranks[] = {2};
  store.SelectRanks(ranks);
  try {
    store.SortList();
    FAIL() << "no exception";
  } catch (const EAssertionFailed& e) {
    EXPECT_STREQ(e.what(), "Assertion Failed: the store was ranked partially; clear it before ranking it again");
  }
  EXPECT_THROW(store.SelectRanks(ranks), EAssertionFailed);
  store.Clear();
  store.AddItem(1.0f, 1);
  EXPECT_NO_THROW(store.SortList());
  EXPECT_NO_THROW(store.SelectRanks(ranks));  // a sorted store already has every rank in place
}

}  // namespace
}  // namespace zorvik
