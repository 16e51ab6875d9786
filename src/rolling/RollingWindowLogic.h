#pragma once
// The behaviour of the rolling average window: the ticked periods and ranks, the output folder, the list of
// files a run will write, when Run is enabled, and the run itself. The window's widgets hand their clicks to
// it and show what it answers; everything the user sees goes through the interfaces in util/UserDialogs.
//
//   TRollingWindowLogic logic(controls, {&messageBox, &folderBrowser, &SystemEditorLauncher()});
//   logic.FormCreate();
//   // chk8h clicked:        logic.chk8hClick(chk8h->isChecked());  then btnRun->setEnabled(logic.RunEnabled()),
//   //                       lbFilenames shows logic.FileList()
//   // Run clicked:          logic.btnRunClick();   (raises the run's error under "TpercRollingAvg.GeneratePlotFiles")
#include <functional>
#include <string>
#include <vector>

#include "post/PostTypes.h"
#include "rolling/RollingAverage.h"
#include "util/PathText.h"
#include "util/UserDialogs.h"

namespace zorvik {

// What the window's other controls hold, read when a step needs it.
struct TRollingWindowControls {
  std::function<std::string()> PostFileName;   // fselBinPost's file name
  std::function<std::string()> PlotFileName;   // fselTextPlot's file name
  std::function<std::string()> MeteoFileName;  // fselMetFile's file name
  std::function<bool()> SingleFormat;          // chkSingleFormat is checked
  TTextWidth PathTextWidth;                    // text width in lblPath's font
  std::function<int()> PathPanelWidth;         // pnlPath's width
  TCB_ProgressEX OnProgress;                   // the progress window (a run cannot be cancelled)
};

struct TRollingWindowServices {
  IMessageBox* Messages = nullptr;
  IFolderBrowser* FolderBrowser = nullptr;
  IEditorLauncher* Editor = nullptr;  // null: the system's
  // The run; null: GeneratePlotFiles.
  std::function<std::vector<std::string>(const TRollingRunParams&)> Run;
};

class TRollingWindowLogic {
 public:
  TRollingWindowLogic(TRollingWindowControls controls, TRollingWindowServices services);

  void FormCreate();
  void chk3hClick(bool checked) { PeriodClick(TAverageValue::hr_3, checked); }
  void chk8hClick(bool checked) { PeriodClick(TAverageValue::hr_8, checked); }
  void chk24hClick(bool checked) { PeriodClick(TAverageValue::hr_24, checked); }
  // chk1high .. chk6high: rank 1 .. 6.
  void chkHighClick(int rank, bool checked);
  // chkMeteo clicked: the met selector is enabled exactly while it is checked.
  void SetMeteoFile(bool checked);
  void btnOpenClick();
  void btnRestoreClick();
  // lbFilenames double-clicked with entry `index` selected (-1: none).
  void lbFilenamesDblClick(int index);
  void btnRunClick();

  // The run btnRunClick starts, as the controls stand now.
  TRollingRunParams RunParams() const;
  // The file a listed entry stands for: a bare name (no output folder chosen) lies next to the PLOT file.
  std::string ListedFile(const std::string& entry) const;

  // What the widgets show.
  bool RunEnabled() const { return fRunEnabled; }
  bool PeriodBoxesEnabled() const { return fPeriodBoxesEnabled; }
  bool MeteoSelectorEnabled() const { return fMeteoEnabled; }
  const std::vector<std::string>& FileList() const { return fFileList; }
  const std::string& ShownOutPath() const { return fShownOutPath; }

  // The dialog's state.
  const std::string& OutPath() const { return fOutPath; }
  THighValues HighValues() const { return fHighValues; }
  TAverageValues AverageValues() const { return fAverageValues; }

  // Private steps, public for the widget's own refreshes and for tests.
  void ActivateButtons();
  void RefreshFileList();
  void ShowOutPath();

 private:
  void PeriodClick(TAverageValue period, bool checked);

  TRollingWindowControls fControls;
  TRollingWindowServices fServices;
  bool inActivateButtons = false;
  std::string fOutPath;
  THighValues fHighValues;
  TAverageValues fAverageValues;
  bool fMeteoEnabled = false;
  bool fRunEnabled = false;
  bool fPeriodBoxesEnabled = false;
  std::vector<std::string> fFileList;
  std::string fShownOutPath;
};

}  // namespace zorvik
