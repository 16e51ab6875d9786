#include "design/DesignRequest.h"

#include <fmt/format.h>

#include <array>
#include <cmath>

#include "util/Exceptions.h"
#include "util/TextUtils.h"

namespace zorvik {
namespace {

using enum TDesignSeries;
using enum TSeriesShape;

constexpr std::array<TDesignSeriesInfo, 10> kSeries = {{
    {"hours", "every hour's value", "1-HR", ssHours, 1, false},
    {"block3", "3-hour block averages, ending at hours 3, 6, ..., 24 of each day", "3-HR BLOCK", ssBlocks, 3, false},
    {"block8", "8-hour block averages, ending at hours 8, 16 and 24 of each day", "8-HR BLOCK", ssBlocks, 8, false},
    {"block24", "24-hour block averages, one per calendar day (the values of daily-24h)", "24-HR BLOCK", ssBlocks, 24,
     false},
    {"rolling3", "3-hour rolling averages, ending at every hour", "3-HR ROLLING", ssRolling, 3, false},
    {"rolling8", "8-hour rolling averages, ending at every hour", "8-HR ROLLING", ssRolling, 8, false},
    {"rolling24", "24-hour rolling averages, ending at every hour", "24-HR ROLLING", ssRolling, 24, false},
    {"daily-max-1h", "each calendar day's highest hour", "DAILY MAX 1-HR", ssDailyMax, 1, true},
    {"daily-24h", "each calendar day's 24-hour average (hours 1 to 24)", "DAILY 24-HR", ssBlocks, 24, true},
    {"daily-max-8h",
     "each calendar day's highest 8-hour rolling average, a window belonging to the day of its last hour",
     "DAILY MAX 8-HR ROLLING", ssDailyMax, 8, true},
}};

constexpr std::array<TDesignSeries, 10> kAllSeries = {dsHours,    dsBlock3,   dsBlock8,    dsBlock24,  dsRolling3,
                                                      dsRolling8, dsRolling24, dsDailyMax1h, dsDaily24h, dsDailyMax8h};

using S = TDesignStatistic;

const std::array<TDesignForm, 12>& Forms() {
  static const std::array<TDesignForm, 12> forms = {{
      {"us-so2-1h", "the 4th-highest daily maximum 1-hour value of each year, averaged over the years",
       {"us-so2-1h", dsDailyMax1h, {S::NthHighest(4)}, TYearsRule::yrAverage}},
      {"us-no2-1h", "the 8th-highest daily maximum 1-hour value of each year, averaged over the years",
       {"us-no2-1h", dsDailyMax1h, {S::NthHighest(8)}, TYearsRule::yrAverage}},
      {"us-pm25-24h", "the 8th-highest 24-hour average of each year, averaged over the years",
       {"us-pm25-24h", dsDaily24h, {S::NthHighest(8)}, TYearsRule::yrAverage}},
      {"us-pm10-24h",
       "the (N+1)-th highest 24-hour average over the N years of the POSTFILE (at most one day above it per year "
       "on average)",
       {"us-pm10-24h", dsDaily24h, {S::YearsPlusOne()}, TYearsRule::yrPeriod}},
      {"eu-no2-1h", "the 19th-highest hour of each year, and the hours above 200 in each year",
       {"eu-no2-1h", dsHours, {S::NthHighest(19), S::Above(200)}, TYearsRule::yrEach}},
      {"eu-so2-1h", "the 25th-highest hour of each year, and the hours above 350 in each year",
       {"eu-so2-1h", dsHours, {S::NthHighest(25), S::Above(350)}, TYearsRule::yrEach}},
      {"eu-so2-24h", "the 4th-highest daily mean of each year, and the days above 125 in each year",
       {"eu-so2-24h", dsDaily24h, {S::NthHighest(4), S::Above(125)}, TYearsRule::yrEach}},
      {"eu-pm10-24h", "the 36th-highest daily mean of each year, and the days above 50 in each year",
       {"eu-pm10-24h", dsDaily24h, {S::NthHighest(36), S::Above(50)}, TYearsRule::yrEach}},
      {"eu-co-8h", "the highest daily maximum 8-hour rolling mean of each year",
       {"eu-co-8h", dsDailyMax8h, {S::NthHighest(1)}, TYearsRule::yrEach}},
      {"us-pm25-annual", "the annual mean, averaged over the years",
       {"us-pm25-annual", dsHours, {S::Mean()}, TYearsRule::yrAverage}},
      {"eu-no2-annual", "the annual mean of each year", {"eu-no2-annual", dsHours, {S::Mean()}, TYearsRule::yrEach}},
      {"eu-pm10-annual", "the annual mean of each year",
       {"eu-pm10-annual", dsHours, {S::Mean()}, TYearsRule::yrEach}},
  }};
  return forms;
}

// Capitals, "_" for "-".
std::string FileStem(std::string_view name) {
  std::string stem(name);
  for (char& c : stem) {
    c = c == '-' ? '_' : AsciiUpper(c);
  }
  return stem;
}

// A number in a file name: "200", "0_5", "M1" for -1.
std::string NumberCode(double value) {
  std::string text = fmt::format("{}", value), code;
  for (char c : text) {
    if (c == '.') code += '_';
    else if (c == '-') code += 'M';
    else if (c == '+') continue;
    else if (c == 'e') code += 'E';
    else code += c;
  }
  return code;
}

std::string StatisticCode(const TDesignStatistic& s, int years) {
  switch (s.Kind) {
    case TDesignStatKind::dkRank: return RankOrdinal(s.RankFor(years));
    case TDesignStatKind::dkPercentile: {
      std::string text = fmt::format("P{:05.2f}", s.Percent);
      for (char& c : text)
        if (c == '.') c = '_';
      return text;
    }
    case TDesignStatKind::dkAbove: return "GT" + NumberCode(s.Threshold);
    case TDesignStatKind::dkMean: return "MEAN";
  }
  return {};
}

std::string YearsText(const std::vector<int>& years) {
  if (years.empty()) return {};
  if (years.size() == 1) return fmt::format("1 YEAR {}", years.front());
  return fmt::format("{} YEARS {}-{}", years.size(), years.front(), years.back());
}

}  // namespace

const TDesignSeriesInfo& DesignSeriesInfo(TDesignSeries series) { return kSeries[static_cast<size_t>(series)]; }

std::span<const TDesignSeries> AllDesignSeries() { return kAllSeries; }

std::optional<TDesignSeries> FindDesignSeries(std::string_view name) {
  for (TDesignSeries s : kAllSeries)
    if (DesignSeriesInfo(s).Name == name) return s;
  return std::nullopt;
}

std::string DesignSeriesNames() {
  std::string names;
  for (TDesignSeries s : kAllSeries) names += (names.empty() ? "" : ", ") + std::string(DesignSeriesInfo(s).Name);
  return names;
}

std::optional<TYearsRule> FindYearsRule(std::string_view name) {
  for (TYearsRule r : {TYearsRule::yrAverage, TYearsRule::yrMax, TYearsRule::yrEach, TYearsRule::yrPeriod})
    if (YearsRuleName(r) == name) return r;
  return std::nullopt;
}

std::string_view YearsRuleName(TYearsRule rule) {
  switch (rule) {
    case TYearsRule::yrAverage: return "average";
    case TYearsRule::yrMax: return "max";
    case TYearsRule::yrEach: return "each";
    case TYearsRule::yrPeriod: return "period";
  }
  return {};
}

void CheckDesignRequest(const TDesignRequest& request) {
  if (request.Statistics.empty() || request.Statistics.size() > 2)
    throw EBadParameter(fmt::format("A design run takes one or two statistics, not {}", request.Statistics.size()));
  for (const TDesignStatistic& s : request.Statistics) {
    if (s.Kind == TDesignStatKind::dkRank && !s.RankAfterYears && s.Rank < 1)
      throw EBadParameter(fmt::format("The rank {} is below 1 (the highest value)", s.Rank));
    if (s.Kind == TDesignStatKind::dkPercentile && !(s.Percent > 0.0 && s.Percent <= 100.0))
      throw EBadParameter(fmt::format("The percentile {} is outside 0 < P <= 100", s.Percent));
    if (s.Kind == TDesignStatKind::dkAbove && !std::isfinite(s.Threshold))
      throw EBadParameter(fmt::format("The threshold {} is not a finite number", s.Threshold));
  }
}

std::span<const TDesignForm> DesignForms() { return Forms(); }

const TDesignForm* FindDesignForm(std::string_view name) {
  for (const TDesignForm& form : Forms())
    if (form.Name == name) return &form;
  return nullptr;
}

std::string DesignFormNames() {
  std::string names;
  for (const TDesignForm& form : Forms()) names += (names.empty() ? "" : ", ") + std::string(form.Name);
  return names;
}

std::string RankOrdinal(int rank) {
  const int tens = rank % 100, units = rank % 10;
  const char* suffix = "TH";
  if (tens < 11 || tens > 13) {
    if (units == 1) suffix = "ST";
    else if (units == 2) suffix = "ND";
    else if (units == 3) suffix = "RD";
  }
  return std::to_string(rank) + suffix;
}

std::vector<TDesignOutputName> DesignOutputNames(const TDesignRequest& request, const std::vector<int>& years) {
  std::vector<TDesignOutputName> names;
  const bool ownRequest = FindDesignForm(request.Name) == nullptr;
  const bool statisticInName = ownRequest || request.Statistics.size() > 1;
  const int yearCount = static_cast<int>(years.size());
  for (size_t s = 0; s < request.Statistics.size(); ++s) {
    std::string stem = FileStem(request.Name);
    if (statisticInName) {
      stem += '_';
      stem += StatisticCode(request.Statistics[s], yearCount);
    }
    const auto add = [&](int year, std::string_view code) {
      names.push_back({static_cast<int>(s), year, fmt::format("{}_{}.PLT", stem, code)});
    };
    switch (request.Years) {
      case TYearsRule::yrEach:
        for (int year : years) add(year, std::to_string(year));
        break;
      case TYearsRule::yrAverage: add(0, "AVG"); break;
      case TYearsRule::yrMax: add(0, "MAX"); break;
      case TYearsRule::yrPeriod: add(0, "PERIOD"); break;
    }
  }
  return names;
}

std::string DesignTitle(const TDesignRequest& request, const TDesignStatistic& statistic, int rank, int year,
                        const std::vector<int>& years, const std::string& group) {
  const std::string_view series = DesignSeriesInfo(request.Series).Title;
  std::string what;
  switch (statistic.Kind) {
    case TDesignStatKind::dkRank: what = fmt::format(" HIGH {} HIGH {} VALUES", RankOrdinal(rank), series); break;
    case TDesignStatKind::dkPercentile:
      what = fmt::format("{:5.2f}TH PERCENTILE {} VALUES", statistic.Percent, series);
      break;
    case TDesignStatKind::dkAbove:
      what = fmt::format("NUMBER OF {} VALUES ABOVE {}", series, statistic.Threshold);
      break;
    case TDesignStatKind::dkMean:
      if (request.Series == TDesignSeries::dsHours)
        what = request.Years == TYearsRule::yrPeriod ? "PERIOD MEAN OF 1-HR VALUES" : "ANNUAL MEAN OF 1-HR VALUES";
      else
        what = fmt::format("MEAN OF {} VALUES", series);
      break;
  }
  std::string when;
  switch (request.Years) {
    case TYearsRule::yrEach: when = fmt::format(" IN {}", year); break;
    case TYearsRule::yrAverage: when = ", AVERAGE OF " + YearsText(years); break;
    case TYearsRule::yrMax: when = ", HIGHEST OF " + YearsText(years); break;
    case TYearsRule::yrPeriod: when = " OVER " + YearsText(years); break;
  }
  return fmt::format("         PLOT FILE OF {}{} FOR SOURCE GROUP: {}", what, when, group);
}

}  // namespace zorvik
