// Ranking one receptor's year of hourly values: the full sort (each method that was considered) against
// the partial selection of the few ranks a percentile or a high-value file reads.
//
//   build/bench/bench_ranking --benchmark_min_time=0.2
//
// Data: 8,760 hours, a given percentage of them above zero, log-uniform over 1e-4 .. 1e2, with 10 % of the
// non-zero hours repeating one of a few values (ties).
#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <random>
#include <vector>

#include "engine/BlockStore.h"
#include "engine/EngineOptions.h"
#include "engine/SortedListStore.h"

namespace {

using zorvik::TSortedListStore;
using zorvik::detail::TSortMethod;

constexpr int kHours = 8760;

struct THourData {
  std::vector<float> values;
  std::vector<int32_t> dates;
};

THourData MakeHours(int nonZeroPercent, bool keepZeros) {
  std::mt19937 rng(static_cast<unsigned>(nonZeroPercent));
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  THourData d;
  for (int h = 0; h < kHours; ++h) {
    float v = 0.0f;
    if (unit(rng) * 100.0 < nonZeroPercent) {
      v = unit(rng) < 0.1 ? static_cast<float>(1 + static_cast<int>(unit(rng) * 5))
                          : static_cast<float>(std::pow(10.0, -4.0 + 6.0 * unit(rng)));
    }
    if (v == 0.0f && !keepZeros) continue;
    d.values.push_back(v);
    d.dates.push_back(17010101 + h);
  }
  return d;
}

// Args: method, percent non-zero, zeros kept (1) or skipped (0).
void BM_SortMethod(benchmark::State& state) {
  const auto method = static_cast<TSortMethod>(state.range(0));
  const THourData data = MakeHours(static_cast<int>(state.range(1)), state.range(2) != 0);
  std::vector<float> values;
  std::vector<int32_t> dates;
  for (auto _ : state) {
    values = data.values;
    dates = data.dates;
    zorvik::detail::SortEntries(values, dates, method);
    benchmark::DoNotOptimize(values.data());
  }
  state.SetLabel(std::to_string(data.values.size()) + " values");
}
BENCHMARK(BM_SortMethod)
    ->ArgNames({"method", "nonzero%", "zeros"})
    ->ArgsProduct({{static_cast<int>(TSortMethod::Radix), static_cast<int>(TSortMethod::PackedKeys),
                    static_cast<int>(TSortMethod::IndexPermutation)},
                   {70, 80, 90},
                   {0, 1}})
    ->Unit(benchmark::kMicrosecond);

// The copy alone, to subtract from the figures above.
void BM_CopyOnly(benchmark::State& state) {
  const THourData data = MakeHours(80, state.range(0) != 0);
  std::vector<float> values;
  std::vector<int32_t> dates;
  for (auto _ : state) {
    values = data.values;
    dates = data.dates;
    benchmark::DoNotOptimize(values.data());
    benchmark::DoNotOptimize(dates.data());
  }
}
BENCHMARK(BM_CopyOnly)->ArgName("zeros")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// A store filled as the block stores fill it, then ranked. Arg: which ranking (see kRankings).
const std::vector<std::vector<int>> kRankings = {
    {},                        // 0: SortList
    {175, 176},                // 1: the 98th percentile of 8,760 hours
    {1, 2, 3, 4, 5, 6},        // 2: 1st to 6th high
    {1},                       // 3: the highest
    {1, 176, 175, 2, 88, 87},  // 4: a mix
    {876},                     // 5: the 90th percentile
    {1752},                    // 6: the 80th percentile
    {3504},                    // 7: the 60th percentile (sorts fully)
};
void FillStore(TSortedListStore& store, const THourData& data) {
  store.Clear();
  store.SetCapacity(kHours);
  for (size_t i = 0; i < data.values.size(); ++i) store.AddItem(data.values[i], data.dates[i]);
}

void BM_StoreRanking(benchmark::State& state) {
  const auto& ranks = kRankings[static_cast<size_t>(state.range(0))];
  const bool keepZeros = state.range(1) != 0;
  const THourData data = MakeHours(80, true);
  TSortedListStore store(!keepZeros);
  for (auto _ : state) {
    FillStore(store, data);
    if (ranks.empty())
      store.SortList();
    else
      store.SelectRanks(ranks);
    benchmark::DoNotOptimize(store.Values().data());
  }
}
BENCHMARK(BM_StoreRanking)
    ->ArgNames({"ranking", "zeros"})
    ->ArgsProduct({{0, 1, 2, 3, 4, 5, 6, 7}, {0, 1}})
    ->Unit(benchmark::kMicrosecond);

void BM_StoreFillOnly(benchmark::State& state) {
  const THourData data = MakeHours(80, true);
  TSortedListStore store(state.range(0) == 0);
  for (auto _ : state) {
    FillStore(store, data);
    benchmark::DoNotOptimize(store.Values().data());
  }
}
BENCHMARK(BM_StoreFillOnly)->ArgName("zeros")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// A year of hours through a block store, 5 % of them calm. Args: period hours (1, 8 or 24), rolling.
void BM_BlockStoreFill(benchmark::State& state) {
  const auto period = state.range(0) == 1   ? zorvik::TAverageValue::hr_1
                      : state.range(0) == 8 ? zorvik::TAverageValue::hr_8
                                            : zorvik::TAverageValue::hr_24;
  const THourData data = MakeHours(80, true);
  std::vector<bool> calm(data.values.size());
  std::mt19937 rng(3);
  for (size_t h = 0; h < calm.size(); ++h) calm[h] = rng() % 20 == 0;
  zorvik::TPrBlockStore store(period, {}, 0, zorvik::TEngineOptions{{period}, state.range(1) != 0, true});
  for (auto _ : state) {
    store.HValues().Clear();
    store.HValues().SetCapacity(kHours);
    for (size_t h = 0; h < data.values.size(); ++h) {
      if (calm[h])
        store.AddCalmHour();
      else
        store.AddValue(data.values[h], data.dates[h]);
    }
    benchmark::DoNotOptimize(store.ListStore()->Values().data());
  }
}
BENCHMARK(BM_BlockStoreFill)
    ->ArgNames({"hours", "rolling"})
    ->Args({1, 0})
    ->Args({8, 0})
    ->Args({8, 1})
    ->Args({24, 1})
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
