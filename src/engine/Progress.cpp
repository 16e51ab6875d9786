#include "engine/Progress.h"

#include "util/Exceptions.h"

namespace zorvik {

void TProgressStatusInfo::StartIterative(int64_t start, uint32_t total) {
  if (static_cast<int64_t>(total) < start)
    Assert(false, "iterative progress must have a starting step before ending step");
  cbType = cb_Type::cb_Iter;
  cbMessage.clear();
  caller.clear();
  cbTotal = total;
  cbIter = static_cast<int32_t>(start);
  cbIterState = Tcb_iterState::cb_Begin;
  abortOp = false;
  ExtraData = nullptr;
}

void TProgressReporter::Begin(std::string_view message, uint32_t total, int64_t start) {
  fInfo.StartIterative(start, total);
  fInfo.cbMessage = message;
  Report();
}

void TProgressReporter::BeginIterations(std::string_view message) {
  fInfo.cbIterState = Tcb_iterState::cb_iteration;
  fInfo.cbMessage = message;
}

void TProgressReporter::Step(int32_t iter) {
  fInfo.cbIter = iter;
  Report();
}

void TProgressReporter::Advance() {
  ++fInfo.cbIter;
  Report();
}

void TProgressReporter::Finish() {
  fInfo.cbIterState = Tcb_iterState::cb_Finish;
  Report();
}

TProgressFinishGuard::~TProgressFinishGuard() {
  if (fDone) return;
  try {
    fReporter.Finish();
  } catch (...) {
    // The failure that left the scope is the one to report.
  }
}

void TProgressFinishGuard::Finish() {
  fDone = true;
  fReporter.Finish();
}

}  // namespace zorvik
