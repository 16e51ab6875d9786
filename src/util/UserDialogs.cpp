#include "util/UserDialogs.h"

#include "util/FileUtils.h"

namespace zorvik {

namespace {
class TSystemEditorLauncher final : public IEditorLauncher {
 public:
  void ViewFile(const std::string& fileName) override { ViewFileInEditor(fileName); }
};
}  // namespace

IEditorLauncher& SystemEditorLauncher() {
  static TSystemEditorLauncher launcher;
  return launcher;
}

}  // namespace zorvik
