// The shortcuts of the engine's ranking must give exactly what filling a store value by value and ranking it
// gives: streaming selection of the highest entries, stores filled with ranked entries, and stores that drop
// their dates.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string_view>
#include <string>
#include <functional>
#include <vector>

#include "engine/SortedListStore.h"
#include "util/Exceptions.h"

namespace zorvik {
namespace {

// Hourly values with many ties and zeros.
std::vector<float> Series(unsigned seed, size_t n) {
  std::mt19937 random(seed);
  std::vector<float> v(n);
  for (auto& x : v) {
    const unsigned r = random() % 100;
    x = r < 20 ? 0.0f : static_cast<float>(r % 23) * 0.25f;
  }
  return v;
}

TEST(RankingShortcutsTest, StreamingSelectionMatchesTheFullSort) {
  for (bool skipZeros : {false, true}) {
    for (size_t m : {size_t{1}, size_t{6}, size_t{176}, size_t{500}}) {
     // A buffer of twice the kept entries cuts now and then; one a word larger than them cuts at every offer.
     for (size_t capacity : {std::max<size_t>(2 * m, 64), m + 1}) {
      const std::vector<float> values = Series(static_cast<unsigned>(m) + (skipZeros ? 7 : 0), 2000);
      std::vector<int32_t> dates(values.size());
      for (size_t i = 0; i < dates.size(); ++i) dates[i] = 1000 + static_cast<int32_t>(i);

      TSortedListStore full(skipZeros);
      for (size_t i = 0; i < values.size(); ++i) full.AddItem(values[i], dates[i]);
      full.SortList();

      // The engine's way: offer the kept values, then hand the ranked entries to an empty store.
      std::vector<uint64_t> buffer(capacity);
      detail::TLowestWords lowest(buffer.data(), static_cast<uint32_t>(buffer.size()), static_cast<uint32_t>(m));
      int kept = 0;
      for (size_t i = 0; i < values.size(); ++i) {
        if (skipZeros && values[i] <= 1e-37) continue;
        ++kept;
        lowest.Offer(values[i], static_cast<uint32_t>(i));
      }
      const uint32_t count = lowest.Finish();
      std::vector<float> rankedValues;
      std::vector<int32_t> rankedDates;
      for (uint32_t e = 0; e < count; ++e) {
        rankedValues.push_back(detail::TLowestWords::ValueOf(buffer[e]));
        rankedDates.push_back(dates[detail::TLowestWords::PositionOf(buffer[e])]);
      }
      TSortedListStore ranked(skipZeros);
      ranked.AssignRanked(rankedValues, rankedDates, kept, static_cast<int>(values.size()));

      EXPECT_EQ(ranked.StoredCount(), full.StoredCount());
      EXPECT_EQ(ranked.OfferedCount(), full.OfferedCount());
      for (int r = 0; r < static_cast<int>(std::min<size_t>(m, static_cast<size_t>(full.StoredCount()))); ++r) {
        ASSERT_EQ(ranked.GetValue(r), full.GetValue(r)) << "m " << m << " rank " << r + 1;
        ASSERT_EQ(ranked.GetDate(r), full.GetDate(r)) << "m " << m << " rank " << r + 1;
      }
      if (static_cast<int>(m) < full.StoredCount()) {
        EXPECT_THROW(ranked.GetValue(static_cast<int>(m)), std::out_of_range);
      }
     }
    }
  }
}

// A selection at several places puts each place's word where a full sort would, with only smaller words before
// it and only larger after it; the vector partition and the portable one alike, for words of 64 and of 32 bits
// and every tail of a register's words.
TEST(RankingShortcutsTest, SelectionAtPlacesMatchesTheSort) {
  const std::vector<std::vector<double>> placeShares{{1.0}, {0.8}, {0.0, 0.5, 1.0},
                                                     {0.01, 0.02, 0.1, 0.11, 0.4, 0.41, 0.8, 0.81}};
  std::mt19937_64 random(5);
  const auto check = [&]<class TWord>(TWord) {
    for (bool vectors : {true, false})
      for (size_t n : {size_t{1}, size_t{9}, size_t{17}, size_t{100}, size_t{2738}, size_t{2739}, size_t{2745}})
        for (const std::vector<double>& shares : placeShares)
          // Ties now and then, and a range of nearly all ties, to keep the partition honest; words in no order,
          // and in the orders that defeat simple pivots: a run in order with a few smaller words after it (a
          // selector's buffer cut before), descending, ascending then descending.
          for (uint64_t spread : {uint64_t{4} * n, uint64_t{3}})
           for (const char* order : {"random", "run and tail", "descending", "pipe"}) {
            SCOPED_TRACE(std::string(sizeof(TWord) == 8 ? "64 bits, " : "32 bits, ") + order);
            std::vector<TWord> words(n);
            for (auto& w : words) w = static_cast<TWord>(random() % spread);
            const auto middle = words.begin() + static_cast<std::ptrdiff_t>(n / 2);
            const auto tail = words.end() - static_cast<std::ptrdiff_t>(n / 8);
            if (std::string_view(order) == "run and tail") {
              std::sort(words.begin(), tail);
              for (auto w = tail; w != words.end(); ++w) *w = static_cast<TWord>(*w % (spread / 8 + 1));
            } else if (std::string_view(order) == "descending") {
              std::sort(words.rbegin(), words.rend());
            } else if (std::string_view(order) == "pipe") {
              std::sort(words.begin(), middle);
              std::sort(middle, words.end(), std::greater<>());
            }
            std::vector<TWord> sorted = words;
            std::sort(sorted.begin(), sorted.end());
            std::vector<size_t> places;
            for (double share : shares) places.push_back(static_cast<size_t>(share * static_cast<double>(n - 1)));
            places.erase(std::unique(places.begin(), places.end()), places.end());
            detail::SelectAtPlaces(words.data(), n, places, vectors);
            for (size_t p : places) {
              ASSERT_EQ(words[p], sorted[p]) << "n " << n << " place " << p;
              for (size_t i = 0; i < p; ++i) ASSERT_LE(words[i], words[p]) << "n " << n << " place " << p;
              for (size_t i = p + 1; i < n; ++i) ASSERT_GE(words[i], words[p]) << "n " << n << " place " << p;
            }
            std::sort(words.begin(), words.end());
            ASSERT_EQ(words, sorted) << "n " << n;
           }
  };
  check(uint64_t{});
  check(uint32_t{});
}

// Ranking the kept entries only at the ranks a writer reads gives those ranks exactly; a store filled so answers
// them alone.
TEST(RankingShortcutsTest, RanksPlacedAloneMatchTheFullRanking) {
  const std::vector<float> values = Series(11, 3000);
  for (const std::vector<int>& ranks : {std::vector<int>{59, 60}, {1, 7, 60}, {60}}) {
    std::vector<uint64_t> fullBuffer(120), partBuffer(120);
    detail::TLowestWords full(fullBuffer.data(), 120, 60), part(partBuffer.data(), 120, 60);
    for (size_t i = 0; i < values.size(); ++i) {
      full.Offer(values[i], static_cast<uint32_t>(i));
      part.Offer(values[i], static_cast<uint32_t>(i));
    }
    ASSERT_EQ(part.FinishAtRanks(ranks), full.Finish());
    std::vector<float> kept;
    std::vector<int32_t> dates;
    for (size_t e = 0; e < 60; ++e) {
      kept.push_back(detail::TLowestWords::ValueOf(partBuffer[e]));
      dates.push_back(static_cast<int32_t>(detail::TLowestWords::PositionOf(partBuffer[e])));
    }
    TSortedListStore store(false);
    store.AssignAtRanks(kept, dates, 3000, 3000, ranks);
    for (int r : ranks) {
      EXPECT_EQ(partBuffer[static_cast<size_t>(r - 1)], fullBuffer[static_cast<size_t>(r - 1)]) << "rank " << r;
      EXPECT_EQ(store.GetValue(r - 1), detail::TLowestWords::ValueOf(fullBuffer[static_cast<size_t>(r - 1)]));
    }
    EXPECT_THROW(store.GetValue(ranks.front() == 1 ? 1 : 0), EAssertionFailed);
    EXPECT_THROW(store.GetDate(30), EAssertionFailed);

    // The keys alone (no positions) place the same values at those ranks.
    std::vector<uint32_t> keyBuffer(120);
    detail::TLowestKeys keys(keyBuffer.data(), 120, 60);
    for (size_t i = 0; i < values.size(); ++i) keys.Offer(values[i], static_cast<uint32_t>(i));
    ASSERT_EQ(keys.FinishAtRanks(ranks), 60u);
    for (int r : ranks)
      EXPECT_EQ(detail::TLowestKeys::ValueOf(keyBuffer[static_cast<size_t>(r - 1)]),
                detail::TLowestWords::ValueOf(fullBuffer[static_cast<size_t>(r - 1)]))
          << "rank " << r;
  }
}

TEST(RankingShortcutsTest, StoreWithoutDatesSortsTheSameValues) {
  const std::vector<float> values = Series(3, 9000);
  TSortedListStore withDates(true), withoutDates(true);
  withoutDates.SetKeepDates(false);
  for (size_t i = 0; i < values.size(); ++i) {
    withDates.AddItem(values[i], static_cast<int32_t>(i));
    withoutDates.AddItem(values[i], static_cast<int32_t>(i));
  }
  withDates.SortList();
  withoutDates.SortList();
  ASSERT_EQ(withoutDates.StoredCount(), withDates.StoredCount());
  for (int i = 0; i < withDates.StoredCount(); ++i) {
    ASSERT_EQ(withoutDates.GetValue(i), withDates.GetValue(i)) << i;
    EXPECT_EQ(withoutDates.GetDate(i), 0);
  }
  EXPECT_TRUE(withoutDates.Dates().empty());
}

}  // namespace
}  // namespace zorvik
