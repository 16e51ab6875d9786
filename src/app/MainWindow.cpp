#include "app/MainWindow.h"

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include <climits>
#include <filesystem>

#include "app/AboutBox.h"
#include "app/AppDialogs.h"
#include "app/OpenPostFileDlg.h"
#include "app/OrderedHoursChart.h"
#include "app/ProgressWindow.h"
#include "app/RollingWindow.h"
#include "controls/qt/BoundedRealEdit.h"
#include "engine/PercentBlocks.h"
#include "engine/PercentView.h"
#include "engine/ReceptorManager.h"
#include "util/AppName.h"
#include "util/ExceptionLog.h"
#include "util/OutputFile.h"
#include "util/OutputGuard.h"
#include "util/UserDialogs.h"

namespace zorvik {
namespace {

constexpr const char* kClassName = "TzorvikMain";

QString Q(const std::string& text) { return QString::fromLocal8Bit(text.c_str()); }

// The busy cursor for a scope; the normal one returns also on failure.
class TBusyCursor {
 public:
  TBusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~TBusyCursor() { QApplication::restoreOverrideCursor(); }
  TBusyCursor(const TBusyCursor&) = delete;
  TBusyCursor& operator=(const TBusyCursor&) = delete;
};

std::string Step(const char* step) { return std::string(kClassName) + "." + step; }

QSettings PlacementSettings() { return QSettings(QStringLiteral("Tarvo"), QStringLiteral("Zorvik")); }

// The help page: installed beside the program or under its share folder; otherwise the copy bundled in the
// program, written out once to the cache folder so that the browser can open it.
QString HelpPage() {
  const QString appDir = QCoreApplication::applicationDirPath();
  for (const QString& candidate : {appDir + QStringLiteral("/help/zorvik.html"),
                                   appDir + QStringLiteral("/../share/zorvik/help/zorvik.html")})
    if (QFileInfo::exists(candidate)) return QFileInfo(candidate).canonicalFilePath();
  const QString folder = QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/help");
  const QString page = folder + QStringLiteral("/zorvik.html");
  QDir().mkpath(folder);
  QFile::remove(page);
  QFile::copy(QStringLiteral(":/help/zorvik.html"), page);
  QFile::setPermissions(page, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
  return page;
}

void OpenHelpPage(const QString& anchor) {
  QUrl url = QUrl::fromLocalFile(HelpPage());
  if (!anchor.isEmpty()) url.setFragment(anchor);
  QDesktopServices::openUrl(url);
}

void PrintWithDialog(TOrderedHoursChart& chart, QWidget* parent) {
  QPrinter printer(QPrinter::HighResolution);
  printer.setPageOrientation(QPageLayout::Landscape);
  QPrintDialog dialog(&printer, parent);
  if (dialog.exec() != QDialog::Accepted) return;
  QPainter painter(&printer);
  // Draw at screen scale over the whole page.
  const QRect page = painter.viewport();
  const double scale = printer.resolution() / 96.0;
  painter.scale(scale, scale);
  chart.Paint(painter, QRect(0, 0, static_cast<int>(page.width() / scale), static_cast<int>(page.height() / scale)));
}

TzorvikMain::TChartPrinter& ChartPrinter() {
  static TzorvikMain::TChartPrinter printer = PrintWithDialog;
  return printer;
}

}  // namespace

std::string VersionText() { return "9.5.5"; }
std::string AppTitle() { return "Zorvik Redizeru " + VersionText(); }
std::string CaptionWithFile(const std::string& name) { return AppTitle() + " - [" + name + "]"; }

// ---- TReceptorSpin ----

TReceptorSpin::TReceptorSpin(QWidget* parent) : QSpinBox(parent) {
  setRange(0, INT_MAX);
  setValue(1);
}

void TReceptorSpin::SetBounds(int low, int high) {
  fLow = low;
  fHigh = std::max(low, high);
}

std::optional<int> TReceptorSpin::NumberInBounds() const {
  const QString text = cleanText().trimmed();
  if (text.isEmpty()) return std::nullopt;
  bool ok = false;
  const int n = text.toInt(&ok);
  if (!ok || n < fLow || n > fHigh) return std::nullopt;
  return n;
}

void TReceptorSpin::stepBy(int steps) {
  const int current = value();
  const int next = std::clamp(static_cast<long long>(current) + steps, static_cast<long long>(fLow),
                              static_cast<long long>(fHigh));
  setValue(static_cast<int>(next));
  selectAll();
}

QValidator::State TReceptorSpin::validate(QString& input, int&) const {
  // Digits only (no minus); an empty text may stand while typing.
  for (QChar c : input)
    if (!c.isDigit() && !c.isSpace()) return QValidator::Invalid;
  if (input.trimmed().isEmpty()) return QValidator::Intermediate;
  bool ok = false;
  input.trimmed().toLongLong(&ok);
  return ok && input.trimmed().toLongLong() <= INT_MAX ? QValidator::Acceptable : QValidator::Invalid;
}

QAbstractSpinBox::StepEnabled TReceptorSpin::stepEnabled() const {
  StepEnabled e = StepNone;
  if (value() > fLow) e |= StepDownEnabled;
  if (value() < fHigh) e |= StepUpEnabled;
  return e;
}

// ---- TzorvikMain ----

TzorvikMain::TzorvikMain(QWidget* parent) : QMainWindow(parent), fRecBlocks(std::make_unique<TPercentBlocks>()) {
  QFont f = font();
  f.setPointSize(8);
  setFont(f);
  setWindowTitle(Q(AppTitle()));

  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  setCentralWidget(central);
  BuildToolRow();
  fChart = new TOrderedHoursChart(central);
  fChart->setObjectName(QStringLiteral("Chart"));
  fChart->SetBottomAxisTitle(QStringLiteral("Ordered Hours"));
  fChart->SetLeftAxisTitle(QStringLiteral("Concentration (µg/m^3)"));
  layout->addWidget(centralWidget()->findChild<QWidget*>(QStringLiteral("ToolRow")));
  layout->addWidget(fChart, 1);
  BuildMenus();
  statusBar()->setSizeGripEnabled(true);

  fTimer = new QTimer(this);
  fTimer->setInterval(250);
  fTimer->setSingleShot(false);
  connect(fTimer, &QTimer::timeout, this, [this] { Guarded([this] { TimerTimer(); }); });

  fChart->SetAxesVisible(false);
  EnableViewControls(false);
  postfilename.clear();
  ShowFileInCaption(postfilename);
  fChart->hide();
  SetDialogParent(this);

  QSettings settings = PlacementSettings();
  if (!restoreGeometry(settings.value(QStringLiteral("MainWindow/Geometry")).toByteArray())) {
    resize(627, 429 + menuBar()->sizeHint().height() + statusBar()->sizeHint().height());
    if (QScreen* screen = QGuiApplication::primaryScreen())
      move(screen->availableGeometry().center() - rect().center());
  }
  restoreState(settings.value(QStringLiteral("MainWindow/State")).toByteArray());
}

TzorvikMain::~TzorvikMain() = default;

void TzorvikMain::closeEvent(QCloseEvent* event) {
  QSettings settings = PlacementSettings();
  settings.setValue(QStringLiteral("MainWindow/Geometry"), saveGeometry());
  settings.setValue(QStringLiteral("MainWindow/State"), saveState());
  QMainWindow::closeEvent(event);
}

void TzorvikMain::BuildToolRow() {
  auto* row = new QWidget(centralWidget());
  row->setObjectName(QStringLiteral("ToolRow"));
  row->setFixedHeight(54);
  QFont arial(QStringLiteral("Arial"));
  arial.setPointSize(8);
  row->setFont(arial);
  auto* h = new QHBoxLayout(row);
  h->setContentsMargins(4, 2, 4, 2);

  auto tool = [&](const QString& text, const QString& hint, QStyle::StandardPixmap icon, const char* name) {
    auto* b = new QToolButton(row);
    b->setObjectName(QLatin1String(name));
    b->setText(text);
    b->setToolTip(hint);
    b->setIcon(style()->standardIcon(icon));
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    b->setAutoRaise(true);
    b->setFixedSize(50, 48);
    return b;
  };
  auto separator = [&] {
    auto* line = new QFrame(row);
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
  };

  spbOpen = tool(QStringLiteral("Open"), QStringLiteral("Open Postfile"), QStyle::SP_DialogOpenButton, "spbOpen");
  spbPrint = tool(QStringLiteral("Print"), QStringLiteral("Print Series Plot"), QStyle::SP_FileDialogContentsView,
                  "spbPrint");
  spbEditor = tool(QStringLiteral("Editor"), QStringLiteral("View Postfile"), QStyle::SP_FileDialogDetailedView,
                   "spbEditor");
  spbHelp = tool(QStringLiteral("Help"), QStringLiteral("Help Contents"), QStyle::SP_DialogHelpButton, "spbHelp");
  h->addWidget(spbOpen);
  h->addWidget(spbPrint);
  h->addWidget(spbEditor);
  h->addWidget(separator());

  auto* percentBox = new QVBoxLayout;
  auto* percentRow = new QHBoxLayout;
  Label1 = new QLabel(QStringLiteral("Percentile:"), row);
  spePercentile = new TBoundedRealEdit(row);
  spePercentile->setObjectName(QStringLiteral("spePercentile"));
  spePercentile->setAlignment(Qt::AlignRight);
  spePercentile->setFixedWidth(60);
  TBoundedRealEditLogic& logic = spePercentile->Logic();
  logic.SetFmtMinC(1.0);
  logic.SetFmtMaxC(100.0);
  logic.SetLowerVal(10.0);
  logic.SetUpperVal(99.99);
  logic.SetBoundRange(TRealInterval::tbrClosedUpperLower);
  spePercentile->SetValue(98.0);
  percentRow->addWidget(Label1);
  percentRow->addWidget(spePercentile);
  btnPlot = new QPushButton(QStringLiteral("Generate Plotfile..."), row);
  btnPlot->setObjectName(QStringLiteral("btnPlot"));
  percentBox->addLayout(percentRow);
  percentBox->addWidget(btnPlot);
  h->addLayout(percentBox);
  h->addWidget(separator());

  auto* receptorBox = new QVBoxLayout;
  Label2 = new QLabel(QStringLiteral("Receptor #:"), row);
  speNum = new TReceptorSpin(row);
  speNum->setObjectName(QStringLiteral("speNum"));
  speNum->SetBounds(1, INT_MAX);
  speNum->setFixedWidth(80);
  receptorBox->addWidget(Label2);
  receptorBox->addWidget(speNum);
  h->addLayout(receptorBox);

  auto* valueBox = new QVBoxLayout;
  Label3 = new QLabel(QStringLiteral("Value:"), row);
  lblPercent = new QLabel(row);
  lblPercent->setObjectName(QStringLiteral("lblPercent"));
  lblPercent->setMinimumWidth(120);
  lblPercent->setTextInteractionFlags(Qt::TextSelectableByMouse);
  valueBox->addWidget(Label3);
  valueBox->addWidget(lblPercent);
  h->addLayout(valueBox);
  h->addStretch(1);
  h->addWidget(spbHelp);

  connect(spbOpen, &QToolButton::clicked, this, [this] { Guarded([this] { Open(); }); });
  connect(spbPrint, &QToolButton::clicked, this, [this] { Guarded([this] { Print(); }); });
  connect(spbEditor, &QToolButton::clicked, this, [this] { Guarded([this] { ViewPostFile(); }); });
  connect(spbHelp, &QToolButton::clicked, this, [this] { Guarded([this] { ShowHelp(); }); });
  connect(btnPlot, &QPushButton::clicked, this, [this] { Guarded([this] { btnPlotClick(); }); });
  connect(speNum, &QSpinBox::textChanged, this, [this] { Guarded([this] { speNumChange(); }); });
  connect(spePercentile, &TBoundedRealEdit::EditValid, this,
          [this](bool valid) { Guarded([this, valid] { spePercentileEditValid(valid); }); });
  connect(spePercentile, &QLineEdit::textChanged, this, [this] { Guarded([this] { spePercentileChange(); }); });
  connect(spePercentile, &TBoundedRealEdit::Exited, this, [this] { Guarded([this] { spePercentileExit(); }); });
}

void TzorvikMain::BuildMenus() {
  auto item = [this](QMenu* menu, const QString& text, std::function<void()> handler) {
    QAction* a = menu->addAction(text);
    connect(a, &QAction::triggered, this, [this, handler = std::move(handler)] { Guarded(handler); });
    return a;
  };
  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  item(file, QStringLiteral("&Open Postfile..."), [this] { Open(); });
  item(file, QStringLiteral("&Close"), [this] { Close(); });
  file->addSeparator();
  actPrint = item(file, QStringLiteral("&Print"), [this] { Print(); });
  actExport = item(file, QStringLiteral("E&xport Chart..."), [this] { ExportChartAs(); });
  file->addSeparator();
  item(file, QStringLiteral("&Exit"), [this] { close(); });

  menuEdit = menuBar()->addMenu(QStringLiteral("&Edit"));
  QAction* copy = item(menuEdit, QStringLiteral("&Copy "), [this] { Copy(); });
  copy->setShortcut(QKeySequence(QStringLiteral("Ctrl+C")));

  menuView = menuBar()->addMenu(QStringLiteral("&View"));
  item(menuView, QStringLiteral("&Postfile..."), [this] { ViewPostFile(); });
  item(menuView, QStringLiteral("Plot&file..."), [this] { ViewPlotFile(); });
  menuView->addSeparator();
  item(menuView, QStringLiteral("&Other File..."), [this] { OpenEditor(); });

  QMenu* tools = menuBar()->addMenu(QStringLiteral("&Tools"));
  item(tools, QStringLiteral("&Rolling Average..."), [this] { RollingAverage(); });
  tools->addSeparator();
  item(tools, QStringLiteral("&Browse..."), [this] { Browse(); });
  item(tools, QStringLiteral("&Editor..."), [this] { OpenEditor(); });

  QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
  item(help, QStringLiteral("&Contents"), [this] { ShowHelp(); });
  help->addSeparator();
  item(help, QStringLiteral("&Team..."), [this] { ShowAbout(1); });
  item(help, QStringLiteral("T&echnical Support..."), [this] { ShowAbout(2); });
  item(help, QStringLiteral("&Web Links..."), [this] { ShowAbout(3); });
  help->addSeparator();
  item(help, QStringLiteral("&Knowledgebase..."), [] { OpenHelpPage(QStringLiteral("knowledgebase")); });
  help->addSeparator();
  item(help, QStringLiteral("&About..."), [this] { ShowAbout(0); });
}

void TzorvikMain::Guarded(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const std::exception& e) {
    if (EStackTrace::IsException<EAbort>(e)) return;
    AppDialogs().ShowError(e.what());
  }
}

double TzorvikMain::Percentile() const { return spePercentile->Value(); }

void TzorvikMain::ShowFileInCaption(const std::string& name) { setWindowTitle(Q(CaptionWithFile(name))); }

void TzorvikMain::EnableViewControls(bool on) {
  for (QWidget* w : std::initializer_list<QWidget*>{fChart, spePercentile, speNum, btnPlot, spbPrint, spbEditor, Label3})
    w->setEnabled(on);
  actPrint->setEnabled(on);
  actExport->setEnabled(on);
  menuEdit->setEnabled(on);
  menuView->setEnabled(on);
  lblPercent->clear();
  for (QLabel* label : {Label1, Label2}) {
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, palette().color(on ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    label->setPalette(p);
  }
}

// ---- loading ----

void TzorvikMain::Open() {
  TOpenPostFileDlg dialog(this);
  if (dialog.exec() != QDialog::Accepted) return;
  TProjectFiles files;
  files.PostFile = dialog.PostFile();
  files.PlotFile = dialog.PlotFile();
  files.MetFile = dialog.MeteoChecked() ? dialog.MetFile() : std::string();
  files.SinglePrecision = dialog.IsSinglePrecision();
  OpenProject(files);
}

bool TzorvikMain::OpenProject(const TProjectFiles& files) {
  fTimer->stop();
  bool ok = false;
  try {
    ok = ReadBlockRecepteros(files.PlotFile, files.PostFile, !files.SinglePrecision, files.MetFile);
  } catch (const std::exception& e) {
    Close();
    try {
      fRecBlocks->Clear();  // nothing of the failed load stays on disk
    } catch (const std::exception&) {
    }
    if (!EStackTrace::IsException<EAbort>(e)) AppDialogs().ShowError(e.what());
    return false;
  }
  if (!ok) {
    Close();
    Guarded([this] { fRecBlocks->Clear(); });
    return false;
  }
  fLoaded = files;
  Guarded([&] {
    SetControlState(true, files.PostFile);
    speNum->SetBounds(1, fRecBlocks->ReceptorCount());
    spePercentileChange();
  });
  return !postfilename.empty();
}

bool TzorvikMain::ReadBlockRecepteros(const std::string& plotFile, const std::string& postFile, bool doublePrecision,
                                      const std::string& metFile) {
  return traced(Step("ReadBlockRecepteros"), [&] {
    bool ok = false;
    std::vector<std::string> warnings;
    RunWithProgress(this, true, [&](TCB_ProgressEX callback) {
      TReceptorManager manager(*fRecBlocks, std::move(callback));
      ok = manager.Execute(plotFile, postFile, metFile, false, doublePrecision);
      warnings = manager.Warnings();
    });
    if (ok && !warnings.empty()) {
      std::string text;
      for (const std::string& w : warnings) text += (text.empty() ? "" : "\r") + w;
      AppDialogs().ShowMessage(text, TMsgDlgType::mtWarning);
    }
    return ok;
  });
}

void TzorvikMain::SetControlState(bool on, const std::string& file) {
  traced(Step("SetControlState"), [&] {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    fChart->setVisible(on);
    fChart->SetFooter({QString(), AboutNoticeText()});
    postfilename = file;
    ShowFileInCaption(postfilename);
    TBusyCursor busy;
    EnableViewControls(on);
    fChart->SetAxesVisible(on);
    if (!on) {
      fChart->hide();
      QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
  });
}

void TzorvikMain::Close() {
  fTimer->stop();
  fChart->hide();
  EnableViewControls(false);
  postfilename.clear();
  ShowFileInCaption(postfilename);
  fChart->ClearSeries();
  fChart->SetTitle({});
  fChart->SetAxesVisible(false);
}

// ---- receptor and percentile ----

void TzorvikMain::speNumChange() {
  btnPlot->setEnabled(false);
  if (speNum->NumberInBounds()) {
    fTimer->start(250);
    btnPlot->setEnabled(true);
  } else {
    fTimer->stop();  // "14" may have started it on the way to "145"
  }
}

void TzorvikMain::TimerTimer() {
  fTimer->stop();
  // A number typed after the timer started may lie outside the bounds: it draws nothing.
  if (const auto number = speNum->NumberInBounds(); number && !postfilename.empty())
    SetPlotFromBlock(*number - 1, Percentile());
}

void TzorvikMain::spePercentileEditValid(bool valid) {
  btnPlot->setEnabled(valid && !postfilename.empty());
  speNum->setEnabled(valid && !postfilename.empty());
  if (valid) spePercentileChange();
}

void TzorvikMain::spePercentileChange() {
  if (postfilename.empty() || !spePercentile->ValueAllowed()) return;
  if (const auto number = speNum->NumberInBounds()) SetPlotFromBlock(*number - 1, Percentile());
}

void TzorvikMain::spePercentileExit() {
  if (spePercentile->ValueAllowed()) spePercentile->SetValue(spePercentile->Value());
}

bool TzorvikMain::ShowReceptor(int number, double percentile) {
  spePercentile->SetValue(percentile);
  speNum->setValue(number);
  fTimer->stop();
  if (!spePercentile->ValueAllowed() || !speNum->NumberInBounds() || postfilename.empty()) return false;
  bool drawn = false;
  Guarded([&] {
    SetPlotFromBlock(number - 1, Percentile());
    drawn = true;
  });
  return drawn;
}

void TzorvikMain::SetPlotFromBlock(int index, double percent) {
  traced(Step("SetPlotFromBlock"), [&] {
    TBusyCursor busy;
    const TPercentView view = BuildPercentView(*fRecBlocks, index, percent);
    std::vector<float> bars(static_cast<size_t>(view.NonZeroHours) + 1, 0.0f);  // and the trailing zero bar
    for (int i = 0; i < view.NonZeroHours; ++i) bars[static_cast<size_t>(i)] = fRecBlocks->GetValue(i);
    fChart->SetTitle({Q(view.Title1), Q(view.Title2), Q(view.Title3)});
    fChart->SetBars(std::move(bars), view.MarkedBar < view.NonZeroHours ? view.MarkedBar : -1);
    fChart->repaint();
    lblPercent->setText(Q(GeneralFloatText(view.Value)));
  });
}

// ---- the percentile PLOTFILE ----

void TzorvikMain::btnPlotClick() {
  TFileChoice choice;
  choice.Title = "Save Generated Plotfile for " + FormatPercentLabel(Percentile()) + " As";
  choice.Filter = "ISC/AERMOD Plotfile (*.plt)|*.plt";
  choice.DefaultExt = "plt";
  choice.Save = true;
  choice.ConfirmOverwrite = true;
  choice.InitialDir = std::filesystem::path(postfilename).parent_path().string();
  if (const auto name = AppDialogs().ChooseFile(choice)) CreatePlotFile(*name);
}

void TzorvikMain::CreatePlotFile(const std::string& name) {
  traced(Step("CreatePlotFile"), [&] {
    CheckRunOutputs({{"the POSTFILE of this run", fLoaded.PostFile},
                     {"the PLOTFILE of this run", fLoaded.PlotFile},
                     {"the met file of this run", fLoaded.MetFile}},
                    {{"The generated PLOTFILE", name}});
    {
      TBusyCursor busy;
      fRecBlocks->WritePercentilePlotFile(name, Percentile());
    }
    AppDialogs().ShowMessage("Plotfile Generated Successfully.", TMsgDlgType::mtInformation);
  });
}

// ---- chart output ----

TzorvikMain::TChartPrinter TzorvikMain::SetChartPrinter(TChartPrinter printer) {
  TChartPrinter previous = ChartPrinter();
  ChartPrinter() = printer ? std::move(printer) : TChartPrinter(PrintWithDialog);
  return previous;
}

void TzorvikMain::Print() {
  if (!fChart->isVisible() && postfilename.empty()) return;
  ChartPrinter()(*fChart, this);
}

void TzorvikMain::Copy() { QGuiApplication::clipboard()->setImage(fChart->Picture(fChart->size())); }

void TzorvikMain::ExportChartAs() {
  TFileChoice choice;
  choice.Title = "Export Chart";
  choice.Filter = "PNG Image (*.png)|*.png|SVG Drawing (*.svg)|*.svg|PDF Document (*.pdf)|*.pdf";
  choice.DefaultExt = "png";
  choice.Save = true;
  choice.ConfirmOverwrite = true;
  choice.InitialDir = std::filesystem::path(postfilename).parent_path().string();
  if (const auto name = AppDialogs().ChooseFile(choice)) ExportChart(*name);
}

void TzorvikMain::ExportChart(const std::string& fileName) {
  traced(Step("ExportChart"), [&] {
    CheckRunOutputs({{"the POSTFILE of this run", fLoaded.PostFile},
                     {"the PLOTFILE of this run", fLoaded.PlotFile},
                     {"the met file of this run", fLoaded.MetFile}},
                    {{"The exported chart", fileName}});
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const QSize size = fChart->size().isValid() && fChart->width() > 200 ? fChart->size() : QSize(900, 600);
    const QString suffix = QFileInfo(Q(fileName)).suffix().toLower();
    if (suffix == QLatin1String("svg")) {
      QSvgGenerator svg;
      svg.setOutputDevice(&buffer);
      svg.setSize(size);
      svg.setViewBox(QRect(QPoint(0, 0), size));
      svg.setTitle(QStringLiteral("Series Plot"));
      QPainter painter(&svg);
      fChart->Paint(painter, QRect(QPoint(0, 0), size));
    } else if (suffix == QLatin1String("pdf")) {
      QPdfWriter pdf(&buffer);
      pdf.setPageOrientation(QPageLayout::Landscape);
      pdf.setResolution(96);
      pdf.setTitle(QStringLiteral("Series Plot"));
      QPainter painter(&pdf);
      fChart->Paint(painter, painter.viewport());
    } else {
      fChart->Picture(size).save(&buffer, "PNG");
    }
    buffer.close();
    WriteFileAtomically(fileName, std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
  });
}

// ---- files, tools and help ----

void TzorvikMain::ViewPostFile() {
  if (!postfilename.empty() && std::filesystem::is_regular_file(postfilename)) {
    if (AppDialogs().AskYesNo("Warning: POSTFILES are *LARGE*. This operation may consume all memory.\rProceed?",
                              TMsgDlgType::mtWarning))
      SystemEditorLauncher().ViewFile(postfilename);
  } else {
    OpenEditor();
  }
}

void TzorvikMain::ViewPlotFile() {
  TFileChoice choice;
  choice.Title = "Open ISC/AERMOD Plotfile";
  choice.Filter = "ISC/AERMOD Plotfile (*.plt)|*.plt";
  choice.MustExist = true;
  choice.InitialDir = fPlotViewFolder.empty() ? TAppName().GetApplicationProjectPath() : fPlotViewFolder;
  if (const auto name = AppDialogs().ChooseFile(choice)) {
    fPlotViewFolder = std::filesystem::path(*name).parent_path().string();
    SystemEditorLauncher().ViewFile(*name);
  }
}

void TzorvikMain::OpenEditor() { SystemEditorLauncher().ViewFile(""); }

void TzorvikMain::Browse() {
  const std::string folder =
      postfilename.empty() ? std::string("/") : std::filesystem::path(postfilename).parent_path().string();
  QDesktopServices::openUrl(QUrl::fromLocalFile(Q(folder.empty() ? std::string("/") : folder)));
}

void TzorvikMain::RollingAverage() {
  TpercRollingAvg window(this);
  connect(&window, &TpercRollingAvg::HelpRequested, this, [] { OpenHelpPage(QStringLiteral("rolling")); });
  window.exec();
}

void TzorvikMain::ShowHelp() { OpenHelpPage(QStringLiteral("contents")); }

void TzorvikMain::ShowAbout(int page, bool modal) {
  if (modal) {
    TAboutBox box(this, page);
    box.exec();
  } else {
    auto* box = new TAboutBox(this, page);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->show();
  }
}

}  // namespace zorvik
