#pragma once
// Stand-ins for the message box and the editor launcher in tests of the logic behind the windows: they record
// what they were asked and show nothing.
#include <string>
#include <utility>
#include <vector>

#include "util/UserDialogs.h"

namespace zorvik::test {

struct FakeMessages : IMessageBox {
  std::vector<std::pair<std::string, TMsgDlgType>> shown;
  void ShowMessage(const std::string& text, TMsgDlgType type) override { shown.emplace_back(text, type); }
};

struct FakeEditor : IEditorLauncher {
  std::vector<std::string> opened;
  void ViewFile(const std::string& fileName) override { opened.push_back(fileName); }
};

}  // namespace zorvik::test
