#include <fmt/format.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "design/DesignProject.h"
#include "design/DesignReference.h"
#include "design/DesignRun.h"
#include "meteo/MeteoData.h"
#include "plotfile/PlotFile.h"

namespace zorvik {
namespace {

using namespace designtest;

// Receptors 0 to 2 take quarter steps (many ties), 3 to 5 numbers with every digit of a double.
double Value(int h, int type, int r) {
  if (r < 3) return ((h * 37 + r * 101 + type * 7) % 53) * 0.25;
  return 123.456789 / (1.0 + (h * (r + 3) + type) % 97) + (h % 24 == 13 ? 40.0 : 0.0);
}
// Scattered calm hours, and every 40th day ten calm hours in a row (a 24-hour average then divides by 18).
bool Calm(int h) { return h % 11 == 3 || (h / 24 % 40 == 7 && h % 24 < 10); }

int HoursFromTo(int32_t first, int32_t last) { return static_cast<int>(HourNumber(last) - HourNumber(first) + 1); }

// 1995-07-01 hour 13 to 1997-03-15 hour 18: two cut days, two partial years around a leap year, calm hours.
const TProject& TwoYears() {
  static const TProject project(6, 95070113, HoursFromTo(95070113, 97031518), Value, Calm);
  return project;
}

// Four days around the leap day, concentration and deposition, with six hours and a whole day missing from the
// POSTFILE.
const TProject& WithGaps() {
  static const TProject project(
      4, 96022701, 96, Value, [](int h) { return h % 7 == 0; },
      [](int h) { return (h >= 40 && h < 46) || (h >= 72 && h < 96 && h != 95); },
      {TPostOutType::poConc, TPostOutType::poDepos});
  return project;
}

struct TRunResult {
  std::vector<int> PeekedYears;
  std::vector<TDesignOutput> Outputs;
  std::vector<std::string> Warnings;
  int ChunkReceptors = 0;
  int64_t BytesPerReceptor = 0;
  int64_t ResultBytes = 0;
};

TRunResult RunDesign(const std::string& post, const std::string& plot, const std::string& met,
                     const TDesignRequest& request, int64_t memory = 0, int threads = 0) {
  TDesignSettings settings;
  settings.PostFile = post;
  settings.PlotFile = plot;
  settings.MeteoFile = met;
  settings.MemoryLimitBytes = memory;
  settings.MaxThreads = threads;
  settings.Request = request;
  TDesignRun run(settings);
  const std::vector<int> peeked = run.PeekedYears();
  run.Execute();
  return {peeked, run.Outputs(), run.Warnings(), run.ChunkReceptors(), run.BytesPerReceptor(), run.ResultBytes()};
}

TRunResult RunDesign(const TProject& p, const TDesignRequest& request, int64_t memory = 0, int threads = 0) {
  return RunDesign(p.post, p.plot, p.met, request, memory, threads);
}

std::string Describe(const TDesignRequest& r) {
  std::string text = r.Name + " series " + std::string(DesignSeriesInfo(r.Series).Name) + " years " +
                     std::string(YearsRuleName(r.Years));
  for (const TDesignStatistic& s : r.Statistics)
    text += " stat " + std::to_string(static_cast<int>(s.Kind)) + "/" + std::to_string(s.Rank) + "/" +
            std::to_string(s.Percent) + "/" + std::to_string(s.Threshold);
  return text + (r.UseInterpolation ? "" : " no-interpolation");
}

// Every output of the run against the reference, receptor by receptor and output type by output type.
void ExpectAgreesWithReference(const TProject& p, const TDesignRequest& request) {
  SCOPED_TRACE(Describe(request));
  const TRunResult result = RunDesign(p, request);
  const std::vector<int> years = Years(p.types[0]);
  const size_t perStatistic = request.Years == TYearsRule::yrEach ? years.size() : 1;
  ASSERT_EQ(result.Outputs.size(), request.Statistics.size() * perStatistic);
  for (const TDesignOutput& out : result.Outputs) {
    ASSERT_EQ(out.Columns.size(), p.types.size());
    const TDesignStatistic& s = request.Statistics[static_cast<size_t>(out.Name.Statistic)];
    for (size_t k = 0; k < p.types.size(); ++k)
      for (int r = 0; r < p.receptors; ++r) {
        const TValue expected = Expected(p.types[k], r, request, s, out.Name.Year, k == 0);
        const TResultRow& row = out.Columns[k].Rows[static_cast<size_t>(r)];
        SCOPED_TRACE(out.Name.FileName + " type " + std::to_string(k) + " receptor " + std::to_string(r));
        if (s.Kind == TDesignStatKind::dkPercentile)
          EXPECT_NEAR(row.Value, expected.Value, 1e-12 * std::max(1.0, std::fabs(expected.Value)));
        else
          EXPECT_EQ(row.Value, expected.Value);
        EXPECT_EQ(row.Date, expected.Date);
        EXPECT_EQ(row.Receptor, r + 1);
      }
  }
}

// Every form, and every series with each kind of statistic, the years taken each way in turn.
std::vector<TDesignRequest> Requests() {
  std::vector<TDesignRequest> requests;
  for (const TDesignForm& form : DesignForms()) requests.push_back(form.Request);
  const TYearsRule rules[] = {TYearsRule::yrEach, TYearsRule::yrMax, TYearsRule::yrPeriod, TYearsRule::yrAverage};
  size_t i = 0;
  for (TDesignSeries series : AllDesignSeries()) {
    const std::string name(DesignSeriesInfo(series).Name);
    requests.push_back({name, series, {TDesignStatistic::NthHighest(2), TDesignStatistic::Percentile(90)},
                        rules[i % 4], i % 2 == 0});
    requests.push_back({name, series, {TDesignStatistic::Above(10), TDesignStatistic::Mean()}, rules[(i + 1) % 4]});
    ++i;
  }
  return requests;
}

TEST(DesignRunTest, GeneratedYearsAgreeWithTheirOwnHours) {
  for (const TDesignRequest& request : Requests()) ExpectAgreesWithReference(TwoYears(), request);
}

TEST(DesignRunTest, HoursMissingFromThePostfileAreMissingHoursOfTheCalendar) {
  for (const TDesignRequest& request : Requests()) ExpectAgreesWithReference(WithGaps(), request);
}

// The years of the file names come from the first and last record, whatever the framing.
TEST(DesignRunTest, EveryFramingGivesItsYearsAndValues) {
  for (TPostFraming framing : {TPostFraming::pfStandard, TPostFraming::pfTarvo, TPostFraming::pfLahey}) {
    SCOPED_TRACE(std::string(PostFramingName(framing)));
    const TProject p(
        5, 96122801, 120, [](int h, int, int r) { return ((h * 37 + r * 101) % 53) * 0.25; }, {}, {},
        {TPostOutType::poConc}, framing);
    TDesignRequest request = FindDesignForm("eu-so2-24h")->Request;
    request.Statistics[0] = TDesignStatistic::NthHighest(2);
    const TRunResult result = RunDesign(p, request);
    EXPECT_EQ(result.PeekedYears, (std::vector<int>{1996, 1997}));
    ASSERT_EQ(result.Outputs.size(), 4u);
    for (const TDesignOutput& out : result.Outputs)
      for (int r = 0; r < p.receptors; ++r) {
        const TResultRow& row = out.Columns[0].Rows[static_cast<size_t>(r)];
        EXPECT_EQ((TValue{row.Value, row.Date}),
                  Expected(p.types[0], r, request, request.Statistics[static_cast<size_t>(out.Name.Statistic)],
                           out.Name.Year))
            << out.Name.FileName << " receptor " << r;
      }
  }
}

// The chunks follow the memory cap, and neither they nor the threads change a result.
TEST(DesignRunTest, ChunksAndThreadsChangeNoResult) {
  const TProject& p = TwoYears();
  for (const TDesignRequest& request :
       {TDesignRequest{"hours", TDesignSeries::dsHours, {TDesignStatistic::Percentile(98)}, TYearsRule::yrPeriod},
        FindDesignForm("eu-pm10-24h")->Request, FindDesignForm("eu-co-8h")->Request}) {
    SCOPED_TRACE(Describe(request));
    const TRunResult whole = RunDesign(p, request);
    ASSERT_EQ(whole.ChunkReceptors, p.receptors);
    const int64_t cap = whole.ResultBytes + 2 * whole.BytesPerReceptor + whole.BytesPerReceptor / 2;
    for (int threads : {1, 3}) {
      const TRunResult chunked = RunDesign(p, request, cap, threads);
      EXPECT_EQ(chunked.ChunkReceptors, 2);
      EXPECT_LE(chunked.ResultBytes + chunked.ChunkReceptors * chunked.BytesPerReceptor, cap);
      ASSERT_EQ(chunked.Outputs.size(), whole.Outputs.size());
      for (size_t i = 0; i < whole.Outputs.size(); ++i)
        for (size_t r = 0; r < whole.Outputs[i].Columns[0].Rows.size(); ++r) {
          EXPECT_EQ(chunked.Outputs[i].Columns[0].Rows[r].Value, whole.Outputs[i].Columns[0].Rows[r].Value);
          EXPECT_EQ(chunked.Outputs[i].Columns[0].Rows[r].Date, whole.Outputs[i].Columns[0].Rows[r].Date);
        }
    }
  }
}

TEST(DesignRunTest, CutDaysShortYearsAndRanksBeyondTheValuesAreReported) {
  const TProject& p = TwoYears();
  struct Case {
    TDesignRequest request;
    std::vector<std::string> warnings;
  } cases[] = {
      {{"daily-24h", TDesignSeries::dsDaily24h, {TDesignStatistic::NthHighest(300)}, TYearsRule::yrEach},
       {"the POSTFILE starts at hour 13 of 1995-07-01: that day is cut and used as it is (the 24-hour block it cuts "
        "gives no value)",
        "the POSTFILE ends at hour 18 of 1997-03-15: that day is cut and used as it is (the 24-hour block it cuts "
        "gives no value)",
        "the year 1995 has 4404 of its 8760 hours in the POSTFILE (50.3 %, fewer than 75 %); it is counted all the same",
        "the year 1997 has 1770 of its 8760 hours in the POSTFILE (20.2 %, fewer than 75 %); it is counted all the same",
        "the 300th highest daily-24h value of 1995 is 0: there are only 183 daily-24h values",
        "the 300th highest daily-24h value of 1997 is 0: there are only 73 daily-24h values"}},
      // The leap year has 366 days; the cut days count with the hours they have.
      {{"daily-max-1h", TDesignSeries::dsDailyMax1h, {TDesignStatistic::NthHighest(367)}, TYearsRule::yrEach},
       {"the POSTFILE starts at hour 13 of 1995-07-01: that day is cut and used as it is (its maximum is taken over "
        "the hours it has)",
        "the POSTFILE ends at hour 18 of 1997-03-15: that day is cut and used as it is (its maximum is taken over "
        "the hours it has)",
        "the year 1995 has 4404 of its 8760 hours in the POSTFILE (50.3 %, fewer than 75 %); it is counted all the same",
        "the year 1997 has 1770 of its 8760 hours in the POSTFILE (20.2 %, fewer than 75 %); it is counted all the same",
        "the 367th highest daily-max-1h value of 1995 is 0: there are only 184 daily-max-1h values",
        "the 367th highest daily-max-1h value of 1996 is 0: there are only 366 daily-max-1h values",
        "the 367th highest daily-max-1h value of 1997 is 0: there are only 74 daily-max-1h values"}},
      {{"rolling8", TDesignSeries::dsRolling8, {TDesignStatistic::Percentile(50)}, TYearsRule::yrPeriod},
       {"the year 1995 has 4404 of its 8760 hours in the POSTFILE (50.3 %, fewer than 75 %); it is counted all the same",
        "the year 1997 has 1770 of its 8760 hours in the POSTFILE (20.2 %, fewer than 75 %); it is counted all the same"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Describe(c.request));
    const TRunResult result = RunDesign(p, c.request);
    EXPECT_EQ(result.Warnings, c.warnings);
  }
  // A rank beyond a year's values gives 0 without a date.
  const TRunResult beyond = RunDesign(p, cases[0].request);
  ASSERT_EQ(beyond.Outputs.size(), 3u);
  for (size_t i : {size_t{0}, size_t{2}})
    for (const TResultRow& row : beyond.Outputs[i].Columns[0].Rows) EXPECT_EQ((TValue{row.Value, row.Date}), TValue{});
}

TEST(DesignRunTest, OutputsAreNamedByFormOrSeriesStatisticAndYears) {
  const std::vector<int> years{1995, 1996};
  const auto names = [&](const TDesignRequest& request) {
    std::vector<std::string> files;
    for (const TDesignOutputName& n : DesignOutputNames(request, years)) files.push_back(n.FileName);
    return files;
  };
  using V = std::vector<std::string>;
  EXPECT_EQ(names(FindDesignForm("us-no2-1h")->Request), V{"US_NO2_1H_AVG.PLT"});
  EXPECT_EQ(names(FindDesignForm("us-pm10-24h")->Request), V{"US_PM10_24H_PERIOD.PLT"});
  EXPECT_EQ(names(FindDesignForm("eu-pm10-24h")->Request),
            (V{"EU_PM10_24H_36TH_1995.PLT", "EU_PM10_24H_36TH_1996.PLT", "EU_PM10_24H_GT50_1995.PLT",
               "EU_PM10_24H_GT50_1996.PLT"}));
  EXPECT_EQ(names({"daily-24h", TDesignSeries::dsDaily24h, {TDesignStatistic::Percentile(98)}, TYearsRule::yrMax}),
            V{"DAILY_24H_P98_00_MAX.PLT"});
  EXPECT_EQ(names({"hours", TDesignSeries::dsHours, {TDesignStatistic::Above(0.5)}, TYearsRule::yrAverage}),
            V{"HOURS_GT0_5_AVG.PLT"});
  EXPECT_EQ(names({"rolling8", TDesignSeries::dsRolling8, {TDesignStatistic::NthHighest(22)}, TYearsRule::yrEach}),
            (V{"ROLLING8_22ND_1995.PLT", "ROLLING8_22ND_1996.PLT"}));
}

// A real AERMOD year: 144 receptors, 8,784 hours of Houston 1996 with its calm and missing hours.
TEST(DesignRunTest, RealRunAgreesWithItsOwnHoursAndTheModelsHighs) {
  const std::string post = test::FixtureFile("grid144/grid144.pos"), plot = test::FixtureFile("grid144/grid144.plt"),
                    met = test::FixtureFile("grid144/HOUSTON_ADJU.SFC");
  if (post.empty() || plot.empty() || met.empty()) GTEST_SKIP() << "the grid144 run is not there";
  THours hours = ReadPostFile(post);
  TMeteoData meteo;
  meteo.SetAermodVersion(av_11103);
  meteo.LoadDataFromFile(met);
  for (size_t i = 0; i < hours.Dates.size(); ++i) hours.Calm[i] = meteo.IsExist(hours.Dates[i]) ? 0 : 1;
  const auto run = [&](const TDesignRequest& request) { return RunDesign(post, plot, met, request).Outputs; };
  for (const TDesignRequest& request :
       {FindDesignForm("us-no2-1h")->Request, FindDesignForm("eu-pm10-24h")->Request,
        FindDesignForm("eu-co-8h")->Request, FindDesignForm("us-pm25-annual")->Request,
        TDesignRequest{"hours", TDesignSeries::dsHours, {TDesignStatistic::Percentile(98)}, TYearsRule::yrEach},
        TDesignRequest{"block3", TDesignSeries::dsBlock3, {TDesignStatistic::NthHighest(2)}, TYearsRule::yrMax}}) {
    SCOPED_TRACE(Describe(request));
    for (const TDesignOutput& out : run(request)) {
      const TDesignStatistic& s = request.Statistics[static_cast<size_t>(out.Name.Statistic)];
      for (size_t r = 0; r < 144; ++r) {
        const TValue expected = Expected(hours, static_cast<int>(r), request, s, out.Name.Year);
        SCOPED_TRACE(out.Name.FileName + " receptor " + std::to_string(r));
        EXPECT_NEAR(out.Columns[0].Rows[r].Value, expected.Value, 1e-12 * std::max(1.0, expected.Value));
        EXPECT_EQ(out.Columns[0].Rows[r].Date, expected.Date);
      }
    }
  }
  // The highest hour of each receptor is the model's own 1ST-high, to its printed digits and with its date.
  const std::vector<TDesignOutput> highest =
      run({"hours", TDesignSeries::dsHours, {TDesignStatistic::NthHighest(1)}, TYearsRule::yrPeriod});
  const TPlotFile model = TPlotFile::Read(plot);
  const int conc = model.FieldIndex("conc"), date = model.FieldIndex("date");
  for (int r = 0; r < model.ReceptorCount(); ++r) {
    const TResultRow& row = highest[0].Columns[0].Rows[static_cast<size_t>(r)];
    EXPECT_EQ(fmt::format("{:.5f}", row.Value), fmt::format("{:.5f}", model.AsFloat(r, conc))) << r;
    EXPECT_EQ(std::to_string(row.Date), model.AsString(r, date)) << r;
  }
}

}  // namespace
}  // namespace zorvik
