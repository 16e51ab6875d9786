#pragma once
// The bounded real-number edit as a Qt widget: a line edit whose typing, pasting, colours, hint, range
// message and display text are TBoundedRealEditLogic's. The range message box goes through AppDialogs().
//
// Bounds, interval, formats and the range-error handler are set on Logic(); its OnEditValid and OnUserChange
// are the widget's own and come out as the signals below. Return moves the focus on as Tab does (EnterAsTab).
// Leaving the edit with a value out of range shows the range box, blanks the entry and takes the focus back.
#include <QLineEdit>

#include "controls/BoundedRealEditLogic.h"

namespace zorvik {

class TBoundedRealEdit : public QLineEdit {
  Q_OBJECT
 public:
  explicit TBoundedRealEdit(QWidget* parent = nullptr);
  ~TBoundedRealEdit() override;

  TBoundedRealEditLogic& Logic();
  double Value() const;
  void SetValue(double value);
  // True while the text is a complete number within the bounds.
  bool ValueAllowed() const;
  // Return and Enter move the focus to the next control (true, the default) or are left to the line edit.
  bool EnterAsTab() const;
  void SetEnterAsTab(bool value);

 signals:
  // The logic's OnEditValid: the text became a complete, allowed number (true) or stopped being one (false).
  void EditValid(bool valid);
  // The user changed the text (OnUserChange).
  void UserChanged();
  // The focus left with a value the edit accepts (blank or in range); the text is now in display form.
  void Exited();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void changeEvent(QEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  // Pastes the clipboard's text when it makes a complete number (Ctrl+V, Shift+Insert, the context menu).
  void insertFromClipboard();

 private:
  struct TImpl;
  TImpl* fImpl;
};

}  // namespace zorvik
