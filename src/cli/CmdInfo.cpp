#include <iostream>
#include <string>

#include <fmt/format.h>

#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "plotfile/PlotFile.h"
#include "post/PostBinTypeDetector.h"
#include "post/PostFraming.h"
#include "util/FileStream.h"
#include "post/PostSummary.h"
#include "util/Exceptions.h"

namespace zorvik::cli {
namespace {

struct InfoOptions {
  std::string postFile;
  int receptors = 0;
  bool single = false;
  std::string plotFile;
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

// The label of a PLOTFILE column: its title, or the file's heading for the columns that carry a number or
// name in it (DATA 1, AVER CONC YR 1990, ...).
std::string ColumnLabel(const TPlotFile& plot, size_t i) {
  switch (plot.Columns()[i]) {
    case Tplotcolumn::pltData:
    case Tplotcolumn::pltConcYr:
    case Tplotcolumn::pltDateYr:
    case Tplotcolumn::pltCont:
      return plot.ColumnNames()[i];
    default:
      return std::string(PlotColumnInfo(plot.Columns()[i]).Title);
  }
}

void PrintPlot(const TPlotFile& plot) {
  std::string columns;
  for (size_t i = 0; i < plot.Columns().size(); ++i) {
    if (i) columns += ", ";
    columns += ColumnLabel(plot, i);
  }
  std::cout << fmt::format("plot receptors: {}\nplot source group: {}\nplot averaging period: {}\nplot columns: {}\n",
                           plot.ReceptorCount(), plot.SourceGroup(), plot.AveragingPeriod(), columns);
}

// The POSTFILE's records must hold the PLOTFILE's receptors: a Tarvo header states its count, other records
// are the 16-byte record header and one value per receptor and output type.
void CheckReceptorsFit(const std::string& postFile, const TPlotFile& plot, bool doublePrecision) {
  const std::string& plotFile = plot.FileName();
  const int receptors = plot.ReceptorCount();
  if (receptors <= 0) throw EFormatError(fmt::format("The PLOTFILE {} lists no receptors", plotFile));
  // The PLOTFILE's value columns are evidence of the output types, hence of the precision.
  int plotTypes = 0;
  for (const std::string& key : plot.FieldKeys()) plotTypes += key == "conc" || key == "tdep" || key == "ddep" || key == "wdep";
  TPostBinTypeDetector detector(postFile, receptors, doublePrecision, plotTypes);
  if (detector.IsTarvo()) {
    if (detector.ReceptorCount() != receptors)
      throw EFormatError(fmt::format("The POSTFILE {} holds {} receptors, the PLOTFILE {} lists {}", postFile,
                                     detector.ReceptorCount(), plotFile, receptors));
    return;
  }
  const int64_t values = static_cast<int64_t>(receptors) * detector.PostOutTypes().Count() *
                         (detector.DoublePrecision() ? 8 : 4);
  if (detector.PostOutTypes().Empty() || detector.BlockSize() - kPostRecordHeader != values)
    throw EFormatError(fmt::format(
        "The record length {} of the POSTFILE {} does not fit the {} receptors of the PLOTFILE {} in single or double "
        "precision with 1 to 4 output types",
        detector.BlockSize(), postFile, receptors, plotFile));
}

}  // namespace

void RegisterInfoCommand(CLI::App& app) {
  auto opts = std::make_shared<InfoOptions>();
  auto* cmd = app.add_subcommand("info", "Describe a POSTFILE: framing, precision, output types, hours, dates");
  cmd->add_option("POSTFILE", opts->postFile, "the binary POSTFILE")->required();
  auto* receptors =
      cmd->add_option("--receptors", opts->receptors, "receptor count of the run (not needed for a Tarvo header)")
          ->check(CLI::PositiveNumber);
  cmd->add_option("--plot", opts->plotFile, "the PLOTFILE of the same run: gives the receptors and is described too")
      ->excludes(receptors);
  cmd->add_flag("--single", opts->single, "single-precision file of an older model version");
  cmd->callback([opts] {
    RunCommand([&] {
      if (opts->plotFile.empty()) {
        if (opts->receptors == 0) {
          TFileStream stream(opts->postFile);
          if (DetectPostLayout(stream, opts->postFile, "TBinPostReader").Framing != TPostFraming::pfTarvo)
            throw EUsageError(fmt::format(
                "The records of {} do not state the receptor count: give the PLOTFILE of the same run with --plot "
                "PLOTFILE, or the count with --receptors N",
                opts->postFile));
        }
        const TPostSummary summary = SummarizePostFile(opts->postFile, opts->receptors, !opts->single);
        PrintSummary(summary);
        if (!summary.GapWarning.empty()) Warn(summary.GapWarning);
        return;
      }
      const TPlotFile plot = TPlotFile::Read(opts->plotFile);
      CheckReceptorsFit(opts->postFile, plot, !opts->single);
      const TPostSummary summary = SummarizePostFile(opts->postFile, plot.ReceptorCount(), !opts->single);
      PrintSummary(summary);
      PrintPlot(plot);
      if (!summary.GapWarning.empty()) Warn(summary.GapWarning);
    });
  });
}

}  // namespace zorvik::cli
