#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "meteo/MeteoData.h"
#include "plotfile/SamplePlotFile.h"
#include "post/PostFileWriter.h"
#include "rolling/RollingReference.h"
#include "support/TestProject.h"

namespace zorvik {
namespace {

namespace fs = std::filesystem;
using test::RunCli;
using test::TempDir;

struct Project : test::TestProject {
  explicit Project(int32_t averagePeriod = 1, const std::string& plotName = "run.plt",
                   const TValue& value = [](int h, int, int r) { return (h * 5 + r * 3) % 17 * 0.5; })
      : TestProject(6, 72, value, Layout(averagePeriod), plotName) {}
  std::set<std::string> Files() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.Path())) names.insert(entry.path().filename().string());
    return names;
  }
  static TPostFileLayout Layout(int32_t averagePeriod) {
    TPostFileLayout layout;
    layout.AveragePeriod = averagePeriod;
    return layout;
  }
};

TEST(RollingCommandTest, BadRunsStopWithOneLineAndWriteNothing) {
  Project p;
  Project threeHour(3);
  Project clash(1, "RA03_1ST.PLT");  // the PLOTFILE bears the name of the first output beside it
  // Values near the largest of single precision, whose 3-hour sums are beyond it.
  Project huge(1, "run.plt", [](int h, int, int r) { return r == 4 && h >= 10 && h < 13 ? 3.0e38 : 1.0; });
  struct Case {
    const Project& project;
    std::string args;
    std::string expected;
    int status;
  } cases[] = {
      {p, "--periods ''", "--periods: name at least one of 3, 8 and 24", 2},
      {p, "--periods", "--periods", 2},
      {p, "--periods 5", "--periods: 5 hours is not one of 3, 8 and 24", 2},
      {p, "--periods 3,24,5", "--periods: 5 hours is not one of 3, 8 and 24", 2},
      {p, "--ranks 0", "--ranks: 0 is outside the ranks 1 to 10", 2},
      {p, "--ranks 11", "--ranks: 11 is outside the ranks 1 to 10", 2},
      {p, "--ranks 3-1", "--ranks: the range 3-1 runs backwards", 2},
      {p, "--ranks x", "--ranks: \"x\" is not a rank number", 2},
      {p, "--out-dir '" + p.dir.File("missing") + "'", "does not exist", 1},
      {p, "--met '" + p.dir.File("none.sfc") + "'", "The met file does not exist", 1},
      {threeHour, "", "holds 3-hour averages", 1},
      {clash, "", "RA03_1ST.PLT is the PLOTFILE of this run", 2},
      // The fifth receptor's line follows the eight lines of the header.
      {huge, "--periods 3", "RA03_1ST.PLT, line 13: the AVERAGE CONC value \"INF\" cannot be written", 1},
  };
  for (const Case& c : cases) {
    const std::set<std::string> before = c.project.Files();
    SCOPED_TRACE(c.args);
    test::ExpectOneLineError(RunCli("rolling " + c.project.Inputs() + " " + c.args), c.status, c.expected);
    EXPECT_EQ(c.project.Files(), before) << c.args;
  }
}

TEST(RollingCommandTest, FilesOfTheSameNamesAreReplacedWhole) {
  Project p;
  fs::create_directories(p.dir.Path() / "fresh");
  fs::create_directories(p.dir.Path() / "old");
  const std::string args = "rolling " + p.Inputs() + " --periods 8,3 --ranks 2,1 --out-dir '";
  ASSERT_EQ(RunCli(args + p.dir.File("fresh") + "'").status, 0);
  const std::vector<std::string> names = {"RA03_1ST.PLT", "RA03_2ND.PLT", "RA08_1ST.PLT", "RA08_2ND.PLT"};
  for (const std::string& name : names) test::WriteAll(p.dir.Path() / "old" / name, std::string(100000, 'x'));
  auto r = RunCli(args + p.dir.File("old") + "'");
  ASSERT_EQ(r.status, 0) << r.err;
  std::string listed;
  for (const std::string& name : names) {
    listed += (p.dir.Path() / "old" / name).string() + "\n";
    EXPECT_EQ(test::ReadAll(p.dir.Path() / "old" / name), test::ReadAll(p.dir.Path() / "fresh" / name)) << name;
  }
  EXPECT_EQ(r.out, listed);  // the files written, in period and rank order
}

// A real AERMOD year (144 receptors, 8,784 hours, HOUSTON_ADJU.SFC with its calm and missing hours) in
// non-overlapping blocks from the first hour.
TEST(RollingCommandTest, BlocksOfARealRunAgreeWithItsOwnHours) {
  const std::string post = test::FixtureFile("grid144/grid144.pos"), plot = test::FixtureFile("grid144/grid144.plt"),
                    met = test::FixtureFile("grid144/HOUSTON_ADJU.SFC");
  if (post.empty() || plot.empty() || met.empty()) GTEST_SKIP() << "the grid144 run is not there";
  std::vector<rolltest::THourSeries> series = rolltest::ReadPostFile(post);
  ASSERT_EQ(series.size(), 144u);
  ASSERT_EQ(series[0].Values.size(), 8784u);
  TMeteoData meteo;
  meteo.SetAermodVersion(av_11103);
  meteo.LoadDataFromFile(met);
  int calm = 0;
  for (rolltest::THourSeries& s : series)
    for (size_t h = 0; h < s.Dates.size(); ++h) s.Calm[h] = meteo.IsExist(s.Dates[h]) ? 0 : 1;
  for (char c : series[0].Calm) calm += c;
  EXPECT_EQ(calm, 1588 + 370);  // the listing's calm and missing hours

  TempDir out;
  auto r = RunCli("rolling --post '" + post + "' --plot '" + plot + "' --met '" + met + "' --blocks --ranks 1-3,6 --out-dir '" + out.Path().string() + "'");
  ASSERT_EQ(r.status, 0) << r.err;
  for (int hours : {3, 8, 24})
    for (int rank : {1, 2, 3, 6}) {
      const char* codes[] = {"", "1ST", "2ND", "3RD", "4TH", "5TH", "6TH"};
      const std::string file =
          out.File(std::string("BA") + (hours < 10 ? "0" : "") + std::to_string(hours) + "_" + codes[rank] + ".PLT");
      std::vector<rolltest::TWindowValue> expected;
      for (const rolltest::THourSeries& s : series)
        expected.push_back(rolltest::NthHighest(rolltest::Windows(s, hours, true, true), rank));
      rolltest::ExpectColumn(file, "conc", expected);
    }
}

}  // namespace
}  // namespace zorvik
