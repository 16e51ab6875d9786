// The index read alongside the run: every framing and precision a model writes gives its hour count from the
// file's size, and the run streamed gives the same PLOTFILEs as the run that reads the index first.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/HourIndex.h"
#include "engine/PostPercent.h"
#include "plotfile/SamplePlotFile.h"
#include "post/PostFileWriter.h"
#include "support/TestSupport.h"

namespace zorvik {
namespace {

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
    EXPECT_EQ(StandardHourCount(post, {TPostOutType::poConc}, c.doublePrecision), kHours);

    std::string first;
    for (auto stream : {TReceptorListSettings::TStreamIndex::Never, TReceptorListSettings::TStreamIndex::Always}) {
      const std::string out = dir.File(stream == TReceptorListSettings::TStreamIndex::Never ? "read" : "streamed");
      std::filesystem::create_directories(out);
      TReceptorListSettings s;
      s.PlotFile = plot;
      s.PostFile = post;
      s.PlotPath = out + "/";
      s.DoublePrecision = c.doublePrecision;
      s.StreamIndex = stream;
      TPrReceptorList list(std::move(s));
      EXPECT_EQ(list.IndexPending(), stream == TReceptorListSettings::TStreamIndex::Always);
      std::vector<TPercentItem> items(2);
      items[0].Percent = 98.0;
      items[0].PlotName = "P98.PLT";
      items[1].Percent = 50.0;
      items[1].PlotName = "P50.PLT";
      for (auto& item : items) item.GroupName = list.GroupName();
      list.Execute(items);
      const std::string result = test::ReadAll(out + "/P98.PLT") + test::ReadAll(out + "/P50.PLT");
      ASSERT_FALSE(result.empty());
      if (first.empty())
        first = result;
      else
        EXPECT_EQ(result, first);
    }
  }
}

}  // namespace
}  // namespace zorvik
