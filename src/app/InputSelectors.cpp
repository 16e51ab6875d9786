#include "app/InputSelectors.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "controls/qt/FileSelector.h"

namespace zorvik {
namespace {

constexpr int kSelectorHeight = 25;

void SetUp(TFileSelector& selector, TFileSelectButtons buttons, const char* title, const char* ext,
           const char* filter, bool allowOtherExt) {
  TFileSelectorProps& props = selector.Properties();
  props.Buttons = buttons;
  props.DlgType = TFileSelectType::fsOpen;
  props.DlgTitle = title;
  props.DlgDefaultExt = ext;
  props.DlgFilter = filter;
  props.DlgAllowOtherExt = allowOtherExt;
  selector.setFixedHeight(kSelectorHeight);
  selector.Relayout();
}

}  // namespace

void SetUpPostSelector(TFileSelector& selector) {
  SetUp(selector, {TFileSelectButton::fsbClear, TFileSelectButton::fsbOpen}, "Specify 1-Hour Binary POSTFILE",
        "pos", "ISC/AERMOD Binary Postfile (*.pos)|*.pos", false);
}

void SetUpPlotSelector(TFileSelector& selector) {
  SetUp(selector, {TFileSelectButton::fsbClear, TFileSelectButton::fsbView, TFileSelectButton::fsbOpen},
        "Specify 1-Hour PLOTFILE (for the same project)", "plt",
        "ISC/AERMOD Plotfile (*.plt, *.fil)|*.fil;*.plt|All Files (*.*)|*.*", true);
}

void SetUpMetSelector(TFileSelector& selector) {
  SetUp(selector, {TFileSelectButton::fsbClear, TFileSelectButton::fsbView, TFileSelectButton::fsbOpen},
        "Specify AERMOD / ISCST3 Met File", "sfc",
        "ISC/AERMOD Met Files (*.met, *.sfc)|*.met;*.sfc|All Files (*.*)|*.*", true);
  EnableSelector(selector, false);
}

QGroupBox* NewPostFileGroup(QWidget* parent, TFileSelector*& selector, QCheckBox*& singleFormat) {
  auto* group = new QGroupBox(QString::fromLatin1(kPostGroupCaption), parent);
  group->setObjectName(QStringLiteral("grpPostfile"));
  selector = new TFileSelector(group);
  selector->setObjectName(QStringLiteral("fselBinPost"));
  SetUpPostSelector(*selector);
  singleFormat = new QCheckBox(QString::fromLatin1(kSingleFormatCaption), group);
  singleFormat->setObjectName(QStringLiteral("chkSingleFormat"));
  auto* layout = new QVBoxLayout(group);
  layout->addWidget(selector);
  layout->addWidget(singleFormat);
  return group;
}

QGroupBox* NewMetFileGroup(QWidget* parent, QCheckBox*& meteo, TFileSelector*& selector) {
  auto* group = new QGroupBox(parent);
  group->setObjectName(QStringLiteral("grpMeteoFile"));
  meteo = new QCheckBox(QString::fromLatin1(kMeteoCaption), group);
  meteo->setObjectName(QStringLiteral("chkMeteo"));
  selector = new TFileSelector(group);
  selector->setObjectName(QStringLiteral("fselMetFile"));
  SetUpMetSelector(*selector);
  auto* layout = new QHBoxLayout(group);
  layout->addWidget(meteo);
  layout->addWidget(selector, 1);
  return group;
}

QGroupBox* NewPlotFileGroup(QWidget* parent, TFileSelector*& selector) {
  auto* group = new QGroupBox(QString::fromLatin1(kPlotGroupCaption), parent);
  group->setObjectName(QStringLiteral("grpPlotFile"));
  selector = new TFileSelector(group);
  selector->setObjectName(QStringLiteral("fselTextPlot"));
  SetUpPlotSelector(*selector);
  auto* layout = new QVBoxLayout(group);
  layout->addWidget(selector);
  return group;
}

void EnableSelector(TFileSelector& selector, bool enabled) {
  // The selector passes its own enabling to its logic and its parts.
  selector.setEnabled(enabled);
}

}  // namespace zorvik
