#pragma once
// TAppName: the running program's own file and folder, and the per-user folders and settings key derived
// from the application name. Folder results end with "/". Paths keep their real case (the file system is
// case-sensitive); the application name used in derived folders and the settings key is lower case.
#include <string>

namespace zorvik {

class TAppName {
 public:
  // The running program (/proc/self/exe), or the given program file (tests).
  TAppName();
  explicit TAppName(const std::string& programFile);

  // The program's full file name and its folder.
  const std::string& NameOfApp() const { return fNameOfApp; }
  const std::string& PathToApp() const { return fPathToApp; }
  // Short (8.3) names do not exist here: the same as the long ones.
  const std::string& NameOfApp8dot3() const { return fNameOfApp8dot3; }
  const std::string& PathToApp8dot3() const { return fPathToApp8dot3; }
  // A file beside the program ("debug_log.ini").
  std::string ReferenceAppPath(const std::string& nameOfFile) const { return fPathToApp + nameOfFile; }
  std::string ReferenceAppPath8Dot3(const std::string& nameOfFile) const { return fPathToApp8dot3 + nameOfFile; }

  // The program's file name without folder and extension, in lower case.
  std::string ApplicationName() const;

  // $XDG_DATA_HOME (else ~/.local/share) + "Tarvo/<application>/".
  std::string GetApplicationDataPath() const;
  // $XDG_DOCUMENTS_DIR (the environment, else ~/.config/user-dirs.dirs, else ~/Documents).
  std::string GetUserDocumentPath() const;
  // Documents folder + "Tarvo/<application>/".
  std::string GetUserAppDocumentPath() const;
  // The first existing of: GetUserAppDocumentPath; documents + "Tarvo/"; documents; the current folder; the
  // program's folder.
  std::string GetDefaultUserAppDocumentPath() const;
  // An installed project folder ("/opt/Tarvo/<application>/") when it exists, else
  // GetDefaultUserAppDocumentPath.
  std::string GetApplicationProjectPath() const;
  // The settings key "Software\Tarvo\<application>\".
  std::string GetRegistryPath() const;

  // The last folder name of the parent of the documents folder (the user's name as a rule).
  const std::string& CurrentUser() const { return fCurrentUser; }
  const std::string& SelectedUser() const { return fSelectedUser; }
  void SetSelectedUser(const std::string& user) { fSelectedUser = user; }
  bool CreateDirOnDemand() const { return fCreateDirOnDemand; }
  void SetCreateDirOnDemand(bool value) { fCreateDirOnDemand = value; }

 private:
  void Init(const std::string& programFile);
  // Creates the folder when asked to (failures are ignored) and returns it with a trailing "/".
  std::string OnDemand(std::string folder) const;

  std::string fPathToApp;
  std::string fPathToApp8dot3;
  std::string fNameOfApp;
  std::string fNameOfApp8dot3;
  bool fRegistryMoved = false;
  bool fCreateDirOnDemand = true;
  std::string fCurrentUser;
  std::string fSelectedUser;
};

// The shared instance, created on first use.
TAppName& AppName();

}  // namespace zorvik
