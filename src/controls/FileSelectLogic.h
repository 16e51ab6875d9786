#pragma once
// The behaviour of the file selector: a panel showing a file name, shortened to fit, with up to four small
// buttons to its right (Clear, Restore, View, Open/Save). The widget owns the panel, the buttons, the pop-up
// menu of viewers and the dialogs; it asks this class where to put them, which of them are enabled, what to
// show, and hands every click to it.
//
//   TFileSelectLogic logic(props, {&messageBox, &SystemEditorLauncher(), &fileDialog});
//   logic.OnChange = [&] { /* repaint the label, enable the buttons from logic.Enabling() */ };
//   // Open clicked:                    logic.Execute();
//   // resized:                         place the parts at ComputeSelectorLayout(width(), height(), logic.Props())
//   // label painted:                   logic.ShownText(label.width(), fontWidth)
#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "util/PathText.h"
#include "util/UserDialogs.h"

namespace zorvik {

enum class TFileSelectButton : uint8_t { fsbClear, fsbRestore, fsbView, fsbOpen };
// The set of buttons: bit 1 Clear, 2 Restore, 4 View, 8 Open.
class TFileSelectButtons {
 public:
  constexpr TFileSelectButtons() = default;
  constexpr TFileSelectButtons(std::initializer_list<TFileSelectButton> members) {
    for (TFileSelectButton b : members) Include(b);
  }
  constexpr bool Contains(TFileSelectButton b) const { return (fBits >> static_cast<unsigned>(b)) & 1u; }
  constexpr void Include(TFileSelectButton b) { fBits = static_cast<uint8_t>(fBits | (1u << static_cast<unsigned>(b))); }
  constexpr void Exclude(TFileSelectButton b) { fBits = static_cast<uint8_t>(fBits & ~(1u << static_cast<unsigned>(b))); }
  constexpr uint8_t ToBits() const { return fBits; }
  constexpr bool operator==(const TFileSelectButtons&) const = default;

 private:
  uint8_t fBits = 0;
};
enum class TFileSelectType : uint8_t { fsOpen, fsSave };

// Handlers: `allow` and `fileName` may be changed by the handler. The sender is the widget (SetSender).
using TFSOperation = std::function<void(const void* sender, bool& allow, std::string& fileName)>;
using TFSViewerSelect = std::function<void(const void* sender, int index)>;

// Design-time settings of a selector.
struct TFileSelectorProps {
  TFileSelectButtons Buttons{TFileSelectButton::fsbClear, TFileSelectButton::fsbRestore,
                             TFileSelectButton::fsbView, TFileSelectButton::fsbOpen};
  bool BtnWidthSame = true;  // every button takes the Open button's width
  int BtnWidthOpen = 25;     // buttons start as wide as the control is high
  int BtnWidthClear = 25;
  int BtnWidthRestore = 25;
  int BtnWidthView = 25;
  int BtnHeight = 25;
  bool BtnHeightMax = true;  // buttons take the control's full height
  int PnlHeight = 25;
  bool PnlHeightMax = true;  // the panel takes the control's full height
  int MarginLeft = 0;
  int MarginRight = 0;
  std::string BtnHintOpen = "Specify File|Click here to specify the file name";
  std::string BtnHintSave = "Save File As|Click here to specify the file name";
  std::string BtnHintClear = "Clear File|Click here to empty the file name string";
  std::string BtnHintRestore = "Get Default|Click here to get the default file name";
  std::string BtnHintView = "View File|Click here to view the file";
  TFileSelectType DlgType = TFileSelectType::fsOpen;
  std::string DlgTitle;
  std::string DlgDefaultExt;  // without the dot ("pos")
  std::string DlgInitialDir;
  std::string DlgFilter;      // "Description (*.pos)|*.pos|..."
  int DlgFilterIndex = 1;
  bool DlgAllowOtherExt = false;
  std::string ProjectDir;     // empty: names are shown and kept in full

  // The Open button's picture and hint follow the dialog type.
  const char* OpenPicture() const { return DlgType == TFileSelectType::fsSave ? "BFS_SAVE" : "BFS_OPEN"; }
  const std::string& OpenHint() const { return DlgType == TFileSelectType::fsSave ? BtnHintSave : BtnHintOpen; }
  int ButtonWidth(TFileSelectButton b) const;
};

// A rectangle in the control's coordinates.
struct TSelectorRect {
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Height = 0;
  int Right() const { return Left + Width; }
  bool operator==(const TSelectorRect&) const = default;
};

struct TSelectorLayout {
  TSelectorRect Panel;
  std::array<TSelectorRect, 4> Buttons;  // by TFileSelectButton; an invisible one lies beyond the right edge
  std::array<bool, 4> Visible{};
  const TSelectorRect& Button(TFileSelectButton b) const { return Buttons[static_cast<size_t>(b)]; }
};

// Places the visible buttons from the right edge (less MarginRight) leftwards in the order Open, View,
// Restore, Clear, 2 pixels apart, then 3 more pixels before the panel, which starts at MarginLeft. The
// widget does not call this while it is loading.
TSelectorLayout ComputeSelectorLayout(int width, int height, const TFileSelectorProps& props);

struct TSelectorEnabling {
  bool Text = false;
  bool Clear = false;
  bool Restore = false;
  bool View = false;
  bool Open = false;
  bool operator==(const TSelectorEnabling&) const = default;
};

// The text of the label and its hint ("full name|control hint"; the full name only when shortened).
struct TShownText {
  std::string Text;
  std::string Hint;
};

// What the open or save dialog is asked to show.
struct TFileDialogRequest {
  TFileSelectType Type = TFileSelectType::fsOpen;
  std::string Title;
  std::string Filter;
  int FilterIndex = 1;
  std::string DefaultExt;
  std::string InitialDir;  // empty: the dialog's own choice
  std::string FileName;    // the name part of the current file name
};

// The open or save dialog. `closeRequest` is called with the chosen name (the first selected file, or the
// typed name) when the user confirms; the dialog stays open while it answers false. Returns true when the
// dialog was closed with OK.
class IFileDialog {
 public:
  virtual ~IFileDialog() = default;
  virtual bool Execute(const TFileDialogRequest& request,
                       const std::function<bool(const std::string& chosenName)>& closeRequest) = 0;
};

// What View leaves to the widget.
enum class TViewOutcome { Nothing, Refused, NotFound, OpenedInEditor, ShowViewerMenu };

// The dialogs a selector talks through.
struct TFileSelectServices {
  IMessageBox* Messages = nullptr;
  IEditorLauncher* Editor = nullptr;  // null: the system's
  IFileDialog* Dialog = nullptr;
};

class TFileSelectLogic {
 public:
  explicit TFileSelectLogic(TFileSelectorProps props = {}, TFileSelectServices services = {});

  TFileSelectorProps& Props() { return fProps; }
  const TFileSelectorProps& Props() const { return fProps; }
  void SetSender(const void* sender) { fSender = sender; }

  // The name as written in the field (relative to ProjectDir when that is set and it is shorter).
  const std::string& RelativeFileName() const { return fText; }
  // The full name: the field's text expanded against ProjectDir when that is set.
  std::string FileName() const;
  void SetFileName(const std::string& name);
  void SetRelativeFileName(const std::string& name) { SetFileName(name); }

  bool Enabled() const { return fEnabled; }
  void SetEnabled(bool enabled);
  bool PanelAlwaysEnabled() const { return fPanelAlwaysEnabled; }
  void SetPanelAlwaysEnabled(bool value);
  bool ViewButtonAlwaysEnabled() const { return fViewButtonAlwaysEnabled; }
  void SetViewButtonAlwaysEnabled(bool value);
  TSelectorEnabling Enabling() const;

  std::string Hint;  // the control's hint
  // The label's text shortened to its width less 4 pixels, and its hint.
  TShownText ShownText(int labelWidth, const TTextWidth& width) const;

  // The buttons' actions.
  void Clear();
  void Restore();
  void Default() { Restore(); }
  TViewOutcome View();
  void Execute();

  // The open dialog's close request: records the chosen name and asks OnCanCloseDlg.
  bool DialogCloseRequest(const std::string& chosenName);
  const std::string& CloseFileName() const { return fCloseFileName; }
  // The dialog's starting folder for the current settings and file name ("" for none).
  std::string InitialDir() const;

  // Viewers of the View button's pop-up menu; a newly added viewer is enabled.
  const std::vector<std::string>& ViewerNames() const { return fViewerNames; }
  void SetViewerNames(std::vector<std::string> names);
  void SetViewerState(int index, bool enabled);
  bool ViewerState(int index) const;
  // Entry `index` of the pop-up menu was chosen.
  void ViewerSelected(int index);

  TFSOperation OnClear, OnRestore, OnView, BeforeSelect, OnSelect, OnCanCloseDlg;
  TFSViewerSelect OnViewerSelect;
  // Called after the file name or the enabling changed: the widget repaints the label and the buttons.
  std::function<void()> OnChange;

 private:
  void Changed();
  void ShowError(const std::string& text);

  TFileSelectorProps fProps;
  TFileSelectServices fServices;
  const void* fSender;
  std::string fText;
  bool fEnabled = true;
  bool fPanelAlwaysEnabled = false;
  bool fViewButtonAlwaysEnabled = false;
  std::string fCloseFileName;
  std::vector<std::string> fViewerNames;
  std::vector<bool> fViewerStates;
};

// Whether `name` is taken by a selector expecting `defaultExt` (no dot), and the name it takes: a name without
// extension gets "." + defaultExt; another extension (case ignored) is refused unless others are allowed.
struct TExtensionCheck {
  bool Accepted = true;
  std::string FileName;
};
TExtensionCheck CheckExtension(const std::string& name, const std::string& defaultExt, bool allowOtherExt);

}  // namespace zorvik
