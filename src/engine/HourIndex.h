#pragma once
// The hour-block index of a POSTFILE: one entry per hour record in file order, the record's file position or
// -1 for an hour the met data marks as calm or missing, with the date each hour carries into a 1-hour store.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "post/PostTypes.h"

namespace zorvik {

class TMeteoHours;
class TProgressReporter;
class TStream;

struct THourIndex {
  std::vector<int64_t> Positions;  // -1: calm or missing
  // The date a 1-hour block value of each hour carries: the record's date, or for a calm or missing hour the
  // hour after the previous one (0 while no value has been seen).
  std::vector<int32_t> Dates;
  // The date key each record carries, calm and missing hours included.
  std::vector<int32_t> RecordDates;
  int SkipHourBlocks = 0;  // calm and missing hours
  int BlockSize = 0;       // value bytes of an hour record
  int ValueSize = 8;       // 4 or 8
  std::vector<std::string> Warnings;  // what the scan found worth telling but not fatal (hours missing between records)
  int TotalHours() const { return static_cast<int>(Positions.size()); }
  void Clear() { *this = THourIndex{}; }
};

// The met data a POSTFILE is indexed against.
struct THourIndexMeteo {
  const TMeteoHours* Hours = nullptr;  // null: every hour is usable
  std::string File;                    // the met file, named in messages
  // Every hour of the POSTFILE must be one the met file holds (usable, calm or missing): a met file of another
  // period or one cut short is an error. Off for a met file without any usable hour, which makes every hour calm.
  bool RequireEveryHour = true;
};

// What a reader of an index still being built may rely on (see IndexHourBlocks' `stream`): the first Ready
// entries of the pre-sized Positions, Dates and RecordDates are final; Done is set when the scan has ended, one
// way or another. Stop asks the scan to end early.
struct THourIndexStream {
  std::atomic<int> Ready{0};
  std::atomic<bool> Done{false};
  std::atomic<bool> Stop{false};
};

// Whether the POSTFILE is in the page cache throughout, as far as a few probes tell.
bool PostFileInMemory(const std::string& postFile);

// The records of a POSTFILE whose records all have the size of the first, from its size alone: their number (-1
// when the size is not a whole number of records, or the first record cannot be read), where the first starts
// and the size of each on disk.
struct TStandardRecords {
  int Hours = -1;
  int64_t First = 0;
  int64_t Stride = 0;
};
TStandardRecords StandardRecords(const std::string& postFile, TPostOutTypes types, bool doublePrecision);

// Scans the POSTFILE once. Reports "Reading Post File..." from 0 to 100 (percent of the file), one
// cb_iteration per record with the file name as message; a cancel empties the index. Every record header is
// checked (a date key that is a calendar hour, later than the one before, one averaging period and source group
// throughout); hours missing between records give a warning.
THourIndex IndexHourBlocks(const std::string& postFile, TPostOutTypes types, const THourIndexMeteo& meteo,
                           bool doublePrecision, int receptorCount, TProgressReporter& progress);
// The same scan into `index`, whose Positions already hold `hours` entries (StandardRecords), for readers on
// other threads that follow it through `stream`. A file with another number of records than `hours` is an error.
// With `headers`, the record headers are read through that stream of the file (one that brings the file in by
// itself) instead of the file's own.
void IndexHourBlocksStreamed(THourIndex& index, int hours, const std::string& postFile, TPostOutTypes types,
                             const THourIndexMeteo& meteo, bool doublePrecision, THourIndexStream& stream,
                             std::unique_ptr<TStream> headers = nullptr);

}  // namespace zorvik
