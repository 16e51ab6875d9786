#include "util/ExceptionLog.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <mutex>

#include "util/TextUtils.h"

namespace zorvik {
namespace {

std::string NowText() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[64];
  std::strftime(buf, sizeof buf, "%x %X", &tm);
  return buf;
}

void AppendLines(const std::string& fileName, std::initializer_list<std::string_view> lines) {
  try {
    std::ofstream out(fileName, std::ios::binary | std::ios::app);
    if (!out) return;
    for (auto line : lines) {
      out.write(line.data(), static_cast<std::streamsize>(line.size()));
      out.write("\r\n", 2);
    }
  } catch (...) {
    // The log never raises: a lost entry is acceptable.
  }
}

std::string ComposeMessage(const std::exception& e, std::string_view msg) {
  std::string text;
  if (!dynamic_cast<const ExceptionLog*>(&e)) {
    text = ExceptionClassName(e);
    text += ": ";
  }
  text += e.what();
  text += "\r\n";
  text += msg;
  return text;
}

void LogStep(const std::exception& e, std::string_view msg) {
  const TSystemFlags& flags = SysFlags();
  if (!flags.flogEnabled) return;
  if (!dynamic_cast<const ExceptionLog*>(&e)) {
    AppendLines(flags.LogFile(), {"The Following Exception Occured at " + NowText(), e.what(), "<0><0><0>", msg});
  } else {
    AppendLines(flags.LogFile(), {msg});
  }
}

std::string ProgramFolder() {
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return {};
  return exe.parent_path().string() + "/";
}


std::string Lower(std::string s) {
  for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

ExceptionLog::ExceptionLog(const std::exception& e, std::string_view msg) : Exception(ComposeMessage(e, msg)) {
  LogStep(e, msg);
}

EStackTrace::EStackTrace(const std::exception& e, std::string_view msg) : ExceptionLog(e, msg) {
  if (auto* trace = dynamic_cast<const EStackTrace*>(&e)) {
    fExceptionClass = trace->fExceptionClass;
    fErrorMessage = trace->fErrorMessage;
    fRoot = trace->fRoot;
  } else {
    fExceptionClass = ExceptionClassName(e);
    fErrorMessage = e.what();
    fRoot = std::current_exception();
  }
}

std::string RootMessage(const std::exception& e) {
  if (auto* trace = dynamic_cast<const EStackTrace*>(&e)) return trace->ErrorMessage();
  return e.what();
}

namespace detail {
void RethrowTraced(std::string_view context) {
  try {
    throw;
  } catch (const EAbort& e) {
    throw EAbort(std::string(e.what()) + "\r\n" + std::string(context));
  } catch (const std::exception& e) {
    throw EStackTrace(e, context);
  }
  // Anything else passes untouched (the bare rethrow above).
}
}  // namespace detail

void TSystemFlags::FetchErrLogSettings(const std::string& iniFile) {
  *this = TSystemFlags{};
  flogPath = DefaultLogFolder();
  std::ifstream in(iniFile, std::ios::binary);
  if (!in) return;
  bool inSettings = false;
  std::string line;
  while (std::getline(in, line)) {
    std::string t = Trim(line);
    if (t.empty() || t[0] == ';') continue;
    if (t.front() == '[') {
      inSettings = Lower(t) == "[settings]";
      continue;
    }
    if (!inSettings) continue;
    auto eq = t.find('=');
    if (eq == std::string::npos) continue;
    std::string key = Lower(Trim(std::string_view(t).substr(0, eq)));
    std::string value = Trim(std::string_view(t).substr(eq + 1));
    auto asBool = [&] { return value == "1" || Lower(value) == "true"; };
    struct Flag {
      const char* key;
      bool TSystemFlags::*field;
    };
    static constexpr Flag kFlags[] = {
        {"logenabled", &TSystemFlags::flogEnabled},       {"logcodesite", &TSystemFlags::flogCodesite},
        {"logpassedasserts", &TSystemFlags::flogPassedAsserts}, {"logtodebugstr", &TSystemFlags::flogToDebugStr},
        {"exceptionassert", &TSystemFlags::fExceptionAssert}, {"logmemoryusage", &TSystemFlags::fLogMemoryUsage},
        {"loggdi", &TSystemFlags::flogGDI},               {"logdiskspace", &TSystemFlags::flogDiskSpace},
        {"logtasks", &TSystemFlags::flogTasks},           {"logelapsed", &TSystemFlags::flogElapsed},
    };
    bool matched = false;
    for (const auto& f : kFlags) {
      if (key == f.key) {
        this->*f.field = asBool();
        matched = true;
      }
    }
    if (matched) continue;
    if (key == "logpath" && !value.empty() && value != "ERR") flogPath = value;
    if (key == "loglevel") {
      try {
        fLogLevel = std::stoi(value);
      } catch (...) {
      }
    }
  }
}

TSystemFlags& SysFlags() {
  static TSystemFlags flags = [] {
    TSystemFlags f;
    f.FetchErrLogSettings(ProgramFolder() + "debug_log.ini");
    return f;
  }();
  return flags;
}

std::string DefaultLogFolder() {
  namespace fs = std::filesystem;
  fs::path base;
  if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state) {
    base = state;
  } else if (const char* home = std::getenv("HOME"); home && *home) {
    base = fs::path(home) / ".local" / "state";
  } else {
    base = fs::temp_directory_path();
  }
  fs::path folder = base / "zorvik";
  std::error_code ec;
  fs::create_directories(folder, ec);
  return folder.string() + "/";
}

void WriteToLog(const std::string& text) {
  static std::mutex countLock;
  static long calls = 0;
  const TSystemFlags& flags = SysFlags();
  if (!flags.flogEnabled) return;
  {
    std::lock_guard lock(countLock);
    ++calls;
  }
  writeSpecLog(flags.LogFile(), text);
}

void writeSpecLog(const std::string& fileName, const std::string& text) {
  if (!SysFlags().flogEnabled) return;
  AppendLines(fileName, {NowText() + " - " + text});
}

}  // namespace zorvik
