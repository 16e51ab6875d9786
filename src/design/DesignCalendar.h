#pragma once
// The hours of a POSTFILE on the calendar, and where the values of a design series fall among them. Nothing
// here depends on a receptor: which hours hold values, which are calm or missing, where days, blocks and years
// end and what each window's average is divided by are the same for every receptor, so they are worked out once
// and the readers only add up values.
#include <cstdint>
#include <string>
#include <vector>

#include "design/DesignRequest.h"

namespace zorvik {

struct THourIndex;

enum class TSlotKind : uint8_t {
  skValue,   // a record whose values count
  skCalm,    // a record of an hour the met file marks calm or missing: its values are 0 and do not count
  skAbsent,  // an hour between two records that the POSTFILE lacks: no value at all, missing in windows
};

// One slot per calendar hour from the POSTFILE's first record to its last.
struct TDesignCalendar {
  std::vector<int64_t> Positions;  // the record's file position; -1 for calm and missing hours and absent hours
  std::vector<TSlotKind> Kinds;
  std::vector<int32_t> Dates;      // the slot's date key (YYMMDDHH)
  struct TYear {
    int Year = 0;          // four digits
    int64_t Records = 0;   // hours of the year that the POSTFILE holds
    int Hours = 0;         // hours of the calendar year (8,760 or 8,784)
  };
  std::vector<TYear> Years;        // the calendar years holding at least one record, ascending
  std::vector<int> SlotYear;       // index into Years of each slot's year; -1 for a year without records

  int Slots() const { return static_cast<int>(Dates.size()); }
  int HourOfDay(int slot) const { return Dates[static_cast<size_t>(slot)] % 100; }
  bool DayEnds(int slot) const { return HourOfDay(slot) == 24 || slot + 1 == Slots(); }
  std::vector<int> YearNumbers() const;
};

// Lays the indexed records of a POSTFILE out on the calendar by the date each record carries.
TDesignCalendar BuildDesignCalendar(const THourIndex& index);

// The values of one series over the calendar, grouped into buckets: the calendar years (or one bucket for the
// whole POSTFILE when the years are pooled).
struct TSeriesPlan {
  TDesignSeries Series = TDesignSeries::dsHours;
  int WindowHours = 1;
  std::vector<uint8_t> Emit;     // 1 where the series has a value ending at the slot
  std::vector<uint8_t> Restart;  // 1 where a block or day ends: its sums and maxima start again after the slot
  // The divisor of the average of the block or window ending at the slot: its hours that hold a value, but never
  // fewer than three quarters of it (3 of 3, 6 of 8, 18 of 24 hours).
  std::vector<int32_t> Divisor;
  std::vector<int> SlotBucket;   // bucket of each slot, -1 for none
  std::vector<uint8_t> BucketEnds;  // 1 on the last slot of a bucket
  std::vector<int64_t> Values;      // per bucket: values of the series
  std::vector<int64_t> ValidHours;  // per bucket: hours that hold a value (neither calm, missing nor absent)
  int Buckets() const { return static_cast<int>(Values.size()); }
};

TSeriesPlan PlanSeries(const TDesignCalendar& calendar, TDesignSeries series, bool pooledYears);

// What the run should say about the calendar for this series: a first or last day cut by the start or end of the
// POSTFILE (for daily and block series), and years with fewer than 75 % of their hours in the POSTFILE.
std::vector<std::string> CalendarWarnings(const TDesignCalendar& calendar, TDesignSeries series);

}  // namespace zorvik
