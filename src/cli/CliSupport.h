#pragma once
// Helpers shared by the subcommands: running a command body with the program's error conventions.
#include <CLI/CLI.hpp>

#include <cstdint>
#include <functional>
#include <string>

namespace zorvik::cli {

// Runs body and records its exit status: a failure prints "zorvik-cli: " and the first error of its chain
// on one line of stderr (the whole chain when ZORVIK_TRACE is set) and gives status 1; an EAbort gives 130.
void RunCommand(const std::function<void()>& body);
int CommandStatus();

// The inputs and limits of a run over a POSTFILE (the percentile and hours commands).
struct RunInputs {
  std::string post, plot, met;
  bool single = false;
  int64_t memoryMB = 0;
  int threads = 0;
  int64_t MemoryLimitBytes() const { return memoryMB * 1024 * 1024; }
};
// --post, --plot, --met, --single, --memory and --threads.
void AddRunInputOptions(CLI::App& cmd, RunInputs& inputs);
// A named met file must exist (the engine would silently go without one).
void CheckMetFile(const RunInputs& inputs);
// Warns on stderr when a met file was read but has no usable hour.
void WarnIfNoUsableMetHour(const RunInputs& inputs, int usableHours);

}  // namespace zorvik::cli
