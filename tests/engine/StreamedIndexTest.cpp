// The index read alongside the run: every framing and precision a model writes gives its hour count from the
// file's size, and the run streamed, read through the page cache or past it, gives the same PLOTFILEs as the run
// that reads the index first.
#include <gtest/gtest.h>

#include <fmt/format.h>

#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "engine/HourIndex.h"
#include "engine/PostPercent.h"
#include "engine/RecordRing.h"
#include "plotfile/SamplePlotFile.h"
#include "post/PostFileWriter.h"
#include "support/TestSupport.h"

namespace zorvik {
namespace {

// Writes P98.PLT and P50.PLT.
void ExecuteP98AndP50(TPrReceptorList& list) {
  std::vector<TPercentItem> items(2);
  items[0].Percent = 98.0;
  items[0].PlotName = "P98.PLT";
  items[1].Percent = 50.0;
  items[1].PlotName = "P50.PLT";
  for (auto& item : items) item.GroupName = list.GroupName();
  list.Execute(items);
}

// A POSTFILE of `hours` hours, the same with a value that cannot be read (at hour badHour, receptor badReceptor),
// and their PLOTFILE, in `dir`.
struct TRunFiles {
  std::string post, bad, plot;
};
TRunFiles WriteRunFiles(const test::TempDir& dir, const TPostFileLayout& layout, int hours, int badHour,
                        int badReceptor) {
  const TRunFiles files{dir.File("run.pos"), dir.File("bad.pos"), dir.File("run.plt")};
  const auto value = [](int h, int, int r) { return ((h * 7919 + r * 104729) % 9973) * 0.001 + 0.0001234567; };
  WritePostFile(files.post, layout, 96010101, hours, value);
  WritePostFile(files.bad, layout, 96010101, hours, [&](int h, int t, int r) {
    return h == badHour && r == badReceptor ? std::numeric_limits<double>::infinity() : value(h, t, r);
  });
  WriteSamplePlotFile(files.plot, SampleGrid(layout.Receptors));
  return files;
}

// Every run after the first must give the first one's result and error.
void ExpectAsFirst(std::string& first, std::string& firstError, const std::string& result, const std::string& error) {
  if (first.empty()) {
    first = result;
    firstError = error;
    return;
  }
  EXPECT_EQ(result, first);
  EXPECT_EQ(error, firstError);
}

TEST(StreamedIndexTest, EveryFramingStreamsToTheSameResult) {
  struct Case {
    const char* name;
    TPostFraming framing;
    bool doublePrecision;
    int receptors;
  } cases[] = {
      {"standard, double", TPostFraming::pfStandard, true, 7},
      {"standard, single", TPostFraming::pfStandard, false, 7},
      {"Tarvo header, double", TPostFraming::pfTarvo, true, 7},
      {"Lahey, 1-byte markers", TPostFraming::pfLahey, false, 2},
      {"Lahey, 2-byte markers", TPostFraming::pfLahey, false, 20},
      {"Lahey, long records", TPostFraming::pfLahey, false, 3000},
  };
  constexpr int kHours = 400;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    const std::string post = dir.File("run.pos"), plot = dir.File("run.plt");
    TPostFileLayout layout;
    layout.Framing = c.framing;
    layout.DoublePrecision = c.doublePrecision;
    layout.Receptors = c.receptors;
    WritePostFile(post, layout, 96010101, kHours,
                  [](int h, int, int r) { return ((h * 7919 + r * 104729) % 997) * 0.001 + 0.0001234567; });
    WriteSamplePlotFile(plot, SampleGrid(c.receptors));
    EXPECT_EQ(StandardRecords(post, {TPostOutType::poConc}, c.doublePrecision).Hours, kHours);

    std::string first;
    for (auto stream : {TReceptorListSettings::TStreamIndex::Never, TReceptorListSettings::TStreamIndex::Always,
                        TReceptorListSettings::TStreamIndex::AlwaysPastCache,
                        TReceptorListSettings::TStreamIndex::AlwaysShared}) {
      const std::string out = dir.File("run" + std::to_string(static_cast<int>(stream)));
      std::filesystem::create_directories(out);
      TReceptorListSettings s;
      s.PlotFile = plot;
      s.PostFile = post;
      s.PlotPath = out + "/";
      s.DoublePrecision = c.doublePrecision;
      s.StreamIndex = stream;
      TPrReceptorList list(std::move(s));
      EXPECT_EQ(list.IndexPending(), stream != TReceptorListSettings::TStreamIndex::Never);
      ExecuteP98AndP50(list);
      const std::string result = test::ReadAll(out + "/P98.PLT") + test::ReadAll(out + "/P50.PLT");
      ASSERT_FALSE(result.empty());
      if (first.empty())
        first = result;
      else
        EXPECT_EQ(result, first);
    }
  }
}

// A file several times the ring's buffers, read past the page cache: one chunk goes through the ring (its
// buffers read again and again), several chunks through the cache, a value that cannot be read gives the same
// error either way, and every run gives the same PLOTFILEs.
TEST(StreamedIndexTest, ReadPastTheCacheGivesTheSameResultsAndErrors) {
  using TStreamIndex = TReceptorListSettings::TStreamIndex;
  constexpr int kReceptors = 3000, kHours = 2600;  // 31 MB of single-precision values
  test::TempDir dir;
  TPostFileLayout layout;
  layout.DoublePrecision = false;
  layout.Receptors = kReceptors;
  const auto [post, bad, plot] = WriteRunFiles(dir, layout, kHours, 2345, 2999);
  // The settings of a run over the single-precision files of this test, writing into `out`.
  const auto settings = [](const std::string& plotFile, const std::string& postFile, const std::string& out,
                           TStreamIndex stream) {
    TReceptorListSettings s;
    s.PlotFile = plotFile;
    s.PostFile = postFile;
    s.PlotPath = out;
    s.DoublePrecision = false;
    s.StreamIndex = stream;
    return s;
  };

  // A run read from a ring that is cancelled halfway through its hours stops, and leaves nothing waiting.
  for (const TStreamIndex stream : {TStreamIndex::AlwaysPastCache, TStreamIndex::AlwaysShared}) {
    TReceptorListSettings s = settings(plot, post, dir.File(""), stream);
    s.OnProgress = [](const void*, TProgressStatusInfo& info) {
      if (info.cbIterState == Tcb_iterState::cb_iteration && info.cbIter >= kHours / 2) info.abortOp = true;
    };
    TPrReceptorList list(std::move(s));
    ExecuteP98AndP50(list);
    EXPECT_TRUE(list.Aborted());
    EXPECT_FALSE(std::filesystem::exists(dir.File("P98.PLT")));
  }

  // A list whose PLOTFILE does not fit the POSTFILE fails in its constructor, while the index is being read from
  // a ring that no worker will read: it must raise that error, not wait on the ring.
  const std::string otherPlot = dir.File("other.plt");
  WriteSamplePlotFile(otherPlot, SampleGrid(kReceptors - 1));
  for (const TStreamIndex stream : {TStreamIndex::AlwaysPastCache, TStreamIndex::AlwaysShared}) {
    const std::string error =
        test::ErrorOf([&] { TPrReceptorList list(settings(otherPlot, post, dir.File(""), stream)); });
    EXPECT_NE(error.find("run.pos"), std::string::npos) << error;
  }

  struct Run {
    TStreamIndex stream;
    int64_t memory;  // bytes; 0: no cap
  } runs[] = {{TStreamIndex::Never, 0},
              {TStreamIndex::AlwaysPastCache, 0},
              {TStreamIndex::AlwaysPastCache, 4 << 20},
              {TStreamIndex::AlwaysShared, 0},
              {TStreamIndex::AlwaysShared, 4 << 20}};
  std::string first, firstError;
  for (const Run& run : runs) {
    const std::string name = fmt::format("mode {} memory {}", static_cast<int>(run.stream), run.memory);
    SCOPED_TRACE(name);
    const std::string out = dir.File(fmt::format("out{}-{}", static_cast<int>(run.stream), run.memory));
    std::filesystem::create_directories(out);
    auto execute = [&](const std::string& postFile, bool& pastCache) {
      TReceptorListSettings s = settings(plot, postFile, out + "/", run.stream);
      s.MemoryLimitBytes = run.memory;
      TPrReceptorList list(std::move(s));
      ExecuteP98AndP50(list);
      pastCache = list.ReadsPastCache();
    };
    bool pastCache = false;
    execute(post, pastCache);
    // One chunk is read past the cache where the file system allows it; several chunks never are.
    const bool direct = TRecordRing::Open(post, 0, 1, 1, 1) != nullptr;
    EXPECT_EQ(pastCache, run.stream == TStreamIndex::AlwaysPastCache && run.memory == 0 && direct);
    const std::string result = test::ReadAll(out + "/P98.PLT") + test::ReadAll(out + "/P50.PLT");
    ASSERT_FALSE(result.empty());
    const std::string error = test::ErrorOf([&] { execute(bad, pastCache); });
    EXPECT_NE(error.find("bad.pos"), std::string::npos) << error;
    ExpectAsFirst(first, firstError, result, error);
  }
}

// A file in the page cache whose records are long (more than a worker's slice of a few thousand receptors) is
// indexed alongside the run, and each worker's sample takes its hours where records of one size lie: the same
// PLOTFILE and the same error as the run that reads the index first.
TEST(StreamedIndexTest, LongRecordsInMemoryAreSampledWhereTheyLie) {
  using TStreamIndex = TReceptorListSettings::TStreamIndex;
  constexpr int kReceptors = 3000, kHours = 1200;  // records of 24 KB; enough hours for a sample
  test::TempDir dir;
  TPostFileLayout layout;
  layout.Receptors = kReceptors;
  const auto [post, bad, plot] = WriteRunFiles(dir, layout, kHours, 1100, 17);
  std::string first, firstError;
  for (const TStreamIndex stream : {TStreamIndex::Never, TStreamIndex::WhenCold}) {
    SCOPED_TRACE(static_cast<int>(stream));
    const std::string out = dir.File(fmt::format("out{}", static_cast<int>(stream)));
    std::filesystem::create_directories(out);
    const auto execute = [&](const std::string& postFile) {
      TReceptorListSettings s;
      s.PlotFile = plot;
      s.PostFile = postFile;
      s.PlotPath = out + "/";
      s.StreamIndex = stream;
      TPrReceptorList list(std::move(s));
      EXPECT_EQ(list.IndexPending(), stream == TStreamIndex::WhenCold);
      std::vector<TPercentItem> items(1);
      items[0].Percent = 98.0;
      items[0].PlotName = "P98.PLT";
      items[0].GroupName = list.GroupName();
      list.Execute(items);
    };
    execute(post);
    const std::string result = test::ReadAll(out + "/P98.PLT");
    ASSERT_FALSE(result.empty());
    const std::string error = test::ErrorOf([&] { execute(bad); });
    EXPECT_NE(error.find("bad.pos"), std::string::npos) << error;
    ExpectAsFirst(first, firstError, result, error);
  }
}

}  // namespace
}  // namespace zorvik
