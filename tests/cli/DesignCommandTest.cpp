#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "design/DesignProject.h"
#include "design/DesignReference.h"
#include "plotfile/PlotFile.h"
#include "support/TestProject.h"

namespace zorvik {
namespace {

namespace fs = std::filesystem;
using designtest::TProject;
using designtest::TValue;
using test::RunCli;

std::string Quoted(const std::string& s) { return "'" + s + "'"; }

std::set<std::string> Files(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) names.insert(entry.path().string());
  return names;
}

// 1996-12-29 hour 1 to 1997-01-01 hour 12: two years, the last day cut, every fifth hour calm; values to 120.
const TProject& ShortProject() {
  static const TProject project(
      4, 96122901, 84, [](int h, int, int r) { return ((h * 29 + r * 13) % 41) * 3.0 + r * 0.001; },
      [](int h) { return h % 5 == 1; });
  return project;
}

TEST(DesignCommandTest, BadRunsStopWithOneLineAndWriteNothing) {
  const TProject& p = ShortProject();
  const test::TestProject threeHour(2, 48, [](int, int, int) { return 1.0; }, [] {
    TPostFileLayout layout;
    layout.AveragePeriod = 3;
    return layout;
  }());
  // A PLOTFILE bearing the name of the 1996 file of --form eu-no2-annual, in the output folder.
  test::TempDir clash;
  fs::copy_file(p.plot, clash.File("EU_NO2_ANNUAL_1996.PLT"));
  const std::string clashInputs = "--post " + Quoted(p.post) + " --plot " + Quoted(clash.File("EU_NO2_ANNUAL_1996.PLT"));
  // A POSTFILE whose second hour holds a value that is not a number.
  const TProject nan(3, 96010101, 4, [](int h, int, int r) { return h == 1 && r == 2 ? std::nan("") : 1.0; });
  const std::string out = " --out-dir " + Quoted(p.dir.Path().string());
  struct Case {
    std::string args;
    int status;
    std::string message;
  } cases[] = {
      {p.Inputs() + " --form us-no3" + out, 2,
       "--form: \"us-no3\" is not a known form; the forms are us-so2-1h, us-no2-1h, us-pm25-24h, us-pm10-24h, "
       "eu-no2-1h, eu-so2-1h, eu-so2-24h, eu-pm10-24h, eu-co-8h, us-pm25-annual, eu-no2-annual, eu-pm10-annual"},
      {p.Inputs() + " --series daily --rank 2" + out, 2,
       "--series: \"daily\" is not a known series; the series are hours, block3, block8, block24, rolling3, rolling8, "
       "rolling24, daily-max-1h, daily-24h, daily-max-8h"},
      {p.Inputs() + out, 2, "Name a --form, or a --series with one of --rank, --percentile, --above and --mean"},
      {p.Inputs() + " --series hours" + out, 2, "--series takes exactly one of --rank, --percentile, --above and --mean"},
      {p.Inputs() + " --series hours --rank 2 --mean" + out, 2, "--series takes exactly one of"},
      {p.Inputs() + " --form us-no2-1h --rank 2" + out, 2, "--form takes no --series, --rank, --percentile, --above or --mean"},
      {p.Inputs() + " --form us-no2-1h --years all" + out, 2, "--years: \"all\" is not one of average, max, each and period"},
      {p.Inputs() + " --series hours --rank 0" + out, 2, "The rank 0 is below 1 (the highest value)"},
      {p.Inputs() + " --series hours --percentile 0" + out, 2, "The percentile 0 is outside 0 < P <= 100"},
      {p.Inputs() + " --form us-no2-1h", 2, "Name the output with either --out FILE or --out-dir FOLDER"},
      {p.Inputs() + " --form eu-pm10-24h --out " + Quoted(p.dir.File("x.plt")), 2,
       "--form eu-pm10-24h gives 2 statistics, one file each: name --out-dir FOLDER"},
      {p.Inputs() + " --form eu-no2-annual --out " + Quoted(p.dir.File("x.plt")), 2,
       "The POSTFILE covers 2 years, one file each: name --out-dir FOLDER"},
      {p.Inputs() + " --form us-no2-1h --out " + Quoted(p.post), 2, "--out is the POSTFILE of this run"},
      {clashInputs + " --form eu-no2-annual --out-dir " + Quoted(clash.Path().string()), 2,
       "--out-dir file EU_NO2_ANNUAL_1996.PLT is the PLOTFILE of this run"},
      {p.Inputs() + " --form us-no2-1h --out-dir " + Quoted(p.dir.File("none")), 1, "does not exist"},
      {"--post " + Quoted(p.post) + " --plot " + Quoted(p.plot) + " --met " + Quoted(p.dir.File("none.sfc")) +
           " --form us-no2-1h" + out,
       1, "The met file does not exist"},
      {threeHour.Inputs() + " --form us-no2-1h" + out, 1, "holds 3-hour averages: design values are made from a 1-hour POSTFILE"},
      {nan.Inputs() + " --form us-no2-1h" + out, 1,
       "Corrupt POSTFILE " + nan.post + ": the conc value of receptor 3 for the hour 96010102 at byte offset"},
  };
  const std::set<std::string> before = Files(p.dir.Path()), clashBefore = Files(clash.Path());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    test::ExpectOneLineError(RunCli("design " + c.args), c.status, c.message);
  }
  EXPECT_EQ(Files(p.dir.Path()), before);
  EXPECT_EQ(Files(clash.Path()), clashBefore);
}

// The PLOTFILE of an output against the reference: its title, and per receptor the value to the printed digits,
// the DATE of the value where it has one and the RANK of the statistic where it has one.
void ExpectPlotFile(const std::string& file, const std::string& title, const std::string& rank,
                    const std::vector<TValue>& expected) {
  SCOPED_TRACE(file);
  std::ifstream in(file);
  std::string line;
  for (int i = 0; i < 4; ++i) std::getline(in, line);
  EXPECT_EQ(line, "*                  PLOT FILE OF " + title + " FOR SOURCE GROUP: ALL     \r");
  const TPlotFile plot = TPlotFile::Read(file);
  ASSERT_EQ(plot.ReceptorCount(), static_cast<int>(expected.size()));
  const int conc = plot.FieldIndex("conc"), date = plot.FieldIndex("date"), rankField = plot.FieldIndex("rank");
  ASSERT_GE(conc, 0);
  ASSERT_GE(date, 0);
  ASSERT_GE(rankField, 0);
  for (int r = 0; r < plot.ReceptorCount(); ++r) {
    const TValue& e = expected[static_cast<size_t>(r)];
    EXPECT_NEAR(plot.AsFloat(r, conc), e.Value, rolltest::PrintedTolerance(e.Value)) << r;
    EXPECT_EQ(plot.AsString(r, date), e.Date ? std::to_string(e.Date) : std::string()) << r;
    EXPECT_EQ(plot.AsString(r, rankField), rank) << r;
  }
}

TEST(DesignCommandTest, PlotFilesHoldTheStatisticsTheirTitlesName) {
  const TProject& p = ShortProject();
  const auto expected = [&](const TDesignRequest& request, int statistic, int year) {
    std::vector<TValue> column;
    for (int r = 0; r < p.receptors; ++r)
      column.push_back(designtest::Expected(p.types[0], r, request, request.Statistics[static_cast<size_t>(statistic)], year));
    return column;
  };
  const TDesignRequest dailyMax{"daily-max-1h", TDesignSeries::dsDailyMax1h, {TDesignStatistic::NthHighest(2)},
                                TYearsRule::yrAverage};
  const TDesignRequest daily{"daily-24h", TDesignSeries::dsDaily24h, {TDesignStatistic::NthHighest(2)}, TYearsRule::yrEach};
  const TDesignRequest pm10 = FindDesignForm("eu-pm10-24h")->Request;
  const std::string year96 = "the year 1996 has 72 of its 8784 hours in the POSTFILE (0.8 %, fewer than 75 %); it is counted all the same";
  const std::string year97 = "the year 1997 has 12 of its 8760 hours in the POSTFILE (0.1 %, fewer than 75 %); it is counted all the same";
  const std::string cutEnd = "the POSTFILE ends at hour 12 of 1997-01-01: that day is cut and used as it is";
  struct Output {
    std::string file, title, rank;
    std::vector<TValue> values;
  };
  struct Case {
    std::string args;
    std::vector<Output> outputs;
    std::vector<std::string> warnings;
  } cases[] = {
      {"--series daily-max-1h --rank 2 --years average --out " + Quoted(p.dir.File("max.plt")),
       {{p.dir.File("max.plt"), " HIGH 2ND HIGH DAILY MAX 1-HR VALUES, AVERAGE OF 2 YEARS 1996-1997", "2ND",
         expected(dailyMax, 0, 0)}},
       {cutEnd, year96, year97, "the 2nd highest daily-max-1h value of 1997 is 0: there is only 1 daily-max-1h value"}},
      {"--series daily-24h --rank 2 --out-dir " + Quoted(p.dir.File("daily")),
       {{p.dir.File("daily/DAILY_24H_2ND_1996.PLT"), " HIGH 2ND HIGH DAILY 24-HR VALUES IN 1996", "2ND",
         expected(daily, 0, 1996)},
        {p.dir.File("daily/DAILY_24H_2ND_1997.PLT"), " HIGH 2ND HIGH DAILY 24-HR VALUES IN 1997", "2ND",
         expected(daily, 0, 1997)}},
       {cutEnd, year96, year97, "the 2nd highest daily-24h value of 1997 is 0: there is no daily-24h value"}},
      {"--form eu-pm10-24h --out-dir " + Quoted(p.dir.File("pm10")),
       {{p.dir.File("pm10/EU_PM10_24H_36TH_1996.PLT"), " HIGH 36TH HIGH DAILY 24-HR VALUES IN 1996", "36TH",
         expected(pm10, 0, 1996)},
        {p.dir.File("pm10/EU_PM10_24H_36TH_1997.PLT"), " HIGH 36TH HIGH DAILY 24-HR VALUES IN 1997", "36TH",
         expected(pm10, 0, 1997)},
        {p.dir.File("pm10/EU_PM10_24H_GT50_1996.PLT"), "NUMBER OF DAILY 24-HR VALUES ABOVE 50 IN 1996", "",
         expected(pm10, 1, 1996)},
        {p.dir.File("pm10/EU_PM10_24H_GT50_1997.PLT"), "NUMBER OF DAILY 24-HR VALUES ABOVE 50 IN 1997", "",
         expected(pm10, 1, 1997)}},
       {cutEnd, year96, year97, "the 36th highest daily-24h value of 1996 is 0: there are only 3 daily-24h values",
        "the 36th highest daily-24h value of 1997 is 0: there is no daily-24h value"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    for (const Output& o : c.outputs) fs::create_directories(fs::path(o.file).parent_path());
    const test::CliResult r = RunCli("design " + p.Inputs() + " " + c.args);
    ASSERT_EQ(r.status, 0) << r.err;
    std::string listed, warned;
    for (const Output& o : c.outputs) listed += o.file + "\n";
    EXPECT_EQ(r.out, listed);
    for (const std::string& w : c.warnings) {
      EXPECT_NE(r.err.find("zorvik-cli: warning: " + w), std::string::npos) << w << "\n" << r.err;
      warned += "\n";
    }
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), static_cast<long>(warned.size())) << r.err;
    for (const Output& o : c.outputs) ExpectPlotFile(o.file, o.title, o.rank, o.values);
  }
}

TEST(DesignCommandTest, HelpDefinesEveryFormAndSeries) {
  const test::CliResult r = RunCli("design --help");
  ASSERT_EQ(r.status, 0);
  for (const TDesignForm& form : DesignForms())
    EXPECT_NE(r.out.find(std::string(form.Name) + std::string(16 - form.Name.size(), ' ') + std::string(form.Definition)),
              std::string::npos)
        << form.Name;
  for (TDesignSeries s : AllDesignSeries()) EXPECT_NE(r.out.find(std::string(DesignSeriesInfo(s).Definition)), std::string::npos);
  EXPECT_NE(r.out.find("POSTFILE's units: nothing is converted."), std::string::npos);
}

}  // namespace
}  // namespace zorvik
