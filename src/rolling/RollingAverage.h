#pragma once
// The rolling average run: PLOTFILEs of the 1st to 10th highest 3-, 8- and 24-hour rolling (or block) averages
// of every receptor of a 1-hour POSTFILE.
//
//   TRollingRunParams run;
//   run.PostFile = "run.pos"; run.PlotFile = "run.plt";       // the PLOTFILE of the same run
//   run.Periods = {TAverageValue::hr_8}; run.Ranks = {THighValue::high_1, THighValue::high_2};
//   std::vector<std::string> written = GeneratePlotFiles(run);  // RA08_1ST.PLT, RA08_2ND.PLT beside run.plt
//
// A rolling average of N hours ends at every hour from the N-th on (H hours give H - N + 1 values); a block
// average of N hours ends at every N-th hour from the first hour of the file, without overlap. Either is the
// single-precision sum of its hours in window order; concentrations are divided by the valid hours of the
// window (calm and missing hours of the met file count as 0 and lower the divisor, never below three
// quarters of the window: 3, 6 and 18 hours), depositions are the sum. A value carries the date of its last
// hour. Output files are written whole or not at all, and replace files of the same names.
#include <string>
#include <vector>

#include "engine/PercentItem.h"
#include "engine/PostPercent.h"
#include "engine/ResultRowWriter.h"
#include "engine/Progress.h"
#include "post/PostTypes.h"

namespace zorvik {

struct TRollingRunParams {
  std::string PostFile;
  std::string PlotFile;
  std::string MeteoFile;     // empty: no met file
  std::string OutputFolder;  // with a trailing separator; empty: the PLOTFILE's folder
  bool DoublePrecision = true;
  TAverageValues Periods;    // among hr_3, hr_8, hr_24
  THighValues Ranks;         // high_1 .. high_10
  bool Blocks = false;       // non-overlapping blocks from the first hour instead of rolling windows
  TCB_ProgressEX OnProgress;  // may set abortOp (the command line's Ctrl-C); the window's has no Cancel
  int64_t MemoryLimitBytes = 0;
  int MaxThreads = 0;
  bool ParallelWindows = true;  // see TReceptorListSettings
};

// The receptor list of a rolling run: the base list with the run's periods, rolling (or block) windows, zero
// values kept, and the precision the caller set.
class TRollingReceptorList : public TPrReceptorList {
 public:
  // Raises when the POSTFILE does not hold 1-hour values (rolling over longer periods means nothing).
  explicit TRollingReceptorList(const TRollingRunParams& params);
  // The precision set before construction stays (the base's detection may still find the file's own).
  bool ForceDoublePrecision() const { return false; }
};

// "RA08_2ND.PLT" for the 2nd highest 8-hour rolling average, "BA08_2ND.PLT" for block averages.
std::string RollingFileName(TAverageValue period, THighValue rank, bool blocks);
// Empties `items`, then appends one item per chosen period (in period order) and, within it, per chosen rank
// (in rank order).
void FillPercentItems(std::vector<TPercentItem>& items, TAverageValues periods, THighValues ranks,
                      const std::string& groupName, bool blocks = false);
void FreePercentItems(std::vector<TPercentItem>& items);
// Checks the run (periods, ranks, files, output folder and outputs, all before the POSTFILE is read), runs it
// and returns the files written, in item order. Raises EAbort when the progress callback cancelled the run
// (nothing is then written).
std::vector<std::string> GeneratePlotFiles(const TRollingRunParams& params);

// A rolling run whose results are also (or only) collected as rows: the PLOTFILEs written (none without
// plotFiles, when no output file is checked either: the caller checks its own) and the rows of every item
// and output type, in the order of GeneratePlotFiles' files.
struct TRollingResults {
  std::vector<std::string> Written;
  std::vector<TResultRows> Results;
};
TRollingResults GenerateRollingResults(const TRollingRunParams& params, bool plotFiles);

}  // namespace zorvik
