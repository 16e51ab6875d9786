#include "engine/ParallelRanges.h"

#include <algorithm>
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
                   const std::function<void()>& watch) {
  std::vector<std::exception_ptr> errors(count);
  std::vector<std::thread> threads;
  threads.reserve(count);
  for (size_t i = 0; i < count; ++i)
    threads.emplace_back([&, i] {
      try {
        task(i);
      } catch (...) {
        errors[i] = std::current_exception();
        if (onFailure) onFailure();
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
