#pragma once
// The about box: the version, the notice text and four pages (About, Team, Technical Support, Web Links).
#include <QDialog>
#include <QString>

class QTabWidget;

namespace zorvik {

// The notice text shown in the about box and in the chart's footer.
QString AboutNoticeText();

class TAboutBox : public QDialog {
  Q_OBJECT
 public:
  // page: 0 About, 1 Team, 2 Technical Support, 3 Web Links.
  TAboutBox(QWidget* parent, int page);
  QTabWidget* Pages() const { return fPages; }

 private:
  QTabWidget* fPages;
};

}  // namespace zorvik
