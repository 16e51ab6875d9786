#include "util/Exceptions.h"

#include <cerrno>
#include <cstring>
#include <new>

#include "util/ExceptionLog.h"

namespace zorvik {

std::string ExceptionClassName(const std::exception& e) {
  if (auto* own = dynamic_cast<const Exception*>(&e)) return own->ClassName();
  if (dynamic_cast<const std::bad_alloc*>(&e)) return "EOutOfMemory";
  if (dynamic_cast<const std::out_of_range*>(&e)) return "ERangeError";
  if (dynamic_cast<const std::invalid_argument*>(&e)) return "EConvertError";
  return "Exception";
}

void RaiseLastOSError(const std::string& what, int err) {
  if (err == 0) err = errno;
  throw EOSError(what + ": System Error. Code: " + std::to_string(err) + ". " + std::strerror(err));
}

void Assert(bool condition, const std::string& text) {
  if (!condition) throw EAssertionFailed("Assertion Failed: " + text);
  if (SysFlags().flogPassedAsserts) WriteToLog("PASSED: " + text);
}

}  // namespace zorvik
