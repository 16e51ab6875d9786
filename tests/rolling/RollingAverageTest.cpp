#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "engine/ReceptorItem.h"
#include "meteo/MeteoData.h"
#include "plotfile/SamplePlotFile.h"
#include "post/PostFileWriter.h"
#include "rolling/RollingAverage.h"
#include "rolling/RollingReference.h"
#include "support/TestSupport.h"
#include "util/DateKey.h"

namespace zorvik {
namespace {

namespace fs = std::filesystem;
using rolltest::ExpectColumn;
using rolltest::NthHighest;
using rolltest::THourSeries;
using rolltest::TWindowValue;
using rolltest::Windows;
using test::TempDir;

using TValueFn = std::function<double(int hour, int typeIndex, int receptor)>;

TAverageValue PeriodOfHours(int hours) {
  return hours == 3 ? TAverageValue::hr_3 : hours == 8 ? TAverageValue::hr_8 : TAverageValue::hr_24;
}

THighValues RanksUpTo(int last) {
  THighValues ranks;
  for (int r = 0; r < last; ++r) ranks.Include(static_cast<THighValue>(r));
  return ranks;
}

// A run built in a temporary folder: POSTFILE, PLOTFILE of its receptors and, when some hour is calm, a met file.
struct Project {
  TempDir dir;
  std::string post = dir.File("run.pos");
  std::string plot = dir.File("run.plt");
  std::string met;
  TPostFileLayout layout;
  int32_t firstDate;
  int hours;
  TValueFn value;
  std::function<bool(int)> calm;

  Project(int receptors, int32_t firstDate_, int hours_, TValueFn value_, std::function<bool(int)> calm_ = {},
          TPostOutTypes types = {TPostOutType::poConc}, const std::string& plotFile = {})
      : firstDate(firstDate_), hours(hours_), value(std::move(value_)), calm(std::move(calm_)) {
    layout.Receptors = receptors;
    layout.Types = types;
    WritePostFile(post, layout, firstDate, hours, value);
    if (plotFile.empty())
      WriteSamplePlotFile(plot, SampleGrid(receptors));
    else
      fs::copy_file(plotFile, plot);
    if (calm) {
      met = dir.File("run.sfc");
      rolltest::WriteMetFile(met, firstDate, hours, calm);
    }
  }

  // The hours of one receptor and output type as the files give them.
  THourSeries Series(int receptor, int type) const {
    THourSeries s;
    int32_t date = firstDate;
    for (int h = 0; h < hours; ++h, date = AdvanceDateOneHour(date)) {
      s.Values.push_back(static_cast<float>(value(h, type, receptor)));
      s.Calm.push_back(calm && calm(h) ? 1 : 0);
      s.Dates.push_back(date);
    }
    return s;
  }

  TRollingRunParams Run(const std::string& outName, TAverageValues periods, THighValues ranks,
                        bool blocks = false) const {
    TRollingRunParams run;
    run.PostFile = post;
    run.PlotFile = plot;
    run.MeteoFile = met;
    run.OutputFolder = dir.File(outName) + "/";
    fs::create_directories(run.OutputFolder);
    run.Periods = periods;
    run.Ranks = ranks;
    run.Blocks = blocks;
    return run;
  }
};

// The expected file column of one output type: the rank-th highest window of every receptor.
std::vector<TWindowValue> ExpectedColumn(const Project& p, int type, int hours, int rank, bool blocks, bool mean) {
  std::vector<TWindowValue> column;
  for (int r = 0; r < p.layout.Receptors; ++r)
    column.push_back(NthHighest(Windows(p.Series(r, type), hours, blocks, mean), rank));
  return column;
}

TEST(RollingFileNamesTest, OneFilePerPeriodAndRankInOrder) {
  auto names = [](std::initializer_list<const char*> list) { return std::vector<std::string>(list.begin(), list.end()); };
  std::vector<std::string> all18;
  for (const char* period : {"03", "08", "24"})
    for (const char* rank : {"1ST", "2ND", "3RD", "4TH", "5TH", "6TH"})
      all18.push_back(std::string("RA") + period + "_" + rank + ".PLT");
  struct Case {
    const char* name;
    TAverageValues periods;
    THighValues ranks;
    bool blocks;
    std::vector<std::string> expected;
  } cases[] = {
      {"8 hours, ranks 1 and 2", {TAverageValue::hr_8}, {THighValue::high_1, THighValue::high_2}, false,
       names({"RA08_1ST.PLT", "RA08_2ND.PLT"})},
      {"every period, ranks 1 to 6", {TAverageValue::hr_3, TAverageValue::hr_8, TAverageValue::hr_24}, RanksUpTo(6),
       false, all18},
      {"periods and ranks in their own order", {TAverageValue::hr_24, TAverageValue::hr_3},
       {THighValue::high_10, THighValue::high_3}, false,
       names({"RA03_3RD.PLT", "RA03_10TH.PLT", "RA24_3RD.PLT", "RA24_10TH.PLT"})},
      {"blocks", {TAverageValue::hr_3, TAverageValue::hr_24}, {THighValue::high_2}, true,
       names({"BA03_2ND.PLT", "BA24_2ND.PLT"})},
  };
  for (const Case& c : cases) {
    std::vector<TPercentItem> items(3);  // filling starts from an empty list
    FillPercentItems(items, c.periods, c.ranks, "ALL", c.blocks);
    std::vector<std::string> got;
    for (const TPercentItem& item : items) got.push_back(item.PlotName);
    EXPECT_EQ(got, c.expected) << c.name;
  }
}

TEST(RollingAverageTest, RunWritesItsFilesInOrderWithTheirTitles) {
  Project p(2, 96010101, 30, [](int h, int, int r) { return h + r; });
  struct Case {
    bool blocks;
    std::vector<std::string> files;
    std::vector<std::string> titles;
  } cases[] = {
      {false,
       {"RA08_1ST.PLT", "RA08_2ND.PLT"},
       {"PLOT FILE OF  HIGH 1ST  HIGH  8-HR VALUES FOR SOURCE GROUP: ALL",
        "PLOT FILE OF  HIGH 2ND  HIGH  8-HR VALUES FOR SOURCE GROUP: ALL"}},
      {true,
       {"BA08_1ST.PLT", "BA08_2ND.PLT"},
       {"PLOT FILE OF  HIGH 1ST  HIGH  8-HR BLOCK VALUES FOR SOURCE GROUP: ALL",
        "PLOT FILE OF  HIGH 2ND  HIGH  8-HR BLOCK VALUES FOR SOURCE GROUP: ALL"}},
  };
  for (const Case& c : cases) {
    TRollingRunParams run = p.Run(c.blocks ? "b" : "r", {TAverageValue::hr_8},
                                  {THighValue::high_2, THighValue::high_1}, c.blocks);
    const std::vector<std::string> written = GeneratePlotFiles(run);
    ASSERT_EQ(written.size(), c.files.size());
    for (size_t i = 0; i < c.files.size(); ++i) {
      EXPECT_EQ(fs::path(written[i]).filename().string(), c.files[i]);
      const std::string text = test::ReadAll(written[i]);
      // The title line: an asterisk and nine blanks, then the title, which begins with nine blanks of its own.
      EXPECT_NE(text.find("\n*" + std::string(18, ' ') + c.titles[i]), std::string::npos) << written[i] << "\n" << text.substr(0, 400);
    }
  }
}

// A writer that notes, for every receptor it is handed, how many values each window store was offered.
class TOfferedCounts : public TPlotWriterBase {
 public:
  explicit TOfferedCounts(std::map<int, std::set<int>>& counts) : fCounts(counts) {}
  void Write(TReceptorItems& receptors, int start, int count, TPlotRecords&) override {
    for (int i = start; i < start + count; ++i)
      for (TPostOutType t : kAllPostOutTypes)
        for (const auto& store : receptors[static_cast<size_t>(i)]->Stores(t))
          fCounts[store->HoursPerBlock()].insert(store->HValues().OfferedCount());
  }
  bool AddNeededRanks(int, std::vector<int>&) const override { return true; }

 private:
  std::map<int, std::set<int>>& fCounts;
};

class TCountingList : public TRollingReceptorList {
 public:
  TCountingList(const TRollingRunParams& params, std::map<int, std::set<int>>& counts)
      : TRollingReceptorList(params), fCounts(counts) {}

 protected:
  void CreatePlotWriters(const std::vector<TPercentItem>& data) override {
    TRollingReceptorList::CreatePlotWriters(data);
    fPlotWriters.push_back(std::make_unique<TOfferedCounts>(fCounts));
  }

 private:
  std::map<int, std::set<int>>& fCounts;
};

TEST(RollingAverageTest, AYearOfHoursGivesOneValuePerWindow) {
  Project p(2, 96010101, 8760, [](int h, int, int r) { return (h * 7 + r) % 13; });
  struct Case {
    bool blocks;
    bool parallel;
    std::map<int, std::set<int>> expected;
  } cases[] = {
      {false, true, {{3, {8758}}, {8, {8753}}, {24, {8737}}}},
      {false, false, {{3, {8758}}, {8, {8753}}, {24, {8737}}}},
      {true, true, {{3, {2920}}, {8, {1095}}, {24, {365}}}},
      {true, false, {{3, {2920}}, {8, {1095}}, {24, {365}}}},
  };
  for (const Case& c : cases) {
    TRollingRunParams run = p.Run("out", {TAverageValue::hr_3, TAverageValue::hr_8, TAverageValue::hr_24},
                                  {THighValue::high_1}, c.blocks);
    run.ParallelWindows = c.parallel;
    std::map<int, std::set<int>> counts;
    TCountingList list(run, counts);
    std::vector<TPercentItem> items;
    FillPercentItems(items, run.Periods, run.Ranks, list.GroupName(), run.Blocks);
    list.Execute(items);
    EXPECT_EQ(counts, c.expected) << "blocks " << c.blocks << ", parallel " << c.parallel;
  }
}

// Small runs of one receptor whose windows are worked out by hand.
TEST(RollingAverageTest, ValuesDivisorsDatesAndMissingRanks) {
  const auto none = std::function<bool(int)>{};
  auto calmAt = [](std::set<int> hours) { return std::function<bool(int)>([hours](int h) { return hours.count(h) > 0; }); };
  auto only = [](int hour, double v) { return TValueFn([hour, v](int h, int, int) { return h == hour ? v : 0.0; }); };
  // Non-zero in every hour, calm ones included: a calm hour must count as 0 whatever the POSTFILE holds.
  const TValueFn rising = [](int h, int, int) { return 1.25 * (h + 1); };
  auto sumOf = [](int hours, std::set<int> calm) {
    float sum = 0;
    for (int h = 0; h < hours; ++h) sum += calm.count(h) ? 0.0f : 1.25f * static_cast<float>(h + 1);
    return sum;
  };
  struct Expect {
    int rank;
    double value;
    int32_t date;
  };
  struct Case {
    const char* name;
    int period;
    bool blocks;
    int hours;
    int32_t firstDate;
    TValueFn value;
    std::function<bool(int)> calm;
    std::vector<Expect> expected;
  } cases[] = {
      {"20 hours hold no 24-hour window", 24, false, 20, 88010101, rising, none,
       {{1, 0, 0}, {2, 0, 0}, {6, 0, 0}}},
      {"20 hours hold no 24-hour block", 24, true, 20, 88010101, rising, none, {{1, 0, 0}}},
      {"three non-zero windows, then the zero windows from the first", 3, false, 30, 88010101, only(10, 9.0),
       none, {{1, 3, 88010111}, {2, 3, 88010112}, {3, 3, 88010113}, {4, 0, 88010103}, {6, 0, 88010105}}},
      {"a day's last hour dates the window; equal windows rank the earlier first", 3, false, 30, 88010101,
       only(23, 30.0), none, {{1, 10, 88010124}, {2, 10, 88010201}, {3, 10, 88010202}}},
      {"the 24-hour window of a day is dated 24", 24, false, 24, 88010101, rising, none,
       {{1, sumOf(24, {}) / 24.0f, 88010124}, {2, 0, 0}}},
      {"8 hours, none calm: divided by 8", 8, false, 8, 96010101, rising, calmAt({}),
       {{1, sumOf(8, {}) / 8.0f, 96010108}}},
      {"8 hours, 1 calm: divided by 7", 8, false, 8, 96010101, rising, calmAt({3}),
       {{1, sumOf(8, {3}) / 7.0f, 96010108}}},
      {"8 hours, 2 calm: divided by 6", 8, false, 8, 96010101, rising, calmAt({2, 5}),
       {{1, sumOf(8, {2, 5}) / 6.0f, 96010108}}},
      {"8 hours, 3 calm: still divided by 6", 8, false, 8, 96010101, rising, calmAt({0, 1, 7}),
       {{1, sumOf(8, {0, 1, 7}) / 6.0f, 96010108}}},
      {"8-hour block, 2 calm: divided by 6", 8, true, 8, 96010101, rising, calmAt({6, 7}),
       {{1, sumOf(8, {6, 7}) / 6.0f, 96010108}}},
      {"3 hours, 1 calm: divided by 3", 3, false, 3, 96010101, rising, calmAt({1}),
       {{1, sumOf(3, {1}) / 3.0f, 96010103}}},
      {"24 hours, 5 calm: divided by 19", 24, false, 24, 96010101, rising, calmAt({1, 3, 5, 7, 9}),
       {{1, sumOf(24, {1, 3, 5, 7, 9}) / 19.0f, 96010124}}},
      {"24 hours, 10 calm: divided by 18", 24, false, 24, 96010101, rising, calmAt({0, 1, 2, 3, 4, 5, 6, 7, 8, 9}),
       {{1, sumOf(24, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}) / 18.0f, 96010124}}},
      // The calm hour leaves the sliding window again: the window after it is divided by 8.
      {"a calm hour lowers only the windows that hold it", 8, false, 9, 96010101,
       [](int h, int, int) { return h == 8 ? 100.0 : 1.0; }, calmAt({0}),
       {{1, (7 + 100) / 8.0, 96010109}, {2, 7 / 7.0, 96010108}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Project p(1, c.firstDate, c.hours, c.value, c.calm);
    THighValues ranks;
    for (const Expect& e : c.expected) ranks.Include(static_cast<THighValue>(e.rank - 1));
    const std::vector<std::string> written =
        GeneratePlotFiles(p.Run("out", {PeriodOfHours(c.period)}, ranks, c.blocks));
    ASSERT_EQ(written.size(), c.expected.size());
    for (size_t i = 0; i < c.expected.size(); ++i)
      ExpectColumn(written[i], "conc",
                   {{static_cast<float>(c.expected[i].value), c.expected[i].date}});
  }
}

TEST(RollingAverageTest, DepositionsAreSumsAndConcentrationsMeans) {
  const std::string plot = test::DataFile("plotfile/depos.plt");
  const TPostOutTypes types{TPostOutType::poConc, TPostOutType::poDepos, TPostOutType::poDDep, TPostOutType::poWDep};
  Project p(
      30, 96010101, 60,
      [](int h, int t, int r) {
        const int mix = (h * 31 + r * 17 + t * 5) % 23;
        return mix < 4 ? 0.0 : 0.001 * mix * (t + 1) * (r + 1);
      },
      [](int h) { return h % 7 == 3 || h == 20 || h == 21; }, types, plot);
  for (bool blocks : {false, true}) {
    const std::vector<std::string> written =
        GeneratePlotFiles(p.Run(blocks ? "b" : "r", {TAverageValue::hr_3, TAverageValue::hr_8, TAverageValue::hr_24},
                                {THighValue::high_1, THighValue::high_2}, blocks));
    ASSERT_EQ(written.size(), 6u);
    size_t file = 0;
    for (int hours : {3, 8, 24})
      for (int rank : {1, 2}) {
        const std::string& out = written[file++];
        const char* keys[] = {"conc", "tdep", "ddep", "wdep"};
        // One DATE column serves four types: only the values are compared.
        for (int t = 0; t < 4; ++t)
          ExpectColumn(out, keys[t], ExpectedColumn(p, t, hours, rank, blocks, t == 0), false);
      }
  }
}

// The parallel window path and the hour-by-hour fill, any thread count and any chunking write the same bytes,
// and those bytes hold the windows worked out here. With 150 receptors a worker's row holds whole blocks of
// receptors summed side by side as well as a rest summed one by one.
TEST(RollingAverageTest, SameFilesOnEveryPathAndTheWindowsWorkedOutHere) {
  constexpr int kReceptors = 150, kHours = 400;
  Project p(
      kReceptors, 96010101, kHours,
      [](int h, int, int r) {
        const unsigned mix = static_cast<unsigned>(h * 7919 + r * 104729) % 1000u;
        if (mix < 300) return 0.0;                       // zeros
        if (mix < 400) return 2.5;                       // repeated values: equal windows
        return std::pow(10.0, (mix % 97) / 16.0 - 3.0) * (1 + r % 3);  // 1e-3 .. 1e3
      },
      [](int h) { return h % 11 == 4 || (h >= 100 && h < 112); });
  const TAverageValues periods{TAverageValue::hr_3, TAverageValue::hr_8, TAverageValue::hr_24};
  struct Path {
    const char* name;
    bool parallel;
    int threads;
    int64_t memory;
  } paths[] = {
      {"parallel windows", true, 0, 0},
      {"hour by hour", false, 0, 0},
      {"one thread", true, 1, 0},
      {"two threads, chunks of one receptor", true, 2, 1},
      {"hour by hour, one thread, chunks of one receptor", false, 1, 1},
      {"two threads, several chunks", true, 2, 3 * kHours * 8 * 7},
  };
  for (bool blocks : {false, true}) {
    std::vector<std::string> reference;
    for (const Path& path : paths) {
      TRollingRunParams run = p.Run(std::string(blocks ? "b-" : "r-") + path.name, periods, RanksUpTo(10), blocks);
      run.ParallelWindows = path.parallel;
      run.MaxThreads = path.threads;
      run.MemoryLimitBytes = path.memory;
      const std::vector<std::string> written = GeneratePlotFiles(run);
      ASSERT_EQ(written.size(), 30u);
      if (reference.empty()) {
        reference = written;
        continue;
      }
      for (size_t i = 0; i < written.size(); ++i)
        EXPECT_EQ(test::ReadAll(written[i]), test::ReadAll(reference[i]))
            << path.name << " " << fs::path(written[i]).filename().string();
    }
    size_t file = 0;
    for (int hours : {3, 8, 24})
      for (int rank = 1; rank <= 10; ++rank)
        ExpectColumn(reference[file++], "conc", ExpectedColumn(p, 0, hours, rank, blocks, true));
  }
}

// A real AERMOD run: 36 receptors over January to March 1988, with the met file's missing hours.
TEST(RollingAverageTest, RealRunAgreesWithItsOwnHours) {
  const std::string post = test::FixtureFile("disc36/disc36.pos"), plot = test::FixtureFile("disc36/disc36.plt"),
                    met = test::FixtureFile("disc36/LOVETT.SFC");
  if (post.empty() || plot.empty() || met.empty()) GTEST_SKIP() << "the disc36 run is not there";
  std::vector<THourSeries> series = rolltest::ReadPostFile(post);
  ASSERT_EQ(series.size(), 36u);
  ASSERT_EQ(series[0].Values.size(), 2184u);
  TMeteoData meteo;
  meteo.SetAermodVersion(av_11103);
  meteo.LoadDataFromFile(met);
  int calmHours = 0;
  for (THourSeries& s : series)
    for (size_t h = 0; h < s.Dates.size(); ++h) s.Calm[h] = meteo.IsExist(s.Dates[h]) ? 0 : 1;
  for (char c : series[0].Calm) calmHours += c;
  EXPECT_EQ(calmHours, 8);  // the listing's 8 missing hours

  TempDir dir;
  TRollingRunParams run;
  run.PostFile = post;
  run.PlotFile = plot;
  run.MeteoFile = met;
  run.OutputFolder = dir.File("") ;
  run.Periods = {TAverageValue::hr_8, TAverageValue::hr_24};
  run.Ranks = {THighValue::high_1, THighValue::high_2};
  const std::vector<std::string> written = GeneratePlotFiles(run);
  ASSERT_EQ(written.size(), 4u);
  size_t file = 0;
  for (int hours : {8, 24})
    for (int rank : {1, 2}) {
      std::vector<TWindowValue> expected;
      for (const THourSeries& s : series) expected.push_back(NthHighest(Windows(s, hours, false, true), rank));
      ExpectColumn(written[file++], "conc", expected);
    }
}

}  // namespace
}  // namespace zorvik
