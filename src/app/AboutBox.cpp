#include "app/AboutBox.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/MainWindow.h"

namespace zorvik {
namespace {

QWidget* Page(const QString& html) {
  auto* page = new QWidget;
  auto* label = new QLabel(html, page);
  label->setWordWrap(true);
  label->setTextFormat(Qt::RichText);
  label->setAlignment(Qt::AlignTop | Qt::AlignLeft);
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(label);
  layout->addStretch(1);
  return page;
}

}  // namespace

QString AboutNoticeText() { return QStringLiteral("Copyright (c) Tarvo. All rights reserved."); }

TAboutBox::TAboutBox(QWidget* parent, int page) : QDialog(parent) {
  setWindowTitle(QStringLiteral("About Zorvik"));
  fPages = new QTabWidget(this);
  const QString version = QString::fromStdString(VersionText());
  fPages->addTab(Page(QStringLiteral("<b>Zorvik Redizeru</b><br>Version %1<br><br>%2<br><br>"
                                     "Percentiles and ordered hours of AERMOD and ISCST3 1-hour POSTFILEs.")
                          .arg(version, AboutNoticeText().toHtmlEscaped())),
                 QStringLiteral("About"));
  fPages->addTab(Page(QStringLiteral("The Zorvik team at Tarvo.")), QStringLiteral("Team"));
  fPages->addTab(Page(QStringLiteral("For help with Zorvik, see the help page (Help, Contents) first.")),
                 QStringLiteral("Technical Support"));
  fPages->addTab(Page(QStringLiteral("The help page bundled with the program lists the useful links.")),
                 QStringLiteral("Web Links"));
  fPages->setCurrentIndex(page >= 0 && page < fPages->count() ? page : 0);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(fPages);
  layout->addWidget(buttons);
  resize(420, 260);
}

}  // namespace zorvik
