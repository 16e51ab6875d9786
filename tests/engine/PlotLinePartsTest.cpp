// Result PLOTFILE lines composed from the receptors' shared parts and a file's own columns (its value, date,
// period and group) must be the lines the record path writes, byte for byte; a receptor with a value its
// column cannot print is left to the record path, which reports it with its line.
#include <fmt/format.h>
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "engine/EngineOptions.h"
#include "engine/PlotFileWriters.h"
#include "engine/PlotLineParts.h"
#include "engine/PlotRecords.h"
#include "engine/PostPercent.h"
#include "plotfile/PlotFile.h"
#include "post/PostFileWriter.h"
#include "records/AttributeCollection.h"
#include "support/TestSupport.h"

namespace zorvik {
namespace {

using test::TempDir;

constexpr int kCraftedReceptors = 4;

// A PLOTFILE with count and text columns, blanks and a -0 coordinate; receptor `unwritable` (none when -1) has a
// date-year text that its integer format cannot print.
std::string CraftedPlotFile(const TempDir& dir, int unwritable = -1, int receptors = kCraftedReceptors) {
  const std::string file = dir.File(fmt::format("crafted{}-{}.plt", receptors, unwritable));
  TAttributeCollectionRef header("header");
  header.DefineString("header1", "CRAFTED");
  header.DefineString("plot options", "CONC ELEV");
  header.DefineString("header2", "PLOT FILE OF  HIGH   1ST HIGH  1-HR VALUES FOR SOURCE GROUP: ALL");
  header.DefineInteger("mumreceptors", receptors);
  TAttributeCollectionRef fields("fields");
  for (const char* key : {"xloc", "yloc", "conc", "elev", "hill", "flag"}) fields.DefineFloat(key, 0.0);
  fields.DefineString("period", "");
  fields.DefineString("sgroup", "");
  fields.DefineInteger("hnum", 0);
  fields.DefineString("netid", "");
  fields.DefineString("dateyr", "");
  fields.DefineString("rank", "");
  fields.DefineString("date", "");
  TPcntPlotFileWriter writer(file);
  writer.ProcessBegin(header, fields);
  for (int i = 0; i < receptors; ++i) {
    fields.ByName("xloc")->SetAsFloat(i == 1 ? -0.0 : 500000.0 + 100 * i);
    fields.ByName("yloc")->SetAsFloat(4100000.0);
    fields.ByName("conc")->SetAsFloat(1.5 * i);
    fields.ByName("elev")->SetAsFloat(100.25 + i);
    fields.ByName("period")->SetAsString("1-HR");
    fields.ByName("sgroup")->SetAsString("ALL");
    fields.ByName("hnum")->SetAsInteger(8760 - i);
    if (i == 3) fields.ByName("netid")->Clear(); else fields.ByName("netid")->SetAsString("GRID1");
    fields.ByName("dateyr")->SetAsString("16010124");
    fields.ByName("rank")->SetAsString("1ST");
    fields.ByName("date")->SetAsString("16070815");
    writer.ProcessRecord(fields);
  }
  TAttributeCollectionRef footer("footer");
  writer.ProcessFinish(footer);
  if (unwritable >= 0) {
    std::string text = test::ReadAll(file);
    const std::string dateYear = "16010124";
    size_t at = 0;
    for (int k = 0; k <= unwritable; ++k) at = text.find(dateYear, at + (k ? 1 : 0));
    text.replace(at, dateYear.size(), "   JAN90");
    test::WriteAll(file, text);
  }
  return file;
}

// Writes every receptor of `plot` with a value, a date (none on every third) and the texts of a result file
// (every seventh receptor with none of them: its line is there only for the PLOTFILE's own columns), once
// through the record path and once composed from the parts; returns the two files' texts.
std::pair<std::string, std::string> BothWays(const TPlotFile& plot, const TempDir& dir) {
  auto header = CloneAs(plot.Header());
  header->DefineString("header2", "PLOT FILE OF 98.00TH PERCENTILE 1-HR VALUES FOR SOURCE GROUP: ALL");
  auto fields = ResultPlotFields(plot.Fields(), TPostOutTypes{TPostOutType::poConc}, {"period", "sgroup", "date"});
  TPcntPlotFileWriter byRecord(dir.File("record.plt")), composed(dir.File("composed.plt"));
  byRecord.ProcessBegin(*header, *fields);
  composed.ProcessBegin(*header, *fields);
  std::vector<Tplotcolumn> filled;
  for (const Tplotcolumn c : composed.Columns())
    for (std::string_view key : {"conc", "date", "period", "sgroup"})
      if (PlotColumnInfo(c).Key == key) filled.push_back(c);
  TPlotRecords records(plot), partsRecords(plot);
  const TPlotLineParts& parts = partsRecords.LineParts(composed, filled, 0, plot.ReceptorCount());
  for (int i = 0; i < plot.ReceptorCount(); ++i) {
    TAttributeCollectionRef& record = records.Record(i);
    record.DefineFloat("conc", i % 5 == 4 ? 0.0 : 1234.56789 / (i + 1));
    record.DefineString("date", i % 3 == 2 ? "" : std::to_string(96010101 + i));
    if (i % 3 == 2) record.ByName("date")->Clear();
    record.DefineString("period", "24-HR");
    record.DefineString("sgroup", "ALL");
    if (i % 7 == 6)
      for (std::string_view key : {"conc", "date", "period", "sgroup"}) record.ByName(key)->Clear();
    byRecord.ProcessRecord(record);
    if (!parts.Composable(i)) {
      composed.ProcessRecord(record);
      continue;
    }
    bool hasValue = parts.HasValue(i);
    std::string line(parts.Segment(i, 0));
    for (size_t k = 0; k < filled.size(); ++k) {
      EXPECT_TRUE(composed.AppendColumn(line, filled[k], record.ByName(PlotColumnInfo(filled[k]).Key), hasValue));
      line += parts.Segment(i, k + 1);
    }
    if (hasValue) composed.WriteLine(line);
  }
  TAttributeCollectionRef footer("footer");
  byRecord.ProcessFinish(footer);
  composed.ProcessFinish(footer);
  return {test::ReadAll(dir.File("record.plt")), test::ReadAll(dir.File("composed.plt"))};
}

// Runs the engine on a project, with one PLOTFILE per percentile ("P98.PLT" ...) into outDir.
void RunPercentiles(const std::string& post, const std::string& plot, const std::string& outDir, int threads,
                    const std::vector<double>& percentiles) {
  TReceptorListSettings s;
  s.PlotFile = plot;
  s.PostFile = post;
  s.PlotPath = outDir + "/";
  s.MaxThreads = threads;
  std::filesystem::create_directories(outDir);
  TPrReceptorList list(std::move(s));
  std::vector<TPercentItem> items;
  for (double p : percentiles) {
    TPercentItem item;
    item.Percent = p;
    item.PlotName = fmt::format("P{}.PLT", static_cast<int>(p));
    item.GroupName = "ALL";
    items.push_back(item);
  }
  list.Execute(items);
}

// A percentile writer that writes every line through its receptor's record, as ProcessRecord writes it.
class TRecordPathWriter : public TPlotFileWriter {
 public:
  using TPlotFileWriter::TPlotFileWriter;
  void Write(TReceptorItems& receptors, int start, int count, TPlotRecords& records) override {
    for (int i = start; i < start + count; ++i) {
      TAttributeCollectionRef& record = records.Record(i);
      SetLineData(*receptors[static_cast<size_t>(i)], record);
      WriteRecord(record);
    }
  }
  void WriteOnThreads(TReceptorItems& receptors, int start, int count, const TPlotFile& plot, int) override {
    TPlotRecords records(plot);
    Write(receptors, start, count, records);
  }
  bool CanWriteInParallel() const override { return false; }
};

class TRecordPathList : public TPrReceptorList {
 public:
  using TPrReceptorList::TPrReceptorList;

 protected:
  void CreatePlotWriters(const std::vector<TPercentItem>& data) override {
    fPlotWriters.clear();
    for (const TPercentItem& item : data)
      fPlotWriters.push_back(std::make_unique<TRecordPathWriter>(PlotPath, item, *fHeader, *fFields, FPost,
                                                                 fUseInterpolation));
  }
};

// The engine's lines, composed from the parts and each file's values, dates and texts, are those its records
// give: for concentrations and depositions (the date of the last type), percentiles with and without a date and
// high values, interpolated or not.
TEST(PlotLinePartsTest, EngineLinesAreThoseOfTheirRecords) {
  TempDir dir;
  struct Run {
    std::string post, plot;
  };
  std::vector<Run> runs;
  TPostFileLayout layout;
  layout.Receptors = 300;
  WritePostFile(dir.File("run.pos"), layout, 96010101, 200, [](int h, int, int r) { return 0.37 * ((h * 13 + r) % 17); });
  runs.push_back({dir.File("run.pos"), CraftedPlotFile(dir, -1, 300)});
  if (const std::string post = test::FixtureFile("depos/depos.pos"); !post.empty())
    runs.push_back({post, test::FixtureFile("depos/depos.plt")});
  for (const Run& run : runs)
    for (const bool interpolation : {true, false}) {
      std::vector<std::string> texts;
      for (const bool byRecord : {false, true}) {
        TReceptorListSettings s;
        s.PlotFile = run.plot;
        s.PostFile = run.post;
        const std::string out = dir.File(fmt::format("out-{}-{}-{}", runs.size(), interpolation, byRecord));
        std::filesystem::create_directories(out);
        s.PlotPath = out + "/";
        s.MaxThreads = 2;
        s.UseInterpolation = interpolation;
        std::unique_ptr<TPrReceptorList> list = byRecord ? std::make_unique<TRecordPathList>(std::move(s))
                                                         : std::make_unique<TPrReceptorList>(std::move(s));
        std::vector<TPercentItem> items(4);
        for (size_t k = 0; k < items.size(); ++k) {
          items[k].PlotName = fmt::format("F{}.PLT", k);
          items[k].GroupName = k == 1 ? "" : "ALL";
        }
        items[0].Percent = 98.0;
        items[1].Percent = 50.0;
        items[2].Percent = 99.5;
        items[3].HighValue = 2;
        list->Execute(items);
        std::string text;
        for (const TPercentItem& item : items) text += test::ReadAll(out + "/" + item.PlotName);
        texts.push_back(text);
      }
      EXPECT_GT(texts[0].size(), 5000u);
      EXPECT_EQ(texts[0], texts[1]) << run.post << " interpolation " << interpolation;
    }
}

TEST(PlotLinePartsTest, ComposedLinesAreTheRecordPathsByteForByte) {
  TempDir dir;
  std::vector<std::string> files = {CraftedPlotFile(dir)};
  for (const char* fixture : {"disc36/disc36.plt", "depos/depos.plt", "grid144/grid144.plt"})
    if (const std::string file = test::FixtureFile(fixture); !file.empty()) files.push_back(file);
  for (const std::string& file : files) {
    const TPlotFile plot = TPlotFile::Read(file);
    const auto [byRecord, composed] = BothWays(plot, dir);
    EXPECT_GT(byRecord.size(), 0u);
    EXPECT_EQ(composed, byRecord) << file;
  }
}

// One file's lines composed a part of the receptors on each thread, and two files written side by side a piece of
// receptors at a time, come out as those written on one thread.
TEST(PlotLinePartsTest, FilesComposedOnThreadsAreTheSameAsOnOne) {
  TempDir dir;
  constexpr int kReceptors = 5000;
  TPostFileLayout layout;
  layout.Receptors = kReceptors;
  WritePostFile(dir.File("run.pos"), layout, 96010101, 48, [](int h, int, int r) { return 0.25 * ((h * 7 + r) % 11); });
  const std::string plot = CraftedPlotFile(dir, -1, kReceptors);
  for (const std::vector<double>& percentiles : {std::vector<double>{98.0}, std::vector<double>{98.0, 90.0}}) {
    std::vector<std::string> texts;
    for (int threads : {1, 2}) {
      const std::string out = dir.File(fmt::format("t{}-{}", threads, percentiles.size()));
      RunPercentiles(dir.File("run.pos"), plot, out, threads, percentiles);
      std::string text;
      for (const double p : percentiles) text += test::ReadAll(fmt::format("{}/P{}.PLT", out, static_cast<int>(p)));
      texts.push_back(text);
    }
    EXPECT_GT(texts[0].size(), percentiles.size() * 5000u * 100u);
    EXPECT_EQ(texts[1], texts[0]) << percentiles.size();
  }
}

TEST(PlotLinePartsTest, AValueItsColumnCannotPrintIsLeftToTheRecordPath) {
  TempDir dir;
  const TPlotFile plot = TPlotFile::Read(CraftedPlotFile(dir, 2));
  TPcntPlotFileWriter writer(dir.File("out.plt"));
  auto header = CloneAs(plot.Header());
  writer.ProcessBegin(*header, *ResultPlotFields(plot.Fields(), TPostOutTypes{TPostOutType::poConc}, {"date"}));
  TPlotRecords records(plot);
  const TPlotLineParts& parts = records.LineParts(writer, {}, 0, kCraftedReceptors);
  for (int i = 0; i < kCraftedReceptors; ++i) EXPECT_EQ(parts.Composable(i), i != 2) << i;

  // Through the engine the run fails on that receptor's line, whether the files share the work (two
  // percentiles) or one file's lines are composed a part on each thread (the receptor in either part), and
  // leaves no file.
  struct Case {
    int receptors, unwritable;
    std::vector<double> percentiles;
  };
  for (const Case& c : {Case{kCraftedReceptors, 2, {98.0, 90.0}}, Case{5000, 4000, {98.0}}, Case{5000, 10, {98.0}},
                        Case{5000, 3000, {98.0, 90.0}}}) {
    const std::string name = fmt::format("{}-{}", c.receptors, c.unwritable);
    TPostFileLayout layout;
    layout.Receptors = c.receptors;
    WritePostFile(dir.File(name + ".pos"), layout, 96010101, 48, [](int h, int, int r) { return 0.5 * (h % 7) + r % 5; });
    const std::string plotFile = CraftedPlotFile(dir, c.unwritable, c.receptors), out = dir.File("out" + name);
    // Eight header lines come before the first receptor's.
    const std::string where = fmt::format(", line {}: the DATE YR value \"JAN90\" cannot be written", 9 + c.unwritable);
    EXPECT_NE(test::ErrorOf([&] { RunPercentiles(dir.File(name + ".pos"), plotFile, out, 2, c.percentiles); }).find(where),
              std::string::npos)
        << name;
    EXPECT_TRUE(std::filesystem::is_empty(out)) << name;
  }
}

}  // namespace
}  // namespace zorvik
