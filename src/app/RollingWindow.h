#pragma once
// The rolling average window: names the 1-hour POSTFILE, its PLOTFILE and optionally a met file, takes the
// ticked periods and ranks and the output folder, lists the PLOTFILEs a run will write and runs it behind
// the progress window. Every decision is TRollingWindowLogic's; this class places the widgets and wires them.
//
//   TpercRollingAvg window(mainWindow);
//   window.exec();
#include <QDialog>

#include <array>
#include <memory>

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace zorvik {

class TFileSelector;
class TRollingWindowLogic;

class TpercRollingAvg : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kHelpContext = 2000;

  explicit TpercRollingAvg(QWidget* parent);
  ~TpercRollingAvg() override;

 signals:
  // "&Help" was clicked: the application shows this help topic.
  void HelpRequested(int context);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  void WireControls();
  // Shows what the logic answers: Run and the period boxes enabled, the file list, the output folder.
  void ShowState();
  void btnRunClick();
  void lbFilenamesDblClick();

  std::unique_ptr<TRollingWindowLogic> fLogic;
  TFileSelector* fselBinPost = nullptr;
  QCheckBox* chkSingleFormat = nullptr;
  TFileSelector* fselTextPlot = nullptr;
  QCheckBox* chkMeteo = nullptr;
  TFileSelector* fselMetFile = nullptr;
  std::array<QCheckBox*, 3> fPeriodBoxes{};  // chk3h, chk8h, chk24h
  std::array<QCheckBox*, 6> fHighBoxes{};    // chk1high .. chk6high
  QWidget* pnlPath = nullptr;
  QLabel* lblPath = nullptr;
  QPushButton* btnRestore = nullptr;
  QPushButton* btnOpen = nullptr;
  QListWidget* lbFilenames = nullptr;
  QPushButton* HelpButton1 = nullptr;
  QPushButton* btnRun = nullptr;
  QPushButton* btnClose = nullptr;
};

}  // namespace zorvik
