#include "engine/ParallelRanges.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <thread>

namespace zorvik {

std::vector<TReceptorRange> SplitRange(int start, int n, int parts) {
  std::vector<TReceptorRange> ranges;
  if (n <= 0) return ranges;
  parts = std::clamp(parts, 1, n);
  const int per = (n + parts - 1) / parts;
  for (int e = 0; e < n; e += per) ranges.push_back({start + e, std::min(per, n - e)});
  return ranges;
}

void RunInParallel(size_t count, const std::function<void(size_t)>& task, const std::function<void()>& onFailure,
                   const std::function<void()>& watch, size_t threadCount) {
  std::vector<std::exception_ptr> errors(count);
  const size_t workers = threadCount == 0 ? count : std::min(count, threadCount);
  std::atomic<size_t> next{0};
  std::vector<std::thread> threads;
  threads.reserve(workers);
  for (size_t w = 0; w < workers; ++w)
    threads.emplace_back([&] {
      // Each thread takes the next task not yet taken, so that a thread whose tasks went quickly takes more.
      for (size_t i = next++; i < count; i = next++) {
        try {
          task(i);
        } catch (...) {
          errors[i] = std::current_exception();
          if (onFailure) onFailure();
        }
      }
    });
  if (watch) {
    try {
      watch();
    } catch (...) {
      if (onFailure) onFailure();
      for (auto& thread : threads) thread.join();
      throw;
    }
  }
  for (auto& thread : threads) thread.join();
  for (auto& error : errors)
    if (error) std::rethrow_exception(error);
}

}  // namespace zorvik
