#include <iostream>

#include "cli/CliSupport.h"
#include "cli/Commands.h"

int main(int argc, char** argv) {
  using namespace zorvik::cli;
  CLI::App app{"zorvik-cli: percentiles and rolling averages of AERMOD/ISCST3 POSTFILEs"};
  app.require_subcommand(1);
  RegisterInfoCommand(app);
  RegisterMetCommand(app);
  RegisterPercentileCommand(app);
  RegisterHoursCommand(app);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    int status = app.exit(e);
    return status == 0 ? kExitOk : kExitUsage;
  }
  return CommandStatus();
}
