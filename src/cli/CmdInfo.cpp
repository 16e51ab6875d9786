#include "cli/CliSupport.h"
#include "cli/Commands.h"

namespace zorvik::cli {

void RegisterInfoCommand(CLI::App& app) {
  auto* cmd = app.add_subcommand("info", "Describe a POSTFILE");
  cmd->callback([] { RunCommand([] {}); });
}

}  // namespace zorvik::cli
