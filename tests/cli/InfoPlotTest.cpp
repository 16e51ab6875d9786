#include <gtest/gtest.h>

#include "plotfile/SamplePlotFile.h"
#include "post/PostFileWriter.h"
#include "support/TestSupport.h"

namespace zorvik {
namespace {

using test::RunCli;

TEST(InfoPlotCommandTest, RealRunsTakeTheReceptorsFromThePlotfile) {
  struct Case {
    const char* run;
    int receptors;
    const char* columns;
  } cases[] = {
      {"grid144", 144, "X, Y, AVERAGE CONC, ZELEV, ZHILL, ZFLAG, AVE, GRP, RANK, NET ID, DATE"},
      {"disc36", 36, "X, Y, AVERAGE CONC, ZELEV, ZHILL, ZFLAG, AVE, GRP, RANK, NET ID, DATE"},
      {"depos", 30,
       "X, Y, AVERAGE CONC, TOTAL DEPO, DRY DEPO, WET DEPO, ZELEV, ZHILL, ZFLAG, AVE, GRP, RANK, NET ID, DATE"},
  };
  for (const Case& c : cases) {
    const std::string run = c.run;
    const std::string pos = test::FixtureFile(run + "/" + run + ".pos");
    if (pos.empty()) GTEST_SKIP() << "real model runs not present";
    auto r = RunCli("info '" + pos + "' --plot '" + test::DataFile("plotfile/" + run + ".plt") + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("framing: standard\nprecision: double\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\nreceptors: " + std::to_string(c.receptors) + "\n"), std::string::npos) << r.out;
    const std::string tail = "\nplot receptors: " + std::to_string(c.receptors) +
                             "\nplot source group: ALL\nplot averaging period: 1-HR\nplot columns: " + c.columns + "\n";
    ASSERT_GE(r.out.size(), tail.size());
    EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail) << r.out;
  }
}

TEST(InfoPlotCommandTest, SinglePrecisionSyntheticRun) {
  test::TempDir dir;
  TPostFileLayout layout;
  layout.DoublePrecision = false;
  // Four single-precision types make 16 bytes a receptor, as two double-precision types would: the
  // PLOTFILE of the run, with its four value columns, tells them apart.
  layout.Types = {TPostOutType::poConc, TPostOutType::poDepos, TPostOutType::poDDep, TPostOutType::poWDep};
  layout.Receptors = 30;
  const std::string pos = dir.File("s.pos"), plt = test::DataFile("plotfile/depos.plt");
  WritePostFile(pos, layout, 96010101, 4, [](int h, int t, int r) { return h + t + r; });
  auto r = RunCli("info '" + pos + "' --plot '" + plt + "' --single");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("precision: single\noutput types: conc, depos, ddep, wdep\nreceptors: 30\nhours: 4\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("plot receptors: 30\n"), std::string::npos) << r.out;
}

TEST(InfoPlotCommandTest, ErrorsNameBothFiles) {
  const std::string disc36 = test::FixtureFile("disc36/disc36.pos");
  if (disc36.empty()) GTEST_SKIP() << "real model runs not present";
  test::TempDir dir;
  const std::string depos = test::DataFile("plotfile/depos.plt");
  const std::string empty = dir.File("empty.plt");
  test::WriteAll(empty, "");
  struct Case {
    std::string args;
    int status;
    std::string expected;
  } cases[] = {
      {"'" + disc36 + "' --plot '" + depos + "'", 1,
       "zorvik-cli: The record length 304 of the POSTFILE " + disc36 + " does not fit the 30 receptors of the PLOTFILE " +
           depos + " in single or double precision with 1 to 4 output types\n"},
      {"'" + disc36 + "' --plot '" + empty + "'", 1, "zorvik-cli: " + empty + ": the file is empty\n"},
      {"'" + disc36 + "' --plot '" + dir.File("none.plt") + "'", 1, "zorvik-cli: The file does not exist: " + dir.File("none.plt") + "\n"},
      {"'" + disc36 + "' --plot '" + depos + "' --receptors 30", 2, "--receptors excludes --plot"},
  };
  for (const Case& c : cases) {
    auto r = RunCli("info " + c.args);
    EXPECT_EQ(r.status, c.status) << c.args;
    if (c.status == 1)
      EXPECT_EQ(r.err, c.expected);
    else
      EXPECT_NE(r.err.find(c.expected), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "") << c.args;
  }
}

}  // namespace
}  // namespace zorvik
