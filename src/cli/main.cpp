#include <iostream>
#include <string>

#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "cli/Progress.h"

int main(int argc, char** argv) {
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
