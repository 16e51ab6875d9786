#pragma once
// What a design run must give, worked out directly from the hours with plain loops over the calendar: every
// series and statistic as the README defines them. Used by the design tests and the command-line tests; none of
// it calls the design code.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "design/DesignRequest.h"
#include "support/TestSupport.h"
#include "util/DateKey.h"

namespace zorvik::designtest {

// The records of a POSTFILE of one output type: date, calm or missing by the met file, and every receptor's value.
struct THours {
  std::vector<int32_t> Dates;
  std::vector<char> Calm;
  std::vector<std::vector<double>> Values;  // [receptor][record]
};

struct TValue {
  double Value = 0;
  int32_t Date = 0;
  bool operator==(const TValue&) const = default;
};

inline int64_t HourNumber(int32_t key) {
  TDateTime day = 0;
  TryEncodeDate(DecodeDateKey(key).year, key / 10000 % 100, key / 100 % 100, day);
  return static_cast<int64_t>(day) * 24 + key % 100 - 1;
}

// One receptor's hours on the calendar, from the first record to the last: a missing record is an absent hour.
struct TCalendar {
  std::vector<int32_t> Dates;
  std::vector<double> Values;  // 0 for calm and absent hours
  std::vector<char> Valid;     // a record that is neither calm nor missing
  std::vector<char> Record;    // a record at all

  TCalendar(const THours& h, int receptor) {
    const int64_t first = HourNumber(h.Dates.front());
    const auto n = static_cast<size_t>(HourNumber(h.Dates.back()) - first + 1);
    Dates.resize(n);
    Values.assign(n, 0.0);
    Valid.assign(n, 0);
    Record.assign(n, 0);
    int32_t d = h.Dates.front();
    for (size_t t = 0; t < n; ++t, d = AdvanceDateOneHour(d)) Dates[t] = d;
    for (size_t i = 0; i < h.Dates.size(); ++i) {
      const auto t = static_cast<size_t>(HourNumber(h.Dates[i]) - first);
      Record[t] = 1;
      Valid[t] = !h.Calm[i];
      Values[t] = h.Calm[i] ? 0.0 : h.Values[static_cast<size_t>(receptor)][i];
    }
  }
  size_t Size() const { return Dates.size(); }
  int Hour(size_t t) const { return Dates[t] % 100; }
  // The average (or for a deposition the sum) of the `hours` hours ending at t, summed in hour order.
  double Window(size_t t, int hours, bool average) const {
    double sum = 0;
    int valid = 0;
    for (size_t i = t + 1 - static_cast<size_t>(hours); i <= t; ++i) {
      sum += Values[i];
      valid += Valid[i];
    }
    const int least = hours == 3 ? 3 : hours == 8 ? 6 : hours == 24 ? 18 : 1;
    return average ? sum / std::max(valid, least) : sum;
  }
};

inline int YearOf(int32_t key) { return DecodeDateKey(key).year; }

// Every value of the series in time order, with the date of the hour it ends at.
inline std::vector<TValue> Series(const THours& h, int receptor, TDesignSeries series, bool average = true) {
  const TCalendar c(h, receptor);
  std::vector<TValue> out;
  const auto rolling = [&](int hours) {
    for (size_t t = static_cast<size_t>(hours) - 1; t < c.Size(); ++t) out.push_back({c.Window(t, hours, average), c.Dates[t]});
  };
  const auto blocks = [&](int hours) {
    for (size_t t = static_cast<size_t>(hours) - 1; t < c.Size(); ++t)
      if (c.Hour(t) % hours == 0) out.push_back({c.Window(t, hours, average), c.Dates[t]});
  };
  // Each day's highest of `value(t)` over the hours t of the day where it exists; the first hour on ties.
  const auto dailyMax = [&](auto exists, auto value) {
    TValue best{-1e300, 0};
    for (size_t t = 0; t < c.Size(); ++t) {
      if (exists(t) && value(t) > best.Value) best = {value(t), c.Dates[t]};
      if (c.Hour(t) == 24 || t + 1 == c.Size()) {
        if (best.Date != 0) out.push_back(best);
        best = {-1e300, 0};
      }
    }
  };
  switch (series) {
    case TDesignSeries::dsHours:
      for (size_t t = 0; t < c.Size(); ++t)
        if (c.Record[t]) out.push_back({c.Values[t], c.Dates[t]});
      break;
    case TDesignSeries::dsBlock3: blocks(3); break;
    case TDesignSeries::dsBlock8: blocks(8); break;
    case TDesignSeries::dsBlock24:
    case TDesignSeries::dsDaily24h: blocks(24); break;
    case TDesignSeries::dsRolling3: rolling(3); break;
    case TDesignSeries::dsRolling8: rolling(8); break;
    case TDesignSeries::dsRolling24: rolling(24); break;
    case TDesignSeries::dsDailyMax1h:
      dailyMax([&](size_t t) { return c.Record[t] != 0; }, [&](size_t t) { return c.Values[t]; });
      break;
    case TDesignSeries::dsDailyMax8h:
      dailyMax([&](size_t t) { return t >= 7; }, [&](size_t t) { return c.Window(t, 8, average); });
      break;
  }
  return out;
}

// Highest first; of equal values the earlier first.
inline std::vector<TValue> Ranked(std::vector<TValue> values) {
  std::stable_sort(values.begin(), values.end(), [](const TValue& a, const TValue& b) { return a.Value > b.Value; });
  return values;
}

// The n-th highest of ranked values, or {0, 0}.
inline TValue NthOfRanked(const std::vector<TValue>& ranked, int n) {
  return n >= 1 && n <= static_cast<int>(ranked.size()) ? ranked[static_cast<size_t>(n - 1)] : TValue{};
}

// The percentile in words: x = N (100 - P) / 100; interpolated, the straight line between ranks floor(x) and
// ceil(x) at x (rank 0 read as rank 1), dated only when x is a whole rank; otherwise the value of rank ceil(x).
inline TValue Percentile(const std::vector<TValue>& values, double p, bool interpolate) {
  if (values.empty()) return {};
  const std::vector<TValue> ranked = Ranked(values);
  const double x = static_cast<double>(values.size()) * (100.0 - p) / 100.0;
  const auto at = [&](double rank) { return NthOfRanked(ranked, std::max(1, static_cast<int>(rank))); };
  const double lo = std::floor(x), hi = std::ceil(x);
  if (!interpolate || lo == hi) return at(hi);
  return {at(lo).Value + (x - lo) * (at(hi).Value - at(lo).Value), 0};
}

// The statistic of one year's (or the whole period's) values; `validHours` divides the mean of the hours.
inline TValue Statistic(const std::vector<TValue>& values, const TDesignStatistic& s, int rank, bool interpolate,
                        TDesignSeries series, int64_t validHours, bool average = true) {
  switch (s.Kind) {
    case TDesignStatKind::dkRank: return NthOfRanked(Ranked(values), rank);
    case TDesignStatKind::dkPercentile: return Percentile(values, s.Percent, interpolate);
    case TDesignStatKind::dkAbove: {
      double count = 0;
      for (const TValue& v : values) count += v.Value > s.Threshold;
      return {count, 0};
    }
    case TDesignStatKind::dkMean: {
      double sum = 0;
      for (const TValue& v : values) sum += v.Value;
      if (!average) return {sum, 0};
      const int64_t count = series == TDesignSeries::dsHours ? validHours : static_cast<int64_t>(values.size());
      return {count > 0 ? sum / static_cast<double>(count) : 0.0, 0};
    }
  }
  return {};
}

// The calendar years that hold records.
inline std::vector<int> Years(const THours& h) {
  std::vector<int> years;
  for (int32_t d : h.Dates)
    if (years.empty() || years.back() != YearOf(d)) years.push_back(YearOf(d));
  return years;
}

// The result of a statistic of the request for one receptor: for one year (`year` > 0) or as the years rule
// combines them.
inline TValue Expected(const THours& h, int receptor, const TDesignRequest& request, const TDesignStatistic& s,
                       int year, bool average = true) {
  const std::vector<TValue> all = Series(h, receptor, request.Series, average);
  const std::vector<int> years = Years(h);
  const int rank = s.RankFor(static_cast<int>(years.size()));
  const auto ofYear = [&](int y) {
    std::vector<TValue> values;
    for (const TValue& v : all)
      if (y == 0 || YearOf(v.Date) == y) values.push_back(v);
    int64_t valid = 0;
    for (size_t i = 0; i < h.Dates.size(); ++i) valid += (y == 0 || YearOf(h.Dates[i]) == y) && !h.Calm[i];
    return Statistic(values, s, rank, request.UseInterpolation, request.Series, valid, average);
  };
  if (request.Years == TYearsRule::yrEach) return ofYear(year);
  if (request.Years == TYearsRule::yrPeriod) return ofYear(0);
  std::vector<TValue> yearly;
  for (int y : years) yearly.push_back(ofYear(y));
  if (request.Years == TYearsRule::yrMax) {
    TValue best = yearly.front();
    for (const TValue& v : yearly)
      if (v.Value > best.Value) best = v;
    return best;
  }
  double sum = 0;
  for (const TValue& v : yearly) sum += v.Value;
  return {sum / static_cast<double>(yearly.size()), 0};
}

// A standard-framed, double-precision POSTFILE of one output type, read record by record.
inline THours ReadPostFile(const std::string& file) {
  const std::string bytes = test::ReadAll(file);
  const auto int32At = [&](size_t pos) {
    int32_t v;
    std::memcpy(&v, bytes.data() + pos, 4);
    return v;
  };
  THours h;
  for (size_t pos = 0; pos + 4 <= bytes.size();) {
    const int32_t length = int32At(pos);
    const auto receptors = static_cast<size_t>((length - 16) / 8);
    h.Values.resize(receptors);
    h.Dates.push_back(int32At(pos + 4));
    h.Calm.push_back(0);
    for (size_t r = 0; r < receptors; ++r) {
      double v;
      std::memcpy(&v, bytes.data() + pos + 20 + 8 * r, 8);
      h.Values[r].push_back(v);
    }
    pos += 4 + static_cast<size_t>(length) + 4;
  }
  return h;
}

}  // namespace zorvik::designtest
