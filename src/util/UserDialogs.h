#pragma once
// The small interfaces through which logic behind the windows talks to the user: message boxes, the folder
// browser and the external text editor. The desktop application supplies the real ones; tests supply fakes.
#include <optional>
#include <string>

namespace zorvik {

enum class TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation };

// A message with its icon and an OK button.
class IMessageBox {
 public:
  virtual ~IMessageBox() = default;
  virtual void ShowMessage(const std::string& text, TMsgDlgType type) = 0;
};

// Asks the user for a folder; nothing when the user cancels.
class IFolderBrowser {
 public:
  virtual ~IFolderBrowser() = default;
  virtual std::optional<std::string> BrowseForFolder() = 0;
};

// Opens a text file in the external editor; raises when the editor cannot be started.
class IEditorLauncher {
 public:
  virtual ~IEditorLauncher() = default;
  virtual void ViewFile(const std::string& fileName) = 0;
};

// The launcher of util/FileUtils (ViewFileInEditor).
IEditorLauncher& SystemEditorLauncher();

}  // namespace zorvik
