#include <iostream>
#include <string>

#include <fmt/format.h>

#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "post/PostSummary.h"

namespace zorvik::cli {
namespace {

struct InfoOptions {
  std::string postFile;
  int receptors = 0;
  bool single = false;
};

void PrintSummary(const TPostSummary& s) {
  std::string group = s.GroupName;
  while (!group.empty() && group.back() == ' ') group.pop_back();
  std::cout << fmt::format(
      "framing: {}\nprecision: {}\noutput types: {}\nreceptors: {}\nhours: {}\nfirst date: {:08d}\nlast date: {:08d}\n"
      "averaging period: {}\nsource group: {}\nrecord length: {}\n",
      PostFramingName(s.Framing), s.DoublePrecision ? "double" : "single", PostOutTypesText(s.Types), s.Receptors,
      s.Hours, s.FirstDate, s.LastDate, s.AveragePeriod, group, s.RecordLength);
}

}  // namespace

void RegisterInfoCommand(CLI::App& app) {
  auto opts = std::make_shared<InfoOptions>();
  auto* cmd = app.add_subcommand("info", "Describe a POSTFILE: framing, precision, output types, hours, dates");
  cmd->add_option("POSTFILE", opts->postFile, "the binary POSTFILE")->required();
  cmd->add_option("--receptors", opts->receptors, "receptor count of the run (not needed for a Tarvo header)")
      ->check(CLI::PositiveNumber);
  cmd->add_flag("--single", opts->single, "single-precision file of an older model version");
  cmd->callback([opts] {
    RunCommand([&] { PrintSummary(SummarizePostFile(opts->postFile, opts->receptors, !opts->single)); });
  });
}

}  // namespace zorvik::cli
