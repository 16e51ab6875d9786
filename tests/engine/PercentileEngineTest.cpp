#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <filesystem>
#include <functional>
#include <limits>
#include <vector>

#include "engine/EngineOptions.h"
#include "engine/PercentView.h"
#include "engine/PostPercent.h"
#include "engine/ReceptorManager.h"
#include "meteo/MeteoData.h"
#include "plotfile/PlotFile.h"
#include "plotfile/SamplePlotFile.h"
#include "post/PostFileWriter.h"
#include "support/TestSupport.h"
#include "util/DateKey.h"
#include "util/ExceptionLog.h"
#include "util/FileHandle.h"

namespace zorvik {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

constexpr int kReceptors = 9;
constexpr int kHours = 300;

// About a quarter of the hours are zero; values repeat (steps of 0.5) so that ranks have ties.
double HourValue(int hour, int receptor) {
  const unsigned mix = static_cast<unsigned>(hour * 7919 + receptor * 104729) % 1000u;
  if (mix < 250) return 0.0;
  return 0.5 * static_cast<double>(mix % 97) * (receptor + 1);
}

struct Project {
  TempDir dir;
  std::string post = dir.File("run.pos");
  std::string plot = dir.File("run.plt");
  Project() {
    TPostFileLayout layout;
    layout.Receptors = kReceptors;
    WritePostFile(post, layout, 96010101, kHours, [](int h, int, int r) { return HourValue(h, r); });
    WriteSamplePlotFile(plot, SampleGrid(kReceptors));
  }
};

// The percentile by its definition: ranks of the values sorted highest first, x = N (100 - P) / 100.
double ReferencePercentile(int receptor, double p, bool interpolate) {
  std::vector<float> v;
  for (int h = 0; h < kHours; ++h) v.push_back(static_cast<float>(HourValue(h, receptor)));
  std::sort(v.begin(), v.end(), std::greater<>());
  auto at = [&](int rank) { return static_cast<double>(v[static_cast<size_t>(std::max(rank, 1) - 1)]); };
  const double x = kHours * (100.0 - p) / 100.0;
  const int lo = static_cast<int>(std::floor(x)), hi = static_cast<int>(std::ceil(x));
  if (!interpolate || lo == hi) return at(hi);
  return at(lo) + (x - lo) * (at(hi) - at(lo));
}

std::vector<double> ConcColumn(const std::string& plotFile) {
  TPlotFile plot = TPlotFile::Read(plotFile);
  std::vector<double> values;
  const int conc = plot.FieldIndex("conc");
  for (int i = 0; i < plot.ReceptorCount(); ++i) values.push_back(plot.AsFloat(i, conc));
  return values;
}

struct RunResult {
  std::string file98, file50;
};

// Writes P98.PLT and, unless onlyHigh, P50.PLT (a deep rank: every series is then ranked whole, while 98 alone
// takes the path that keeps only the highest entries).
RunResult RunPercentiles(const Project& project, const std::string& outDir, int64_t memory, int threads,
                         bool interpolate = true, bool onlyHigh = false) {
  fs::create_directories(outDir);
  TReceptorListSettings s;
  s.PlotFile = project.plot;
  s.PostFile = project.post;
  s.PlotPath = outDir + "/";
  s.MemoryLimitBytes = memory;
  s.MaxThreads = threads;
  s.UseInterpolation = interpolate;
  TPrReceptorList list(std::move(s));
  std::vector<TPercentItem> items(2);
  items[0].Percent = 98.0;
  items[0].PlotName = "P98.PLT";
  items[0].GroupName = "ALL";
  items[1].Percent = 50.0;
  items[1].PlotName = "P50.PLT";
  items[1].GroupName = "ALL";
  if (onlyHigh) items.pop_back();
  list.Execute(items);
  return {outDir + "/P98.PLT", outDir + "/P50.PLT"};
}

TEST(PercentileEngineTest, PercentilesFollowTheirDefinition) {
  Project project;
  for (bool interpolate : {true, false}) {
    RunResult r = RunPercentiles(project, project.dir.File(interpolate ? "i" : "n"), 0, 0, interpolate);
    std::vector<double> p98 = ConcColumn(r.file98), p50 = ConcColumn(r.file50);
    ASSERT_EQ(p98.size(), static_cast<size_t>(kReceptors));
    for (int i = 0; i < kReceptors; ++i) {
      EXPECT_NEAR(p98[i], ReferencePercentile(i, 98.0, interpolate), 1e-4 * (1 + p98[i])) << i;
      EXPECT_NEAR(p50[i], ReferencePercentile(i, 50.0, interpolate), 1e-4 * (1 + p50[i])) << i;
    }
    RunResult high = RunPercentiles(project, project.dir.File(interpolate ? "hi" : "hn"), 0, 0, interpolate, true);
    EXPECT_EQ(test::ReadAll(high.file98), test::ReadAll(r.file98));
  }
}

TEST(PercentileEngineTest, OutputIsTheSameWhateverTheChunksAndThreads) {
  Project project;
  RunResult whole = RunPercentiles(project, project.dir.File("whole"), 0, 0);
  // A memory cap of one byte forces chunks of one receptor.
  RunResult chunked1 = RunPercentiles(project, project.dir.File("c1"), 1, 1);
  RunResult chunked2 = RunPercentiles(project, project.dir.File("c2"), 3 * kHours * 8, 2);
  for (const RunResult* other : {&chunked1, &chunked2}) {
    EXPECT_EQ(test::ReadAll(whole.file98), test::ReadAll(other->file98));
    EXPECT_EQ(test::ReadAll(whole.file50), test::ReadAll(other->file50));
  }
  RunResult high1 = RunPercentiles(project, project.dir.File("h1"), 1, 1, true, true);
  RunResult high2 = RunPercentiles(project, project.dir.File("h2"), 0, 2, true, true);
  EXPECT_EQ(test::ReadAll(whole.file98), test::ReadAll(high1.file98));
  EXPECT_EQ(test::ReadAll(whole.file98), test::ReadAll(high2.file98));
}

// A chunk is written while the next one is read: a write that fails is still reported before an unreadable value
// of a later chunk, as when the chunks went one after the other, and no output is left.
TEST(PercentileEngineTest, AFailedChunkWriteComesBeforeTheNextChunksError) {
  constexpr int kMany = 1500;  // lines of three chunks of 500: the first flush of the PLOTFILE comes in the second
  TempDir dir;
  TPostFileLayout layout;
  layout.Receptors = kMany;
  const std::string bad = dir.File("bad.pos"), plot = dir.File("run.plt");
  WritePostFile(bad, layout, 96010101, kHours, [](int h, int, int r) {
    return h == 7 && r == kMany - 1 ? std::numeric_limits<double>::infinity() : HourValue(h, r % kReceptors);
  });
  WriteSamplePlotFile(plot, SampleGrid(kMany));
  const auto run = [&](const std::string& out) {
    fs::create_directories(out);
    return test::ErrorOf([&] {
      TReceptorListSettings s;
      s.PlotFile = plot;
      s.PostFile = bad;
      s.PlotPath = out + "/";
      s.MemoryLimitBytes = int64_t{500} * kHours * 8;
      s.MaxThreads = 2;
      TPrReceptorList list(std::move(s));
      ASSERT_EQ(list.ChunkCount(), 3);
      std::vector<TPercentItem> items(2);
      items[0].Percent = 98.0;
      items[0].PlotName = "P98.PLT";
      items[1].Percent = 50.0;
      items[1].PlotName = "P50.PLT";
      list.Execute(items);
    });
  };
  const std::string unreadable = run(dir.File("a"));
  EXPECT_NE(unreadable.find("bad.pos"), std::string::npos) << unreadable;
  std::string full;
  {
    const struct Fault {
      Fault() { detail::InjectWriteFault(ENOSPC, 0); }
      ~Fault() { detail::InjectWriteFault(0, 0); }
    } fault;
    full = run(dir.File("b"));
  }
  EXPECT_NE(full.find("No space left on device"), std::string::npos) << full;
  EXPECT_NE(full.find("P98.PLT"), std::string::npos) << full;
  for (const char* out : {"a", "b"})
    for (const char* name : {"P98.PLT", "P50.PLT"}) EXPECT_FALSE(fs::exists(dir.File(out) + "/" + name));
}

TEST(PercentileEngineTest, ChunkSizing) {
  // 10,000 receptors x 8,760 hours at 8 bytes a value in a 700,000,000-byte budget.
  EXPECT_EQ(TPrReceptorList::ChunkReceptors(10000, int64_t{10000} * 8760, 700000000), 9988);
  EXPECT_EQ(TPrReceptorList::ChunkReceptors(10000, int64_t{10000} * 8760, 7000000000), 10000);
  EXPECT_EQ(TPrReceptorList::ChunkReceptors(10000, int64_t{10000} * 8760, 1), 1);
}

TEST(ViewerLoadTest, BufferHoldsSortedNonZeroHoursAndAgreesWithThePercentileFile) {
  Project project;
  // The buffer file never has a name: the temporary folder stays empty while it is in use.
  const std::string tempFolder = project.dir.File("tmp");
  fs::create_directories(tempFolder);
  const char* oldTmp = std::getenv("TMPDIR");
  const std::string savedTmp = oldTmp ? oldTmp : "";
  ::setenv("TMPDIR", tempFolder.c_str(), 1);
  {
    TPercentBlocks blocks;
    TReceptorManager manager(blocks, {}, TLoadLimits{4 * kHours * 8, 2});  // several chunks
    ASSERT_TRUE(manager.Execute(project.plot, project.post, "", false, true));
    EXPECT_GT(manager.ChunkCount(), 1);
    ASSERT_EQ(blocks.ReceptorCount(), kReceptors);
    EXPECT_EQ(blocks.TotalHours(), kHours);
    for (int r = 0; r < kReceptors; ++r) {
      std::vector<float> expected;
      for (int h = 0; h < kHours; ++h)
        if (HourValue(h, r) > 0) expected.push_back(static_cast<float>(HourValue(h, r)));
      std::sort(expected.begin(), expected.end(), std::greater<>());
      blocks.LoadBufferValues(r);
      ASSERT_EQ(blocks.ValueCount(), static_cast<int>(expected.size()));
      for (int i = 0; i < blocks.ValueCount(); ++i) ASSERT_EQ(blocks.GetValue(i), expected[i]);
      EXPECT_EQ(blocks.GetHourValue(r, static_cast<int>(expected.size())), 0.0f);
      EXPECT_NEAR(blocks.GetPercentile(98.0, r), ReferencePercentile(r, 98.0, true), 1e-4);
    }
    TPercentView view = BuildPercentView(blocks, 6, 98.0);
    EXPECT_EQ(view.Title1, "Series Plot for Receptor # 7");
    EXPECT_EQ(view.MarkedBar, 6);  // Trunc(300 * 0.02)
    EXPECT_EQ(view.Value, blocks.GetHourValue(6, 6));

    const std::string viewerFile = project.dir.File("viewer.plt");
    blocks.WritePercentilePlotFile(viewerFile, 98.0);
    RunResult engine = RunPercentiles(project, project.dir.File("cmd"), 0, 0);
    EXPECT_EQ(ConcColumn(viewerFile), ConcColumn(engine.file98));
    EXPECT_TRUE(fs::is_empty(tempFolder));
  }
  if (oldTmp)
    ::setenv("TMPDIR", savedTmp.c_str(), 1);
  else
    ::unsetenv("TMPDIR");
}

TEST(ViewerLoadTest, CancelDuringIndexingOrChunksReturnsFalse) {
  Project project;
  for (int cancelRun : {1, 2}) {
    TPercentBlocks blocks;
    int begins = 0;
    TReceptorManager manager(
        blocks,
        [&](const void*, TProgressStatusInfo& info) {
          if (info.cbIterState == Tcb_iterState::cb_Begin) ++begins;
          if (info.cbIterState == Tcb_iterState::cb_iteration && begins == cancelRun) info.abortOp = true;
        },
        TLoadLimits{4 * kHours * 8, 1});
    EXPECT_FALSE(manager.Execute(project.plot, project.post, "", false, true)) << cancelRun;
    EXPECT_EQ(blocks.ReceptorCount(), 0) << cancelRun;  // cancelled in the first chunk
  }
}

TEST(PercentileEngineTest, InputsThatDoNotFitFailBeforeAnyOutput) {
  struct Case {
    const char* name;
    std::function<void(Project&)> spoil;
    const char* expected;
  } cases[] = {
      {"PLOTFILE of another receptor count",
       [](Project& p) { WriteSamplePlotFile(p.plot, SampleGrid(kReceptors + 2)); },
       "does not fit the 11 receptors of the PLOTFILE"},
      {"truncated POSTFILE", [](Project& p) { fs::resize_file(p.post, fs::file_size(p.post) - 10); },
       "Truncated POSTFILE"},
  };
  for (const Case& c : cases) {
    Project project;
    const std::string out = project.dir.File("out");
    fs::create_directories(out);
    c.spoil(project);
    try {
      RunPercentiles(project, out, 0, 0);
      ADD_FAILURE() << c.name << ": no error";
    } catch (const std::exception& e) {
      EXPECT_NE(RootMessage(e).find(c.expected), std::string::npos) << c.name << ": " << RootMessage(e);
    }
    EXPECT_TRUE(fs::is_empty(out)) << c.name;
  }
}

TEST(PercentileEngineTest, RealRunHundredthPercentileIsTheFirstHigh) {
  const std::string post = test::FixtureFile("grid144/grid144.pos");
  const std::string plot = test::FixtureFile("grid144/grid144.plt");
  if (post.empty()) GTEST_SKIP() << "real model runs not present";
  TempDir dir;
  TReceptorListSettings s;
  s.PlotFile = plot;
  s.PostFile = post;
  s.PlotPath = dir.Path().string() + "/";
  TPrReceptorList list(std::move(s));
  TPercentItem item;
  item.Percent = 100.0;
  item.PlotName = "P100.PLT";
  item.GroupName = "ALL";
  list.Execute({item});
  const std::vector<double> ours = ConcColumn(dir.File("P100.PLT")), theirs = ConcColumn(plot);
  ASSERT_EQ(ours.size(), 144u);
  for (size_t i = 0; i < ours.size(); ++i) EXPECT_NEAR(ours[i], theirs[i], 5e-5 * theirs[i] + 1e-5) << i;
}

}  // namespace
}  // namespace zorvik

namespace zorvik {
namespace {

// With a met file, its calm and missing hours count as hours of value 0 whatever the POSTFILE holds for them.
TEST(PercentileEngineTest, CalmAndMissingHoursOfTheMetFileCountAsZero) {
  const std::string met = test::DataFile("meteo/houston_300h.sfc");
  TMeteoData usable;
  usable.SetAermodVersion(av_11103);
  usable.LoadDataFromFile(met);
  Project project;  // 300 hours from 96010101, as the met file
  RunResult plain = RunPercentiles(project, project.dir.File("plain"), 0, 0);
  TReceptorListSettings s;
  s.PlotFile = project.plot;
  s.PostFile = project.post;
  s.MeteoFile = met;
  s.PlotPath = project.dir.File("met") + "/";
  fs::create_directories(s.PlotPath);
  TPrReceptorList list(std::move(s));
  EXPECT_EQ(list.MeteoUsableHours(), usable.UsableHourCount());
  int skipped = 0;
  int32_t date = 96010101;
  for (int h = 0; h < kHours; ++h, date = AdvanceDateOneHour(date)) skipped += !usable.IsExist(date);
  ASSERT_GT(skipped, 0);
  EXPECT_EQ(list.SkipHourBlocks(), skipped);
  TPercentItem item;
  item.Percent = 50.0;
  item.PlotName = "P50.PLT";
  item.GroupName = "ALL";
  list.Execute({item});
  const std::vector<double> withMet = ConcColumn(project.dir.File("met/P50.PLT"));
  for (int r = 0; r < kReceptors; ++r) {
    std::vector<float> v;
    date = 96010101;
    for (int h = 0; h < kHours; ++h, date = AdvanceDateOneHour(date))
      v.push_back(usable.IsExist(date) ? static_cast<float>(HourValue(h, r)) : 0.0f);
    std::sort(v.begin(), v.end(), std::greater<>());
    // N = 300 and P = 50: x = 150 falls on rank 150 exactly.
    EXPECT_NEAR(withMet[static_cast<size_t>(r)], v[149], 1e-4 * (1 + v[149])) << r;
  }
  EXPECT_NE(ConcColumn(plain.file50), withMet);
}

}  // namespace
}  // namespace zorvik
