#pragma once
// The file selector as a Qt widget: a sunken panel showing the file name, shortened to fit, and up to four
// small buttons (Clear, Restore, View, Open/Save) at its right. All decisions are TFileSelectLogic's; the
// widget draws, measures text and wires clicks. Boxes and dialogs go through AppDialogs().
//
// Disabling the selector (setEnabled(false)) disables its panel and all four buttons; the logic's
// PanelAlwaysEnabled and ViewButtonAlwaysEnabled count only while the selector itself is enabled, since Qt
// disables every child of a disabled widget. The parts are named for findChild: "Panel", "TextControl",
// "BtnClear", "BtnRestore", "BtnView", "BtnOpen".
#include <QWidget>

#include <string>

#include "controls/FileSelectLogic.h"

namespace zorvik {

class TFileSelector : public QWidget {
  Q_OBJECT
 public:
  explicit TFileSelector(QWidget* parent = nullptr);
  ~TFileSelector() override;

  // The handlers (OnClear, OnSelect, OnCanCloseDlg, ...) and viewers are set here; OnChange is the widget's own.
  TFileSelectLogic& Logic();
  // Buttons, dialog title, filter, default extension, other extensions allowed, hints ...; call Relayout()
  // after changing them.
  TFileSelectorProps& Properties();
  void Relayout();

  std::string FileName() const;
  void SetFileName(const std::string& name);
  // The control's hint ("short|long"): the short part is the tooltip, the long part the status-line text. The
  // label's tooltip is the full name while the shown name is shortened.
  void SetHint(const std::string& hint);
  QSize sizeHint() const override;  // 300 x 25

  // The buttons, for tests and for the dialogs that place the selector.
  QWidget* Button(TFileSelectButton button) const;

 signals:
  // The file name changed (set by code, chosen in the dialog, cleared, restored).
  void FileNameChanged();

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  struct TImpl;
  TImpl* fImpl;
};

}  // namespace zorvik
