#pragma once
// The percentile viewer's main window: open a POSTFILE with its PLOTFILE (and met file), pick a percentile
// and a receptor, see the receptor's ordered hours as a bar chart with the percentile's bar in red, and write
// the percentile of every receptor as a PLOTFILE. Loads run on a worker thread behind the progress window.
#include <QMainWindow>
#include <QSpinBox>

#include <functional>
#include <memory>
#include <optional>
#include <string>

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QTimer;
class QToolButton;

namespace zorvik {

class TBoundedRealEdit;
class TOrderedHoursChart;
class TPercentBlocks;

// "Zorvik Redizeru 9.5.5", the caption without a file.
std::string AppTitle();
// The caption with the file on show: AppTitle() + " - [" + name + "]" (the brackets stay when empty).
std::string CaptionWithFile(const std::string& name);
// The version text of the about box.
std::string VersionText();

// The inputs of a load, as the open dialog names them.
struct TProjectFiles {
  std::string PostFile;
  std::string PlotFile;
  std::string MetFile;  // empty: no met file
  bool SinglePrecision = false;
};

// A whole-number edit whose text may hold numbers outside its bounds (the window refuses them itself); the
// arrows stay within the bounds and the minus key is dropped.
class TReceptorSpin : public QSpinBox {
  Q_OBJECT
 public:
  explicit TReceptorSpin(QWidget* parent = nullptr);
  void SetBounds(int low, int high);
  int Low() const { return fLow; }
  int High() const { return fHigh; }
  // The number of the trimmed text when it lies within the bounds.
  std::optional<int> NumberInBounds() const;
  void stepBy(int steps) override;

 protected:
  QValidator::State validate(QString& input, int& pos) const override;
  StepEnabled stepEnabled() const override;

 private:
  int fLow = 1;
  int fHigh = 1;
};

class TzorvikMain : public QMainWindow {
  Q_OBJECT
 public:
  explicit TzorvikMain(QWidget* parent = nullptr);
  ~TzorvikMain() override;

  // Loads the project as Open does once its dialog has named the files; true when it is on show. A cancelled
  // or failed load closes the view; a failure is reported in the error box.
  bool OpenProject(const TProjectFiles& files);
  // Sets the percentile and the receptor number and draws at once (no timer); false when either is refused.
  bool ShowReceptor(int number, double percentile);
  // The chart as Export Chart... writes it: PNG, or PDF for a name ending in ".pdf".
  void ExportChart(const std::string& fileName);

  // Printing goes through this hook (the print dialog by default), so tests never block on a dialog.
  using TChartPrinter = std::function<void(TOrderedHoursChart& chart, QWidget* parent)>;
  static TChartPrinter SetChartPrinter(TChartPrinter printer);

  const std::string& PostFileName() const { return postfilename; }
  TPercentBlocks& Blocks() { return *fRecBlocks; }
  TOrderedHoursChart* Chart() const { return fChart; }
  TBoundedRealEdit* PercentileEdit() const { return spePercentile; }
  TReceptorSpin* ReceptorEdit() const { return speNum; }
  QPushButton* PlotButton() const { return btnPlot; }
  QLabel* PercentLabel() const { return lblPercent; }
  QTimer* ReceptorTimer() const { return fTimer; }
  double Percentile() const;

  // The window's commands, as the menus and buttons call them.
  void Open();
  void Close();
  void Print();
  void Copy();
  void ExportChartAs();
  void ViewPostFile();
  void ViewPlotFile();
  void OpenEditor();
  void Browse();
  void RollingAverage();
  void ShowHelp();
  void ShowAbout(int page, bool modal = true);
  void btnPlotClick();
  void CreatePlotFile(const std::string& name);
  void TimerTimer();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildMenus();
  void BuildToolRow();
  bool ReadBlockRecepteros(const std::string& plotFile, const std::string& postFile, bool doublePrecision,
                           const std::string& metFile);
  void SetControlState(bool on, const std::string& file);
  void SetPlotFromBlock(int index, double percent);
  void EnableViewControls(bool on);
  void ShowFileInCaption(const std::string& name);
  void speNumChange();
  void spePercentileEditValid(bool valid);
  void spePercentileChange();
  void spePercentileExit();
  // Runs a handler; a failure shows the error box and leaves the window as it was.
  void Guarded(const std::function<void()>& handler);

  std::string postfilename;
  TProjectFiles fLoaded;        // the inputs of the run on show
  std::string fPlotViewFolder;  // where View PLOTFILE's dialog opens
  std::unique_ptr<TPercentBlocks> fRecBlocks;

  TOrderedHoursChart* fChart = nullptr;
  TBoundedRealEdit* spePercentile = nullptr;
  TReceptorSpin* speNum = nullptr;
  QPushButton* btnPlot = nullptr;
  QLabel* Label1 = nullptr;
  QLabel* Label2 = nullptr;
  QLabel* Label3 = nullptr;
  QLabel* lblPercent = nullptr;
  QToolButton* spbOpen = nullptr;
  QToolButton* spbPrint = nullptr;
  QToolButton* spbEditor = nullptr;
  QToolButton* spbHelp = nullptr;
  QAction* actPrint = nullptr;
  QAction* actExport = nullptr;
  QMenu* menuEdit = nullptr;
  QMenu* menuView = nullptr;
  QTimer* fTimer = nullptr;
};

}  // namespace zorvik
