#pragma once
// Helpers shared by the subcommands: running a command body with the program's error conventions.
#include <functional>
#include <string>

namespace zorvik::cli {

// Runs body and records its exit status: a failure prints "zorvik-cli: " and the first error of its chain
// on one line of stderr (the whole chain when ZORVIK_TRACE is set) and gives status 1; an EAbort gives 130.
void RunCommand(const std::function<void()>& body);
int CommandStatus();

}  // namespace zorvik::cli
