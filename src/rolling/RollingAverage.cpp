#include "rolling/RollingAverage.h"

#include <filesystem>

#include <fmt/format.h>

#include "engine/ResultRowWriter.h"
#include "util/ExceptionLog.h"
#include "util/OutputGuard.h"

namespace zorvik {
namespace fs = std::filesystem;
namespace {

constexpr TAverageValues kRollingPeriods{TAverageValue::hr_3, TAverageValue::hr_8, TAverageValue::hr_24};

TReceptorListSettings ListSettings(const TRollingRunParams& params) {
  TReceptorListSettings settings;
  settings.PlotFile = params.PlotFile;
  settings.PlotPath = params.OutputFolder;
  settings.PostFile = params.PostFile;
  settings.MeteoFile = params.MeteoFile;
  settings.OnProgress = params.OnProgress;
  settings.UseInterpolation = true;
  settings.DoublePrecision = params.DoublePrecision;
  settings.MemoryLimitBytes = params.MemoryLimitBytes;
  settings.MaxThreads = params.MaxThreads;
  settings.Options = TEngineOptions{params.Periods, !params.Blocks, false};
  settings.ParallelWindows = params.ParallelWindows;
  return settings;
}

// The folder the files go to, with a trailing separator.
std::string OutputFolderOf(const TRollingRunParams& params) {
  if (!params.OutputFolder.empty()) {
    const std::string& f = params.OutputFolder;
    return f.back() == '/' ? f : f + '/';
  }
  const std::string folder = fs::path(params.PlotFile).parent_path().string();
  return folder.empty() ? std::string() : folder + '/';
}

void CheckInput(const std::string& file, const char* what) {
  std::error_code ec;
  if (!fs::exists(file, ec)) throw EFileNotFound(fmt::format("The {} does not exist: {}", what, file));
  if (fs::is_directory(file, ec)) throw EFOpenError(fmt::format("The {} {} is a folder", what, file));
}

void CheckParams(const TRollingRunParams& params) {
  if (params.Periods.Empty()) throw EBadParameter("No averaging period is chosen: choose 3, 8 or 24 hours");
  for (int p = 0; p < kAverageValueCount; ++p) {
    const auto period = static_cast<TAverageValue>(p);
    if (params.Periods.Contains(period) && !kRollingPeriods.Contains(period))
      throw EBadParameter(fmt::format("The averaging period of {} hours is not one of 3, 8 and 24 hours",
                                      HoursInPeriod(period)));
  }
  if (params.Ranks.Empty()) throw EBadParameter("No rank is chosen: choose ranks from 1 to 10");
  CheckInput(params.PostFile, "POSTFILE");
  CheckInput(params.PlotFile, "PLOTFILE");
  // A named met file that is not there would silently make a run without calm hours.
  if (!params.MeteoFile.empty()) CheckInput(params.MeteoFile, "met file");
}

}  // namespace

TRollingReceptorList::TRollingReceptorList(const TRollingRunParams& params) : TPrReceptorList(ListSettings(params)) {
  if (AveragePeriod() != 1)
    throw EFormatError(fmt::format(
        "The POSTFILE {} holds {}-hour averages: rolling and block averages are made from a 1-hour POSTFILE",
        params.PostFile, AveragePeriod()));
}

std::string RollingFileName(TAverageValue period, THighValue rank, bool blocks) {
  return fmt::format("{}{}_{}.PLT", blocks ? "BA" : "RA", AverageValueCode(period), HighValueCode(rank));
}

void FillPercentItems(std::vector<TPercentItem>& items, TAverageValues periods, THighValues ranks,
                      const std::string& groupName, bool blocks) {
  traced("TRollingAverage.FillPercentItems", [&] {
    FreePercentItems(items);
    for (int p = 0; p < kAverageValueCount; ++p) {
      const auto period = static_cast<TAverageValue>(p);
      if (!periods.Contains(period)) continue;
      for (int h = 0; h < kHighValueCount; ++h) {
        const auto rank = static_cast<THighValue>(h);
        if (!ranks.Contains(rank)) continue;
        TPercentItem item;
        item.AvgPeriod = period;
        item.HighValue = HighValueRank(rank);
        item.Percent = 0;
        item.PlotName = RollingFileName(period, rank, blocks);
        item.GroupName = groupName;
        item.Block = blocks;
        items.push_back(std::move(item));
      }
    }
  });
}

void FreePercentItems(std::vector<TPercentItem>& items) {
  traced("TRollingAverage.FreePercentItems", [&] { items.clear(); });
}

namespace {

// The run of GeneratePlotFiles; with `results` the rows of every item are collected too, and without
// plotFiles no PLOTFILE is checked or written.
std::vector<std::string> RunRolling(const TRollingRunParams& params, bool plotFiles,
                                    std::vector<TResultRows>* results) {
  CheckParams(params);
  const std::string folder = OutputFolderOf(params);
  // The files are known before anything is read: check them against the inputs and the folder.
  std::vector<TPercentItem> items;
  FillPercentItems(items, params.Periods, params.Ranks, {}, params.Blocks);
  std::vector<TFileRole> inputs{{"the POSTFILE of this run", params.PostFile},
                                {"the PLOTFILE of this run", params.PlotFile}};
  if (!params.MeteoFile.empty()) inputs.push_back({"the met file of this run", params.MeteoFile});
  std::vector<TFileRole> outputs;
  if (plotFiles)
    for (const TPercentItem& item : items)
      outputs.push_back({"the output file " + item.PlotName, folder + item.PlotName});
  CheckRunOutputs(inputs, outputs);

  TRollingRunParams run = params;
  run.OutputFolder = folder;
  TResultRowList<TRollingReceptorList> list(run, plotFiles);
  if (list.Aborted()) throw EAbort("cancelled");
  FillPercentItems(items, params.Periods, params.Ranks, list.GroupName(), params.Blocks);
  if (results)
    *results = list.Collect(items);
  else
    list.Execute(items);
  if (list.Aborted()) throw EAbort("cancelled");
  std::vector<std::string> written;
  for (const auto& output : outputs) written.push_back(output.Path);
  return written;
}

}  // namespace

std::vector<std::string> GeneratePlotFiles(const TRollingRunParams& params) {
  return traced("TRollingAverage.GeneratePlotFiles", [&] { return RunRolling(params, true, nullptr); });
}

TRollingResults GenerateRollingResults(const TRollingRunParams& params, bool plotFiles) {
  return traced("TRollingAverage.GenerateRollingResults", [&] {
    TRollingResults out;
    out.Written = RunRolling(params, plotFiles, &out.Results);
    return out;
  });
}

}  // namespace zorvik
