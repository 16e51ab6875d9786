#include "rolling/RollingWindowLogic.h"

#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

#include "support/TestSupport.h"
#include "support/FakeUserDialogs.h"

namespace zorvik {
namespace {

using test::FakeEditor;
using test::FakeMessages;

struct FakeBrowser : IFolderBrowser {
  std::optional<std::string> answer;
  std::optional<std::string> BrowseForFolder() override { return answer; }
};

// The window's controls as plain values, with a POST, a PLOT and a met file on disk.
struct Window {
  test::TempDir dir;
  std::string existingPost = dir.File("run.pos");
  std::string existingPlot = dir.File("plots/run.plt");
  std::string existingMet = dir.File("run.sfc");
  std::string post, plot, met;
  bool single = false;
  int panelWidth = 1000;
  FakeMessages messages;
  FakeEditor editor;
  FakeBrowser browser;
  std::vector<TRollingRunParams> runs;
  TRollingWindowLogic logic;

  Window()
      : logic(TRollingWindowControls{[this] { return post; }, [this] { return plot; }, [this] { return met; },
                                     [this] { return single; },
                                     [](std::string_view t) { return static_cast<int>(t.size()); },
                                     [this] { return panelWidth; }, nullptr},
              TRollingWindowServices{&messages, &browser, &editor, [this](const TRollingRunParams& p) {
                                       runs.push_back(p);
                                       return std::vector<std::string>{};
                                     }}) {
    std::filesystem::create_directories(dir.File("plots"));
    for (const std::string& f : {existingPost, existingPlot, existingMet}) test::WriteAll(f, "x");
    logic.FormCreate();
  }
  void NameInputs() {
    post = existingPost;
    plot = existingPlot;
  }
};

TEST(RollingWindowLogicTest, StartsEmpty) {
  Window w;
  EXPECT_FALSE(w.logic.RunEnabled());
  EXPECT_TRUE(w.logic.PeriodBoxesEnabled());
  EXPECT_FALSE(w.logic.MeteoSelectorEnabled());
  EXPECT_TRUE(w.logic.FileList().empty());
  EXPECT_EQ(w.logic.OutPath(), "");
  EXPECT_EQ(w.logic.ShownOutPath(), "");
}

TEST(RollingWindowLogicTest, RunNeedsBothFilesAPeriodAndARank) {
  struct Case {
    const char* name;
    bool post, plot, period, rank;
    bool enabled;
  } cases[] = {
      {"AllThere", true, true, true, true, true},  {"NoPost", false, true, true, true, false},
      {"NoPlot", true, false, true, true, false},  {"NoPeriod", true, true, false, true, false},
      {"NoRank", true, true, true, false, false},
  };
  for (const Case& c : cases) {
    Window w;
    w.post = c.post ? w.existingPost : w.dir.File("missing.pos");
    w.plot = c.plot ? w.existingPlot : w.dir.File("missing.plt");
    w.logic.chk8hClick(c.period);
    w.logic.chkHighClick(1, c.rank);
    EXPECT_EQ(w.logic.RunEnabled(), c.enabled) << c.name;
  }
}

TEST(RollingWindowLogicTest, EightHoursFirstHigh) {
  Window w;
  w.NameInputs();
  w.logic.chk8hClick(true);
  w.logic.chkHighClick(1, true);
  EXPECT_TRUE(w.logic.RunEnabled());
  EXPECT_EQ(w.logic.FileList(), std::vector<std::string>{"RA08_1ST.PLT"});  // no output folder: bare names
  w.logic.btnRestoreClick();
  EXPECT_EQ(w.logic.OutPath(), w.dir.File(""));
  EXPECT_EQ(w.logic.FileList(), std::vector<std::string>{w.dir.File("RA08_1ST.PLT")});
}

TEST(RollingWindowLogicTest, ListInPeriodThenRankOrder) {
  Window w;
  w.post = w.existingPost;
  w.logic.chkHighClick(5, true);
  w.logic.chk24hClick(true);
  w.logic.chkHighClick(2, true);
  w.logic.chk3hClick(true);
  w.logic.chk8hClick(true);
  w.logic.chk8hClick(false);
  w.logic.chkHighClick(6, true);
  w.logic.chkHighClick(6, false);
  EXPECT_EQ(w.logic.FileList(),
            (std::vector<std::string>{"RA03_2ND.PLT", "RA03_5TH.PLT", "RA24_2ND.PLT", "RA24_5TH.PLT"}));
  EXPECT_EQ(w.logic.AverageValues(), (TAverageValues{TAverageValue::hr_3, TAverageValue::hr_24}));
  EXPECT_EQ(w.logic.HighValues(), (THighValues{THighValue::high_2, THighValue::high_5}));
}

TEST(RollingWindowLogicTest, EmptyPostSelectorEmptiesTheList) {
  Window w;
  w.plot = w.existingPlot;
  w.logic.chk3hClick(true);
  w.logic.chkHighClick(3, true);
  EXPECT_TRUE(w.logic.FileList().empty());
  w.post = w.existingPost;
  w.logic.chkHighClick(4, true);
  EXPECT_EQ(w.logic.FileList(), (std::vector<std::string>{"RA03_3RD.PLT", "RA03_4TH.PLT"}));
  w.post.clear();
  w.logic.btnRestoreClick();
  EXPECT_TRUE(w.logic.FileList().empty());
  EXPECT_EQ(w.logic.OutPath(), "");
}

TEST(RollingWindowLogicTest, RunStateOnlyFollowsCheckBoxClicks) {
  Window w;
  w.logic.chk24hClick(true);
  w.logic.chkHighClick(1, true);
  w.NameInputs();  // files chosen after the boxes were ticked
  w.logic.btnRestoreClick();
  EXPECT_FALSE(w.logic.RunEnabled());
  w.logic.chkHighClick(2, true);
  EXPECT_TRUE(w.logic.RunEnabled());

  w.logic.SetMeteoFile(true);  // met file asked for, none named
  EXPECT_TRUE(w.logic.MeteoSelectorEnabled());
  EXPECT_FALSE(w.logic.RunEnabled());
  w.met = w.existingMet;
  EXPECT_FALSE(w.logic.RunEnabled());
  w.logic.chk3hClick(true);
  EXPECT_TRUE(w.logic.RunEnabled());
  w.met = w.dir.File("missing.sfc");
  w.logic.chk3hClick(false);
  EXPECT_FALSE(w.logic.RunEnabled());
  w.logic.SetMeteoFile(false);
  EXPECT_TRUE(w.logic.RunEnabled());
}

TEST(RollingWindowLogicTest, OutputFolder) {
  Window w;
  w.post = w.existingPost;
  w.logic.chk8hClick(true);
  w.logic.chkHighClick(2, true);

  w.browser.answer = std::nullopt;  // cancelled
  w.logic.btnOpenClick();
  EXPECT_EQ(w.logic.OutPath(), "");

  w.browser.answer = "/home/user/data/out";
  w.logic.btnOpenClick();
  EXPECT_EQ(w.logic.OutPath(), "/home/user/data/out/");
  EXPECT_EQ(w.logic.ShownOutPath(), "/home/user/data/out");
  EXPECT_EQ(w.logic.FileList(), std::vector<std::string>{"/home/user/data/out/RA08_2ND.PLT"});

  // 19 characters; a panel of 23 leaves 18.
  w.panelWidth = 24;
  w.logic.ShowOutPath();
  EXPECT_EQ(w.logic.ShownOutPath(), "/home/user/data/out");
  w.panelWidth = 23;
  w.logic.ShowOutPath();
  EXPECT_EQ(w.logic.ShownOutPath(), "/.../user/data/out");
}

TEST(RollingWindowLogicTest, DoubleClickOnAListedName) {
  Window w;
  w.NameInputs();
  w.logic.chk8hClick(true);
  w.logic.chkHighClick(1, true);
  w.logic.chkHighClick(2, true);

  w.logic.lbFilenamesDblClick(-1);  // nothing selected
  w.logic.lbFilenamesDblClick(2);
  EXPECT_TRUE(w.messages.shown.empty());

  w.logic.lbFilenamesDblClick(0);  // before the run
  ASSERT_EQ(w.messages.shown.size(), 1u);
  EXPECT_EQ(w.messages.shown[0].first, "File will not exist until rolling average is computed");
  EXPECT_EQ(w.messages.shown[0].second, TMsgDlgType::mtInformation);
  EXPECT_TRUE(w.editor.opened.empty());

  // No output folder: the run writes next to the PLOT file, and that is the file opened.
  test::WriteAll(w.dir.File("plots/RA08_2ND.PLT"), "written");
  w.logic.lbFilenamesDblClick(1);
  EXPECT_EQ(w.editor.opened, std::vector<std::string>{w.dir.File("plots/RA08_2ND.PLT")});

  // With an output folder the listed name is the file.
  w.browser.answer = w.dir.File("plots");
  w.logic.btnOpenClick();
  w.logic.lbFilenamesDblClick(1);
  ASSERT_EQ(w.editor.opened.size(), 2u);
  EXPECT_EQ(w.editor.opened[1], w.dir.File("plots/RA08_2ND.PLT"));
  EXPECT_EQ(w.messages.shown.size(), 1u);
}

TEST(RollingWindowLogicTest, RunParameters) {
  Window w;
  w.NameInputs();
  w.met = w.existingMet;
  w.single = true;
  w.logic.chk3hClick(true);
  w.logic.chk24hClick(true);
  w.logic.chkHighClick(6, true);
  w.logic.btnRunClick();
  ASSERT_EQ(w.runs.size(), 1u);
  const TRollingRunParams& p = w.runs[0];
  EXPECT_EQ(p.PostFile, w.existingPost);
  EXPECT_EQ(p.PlotFile, w.existingPlot);
  EXPECT_EQ(p.MeteoFile, "");  // the met selector is disabled
  EXPECT_EQ(p.OutputFolder, "");
  EXPECT_FALSE(p.DoublePrecision);
  EXPECT_EQ(p.Periods, (TAverageValues{TAverageValue::hr_3, TAverageValue::hr_24}));
  EXPECT_EQ(p.Ranks, THighValues{THighValue::high_6});
  EXPECT_FALSE(p.Blocks);

  w.logic.SetMeteoFile(true);
  w.single = false;
  w.logic.btnRestoreClick();
  w.logic.btnRunClick();
  ASSERT_EQ(w.runs.size(), 2u);
  EXPECT_EQ(w.runs[1].MeteoFile, w.existingMet);
  EXPECT_TRUE(w.runs[1].DoublePrecision);
  EXPECT_EQ(w.runs[1].OutputFolder, w.dir.File(""));
}

TEST(RollingWindowLogicTest, FailedRunNamesTheWindow) {
  Window w;
  w.NameInputs();
  TRollingWindowControls controls;
  controls.PostFileName = [&] { return w.post; };
  controls.PlotFileName = [&] { return w.plot; };
  TRollingWindowServices services;
  services.Run = [](const TRollingRunParams&) -> std::vector<std::string> { throw std::runtime_error("disk full"); };
  TRollingWindowLogic failing(controls, services);
  failing.FormCreate();
  try {
    failing.btnRunClick();
    FAIL() << "no error";
  } catch (const std::exception& e) {
    EXPECT_NE(std::string(e.what()).find("disk full"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("TpercRollingAvg.GeneratePlotFiles"), std::string::npos) << e.what();
  }
  // Still usable afterwards.
  failing.chk8hClick(true);
  failing.chkHighClick(1, true);
  EXPECT_TRUE(failing.RunEnabled());
}

TEST(RollingWindowLogicTest, ActivateButtonsGuardsAgainstReentry) {
  int reads = 0;
  bool failOnce = true;
  std::string post = "/nonexistent/run.pos";
  TRollingWindowLogic* self = nullptr;
  TRollingWindowControls controls;
  controls.PostFileName = [&] {
    ++reads;
    if (failOnce) {
      failOnce = false;
      throw std::runtime_error("read failed");
    }
    self->ActivateButtons();  // re-entry is ignored
    return post;
  };
  TRollingWindowLogic logic(controls, {});
  self = &logic;
  EXPECT_THROW(logic.ActivateButtons(), std::runtime_error);
  reads = 0;
  logic.ActivateButtons();  // the guard was cleared by the failure
  EXPECT_EQ(reads, 2);      // the list and the Run button, no more
}

}  // namespace
}  // namespace zorvik
