#pragma once
// The exception family of Zorvik. Every failure of the system is an `Exception` or a descendant; each class
// knows its own name, which the traced chain puts in front of the first message ("EConvertError: ...").
#include <stdexcept>
#include <string>

namespace zorvik {

class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
  virtual const char* ClassName() const noexcept { return "Exception"; }
};

#define ZORVIK_DECLARE_EXCEPTION(Name, Base)                                  \
  class Name : public Base {                                                  \
   public:                                                                    \
    using Base::Base;                                                         \
    const char* ClassName() const noexcept override { return #Name; }         \
  }

// Abandons an operation without an error message being shown.
ZORVIK_DECLARE_EXCEPTION(EAbort, Exception);
// A text could not be converted to a number or date.
ZORVIK_DECLARE_EXCEPTION(EConvertError, Exception);
// Integer division by zero ("Division by zero").
ZORVIK_DECLARE_EXCEPTION(EDivByZero, Exception);
// A file could not be opened, read or written.
ZORVIK_DECLARE_EXCEPTION(EInOutError, Exception);
ZORVIK_DECLARE_EXCEPTION(EFOpenError, EInOutError);
ZORVIK_DECLARE_EXCEPTION(EFileNotFound, EInOutError);
// An output named for a run would replace one of the run's inputs or another of its outputs.
ZORVIK_DECLARE_EXCEPTION(EOutputConflict, Exception);
// The parameters of a run do not describe a run the system can make (no period, a rank out of range ...).
ZORVIK_DECLARE_EXCEPTION(EBadParameter, Exception);
// A file's content is not what its format requires.
ZORVIK_DECLARE_EXCEPTION(EFormatError, Exception);
// An assertion of the program failed ("Assertion Failed: ...").
ZORVIK_DECLARE_EXCEPTION(EAssertionFailed, Exception);
// An operating-system call failed; the message holds its code and text.
ZORVIK_DECLARE_EXCEPTION(EOSError, Exception);

// The class name of any exception: ours report their own, the standard library's get a fitting name.
std::string ExceptionClassName(const std::exception& e);

// Raises EOSError with the text of errno (or `err`) after `what`.
[[noreturn]] void RaiseLastOSError(const std::string& what, int err = 0);

// The assertion routine: a false condition raises "Assertion Failed: " + text; a true one is logged when
// passed assertions are logged.
void Assert(bool condition, const std::string& text);

}  // namespace zorvik
