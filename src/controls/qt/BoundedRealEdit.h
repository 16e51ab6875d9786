#pragma once
// The bounded real-number edit as a Qt widget: a line edit whose typing, pasting, colours, hint, range
// message and display text are TBoundedRealEditLogic's. The range message box goes through AppDialogs().
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

 signals:
  // The logic's OnEditValid: the text became a complete, allowed number (true) or stopped being one (false).
  void EditValid(bool valid);
  // The user changed the text (OnUserChange).
  void UserChanged();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void insertFromClipboard();

 private:
  struct TImpl;
  TImpl* fImpl;
};

}  // namespace zorvik
