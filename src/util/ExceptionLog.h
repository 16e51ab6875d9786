#pragma once
// Traced exceptions: every operation that wants its name in an error wraps its body with `traced`, and a
// failure passing out of it gains one line naming the operation. The user sees the first error followed by
// the chain of operations it passed through, innermost first.
#include <exception>
#include <string>
#include <string_view>
#include <typeinfo>
#include <utility>

#include "util/Exceptions.h"

namespace zorvik {

class ExceptionLog : public Exception {
 public:
  // The message is e's message, CR LF, then msg; when e is not an ExceptionLog its class name and ": "
  // come first. Logs the step when logging is enabled.
  ExceptionLog(const std::exception& e, std::string_view msg);
  const char* ClassName() const noexcept override { return "ExceptionLog"; }
};

class EStackTrace : public ExceptionLog {
 public:
  // CreateTrace: the traced exception for the failed step `msg`.
  EStackTrace(const std::exception& e, std::string_view msg);
  // CreateMethodTrace: the step is named by the instance's class name, "." and msg.
  EStackTrace(const std::exception& e, std::string_view className, std::string_view msg)
      : EStackTrace(e, std::string(className) + "." + std::string(msg)) {}
  const char* ClassName() const noexcept override { return "EStackTrace"; }

  const std::string& ExceptionClass() const noexcept { return fExceptionClass; }
  const std::string& ErrorMessage() const noexcept { return fErrorMessage; }
  const std::exception_ptr& Root() const noexcept { return fRoot; }

  // True when e is a T, or a traced exception whose root is a T.
  template <class T>
  static bool IsException(const std::exception& e) {
    if (dynamic_cast<const T*>(&e)) return true;
    if (auto* trace = dynamic_cast<const EStackTrace*>(&e); trace && trace->fRoot) {
      try {
        std::rethrow_exception(trace->fRoot);
      } catch (const T&) {
        return true;
      } catch (...) {
        return false;
      }
    }
    return false;
  }

 private:
  std::string fExceptionClass;
  std::string fErrorMessage;
  std::exception_ptr fRoot;
};

// The first error of a chain: the root message of a traced exception, otherwise the message itself.
std::string RootMessage(const std::exception& e);

namespace detail {
[[noreturn]] void RethrowTraced(std::string_view context);
}

// Runs body; a failure of the standard family passing out of it is raised again as an EStackTrace naming
// `context`; an EAbort stays an EAbort and gains the context line.
template <class Body>
decltype(auto) traced(std::string_view context, Body&& body) {
  try {
    return std::forward<Body>(body)();
  } catch (...) {
    detail::RethrowTraced(context);
  }
}

// Log settings read from "debug_log.ini" beside the program, section "Settings".
struct TSystemFlags {
  bool flogEnabled = false;
  bool flogCodesite = false;
  bool flogPassedAsserts = false;
  bool flogToDebugStr = false;
  bool fExceptionAssert = false;
  bool fLogMemoryUsage = false;
  bool flogGDI = false;
  bool flogDiskSpace = false;
  bool flogTasks = false;
  bool flogElapsed = false;
  std::string flogPath;  // folder of the log file, used exactly as written
  std::string flogFileName = "error.log";
  int fLogLevel = 1;

  // Reads `iniFile` into the fields; a missing or unreadable file gives the defaults.
  void FetchErrLogSettings(const std::string& iniFile);
  // Changes made while the program runs last until it ends: nothing is written.
  void StoreErrLogSettings() {}
  std::string LogFile() const { return flogPath + flogFileName; }
};

// The shared settings object, filled from "debug_log.ini" in the program's folder on first use.
TSystemFlags& SysFlags();
// The default log folder: a per-user state folder ending with a separator.
std::string DefaultLogFolder();

// Appends a dated line to the log file when logging is enabled; never raises.
void WriteToLog(const std::string& text);
void writeSpecLog(const std::string& fileName, const std::string& text);

}  // namespace zorvik
