#include "app/AppDialogs.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include <algorithm>
#include <vector>

namespace zorvik {
namespace {

QPointer<QWidget> gParent;

QString Text(const std::string& text) {
  // Messages use "\r" for a line break.
  QString s = QString::fromLocal8Bit(text.c_str());
  s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return s;
}

QMessageBox::Icon IconOf(TMsgDlgType type) {
  switch (type) {
    case TMsgDlgType::mtWarning: return QMessageBox::Warning;
    case TMsgDlgType::mtError: return QMessageBox::Critical;
    case TMsgDlgType::mtInformation: return QMessageBox::Information;
    case TMsgDlgType::mtConfirmation: return QMessageBox::Question;
  }
  return QMessageBox::NoIcon;
}

class TQtDialogs final : public IAppDialogs {
 public:
  void ShowMessage(const std::string& text, TMsgDlgType type) override {
    QMessageBox box(IconOf(type), QApplicationName(), Text(text), QMessageBox::Ok, gParent);
    box.exec();
  }
  bool AskYesNo(const std::string& text, TMsgDlgType type) override {
    QMessageBox box(IconOf(type), QApplicationName(), Text(text), QMessageBox::Yes | QMessageBox::No, gParent);
    return box.exec() == QMessageBox::Yes;
  }
  void ShowError(const std::string& text) override {
    QMessageBox box(QMessageBox::Critical, QApplicationName(), Text(text), QMessageBox::Ok, gParent);
    box.exec();
  }
  std::optional<std::string> BrowseForFolder() override {
    const QString folder = QFileDialog::getExistingDirectory(gParent);
    if (folder.isEmpty()) return std::nullopt;
    return folder.toStdString();
  }
  std::optional<std::string> ChooseFile(const TFileChoice& choice) override {
    QFileDialog dialog(gParent, QString::fromStdString(choice.Title), QString::fromStdString(choice.InitialDir),
                       QString::fromStdString(QtFilter(choice.Filter)));
    dialog.setAcceptMode(choice.Save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(choice.Save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!choice.DefaultExt.empty()) dialog.setDefaultSuffix(QString::fromStdString(choice.DefaultExt));
    if (!choice.ConfirmOverwrite) dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (!choice.FileName.empty()) dialog.selectFile(QString::fromStdString(choice.FileName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().first().toStdString();
  }
  bool Execute(const TFileDialogRequest& request,
               const std::function<bool(const std::string& chosenName)>& closeRequest) override;

 private:
  static QString QApplicationName() { return QStringLiteral("Zorvik"); }
};

bool TQtDialogs::Execute(const TFileDialogRequest& request,
                         const std::function<bool(const std::string& chosenName)>& closeRequest) {
  TFileChoice choice;
  choice.Title = request.Title;
  choice.Filter = request.Filter;
  choice.DefaultExt = request.DefaultExt;
  choice.InitialDir = request.InitialDir;
  choice.FileName = request.FileName;
  choice.Save = request.Type == TFileSelectType::fsSave;
  choice.MustExist = !choice.Save;
  choice.ConfirmOverwrite = choice.Save;
  for (;;) {
    const auto name = ChooseFile(choice);
    if (!name) return false;
    if (!closeRequest || closeRequest(*name)) return true;
    choice.FileName = *name;
  }
}

TQtDialogs& QtDialogs() {
  static TQtDialogs dialogs;
  return dialogs;
}

IAppDialogs* gDialogs = nullptr;

class TCurrentDialogs final : public IAppDialogs {
 public:
  void ShowMessage(const std::string& text, TMsgDlgType type) override { AppDialogs().ShowMessage(text, type); }
  bool AskYesNo(const std::string& text, TMsgDlgType type) override { return AppDialogs().AskYesNo(text, type); }
  void ShowError(const std::string& text) override { AppDialogs().ShowError(text); }
  std::optional<std::string> BrowseForFolder() override { return AppDialogs().BrowseForFolder(); }
  std::optional<std::string> ChooseFile(const TFileChoice& choice) override { return AppDialogs().ChooseFile(choice); }
  bool Execute(const TFileDialogRequest& request,
               const std::function<bool(const std::string& chosenName)>& closeRequest) override {
    return AppDialogs().Execute(request, closeRequest);
  }
};

}  // namespace

IAppDialogs& AppDialogs() { return gDialogs ? *gDialogs : QtDialogs(); }

IAppDialogs* SetAppDialogs(IAppDialogs* dialogs) {
  IAppDialogs* previous = gDialogs;
  gDialogs = dialogs;
  return previous;
}

IAppDialogs& CurrentAppDialogs() {
  static TCurrentDialogs dialogs;
  return dialogs;
}

void SetDialogParent(QWidget* parent) { gParent = parent; }

std::string QtFilter(const std::string& filter) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= filter.size()) {
    const size_t bar = std::min(filter.find('|', start), filter.size());
    parts.push_back(filter.substr(start, bar - start));
    start = bar + 1;
  }
  // Qt reads the patterns from the parentheses of each entry's text: "Plotfile (*.fil *.plt)".
  std::string out;
  for (size_t i = 0; i + 1 < parts.size(); i += 2) {
    std::string patterns = parts[i + 1];
    for (auto& c : patterns)
      if (c == ';') c = ' ';
    std::string text = parts[i];
    if (const size_t open = text.find('('); open != std::string::npos) text.erase(open);
    while (!text.empty() && text.back() == ' ') text.pop_back();
    if (!out.empty()) out += ";;";
    out += text + " (" + patterns + ")";
  }
  return out;
}

}  // namespace zorvik
