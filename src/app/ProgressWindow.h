#pragma once
// The progress window of long runs: at most one, modal over the main window, never closed by the user. The
// engine runs on a worker thread while the window shows its steps; the callbacks below carry the engine's
// progress record across and hand Cancel back as abortOp.
#include <functional>
#include <string>

#include "engine/Progress.h"

class QWidget;

namespace zorvik {

// The four operations over the one process-wide window (safe to call from the user-interface thread only).
// onCancel / onStop may be empty: that button stays hidden (no buttons: the window is 75 pixels high).
void ProgressStart(const std::string& caption, int maximum, std::function<void()> onCancel = {},
                   std::function<void()> onStop = {});
void ProgressStep(int position);
void ProgressMessage(const std::string& text);
void ProgressEnd();
// True while the window is up.
bool ProgressShowing();

// Runs `work` on a worker thread behind the modal progress window and returns when it has ended, rethrowing
// its failure. `work` receives the callback to give the engine: it maps cb_Begin / cb_iteration / cb_Finish
// onto the window, and when `cancellable` shows Cancel, whose click sets abortOp at the engine's next report.
// The windows keep painting meanwhile; input to the main window is not taken.
void RunWithProgress(QWidget* parent, bool cancellable, const std::function<void(TCB_ProgressEX)>& work);

}  // namespace zorvik
