#include <fmt/format.h>

#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "cli/Progress.h"
#include "cli/ResultOutputs.h"
#include "design/DesignRun.h"
#include "util/Exceptions.h"

namespace zorvik::cli {
namespace {

struct DesignOptions {
  RunInputs in;
  std::string form, series, years, out, outDir;
  int rank = 0;
  double percentile = 0.0, above = 0.0;
  bool mean = false, noInterpolation = false;
  ResultOutputs results;
  CLI::Option* rankOption = nullptr;
  CLI::Option* percentileOption = nullptr;
  CLI::Option* aboveOption = nullptr;
};

// The request the options name: a form, or a series with one statistic.
TDesignRequest RequestOf(const DesignOptions& o) {
  const int statistics = static_cast<int>(o.rankOption->count() > 0) + static_cast<int>(o.percentileOption->count() > 0) +
                         static_cast<int>(o.aboveOption->count() > 0) + static_cast<int>(o.mean);
  TDesignRequest request;
  if (!o.form.empty()) {
    if (!o.series.empty() || statistics > 0)
      throw EUsageError("--form takes no --series, --rank, --percentile, --above or --mean");
    const TDesignForm* form = FindDesignForm(o.form);
    if (!form)
      throw EUsageError(fmt::format("--form: \"{}\" is not a known form; the forms are {}", o.form, DesignFormNames()));
    request = form->Request;
  } else {
    if (o.series.empty()) throw EUsageError("Name a --form, or a --series with one of --rank, --percentile, --above and --mean");
    const std::optional<TDesignSeries> series = FindDesignSeries(o.series);
    if (!series)
      throw EUsageError(
          fmt::format("--series: \"{}\" is not a known series; the series are {}", o.series, DesignSeriesNames()));
    if (statistics != 1) throw EUsageError("--series takes exactly one of --rank, --percentile, --above and --mean");
    request.Name = o.series;
    request.Series = *series;
    if (o.rankOption->count() > 0) request.Statistics.push_back(TDesignStatistic::NthHighest(o.rank));
    if (o.percentileOption->count() > 0) request.Statistics.push_back(TDesignStatistic::Percentile(o.percentile));
    if (o.aboveOption->count() > 0) request.Statistics.push_back(TDesignStatistic::Above(o.above));
    if (o.mean) request.Statistics.push_back(TDesignStatistic::Mean());
    request.Years = TYearsRule::yrEach;
  }
  if (!o.years.empty()) {
    const std::optional<TYearsRule> years = FindYearsRule(o.years);
    if (!years) throw EUsageError(fmt::format("--years: \"{}\" is not one of average, max, each and period", o.years));
    request.Years = *years;
  }
  request.UseInterpolation = !o.noInterpolation;
  CheckDesignRequest(request);
  return request;
}

void RunDesign(const DesignOptions& o) {
  namespace fs = std::filesystem;
  const TDesignRequest request = RequestOf(o);
  if (o.out.empty() == o.outDir.empty()) throw EUsageError("Name the output with either --out FILE or --out-dir FOLDER");
  if (!o.out.empty() && request.Statistics.size() > 1)
    throw EUsageError(fmt::format("--form {} gives {} statistics, one file each: name --out-dir FOLDER", o.form,
                                  request.Statistics.size()));
  CheckOutputFolder(o.outDir);
  CheckRunInputs(o.in);
  CheckResultOutputs(o.results, o.in.plot);
  const auto pathOf = [&](const TDesignOutputName& name) {
    return o.out.empty() ? (fs::path(o.outDir) / ResultFileName(name.FileName, o.results)).string() : o.out;
  };
  const auto check = [&](const std::vector<TDesignOutputName>& names) {
    std::vector<TFileRole> outputs;
    for (const TDesignOutputName& name : names) {
      const TFileRole output{o.out.empty() ? "--out-dir file " + ResultFileName(name.FileName, o.results) : "--out",
                             pathOf(name)};
      for (const TFileRole& role : ResultFileRoles(output, o.results)) outputs.push_back(role);
    }
    CheckRunOutputs(InputRoles(o.in), outputs);
  };
  // Files named without years are known now; the years of `--years each` once the POSTFILE's first and last
  // records are read. Either way before the POSTFILE is read through.
  if (request.Years != TYearsRule::yrEach) check(DesignOutputNames(request, {}));

  TDesignSettings settings;
  settings.PostFile = o.in.post;
  settings.PlotFile = o.in.plot;
  settings.MeteoFile = o.in.met;
  settings.DoublePrecision = !o.in.single;
  settings.MemoryLimitBytes = o.in.MemoryLimitBytes();
  settings.MaxThreads = o.in.threads;
  settings.OnProgress = TerminalProgress();
  settings.Request = request;
  TDesignRun run(std::move(settings));
  const std::vector<TDesignOutputName> planned = run.PlannedOutputs();
  if (!o.out.empty() && planned.size() > 1)
    throw EUsageError(fmt::format("The POSTFILE covers {} years, one file each: name --out-dir FOLDER",
                                  run.PeekedYears().size()));
  check(planned);

  run.Execute();
  WarnAll(run.Warnings());
  WarnIfNoUsableMetHour(o.in, run.MeteoUsableHours());
  if (run.Aborted() || Interrupted()) throw EAbort("cancelled");
  std::vector<std::string> paths;
  std::vector<TResultRows> results;
  for (const TDesignOutput& output : run.Outputs()) {
    paths.push_back(pathOf(output.Name));
    if (o.results.PlotFiles()) WriteDesignPlotFile(run, output, paths.back());
    if (o.results.NeedsRows())
      for (const TDesignColumn& column : output.Columns) {
        TResultRows& rows = results.emplace_back();
        rows.Type = column.Type;
        rows.Rows = column.Rows;
      }
  }
  WriteResults(o.results, paths, results);
}

std::string DesignHelpFooter() {
  std::string text = "\nForms (--form):\n";
  for (const TDesignForm& form : DesignForms()) text += fmt::format("  {:<16}{}\n", form.Name, form.Definition);
  text += "\nSeries (--series):\n";
  for (TDesignSeries s : AllDesignSeries())
    text += fmt::format("  {:<16}{}\n", DesignSeriesInfo(s).Name, DesignSeriesInfo(s).Definition);
  text +=
      "\nDays are the calendar days of the POSTFILE's date keys (hours 1 to 24), years calendar years. Calm and\n"
      "missing hours of the met file count as 0 in maxima and not in averages, which are divided by their hours\n"
      "that hold a value, never by fewer than 3 of 3, 6 of 8 or 18 of 24; without --met every hour of the\n"
      "POSTFILE holds a value. A day cut by the start or end of the POSTFILE is used as it is (with a warning);\n"
      "its 24-hour average gives no value. The annual mean is the sum of the hours that are neither calm nor\n"
      "missing divided by their number. Of equal values the earlier ranks higher. A percentile is the percentile\n"
      "command's, N being the year's values of the series. A year with fewer than 75 % of its hours in the\n"
      "POSTFILE is reported and still counted. Depositions are summed, not averaged. Values are in the\n"
      "POSTFILE's units: nothing is converted.\n"
      "\nFiles (--out-dir): <FORM or SERIES>[_<STATISTIC>]_<YEAR|AVG|MAX|PERIOD>.PLT, e.g. US_NO2_1H_AVG.PLT,\n"
      "EU_PM10_24H_36TH_1996.PLT, EU_PM10_24H_GT50_1996.PLT, DAILY_24H_P98_00_MAX.PLT.\n";
  return text;
}

}  // namespace

void RegisterDesignCommand(CLI::App& app) {
  auto o = std::make_shared<DesignOptions>();
  auto* cmd = app.add_subcommand(
      "design", "Write PLOTFILEs of regulatory statistics of every receptor: design values, exceedances, "
                "annual means, over one or several years");
  AddRunInputOptions(*cmd, o->in);
  cmd->add_option("--form", o->form, "a regulatory form (listed below)");
  cmd->add_option("--series", o->series, "the series of values per receptor (listed below)");
  o->rankOption = cmd->add_option("--rank", o->rank, "the N-th highest value of the series (1 = highest)");
  o->percentileOption =
      cmd->add_option("--percentile", o->percentile, "a percentile of the series' values, 0 < P <= 100");
  o->aboveOption = cmd->add_option("--above", o->above, "the number of values strictly above X");
  cmd->add_flag("--mean", o->mean, "the mean of the series (depositions: their sum)");
  cmd->add_option("--years", o->years,
                  "average (of the yearly values), max (the highest year), each (a file per year) or period (all "
                  "years at once); default: the form's, each for a series");
  cmd->add_flag("--no-interpolation", o->noInterpolation, "a percentile takes the value of its rank");
  cmd->add_option("--out", o->out, "the PLOTFILE to write (a run giving one file)");
  cmd->add_option("--out-dir", o->outDir, "folder receiving the PLOTFILEs, named as below");
  AddResultOutputOptions(*cmd, o->results);
  cmd->footer(DesignHelpFooter());
  cmd->callback([o] { RunCommand([&] { RunDesign(*o); }); });
}

}  // namespace zorvik::cli
