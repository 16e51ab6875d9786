#include "rolling/RollingWindowLogic.h"

#include <filesystem>

#include "util/ExceptionLog.h"

namespace zorvik {

namespace {

constexpr int kPathInset = 5;  // the output folder is drawn this much narrower than its panel
constexpr TAverageValue kWindowPeriods[] = {TAverageValue::hr_3, TAverageValue::hr_8, TAverageValue::hr_24};
constexpr int kWindowRanks = 6;

bool FileExists(const std::string& name) {
  std::error_code ec;
  return !name.empty() && std::filesystem::is_regular_file(name, ec);
}

std::string Read(const std::function<std::string()>& get) { return get ? get() : std::string(); }

// Clears the re-entry guard on every way out.
class TFlagGuard {
 public:
  explicit TFlagGuard(bool& flag) : fFlag(flag) { fFlag = true; }
  ~TFlagGuard() { fFlag = false; }
  TFlagGuard(const TFlagGuard&) = delete;
  TFlagGuard& operator=(const TFlagGuard&) = delete;

 private:
  bool& fFlag;
};

}  // namespace

TRollingWindowLogic::TRollingWindowLogic(TRollingWindowControls controls, TRollingWindowServices services)
    : fControls(std::move(controls)), fServices(std::move(services)) {}

void TRollingWindowLogic::FormCreate() {
  inActivateButtons = false;
  fHighValues = {};
  fAverageValues = {};
  ActivateButtons();
  fOutPath.clear();
  ShowOutPath();
}

void TRollingWindowLogic::PeriodClick(TAverageValue period, bool checked) {
  if (checked) {
    fAverageValues.Include(period);
  } else {
    fAverageValues.Exclude(period);
  }
  ActivateButtons();
}

void TRollingWindowLogic::chkHighClick(int rank, bool checked) {
  if (rank < 1 || rank > kWindowRanks) return;
  const auto high = static_cast<THighValue>(rank - 1);
  if (checked) {
    fHighValues.Include(high);
  } else {
    fHighValues.Exclude(high);
  }
  ActivateButtons();
}

void TRollingWindowLogic::SetMeteoFile(bool checked) {
  fMeteoEnabled = checked;
  ActivateButtons();
}

void TRollingWindowLogic::ActivateButtons() {
  if (inActivateButtons) return;
  TFlagGuard guard(inActivateButtons);
  fPeriodBoxesEnabled = true;
  RefreshFileList();
  // Only here: choosing or clearing a file leaves the Run button as it is until a box is clicked.
  bool run = FileExists(Read(fControls.PostFileName)) && FileExists(Read(fControls.PlotFileName)) &&
             !fAverageValues.Empty() && !fHighValues.Empty();
  if (run && fMeteoEnabled) run = FileExists(Read(fControls.MeteoFileName));
  fRunEnabled = run;
}

void TRollingWindowLogic::RefreshFileList() {
  fFileList.clear();
  if (Read(fControls.PostFileName).empty()) return;
  for (TAverageValue period : kWindowPeriods) {
    if (!fAverageValues.Contains(period)) continue;
    for (int h = 0; h < kWindowRanks; ++h) {
      const auto rank = static_cast<THighValue>(h);
      if (fHighValues.Contains(rank)) fFileList.push_back(fOutPath + RollingFileName(period, rank, false));
    }
  }
}

void TRollingWindowLogic::ShowOutPath() {
  const std::string folder = ExcludeTrailingPathDelimiter(fOutPath);
  if (!fControls.PathTextWidth || !fControls.PathPanelWidth) {
    fShownOutPath = folder;
    return;
  }
  fShownOutPath = ShortenPath(folder, fControls.PathPanelWidth() - kPathInset, fControls.PathTextWidth);
}

void TRollingWindowLogic::btnOpenClick() {
  if (!fServices.FolderBrowser) return;
  const std::optional<std::string> folder = fServices.FolderBrowser->BrowseForFolder();
  if (!folder || folder->empty()) return;
  fOutPath = IncludeTrailingPathDelimiter(*folder);
  ShowOutPath();
  RefreshFileList();
}

void TRollingWindowLogic::btnRestoreClick() {
  fOutPath = ExtractFilePath(Read(fControls.PostFileName));
  ShowOutPath();
  RefreshFileList();
}

std::string TRollingWindowLogic::ListedFile(const std::string& entry) const {
  if (!fOutPath.empty()) return entry;
  return ExtractFilePath(Read(fControls.PlotFileName)) + entry;
}

void TRollingWindowLogic::lbFilenamesDblClick(int index) {
  if (fFileList.empty() || index < 0 || static_cast<size_t>(index) >= fFileList.size()) return;
  const std::string name = ListedFile(fFileList[static_cast<size_t>(index)]);
  if (FileExists(name)) {
    (fServices.Editor ? *fServices.Editor : SystemEditorLauncher()).ViewFile(name);
  } else if (fServices.Messages) {
    fServices.Messages->ShowMessage("File will not exist until rolling average is computed",
                                    TMsgDlgType::mtInformation);
  }
}

TRollingRunParams TRollingWindowLogic::RunParams() const {
  TRollingRunParams params;
  params.PostFile = Read(fControls.PostFileName);
  params.PlotFile = Read(fControls.PlotFileName);
  params.MeteoFile = fMeteoEnabled ? Read(fControls.MeteoFileName) : std::string();
  params.OutputFolder = fOutPath;
  params.DoublePrecision = !(fControls.SingleFormat && fControls.SingleFormat());
  params.Periods = fAverageValues;
  params.Ranks = fHighValues;
  params.OnProgress = fControls.OnProgress;
  return params;
}

void TRollingWindowLogic::btnRunClick() {
  traced("TpercRollingAvg.GeneratePlotFiles", [&] {
    const TRollingRunParams params = RunParams();
    if (fServices.Run) {
      fServices.Run(params);
    } else {
      GeneratePlotFiles(params);
    }
  });
}

}  // namespace zorvik
