#pragma once
// What the rolling and block averages of a run must be, worked out directly from the hours: the hours of a
// POSTFILE read with a reader of its own, the window values summed and divided as the tool defines them, and
// a met file written for a test from a real AERMET surface file's lines. Used by the rolling tests and the
// command-line tests; none of it calls the averaging code.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "plotfile/PlotFile.h"
#include "support/TestSupport.h"

namespace zorvik::rolltest {

// One receptor's hours of one output type, in file order: value, whether the met file calls the hour calm or
// missing, and the hour's date key.
struct THourSeries {
  std::vector<float> Values;
  std::vector<char> Calm;
  std::vector<int32_t> Dates;
};

struct TWindowValue {
  float Value = 0;
  int32_t Date = 0;  // 0: there is no such window
};

inline int MinimumDivisor(int hours) { return hours == 3 ? 3 : hours == 8 ? 6 : hours == 24 ? 18 : hours; }

// Every window of `hours` hours, in window order: rolling windows end at every hour from the hours-th on,
// blocks at every hours-th hour. A calm hour counts as 0; a mean divides the single-precision sum (taken in
// window order) by the window's valid hours, never by fewer than the minimum.
inline std::vector<TWindowValue> Windows(const THourSeries& s, int hours, bool blocks, bool mean) {
  std::vector<TWindowValue> out;
  const int n = static_cast<int>(s.Values.size());
  for (int end = hours - 1; end < n; end += blocks ? hours : 1) {
    const int first = end - hours + 1;
    float sum = s.Calm[first] ? 0.0f : s.Values[first];
    int calm = s.Calm[first] ? 1 : 0;
    for (int h = first + 1; h <= end; ++h) {
      sum += s.Calm[h] ? 0.0f : s.Values[h];
      calm += s.Calm[h] ? 1 : 0;
    }
    if (mean) sum = sum / static_cast<float>(std::max(hours - calm, MinimumDivisor(hours)));
    out.push_back({sum, s.Dates[end]});
  }
  return out;
}

// The rank-th highest window (1 = highest; of equal values the earlier window first), or {0, 0}.
inline TWindowValue NthHighest(std::vector<TWindowValue> windows, int rank) {
  std::stable_sort(windows.begin(), windows.end(),
                   [](const TWindowValue& a, const TWindowValue& b) { return a.Value > b.Value; });
  return rank <= static_cast<int>(windows.size()) ? windows[static_cast<size_t>(rank - 1)] : TWindowValue{};
}

// Half a unit of the last digit a PLOTFILE prints of v (five decimals from 1 to 100,000, five significant
// digits below and above), with a little room for the decimal text read back.
inline double PrintedTolerance(double v) {
  const double a = std::fabs(v);
  if (a > 1 && a <= 100000) return 5.01e-6;
  return 5.01e-5 * a;
}

// Checks the column `key` of a written PLOTFILE against the expected window of every receptor, and the DATE
// column when checkDates.
inline void ExpectColumn(const std::string& file, const std::string& key, const std::vector<TWindowValue>& expected,
                         bool checkDates = true) {
  TPlotFile plot = TPlotFile::Read(file);
  ASSERT_EQ(plot.ReceptorCount(), static_cast<int>(expected.size())) << file;
  const int value = plot.FieldIndex(key), date = plot.FieldIndex("date");
  ASSERT_GE(value, 0) << file << " " << key;
  ASSERT_GE(date, 0) << file;
  for (int r = 0; r < plot.ReceptorCount(); ++r) {
    const TWindowValue& e = expected[static_cast<size_t>(r)];
    EXPECT_NEAR(plot.AsFloat(r, value), e.Value, PrintedTolerance(e.Value)) << file << " " << key << " receptor " << r;
    if (checkDates) {
      EXPECT_EQ(plot.AsString(r, date), e.Date ? std::to_string(e.Date) : std::string())
          << file << " receptor " << r;
    }
  }
}

// A standard-framed, double-precision, single-type POSTFILE (int32 length, int32 date, int32 period, 8-byte
// group, the receptors' values, int32 length), read record by record: one series per receptor.
inline std::vector<THourSeries> ReadPostFile(const std::string& file) {
  const std::string bytes = test::ReadAll(file);
  auto int32At = [&](size_t pos) {
    int32_t v;
    std::memcpy(&v, bytes.data() + pos, 4);
    return v;
  };
  std::vector<THourSeries> series;
  for (size_t pos = 0; pos + 4 <= bytes.size();) {
    const int32_t length = int32At(pos);
    const int receptors = (length - 16) / 8;
    if (series.empty()) series.resize(static_cast<size_t>(receptors));
    const int32_t date = int32At(pos + 4);
    for (int r = 0; r < receptors; ++r) {
      double v;
      std::memcpy(&v, bytes.data() + pos + 4 + 16 + 8 * static_cast<size_t>(r), 8);
      series[static_cast<size_t>(r)].Values.push_back(static_cast<float>(v));
      series[static_cast<size_t>(r)].Dates.push_back(date);
      series[static_cast<size_t>(r)].Calm.push_back(0);
    }
    pos += 4 + static_cast<size_t>(length) + 4;
  }
  return series;
}

// A met file for a test: the header and hour lines of a real AERMET surface file, its usable second hour and
// its calm first hour as templates, dated hour after hour from firstDate (two-digit years).
inline void WriteMetFile(const std::string& file, int32_t firstDate, int hours, const std::function<bool(int)>& calm) {
  std::istringstream in(test::ReadAll(test::DataFile("meteo/houston_300h.sfc")));
  std::string header, calmLine, usableLine;
  std::getline(in, header);
  std::getline(in, calmLine);  // 96 1 1 1 1: wind speed 0
  std::getline(in, usableLine);
  const int monthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  int year = firstDate / 1000000, month = firstDate / 10000 % 100, day = firstDate / 100 % 100,
      hour = firstDate % 100;
  auto daysIn = [&](int m) { return monthDays[m - 1] + (m == 2 && year % 4 == 0 ? 1 : 0); };
  std::ofstream out(file, std::ios::binary);
  out << header << "\n";
  for (int h = 0; h < hours; ++h) {
    int julian = day;
    for (int m = 1; m < month; ++m) julian += daysIn(m);
    char date[32];
    std::snprintf(date, sizeof date, "%2d %2d %2d %3d %2d", year, month, day, julian, hour);
    out << date << (calm(h) ? calmLine : usableLine).substr(15) << "\n";
    if (++hour > 24) {
      hour = 1;
      if (++day > daysIn(month)) {
        day = 1;
        if (++month > 12) month = 1, year = (year + 1) % 100;
      }
    }
  }
}

}  // namespace zorvik::rolltest
