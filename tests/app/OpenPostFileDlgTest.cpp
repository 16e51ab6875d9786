// The open dialog: its checks in order, their messages, and when it closes.
#include <QCheckBox>
#include <QPushButton>
#include <QTest>

#include <filesystem>
#include <optional>
#include <string>

#include "RecordingAppDialogs.h"
#include "app/OpenPostFileDlg.h"
#include "controls/qt/FileSelector.h"
#include "support/TestSupport.h"

using namespace zorvik;

namespace {

// A POST and a PLOT file on disk, and names of files that are not there.
struct Files {
  test::TempDir dir;
  std::string post = dir.File("run.pos");
  std::string plot = dir.File("run.plt");
  std::string missingPost = dir.File("none.pos");
  std::string missingPlot = dir.File("none.plt");
  Files() {
    test::WriteAll(post, "x");
    test::WriteAll(plot, "x");
  }
};

template <class T>
T* Child(QObject& parent, const char* name) {
  T* child = parent.findChild<T*>(QString::fromLatin1(name));
  if (!child) qFatal("no control %s", name);
  return child;
}

// The dialog shown, with its controls.
struct Dialog {
  TOpenPostFileDlg dlg;
  TFileSelector* post = Child<TFileSelector>(dlg, "fselBinPost");
  TFileSelector* plot = Child<TFileSelector>(dlg, "fselTextPlot");
  TFileSelector* met = Child<TFileSelector>(dlg, "fselMetFile");
  QCheckBox* meteo = Child<QCheckBox>(dlg, "chkMeteo");
  QCheckBox* single = Child<QCheckBox>(dlg, "chkSingleFormat");
  QPushButton* open = Child<QPushButton>(dlg, "btnOpen");
  QPushButton* cancel = Child<QPushButton>(dlg, "btnCancel");
  Dialog() { dlg.show(); }
};

}  // namespace

class OpenPostFileDlgTest : public QObject {
  Q_OBJECT
 private slots:
  void ChecksInOrder_data();
  void ChecksInOrder();
  void StartsEmpty();
  void OpenStaysWhileAFileIsMissing();
  void MetFileNeededOnlyWhenTicked();
  void CancelClosesAtOnce();
};

void OpenPostFileDlgTest::ChecksInOrder_data() {
  QTest::addColumn<int>("post");  // 0 empty, 1 missing, 2 existing, 3 a folder
  QTest::addColumn<int>("plot");
  QTest::addColumn<bool>("meteo");
  QTest::addColumn<QString>("met");
  QTest::addColumn<QString>("message");  // "{post}" / "{plot}" stand for the names given; empty: passes
  QTest::newRow("everything empty") << 0 << 0 << true << "" << "Please specify the POST file.";
  QTest::newRow("missing post before empty plot") << 1 << 0 << false << "" << "Specified POST file does not exist:\r{post}";
  QTest::newRow("folder as post") << 3 << 2 << false << "" << "Specified POST file does not exist:\r{post}";
  QTest::newRow("empty plot") << 2 << 0 << true << "" << "Please specify the PLOT file.";
  QTest::newRow("missing plot") << 2 << 1 << true << "" << "Specified PLOT file does not exist:\r{plot}";
  QTest::newRow("met ticked, empty") << 2 << 2 << true << "" << "Please specify the Met file.";
  QTest::newRow("met ticked, missing file") << 2 << 2 << true << "none.sfc" << "";
  QTest::newRow("met unticked, empty") << 2 << 2 << false << "" << "";
}

void OpenPostFileDlgTest::ChecksInOrder() {
  QFETCH(int, post);
  QFETCH(int, plot);
  QFETCH(bool, meteo);
  QFETCH(QString, met);
  QFETCH(QString, message);
  Files f;
  const std::string postName[] = {"", f.missingPost, f.post, f.dir.Path().string()};
  const std::string plotName[] = {"", f.missingPlot, f.plot, f.dir.Path().string()};
  const auto problem = CheckOpenPostInputs(postName[post], plotName[plot], meteo, met.toStdString());
  QString expected = message;
  expected.replace("{post}", QString::fromStdString(postName[post]));
  expected.replace("{plot}", QString::fromStdString(plotName[plot]));
  QCOMPARE(QString::fromStdString(problem.value_or("")), expected);
}

void OpenPostFileDlgTest::StartsEmpty() {
  Dialog d;
  QCOMPARE(d.dlg.windowTitle(), QString("Open POST File"));
  QVERIFY(d.open->isDefault());
  QCOMPARE(d.dlg.PostFile(), std::string());
  QCOMPARE(d.dlg.PlotFile(), std::string());
  QCOMPARE(d.dlg.MetFile(), std::string());
  QVERIFY(!d.dlg.IsSinglePrecision());
  QVERIFY(!d.dlg.MeteoChecked());
  QVERIFY(!d.met->isEnabled());
}

void OpenPostFileDlgTest::OpenStaysWhileAFileIsMissing() {
  test::RecordingAppDialogs boxes;
  Files f;
  Dialog d;
  QTest::mouseClick(d.open, Qt::LeftButton);
  QVERIFY(d.dlg.isVisible());
  d.post->SetFileName(f.missingPost);
  d.open->click();
  QVERIFY(d.dlg.isVisible());
  d.post->SetFileName(f.post);
  d.plot->SetFileName(f.missingPlot);
  d.open->click();
  QVERIFY(d.dlg.isVisible());

  QCOMPARE(boxes.messages.size(), size_t(3));
  QCOMPARE(boxes.messages[0].first, std::string("Please specify the POST file."));
  QCOMPARE(boxes.messages[1].first, "Specified POST file does not exist:\r" + f.missingPost);
  QCOMPARE(boxes.messages[2].first, "Specified PLOT file does not exist:\r" + f.missingPlot);
  for (const auto& [text, type] : boxes.messages) QVERIFY(type == TMsgDlgType::mtInformation);

  d.plot->SetFileName(f.plot);
  d.single->click();
  d.open->click();
  QVERIFY(!d.dlg.isVisible());
  QCOMPARE(d.dlg.result(), int(QDialog::Accepted));
  QCOMPARE(boxes.messages.size(), size_t(3));
  QCOMPARE(d.dlg.PostFile(), f.post);
  QCOMPARE(d.dlg.PlotFile(), f.plot);
  QVERIFY(d.dlg.IsSinglePrecision());
}

void OpenPostFileDlgTest::MetFileNeededOnlyWhenTicked() {
  test::RecordingAppDialogs boxes;
  Files f;
  Dialog d;
  d.post->SetFileName(f.post);
  d.plot->SetFileName(f.plot);
  d.meteo->click();
  QVERIFY(d.met->isEnabled());
  d.open->click();
  QVERIFY(d.dlg.isVisible());
  QCOMPARE(boxes.messages.size(), size_t(1));
  QCOMPARE(boxes.messages[0].first, std::string("Please specify the Met file."));

  // Unticked, whatever the met selector holds is not looked at, yet still read back.
  const std::string met = f.dir.File("none.sfc");
  d.met->SetFileName(met);
  d.meteo->click();
  QVERIFY(!d.met->isEnabled());
  d.open->click();
  QVERIFY(!d.dlg.isVisible());
  QCOMPARE(d.dlg.result(), int(QDialog::Accepted));
  QCOMPARE(boxes.messages.size(), size_t(1));
  QVERIFY(!d.dlg.MeteoChecked());
  QCOMPARE(d.dlg.MetFile(), met);
}

void OpenPostFileDlgTest::CancelClosesAtOnce() {
  test::RecordingAppDialogs boxes;
  for (const bool titleBar : {false, true}) {
    Dialog d;
    d.post->SetFileName("none.pos");
    if (titleBar) {
      d.dlg.close();
    } else {
      d.cancel->click();
    }
    QVERIFY(!d.dlg.isVisible());
    QCOMPARE(d.dlg.result(), int(QDialog::Rejected));
  }
  QVERIFY(boxes.messages.empty());
}

QTEST_MAIN(OpenPostFileDlgTest)
#include "OpenPostFileDlgTest.moc"
