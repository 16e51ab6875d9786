#include "controls/FileSelectLogic.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <utility>
#include <vector>

#include "support/TestSupport.h"
#include "support/FakeUserDialogs.h"

namespace zorvik {
namespace {

using B = TFileSelectButton;

using test::FakeEditor;
using test::FakeMessages;

// Confirms each scripted name in turn until the selector lets it close; cancels when the script runs out.
struct FakeDialog : IFileDialog {
  std::vector<std::string> confirmations;
  bool cancel = false;
  int shown = 0;
  TFileDialogRequest request;
  bool Execute(const TFileDialogRequest& r, const std::function<bool(const std::string&)>& closeRequest) override {
    ++shown;
    request = r;
    if (cancel) return false;
    for (const std::string& name : confirmations)
      if (closeRequest(name)) return true;
    return false;
  }
};

struct Fakes {
  FakeMessages messages;
  FakeEditor editor;
  FakeDialog dialog;
  TFileSelectServices Services() { return {&messages, &editor, &dialog}; }
};

// ---- layout ----

struct LayoutCase {
  const char* name;
  TFileSelectorProps props;
  int width, height;
  TSelectorRect open, view, restore, clear, panel;  // Left, Top, Width, Height
};

TFileSelectorProps Props(TFileSelectButtons buttons, auto&&... edits) {
  TFileSelectorProps p;
  p.Buttons = buttons;
  (edits(p), ...);
  return p;
}

void PrintTo(const LayoutCase& c, std::ostream* os) { *os << c.name; }

class SelectorLayoutTest : public testing::TestWithParam<LayoutCase> {};

TEST_P(SelectorLayoutTest, PlacesButtonsFromTheRight) {
  const LayoutCase& c = GetParam();
  const TSelectorLayout layout = ComputeSelectorLayout(c.width, c.height, c.props);
  const std::pair<B, TSelectorRect> expected[] = {
      {B::fsbOpen, c.open}, {B::fsbView, c.view}, {B::fsbRestore, c.restore}, {B::fsbClear, c.clear}};
  for (const auto& [button, rect] : expected) {
    SCOPED_TRACE(static_cast<int>(button));
    if (c.props.Buttons.Contains(button)) {
      EXPECT_EQ(layout.Button(button), rect);
    } else {
      EXPECT_GE(layout.Button(button).Left, c.width);  // out of sight
    }
  }
  EXPECT_EQ(layout.Panel, c.panel);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SelectorLayoutTest,
    testing::Values(
        // Open 513..538, Clear 486..511, panel 0..481.
        LayoutCase{"ClearAndOpen", Props({B::fsbClear, B::fsbOpen}), 538, 25,
                   {513, 0, 25, 25}, {}, {}, {486, 0, 25, 25}, {0, 0, 481, 25}},
        // x starts at 294: Open 264..294, View 242..262, Restore 218..240, Clear 192..216, panel 4..187.
        LayoutCase{"OwnWidthsMarginsAndCentred",
                   Props({B::fsbClear, B::fsbRestore, B::fsbView, B::fsbOpen},
                         [](TFileSelectorProps& p) {
                           p.BtnWidthSame = false;
                           p.BtnWidthOpen = 30, p.BtnWidthView = 20, p.BtnWidthRestore = 22, p.BtnWidthClear = 24;
                           p.BtnHeightMax = false, p.BtnHeight = 21;
                           p.PnlHeightMax = false, p.PnlHeight = 19;
                           p.MarginLeft = 4, p.MarginRight = 6;
                         }),
                   300, 25, {264, 2, 30, 21}, {242, 2, 20, 21}, {218, 2, 22, 21}, {192, 2, 24, 21},
                   {4, 3, 183, 19}},
        // Every button as wide as Open; View and Restore hidden leave no gap.
        LayoutCase{"SameWidths",
                   Props({B::fsbClear, B::fsbOpen},
                         [](TFileSelectorProps& p) { p.BtnWidthOpen = 30, p.BtnWidthClear = 10; }),
                   200, 25, {170, 0, 30, 25}, {}, {}, {138, 0, 30, 25}, {0, 0, 133, 25}},
        // No button: no 3-pixel gap either.
        LayoutCase{"NoButtons", Props({}, [](TFileSelectorProps& p) { p.MarginLeft = 5, p.MarginRight = 5; }), 100,
                   25, {}, {}, {}, {}, {5, 0, 90, 25}},
        // Buttons wider than the control: the panel is empty, not of negative width.
        LayoutCase{"TooNarrow", Props({B::fsbClear, B::fsbView, B::fsbOpen}), 40, 25,
                   {15, 0, 25, 25}, {-12, 0, 25, 25}, {}, {-39, 0, 25, 25}, {0, 0, 0, 25}}),
    [](const testing::TestParamInfo<LayoutCase>& info) { return info.param.name; });

// ---- enabling ----

struct EnablingCase {
  bool enabled, panelAlways, viewAlways;
  const char* name;
  TSelectorEnabling expected;  // Text, Clear, Restore, View, Open
};

TEST(FileSelectLogicTest, Enabling) {
  const EnablingCase cases[] = {
      {true, false, false, "a.pos", {true, true, true, true, true}},
      {true, false, false, "", {true, false, true, false, true}},
      {false, false, false, "a.pos", {false, false, false, false, false}},
      {false, true, false, "a.pos", {true, false, false, false, false}},
      {false, false, true, "a.pos", {false, false, false, true, false}},
      {false, false, true, "", {false, false, false, false, false}},
  };
  for (const EnablingCase& c : cases) {
    TFileSelectLogic logic;
    logic.SetFileName(c.name);
    logic.SetEnabled(c.enabled);
    logic.SetPanelAlwaysEnabled(c.panelAlways);
    logic.SetViewButtonAlwaysEnabled(c.viewAlways);
    EXPECT_EQ(logic.Enabling(), c.expected) << c.enabled << c.panelAlways << c.viewAlways << " '" << c.name << "'";
  }
}

TEST(FileSelectLogicTest, NameChangesAreAnnounced) {
  TFileSelectLogic logic;
  int changes = 0;
  logic.OnChange = [&] { ++changes; };
  logic.SetFileName("a.pos");
  logic.Clear();
  logic.SetEnabled(false);
  EXPECT_EQ(changes, 3);
}

// ---- file name and project folder ----

TEST(FileSelectLogicTest, FileNameAgainstProjectDir) {
  struct Case {
    const char* projectDir;
    const char* written;
    const char* relative;
    const char* full;
  } cases[] = {
      {"", "/proj/a/run.pos", "/proj/a/run.pos", "/proj/a/run.pos"},
      {"/proj/a", "/proj/a/run.pos", "run.pos", "/proj/a/run.pos"},
      {"/proj/a/", "/proj/b/run.pos", "../b/run.pos", "/proj/b/run.pos"},
      {"/proj/a/b/c", "/x/r.pos", "/x/r.pos", "/x/r.pos"},  // the relative form would be longer
      {"/proj/a", "", "", ""},                               // an empty name stays empty
  };
  for (const Case& c : cases) {
    TFileSelectorProps props;
    props.ProjectDir = c.projectDir;
    TFileSelectLogic logic(props);
    logic.SetFileName(c.written);
    EXPECT_EQ(logic.RelativeFileName(), c.relative) << c.projectDir << " " << c.written;
    EXPECT_EQ(logic.FileName(), c.full) << c.projectDir << " " << c.written;
    logic.SetRelativeFileName(c.written);
    EXPECT_EQ(logic.RelativeFileName(), c.relative);
  }
}

TEST(FileSelectLogicTest, LongNameShownShortenedWithWholeNameInHint) {
  TFileSelectLogic logic;
  logic.Hint = "POSTFILE|The binary POSTFILE";
  logic.SetFileName(R"(C:\alpha\beta\gamma\last.pos)");  // 28 characters, 7 pixels each: 196 pixels
  const TTextWidth sevenEach = [](std::string_view t) { return 7 * static_cast<int>(t.size()); };

  const TShownText whole = logic.ShownText(200, sevenEach);  // 196 pixels available
  EXPECT_EQ(whole.Text, R"(C:\alpha\beta\gamma\last.pos)");
  EXPECT_EQ(whole.Hint, "|POSTFILE|The binary POSTFILE");

  const TShownText shortened = logic.ShownText(199, sevenEach);
  EXPECT_EQ(shortened.Text, R"(C:\...\beta\gamma\last.pos)");
  EXPECT_EQ(shortened.Hint, R"(C:\alpha\beta\gamma\last.pos|POSTFILE|The binary POSTFILE)");
}

// ---- Clear and Restore ----

TEST(FileSelectLogicTest, ClearAsksItsHandler) {
  TFileSelectLogic logic;
  logic.SetFileName("a.pos");
  std::string seen;
  logic.OnClear = [&](const void*, bool& allow, std::string& name) {
    seen = name;
    allow = false;
  };
  logic.Clear();
  EXPECT_EQ(seen, "a.pos");
  EXPECT_EQ(logic.FileName(), "a.pos");
  logic.OnClear = nullptr;
  logic.Clear();
  EXPECT_EQ(logic.FileName(), "");
}

TEST(FileSelectLogicTest, RestoreTakesTheHandlersNameOnlyWhenAllowed) {
  TFileSelectLogic logic;
  logic.SetFileName("a.pos");
  logic.Restore();  // no handler: nothing happens
  EXPECT_EQ(logic.FileName(), "a.pos");

  logic.OnRestore = [](const void*, bool&, std::string& name) { name = "ignored.pos"; };
  logic.Restore();
  EXPECT_EQ(logic.FileName(), "a.pos");

  int sender = 0;
  const void* seenSender = nullptr;
  logic.SetSender(&sender);
  logic.OnRestore = [&](const void* s, bool& allow, std::string& name) {
    seenSender = s;
    allow = true;
    name = "default.pos";
  };
  logic.Default();
  EXPECT_EQ(logic.FileName(), "default.pos");
  EXPECT_EQ(seenSender, &sender);
}

// ---- View ----

TEST(FileSelectLogicTest, View) {
  test::TempDir dir;
  const std::string existing = dir.File("run.plt");
  test::WriteAll(existing, "x");
  const std::string missing = dir.File("none.plt");

  Fakes f;
  TFileSelectLogic logic({}, f.Services());
  EXPECT_EQ(logic.View(), TViewOutcome::Nothing);  // no name

  logic.SetFileName(missing);
  EXPECT_EQ(logic.View(), TViewOutcome::NotFound);
  ASSERT_EQ(f.messages.shown.size(), 1u);
  EXPECT_EQ(f.messages.shown[0].first, "Cannot find file " + missing);
  EXPECT_EQ(f.messages.shown[0].second, TMsgDlgType::mtError);

  logic.SetFileName(existing);
  logic.OnView = [](const void*, bool& allow, std::string&) { allow = false; };
  EXPECT_EQ(logic.View(), TViewOutcome::Refused);
  logic.OnView = nullptr;
  EXPECT_EQ(logic.View(), TViewOutcome::OpenedInEditor);
  EXPECT_EQ(f.editor.opened, std::vector<std::string>{existing});

  logic.SetViewerNames({"Table", "Chart"});
  EXPECT_EQ(logic.View(), TViewOutcome::ShowViewerMenu);
  EXPECT_EQ(f.editor.opened.size(), 1u);
  EXPECT_EQ(f.messages.shown.size(), 1u);
}

TEST(FileSelectLogicTest, Viewers) {
  TFileSelectLogic logic;
  logic.SetViewerNames({"Table"});
  logic.SetViewerState(0, false);
  logic.SetViewerNames({"Table", "Chart"});
  EXPECT_FALSE(logic.ViewerState(0));
  EXPECT_TRUE(logic.ViewerState(1));  // a new viewer is enabled

  EXPECT_EQ(test::ErrorOf([&] { logic.SetViewerState(2, true); }),
            "Assertion Failed: TFileSelectorBase.SetViewerState: invalid AIndex");
  EXPECT_EQ(test::ErrorOf([&] { logic.SetViewerState(-1, true); }),
            "Assertion Failed: TFileSelectorBase.SetViewerState: invalid AIndex");
  EXPECT_EQ(test::ErrorOf([&] { logic.ViewerSelected(1); }), "TFileSelectorBase - OnViewerSelect is not assigned");

  int chosen = -1;
  logic.OnViewerSelect = [&](const void*, int index) { chosen = index; };
  logic.ViewerSelected(1);
  EXPECT_EQ(chosen, 1);
}

// ---- Open ----

struct OpenCase {
  const char* name;
  const char* chosen;
  const char* defaultExt;
  bool allowOther;
  const char* expected;  // the file name afterwards (the old one is "old.pos")
  bool refused;
};

void PrintTo(const OpenCase& c, std::ostream* os) { *os << c.name; }

class SelectorOpenTest : public testing::TestWithParam<OpenCase> {};

TEST_P(SelectorOpenTest, ChecksTheExtension) {
  const OpenCase& c = GetParam();
  Fakes f;
  TFileSelectorProps props;
  props.DlgDefaultExt = c.defaultExt;
  props.DlgAllowOtherExt = c.allowOther;
  TFileSelectLogic logic(props, f.Services());
  logic.SetFileName("old.pos");
  f.dialog.confirmations = {c.chosen};
  int selects = 0;
  logic.OnSelect = [&](const void*, bool&, std::string&) { ++selects; };
  logic.Execute();
  EXPECT_EQ(logic.FileName(), c.expected);
  if (c.refused) {
    ASSERT_EQ(f.messages.shown.size(), 1u);
    EXPECT_EQ(f.messages.shown[0].first, "Selected file does not have expected extension");
    EXPECT_EQ(f.messages.shown[0].second, TMsgDlgType::mtError);
    EXPECT_EQ(selects, 0);
  } else {
    EXPECT_TRUE(f.messages.shown.empty());
    EXPECT_EQ(selects, 1);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SelectorOpenTest,
    testing::Values(OpenCase{"OtherExtRefused", R"(C:\data\run.txt)", "pos", false, "old.pos", true},
                    OpenCase{"NoExtGetsDefault", R"(C:\data\run)", "pos", false, R"(C:\data\run.pos)", false},
                    OpenCase{"CaseIgnored", R"(C:\data\RUN.POS)", "pos", false, R"(C:\data\RUN.POS)", false},
                    OpenCase{"OtherExtAllowed", "/data/run.fil", "plt", true, "/data/run.fil", false},
                    OpenCase{"NoExtAllowedStillGetsDefault", "/data/run", "plt", true, "/data/run.plt", false},
                    OpenCase{"DotInFolderOnly", R"(C:\data.v2\run)", "pos", false, R"(C:\data.v2\run.pos)", false},
                    OpenCase{"NoDefaultExt", "/data/run", "", false, "/data/run", false}),
    [](const testing::TestParamInfo<OpenCase>& info) { return info.param.name; });

TEST(FileSelectLogicTest, OpenHandlers) {
  Fakes f;
  TFileSelectLogic logic({}, f.Services());
  logic.SetFileName("/old/a.pos");

  // BeforeSelect refusing: no dialog.
  logic.BeforeSelect = [](const void*, bool& allow, std::string&) { allow = false; };
  logic.Execute();
  EXPECT_EQ(f.dialog.shown, 0);
  logic.BeforeSelect = nullptr;

  // Cancel keeps the name.
  f.dialog.cancel = true;
  logic.Execute();
  EXPECT_EQ(logic.FileName(), "/old/a.pos");
  f.dialog.cancel = false;

  // The close request: the first name is refused, the second one rewritten and taken.
  f.dialog.confirmations = {"/new/refused.pos", "/new/b.pos"};
  logic.OnCanCloseDlg = [](const void*, bool& canClose, std::string& name) {
    if (name == "/new/refused.pos") canClose = false;
    else name = "/new/c.pos";
  };
  std::string selected;
  logic.OnSelect = [&](const void*, bool&, std::string& name) {
    selected = name;
    name = "/new/d.pos";  // the handler may change the name
  };
  logic.Execute();
  EXPECT_EQ(logic.CloseFileName(), "/new/c.pos");
  EXPECT_EQ(selected, "/new/c.pos");
  EXPECT_EQ(logic.FileName(), "/new/d.pos");

  // OnSelect refusing empties the name.
  logic.OnCanCloseDlg = nullptr;
  logic.OnSelect = [](const void*, bool& allow, std::string&) { allow = false; };
  f.dialog.confirmations = {"/new/e.pos"};
  logic.Execute();
  EXPECT_EQ(logic.FileName(), "");
}

TEST(FileSelectLogicTest, DialogRequest) {
  test::TempDir dir;
  namespace fs = std::filesystem;
  const std::string initial = dir.File("initial");
  const std::string data = dir.File("data");
  const std::string project = dir.File("project");
  for (const std::string& d : {initial, data, project}) fs::create_directories(d);

  struct Case {
    std::string initialDir, fileName, projectDir, expected;
  } cases[] = {
      {initial, data + "/run.pos", project, initial},
      {".", data + "/run.pos", project, data + "/"},               // "." counts as none
      {dir.File("gone"), data + "/run.pos", project, data + "/"},  // not a folder
      {"", dir.File("gone") + "/run.pos", project, project},
      {"", "", project, project},
      {"", "run.pos", dir.File("gone"), ""},
  };
  for (const Case& c : cases) {
    Fakes f;
    TFileSelectorProps props;
    props.DlgInitialDir = c.initialDir;
    props.DlgTitle = "Specify 1-Hour Binary POSTFILE";
    props.DlgFilter = "ISC/AERMOD Binary Postfile (*.pos)|*.pos";
    props.DlgDefaultExt = "pos";
    props.DlgType = TFileSelectType::fsSave;
    TFileSelectLogic logic(props, f.Services());
    logic.SetFileName(c.fileName);
    logic.Props().ProjectDir = c.projectDir;  // after naming, so that the name stays as written
    f.dialog.cancel = true;
    logic.Execute();
    EXPECT_EQ(f.dialog.request.InitialDir, c.expected) << c.initialDir << " " << c.fileName;
    EXPECT_EQ(f.dialog.request.FileName, c.fileName.empty() ? "" : "run.pos");
    EXPECT_EQ(f.dialog.request.Title, "Specify 1-Hour Binary POSTFILE");
    EXPECT_EQ(f.dialog.request.Type, TFileSelectType::fsSave);
  }
}

TEST(FileSelectLogicTest, OpenButtonFollowsTheDialogType) {
  TFileSelectorProps props;
  EXPECT_STREQ(props.OpenPicture(), "BFS_OPEN");
  EXPECT_EQ(props.OpenHint(), "Specify File|Click here to specify the file name");
  props.DlgType = TFileSelectType::fsSave;
  EXPECT_STREQ(props.OpenPicture(), "BFS_SAVE");
  EXPECT_EQ(props.OpenHint(), "Save File As|Click here to specify the file name");
}

}  // namespace
}  // namespace zorvik
