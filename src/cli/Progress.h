#pragma once
// Progress on stderr for the long commands, and Ctrl-C as the engine's cancel request.
#include "engine/Progress.h"

namespace zorvik::cli {

// A progress callback that draws a bar on stderr when it is a terminal (nothing otherwise) and sets abortOp
// once Ctrl-C was pressed. Installs the SIGINT handler on first use.
TCB_ProgressEX TerminalProgress();
// True once Ctrl-C was pressed.
bool Interrupted();

}  // namespace zorvik::cli
