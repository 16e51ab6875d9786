#pragma once
// The hour-block index of a POSTFILE: one entry per hour record in file order, the record's file position or
// -1 for an hour the met data marks as calm or missing, with the date each hour carries into a 1-hour store.
#include <cstdint>
#include <string>
#include <vector>

#include "post/PostTypes.h"

namespace zorvik {

class TMeteoHours;
class TProgressReporter;

struct THourIndex {
  std::vector<int64_t> Positions;  // -1: calm or missing
  // The date a 1-hour block value of each hour carries: the record's date, or for a calm or missing hour the
  // hour after the previous one (0 while no value has been seen).
  std::vector<int32_t> Dates;
  int SkipHourBlocks = 0;  // calm and missing hours
  int BlockSize = 0;       // value bytes of an hour record
  int ValueSize = 8;       // 4 or 8
  int TotalHours() const { return static_cast<int>(Positions.size()); }
  void Clear() { *this = THourIndex{}; }
};

// Scans the POSTFILE once. Reports "Reading Post File..." from 0 to 100 (percent of the file), one
// cb_iteration per record with the file name as message; a cancel empties the index.
THourIndex IndexHourBlocks(const std::string& postFile, TPostOutTypes types, const TMeteoHours* meteoData,
                           bool doublePrecision, int receptorCount, TProgressReporter& progress);

}  // namespace zorvik
