#include <fmt/format.h>

#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "cli/Progress.h"
#include "engine/EngineOptions.h"
#include "engine/PlotFileWriters.h"
#include "engine/PostPercent.h"
#include "util/Exceptions.h"

namespace zorvik::cli {
namespace {

struct PercentileOptions {
  std::string post, plot, met, out, outDir;
  bool single = false;
  bool noInterpolation = false;
  std::vector<double> percentiles{98.0};
  int64_t memoryMB = 0;
  int threads = 0;
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
    if (!(p > 0.0 && p <= 100.0)) throw Exception(fmt::format("The percentile {} is outside 0 < P <= 100", p));
  if (o.out.empty() == o.outDir.empty()) throw Exception("Name the output with either --out FILE or --out-dir FOLDER");
  if (!o.out.empty() && o.percentiles.size() > 1)
    throw Exception("Several percentiles need --out-dir FOLDER (one file per percentile)");

  std::string folder;
  std::vector<std::string> names;
  if (!o.out.empty()) {
    folder = fs::path(o.out).parent_path().string();
    names.push_back(fs::path(o.out).filename().string());
  } else {
    folder = o.outDir;
    for (double p : o.percentiles) names.push_back(PercentileFileName(p));
  }
  if (folder.empty()) folder = ".";
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) throw Exception("The output folder " + folder + " does not exist");

  SetEngineOptions(TAverageValues{TAverageValue::hr_1}, false);
  SetSkipZeroValues(false);
  TReceptorListSettings settings;
  settings.PlotFile = o.plot;
  settings.PlotPath = folder + "/";
  settings.PostFile = o.post;
  settings.MeteoFile = o.met;
  settings.OnProgress = TerminalProgress();
  settings.UseInterpolation = !o.noInterpolation;
  settings.DoublePrecision = !o.single;
  settings.MemoryLimitBytes = o.memoryMB * 1024 * 1024;
  settings.MaxThreads = o.threads;
  if (!o.met.empty() && !fs::exists(o.met, ec)) throw EFileNotFound("The met file does not exist: " + o.met);

  TPrReceptorList list(std::move(settings));
  if (list.MeteoUsableHours() == 0)
    std::cerr << "zorvik-cli: warning: the met file " << o.met
              << " has no usable hour: every hour counts as calm and every result is 0\n";
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
  list.Execute(items);
  if (list.Aborted()) throw EAbort("cancelled");
  for (const auto& name : names) std::cout << (fs::path(folder) / name).string() << "\n";
}

}  // namespace

void RegisterPercentileCommand(CLI::App& app) {
  auto o = std::make_shared<PercentileOptions>();
  auto* cmd = app.add_subcommand("percentile", "Write a PLOTFILE of a percentile of every receptor's hourly values");
  cmd->add_option("--post", o->post, "the 1-hour POSTFILE")->required();
  cmd->add_option("--plot", o->plot, "the PLOTFILE of the same run (receptors and coordinates)")->required();
  cmd->add_option("--met", o->met, "met file marking calm and missing hours");
  cmd->add_flag("--single", o->single, "single-precision POSTFILE of an older model version");
  cmd->add_option("--percentile", o->percentiles, "percentiles, e.g. 98 or 98,99.5 (default 98)")->delimiter(',');
  cmd->add_flag("--no-interpolation", o->noInterpolation, "take the value of the rank instead of interpolating");
  cmd->add_option("--out", o->out, "the PLOTFILE to write (one percentile)");
  cmd->add_option("--out-dir", o->outDir, "folder receiving one PLOTFILE per percentile (P98_00.PLT ...)");
  cmd->add_option("--memory", o->memoryMB, "cap of the memory for values, in MB")->check(CLI::PositiveNumber);
  cmd->add_option("--threads", o->threads, "cap of the sorting threads")->check(CLI::PositiveNumber);
  cmd->callback([o] { RunCommand([&] { RunPercentile(*o); }); });
}

}  // namespace zorvik::cli
