#pragma once
// The one way the engine fans work out over threads: a run of receptors is cut into contiguous ranges, each
// range gets a thread of its own (or the next free one of a few), and the caller waits for all of them. Tasks
// share nothing mutable; a task's failure is kept and, once every thread has ended, the failure of the lowest
// range is raised again, so that what a run reports does not depend on which thread failed first.
#include <functional>
#include <vector>

namespace zorvik {

struct TReceptorRange {
  int from = 0;
  int count = 0;
};

// [start, start + n) cut into at most `parts` ranges of ceil(n / parts) receptors (the last may be shorter).
std::vector<TReceptorRange> SplitRange(int start, int n, int parts);

// Runs task(i) for i = 0 .. count - 1: each on its own thread, or with threadCount > 0 on at most that many
// threads, each taking the next task in order as it finishes one. onFailure (may be empty) is called on the
// failing thread when a task fails, so that the others can stop early; watch (may be empty) runs on the calling
// thread meanwhile and should return soon after every task has ended.
void RunInParallel(size_t count, const std::function<void(size_t)>& task, const std::function<void()>& onFailure = {},
                   const std::function<void()>& watch = {}, size_t threadCount = 0);

}  // namespace zorvik
