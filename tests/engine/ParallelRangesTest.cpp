#include "engine/ParallelRanges.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <vector>

namespace zorvik {
namespace {

// Fewer threads than tasks: every task runs once, and of several failures the lowest task's is raised, whichever
// thread met it and whenever.
TEST(ParallelRangesTest, TasksTakenInTurnRunOnceAndRaiseTheLowestFailure) {
  for (const size_t threads : {size_t{0}, size_t{1}, size_t{2}, size_t{3}, size_t{20}}) {
    SCOPED_TRACE(threads);
    std::vector<std::atomic<int>> runs(9);
    RunInParallel(runs.size(), [&](size_t i) { ++runs[i]; }, {}, {}, threads);
    for (const auto& count : runs) EXPECT_EQ(count.load(), 1);

    std::atomic<int> failures{0};
    try {
      RunInParallel(
          runs.size(),
          [&](size_t i) {
            if (i == 7 || i == 4) throw std::runtime_error("task " + std::to_string(i));
          },
          [&] { ++failures; }, {}, threads);
      ADD_FAILURE() << "no failure raised";
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(std::string(e.what()), "task 4");
    }
    EXPECT_EQ(failures.load(), 2);
  }
}

}  // namespace
}  // namespace zorvik
