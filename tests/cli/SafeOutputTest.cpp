// What the command line promises about files: no output replaces an input of the run or another output,
// outputs appear whole or not at all, and a stopped run leaves nothing behind.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>
#include <vector>

#include "plotfile/SamplePlotFile.h"
#include "post/PostFileWriter.h"
#include "support/TestProject.h"

extern char** environ;

namespace zorvik {
namespace {

namespace fs = std::filesystem;
using test::ReadAll;
using test::RunCli;
using test::TempDir;

struct Project : test::TestProject {
  explicit Project(int receptors = 12, int hours = 240)
      : TestProject(receptors, hours, [](int h, int, int r) { return ((h * 7 + r) % 13) * 0.5; }) {}
};

std::vector<std::string> Entries(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(SafeOutputTest, NoOutputReplacesAnInputOrAnotherOutput) {
  Project p;
  const std::string sfc = p.dir.File("met.sfc");
  fs::copy_file(test::DataFile("meteo/houston_300h.sfc"), sfc);
  fs::create_directory(p.dir.File("out"));
  // A PLOTFILE that happens to carry the name a percentile file gets.
  fs::copy_file(p.plot, p.dir.File("out/P98_00.PLT"));
  fs::create_symlink(p.post, p.dir.File("link.pos"));
  const auto q = [](const std::string& s) { return "'" + s + "'"; };
  struct Case {
    std::string args;
    std::string message;
  };
  const std::vector<Case> cases{
      {"percentile " + p.Inputs() + " --out " + q(p.post), "--out is the POSTFILE of this run"},
      {"percentile " + p.Inputs() + " --out " + q(p.dir.File("link.pos")), "--out is the POSTFILE of this run"},
      {"percentile " + p.Inputs() + " --out " + q(p.dir.File("out/../run.plt")), "--out is the PLOTFILE of this run"},
      {"percentile --post " + q(p.post) + " --plot " + q(p.dir.File("out/P98_00.PLT")) + " --out-dir " +
           q(p.dir.File("out")),
       "--out-dir file P98_00.PLT is the PLOTFILE of this run"},
      {"percentile " + p.Inputs() + " --met " + q(sfc) + " --out " + q(sfc), "--out is the met file of this run"},
      {"hours " + p.Inputs() + " --receptor 1 --csv " + q(p.plot), "--csv is the PLOTFILE of this run"},
      {"hours " + p.Inputs() + " --receptor 1 --csv " + q(p.dir.File("r.csv")) + " --plotfile " +
           q(p.dir.File("./r.csv")),
       "--csv and --plotfile are the same file"},
      {"hours " + p.Inputs() + " --receptor 1 --met " + q(sfc) + " --plotfile " + q(sfc),
       "--plotfile is the met file of this run"},
      {"met " + q(sfc) + " --bad-hours " + q(sfc), "--bad-hours is the met file"},
  };
  const auto before = Entries(p.dir.Path());
  const std::string postBytes = ReadAll(p.post), plotBytes = ReadAll(p.plot), sfcBytes = ReadAll(sfc);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    test::ExpectOneLineError(RunCli(c.args), 2, c.message);
  }
  EXPECT_EQ(Entries(p.dir.Path()), before);
  EXPECT_EQ(ReadAll(p.post), postBytes);
  EXPECT_EQ(ReadAll(p.plot), plotBytes);
  EXPECT_EQ(ReadAll(sfc), sfcBytes);
  EXPECT_EQ(Entries(p.dir.File("out")), std::vector<std::string>{"P98_00.PLT"});
}

TEST(SafeOutputTest, UsageMistakesAreOneLineWithStatusTwo) {
  Project p;
  const std::string out = " --out '" + p.dir.File("x.plt") + "'";
  struct Case {
    std::string args;
    std::string message;
  };
  const std::vector<Case> cases{
      {"percentile " + p.Inputs() + out + " --threads 0", "--threads"},
      {"percentile " + p.Inputs() + out + " --memory 0", "--memory"},
      {"percentile " + p.Inputs() + out + " --memory 99999999999999999999", "--memory"},
      {"percentile " + p.Inputs() + out + " --memory 900000000", "more than this machine's memory"},
      {"percentile " + p.Inputs() + out + " --percentile abc", "--percentile"},
      {"percentile --plot '" + p.plot + "'" + out, "--post"},
      {"nonsense", "subcommand"},
      {"info '" + p.post + "'", "give the PLOTFILE of the same run with --plot PLOTFILE, or the count with --receptors N"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    const auto r = RunCli(c.args);
    test::ExpectOneLineError(r, 2, c.message);
    EXPECT_EQ(r.err.find("e+308"), std::string::npos) << r.err;
  }
  EXPECT_FALSE(fs::exists(p.dir.File("x.plt")));
  const auto version = RunCli("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("zorvik-cli ", 0), 0u) << version.out;
}

TEST(SafeOutputTest, OutputsThatCannotBeMadeAreRefusedBeforeReading) {
  Project p;
  fs::create_directory(p.dir.File("folder"));
  const auto r1 = RunCli("percentile " + p.Inputs() + " --out '" + p.dir.File("folder") + "'");
  EXPECT_EQ(r1.status, 1);
  EXPECT_NE(r1.err.find("it is a folder"), std::string::npos) << r1.err;
  const auto r2 = RunCli("hours " + p.Inputs() + " --receptor 1 --csv '" + p.dir.File("none/r.csv") + "'");
  EXPECT_EQ(r2.status, 1);
  EXPECT_NE(r2.err.find("does not exist"), std::string::npos) << r2.err;
}

// SIGTERM and SIGHUP stop a run as Ctrl-C does: status 128 + signal, no output, no temporary file. The
// run is made slow (one small chunk after another) and stopped after a growing delay until a stop lands
// inside it; whatever the timing, the folders never hold more than the inputs and whole outputs.
TEST(SafeOutputTest, StopSignalsLeaveNothingBehind) {
  Project p(3000, 1500);
  TempDir tmp;
  const std::string out = p.dir.File("out");
  fs::create_directory(out);
  for (int signal : {SIGTERM, SIGHUP}) {
    SCOPED_TRACE(signal);
    bool stopped = false;
    for (int delayMs : {40, 80, 160, 320, 640}) {
      std::vector<std::string> args{ZORVIK_CLI, "percentile", "--post", p.post, "--plot", p.plot,
                                    "--percentile", "98,50", "--out-dir", out, "--memory", "1", "--threads", "1"};
      std::vector<char*> argv;
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      std::string tmpVar = "TMPDIR=" + tmp.Path().string();
      std::vector<char*> envp{tmpVar.data()};
      for (char** e = environ; *e; ++e) envp.push_back(*e);
      envp.push_back(nullptr);
      posix_spawn_file_actions_t actions;
      posix_spawn_file_actions_init(&actions);
      posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
      pid_t pid = 0;
      ASSERT_EQ(posix_spawn(&pid, ZORVIK_CLI, &actions, nullptr, argv.data(), envp.data()), 0);
      posix_spawn_file_actions_destroy(&actions);
      std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
      ::kill(pid, signal);
      int status = 0;
      ASSERT_EQ(::waitpid(pid, &status, 0), pid);
      const auto written = Entries(out);
      EXPECT_TRUE(fs::is_empty(tmp.Path()));
      if (WIFEXITED(status) && WEXITSTATUS(status) == 128 + signal) {
        EXPECT_TRUE(written.empty()) << written.front();
        stopped = true;
        break;
      }
      // The run ended before the signal could stop it (or before the handler was in place).
      EXPECT_TRUE(written.empty() || written == (std::vector<std::string>{"P50_00.PLT", "P98_00.PLT"}));
      for (const auto& name : written) fs::remove(fs::path(out) / name);
    }
    EXPECT_TRUE(stopped) << "no stop signal landed inside a run";
  }
}

}  // namespace
}  // namespace zorvik
