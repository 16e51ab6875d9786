#include <fmt/format.h>

#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "cli/Progress.h"
#include "engine/PercentView.h"
#include "engine/ReceptorManager.h"
#include "util/Exceptions.h"
#include "util/OutputFile.h"

namespace zorvik::cli {
namespace {

struct HoursOptions {
  RunInputs in;
  std::string csv, plotfile;
  int receptor = 0;
  double percentile = 98.0;
};

void WriteCsv(TPercentBlocks& blocks, const std::string& file) {
  std::string text = "rank,value\r\n";
  for (int i = 0; i < blocks.ValueCount(); ++i) text += fmt::format("{},{}\r\n", i + 1, blocks.GetValue(i));
  WriteFileAtomically(file, text);
}

void RunHours(const HoursOptions& o) {
  if (!(o.percentile > 0.0 && o.percentile <= 100.0))
    throw EUsageError(fmt::format("The percentile {} is outside 0 < P <= 100", o.percentile));
  if (o.receptor < 1) throw EUsageError(fmt::format("The receptor number {} is not 1 or more", o.receptor));
  CheckRunInputs(o.in);
  std::vector<TFileRole> outputs;
  if (!o.csv.empty()) outputs.push_back({"--csv", o.csv});
  if (!o.plotfile.empty()) outputs.push_back({"--plotfile", o.plotfile});
  CheckRunOutputs(InputRoles(o.in), outputs);

  TPercentBlocks blocks;  // its buffer file has no name and goes with the blocks
  TReceptorManager manager(blocks, TerminalProgress(), TLoadLimits{o.in.MemoryLimitBytes(), o.in.threads});
  if (!manager.Execute(o.in.plot, o.in.post, o.in.met, false, !o.in.single) || Interrupted())
    throw EAbort("cancelled");
  WarnAll(manager.Warnings());
  WarnIfNoUsableMetHour(o.in, manager.MeteoUsableHours());
  if (o.receptor > blocks.ReceptorCount())
    throw EUsageError(fmt::format("Receptor {} does not exist: the PLOTFILE {} lists receptors 1 to {}", o.receptor,
                                  o.in.plot, blocks.ReceptorCount()));
  const int index = o.receptor - 1;
  const TPercentView view = BuildPercentView(blocks, index, o.percentile);
  const bool useInterpolation = blocks.UseInterpolation();
  blocks.SetUseInterpolation(true);
  const float interpolated = blocks.GetPercentile(o.percentile, index);
  blocks.SetUseInterpolation(useInterpolation);
  std::cout << "title 1: " << view.Title1 << "\n"
            << "title 2: " << view.Title2 << "\n"
            << "title 3: " << view.Title3 << "\n"
            << "hours: " << view.Hours << "\n"
            << "marked bar: " << view.MarkedBar << "\n"
            << "value of the marked hour (rank " << view.MarkedBar + 1 << "): " << GeneralFloatText(view.Value) << "\n"
            << FormatPercentLabel(o.percentile) << " (interpolated): " << GeneralFloatText(interpolated) << "\n"
            << "non-zero hours: " << view.NonZeroHours << "\n";
  if (!o.csv.empty()) WriteCsv(blocks, o.csv);
  if (!o.plotfile.empty()) blocks.WritePercentilePlotFile(o.plotfile, o.percentile);
}

}  // namespace

void RegisterHoursCommand(CLI::App& app) {
  auto o = std::make_shared<HoursOptions>();
  auto* cmd = app.add_subcommand("hours", "Show one receptor's ordered hours as the percentile viewer does");
  AddRunInputOptions(*cmd, o->in);
  cmd->add_option("--receptor", o->receptor, "receptor number, from 1 in PLOTFILE order")->required();
  cmd->add_option("--percentile", o->percentile, "percentile to mark (default 98)");
  cmd->add_option("--csv", o->csv, "write rank,value of the ordered non-zero hours");
  cmd->add_option("--plotfile", o->plotfile, "also write the percentile PLOTFILE of every receptor");
  cmd->callback([o] { RunCommand([&] { RunHours(*o); }); });
}

}  // namespace zorvik::cli
