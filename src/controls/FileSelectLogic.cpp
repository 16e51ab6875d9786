#include "controls/FileSelectLogic.h"

#include <algorithm>
#include <filesystem>

#include "util/Exceptions.h"
#include "util/FileUtils.h"
#include "util/TextUtils.h"

namespace zorvik {

namespace {

constexpr int kButtonGap = 2;   // between two buttons
constexpr int kPanelGap = 3;    // more between the last button and the panel
constexpr int kLabelInset = 4;  // the label draws its text this much narrower than itself

bool IsFolder(const std::string& name) {
  std::error_code ec;
  return !name.empty() && std::filesystem::is_directory(name, ec);
}

bool IsFile(const std::string& name) {
  std::error_code ec;
  return !name.empty() && std::filesystem::exists(name, ec);
}

}  // namespace

int TFileSelectorProps::ButtonWidth(TFileSelectButton b) const {
  if (BtnWidthSame) return BtnWidthOpen;
  switch (b) {
    case TFileSelectButton::fsbClear: return BtnWidthClear;
    case TFileSelectButton::fsbRestore: return BtnWidthRestore;
    case TFileSelectButton::fsbView: return BtnWidthView;
    case TFileSelectButton::fsbOpen: return BtnWidthOpen;
  }
  return BtnWidthOpen;
}

TSelectorLayout ComputeSelectorLayout(int width, int height, const TFileSelectorProps& props) {
  TSelectorLayout layout;
  int x = width - props.MarginRight;
  bool any = false;
  for (TFileSelectButton b : {TFileSelectButton::fsbOpen, TFileSelectButton::fsbView, TFileSelectButton::fsbRestore,
                              TFileSelectButton::fsbClear}) {
    TSelectorRect& r = layout.Buttons[static_cast<size_t>(b)];
    r.Width = props.ButtonWidth(b);
    r.Height = props.BtnHeightMax ? height : props.BtnHeight;
    r.Top = props.BtnHeightMax ? 0 : (height - r.Height) / 2;
    if (!props.Buttons.Contains(b)) {
      r.Left = width;  // out of sight
      continue;
    }
    layout.Visible[static_cast<size_t>(b)] = true;
    any = true;
    r.Left = x - r.Width;
    x -= r.Width + kButtonGap;
  }
  if (any) x -= kPanelGap;
  layout.Panel.Left = props.MarginLeft;
  // Buttons wider than the control leave no room: the panel shrinks to nothing rather than turn inside out.
  layout.Panel.Width = std::max(0, x - props.MarginLeft);
  layout.Panel.Height = props.PnlHeightMax ? height : props.PnlHeight;
  layout.Panel.Top = props.PnlHeightMax ? 0 : (height - layout.Panel.Height) / 2;
  return layout;
}

TExtensionCheck CheckExtension(const std::string& name, const std::string& defaultExt, bool allowOtherExt) {
  if (defaultExt.empty()) return {true, name};
  const std::string ext = ExtractFileExt(name);
  if (ext.empty()) return {true, name + "." + defaultExt};
  if (!allowOtherExt && !SameTextAscii(ext, "." + defaultExt)) return {false, name};
  return {true, name};
}

TFileSelectLogic::TFileSelectLogic(TFileSelectorProps props, TFileSelectServices services)
    : fProps(std::move(props)), fServices(services), fSender(this) {}

std::string TFileSelectLogic::FileName() const {
  if (!fProps.ProjectDir.empty() && !fText.empty()) return ExpandRelativeFileName(fText, fProps.ProjectDir);
  return fText;
}

void TFileSelectLogic::SetFileName(const std::string& name) {
  fText = fProps.ProjectDir.empty() ? name : MakeRelativeFileName(fProps.ProjectDir, name);
  Changed();
}

void TFileSelectLogic::SetEnabled(bool enabled) {
  fEnabled = enabled;
  Changed();
}

void TFileSelectLogic::SetPanelAlwaysEnabled(bool value) {
  fPanelAlwaysEnabled = value;
  Changed();
}

void TFileSelectLogic::SetViewButtonAlwaysEnabled(bool value) {
  fViewButtonAlwaysEnabled = value;
  Changed();
}

TSelectorEnabling TFileSelectLogic::Enabling() const {
  const bool hasName = !fText.empty();
  TSelectorEnabling e;
  e.Text = fEnabled || fPanelAlwaysEnabled;
  e.Clear = fEnabled && hasName;
  e.Restore = fEnabled;
  e.Open = fEnabled;
  e.View = (fEnabled || fViewButtonAlwaysEnabled) && hasName;
  return e;
}

TShownText TFileSelectLogic::ShownText(int labelWidth, const TTextWidth& width) const {
  TShownText shown;
  shown.Text = ShortenPath(fText, labelWidth - kLabelInset, width);
  shown.Hint = (shown.Text != fText ? fText : std::string()) + "|" + Hint;
  return shown;
}

void TFileSelectLogic::Clear() {
  bool allow = true;
  std::string name = FileName();
  if (OnClear) OnClear(fSender, allow, name);
  if (allow) SetFileName({});
}

void TFileSelectLogic::Restore() {
  if (!OnRestore) return;
  bool allow = false;
  std::string name = FileName();
  OnRestore(fSender, allow, name);
  if (allow) SetFileName(name);
}

TViewOutcome TFileSelectLogic::View() {
  const std::string name = FileName();
  if (name.empty()) return TViewOutcome::Nothing;
  bool allow = true;
  std::string handlerName = name;
  if (OnView) OnView(fSender, allow, handlerName);
  if (!allow) return TViewOutcome::Refused;
  if (!IsFile(name)) {
    ShowError("Cannot find file " + name);
    return TViewOutcome::NotFound;
  }
  if (!fViewerNames.empty()) return TViewOutcome::ShowViewerMenu;
  (fServices.Editor ? *fServices.Editor : SystemEditorLauncher()).ViewFile(name);
  return TViewOutcome::OpenedInEditor;
}

std::string TFileSelectLogic::InitialDir() const {
  std::string dir = fProps.DlgInitialDir == "." ? std::string() : fProps.DlgInitialDir;
  if (IsFolder(dir)) return dir;
  dir = ExtractFilePath(FileName());
  if (IsFolder(dir)) return dir;
  if (IsFolder(fProps.ProjectDir)) return fProps.ProjectDir;
  return {};
}

bool TFileSelectLogic::DialogCloseRequest(const std::string& chosenName) {
  fCloseFileName = chosenName;
  bool canClose = true;
  if (OnCanCloseDlg) OnCanCloseDlg(fSender, canClose, fCloseFileName);
  return canClose;
}

void TFileSelectLogic::Execute() {
  bool allow = true;
  std::string name = FileName();
  if (BeforeSelect) BeforeSelect(fSender, allow, name);
  if (!allow) return;

  TFileDialogRequest request;
  request.Type = fProps.DlgType;
  request.Title = fProps.DlgTitle;
  request.Filter = fProps.DlgFilter;
  request.FilterIndex = fProps.DlgFilterIndex;
  request.DefaultExt = fProps.DlgDefaultExt;
  request.InitialDir = InitialDir();
  request.FileName = ExtractFileName(FileName());

  fCloseFileName.clear();
  const bool ok = fServices.Dialog &&
                  fServices.Dialog->Execute(request, [this](const std::string& chosen) { return DialogCloseRequest(chosen); });
  // A dialog that closed without naming a file chose nothing.
  if (ok && !fCloseFileName.empty()) {
    const TExtensionCheck check = CheckExtension(fCloseFileName, fProps.DlgDefaultExt, fProps.DlgAllowOtherExt);
    if (!check.Accepted) {
      ShowError("Selected file does not have expected extension");
    } else {
      SetFileName(check.FileName);
      bool selectAllowed = true;
      std::string selected = check.FileName;
      if (OnSelect) OnSelect(fSender, selectAllowed, selected);
      SetFileName(selectAllowed ? selected : std::string());
    }
  }
  Changed();
}

void TFileSelectLogic::SetViewerNames(std::vector<std::string> names) {
  fViewerStates.resize(names.size(), true);
  fViewerNames = std::move(names);
}

void TFileSelectLogic::SetViewerState(int index, bool enabled) {
  Assert(index >= 0 && static_cast<size_t>(index) < fViewerNames.size(),
         "TFileSelectorBase.SetViewerState: invalid AIndex");
  fViewerStates[static_cast<size_t>(index)] = enabled;
}

bool TFileSelectLogic::ViewerState(int index) const {
  return index >= 0 && static_cast<size_t>(index) < fViewerStates.size() && fViewerStates[static_cast<size_t>(index)];
}

void TFileSelectLogic::ViewerSelected(int index) {
  if (!OnViewerSelect) throw Exception("TFileSelectorBase - OnViewerSelect is not assigned");
  OnViewerSelect(fSender, index);
}

void TFileSelectLogic::Changed() {
  if (OnChange) OnChange();
}

void TFileSelectLogic::ShowError(const std::string& text) {
  if (fServices.Messages) fServices.Messages->ShowMessage(text, TMsgDlgType::mtError);
}

}  // namespace zorvik
