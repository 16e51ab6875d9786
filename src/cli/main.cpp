#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "cli/Progress.h"

namespace {

// Fresh memory is obtained far more cheaply in huge pages (on virtual machines several times so), and the
// engine builds tens of thousands of receptor records on the heap. glibc backs its heap with huge pages only
// when told so at start-up, so the program restarts itself once with that setting; when that fails it simply
// goes on.
void AskForHeapHugePages(char** argv) {
  if (std::getenv("ZORVIK_HEAP_TUNED")) return;
  const char* tunables = std::getenv("GLIBC_TUNABLES");
  if (tunables && std::strstr(tunables, "glibc.malloc.hugetlb")) return;
  const std::string value = tunables && *tunables ? std::string(tunables) + ":glibc.malloc.hugetlb=1"
                                                  : std::string("glibc.malloc.hugetlb=1");
  ::setenv("GLIBC_TUNABLES", value.c_str(), 1);
  ::setenv("ZORVIK_HEAP_TUNED", "1", 1);
  ::execv("/proc/self/exe", argv);
}

}  // namespace

int main(int argc, char** argv) {
  AskForHeapHugePages(argv);
  using namespace zorvik::cli;
  CLI::App app{"zorvik-cli: percentiles, rolling averages and design values of AERMOD/ISCST3 POSTFILEs"};
  app.require_subcommand(1);
  app.set_version_flag("--version", std::string("zorvik-cli ") + ZORVIK_VERSION);
  InstallStopSignalHandlers();
  RegisterInfoCommand(app);
  RegisterMetCommand(app);
  RegisterPercentileCommand(app);
  RegisterHoursCommand(app);
  RegisterRollingCommand(app);
  RegisterDesignCommand(app);
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    std::cout << app.help();
    return kExitOk;
  } catch (const CLI::CallForAllHelp&) {
    std::cout << app.help("", CLI::AppFormatMode::All);
    return kExitOk;
  } catch (const CLI::CallForVersion& e) {
    std::cout << e.what() << "\n";
    return kExitOk;
  } catch (const CLI::ParseError& e) {
    // The parser's own mistakes read as every other error of the program: one line, status 2.
    std::string text = e.what();
    for (auto& c : text)
      if (c == '\n' || c == '\r') c = ' ';
    while (!text.empty() && text.back() == ' ') text.pop_back();
    std::cerr << "zorvik-cli: " << text << " (see zorvik-cli --help)\n";
    return kExitUsage;
  }
  return CommandStatus();
}
