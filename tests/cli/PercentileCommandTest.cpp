#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "plotfile/SamplePlotFile.h"
#include "post/PostFileWriter.h"
#include "support/TestProject.h"

namespace zorvik {
namespace {

namespace fs = std::filesystem;
using test::RunCli;
using test::TempDir;

// A run whose receptors have zero hours and values over one decade.
struct Project : test::TestProject {
  explicit Project(int receptors = 12, int hours = 240)
      : TestProject(receptors, hours, [](int h, int, int r) {
          const int mix = (h * 37 + r * 11) % 50;
          return mix < 10 ? 0.0 : mix * (r + 1) * 0.1;
        }) {}
};

TEST(PercentileCommandTest, SameBytesWhateverTheChunksAndThreads) {
  Project p;
  const std::string base = p.Inputs() + " --percentile 98,75,50 --out-dir '";
  fs::create_directories(p.dir.Path() / "a");
  fs::create_directories(p.dir.Path() / "b");
  fs::create_directories(p.dir.Path() / "c");
  ASSERT_EQ(RunCli("percentile " + base + p.dir.File("a") + "'").status, 0);
  ASSERT_EQ(RunCli("percentile " + base + p.dir.File("b") + "' --memory 1 --threads 1").status, 0);
  ASSERT_EQ(RunCli("percentile " + base + p.dir.File("c") + "' --memory 1 --threads 2").status, 0);
  for (const char* name : {"P98_00.PLT", "P75_00.PLT", "P50_00.PLT"}) {
    const std::string a = test::ReadAll(p.dir.Path() / "a" / name);
    EXPECT_FALSE(a.empty());
    EXPECT_EQ(a, test::ReadAll(p.dir.Path() / "b" / name)) << name;
    EXPECT_EQ(a, test::ReadAll(p.dir.Path() / "c" / name)) << name;
  }
}

TEST(PercentileCommandTest, UsageAndInputErrors) {
  Project p;
  Project other(13);
  struct Case {
    std::string args;
    std::string expected;
    int status;
  } cases[] = {
      {p.Inputs() + " --percentile 98,99 --out '" + p.dir.File("x.plt") + "'", "Several percentiles need --out-dir", 2},
      {p.Inputs(), "either --out FILE or --out-dir FOLDER", 2},
      {p.Inputs() + " --percentile 0 --out '" + p.dir.File("x.plt") + "'", "outside 0 < P <= 100", 2},
      {p.Inputs() + " --percentile 98,98 --out-dir '" + p.dir.File("") + "'", "The percentile 98 is named twice", 2},
      {p.Inputs() + " --percentile 99.996,100 --out-dir '" + p.dir.File("") + "'",
       "The percentiles 99.996 and 100 would both be written to P100_00.PLT", 2},
      {p.Inputs() + " --out '" + p.dir.File("missing/x.plt") + "'", "does not exist", 1},
      {"--post '" + p.post + "' --plot '" + other.plot + "' --out '" + p.dir.File("x.plt") + "'",
       "does not fit the 13 receptors", 1},
      {p.Inputs() + " --met '" + p.dir.File("none.sfc") + "' --out '" + p.dir.File("x.plt") + "'",
       "The met file does not exist", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    test::ExpectOneLineError(RunCli("percentile " + c.args), c.status, c.expected);
  }
  EXPECT_FALSE(fs::exists(p.dir.File("x.plt")));
}

TEST(HoursCommandTest, ShowsTheChartAndLeavesNoBufferFile) {
  Project p(12, 300);
  TempDir tmp;
  setenv("TMPDIR", tmp.Path().c_str(), 1);
  auto r = RunCli("hours " + p.Inputs() + " --receptor 3 --percentile 98 --csv '" + p.dir.File("r3.csv") +
                  "' --plotfile '" + p.dir.File("v98.plt") + "'");
  unsetenv("TMPDIR");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.find("title 1: Series Plot for Receptor # 3\ntitle 2: Located at: "), 0u) << r.out;
  EXPECT_NE(r.out.find("\nhours: 300\nmarked bar: 6\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\nvalue of the marked hour (rank 7): "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\n98th Percentile (interpolated): "), std::string::npos) << r.out;
  EXPECT_EQ(test::ReadAll(p.dir.File("r3.csv")).rfind("rank,value\r\n1,", 0), 0u);
  EXPECT_TRUE(fs::exists(p.dir.File("v98.plt")));
  EXPECT_TRUE(fs::is_empty(tmp.Path())) << "buffer file left behind";

  auto bad = RunCli("hours " + p.Inputs() + " --receptor 13");
  EXPECT_EQ(bad.status, 2);
  EXPECT_NE(bad.err.find("Receptor 13 does not exist"), std::string::npos) << bad.err;
}

TEST(PercentileCommandTest, MetFileWithoutUsableHoursWarnsAndGivesZeros) {
  Project p;
  // The header line of a real AERMET surface file and no hour line.
  const std::string sfc = test::ReadAll(test::DataFile("meteo/houston_300h.sfc"));
  test::WriteAll(p.dir.Path() / "empty.sfc", sfc.substr(0, sfc.find('\n') + 1));
  auto r = RunCli("percentile " + p.Inputs() + " --met '" + p.dir.File("empty.sfc") + "' --out '" +
                  p.dir.File("p.plt") + "'");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("has no usable hour: every hour counts as calm"), std::string::npos) << r.err;
  const std::string out = test::ReadAll(p.dir.File("p.plt"));
  EXPECT_EQ(out.find("1.00000"), std::string::npos);  // every receptor's value is 0
}

TEST(HoursCommandTest, PostfileWithoutConcentrationsIsRefused) {
  TempDir dir;
  TPostFileLayout layout;
  layout.Framing = TPostFraming::pfTarvo;
  layout.Types = {TPostOutType::poDepos};
  layout.Receptors = 4;
  const std::string post = dir.File("dep.pos"), plot = dir.File("dep.plt");
  WritePostFile(post, layout, 96010101, 24, [](int h, int, int r) { return h + r; });
  WriteSamplePlotFile(plot, SampleGrid(4));
  auto r = RunCli("hours --post '" + post + "' --plot '" + plot + "' --receptor 1");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("holds no concentrations"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace zorvik
