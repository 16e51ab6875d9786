#include "design/DesignCalendar.h"

#include <fmt/format.h>

#include <algorithm>

#include "engine/BlockStore.h"
#include "engine/HourIndex.h"
#include "post/PostChecks.h"
#include "util/DateKey.h"

namespace zorvik {
namespace {

std::string DayText(int32_t key) {
  const TDateKeyParts p = DecodeDateKey(key);
  return fmt::format("{:04}-{:02}-{:02}", p.year, p.month, p.day);
}

// What happens to a day that the POSTFILE cuts, by series.
std::string CutDayUse(TDesignSeries series) {
  const TDesignSeriesInfo& info = DesignSeriesInfo(series);
  if (info.Shape == TSeriesShape::ssDailyMax)
    return info.Hours == 1 ? "its maximum is taken over the hours it has"
                           : "its maximum is taken over the 8-hour windows that end in it";
  return fmt::format("the {}-hour block it cuts gives no value", info.Hours);
}

}  // namespace

std::vector<int> TDesignCalendar::YearNumbers() const {
  std::vector<int> years;
  for (const TYear& y : Years) years.push_back(y.Year);
  return years;
}

TDesignCalendar BuildDesignCalendar(const THourIndex& index) {
  TDesignCalendar c;
  const size_t records = index.RecordDates.size();
  if (records == 0) return c;
  const int64_t first = DateKeyHourNumber(index.RecordDates.front());
  const auto slots = static_cast<size_t>(DateKeyHourNumber(index.RecordDates.back()) - first + 1);
  c.Positions.assign(slots, -1);
  c.Kinds.assign(slots, TSlotKind::skAbsent);
  c.Dates.resize(slots);
  int32_t date = index.RecordDates.front();
  for (size_t t = 0; t < slots; ++t) {
    c.Dates[t] = date;
    date = AdvanceDateOneHour(date);
  }
  for (size_t i = 0; i < records; ++i) {
    const auto t = static_cast<size_t>(DateKeyHourNumber(index.RecordDates[i]) - first);
    c.Positions[t] = index.Positions[i];
    c.Kinds[t] = index.Positions[i] >= 0 ? TSlotKind::skValue : TSlotKind::skCalm;
  }
  for (size_t t = 0; t < slots; ++t) {
    if (c.Kinds[t] == TSlotKind::skAbsent) continue;
    const int y = DecodeDateKey(c.Dates[t]).year;
    if (c.Years.empty() || c.Years.back().Year != y) c.Years.push_back({y, 0, IsLeapYear(y) ? 8784 : 8760});
    ++c.Years.back().Records;
  }
  c.SlotYear.assign(slots, -1);
  size_t k = 0;
  for (size_t t = 0; t < slots; ++t) {
    const int y = DecodeDateKey(c.Dates[t]).year;
    while (k < c.Years.size() && c.Years[k].Year < y) ++k;
    if (k < c.Years.size() && c.Years[k].Year == y) c.SlotYear[t] = static_cast<int>(k);
  }
  return c;
}

TSeriesPlan PlanSeries(const TDesignCalendar& c, TDesignSeries series, bool pooledYears) {
  const TDesignSeriesInfo& info = DesignSeriesInfo(series);
  const int slots = c.Slots();
  const int hours = info.Hours;
  TSeriesPlan p;
  p.Series = series;
  p.WindowHours = hours;
  p.Emit.assign(static_cast<size_t>(slots), 0);
  p.Restart.assign(static_cast<size_t>(slots), 0);
  p.Divisor.assign(static_cast<size_t>(slots), 1);
  std::vector<int> validBefore(static_cast<size_t>(slots) + 1, 0);
  for (int t = 0; t < slots; ++t)
    validBefore[static_cast<size_t>(t) + 1] =
        validBefore[static_cast<size_t>(t)] + (c.Kinds[static_cast<size_t>(t)] == TSlotKind::skValue);
  const int minDivisor = TBlockStore::MinimumDivisor(hours);
  const auto windowDivisor = [&](int t) {
    const int valid = validBefore[static_cast<size_t>(t) + 1] - validBefore[static_cast<size_t>(t - hours + 1)];
    return std::max(valid, minDivisor);
  };
  switch (info.Shape) {
    case TSeriesShape::ssHours:
      for (int t = 0; t < slots; ++t) p.Emit[static_cast<size_t>(t)] = c.Kinds[static_cast<size_t>(t)] != TSlotKind::skAbsent;
      break;
    case TSeriesShape::ssBlocks:
      for (int t = 0; t < slots; ++t) {
        if (c.HourOfDay(t) % hours != 0) continue;
        p.Restart[static_cast<size_t>(t)] = 1;
        if (t < hours - 1) continue;  // the block began before the first record
        p.Emit[static_cast<size_t>(t)] = 1;
        p.Divisor[static_cast<size_t>(t)] = windowDivisor(t);
      }
      break;
    case TSeriesShape::ssRolling:
      for (int t = hours - 1; t < slots; ++t) {
        p.Emit[static_cast<size_t>(t)] = 1;
        p.Divisor[static_cast<size_t>(t)] = windowDivisor(t);
      }
      break;
    case TSeriesShape::ssDailyMax: {
      bool any = false;  // the day has a value to take the maximum of
      for (int t = 0; t < slots; ++t) {
        if (hours == 1) {
          any |= c.Kinds[static_cast<size_t>(t)] != TSlotKind::skAbsent;
        } else if (t >= hours - 1) {
          p.Divisor[static_cast<size_t>(t)] = windowDivisor(t);
          any = true;
        }
        if (!c.DayEnds(t)) continue;
        p.Restart[static_cast<size_t>(t)] = 1;
        p.Emit[static_cast<size_t>(t)] = any;
        any = false;
      }
      break;
    }
  }
  const int buckets = pooledYears ? 1 : static_cast<int>(c.Years.size());
  p.Values.assign(static_cast<size_t>(buckets), 0);
  p.ValidHours.assign(static_cast<size_t>(buckets), 0);
  p.SlotBucket.resize(static_cast<size_t>(slots));
  p.BucketEnds.assign(static_cast<size_t>(slots), 0);
  for (int t = 0; t < slots; ++t) {
    const int b = pooledYears ? 0 : c.SlotYear[static_cast<size_t>(t)];
    p.SlotBucket[static_cast<size_t>(t)] = b;
    if (b < 0) continue;
    p.Values[static_cast<size_t>(b)] += p.Emit[static_cast<size_t>(t)];
    p.ValidHours[static_cast<size_t>(b)] += c.Kinds[static_cast<size_t>(t)] == TSlotKind::skValue;
  }
  for (int t = 0; t < slots; ++t) {
    const int b = p.SlotBucket[static_cast<size_t>(t)];
    p.BucketEnds[static_cast<size_t>(t)] = b >= 0 && (t + 1 == slots || p.SlotBucket[static_cast<size_t>(t) + 1] != b);
  }
  return p;
}

std::vector<std::string> CalendarWarnings(const TDesignCalendar& c, TDesignSeries series) {
  std::vector<std::string> warnings;
  if (c.Slots() == 0) return warnings;
  const TDesignSeriesInfo& info = DesignSeriesInfo(series);
  const int firstHour = c.HourOfDay(0), lastHour = c.HourOfDay(c.Slots() - 1);
  const bool daily = info.Daily;
  const bool blocks = info.Shape == TSeriesShape::ssBlocks;
  if ((daily && firstHour != 1) || (blocks && (firstHour - 1) % info.Hours != 0))
    warnings.push_back(fmt::format("the POSTFILE starts at hour {} of {}: that day is cut and used as it is ({})",
                                   firstHour, DayText(c.Dates.front()), CutDayUse(series)));
  if ((daily && lastHour != 24) || (blocks && lastHour % info.Hours != 0))
    warnings.push_back(fmt::format("the POSTFILE ends at hour {} of {}: that day is cut and used as it is ({})",
                                   lastHour, DayText(c.Dates.back()), CutDayUse(series)));
  for (const TDesignCalendar::TYear& y : c.Years)
    if (y.Records * 4 < int64_t{y.Hours} * 3)
      warnings.push_back(fmt::format(
          "the year {} has {} of its {} hours in the POSTFILE ({:.1f} %, fewer than 75 %); it is counted all the same",
          y.Year, y.Records, y.Hours, 100.0 * static_cast<double>(y.Records) / y.Hours));
  return warnings;
}

}  // namespace zorvik
