#include "cli/CliSupport.h"

#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "cli/Commands.h"
#include "util/ExceptionLog.h"

namespace zorvik::cli {
namespace {
int gStatus = kExitOk;

std::string OneLine(std::string text) {
  for (auto& c : text)
    if (c == '\r' || c == '\n') c = ' ';
  return text;
}
}  // namespace

void RunCommand(const std::function<void()>& body) {
  try {
    body();
    gStatus = kExitOk;
  } catch (const EAbort&) {
    std::cerr << "zorvik-cli: cancelled\n";
    gStatus = kExitCancelled;
  } catch (const std::exception& e) {
    if (std::getenv("ZORVIK_TRACE")) {
      std::cerr << "zorvik-cli: " << e.what() << "\n";
    } else {
      std::cerr << "zorvik-cli: " << OneLine(RootMessage(e)) << "\n";
    }
    gStatus = kExitError;
  }
}

int CommandStatus() { return gStatus; }

void AddRunInputOptions(CLI::App& cmd, RunInputs& inputs) {
  cmd.add_option("--post", inputs.post, "the 1-hour POSTFILE")->required();
  cmd.add_option("--plot", inputs.plot, "the PLOTFILE of the same run (receptors and coordinates)")->required();
  cmd.add_option("--met", inputs.met, "met file marking calm and missing hours");
  cmd.add_flag("--single", inputs.single, "single-precision POSTFILE of an older model version");
  cmd.add_option("--memory", inputs.memoryMB, "cap of the memory for values, in MB")->check(CLI::PositiveNumber);
  cmd.add_option("--threads", inputs.threads, "cap of the worker threads")->check(CLI::PositiveNumber);
}

void CheckMetFile(const RunInputs& inputs) {
  std::error_code ec;
  if (!inputs.met.empty() && !std::filesystem::exists(inputs.met, ec))
    throw EFileNotFound("The met file does not exist: " + inputs.met);
}

void WarnIfNoUsableMetHour(const RunInputs& inputs, int usableHours) {
  if (usableHours == 0)
    std::cerr << "zorvik-cli: warning: the met file " << inputs.met
              << " has no usable hour: every hour counts as calm and every result is 0\n";
}

}  // namespace zorvik::cli
