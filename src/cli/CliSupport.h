#pragma once
// Helpers shared by the subcommands: running a command body with the program's error conventions, the
// options of a run over a POSTFILE and the checks made before any input is read.
#include <CLI/CLI.hpp>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "util/Exceptions.h"
#include "util/OutputGuard.h"

namespace zorvik::cli {

// A mistake in how the program was called: one line on stderr and exit status 2.
ZORVIK_DECLARE_EXCEPTION(EUsageError, Exception);

// Runs body and records its exit status: a failure prints "zorvik-cli: " and the first error of its chain
// on one line of stderr (the whole chain when ZORVIK_TRACE is set) and gives status 1; a usage mistake or
// an output that would replace an input of the run gives 2; a cancel gives 128 + the stop signal (130 for
// Ctrl-C).
void RunCommand(const std::function<void()>& body);
int CommandStatus();
// Prints "zorvik-cli: warning: <text>" on stderr.
void Warn(const std::string& text);
void WarnAll(const std::vector<std::string>& texts);

// The inputs and limits of a run over a POSTFILE (the percentile, hours, rolling and design commands).
struct RunInputs {
  std::string post, plot, met;
  bool single = false;
  int64_t memoryMB = 0;
  int threads = 0;
  int64_t MemoryLimitBytes() const { return memoryMB * 1024 * 1024; }
};
// --post, --plot, --met, --single, --memory and --threads.
void AddRunInputOptions(CLI::App& cmd, RunInputs& inputs);
// The POSTFILE, the PLOTFILE and a named met file must exist (the engine would silently go without a met
// file), and --memory must fit the machine.
void CheckRunInputs(const RunInputs& inputs);
// An --out-dir named (not empty) must be an existing folder: EFOpenError "The output folder F does not exist" or
// "... is not a folder".
void CheckOutputFolder(const std::string& folder);
// The input files of the run with their roles, for the output checks.
std::vector<TFileRole> InputRoles(const RunInputs& inputs);
// Warns on stderr when a met file was read but has no usable hour.
void WarnIfNoUsableMetHour(const RunInputs& inputs, int usableHours);

}  // namespace zorvik::cli
