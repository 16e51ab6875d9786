#pragma once
// The output options of the commands that write per-receptor results (--format, --crs, --top): the options on
// a subcommand, the names of the files in the chosen format, the checks made before the run, and the writing
// of each result with its table of highest receptors.
//
// A command names its outputs as PLOTFILEs ("P98_00.PLT"), maps each name with ResultFileName, checks every
// file of ResultFileRoles with the run's other outputs before anything is read, runs the engine (PLOTFILEs
// written by the engine's writers when PlotFiles(), rows collected when NeedsRows()), then calls
// WriteResults. What reaches stdout: the files written, one a line, and with --top an empty line followed by
// one table per result; so the files are the lines before the first empty line.
#include <CLI/CLI.hpp>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/ResultRowWriter.h"
#include "engine/ResultTable.h"
#include "post/PostTypes.h"
#include "util/OutputGuard.h"

namespace zorvik::cli {

struct ResultOutputs {
  std::string format = "plt";  // plt, csv, geojson or asc (letters in any case)
  std::string crs;             // EPSG:N, GeoJSON only
  int top = 0;                 // receptors listed per result; 0: no list

  // The table format, or nothing for PLOTFILEs.
  std::optional<TResultFormat> TableFormat() const;
  bool PlotFiles() const { return !TableFormat(); }
  // Whether the engine must collect rows: a table format, or the --top list.
  bool NeedsRows() const { return TableFormat() || top > 0; }
};

// --format, --crs and --top.
void AddResultOutputOptions(CLI::App& cmd, ResultOutputs& outputs);

// The name of a result in the chosen format: the PLOTFILE name for plt, otherwise the name with the format's
// extension in place of its own ("P98_00.PLT" -> "P98_00.csv", "RA08_2ND.PLT" -> "RA08_2ND.geojson").
std::string ResultFileName(const std::string& plotName, const ResultOutputs& outputs);

// The file of one output type of a result whose run holds several (a table holds one value per receptor):
// the type's name before the extension ("out/P98_00.csv" -> "out/P98_00_DEPOS.csv").
std::string OutputTypeFileName(const std::string& path, TPostOutType type);

// Every file one result may take, for the checks before the run: the output itself and, with a table format,
// its file of each output type.
std::vector<TFileRole> ResultFileRoles(const TFileRole& output, const ResultOutputs& outputs);

// The checks before the run: a known format, --crs (a valid EPSG:N) only with geojson, and for asc receptors
// of the PLOTFILE that form a complete regular grid (the PLOTFILE is read; the POSTFILE is not). Raises
// EUsageError with one line naming the option or the PLOTFILE and the reason.
void CheckResultOutputs(const ResultOutputs& outputs, const std::string& plotFile);

// Writes one result in the table format to `path` (whole or not at all; nothing for plt) and returns its
// --top table (empty without --top): a heading naming `path`, then rank, receptor, value, date, x and y of the
// highest receptors, equal values in receptor order.
std::string WriteResult(const ResultOutputs& outputs, const std::vector<TResultRow>& rows, std::string_view valueName,
                        const std::string& path);

// Writes the results of a run and prints what it wrote. `paths` holds the file of each item (as
// ResultFileName gives it; with plt the PLOTFILEs the engine wrote), `results` the rows of the items as
// TResultRowList::Collect gives them (empty when no rows were collected). A run of several output types gets
// one table file per type and item.
void WriteResults(const ResultOutputs& outputs, const std::vector<std::string>& paths,
                  const std::vector<TResultRows>& results);

}  // namespace zorvik::cli
