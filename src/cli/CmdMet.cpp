#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "util/Exceptions.h"

namespace zorvik::cli {

void RegisterMetCommand(CLI::App& app) {
  auto* cmd = app.add_subcommand("met", "(not built yet)");
  cmd->callback([] { RunCommand([] { throw Exception("the met command is not built yet"); }); });
}

}  // namespace zorvik::cli
