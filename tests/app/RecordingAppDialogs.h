#pragma once
// A stand-in for the application's dialogs in window tests: records every message, question, error and file
// dialog, answers the folder browser and file dialogs from preset values, and never shows anything. Installed
// for its lifetime.
#include <deque>
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
  std::vector<std::string> questions;
  std::vector<std::string> errors;
  std::vector<TFileChoice> choices;    // the main window's file dialogs, as asked
  std::optional<std::string> folder;  // the folder browser's answer
  std::deque<std::string> files;      // answers of the file dialogs, one a dialog, before `file`
  std::optional<std::string> file;    // the file dialogs' answer once `files` is used up; nothing: Cancel
  bool yes = true;

  // Forgets what was recorded and asked (the preset answers stay).
  void Clear() {
    messages.clear();
    questions.clear();
    errors.clear();
    choices.clear();
  }
  std::vector<std::string> MessageTexts() const {
    std::vector<std::string> texts;
    for (const auto& message : messages) texts.push_back(message.first);
    return texts;
  }

  void ShowMessage(const std::string& text, TMsgDlgType type) override { messages.emplace_back(text, type); }
  bool AskYesNo(const std::string& text, TMsgDlgType) override {
    questions.push_back(text);
    return yes;
  }
  void ShowError(const std::string& text) override { errors.push_back(text); }
  std::optional<std::string> BrowseForFolder() override { return folder; }
  std::optional<std::string> ChooseFile(const TFileChoice& choice) override {
    choices.push_back(choice);
    return NextFile();
  }
  bool Execute(const TFileDialogRequest&, const std::function<bool(const std::string&)>& closeRequest) override {
    const auto name = NextFile();
    if (!name) return false;
    return !closeRequest || closeRequest(*name);
  }

 private:
  std::optional<std::string> NextFile() {
    if (files.empty()) return file;
    std::string name = files.front();
    files.pop_front();
    return name;
  }
  IAppDialogs* fPrevious;
};

}  // namespace zorvik::test
