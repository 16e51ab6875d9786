// zorvik: the percentile viewer.
//   zorvik [--post P --plot L [--met M] [--single]] [--receptor N] [--percentile P] [--grab FILE.png [--rolling]]
// opens that project at start; --grab renders the main window (after any load) into a PNG and exits, with
// messages going to stderr instead of boxes.
#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

#include <iostream>
#include <memory>

#include "app/AppDialogs.h"
#include "app/MainWindow.h"
#include "app/RollingWindow.h"
#include "app/OrderedHoursChart.h"
#include "controls/qt/BoundedRealEdit.h"
#include "util/ExceptionLog.h"

namespace {

using namespace zorvik;

// The boxes of a run without a person: messages go to stderr, questions are answered No, dialogs cancelled.
class TConsoleDialogs final : public IAppDialogs {
 public:
  void ShowMessage(const std::string& text, TMsgDlgType) override { std::cerr << Lines(text) << "\n"; }
  bool AskYesNo(const std::string& text, TMsgDlgType) override {
    std::cerr << Lines(text) << " (answered No)\n";
    return false;
  }
  void ShowError(const std::string& text) override {
    std::cerr << Lines(text) << "\n";
    fFailed = true;
  }
  std::optional<std::string> ChooseFile(const TFileChoice&) override { return std::nullopt; }
  std::optional<std::string> BrowseForFolder() override { return std::nullopt; }
  bool Execute(const TFileDialogRequest&, const std::function<bool(const std::string&)>&) override { return false; }
  bool Failed() const { return fFailed; }

 private:
  static std::string Lines(std::string text) {
    for (char& c : text)
      if (c == '\r') c = '\n';
    return text;
  }
  bool fFailed = false;
};

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  // The log settings (and the log folder) are read now: read first during a load, they would wait for the
  // disk behind the POSTFILE's reads when the files are not in memory.
  zorvik::SysFlags();
  Q_INIT_RESOURCE(zorvik);
  QApplication::setApplicationName(QStringLiteral("Zorvik"));
  QApplication::setOrganizationName(QStringLiteral("Tarvo"));
  QApplication::setApplicationVersion(QString::fromStdString(VersionText()));

  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("Percentile viewer of AERMOD and ISCST3 1-hour POSTFILEs"));
  parser.addHelpOption();
  parser.addVersionOption();
  const QCommandLineOption post(QStringLiteral("post"), QStringLiteral("the 1-hour POSTFILE to open"),
                                QStringLiteral("P"));
  const QCommandLineOption plot(QStringLiteral("plot"), QStringLiteral("the PLOTFILE of the same project"),
                                QStringLiteral("L"));
  const QCommandLineOption met(QStringLiteral("met"), QStringLiteral("the met file of the run"), QStringLiteral("M"));
  const QCommandLineOption single(QStringLiteral("single"), QStringLiteral("the POSTFILE is single precision"));
  const QCommandLineOption receptor(QStringLiteral("receptor"), QStringLiteral("receptor number to show"),
                                    QStringLiteral("N"));
  const QCommandLineOption percentile(QStringLiteral("percentile"), QStringLiteral("percentile to mark"),
                                      QStringLiteral("P"));
  const QCommandLineOption grab(QStringLiteral("grab"),
                                QStringLiteral("render the window into a PNG after any load and exit"),
                                QStringLiteral("FILE.png"));
  const QCommandLineOption rolling(QStringLiteral("rolling"),
                                   QStringLiteral("with --grab: render the rolling average window instead"));
  parser.addOptions({post, plot, met, single, receptor, percentile, grab, rolling});
  parser.process(app);

  if (parser.isSet(post) != parser.isSet(plot)) {
    std::cerr << "zorvik: --post and --plot go together\n";
    return 2;
  }
  bool ok = true;
  const int receptorNumber = parser.isSet(receptor) ? parser.value(receptor).toInt(&ok) : 1;
  if (!ok) {
    std::cerr << "zorvik: --receptor takes a whole number\n";
    return 2;
  }
  const double percentValue = parser.isSet(percentile) ? parser.value(percentile).toDouble(&ok) : 98.0;
  if (!ok) {
    std::cerr << "zorvik: --percentile takes a number\n";
    return 2;
  }

  const bool grabbing = parser.isSet(grab);
  TConsoleDialogs console;
  if (grabbing) SetAppDialogs(&console);

  TzorvikMain window;
  window.show();
  int status = 0;
  QTimer::singleShot(0, &window, [&] {
    if (parser.isSet(post)) {
      TProjectFiles files;
      files.PostFile = parser.value(post).toLocal8Bit().toStdString();
      files.PlotFile = parser.value(plot).toLocal8Bit().toStdString();
      files.MetFile = parser.value(met).toLocal8Bit().toStdString();
      files.SinglePrecision = parser.isSet(single);
      if (window.OpenProject(files) &&
          (parser.isSet(receptor) || parser.isSet(percentile)) &&
          !window.ShowReceptor(receptorNumber, percentValue)) {
        std::cerr << "zorvik: receptor " << receptorNumber << " at percentile " << percentValue
                  << " is not in the file or its range\n";
        status = 1;
      }
    } else if (!grabbing) {
      window.ShowAbout(0, false);
    }
    if (grabbing) {
      QApplication::processEvents();
      std::unique_ptr<TpercRollingAvg> rollingWindow;
      QWidget* shown = &window;
      if (parser.isSet(rolling)) {
        rollingWindow = std::make_unique<TpercRollingAvg>(&window);
        rollingWindow->show();
        QApplication::processEvents();
        shown = rollingWindow.get();
      }
      if (!shown->grab().save(parser.value(grab), "PNG")) {
        std::cerr << "zorvik: could not write " << parser.value(grab).toStdString() << "\n";
        status = 1;
      }
      if (console.Failed()) status = 1;
      QApplication::exit(status);
    }
  });
  const int rc = app.exec();
  return status != 0 ? status : rc;
}
