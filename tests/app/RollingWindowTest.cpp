// The rolling average window: when Run is enabled, the list of files a run writes, the double-click before a
// run, a real run on a small project and a failed one.
#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <filesystem>
#include <string>
#include <vector>

#include "RecordingAppDialogs.h"
#include "app/RollingWindow.h"
#include "controls/qt/FileSelector.h"
#include "plotfile/SamplePlotFile.h"
#include "post/PostFileWriter.h"
#include "support/TestSupport.h"

using namespace zorvik;

namespace {

constexpr int kReceptors = 4;
constexpr int kHours = 48;

// A small project: a 1-hour POSTFILE of two days, its PLOTFILE and a met file name (not written).
struct Project {
  test::TempDir dir;
  std::string post = dir.File("run.pos");
  std::string plot = dir.File("run.plt");
  std::string met = dir.File("run.sfc");
  Project() {
    TPostFileLayout layout;
    layout.Receptors = kReceptors;
    WritePostFile(post, layout, 96010101, kHours, [](int hour, int, int receptor) { return hour % 24 + receptor; });
    WriteSamplePlotFile(plot, SampleGrid(kReceptors));
  }
};

template <class T>
T* Child(QObject& parent, const char* name) {
  T* child = parent.findChild<T*>(QString::fromLatin1(name));
  if (!child) qFatal("no control %s", name);
  return child;
}

struct Window {
  TpercRollingAvg window{nullptr};
  TFileSelector* post = Child<TFileSelector>(window, "fselBinPost");
  TFileSelector* plot = Child<TFileSelector>(window, "fselTextPlot");
  TFileSelector* met = Child<TFileSelector>(window, "fselMetFile");
  QCheckBox* meteo = Child<QCheckBox>(window, "chkMeteo");
  QCheckBox* h3 = Child<QCheckBox>(window, "chk3h");
  QCheckBox* h8 = Child<QCheckBox>(window, "chk8h");
  QCheckBox* h24 = Child<QCheckBox>(window, "chk24h");
  QCheckBox* high1 = Child<QCheckBox>(window, "chk1high");
  QCheckBox* high2 = Child<QCheckBox>(window, "chk2high");
  QPushButton* run = Child<QPushButton>(window, "btnRun");
  QPushButton* restore = Child<QPushButton>(window, "btnRestore");
  QLabel* path = Child<QLabel>(window, "lblPath");
  QListWidget* list = Child<QListWidget>(window, "lbFilenames");
  Window() {
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) qFatal("window not shown");
  }

  std::vector<std::string> Listed() const {
    std::vector<std::string> names;
    for (int i = 0; i < list->count(); ++i) names.push_back(list->item(i)->text().toStdString());
    return names;
  }
  void DoubleClick(int row) {
    // The view takes a double click only on the entry the first click pressed.
    const QPoint at = list->visualItemRect(list->item(row)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
  }
};

using Names = std::vector<std::string>;

}  // namespace

class RollingWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void StartsEmpty();
  void RunFollowsCheckBoxClicks();
  void MetTickedWithoutFileDisablesRun();
  void DoubleClickBeforeARun();
  void RunWritesTheListedFiles();
  void FailedRunKeepsTheWindow();
};

void RollingWindowTest::StartsEmpty() {
  Window w;
  QCOMPARE(w.window.windowTitle(), QString("Rolling Average"));
  QVERIFY(!w.run->isEnabled());
  QVERIFY(!w.met->isEnabled());
  QVERIFY(w.h3->isEnabled());
  QCOMPARE(w.list->count(), 0);
  QCOMPARE(w.path->text(), QString());
  QCOMPARE(w.list->toolTip(), QString("Double click filename to view in editor"));
}

void RollingWindowTest::RunFollowsCheckBoxClicks() {
  test::RecordingAppDialogs boxes;
  Project p;
  Window w;
  w.h8->click();  // ticked before any file is named: nothing listed
  QCOMPARE(w.list->count(), 0);
  w.post->SetFileName(p.post);
  w.plot->SetFileName(p.plot);
  QVERIFY(!w.run->isEnabled());  // a period, no rank
  w.high1->click();
  QVERIFY(w.run->isEnabled());
  QCOMPARE(w.Listed(), Names{"RA08_1ST.PLT"});

  w.restore->click();
  QCOMPARE(w.path->text().toStdString(), p.dir.Path().string());
  QCOMPARE(w.Listed(), Names{p.dir.File("RA08_1ST.PLT")});

  // Naming a missing POST file leaves Run as it was until a box is clicked.
  w.post->SetFileName(p.dir.File("none.pos"));
  QVERIFY(w.run->isEnabled());
  w.high2->click();
  QVERIFY(!w.run->isEnabled());
  QVERIFY(boxes.messages.empty());
}

void RollingWindowTest::MetTickedWithoutFileDisablesRun() {
  Project p;
  Window w;
  w.post->SetFileName(p.post);
  w.plot->SetFileName(p.plot);
  w.h3->click();
  w.high1->click();
  QVERIFY(w.run->isEnabled());
  w.meteo->click();
  QVERIFY(w.met->isEnabled());
  QVERIFY(!w.run->isEnabled());
  test::WriteAll(p.met, "x");
  w.met->SetFileName(p.met);
  QVERIFY(!w.run->isEnabled());
  w.high2->click();
  QVERIFY(w.run->isEnabled());
  w.meteo->click();
  QVERIFY(!w.met->isEnabled());
}

void RollingWindowTest::DoubleClickBeforeARun() {
  test::RecordingAppDialogs boxes;
  Project p;
  Window w;
  w.post->SetFileName(p.post);
  w.plot->SetFileName(p.plot);
  w.h8->click();
  w.high1->click();
  QCOMPARE(w.list->count(), 1);
  w.DoubleClick(0);
  QCOMPARE(boxes.messages.size(), size_t(1));
  QCOMPARE(boxes.messages[0].first, std::string("File will not exist until rolling average is computed"));
  QVERIFY(boxes.messages[0].second == TMsgDlgType::mtInformation);
}

void RollingWindowTest::RunWritesTheListedFiles() {
  test::RecordingAppDialogs boxes;
  Project p;
  Window w;
  w.post->SetFileName(p.post);
  w.plot->SetFileName(p.plot);
  for (QCheckBox* box : {w.h3, w.h8, w.high1, w.high2}) box->click();
  boxes.folder = p.dir.File("out");
  std::filesystem::create_directory(*boxes.folder);
  Child<QPushButton>(w.window, "btnOpen")->click();
  const std::string out = p.dir.File("out/");
  const Names expected{out + "RA03_1ST.PLT", out + "RA03_2ND.PLT", out + "RA08_1ST.PLT", out + "RA08_2ND.PLT"};
  QCOMPARE(w.Listed(), expected);
  QVERIFY(w.run->isEnabled());

  w.run->click();
  QVERIFY2(boxes.errors.empty(), boxes.errors.empty() ? "" : boxes.errors.front().c_str());
  QVERIFY(w.window.isVisible());
  for (const std::string& file : expected) QVERIFY2(std::filesystem::file_size(file) > 0, file.c_str());
  QCOMPARE(w.Listed(), expected);
  QVERIFY(boxes.messages.empty());
}

void RollingWindowTest::FailedRunKeepsTheWindow() {
  test::RecordingAppDialogs boxes;
  Project p;
  test::WriteAll(p.post, "not a POSTFILE");
  Window w;
  w.post->SetFileName(p.post);
  w.plot->SetFileName(p.plot);
  w.h24->click();
  w.high1->click();
  w.run->click();
  QCOMPARE(boxes.errors.size(), size_t(1));
  QVERIFY2(boxes.errors[0].find("TpercRollingAvg.GeneratePlotFiles") != std::string::npos, boxes.errors[0].c_str());
  QVERIFY(w.window.isVisible());
  QVERIFY(w.run->isEnabled());
  QVERIFY(!std::filesystem::exists(p.dir.File("RA24_1ST.PLT")));
}

QTEST_MAIN(RollingWindowTest)
#include "RollingWindowTest.moc"
