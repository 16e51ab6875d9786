#include <gtest/gtest.h>

#include "post/PostFileWriter.h"
#include "support/TestSupport.h"

namespace zorvik {
namespace {

using test::RunCli;

TEST(InfoCommandTest, RealAermodPostfiles) {
  struct Case {
    const char* pos;
    int receptors;
    const char* types;
    int hours;
    const char* first;
    const char* last;
    int recordLength;
  } cases[] = {
      {"grid144/grid144.pos", 144, "conc", 8784, "96010101", "96123124", 1168},
      {"disc36/disc36.pos", 36, "conc", 2184, "88010101", "88033124", 304},
      {"depos/depos.pos", 30, "conc, depos, ddep, wdep", 8784, "96010101", "96123124", 976},
  };
  for (const Case& c : cases) {
    const std::string file = test::FixtureFile(c.pos);
    if (file.empty()) GTEST_SKIP() << "real model runs not present";
    auto r = RunCli("info '" + file + "' --receptors " + std::to_string(c.receptors));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "framing: standard\nprecision: double\noutput types: " + std::string(c.types) +
                         "\nreceptors: " + std::to_string(c.receptors) + "\nhours: " + std::to_string(c.hours) +
                         "\nfirst date: " + c.first + "\nlast date: " + c.last +
                         "\naveraging period: 1\nsource group: ALL\nrecord length: " +
                         std::to_string(c.recordLength) + "\n")
        << c.pos;
  }
}

TEST(InfoCommandTest, SyntheticFramings) {
  test::TempDir dir;
  struct Case {
    TPostFraming framing;
    bool doublePrecision;
    const char* args;
    const char* expectFraming;
    const char* expectPrecision;
  } cases[] = {
      {TPostFraming::pfStandard, false, "--receptors 5 --single", "standard", "single"},
      {TPostFraming::pfTarvo, true, "", "tarvo", "double"},
      {TPostFraming::pfLahey, false, "--receptors 5", "lahey", "single"},
  };
  for (const Case& c : cases) {
    TPostFileLayout layout;
    layout.Framing = c.framing;
    layout.DoublePrecision = c.doublePrecision;
    layout.Types = {TPostOutType::poConc, TPostOutType::poDepos};
    layout.Receptors = 5;
    layout.Group = "STACK1";
    const std::string file = dir.File("f.pos");
    WritePostFile(file, layout, 99123123, 3, [](int h, int t, int r) { return h + t + r; });
    auto r = RunCli("info '" + file + "' " + c.args);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(std::string("framing: ") + c.expectFraming + "\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(std::string("precision: ") + c.expectPrecision + "\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("output types: conc, depos\nreceptors: 5\nhours: 3\nfirst date: 99123123\n"
                         "last date: 00010101\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("source group: STACK1\n"), std::string::npos) << r.out;
  }
}

// A path in single quotes, for the shell.
std::string Quoted(const std::string& path) { return std::string(1, '\'').append(path).append(1, '\''); }

TEST(InfoCommandTest, ErrorsAreOneLine) {
  test::TempDir dir;
  TPostFileLayout layout;
  layout.Receptors = 5;
  const std::string file = dir.File("f.pos");
  WritePostFile(file, layout, 96010101, 2, [](int, int, int) { return 1.0; });
  struct Case {
    std::string args;
    std::string expected;
    int status;
  } cases[] = {
      {Quoted(file), "do not state the receptor count: give the PLOTFILE", 2},
      {Quoted(file) + " --receptors 7", "does not fit 7 receptors", 1},
      {Quoted(dir.File("missing.pos")) + " --receptors 5", dir.File("missing.pos"), 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    test::ExpectOneLineError(RunCli("info " + c.args), c.status, c.expected);
  }
}

}  // namespace
}  // namespace zorvik
