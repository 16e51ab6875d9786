#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "util/Exceptions.h"

namespace zorvik::cli {

void RegisterPercentileCommand(CLI::App& app) {
  auto* cmd = app.add_subcommand("percentile", "(not built yet)");
  cmd->callback([] { RunCommand([] { throw Exception("the percentile command is not built yet"); }); });
}

}  // namespace zorvik::cli
