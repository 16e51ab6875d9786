#include "app/InputSelectors.h"

#include <QGroupBox>
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
