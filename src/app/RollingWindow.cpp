#include "app/RollingWindow.h"

#include <QCheckBox>
#include <QEvent>
#include <QFontMetrics>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "app/AppDialogs.h"
#include "app/InputSelectors.h"
#include "app/ProgressWindow.h"
#include "controls/qt/FileSelector.h"
#include "rolling/RollingWindowLogic.h"

namespace zorvik {
namespace {

constexpr int kClientWidth = 555;
constexpr int kClientHeight = 472;
constexpr int kSmallButton = 25;


QCheckBox* NewBox(const char* caption, const char* name, QWidget* parent) {
  auto* box = new QCheckBox(QString::fromLatin1(caption), parent);
  box->setObjectName(QString::fromLatin1(name));
  return box;
}

QPushButton* NewSmallButton(QStyle::StandardPixmap picture, const char* name, const char* hint, QWidget* parent) {
  auto* button = new QPushButton(parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setIcon(parent->style()->standardIcon(picture));
  button->setToolTip(QString::fromLatin1(hint));
  button->setFixedSize(kSmallButton, kSmallButton);
  return button;
}

}  // namespace

TpercRollingAvg::TpercRollingAvg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
  setWindowTitle(QStringLiteral("Rolling Average"));
  setFont(QFont(QStringLiteral("Arial"), 8));
  BuildControls();
  resize(kClientWidth, kClientHeight);

  TRollingWindowControls controls;
  controls.PostFileName = [this] { return fselBinPost->FileName(); };
  controls.PlotFileName = [this] { return fselTextPlot->FileName(); };
  controls.MeteoFileName = [this] { return fselMetFile->FileName(); };
  controls.SingleFormat = [this] { return chkSingleFormat->isChecked(); };
  controls.PathTextWidth = [this](std::string_view text) {
    return QFontMetrics(lblPath->font()).horizontalAdvance(QString::fromUtf8(text.data(), static_cast<int>(text.size())));
  };
  controls.PathPanelWidth = [this] { return pnlPath->width(); };

  TRollingWindowServices services;
  services.Messages = &CurrentAppDialogs();
  services.FolderBrowser = &CurrentAppDialogs();
  services.Editor = &SystemEditorLauncher();
  // The run goes to a worker thread behind the progress window, which has no Cancel for it.
  services.Run = [this](const TRollingRunParams& params) {
    std::vector<std::string> written;
    RunWithProgress(this, false, [&](TCB_ProgressEX progress) {
      TRollingRunParams run = params;
      run.OnProgress = std::move(progress);
      written = GeneratePlotFiles(run);
    });
    return written;
  };

  fLogic = std::make_unique<TRollingWindowLogic>(std::move(controls), std::move(services));
  fLogic->FormCreate();
  WireControls();
  ShowState();
}

TpercRollingAvg::~TpercRollingAvg() = default;

void TpercRollingAvg::BuildControls() {
  QGroupBox* grpPostfile = NewPostFileGroup(this, fselBinPost, chkSingleFormat);
  QGroupBox* grpPlotFile = NewPlotFileGroup(this, fselTextPlot);
  QGroupBox* grpMeteoFile = NewMetFileGroup(this, chkMeteo, fselMetFile);

  auto* GroupBox1 = new QGroupBox(QStringLiteral("Rolling Average"), this);
  GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
  fPeriodBoxes = {NewBox("3 hours", "chk3h", GroupBox1), NewBox("8 hours", "chk8h", GroupBox1),
                  NewBox("24 hours", "chk24h", GroupBox1)};
  auto* periodLayout = new QVBoxLayout(GroupBox1);
  for (QCheckBox* box : fPeriodBoxes) periodLayout->addWidget(box);

  auto* GroupBox2 = new QGroupBox(QStringLiteral("High Values"), this);
  GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
  fHighBoxes = {NewBox("1st", "chk1high", GroupBox2), NewBox("2nd", "chk2high", GroupBox2),
                NewBox("3rd", "chk3high", GroupBox2), NewBox("4th", "chk4high", GroupBox2),
                NewBox("5th", "chk5high", GroupBox2), NewBox("6th", "chk6high", GroupBox2)};
  auto* highLayout = new QGridLayout(GroupBox2);
  for (int i = 0; i < static_cast<int>(fHighBoxes.size()); ++i) highLayout->addWidget(fHighBoxes[i], i % 3, i / 3);

  auto* GroupBox4 = new QGroupBox(QStringLiteral("Specify Path to Save PLOTFILES"), this);
  GroupBox4->setObjectName(QStringLiteral("GroupBox4"));
  auto* panel = new QFrame(GroupBox4);
  panel->setFrameShape(QFrame::Panel);
  panel->setFrameShadow(QFrame::Sunken);
  pnlPath = panel;
  pnlPath->setObjectName(QStringLiteral("pnlPath"));
  pnlPath->setFixedHeight(kSmallButton);
  lblPath = new QLabel(pnlPath);
  lblPath->setObjectName(QStringLiteral("lblPath"));
  lblPath->setAlignment(Qt::AlignCenter);
  auto* pathLayout = new QHBoxLayout(pnlPath);
  pathLayout->setContentsMargins(0, 0, 0, 0);
  pathLayout->addWidget(lblPath);
  btnRestore = NewSmallButton(QStyle::SP_BrowserReload, "btnRestore", "Folder of the POSTFILE", GroupBox4);
  btnOpen = NewSmallButton(QStyle::SP_DirOpenIcon, "btnOpen", "Choose the folder", GroupBox4);
  auto* folderLayout = new QHBoxLayout(GroupBox4);
  folderLayout->addWidget(pnlPath, 1);
  folderLayout->addWidget(btnRestore);
  folderLayout->addWidget(btnOpen);

  auto* GroupBox3 = new QGroupBox(QStringLiteral("PLOTFILES to be Generated"), this);
  GroupBox3->setObjectName(QStringLiteral("GroupBox3"));
  lbFilenames = new QListWidget(GroupBox3);
  lbFilenames->setObjectName(QStringLiteral("lbFilenames"));
  lbFilenames->setToolTip(QStringLiteral("Double click filename to view in editor"));
  auto* listLayout = new QVBoxLayout(GroupBox3);
  listLayout->addWidget(lbFilenames);

  HelpButton1 = new QPushButton(QStringLiteral("&Help"), this);
  HelpButton1->setObjectName(QStringLiteral("HelpButton1"));
  btnRun = new QPushButton(style()->standardIcon(QStyle::SP_MediaPlay), QStringLiteral("&Run"), this);
  btnRun->setObjectName(QStringLiteral("btnRun"));
  btnRun->setEnabled(false);
  btnClose = new QPushButton(QStringLiteral("&Close"), this);
  btnClose->setObjectName(QStringLiteral("btnClose"));
  btnClose->setAutoDefault(false);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(HelpButton1);
  buttons->addStretch(1);
  buttons->addWidget(btnRun);
  buttons->addWidget(btnClose);

  auto* choices = new QHBoxLayout;
  choices->addWidget(GroupBox1);
  choices->addWidget(GroupBox2);
  auto* right = new QVBoxLayout;
  right->addWidget(GroupBox4);
  right->addWidget(GroupBox3, 1);
  auto* middle = new QHBoxLayout;
  auto* left = new QVBoxLayout;
  left->addLayout(choices);
  left->addStretch(1);
  middle->addLayout(left);
  middle->addLayout(right, 1);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(grpPostfile);
  layout->addWidget(grpPlotFile);
  layout->addWidget(grpMeteoFile);
  layout->addLayout(middle, 1);
  layout->addLayout(buttons);
}

void TpercRollingAvg::WireControls() {
  using Click = void (TRollingWindowLogic::*)(bool);
  constexpr Click periodClicks[] = {&TRollingWindowLogic::chk3hClick, &TRollingWindowLogic::chk8hClick,
                                    &TRollingWindowLogic::chk24hClick};
  for (size_t i = 0; i < fPeriodBoxes.size(); ++i) {
    connect(fPeriodBoxes[i], &QCheckBox::clicked, this, [this, click = periodClicks[i]](bool checked) {
      (fLogic.get()->*click)(checked);
      ShowState();
    });
  }
  for (size_t i = 0; i < fHighBoxes.size(); ++i) {
    connect(fHighBoxes[i], &QCheckBox::clicked, this, [this, rank = static_cast<int>(i) + 1](bool checked) {
      fLogic->chkHighClick(rank, checked);
      ShowState();
    });
  }
  connect(chkMeteo, &QCheckBox::clicked, this, [this](bool checked) {
    fLogic->SetMeteoFile(checked);
    ShowState();
  });
  connect(btnOpen, &QPushButton::clicked, this, [this] {
    fLogic->btnOpenClick();
    ShowState();
  });
  connect(btnRestore, &QPushButton::clicked, this, [this] {
    fLogic->btnRestoreClick();
    ShowState();
  });
  connect(lbFilenames, &QListWidget::itemDoubleClicked, this, [this] { lbFilenamesDblClick(); });
  connect(HelpButton1, &QPushButton::clicked, this, [this] { emit HelpRequested(kHelpContext); });
  connect(btnRun, &QPushButton::clicked, this, [this] { btnRunClick(); });
  connect(btnClose, &QPushButton::clicked, this, &QDialog::reject);
  pnlPath->installEventFilter(this);
}

bool TpercRollingAvg::eventFilter(QObject* watched, QEvent* event) {
  if (watched == pnlPath && event->type() == QEvent::Resize && fLogic) {
    fLogic->ShowOutPath();
    ShowState();
  }
  return QDialog::eventFilter(watched, event);
}

void TpercRollingAvg::ShowState() {
  btnRun->setEnabled(fLogic->RunEnabled());
  for (QCheckBox* box : fPeriodBoxes) box->setEnabled(fLogic->PeriodBoxesEnabled());
  EnableSelector(*fselMetFile, fLogic->MeteoSelectorEnabled());
  lblPath->setText(QString::fromStdString(fLogic->ShownOutPath()));

  QStringList names;
  for (const std::string& name : fLogic->FileList()) names << QString::fromStdString(name);
  QStringList shown;
  for (int i = 0; i < lbFilenames->count(); ++i) shown << lbFilenames->item(i)->text();
  if (names != shown) {
    lbFilenames->clear();
    lbFilenames->addItems(names);
  }
}

void TpercRollingAvg::lbFilenamesDblClick() {
  try {
    fLogic->lbFilenamesDblClick(lbFilenames->currentRow());
  } catch (const std::exception& e) {
    AppDialogs().ShowError(e.what());
  }
}

void TpercRollingAvg::btnRunClick() {
  try {
    fLogic->btnRunClick();
  } catch (const std::exception& e) {
    AppDialogs().ShowError(e.what());
  }
  ShowState();
}

}  // namespace zorvik
