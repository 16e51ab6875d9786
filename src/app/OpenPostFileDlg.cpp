#include "app/OpenPostFileDlg.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include <filesystem>

#include "app/AppDialogs.h"
#include "app/InputSelectors.h"
#include "controls/qt/FileSelector.h"

namespace zorvik {
namespace {

constexpr int kClientWidth = 571;
constexpr int kClientHeight = 266;

bool FileExists(const std::string& name) {
  std::error_code ec;
  return !name.empty() && std::filesystem::exists(name, ec) && !std::filesystem::is_directory(name, ec);
}

}  // namespace

std::optional<std::string> CheckOpenPostInputs(const std::string& postFile, const std::string& plotFile,
                                               bool meteoChecked, const std::string& metFile) {
  if (postFile.empty()) return "Please specify the POST file.";
  if (!FileExists(postFile)) return "Specified POST file does not exist:\r" + postFile;
  if (plotFile.empty()) return "Please specify the PLOT file.";
  if (!FileExists(plotFile)) return "Specified PLOT file does not exist:\r" + plotFile;
  if (meteoChecked && metFile.empty()) return "Please specify the Met file.";
  return std::nullopt;
}

TOpenPostFileDlg::TOpenPostFileDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
  setWindowTitle(QStringLiteral("Open POST File"));
  setFont(QFont(QStringLiteral("Arial"), 8));

  QGroupBox* grpPostfile = NewPostFileGroup(this, fselBinPost, chkSingleFormat);
  QGroupBox* grpMeteoFile = NewMetFileGroup(this, chkMeteo, fselMetFile);
  QGroupBox* grpPlotFile = NewPlotFileGroup(this, fselTextPlot);

  btnOpen = new QPushButton(QStringLiteral("&Open"), this);
  btnOpen->setObjectName(QStringLiteral("btnOpen"));
  btnOpen->setDefault(true);
  btnCancel = new QPushButton(QStringLiteral("&Cancel"), this);
  btnCancel->setObjectName(QStringLiteral("btnCancel"));
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(btnOpen);
  buttons->addWidget(btnCancel);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(grpPostfile);
  layout->addWidget(grpMeteoFile);
  layout->addWidget(grpPlotFile);
  layout->addStretch(1);
  layout->addLayout(buttons);
  resize(kClientWidth, kClientHeight);

  connect(chkMeteo, &QCheckBox::clicked, this, [this] { chkMeteoClick(); });
  connect(btnOpen, &QPushButton::clicked, this, &QDialog::accept);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

TOpenPostFileDlg::~TOpenPostFileDlg() = default;

std::string TOpenPostFileDlg::PostFile() const { return fselBinPost->FileName(); }
std::string TOpenPostFileDlg::PlotFile() const { return fselTextPlot->FileName(); }
std::string TOpenPostFileDlg::MetFile() const { return fselMetFile->FileName(); }
bool TOpenPostFileDlg::IsSinglePrecision() const { return chkSingleFormat->isChecked(); }
bool TOpenPostFileDlg::MeteoChecked() const { return chkMeteo->isChecked(); }

void TOpenPostFileDlg::chkMeteoClick() { EnableSelector(*fselMetFile, chkMeteo->isChecked()); }

bool TOpenPostFileDlg::FormCloseQuery() {
  const auto problem = CheckOpenPostInputs(PostFile(), PlotFile(), MeteoChecked(), MetFile());
  if (!problem) return true;
  AppDialogs().ShowMessage(*problem, TMsgDlgType::mtInformation);
  return false;
}

void TOpenPostFileDlg::done(int result) {
  if (result == QDialog::Accepted && !FormCloseQuery()) return;
  QDialog::done(result);
}

}  // namespace zorvik
