#include "util/AppName.h"

#include <pwd.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "util/ExceptionLog.h"

namespace zorvik {
namespace fs = std::filesystem;

namespace {

constexpr const char* kMakerFolder = "Tarvo";

std::string WithSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

std::string HomeFolder() {
  std::string home = Env("HOME");
  if (!home.empty()) return home;
  if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return pw->pw_dir;
  return "/";
}

// XDG_DOCUMENTS_DIR from ~/.config/user-dirs.dirs ("$HOME/Documents"), or "" when it is not there.
std::string DocumentsFromUserDirs() {
  std::string config = Env("XDG_CONFIG_HOME");
  if (config.empty()) config = HomeFolder() + "/.config";
  std::ifstream in(config + "/user-dirs.dirs");
  std::string line;
  const std::string key = "XDG_DOCUMENTS_DIR=";
  while (std::getline(in, line)) {
    if (line.compare(0, key.size(), key) != 0) continue;
    std::string value = line.substr(key.size());
    while (!value.empty() && std::isspace(static_cast<unsigned char>(value.back()))) value.pop_back();
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    if (value.compare(0, 5, "$HOME") == 0) value = HomeFolder() + value.substr(5);
    if (!value.empty() && value.front() == '/') return value;
  }
  return {};
}

// The documents folder without creating it.
std::string DocumentsFolder() {
  std::string docs = Env("XDG_DOCUMENTS_DIR");
  if (docs.empty()) docs = DocumentsFromUserDirs();
  if (docs.empty()) docs = HomeFolder() + "/Documents";
  return WithSlash(docs);
}

bool FolderExists(const std::string& folder) {
  std::error_code ec;
  return fs::is_directory(folder, ec);
}

}  // namespace

TAppName::TAppName() {
  traced("TAppName.Create", [&] {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) RaiseLastOSError("Unable to locate the running program", ec.value());
    std::string name = exe.string();
    const std::string deleted = " (deleted)";
    if (name.size() > deleted.size() && name.compare(name.size() - deleted.size(), deleted.size(), deleted) == 0) {
      name.resize(name.size() - deleted.size());
    }
    Init(name);
  });
}

TAppName::TAppName(const std::string& programFile) { Init(programFile); }

void TAppName::Init(const std::string& programFile) {
  fNameOfApp = programFile;
  fPathToApp = WithSlash(fs::path(programFile).parent_path().string());
  fNameOfApp8dot3 = fNameOfApp;
  fPathToApp8dot3 = fPathToApp;
  fs::path docs = fs::path(DocumentsFolder()).parent_path();  // drops the trailing "/"
  fCurrentUser = docs.parent_path().filename().string();
}

std::string TAppName::ApplicationName() const {
  std::string name = fs::path(fNameOfApp).stem().string();
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name;
}

std::string TAppName::OnDemand(std::string folder) const {
  folder = WithSlash(std::move(folder));
  if (fCreateDirOnDemand) {
    std::error_code ec;
    fs::create_directories(folder, ec);  // a folder that cannot be made is still the answer
  }
  return folder;
}

std::string TAppName::GetApplicationDataPath() const {
  std::string data = Env("XDG_DATA_HOME");
  if (data.empty()) data = HomeFolder() + "/.local/share";
  return OnDemand(WithSlash(data) + kMakerFolder + "/" + ApplicationName());
}

std::string TAppName::GetUserDocumentPath() const { return OnDemand(DocumentsFolder()); }

std::string TAppName::GetUserAppDocumentPath() const {
  return OnDemand(GetUserDocumentPath() + kMakerFolder + "/" + ApplicationName());
}

std::string TAppName::GetDefaultUserAppDocumentPath() const {
  const std::string docs = DocumentsFolder();
  std::error_code ec;
  const std::string current = WithSlash(fs::current_path(ec).string());
  for (const std::string& folder :
       {GetUserAppDocumentPath(), docs + kMakerFolder + "/", docs, ec ? std::string() : current}) {
    if (!folder.empty() && FolderExists(folder)) return folder;
  }
  return fPathToApp;
}

std::string TAppName::GetApplicationProjectPath() const {
  const std::string installed = std::string("/opt/") + kMakerFolder + "/" + ApplicationName() + "/";
  if (FolderExists(installed)) return installed;
  return GetDefaultUserAppDocumentPath();
}

std::string TAppName::GetRegistryPath() const {
  return "Software\\" + std::string(kMakerFolder) + "\\" + ApplicationName() + "\\";
}

TAppName& AppName() {
  static TAppName instance;
  return instance;
}

}  // namespace zorvik
