#pragma once
// A design run: the statistics of a TDesignRequest for every receptor of a 1-hour POSTFILE, read once.
//
//   TDesignSettings settings;
//   settings.PostFile = "run.pos"; settings.PlotFile = "run.plt"; settings.MeteoFile = "run.sfc";
//   settings.Request = FindDesignForm("us-no2-1h")->Request;
//   TDesignRun run(settings);                 // reads the PLOTFILE and the POSTFILE's first and last records
//   run.PlannedOutputs();                     // the files it will give, for the checks before reading
//   run.Execute();                            // one scan to index the hours, then the values chunk by chunk
//   for (const TDesignOutput& out : run.Outputs()) use(out.Columns[0].Rows);
//
// The hours are laid out on the calendar (TDesignCalendar). Receptors go through in chunks sized to the memory
// cap; within a chunk each thread takes a range of receptors and reads their slice of every hour, in order, into
// per-receptor accumulators: the day's maximum, block sums, a ring of the last hours for rolling windows, and per
// statistic a bounded selection of the highest values, a count or a sum, closed at the end of every year. Values
// stay in the precision the POSTFILE stores them in and are summed in double precision, in hour order.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "design/DesignCalendar.h"
#include "design/DesignRequest.h"
#include "engine/ListInputs.h"
#include "engine/Progress.h"
#include "engine/ResultTable.h"
#include "plotfile/PlotFile.h"
#include "post/PostTypes.h"

namespace zorvik {

class TAttributeCollectionRef;
class TMeteoHours;

struct TDesignSettings {
  std::string PostFile;
  std::string PlotFile;
  std::string MeteoFile;          // empty: no met file
  bool DoublePrecision = true;    // the presumed precision; detection may change it
  int64_t MemoryLimitBytes = 0;   // caps the memory for values; 0 = 70 % of the free memory
  int MaxThreads = 0;             // 0 = one per logical processor
  TCB_ProgressEX OnProgress;      // may set abortOp
  TDesignRequest Request;
};

// The values of one output type for every receptor, in PLOTFILE order.
struct TDesignColumn {
  TPostOutType Type = TPostOutType::poConc;
  std::vector<TResultRow> Rows;
};

// One result of a run: a statistic over one year, or over the years, of every receptor.
struct TDesignOutput {
  TDesignOutputName Name;
  TDesignStatistic Statistic;
  int Rank = 0;            // the rank read, for the n-th highest
  std::string Title;       // the PLOTFILE's second title line
  std::string ValueName;   // the value's name in a table: the file name's stem in small letters
  std::string PeriodText;  // the AVE column: "1-HR", "24-HR", "ANNUAL" or "PERIOD"
  std::string RankText;    // the RANK column ("8TH"); empty when the statistic has no rank
  std::vector<TDesignColumn> Columns;  // one per output type of the POSTFILE
};

class TDesignRun {
 public:
  // Reads the PLOTFILE, detects the POSTFILE's layout and reads its first and last record. Raises for a
  // POSTFILE of longer averages than 1 hour and for a request without statistic.
  explicit TDesignRun(TDesignSettings settings);
  ~TDesignRun();
  TDesignRun(const TDesignRun&) = delete;
  TDesignRun& operator=(const TDesignRun&) = delete;

  // The calendar years from the first record to the last, and the outputs a run over them gives: what the
  // files are checked against before the POSTFILE is read.
  const std::vector<int>& PeekedYears() const { return fPeekedYears; }
  std::vector<TDesignOutputName> PlannedOutputs() const { return DesignOutputNames(fSettings.Request, fPeekedYears); }

  // Indexes the POSTFILE and computes every output. A cancel through the progress callback stops the run;
  // Aborted() then tells so and there are no outputs.
  void Execute();
  bool Aborted() const { return fProgress.Aborted(); }

  // The outputs of PlannedOutputs (over the years that hold records), after Execute: the per-receptor results
  // that the PLOTFILE and the tables are written from.
  const std::vector<TDesignOutput>& Outputs() const { return fOutputs; }
  // What the run found worth telling but not fatal, one line each: hours missing between records, days cut
  // by the start or end of the POSTFILE, years short of hours, ranks beyond the values of a year.
  const std::vector<std::string>& Warnings() const { return fWarnings; }

  int ReceptorCount() const { return fPlot->ReceptorCount(); }
  TPostOutTypes PostOutTypes() const { return fTypes; }
  bool IsDoublePrecision() const { return fDoublePrecision; }
  const std::string& GroupName() const { return fGroupName; }
  // Usable hours of the met file, or -1 without one.
  int MeteoUsableHours() const { return fMeteoUsableHours; }
  const TDesignCalendar& Calendar() const { return fCalendar; }
  // Receptors per chunk and chunks of the last Execute, and the bytes one receptor of a chunk takes.
  int ChunkReceptors() const { return fChunkReceptors; }
  int ChunkCount() const;
  int64_t BytesPerReceptor() const { return fBytesPerReceptor; }
  // The bytes of the results of every receptor, kept for the whole run within the memory cap.
  int64_t ResultBytes() const { return fResultBytes; }
  // The PLOTFILE of the run, as read.
  const TPlotFile& Plot() const { return *fPlot; }

 private:
  struct TRange;
  struct TStatisticPlan;
  void PlanStatistics();
  void SizeChunks();
  void ProcessChunk(int start, int count);
  void ReadRange(TRange& range);
  void BuildOutputs();

  TDesignSettings fSettings;
  std::unique_ptr<TPlotFile> fPlot;
  TPostOutTypes fTypes;
  std::vector<TPostOutType> fTypeList;
  bool fDoublePrecision = true;
  std::string fGroupName;
  int fValueBytesOffset = 0;
  std::vector<int> fPeekedYears;
  std::unique_ptr<TMeteoHours> fMeteo;
  int fMeteoUsableHours = -1;
  TProgressReporter fProgress;
  TDesignCalendar fCalendar;
  TSeriesPlan fPlan;
  std::vector<TStatisticPlan> fStatistics;
  int fThreads = 1;
  int fChunkReceptors = 0;
  int64_t fBytesPerReceptor = 0;
  int64_t fResultBytes = 0;
  // Per statistic, bucket and output type: every receptor's value and date.
  struct TValueDate {
    double Value = 0;
    int32_t Date = 0;
  };
  std::vector<std::vector<std::vector<std::vector<TValueDate>>>> fResults;
  std::vector<TDesignOutput> fOutputs;
  std::vector<std::string> fWarnings;
};

// Writes one output of the run as a PLOTFILE in the models' layout: the run's PLOTFILE header with the output's
// title, every receptor's value per output type, the AVE, GRP and RANK columns and the DATE of the value where it
// has one. The file takes its name only when complete.
void WriteDesignPlotFile(TDesignRun& run, const TDesignOutput& output, const std::string& file);

}  // namespace zorvik
