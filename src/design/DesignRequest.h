#pragma once
// What a design run computes: a series of values per receptor (hours, blocks, rolling windows or one value per
// calendar day), one or two statistics of that series per calendar year, and how the years are combined. The
// regulatory forms are named requests of this kind.
//
//   const TDesignForm* form = FindDesignForm("us-no2-1h");   // 8th-highest daily maximum hour, average of years
//   TDesignRequest own{"daily-24h", TDesignSeries::dsDaily24h, {TDesignStatistic::Above(50)}, TYearsRule::yrEach};
//
// Days are the calendar days of the POSTFILE's date keys (YYMMDDHH, hours 1 to 24; hour 24 is the day's last
// hour); years are calendar years, two-digit years below 50 being 20YY. Values are in the POSTFILE's units.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zorvik {

enum class TDesignSeries : uint8_t {
  dsHours,
  dsBlock3,
  dsBlock8,
  dsBlock24,
  dsRolling3,
  dsRolling8,
  dsRolling24,
  dsDailyMax1h,
  dsDaily24h,
  dsDailyMax8h
};

// How a series is built from the hours.
enum class TSeriesShape : uint8_t {
  ssHours,      // every hour of the POSTFILE
  ssBlocks,     // non-overlapping blocks ending at the hours of the day divisible by their length
  ssRolling,    // windows ending at every hour
  ssDailyMax,   // each day's highest value of a 1-hour or rolling series
};

struct TDesignSeriesInfo {
  std::string_view Name;        // "daily-max-1h"
  std::string_view Definition;  // in words, for --help and messages
  std::string_view Title;       // in a PLOTFILE's title: "DAILY MAX 1-HR"
  TSeriesShape Shape;
  int Hours;                    // hours of a block or window (1 for hours and the daily maximum hour)
  bool Daily;                   // one value per calendar day
};

const TDesignSeriesInfo& DesignSeriesInfo(TDesignSeries series);
std::span<const TDesignSeries> AllDesignSeries();
std::optional<TDesignSeries> FindDesignSeries(std::string_view name);
// "hours, block3, ..." for messages.
std::string DesignSeriesNames();

enum class TDesignStatKind : uint8_t { dkRank, dkPercentile, dkAbove, dkMean };

struct TDesignStatistic {
  TDesignStatKind Kind = TDesignStatKind::dkRank;
  int Rank = 1;                 // dkRank: the n of the n-th highest (1 = highest)
  bool RankAfterYears = false;  // dkRank: the rank is the number of years + 1 (Rank is ignored)
  double Percent = 0.0;         // dkPercentile
  double Threshold = 0.0;       // dkAbove: values strictly above it are counted

  static TDesignStatistic NthHighest(int rank) { return {TDesignStatKind::dkRank, rank}; }
  static TDesignStatistic YearsPlusOne() { return {TDesignStatKind::dkRank, 0, true}; }
  static TDesignStatistic Percentile(double p) { return {TDesignStatKind::dkPercentile, 0, false, p}; }
  static TDesignStatistic Above(double x) { return {TDesignStatKind::dkAbove, 0, false, 0.0, x}; }
  static TDesignStatistic Mean() { return {TDesignStatKind::dkMean}; }
  // The rank for a POSTFILE of `years` calendar years.
  int RankFor(int years) const { return RankAfterYears ? years + 1 : Rank; }
};

enum class TYearsRule : uint8_t {
  yrAverage,  // the mean of the yearly values (no date)
  yrMax,      // the highest yearly value, with its date
  yrEach,     // every year on its own
  yrPeriod,   // the statistic over all values of the POSTFILE at once
};
std::optional<TYearsRule> FindYearsRule(std::string_view name);
std::string_view YearsRuleName(TYearsRule rule);

struct TDesignRequest {
  std::string Name;  // the form, or the series of a request of its own: the stem of the file names
  TDesignSeries Series = TDesignSeries::dsHours;
  std::vector<TDesignStatistic> Statistics;  // one or two
  TYearsRule Years = TYearsRule::yrEach;
  bool UseInterpolation = true;  // for percentiles
};

// Raises EBadParameter for a request without statistic or with more than two, a rank below 1, a percentile
// outside 0 < P <= 100 or a threshold that is not a finite number.
void CheckDesignRequest(const TDesignRequest& request);

struct TDesignForm {
  std::string_view Name;
  std::string_view Definition;
  TDesignRequest Request;
};
std::span<const TDesignForm> DesignForms();
const TDesignForm* FindDesignForm(std::string_view name);
// "us-so2-1h, us-no2-1h, ..." for messages.
std::string DesignFormNames();

// "1ST", "2ND", "3RD", "4TH", "11TH", "21ST", "36TH".
std::string RankOrdinal(int rank);

// One output of a request: a statistic over one year (yrEach) or over the years.
struct TDesignOutputName {
  int Statistic = 0;  // index into the request's statistics
  int Year = 0;       // yrEach: the calendar year; 0 otherwise
  std::string FileName;
};
// The outputs of a request over the calendar years `years` (ascending), in statistic order and within it in
// year order, named "<NAME>[_<STATISTIC>]_<YEARS>.PLT": NAME the form or series in capitals with "_" for "-",
// STATISTIC ("8TH", "P98_00", "GT200", "MEAN") for a request of its own and for the forms with two statistics,
// YEARS the year, "AVG", "MAX" or "PERIOD". Examples: US_NO2_1H_AVG.PLT, EU_PM10_24H_36TH_1996.PLT,
// EU_PM10_24H_GT50_1996.PLT, DAILY_24H_P98_00_MAX.PLT.
std::vector<TDesignOutputName> DesignOutputNames(const TDesignRequest& request, const std::vector<int>& years);

// The second title line of an output's PLOTFILE, e.g. "PLOT FILE OF  HIGH 8TH HIGH DAILY MAX 1-HR VALUES,
// AVERAGE OF 3 YEARS 1996-1998 FOR SOURCE GROUP: ALL". `rank` is the statistic's rank for this POSTFILE.
std::string DesignTitle(const TDesignRequest& request, const TDesignStatistic& statistic, int rank, int year,
                        const std::vector<int>& years, const std::string& group);

}  // namespace zorvik
