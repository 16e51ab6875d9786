#pragma once
// The one interface through which the desktop windows talk to the user in modal boxes: messages, questions,
// the error box, open and save dialogs and the folder browser. The application installs the Qt one; tests
// install a fake that answers without showing anything (SetAppDialogs), so no box ever blocks a test.
#include <functional>
#include <optional>
#include <string>

#include "controls/FileSelectLogic.h"
#include "util/UserDialogs.h"

class QWidget;

namespace zorvik {

// A save or open dialog of the main window.
struct TFileChoice {
  std::string Title;
  std::string Filter;        // "ISC/AERMOD Plotfile (*.plt)|*.plt" (pairs of text and patterns, "|"-separated)
  std::string DefaultExt;    // "plt"
  std::string InitialDir;
  std::string FileName;
  bool Save = false;
  bool MustExist = false;    // open: the file must exist
  bool ConfirmOverwrite = false;
};

class IAppDialogs : public IMessageBox, public IFolderBrowser, public IFileDialog {
 public:
  // A question with Yes and No; true for Yes.
  virtual bool AskYesNo(const std::string& text, TMsgDlgType type) = 0;
  // The application's error box (stop icon, OK) with a failure's text and its trace lines.
  virtual void ShowError(const std::string& text) = 0;
  // A file name chosen in an open or save dialog; nothing on Cancel.
  virtual std::optional<std::string> ChooseFile(const TFileChoice& choice) = 0;
};

// The dialogs in use: the Qt ones unless a test installed others.
IAppDialogs& AppDialogs();
// Installs `dialogs` (nullptr: the Qt ones again); returns the previous ones.
IAppDialogs* SetAppDialogs(IAppDialogs* dialogs);
// Dialogs that look up AppDialogs() at each use, for logic objects that keep their dialogs for a long time: a
// test may install its fakes after they were made.
IAppDialogs& CurrentAppDialogs();
// The parent window of the boxes (the main window once it exists).
void SetDialogParent(QWidget* parent);

// Qt's file-dialog filter ("Text (*.a *.b);;All Files (*)") for a "text|patterns|text|patterns" filter.
std::string QtFilter(const std::string& filter);

}  // namespace zorvik
