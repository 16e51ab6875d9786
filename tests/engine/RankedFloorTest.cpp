// The ranked-entries path starts each series from a floor taken from a sample of its hours (every 17th), and
// deep ranks also from a ceiling above which values are only counted. Its results must equal the whole-series
// ranking whatever the data: also when the sample misleads, so that a floor proves too high or a ceiling too low
// and the range is read again without them, and when the index is read alongside the run (no sample then, or
// with a ring shared by the workers one that takes the records where a file of records of one size has them).
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "engine/PostPercent.h"
#include "plotfile/SamplePlotFile.h"
#include "post/PostFileWriter.h"
#include "support/TestSupport.h"

namespace zorvik {
namespace {

constexpr int kReceptors = 64;  // 4.5 MB: a shared ring goes round its buffers
constexpr int kHours = 8760;

// Writes the percentiles of every receptor into `out`, as P<tenths>.PLT; a median among them makes the list rank
// whole series instead of keeping only the highest entries.
void RunPercentiles(const std::string& post, const std::string& plot, const std::string& out,
                    const std::vector<double>& percents, int threads,
                    TReceptorListSettings::TStreamIndex stream = TReceptorListSettings::TStreamIndex::Never) {
  std::filesystem::create_directories(out);
  TReceptorListSettings s;
  s.PlotFile = plot;
  s.PostFile = post;
  s.PlotPath = out + "/";
  s.MaxThreads = threads;
  s.StreamIndex = stream;
  TPrReceptorList list(std::move(s));
  std::vector<TPercentItem> items;
  for (double p : percents) {
    TPercentItem item;
    item.Percent = p;
    item.PlotName = std::string(1, 'P').append(std::to_string(static_cast<int>(p * 10))).append(".PLT");
    item.GroupName = "ALL";
    items.push_back(item);
  }
  list.Execute(items);
}

TEST(RankedFloorTest, SameAsWholeSeriesRankingWhereverTheSampleFalls) {
  struct Case {
    const char* name;
    std::function<double(int h, int r)> value;
  };
  const Case cases[] = {
      // Values over three decades, a fifth of the hours zero: the floors hold.
      {"ordinary", [](int h, int r) {
         const unsigned mix = static_cast<unsigned>(h) * 2654435761u ^ static_cast<unsigned>(r) * 40503u;
         return (mix >> 9) % 5 == 0 ? 0.0 : std::pow(10.0, ((mix >> 13) % 3000) / 1000.0) * (r + 1);
       }},
      // Only sampled hours (every 17th) of the first weeks are high, fewer of them than the 98th percentile's
      // rank: the sample sets floors that too few values reach, and the range is read again.
      {"misleading sample", [](int h, int r) { return h % 17 == 0 && h < 17 * 40 ? 100.0 + r : 0.5 + (h % 7) * 0.01; }},
      // Many equal values: ties across the floor.
      {"ties", [](int h, int r) { return static_cast<double>((h * 7 + r) % 4); }},
      // The sampled hours are the low ones: far more values than a deep rank lie above the sample's ceiling.
      {"low sample", [](int h, int r) { return h % 17 == 0 ? 1.0 + (h % 5) * 0.01 : 100.0 + (h * 31 % 1000) * 0.01 + r; }},
  };
  // Few high ranks; deep ranks (selected with a ceiling); both; deep ranks with a shallow one (no ceiling, room
  // for every value above the floor).
  const std::vector<std::vector<double>> rankedRuns = {{98.0, 99.9}, {75.0}, {90.0, 75.0}, {98.0, 90.0, 75.0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    const std::string post = dir.File("run.pos"), plot = dir.File("run.plt");
    TPostFileLayout layout;
    layout.Receptors = kReceptors;
    WritePostFile(post, layout, 96010101, kHours, [&](int h, int, int r) { return c.value(h, r); });
    WriteSamplePlotFile(plot, SampleGrid(kReceptors));
    const std::vector<double> all = {98.0, 99.9, 90.0, 75.0, 50.0};
    RunPercentiles(post, plot, dir.File("whole"), all, 2);
    RunPercentiles(post, plot, dir.File("whole-streamed"), all, 2, TReceptorListSettings::TStreamIndex::Always);
    for (double p : all) {
      const std::string name = "/P" + std::to_string(static_cast<int>(p * 10)) + ".PLT";
      EXPECT_EQ(test::ReadAll(dir.File("whole-streamed") + name), test::ReadAll(dir.File("whole") + name)) << name;
    }
    for (size_t run = 0; run < rankedRuns.size(); ++run) {
      const std::string ranked = dir.File("ranked" + std::to_string(run));
      RunPercentiles(post, plot, ranked + "-2", rankedRuns[run], 2);
      RunPercentiles(post, plot, ranked + "-1", rankedRuns[run], 1);
      RunPercentiles(post, plot, ranked + "-s", rankedRuns[run], 2, TReceptorListSettings::TStreamIndex::Always);
      RunPercentiles(post, plot, ranked + "-r", rankedRuns[run], 2, TReceptorListSettings::TStreamIndex::AlwaysShared);
      for (double p : rankedRuns[run]) {
        const std::string name = "/P" + std::to_string(static_cast<int>(p * 10)) + ".PLT";
        SCOPED_TRACE(name);
        const std::string file = test::ReadAll(ranked + "-2" + name);
        ASSERT_FALSE(file.empty());
        EXPECT_EQ(file, test::ReadAll(dir.File("whole") + name));
        EXPECT_EQ(file, test::ReadAll(ranked + "-1" + name));
        EXPECT_EQ(file, test::ReadAll(ranked + "-s" + name));
        EXPECT_EQ(file, test::ReadAll(ranked + "-r" + name));
      }
    }
  }
}

}  // namespace
}  // namespace zorvik
