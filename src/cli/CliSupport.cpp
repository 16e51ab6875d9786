#include "cli/CliSupport.h"

#include <cstdlib>
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

}  // namespace zorvik::cli
