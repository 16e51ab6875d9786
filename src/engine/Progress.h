#pragma once
// The progress record and callback through which the engine reports its steps without knowing any window.
// A receiver maps the record onto its display: cb_Begin starts it (cbMessage as caption, cbTotal as
// maximum), cb_iteration moves it to cbIter and shows cbMessage, cb_Finish ends it. The receiver may set
// abortOp at any report; the reporter stops at its next check.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace zorvik {

enum class cb_Type : uint8_t { cb_Simple, cb_Iter, cb_Error };
enum class Tcb_iterState : uint8_t { cb_Begin, cb_iteration, cb_Finish };

struct TProgressStatusInfo {
  cb_Type cbType = cb_Type::cb_Simple;
  std::string cbMessage;  // the text to show
  std::string caller;
  uint32_t cbTotal = 0;  // step count of the whole task
  int32_t cbIter = 0;    // the current step
  Tcb_iterState cbIterState = Tcb_iterState::cb_Begin;
  bool abortOp = false;            // set by the receiver to ask the reporter to stop
  const void* ExtraData = nullptr;  // not owned

  // Starts an iterative progress from step `start` to `total`: cb_Iter, cb_Begin, empty message and caller,
  // abortOp cleared, no extra data. Raises EAssertionFailed when total < start.
  void StartIterative(int64_t start, uint32_t total);
};

// The callback; the reporter passes itself as sender. An empty function is an unassigned callback.
using TCB_ProgressEX = std::function<void(const void* sender, TProgressStatusInfo& info)>;

// Calls `callback` when it is assigned.
inline void ReportProgress(const TCB_ProgressEX& callback, const void* sender, TProgressStatusInfo& info) {
  if (callback) callback(sender, info);
}

// What a reporting engine holds: the callback, itself as sender and the record, with the steps of an
// iterative progress. Typical use:
//   reporter.Begin("Reading Post File...", total);   // cb_Begin reported
//   reporter.BeginIterations(fileName);               // cb_iteration from now on
//   while (... && !reporter.Aborted()) { ...; reporter.Step(i); }
//   reporter.Finish();                                // cb_Finish reported
class TProgressReporter {
 public:
  TProgressReporter(TCB_ProgressEX callback, const void* sender)
      : fCallback(std::move(callback)), fSender(sender) {}

  bool Assigned() const { return static_cast<bool>(fCallback); }
  TProgressStatusInfo& Info() { return fInfo; }
  const TProgressStatusInfo& Info() const { return fInfo; }
  bool Aborted() const { return fInfo.abortOp; }

  // Starts an iterative progress from `start` to `total` with `message` and reports it (cb_Begin).
  void Begin(std::string_view message, uint32_t total, int64_t start = 0);
  // Switches to cb_iteration with `message`; reports nothing yet.
  void BeginIterations(std::string_view message);
  // cbIter := iter, then reports.
  void Step(int32_t iter);
  // cbIter += 1, then reports.
  void Advance();
  // Reports the record as it stands.
  void Report() { ReportProgress(fCallback, fSender, fInfo); }
  // Reports cb_Finish.
  void Finish();

 private:
  TCB_ProgressEX fCallback;
  const void* fSender;
  TProgressStatusInfo fInfo;
};

// Reports cb_Finish when a progress ends, also on failure. Call Finish() on the normal path (a failure of
// the callback then passes out); when the scope is left without it, the destructor reports cb_Finish and
// swallows any failure of the callback, so that the original error is the one that propagates.
class TProgressFinishGuard {
 public:
  explicit TProgressFinishGuard(TProgressReporter& reporter) : fReporter(reporter) {}
  ~TProgressFinishGuard();
  TProgressFinishGuard(const TProgressFinishGuard&) = delete;
  TProgressFinishGuard& operator=(const TProgressFinishGuard&) = delete;
  void Finish();

 private:
  TProgressReporter& fReporter;
  bool fDone = false;
};

}  // namespace zorvik
