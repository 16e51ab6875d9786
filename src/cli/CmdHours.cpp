#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "util/Exceptions.h"

namespace zorvik::cli {

void RegisterHoursCommand(CLI::App& app) {
  auto* cmd = app.add_subcommand("hours", "(not built yet)");
  cmd->callback([] { RunCommand([] { throw Exception("the hours command is not built yet"); }); });
}

}  // namespace zorvik::cli
