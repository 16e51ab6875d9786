#include "cli/CliSupport.h"

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <regex>

#include <fmt/format.h>

#include "cli/Commands.h"
#include "cli/Progress.h"
#include "engine/SystemInfo.h"
#include "util/ExceptionLog.h"

namespace zorvik::cli {
namespace {
int gStatus = kExitOk;

constexpr int kMaxThreads = 1024;

std::string OneLine(std::string text) {
  for (auto& c : text)
    if (c == '\r' || c == '\n') c = ' ';
  return text;
}

// An assertion that reaches the user is a fault of the program, not of the input: say so plainly.
std::string UserText(std::string text) {
  constexpr std::string_view kAssertion = "Assertion Failed: ";
  if (text.rfind(kAssertion, 0) == 0) text = "internal error: " + text.substr(kAssertion.size());
  return text;
}

// The first error of the chain, with the place of the innermost step that names a file and line
// ("TAERMET_SFC_Reader.ReadRecord(met.sfc, line 4)") put in front when the message does not name that file:
// a one-line message should always say where the problem is.
std::string LocatedRootMessage(const std::exception& e) {
  std::string root = RootMessage(e);
  if (!dynamic_cast<const EStackTrace*>(&e)) return root;
  static const std::regex kPlace(R"(\(([^()]+), line (\d+)\)\s*$)");
  const std::string chain = e.what();
  size_t start = chain.find('\n');
  while (start != std::string::npos) {
    const size_t end = chain.find('\n', start + 1);
    const std::string line = chain.substr(start + 1, end == std::string::npos ? std::string::npos : end - start - 1);
    std::smatch m;
    if (std::regex_search(line, m, kPlace)) {
      if (root.find(m[1].str()) == std::string::npos) root = m[1].str() + ", line " + m[2].str() + ": " + root;
      break;
    }
    start = end;
  }
  return root;
}

void CheckExists(const std::string& file, const char* what) {
  std::error_code ec;
  if (!std::filesystem::exists(file, ec)) throw EFileNotFound(fmt::format("The {} does not exist: {}", what, file));
  if (std::filesystem::is_directory(file, ec)) throw EFOpenError(fmt::format("The {} {} is a folder", what, file));
}
}  // namespace

void RunCommand(const std::function<void()>& body) {
  try {
    // The log settings (and the log folder) are read before the command's work: read first during a run, they
    // would wait for the disk behind the POSTFILE's reads when the files are not in memory.
    SysFlags();
    body();
    gStatus = kExitOk;
  } catch (const std::exception& e) {
    if (EStackTrace::IsException<EAbort>(e)) {
      std::cerr << "zorvik-cli: cancelled\n";
      gStatus = StopSignal() ? 128 + StopSignal() : kExitCancelled;
      return;
    }
    if (std::getenv("ZORVIK_TRACE"))
      std::cerr << "zorvik-cli: " << e.what() << "\n";
    else
      std::cerr << "zorvik-cli: " << OneLine(UserText(LocatedRootMessage(e))) << "\n";
    const bool usage = EStackTrace::IsException<EUsageError>(e) || EStackTrace::IsException<EOutputConflict>(e) ||
                       EStackTrace::IsException<EBadParameter>(e);
    gStatus = usage ? kExitUsage : kExitError;
  }
}

int CommandStatus() { return gStatus; }

void Warn(const std::string& text) { std::cerr << "zorvik-cli: warning: " << OneLine(text) << "\n"; }

void WarnAll(const std::vector<std::string>& texts) {
  for (const auto& text : texts) Warn(text);
}

void AddRunInputOptions(CLI::App& cmd, RunInputs& inputs) {
  cmd.add_option("--post", inputs.post, "the 1-hour POSTFILE")->required();
  cmd.add_option("--plot", inputs.plot, "the PLOTFILE of the same run (receptors and coordinates)")->required();
  cmd.add_option("--met", inputs.met, "met file marking calm and missing hours");
  cmd.add_flag("--single", inputs.single, "single-precision POSTFILE of an older model version");
  cmd.add_option("--memory", inputs.memoryMB, "cap of the memory for values, in MB (at least 1)")
      ->check(CLI::Range(int64_t{1}, int64_t{1} << 30).description(""));
  cmd.add_option("--threads", inputs.threads, "cap of the worker threads (1 to 1024)")
      ->check(CLI::Range(1, kMaxThreads).description(""));
}

void CheckRunInputs(const RunInputs& inputs) {
  CheckExists(inputs.post, "POSTFILE");
  CheckExists(inputs.plot, "PLOTFILE");
  if (!inputs.met.empty()) CheckExists(inputs.met, "met file");
  if (inputs.memoryMB > 0) {
    const int64_t machineMB = TotalMemoryBytes() / (1024 * 1024);
    if (machineMB > 0 && inputs.memoryMB > machineMB)
      throw EUsageError(fmt::format("--memory {} is more than this machine's memory ({} MB)", inputs.memoryMB,
                                    machineMB));
  }
}

void CheckOutputFolder(const std::string& folder) {
  std::error_code ec;
  if (!folder.empty() && !std::filesystem::is_directory(folder, ec))
    throw EFOpenError(fmt::format("The output folder {} {}", folder,
                                  std::filesystem::exists(folder, ec) ? "is not a folder" : "does not exist"));
}

std::vector<TFileRole> InputRoles(const RunInputs& inputs) {
  std::vector<TFileRole> roles{{"the POSTFILE of this run", inputs.post}, {"the PLOTFILE of this run", inputs.plot}};
  if (!inputs.met.empty()) roles.push_back({"the met file of this run", inputs.met});
  return roles;
}

void WarnIfNoUsableMetHour(const RunInputs& inputs, int usableHours) {
  if (usableHours == 0)
    Warn(fmt::format("the met file {} has no usable hour: every hour counts as calm and every result is 0", inputs.met));
}

}  // namespace zorvik::cli
