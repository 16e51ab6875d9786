#pragma once
// Progress on stderr for the long commands, and Ctrl-C as the engine's cancel request.
#include "engine/Progress.h"

namespace zorvik::cli {

// SIGINT (Ctrl-C), SIGTERM and SIGHUP become a cancel request of the run: the engine stops at its next check,
// outputs and temporary files are dropped on the way out and the program exits with 128 + the signal.
void InstallStopSignalHandlers();
// A progress callback that draws a bar on stderr when it is a terminal (nothing otherwise) and sets abortOp
// once a stop signal arrived. Installs the handlers on first use.
TCB_ProgressEX TerminalProgress();
// True once a stop signal arrived; StopSignal() is that signal (0 while none did).
bool Interrupted();
int StopSignal();

}  // namespace zorvik::cli
