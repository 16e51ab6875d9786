#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

#include <fmt/format.h>

#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "meteo/MeteoData.h"
#include "util/ExceptionLog.h"
#include "util/OutputGuard.h"

namespace zorvik::cli {
namespace {

struct MetOptions {
  std::string metFile;
  std::string badHoursFile;
};

std::string_view LayoutText(TAermetVersion version) {
  switch (SfcLineLayout(version)) {
    case TSfcLineLayout::sllShortColumns: return "fixed columns, 20 fields";
    case TSfcLineLayout::sllLongColumns: return "fixed columns, 25 fields";
    case TSfcLineLayout::sllBlankSeparated: return "blank-separated, 25 fields";
    case TSfcLineLayout::sllNone: break;
  }
  return "none";
}

std::string_view PathText(TMeteoLoadPath path) {
  switch (path) {
    case TMeteoLoadPath::mlpSurfaceFile: return "surface file";
    case TMeteoLoadPath::mlpFixedColumnsIsc: return "fixed columns (ISCST3 layout)";
    case TMeteoLoadPath::mlpFixedColumnsSurface: return "fixed columns (surface layout)";
    case TMeteoLoadPath::mlpNone: break;
  }
  return "none";
}

std::string DateText(TDateTime dt, bool first) {
  if (first ? dt >= 1e20 : dt <= -1e20) return "none";
  return fmt::format("{:08d}", DateTimeToDateKey(dt));
}

// Loads the file; a failure names the file and the line it was found on.
void Load(TMeteoData& met, const std::string& file) {
  try {
    met.LoadDataFromFile(file);
  } catch (const EAbort&) {
    throw;
  } catch (const std::exception& e) {
    const std::string root = RootMessage(e);
    if (root.find(file) != std::string::npos) throw;  // the message names the file already
    throw EFormatError(fmt::format("{}, line {}: {}", file, met.LineNumber(), root));
  }
}

void RunMet(const MetOptions& opts) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(opts.metFile, ec))
    throw EFileNotFound(fmt::format("The file does not exist: {}", opts.metFile));

  // The bad-hours file may not replace the met file, and must be creatable, before anything is read.
  if (!opts.badHoursFile.empty())
    CheckRunOutputs({{"the met file", opts.metFile}}, {{"--bad-hours", opts.badHoursFile}});

  TMeteoData met;
  met.SetAermodVersion(av_11103);
  met.SetKeepBadHours(!opts.badHoursFile.empty());
  Load(met, opts.metFile);
  const bool surface = met.LoadPath() == TMeteoLoadPath::mlpSurfaceFile;
  if (!opts.badHoursFile.empty() && !surface)
    throw EFormatError(fmt::format("{}: bad hours are listed only for AERMET surface files with a full header",
                                   opts.metFile));

  std::string out = fmt::format("file: {}\npath: {}\n", opts.metFile, PathText(met.LoadPath()));
  if (surface) {
    std::string version = met.AermetVersionText();
    while (!version.empty() && version.front() == ' ') version.erase(0, 1);
    out += fmt::format("aermet version: {}\nlayout: {}\n", version, LayoutText(met.AermetVersion()));
  }
  out += fmt::format("hours examined: {}\nusable hours: {}\ncalm hours: {}\nmissing hours: {}\n", met.TotalHourCount(),
                     met.HourCount(), met.CalmHourCount(), met.MissingHourCount());
  if (surface)
    out += fmt::format("incomplete lines: {}\n", met.IncompleteLineCount());
  else
    out += fmt::format("unreadable lines: {}\n", met.UnreadableLineCount());
  out += fmt::format("first hour: {}\nlast hour: {}\nfirst usable hour: {}\nlast usable hour: {}\n",
                     DateText(met.FirstHourDateTime(), true), DateText(met.LastHourDateTime(), false),
                     DateText(met.StartDateTime(), true), DateText(met.EndDateTime(), false));
  if (!opts.badHoursFile.empty()) {
    met.SaveBadHours(opts.badHoursFile);
    out += fmt::format("bad hours: {} ({} rows)\n", opts.badHoursFile, met.BadHours().size());
  }
  std::cout << out;

  if (met.IncompleteLineCount() > 0)
    std::cerr << fmt::format(
        "zorvik-cli: warning: {}, line {}: an hour line lacks fields ({} such lines); they count as calm or "
        "missing\n",
        opts.metFile, met.FirstIncompleteLine(), met.IncompleteLineCount());
  if (met.UsableHourCount() == 0)
    std::cerr << fmt::format("zorvik-cli: warning: {} yields no usable hour: every hour would count as calm\n",
                             opts.metFile);
}

}  // namespace

void RegisterMetCommand(CLI::App& app) {
  auto opts = std::make_shared<MetOptions>();
  auto* cmd = app.add_subcommand(
      "met", "Read a met file (AERMET surface or ISCST3 ASCII) and count its usable, calm and missing hours");
  cmd->add_option("METFILE", opts->metFile, "the met file")->required();
  cmd->add_option("--bad-hours", opts->badHoursFile,
                  "write the calm and missing hours of a surface file, with their reasons, to this CSV file");
  cmd->callback([opts] { RunCommand([&] { RunMet(*opts); }); });
}

}  // namespace zorvik::cli
