// The main window's flow on small generated projects: load, a receptor at a percentile (the red bar and the
// value), receptor numbers outside the PLOTFILE refused, a second load replacing the first, the percentile
// PLOTFILE against the command line's, an output that is an input refused, and a failed load closing the view.
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <deque>
#include <vector>

#include "app/AppDialogs.h"
#include "RecordingAppDialogs.h"
#include "app/MainWindow.h"
#include "app/OrderedHoursChart.h"
#include "controls/qt/BoundedRealEdit.h"
#include "engine/PercentBlocks.h"
#include "engine/PercentView.h"
#include "plotfile/SamplePlotFile.h"
#include "post/PostFileWriter.h"
#include "support/TestSupport.h"

using namespace zorvik;

namespace {

constexpr int kHours = 8760;


// Hour h of receptor r: zero on about 60% of the hours, so receptors keep a few thousand of their 8,760.
double HourValue(int h, int r, int seed) {
  const unsigned mix = static_cast<unsigned>(h) * 2654435761u ^ static_cast<unsigned>(r + seed) * 40503u;
  if ((mix >> 7) % 10 < 6) return 0.0;
  return ((mix >> 11) % 100000) / 1000.0 + r * 0.5;
}

struct TProject {
  TProjectFiles Files;
  int Receptors = 0;
  int Seed = 0;
};

TProject MakeProject(const test::TempDir& dir, const std::string& name, int receptors, int seed) {
  TProject p;
  p.Receptors = receptors;
  p.Seed = seed;
  p.Files.PostFile = dir.File(name + ".pos");
  p.Files.PlotFile = dir.File(name + ".plt");
  TPostFileLayout layout;
  layout.Receptors = receptors;
  WritePostFile(p.Files.PostFile, layout, 96010101, kHours,
                [seed](int h, int, int r) { return HourValue(h, r, seed); });
  WriteSamplePlotFile(p.Files.PlotFile, SampleGrid(receptors));
  return p;
}

// Receptor r's non-zero hours as stored (single precision), highest first: worked out from the values.
std::vector<float> OrderedHours(const TProject& p, int r) {
  std::vector<float> v;
  for (int h = 0; h < kHours; ++h)
    if (const float x = static_cast<float>(HourValue(h, r, p.Seed)); x > 1e-37f) v.push_back(x);
  std::sort(v.rbegin(), v.rend());
  return v;
}

void TypeReceptor(TzorvikMain& w, const QString& text) {
  w.ReceptorEdit()->selectAll();
  QTest::keyClicks(w.ReceptorEdit(), text);
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() {
    QStandardPaths::setTestModeEnabled(true);  // window placement goes to a test settings file
    fFirst = MakeProject(fDir, "grid144", 144, 0);
    fSecond = MakeProject(fDir, "grid20", 20, 7);
  }
  void init() {
    fDialogs.Clear();
    fDialogs.files.clear();
    fDialogs.yes = false;
  }

  void StartsWithoutFile() {
    TzorvikMain w;
    QCOMPARE(w.windowTitle(), QStringLiteral("Zorvik Redizeru 9.5.5 - []"));
    QVERIFY(w.Chart()->isHidden());
    QVERIFY(!w.PlotButton()->isEnabled());
    QCOMPARE(w.PercentileEdit()->text(), QStringLiteral("98.0"));
    QCOMPARE(w.ReceptorEdit()->value(), 1);
  }

  void Receptor7At98() {
    TzorvikMain w;
    w.show();
    QVERIFY(w.OpenProject(fFirst.Files));
    QVERIFY(fDialogs.errors.empty());
    QCOMPARE(w.windowTitle(), QString::fromStdString("Zorvik Redizeru 9.5.5 - [" + fFirst.Files.PostFile + "]"));
    QVERIFY(w.Chart()->isVisible());
    QCOMPARE(w.ReceptorEdit()->High(), 144);

    QVERIFY(w.ShowReceptor(7, 98.0));
    const std::vector<float> hours = OrderedHours(fFirst, 6);
    QVERIFY(hours.size() > 176);
    const int k = static_cast<int>(kHours * 0.02);  // 175
    QCOMPARE(w.Chart()->Title().value(0), QStringLiteral("Series Plot for Receptor # 7"));
    QVERIFY(w.Chart()->Title().value(1).startsWith(QStringLiteral("Located at: ")));
    QCOMPARE(w.Chart()->MarkedBar(), k);
    QCOMPARE(w.Chart()->BarCount(), static_cast<int>(hours.size()) + 1);
    QCOMPARE(w.Chart()->BarValue(k), hours[static_cast<size_t>(k)]);
    QCOMPARE(w.Chart()->BarValue(w.Chart()->BarCount() - 1), 0.0f);
    QCOMPARE(w.Chart()->BarColor(k), TOrderedHoursChart::MarkedColor());
    QCOMPARE(w.PercentLabel()->text(), QString::fromStdString(GeneralFloatText(hours[static_cast<size_t>(k)])));
    QVERIFY(w.Chart()->MarkedBarRect().width() >= 2);

    // 99.99 marks the highest hour.
    QVERIFY(w.ShowReceptor(7, 99.99));
    QCOMPARE(w.Chart()->MarkedBar(), 0);
  }

  void ReceptorsOutsideThePlotFileRefused() {
    TzorvikMain w;
    w.show();
    QVERIFY(w.OpenProject(fFirst.Files));
    QVERIFY(w.ShowReceptor(7, 98.0));
    const QStringList title = w.Chart()->Title();
    const int marked = w.Chart()->MarkedBar();
    for (const QString& number : {QStringLiteral("0"), QStringLiteral("145")}) {
      TypeReceptor(w, number);
      QCOMPARE(w.ReceptorEdit()->text(), number);
      QVERIFY(!w.PlotButton()->isEnabled());
      QVERIFY2(!w.ReceptorTimer()->isActive(), qPrintable(number + " " + w.ReceptorEdit()->cleanText()));
      QTest::qWait(300);
      QCOMPARE(w.Chart()->Title(), title);
      QCOMPARE(w.Chart()->MarkedBar(), marked);
    }
    // 144 is in: the button comes back and the chart follows 250 ms after the keystroke.
    TypeReceptor(w, QStringLiteral("144"));
    QVERIFY(w.PlotButton()->isEnabled());
    QVERIFY(w.ReceptorTimer()->isActive());
    QTRY_COMPARE(w.Chart()->Title().value(0), QStringLiteral("Series Plot for Receptor # 144"));
    QVERIFY(fDialogs.errors.empty());
  }

  void SecondOpenReplacesTheFirst() {
    TzorvikMain w;
    w.show();
    QVERIFY(w.OpenProject(fFirst.Files));
    QVERIFY(w.OpenProject(fSecond.Files));
    QCOMPARE(w.PostFileName(), fSecond.Files.PostFile);
    QCOMPARE(w.Blocks().ReceptorCount(), 20);
    QCOMPARE(w.ReceptorEdit()->High(), 20);
    QVERIFY(w.ShowReceptor(3, 98.0));
    const std::vector<float> hours = OrderedHours(fSecond, 2);
    QCOMPARE(w.Chart()->BarCount(), static_cast<int>(hours.size()) + 1);
    QCOMPARE(w.Chart()->BarValue(0), hours[0]);
    QVERIFY(!w.ShowReceptor(21, 98.0));
  }

  void GeneratedPlotFileMatchesTheCommandLine() {
    TzorvikMain w;
    w.show();
    QVERIFY(w.OpenProject(fFirst.Files));
    const std::string out = fDir.File("P98.plt");
    fDialogs.files.push_back(out);
    QTest::mouseClick(w.PlotButton(), Qt::LeftButton);
    QCOMPARE(fDialogs.choices.size(), size_t{1});
    QCOMPARE(fDialogs.choices[0].Title, std::string("Save Generated Plotfile for 98th Percentile As"));
    QCOMPARE(fDialogs.choices[0].Filter, std::string("ISC/AERMOD Plotfile (*.plt)|*.plt"));
    QCOMPARE(fDialogs.MessageTexts(), std::vector<std::string>{"Plotfile Generated Successfully."});

    const std::string reference = fDir.File("cli98.plt");
    const test::CliResult cli = test::RunCli("hours --post '" + fFirst.Files.PostFile + "' --plot '" +
                                             fFirst.Files.PlotFile + "' --receptor 7 --percentile 98 --plotfile '" +
                                             reference + "'");
    QCOMPARE(cli.status, 0);
    QVERIFY(test::ReadAll(out) == test::ReadAll(reference));

    // Percentile 12: the title says so.
    w.PercentileEdit()->SetValue(12.0);
    QTest::mouseClick(w.PlotButton(), Qt::LeftButton);
    QCOMPARE(fDialogs.choices.back().Title, std::string("Save Generated Plotfile for 12th Percentile As"));
  }

  void OutputThatIsAnInputRefused() {
    TzorvikMain w;
    w.show();
    QVERIFY(w.OpenProject(fFirst.Files));
    const std::string before = test::ReadAll(fFirst.Files.PlotFile);
    fDialogs.files.push_back(fFirst.Files.PlotFile);
    QTest::mouseClick(w.PlotButton(), Qt::LeftButton);
    QCOMPARE(fDialogs.errors.size(), size_t{1});
    QVERIFY2(fDialogs.errors[0].find("is the PLOTFILE of this run") != std::string::npos, fDialogs.errors[0].c_str());
    QVERIFY(fDialogs.errors[0].find("TzorvikMain.CreatePlotFile") != std::string::npos);
    QVERIFY(fDialogs.messages.empty());
    QVERIFY(test::ReadAll(fFirst.Files.PlotFile) == before);
    QVERIFY(!w.PostFileName().empty());  // the view stays
  }

  void FailedLoadClosesTheView() {
    TzorvikMain w;
    w.show();
    QVERIFY(w.OpenProject(fFirst.Files));
    TProjectFiles missing = fFirst.Files;
    missing.PlotFile = fDir.File("absent.plt");
    QVERIFY(!w.OpenProject(missing));
    QCOMPARE(fDialogs.errors.size(), size_t{1});
    QVERIFY2(fDialogs.errors[0].find("TzorvikMain.ReadBlockRecepteros") != std::string::npos,
             fDialogs.errors[0].c_str());
    QVERIFY(w.PostFileName().empty());
    QCOMPARE(w.windowTitle(), QStringLiteral("Zorvik Redizeru 9.5.5 - []"));
    QVERIFY(w.Chart()->isHidden());
    QVERIFY(!w.PlotButton()->isEnabled());
    // The window is usable again.
    QVERIFY(w.OpenProject(fSecond.Files));
  }

  void CancelledLoadClosesTheView() {
    TzorvikMain w;
    w.show();
    QVERIFY(w.OpenProject(fSecond.Files));
    // Cancel as soon as the progress window shows its button.
    QTimer poll;
    connect(&poll, &QTimer::timeout, [&] {
      for (QWidget* top : QApplication::topLevelWidgets())
        if (top->windowTitle() == QStringLiteral("Reading Post File..."))
          for (auto* b : top->findChildren<QPushButton*>())
            if (b->text() == QStringLiteral("&Cancel") && b->isVisible()) b->click();
    });
    poll.start(0);
    const bool ok = w.OpenProject(fFirst.Files);
    poll.stop();
    QVERIFY(!ok);
    QVERIFY(fDialogs.errors.empty());
    QVERIFY(w.PostFileName().empty());
    QVERIFY(w.Chart()->isHidden());
  }

  void ExportsChartAsPngSvgAndPdf() {
    TzorvikMain w;
    w.show();
    QVERIFY(w.OpenProject(fSecond.Files));
    QVERIFY(w.ShowReceptor(1, 98.0));
    const std::string png = fDir.File("chart.png"), pdf = fDir.File("chart.pdf"), svg = fDir.File("chart.svg");
    w.ExportChart(png);
    w.ExportChart(pdf);
    w.ExportChart(svg);
    QVERIFY(fDialogs.errors.empty());
    const QImage image(QString::fromStdString(png));
    QCOMPARE(image.size(), w.Chart()->size());
    QVERIFY(test::ReadAll(pdf).rfind("%PDF", 0) == 0);
    const std::string drawing = test::ReadAll(svg);
    QVERIFY(drawing.find("<svg") != std::string::npos);
    QVERIFY(drawing.find("Series Plot for Receptor # 1") != std::string::npos);
  }

  void ViewPostFileAsksFirst() {
    TzorvikMain w;
    QVERIFY(w.OpenProject(fSecond.Files));
    w.ViewPostFile();  // answered No: no editor
    QCOMPARE(fDialogs.questions,
             std::vector<std::string>{"Warning: POSTFILES are *LARGE*. This operation may consume all memory.\rProceed?"});
  }

 private:
  test::TempDir fDir;
  test::RecordingAppDialogs fDialogs;
  TProject fFirst, fSecond;
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
