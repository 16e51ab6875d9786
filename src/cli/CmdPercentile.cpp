#include <fmt/format.h>

#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "cli/Progress.h"
#include "cli/ResultOutputs.h"
#include "engine/PlotFileWriters.h"
#include "engine/PostPercent.h"
#include "engine/ResultRowWriter.h"
#include "util/Exceptions.h"

namespace zorvik::cli {
namespace {

struct PercentileOptions {
  RunInputs in;
  std::string out, outDir;
  bool noInterpolation = false;
  std::vector<double> percentiles{98.0};
  ResultOutputs results;
};

// "P98_00.PLT" for 98, "P99_90.PLT" for 99.9.
std::string PercentileFileName(double p) {
  std::string text = fmt::format("P{:05.2f}.PLT", p);
  for (auto& c : text)
    if (c == '.' && &c != &text[text.size() - 4]) c = '_';
  return text;
}

void RunPercentile(const PercentileOptions& o) {
  namespace fs = std::filesystem;
  for (double p : o.percentiles)
    if (!(p > 0.0 && p <= 100.0)) throw EUsageError(fmt::format("The percentile {} is outside 0 < P <= 100", p));
  if (o.out.empty() == o.outDir.empty())
    throw EUsageError("Name the output with either --out FILE or --out-dir FOLDER");
  if (!o.out.empty() && o.percentiles.size() > 1)
    throw EUsageError("Several percentiles need --out-dir FOLDER (one file per percentile)");

  std::string folder;
  std::vector<std::string> names;
  std::vector<TFileRole> outputs;
  if (!o.out.empty()) {
    folder = fs::path(o.out).parent_path().string();
    names.push_back(fs::path(o.out).filename().string());
    for (const TFileRole& role : ResultFileRoles({"--out", o.out}, o.results)) outputs.push_back(role);
  } else {
    folder = o.outDir;
    for (size_t i = 0; i < o.percentiles.size(); ++i) {
      const double p = o.percentiles[i];
      names.push_back(ResultFileName(PercentileFileName(p), o.results));
      for (size_t j = 0; j < i; ++j) {
        if (o.percentiles[j] == p) throw EUsageError(fmt::format("The percentile {} is named twice", p));
        if (names[j] == names[i])
          throw EUsageError(fmt::format("The percentiles {} and {} would both be written to {}", o.percentiles[j], p,
                                        names[i]));
      }
      for (const TFileRole& role :
           ResultFileRoles({"--out-dir file " + names[i], (fs::path(folder) / names[i]).string()}, o.results))
        outputs.push_back(role);
    }
  }
  if (folder.empty()) folder = ".";
  std::error_code ec;
  if (!o.outDir.empty() && !fs::is_directory(folder, ec))
    throw EFOpenError(fmt::format("The output folder {} {}", folder,
                                  fs::exists(folder, ec) ? "is not a folder" : "does not exist"));
  CheckRunInputs(o.in);
  CheckResultOutputs(o.results, o.in.plot);
  CheckRunOutputs(InputRoles(o.in), outputs);

  TReceptorListSettings settings;
  settings.PlotFile = o.in.plot;
  settings.PlotPath = folder + "/";
  settings.PostFile = o.in.post;
  settings.MeteoFile = o.in.met;
  settings.OnProgress = TerminalProgress();
  settings.UseInterpolation = !o.noInterpolation;
  settings.DoublePrecision = !o.in.single;
  settings.MemoryLimitBytes = o.in.MemoryLimitBytes();
  settings.MaxThreads = o.in.threads;
  settings.StreamIndex = TReceptorListSettings::TStreamIndex::WhenCold;

  TResultRowList<TPrReceptorList> list(std::move(settings), o.results.PlotFiles());
  const bool warnLater = list.IndexPending();  // the index is read alongside the run
  WarnAll(list.Warnings());
  WarnIfNoUsableMetHour(o.in, list.MeteoUsableHours());
  if (list.Aborted() || Interrupted()) throw EAbort("cancelled");
  std::vector<TPercentItem> items;
  for (size_t i = 0; i < o.percentiles.size(); ++i) {
    TPercentItem item;
    item.AvgPeriod = TAverageValue::hr_1;
    item.Percent = o.percentiles[i];
    item.HighValue = 0;
    item.PlotName = names[i];
    item.GroupName = list.GroupName();
    items.push_back(item);
  }
  std::vector<TResultRows> results;
  if (o.results.NeedsRows())
    results = list.Collect(items);
  else
    list.Execute(items);
  if (list.Aborted()) throw EAbort("cancelled");
  if (warnLater) WarnAll(list.Warnings());
  std::vector<std::string> paths;
  for (const auto& name : names) paths.push_back((fs::path(folder) / name).string());
  WriteResults(o.results, paths, results);
}

}  // namespace

void RegisterPercentileCommand(CLI::App& app) {
  auto o = std::make_shared<PercentileOptions>();
  auto* cmd = app.add_subcommand("percentile", "Write a PLOTFILE of a percentile of every receptor's hourly values");
  AddRunInputOptions(*cmd, o->in);
  cmd->add_option("--percentile", o->percentiles, "percentiles, e.g. 98 or 98,99.5 (default 98)")->delimiter(',');
  cmd->add_flag("--no-interpolation", o->noInterpolation, "take the value of the rank instead of interpolating");
  cmd->add_option("--out", o->out, "the file to write (one percentile), named as given");
  cmd->add_option("--out-dir", o->outDir,
                  "folder receiving one file per percentile (P98_00.PLT ..., P98_00.csv ... with --format)");
  AddResultOutputOptions(*cmd, o->results);
  cmd->callback([o] { RunCommand([&] { RunPercentile(*o); }); });
}

}  // namespace zorvik::cli
