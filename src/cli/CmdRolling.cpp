#include <fmt/format.h>

#include <charconv>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "cli/Progress.h"
#include "cli/ResultOutputs.h"
#include "rolling/RollingAverage.h"

namespace zorvik::cli {
namespace {

struct RollingOptions {
  RunInputs in;
  std::vector<std::string> periods{"3", "8", "24"};
  std::string ranks = "1-6";
  std::string outDir;
  bool blocks = false;
  ResultOutputs results;
};

TAverageValue PeriodOf(const std::string& text) {
  if (text.empty()) throw EUsageError("--periods: name at least one of 3, 8 and 24");
  int hours = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), hours);
  if (ec != std::errc() || end != text.data() + text.size())
    throw EUsageError(fmt::format("--periods: \"{}\" is not a number of hours (3, 8 or 24)", text));
  switch (hours) {
    case 3: return TAverageValue::hr_3;
    case 8: return TAverageValue::hr_8;
    case 24: return TAverageValue::hr_24;
    default: break;
  }
  throw EUsageError(fmt::format("--periods: {} hours is not one of 3, 8 and 24", hours));
}

int RankNumber(const std::string& text) {
  size_t used = 0;
  int rank = 0;
  try {
    rank = std::stoi(text, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used == 0 || used != text.size()) throw EUsageError(fmt::format("--ranks: \"{}\" is not a rank number", text));
  if (rank < 1 || rank > kHighValueCount)
    throw EUsageError(fmt::format("--ranks: {} is outside the ranks 1 to {}", rank, kHighValueCount));
  return rank;
}

// "1,2,4" or "1-6" (or a mix: "1-3,6").
THighValues ParseRanks(const std::string& text) {
  THighValues ranks;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t comma = std::min(text.find(',', start), text.size());
    const std::string part = text.substr(start, comma - start);
    const size_t dash = part.find('-');
    const int first = RankNumber(dash == std::string::npos ? part : part.substr(0, dash));
    const int last = dash == std::string::npos ? first : RankNumber(part.substr(dash + 1));
    if (last < first) throw EUsageError(fmt::format("--ranks: the range {} runs backwards", part));
    for (int r = first; r <= last; ++r) ranks.Include(static_cast<THighValue>(r - 1));
    start = comma + 1;
  }
  return ranks;
}

void RunRolling(const RollingOptions& o) {
  namespace fs = std::filesystem;
  TRollingRunParams run;
  if (o.periods.empty()) throw EUsageError("--periods: name at least one of 3, 8 and 24");
  for (const std::string& hours : o.periods) run.Periods.Include(PeriodOf(hours));
  run.Ranks = ParseRanks(o.ranks);
  CheckOutputFolder(o.outDir);
  CheckRunInputs(o.in);
  CheckResultOutputs(o.results, o.in.plot);
  run.PostFile = o.in.post;
  run.PlotFile = o.in.plot;
  run.MeteoFile = o.in.met;
  run.OutputFolder = o.outDir;
  run.DoublePrecision = !o.in.single;
  run.Blocks = o.blocks;
  run.MemoryLimitBytes = o.in.MemoryLimitBytes();
  run.MaxThreads = o.in.threads;

  // The output files are known now: refuse, with the command line's names for them, any that would replace an
  // input or each other before anything is read.
  std::string folder = o.outDir.empty() ? fs::path(o.in.plot).parent_path().string() : o.outDir;
  std::vector<TPercentItem> items;
  FillPercentItems(items, run.Periods, run.Ranks, {}, run.Blocks);
  std::vector<TFileRole> outputs;
  std::vector<std::string> paths;
  for (const TPercentItem& item : items) {
    const std::string name = ResultFileName(item.PlotName, o.results);
    paths.push_back(folder.empty() ? name : (fs::path(folder) / name).string());
    for (const TFileRole& role :
         ResultFileRoles({(o.outDir.empty() ? "the output file " : "--out-dir file ") + name, paths.back()}, o.results))
      outputs.push_back(role);
  }
  CheckRunOutputs(InputRoles(o.in), outputs);

  run.OnProgress = TerminalProgress();
  if (!o.results.NeedsRows()) {
    const std::vector<std::string> written = GeneratePlotFiles(run);
    if (Interrupted()) throw EAbort("cancelled");
    for (const auto& file : written) std::cout << file << "\n";
    return;
  }
  const TRollingResults results = GenerateRollingResults(run, o.results.PlotFiles());
  if (Interrupted()) throw EAbort("cancelled");
  WriteResults(o.results, o.results.PlotFiles() ? results.Written : paths, results.Results);
}

}  // namespace

void RegisterRollingCommand(CLI::App& app) {
  auto o = std::make_shared<RollingOptions>();
  auto* cmd = app.add_subcommand(
      "rolling", "Write PLOTFILEs of the highest 3-, 8- and 24-hour rolling (or block) averages of every receptor");
  AddRunInputOptions(*cmd, o->in);
  cmd->add_option("--periods", o->periods, "averaging periods in hours: 3, 8, 24 (default all three)")->delimiter(',');
  cmd->add_option("--ranks", o->ranks, "ranks as a list or a range, 1 to 10: 1,2,4 or 1-6 (default 1-6)");
  cmd->add_option("--out-dir", o->outDir, "folder of the output files (default: the PLOTFILE's folder)");
  cmd->add_flag("--blocks", o->blocks,
                "non-overlapping blocks from the first hour instead of rolling windows (files BA08_1ST.PLT ...)");
  AddResultOutputOptions(*cmd, o->results);
  cmd->callback([o] { RunCommand([&] { RunRolling(*o); }); });
}

}  // namespace zorvik::cli
