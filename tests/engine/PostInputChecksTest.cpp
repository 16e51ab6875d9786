// What a receptor list refuses or reports about its inputs: damaged POSTFILE records and values, hours missing
// between records, a met file of another period, a precision the file contradicts; and the calm hours of a met
// file on the path that keeps only the highest entries.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <limits>
#include <set>
#include <vector>

#include "engine/EngineOptions.h"
#include "engine/HourIndex.h"
#include "engine/PostPercent.h"
#include "engine/Progress.h"
#include "engine/ReceptorManager.h"
#include "meteo/MeteoData.h"
#include "meteo/MeteoHours.h"
#include "plotfile/PlotFile.h"
#include "plotfile/SamplePlotFile.h"
#include "post/PostBinTypeDetector.h"
#include "post/PostFileWriter.h"
#include "support/TestSupport.h"
#include "util/DateKey.h"
#include "util/ExceptionLog.h"

namespace zorvik {
namespace {

namespace fs = std::filesystem;
using test::ErrorOf;
using test::TempDir;

constexpr int kReceptors = 4;

// Values with every mantissa bit in use, as a model writes them (round numbers read the same in either precision).
double Value(int hour, int receptor) { return 0.1234567891 * (hour + 1) * (receptor + 1.37); }

std::vector<int32_t> ConsecutiveDates(int32_t first, int hours) {
  std::vector<int32_t> dates;
  for (int32_t d = first; static_cast<int>(dates.size()) < hours; d = AdvanceDateOneHour(d)) dates.push_back(d);
  return dates;
}

// A POSTFILE of kReceptors receptors with the given record dates; value(hour, receptor) gives the values.
void WritePost(const std::string& file, const std::vector<int32_t>& dates, bool doublePrecision = true,
               const std::function<double(int, int)>& value = Value) {
  TPostFileLayout layout;
  layout.Receptors = kReceptors;
  layout.DoublePrecision = doublePrecision;
  TPostFileWriter writer(file, layout);
  std::vector<double> values(kReceptors);
  for (size_t h = 0; h < dates.size(); ++h) {
    for (int r = 0; r < kReceptors; ++r) values[static_cast<size_t>(r)] = value(static_cast<int>(h), r);
    writer.WriteHour(dates[h], values);
  }
  writer.Close();
}

// The streamed paths read the index alongside the run (as a cold POSTFILE is read).
enum class TPath { Ranked, WholeSeries, HourByHour, RankedStreamed, WholeSeriesStreamed };
constexpr TPath kAllPaths[] = {TPath::Ranked, TPath::WholeSeries, TPath::HourByHour, TPath::RankedStreamed,
                               TPath::WholeSeriesStreamed};

// Runs a percentile list over the files and returns the output folder; `warnings` receives the list's warnings.
std::string RunList(const TempDir& dir, const std::string& post, const std::string& plot, TPath path,
                    std::vector<std::string>* warnings = nullptr, const std::string& met = {}) {
  const std::string out = dir.File("out");
  fs::create_directories(out);
  TReceptorListSettings s;
  s.PlotFile = plot;
  s.PostFile = post;
  s.MeteoFile = met;
  s.PlotPath = out + "/";
  // Only 1-hour stores take the 1-hour paths; another period, with the parallel window path off, makes the
  // list read hour by hour.
  if (path == TPath::HourByHour) {
    s.Options.fAveragePeriods = TAverageValues{TAverageValue::hr_1, TAverageValue::hr_24};
    s.ParallelWindows = false;
  }
  const bool streamed = path == TPath::RankedStreamed || path == TPath::WholeSeriesStreamed;
  if (streamed) s.StreamIndex = TReceptorListSettings::TStreamIndex::Always;
  TPrReceptorList list(std::move(s));
  EXPECT_EQ(list.IndexPending(), streamed);
  if (warnings) *warnings = list.Warnings();
  std::vector<TPercentItem> items(1);
  items[0].Percent = 98.0;
  items[0].PlotName = "P98.PLT";
  items[0].GroupName = "ALL";
  if (path == TPath::WholeSeries || path == TPath::WholeSeriesStreamed) {
    items.push_back(items[0]);
    items[1].Percent = 50.0;
    items[1].PlotName = "P50.PLT";
  }
  list.Execute(items);
  if (warnings && streamed) *warnings = list.Warnings();
  return out;
}

void PutBytes(const std::string& file, size_t at, const void* bytes, size_t n) {
  std::string all = test::ReadAll(file);
  std::memcpy(all.data() + at, bytes, n);
  test::WriteAll(file, all);
}

// Each damage is an error naming the file and the place, whichever path reads the values, and no PLOTFILE is left.
// A double-precision record of 4 receptors occupies 8 + 16 + 32 = 56 bytes on disk: the third record starts at
// byte 112 and its third value at 112 + 4 + 16 + 2 x 8 = 148. A single-precision one occupies 40 bytes: the
// third value of the third record lies at 80 + 4 + 16 + 2 x 4 = 108.
TEST(PostInputChecksTest, DamagedRecordsAndValuesAreErrors) {
  const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
  auto withValue = [](double bad) {
    return [bad](int h, int r) { return h == 2 && r == 2 ? bad : Value(h, r); };
  };
  struct Case {
    const char* name;
    std::vector<int32_t> dates;
    std::function<double(int, int)> value;
    std::function<void(const std::string&)> patch;  // bytes changed after writing
    bool doublePrecision;
    const char* expected;
  } cases[] = {
      {"month 13", {96010101, 96010102, 96130103, 96010104}, Value, {}, true,
       "the record at byte offset 112 has the date key 96130103, which is no calendar hour"},
      {"day 32", {96010101, 96010102, 96013203, 96010104}, Value, {}, true,
       "the record at byte offset 112 has the date key 96013203, which is no calendar hour"},
      {"hour 0", {96010101, 96010102, 96010100, 96010104}, Value, {}, true,
       "the record at byte offset 112 has the date key 96010100, which is no calendar hour"},
      {"hour 25", {96010101, 96010102, 96010125, 96010104}, Value, {}, true,
       "the record at byte offset 112 has the date key 96010125, which is no calendar hour"},
      {"30 February", {96022901, 96022902, 96023003, 96022904}, Value, {}, true,
       "the record at byte offset 112 has the date key 96023003, which is no calendar hour"},
      {"repeated hour", {96010101, 96010102, 96010102, 96010103}, Value, {}, true,
       "the record at byte offset 112 repeats the hour 96010102"},
      {"hour going back", {96010101, 96010103, 96010102, 96010104}, Value, {}, true,
       "the record at byte offset 112 has the date 96010102, earlier than the 96010103 before it"},
      {"period changes", ConsecutiveDates(96010101, 4), Value,
       [](const std::string& f) {
         const int32_t three = 3;
         PutBytes(f, 112 + 8, &three, 4);
       },
       true, "the record at byte offset 112 has the averaging period 3, the first record 1"},
      {"group changes", ConsecutiveDates(96010101, 4), Value,
       [](const std::string& f) { PutBytes(f, 112 + 12, "OTHER   ", 8); }, true,
       "the record at byte offset 112 has the source group \"OTHER\", the first record \"ALL\""},
      {"NaN", ConsecutiveDates(96010101, 4), withValue(nan), {}, true,
       "the conc value of receptor 3 for the hour 96010103 at byte offset 148 is not a number"},
      {"infinity", ConsecutiveDates(96010101, 4), withValue(inf), {}, true,
       "the conc value of receptor 3 for the hour 96010103 at byte offset 148 is infinite"},
      {"beyond single precision", ConsecutiveDates(96010101, 4), withValue(-1e39), {}, true,
       "the conc value of receptor 3 for the hour 96010103 at byte offset 148 is -1e+39, beyond single precision"},
      {"NaN, single precision", ConsecutiveDates(96010101, 4), withValue(nan), {}, false,
       "the conc value of receptor 3 for the hour 96010103 at byte offset 108 is not a number"},
      // The records' headers are checked before their values are: also where the index is read alongside.
      // (a batch of hours later: the values of the first batch are read before the index has ended).
      {"NaN before a damaged date", [] {
         std::vector<int32_t> dates = ConsecutiveDates(96010101, 64);
         dates[40] = 96130217;
         return dates;
       }(),
       [nan](int h, int r) { return h == 1 && r == 2 ? nan : Value(h, r); }, {}, true,
       "the record at byte offset 2240 has the date key 96130217, which is no calendar hour"},
      {"truncated", ConsecutiveDates(96010101, 4), Value,
       [](const std::string& f) { fs::resize_file(f, fs::file_size(f) - 10); }, true, "Truncated POSTFILE"},
  };
  for (const Case& c : cases) {
    for (TPath path : kAllPaths) {
      TempDir dir;
      const std::string post = dir.File("run.pos"), plot = dir.File("run.plt");
      WritePost(post, c.dates, c.doublePrecision, c.value);
      if (c.patch) c.patch(post);
      WriteSamplePlotFile(plot, SampleGrid(kReceptors));
      const std::string message = ErrorOf([&] { RunList(dir, post, plot, path); });
      const int pathNo = static_cast<int>(path);
      EXPECT_NE(message.find(c.expected), std::string::npos) << c.name << " path " << pathNo << ": " << message;
      EXPECT_NE(message.find(post), std::string::npos) << c.name << ": " << message;
      EXPECT_TRUE(!fs::exists(dir.File("out")) || fs::is_empty(dir.File("out"))) << c.name << " path " << pathNo;
    }
  }
}

// A run over selected days: the hours between records are missing, which the list reports and reads through.
TEST(PostInputChecksTest, HoursMissingBetweenRecordsAreAWarning) {
  TempDir dir;
  const std::string post = dir.File("run.pos"), plot = dir.File("run.plt");
  // Missing: 96010104 and 96010105, then 96010107 to 96010124: 20 hours, the first gap after 96010103.
  WritePost(post, {96010101, 96010102, 96010103, 96010106, 96010201, 96010202});
  WriteSamplePlotFile(plot, SampleGrid(kReceptors));
  const std::string expected =
      "the POSTFILE " + post + " skips 20 hours between records; the first gap follows 96010103";
  std::vector<std::string> warnings;
  for (TPath path : {TPath::Ranked, TPath::RankedStreamed}) {
    RunList(dir, post, plot, path, &warnings);
    EXPECT_EQ(warnings, std::vector<std::string>{expected});
    EXPECT_TRUE(fs::exists(dir.File("out/P98.PLT")));
  }

  TPercentBlocks blocks;
  TReceptorManager manager(blocks);
  ASSERT_TRUE(manager.Execute(plot, post, "", false, true));
  EXPECT_EQ(manager.Warnings(), std::vector<std::string>{expected});

  WritePost(post, ConsecutiveDates(96010101, 6));
  RunList(dir, post, plot, TPath::Ranked, &warnings);
  EXPECT_TRUE(warnings.empty());
}

// Met data that holds the hours of [first, first + count) and finds every odd hour usable.
class TMetPeriod : public TMeteoHours {
 public:
  TMetPeriod(int32_t first, int count) {
    for (int32_t d : ConsecutiveDates(first, count)) fHeld.insert(d);
  }
  bool IsExist(int32_t dateKey) const override { return fHeld.count(dateKey) > 0 && dateKey % 2 == 1; }
  bool IsHeld(int32_t dateKey) const noexcept override { return fHeld.count(dateKey) > 0; }

 private:
  std::set<int32_t> fHeld;
};

TEST(PostInputChecksTest, MetFileMustHoldEveryHourOfThePostFile) {
  TempDir dir;
  const std::string post = dir.File("run.pos");
  WritePost(post, ConsecutiveDates(96010101, 48));
  struct Case {
    const char* name;
    int32_t metFirst;
    int metHours;
    bool requireEveryHour;
    std::string expected;  // "" : indexed, with the met data's calm hours
  } cases[] = {
      {"same period", 96010101, 48, true, ""},
      {"longer met file", 95123101, 100, true, ""},
      {"another year", 97010101, 48, true,
       "The met file m.sfc does not hold 48 hours of the POSTFILE " + post + "; the first is 96010101"},
      {"cut short", 96010101, 30, true,
       "The met file m.sfc does not hold 18 hours of the POSTFILE " + post + "; the first is 96010207"},
      {"one hour short", 96010101, 47, true,
       "The met file m.sfc does not hold 1 hour of the POSTFILE " + post + "; the first is 96010224"},
      {"not asked to hold every hour", 97010101, 48, false, ""},
  };
  for (const Case& c : cases) {
    TMetPeriod met(c.metFirst, c.metHours);
    TProgressReporter progress({}, nullptr);
    THourIndex index;
    const std::string message = ErrorOf([&] {
      index = IndexHourBlocks(post, {TPostOutType::poConc}, THourIndexMeteo{&met, "m.sfc", c.requireEveryHour}, true,
                              kReceptors, progress);
    });
    if (!c.expected.empty()) {
      EXPECT_EQ(message, c.expected) << c.name;
      continue;
    }
    ASSERT_EQ(message, "(no error)") << c.name;
    ASSERT_EQ(index.TotalHours(), 48) << c.name;
    int calm = 0;
    for (int32_t d : ConsecutiveDates(96010101, 48)) calm += !met.IsExist(d);
    EXPECT_EQ(index.SkipHourBlocks, calm) << c.name;
  }
}

// A met file of another year is refused, not read as a year of calm hours.
TEST(PostInputChecksTest, ReceptorListRefusesAMetFileOfAnotherPeriod) {
  const std::string met = test::DataFile("meteo/houston_300h.sfc");  // 300 hours from 96010101
  TempDir dir;
  const std::string post = dir.File("run.pos"), plot = dir.File("run.plt");
  WritePost(post, ConsecutiveDates(97010101, 300));
  WriteSamplePlotFile(plot, SampleGrid(kReceptors));
  for (TPath path : {TPath::Ranked, TPath::RankedStreamed}) {
    EXPECT_EQ(ErrorOf([&] { RunList(dir, post, plot, path, nullptr, met); }),
              "The met file " + met + " does not hold 300 hours of the POSTFILE " + post + "; the first is 97010101");
    EXPECT_TRUE(fs::is_empty(dir.File("out")));
  }
}

// The PLOTFILE is read while the POSTFILE's records are indexed; what is wrong is still reported in the order
// the inputs are taken: met file, PLOTFILE, the POSTFILE's fit to the PLOTFILE, then its records.
TEST(PostInputChecksTest, ErrorsOfSeveralInputsComeInTheirOrder) {
  TempDir dir;
  const std::string post = dir.File("run.pos"), plot = dir.File("run.plt"), badPlot = dir.File("bad.plt"),
                    otherPlot = dir.File("other.plt"), badMet = dir.File("bad.sfc");
  WritePost(post, ConsecutiveDates(96010101, 30));
  fs::resize_file(post, fs::file_size(post) - 10);
  WriteSamplePlotFile(plot, SampleGrid(kReceptors));
  WriteSamplePlotFile(otherPlot, SampleGrid(kReceptors + 1));
  test::WriteAll(badPlot, test::ReadAll(plot) + "   junk\n");
  std::string met = test::ReadAll(test::DataFile("meteo/houston_300h.sfc"));
  met.insert(met.find('\n', met.find('\n') + 1) + 1, "this is no hour\n");  // a third line that is no hour
  test::WriteAll(badMet, met);
  struct TCase {
    std::string plot, met, expected;
  };
  for (const TCase& c : {TCase{plot, "", "Truncated POSTFILE " + post}, TCase{otherPlot, "", "does not fit the 5 receptors"},
                         TCase{badPlot, "", badPlot}, TCase{badPlot, badMet, badMet}}) {
    SCOPED_TRACE(c.plot + " " + c.met);
    const std::string error = ErrorOf([&] { RunList(dir, post, c.plot, TPath::Ranked, nullptr, c.met); });
    EXPECT_NE(error.find(c.expected), std::string::npos) << error;
  }
}

// Record lengths that fit both precisions: 8 bytes per receptor are one double or two singles, 16 bytes two
// doubles or four singles. The presumed precision stands unless the values or the PLOTFILE's columns say otherwise.
TEST(PostInputChecksTest, PrecisionOfAnAmbiguousRecordLength) {
  using T = TPostOutType;
  struct Case {
    const char* name;
    bool fileDouble;
    int fileTypes;
    bool presumedDouble;
    int plotTypes;          // value columns of the PLOTFILE, 0 unknown
    const char* expected;   // part of the error, or "" when the file is read
  } cases[] = {
      {"double, one type, presumed double", true, 1, true, 0, ""},
      {"double, one type, presumed single", true, 1, false, 0,
       "holds double-precision values, not single precision: read as single precision its values are not plausible"},
      {"double, two types, presumed single", true, 2, false, 4,
       "holds double-precision values, not single precision: read as single precision its values are not plausible"},
      {"single, two types, presumed single", false, 2, false, 0, ""},
      {"single, two types, presumed single, PLOTFILE agrees", false, 2, false, 2, ""},
      {"single, two types, presumed double, PLOTFILE of two types", false, 2, true, 2,
       "holds single-precision values, not double precision: its record length fits the 2 output types of the "
       "PLOTFILE of the run only in single precision"},
      {"single, four types, presumed double, PLOTFILE of four types", false, 4, true, 4,
       "holds single-precision values, not double precision: its record length fits the 4 output types of the "
       "PLOTFILE of the run only in single precision"},
      {"double, one type, presumed single, PLOTFILE of one type", true, 1, false, 1,
       "holds double-precision values, not single precision"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    TPostFileLayout layout;
    layout.Receptors = 50;
    layout.DoublePrecision = c.fileDouble;
    layout.Types = FirstPostOutTypes(c.fileTypes);
    const std::string file = dir.File("p.pos");
    // The first hours are calm (all zero), as at night: the evidence lies further in.
    WritePostFile(file, layout, 96010101, 12, [](int h, int t, int r) { return h < 5 ? 0.0 : Value(h, r) * (t + 1); });
    std::string message;
    bool isDouble = false;
    TPostOutTypes types;
    message = ErrorOf([&] {
      TPostBinTypeDetector d(file, 50, c.presumedDouble, c.plotTypes);
      isDouble = d.DoublePrecision();
      types = d.PostOutTypes();
    });
    if (*c.expected) {
      EXPECT_NE(message.find(c.expected), std::string::npos) << c.name << ": " << message;
      EXPECT_NE(message.find(file), std::string::npos) << c.name << ": " << message;
      continue;
    }
    ASSERT_EQ(message, "(no error)") << c.name;
    EXPECT_EQ(isDouble, c.fileDouble) << c.name;
    EXPECT_EQ(types, FirstPostOutTypes(c.fileTypes)) << c.name;
    EXPECT_TRUE(types.Contains(T::poConc)) << c.name;
  }
}

// The receptor list gives the detector its PLOTFILE's value columns: this one has concentration and three
// deposition columns, so a record length of four singles per receptor is not read as two doubles.
TEST(PostInputChecksTest, ReceptorListWeighsThePlotFileColumns) {
  const std::string plot = test::DataFile("plotfile/depos.plt");
  const int receptors = TPlotFile::Read(plot).ReceptorCount();
  TempDir dir;
  TPostFileLayout layout;
  layout.Receptors = receptors;
  layout.DoublePrecision = false;
  layout.Types = FirstPostOutTypes(4);
  const std::string post = dir.File("depos.pos");
  WritePostFile(post, layout, 96010101, 24, [](int h, int t, int r) { return Value(h, r) * (t + 1); });
  const std::string message = ErrorOf([&] { RunList(dir, post, plot, TPath::Ranked); });
  EXPECT_NE(message.find("The POSTFILE " + post + " holds single-precision values, not double precision"),
            std::string::npos)
      << message;
}

TEST(PostInputChecksTest, RealDoublePrecisionRunPresumedSingleIsRefused) {
  const std::string post = test::FixtureFile("grid144/grid144.pos");
  if (post.empty()) GTEST_SKIP() << "real model runs not present";
  const std::string message = ErrorOf([&] { TPostBinTypeDetector d(post, 144, false); });
  EXPECT_NE(message.find("holds double-precision values, not single precision"), std::string::npos) << message;
  TPostBinTypeDetector d(post, 144, true);
  EXPECT_TRUE(d.DoublePrecision());
}

// With a met file, on the path that keeps only the highest entries of each receptor (a 98th percentile alone),
// the met file's calm and missing hours count as hours of value 0 whatever the POSTFILE holds for them.
TEST(PostInputChecksTest, CalmHoursOnTheRankedEntriesPath) {
  const std::string met = test::DataFile("meteo/houston_300h.sfc");
  TMeteoData usable;
  usable.SetAermodVersion(av_11103);
  usable.LoadDataFromFile(met);
  constexpr int kHours = 300;  // from 96010101, as the met file
  TempDir dir;
  const std::string post = dir.File("run.pos"), plot = dir.File("run.plt");
  const std::vector<int32_t> dates = ConsecutiveDates(96010101, kHours);
  // Values in no order of time, so that calm hours fall among the highest.
  auto value = [](int h, int r) { return 0.001 * ((h * 7919 + r * 104729) % 997) + 0.0001234567; };
  WritePost(post, dates, true, value);
  WriteSamplePlotFile(plot, SampleGrid(kReceptors));
  const std::string out = RunList(dir, post, plot, TPath::Ranked, nullptr, met);
  const std::string ranked = test::ReadAll(out + "/P98.PLT");
  EXPECT_EQ(test::ReadAll(RunList(dir, post, plot, TPath::RankedStreamed, nullptr, met) + "/P98.PLT"), ranked);
  TPlotFile result = TPlotFile::Read(out + "/P98.PLT");
  const int conc = result.FieldIndex("conc");
  int calm = 0;
  for (int32_t d : dates) calm += !usable.IsExist(d);
  ASSERT_GT(calm, 10);  // enough calm hours to move the 98th percentile
  int moved = 0;
  for (int r = 0; r < kReceptors; ++r) {
    std::vector<float> v, all;
    for (int h = 0; h < kHours; ++h) {
      all.push_back(static_cast<float>(value(h, r)));
      v.push_back(usable.IsExist(dates[static_cast<size_t>(h)]) ? all.back() : 0.0f);
    }
    std::sort(v.begin(), v.end(), std::greater<>());
    std::sort(all.begin(), all.end(), std::greater<>());
    // N = 300 and P = 98: x = 6 falls on rank 6 exactly.
    EXPECT_NEAR(result.AsFloat(r, conc), v[5], 6e-6) << r;  // five decimals in the PLOTFILE
    moved += v[5] != all[5];
  }
  EXPECT_GT(moved, 0);  // the calm hours made a difference
}

}  // namespace
}  // namespace zorvik
