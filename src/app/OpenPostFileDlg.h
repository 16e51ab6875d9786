#pragma once
// The modal dialog that names the inputs of a percentile analysis: the 1-hour POSTFILE and its precision,
// optionally a met file, and the PLOTFILE of the same project. OK is refused (with a message, the dialog
// staying open) until the names are given and the POST and PLOT files exist.
//
//   TOpenPostFileDlg dlg(parent);
//   if (dlg.exec() == QDialog::Accepted) { open(dlg.PostFile(), dlg.PlotFile(), ...); }
#include <QDialog>

#include <optional>
#include <string>

class QCheckBox;
class QPushButton;

namespace zorvik {

class TFileSelector;

// The checks of OK, in order: the message of the first that fails, nothing when all pass. The met file is
// only required to be named (when asked for), not to exist.
std::optional<std::string> CheckOpenPostInputs(const std::string& postFile, const std::string& plotFile,
                                               bool meteoChecked, const std::string& metFile);

class TOpenPostFileDlg : public QDialog {
  Q_OBJECT
 public:
  explicit TOpenPostFileDlg(QWidget* parent = nullptr);
  ~TOpenPostFileDlg() override;

  std::string PostFile() const;
  std::string PlotFile() const;
  // The met selector's name whether or not "Specify Met File" is ticked; see MeteoChecked().
  std::string MetFile() const;
  bool IsSinglePrecision() const;
  bool MeteoChecked() const;

  // OK runs the checks and stays open on the first failure; any other way of closing always closes.
  void done(int result) override;

 private:
  bool FormCloseQuery();
  void chkMeteoClick();

  TFileSelector* fselBinPost;
  QCheckBox* chkSingleFormat;
  QCheckBox* chkMeteo;
  TFileSelector* fselMetFile;
  TFileSelector* fselTextPlot;
  QPushButton* btnOpen;
  QPushButton* btnCancel;
};

}  // namespace zorvik
