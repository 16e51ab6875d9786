// The ranked-entries path starts each series from a floor taken from a sample of its hours (every 17th). Its
// results must equal the whole-series ranking whatever the data: also when the sample misleads, so that the
// floor proves too high and the range is read again without floors.
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

constexpr int kReceptors = 20;
constexpr int kHours = 8760;

// Writes the percentiles of every receptor into `out`; with `wholeSeries` a median joins them, which makes the
// list rank whole series instead of keeping only the highest entries.
void RunPercentiles(const std::string& post, const std::string& plot, const std::string& out, bool wholeSeries,
                    int threads) {
  std::filesystem::create_directories(out);
  TReceptorListSettings s;
  s.PlotFile = plot;
  s.PostFile = post;
  s.PlotPath = out + "/";
  s.MaxThreads = threads;
  TPrReceptorList list(std::move(s));
  std::vector<TPercentItem> items;
  for (double p : wholeSeries ? std::vector<double>{98.0, 99.9, 50.0} : std::vector<double>{98.0, 99.9}) {
    TPercentItem item;
    item.Percent = p;
    item.PlotName = "P" + std::to_string(static_cast<int>(p * 10)) + ".PLT";
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
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    const std::string post = dir.File("run.pos"), plot = dir.File("run.plt");
    TPostFileLayout layout;
    layout.Receptors = kReceptors;
    WritePostFile(post, layout, 96010101, kHours, [&](int h, int, int r) { return c.value(h, r); });
    WriteSamplePlotFile(plot, SampleGrid(kReceptors));
    RunPercentiles(post, plot, dir.File("ranked"), false, 2);
    RunPercentiles(post, plot, dir.File("ranked1"), false, 1);
    RunPercentiles(post, plot, dir.File("whole"), true, 2);
    for (const char* name : {"P980.PLT", "P999.PLT"}) {
      const std::string ranked = test::ReadAll(dir.File(std::string("ranked/") + name));
      ASSERT_FALSE(ranked.empty());
      EXPECT_EQ(ranked, test::ReadAll(dir.File(std::string("whole/") + name))) << name;
      EXPECT_EQ(ranked, test::ReadAll(dir.File(std::string("ranked1/") + name))) << name;
    }
  }
}

}  // namespace
}  // namespace zorvik
