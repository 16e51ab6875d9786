#pragma once
// The file selector as a Qt widget: a sunken panel showing the file name, shortened to fit, and up to four
// small buttons (Clear, Restore, View, Open/Save) at its right. All decisions are TFileSelectLogic's; the
// widget draws, measures text and wires clicks. Boxes and dialogs go through AppDialogs().
#include <QWidget>

#include <string>

#include "controls/FileSelectLogic.h"

namespace zorvik {

class TFileSelector : public QWidget {
  Q_OBJECT
 public:
  explicit TFileSelector(QWidget* parent = nullptr);
  ~TFileSelector() override;

  TFileSelectLogic& Logic();
  // Buttons, dialog title, filter, default extension, other extensions allowed, hints ...; call Relayout()
  // after changing them.
  TFileSelectorProps& Properties();
  void Relayout();

  std::string FileName() const;
  void SetFileName(const std::string& name);

  // The buttons, for tests and for the dialogs that place the selector.
  QWidget* Button(TFileSelectButton button) const;

 signals:
  void FileNameChanged();

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  struct TImpl;
  TImpl* fImpl;
};

}  // namespace zorvik
