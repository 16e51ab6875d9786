#pragma once
// A stand-in for the application's dialogs in window tests: records every message and error, answers the
// folder browser and file dialogs from preset values, and never shows anything. Installed for its lifetime.
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/AppDialogs.h"

namespace zorvik::test {

class RecordingAppDialogs final : public IAppDialogs {
 public:
  RecordingAppDialogs() : fPrevious(SetAppDialogs(this)) {}
  ~RecordingAppDialogs() override { SetAppDialogs(fPrevious); }
  RecordingAppDialogs(const RecordingAppDialogs&) = delete;
  RecordingAppDialogs& operator=(const RecordingAppDialogs&) = delete;

  std::vector<std::pair<std::string, TMsgDlgType>> messages;
  std::vector<std::string> errors;
  std::optional<std::string> folder;  // the folder browser's answer
  std::optional<std::string> file;    // the file dialogs' answer
  bool yes = true;

  void ShowMessage(const std::string& text, TMsgDlgType type) override { messages.emplace_back(text, type); }
  bool AskYesNo(const std::string& text, TMsgDlgType type) override {
    messages.emplace_back(text, type);
    return yes;
  }
  void ShowError(const std::string& text) override { errors.push_back(text); }
  std::optional<std::string> BrowseForFolder() override { return folder; }
  std::optional<std::string> ChooseFile(const TFileChoice&) override { return file; }
  bool Execute(const TFileDialogRequest&, const std::function<bool(const std::string&)>& closeRequest) override {
    if (!file) return false;
    return !closeRequest || closeRequest(*file);
  }

 private:
  IAppDialogs* fPrevious;
};

}  // namespace zorvik::test
