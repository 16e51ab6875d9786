#include "controls/qt/FileSelector.h"

#include <QEvent>
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QStyle>
#include <QToolButton>

#include <array>
#include <exception>
#include <functional>

#include "app/AppDialogs.h"

namespace zorvik {

namespace {

QString FromUtf8(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// A hint "short|long": the short part is the tooltip, the long part the status-line text.
void ApplyHint(QWidget& widget, const std::string& hint) {
  const size_t bar = hint.find('|');
  widget.setToolTip(FromUtf8(hint.substr(0, bar)));
  widget.setStatusTip(FromUtf8(bar == std::string::npos ? hint : hint.substr(bar + 1)));
}

constexpr std::array<TFileSelectButton, 4> kButtons{TFileSelectButton::fsbClear, TFileSelectButton::fsbRestore,
                                                    TFileSelectButton::fsbView, TFileSelectButton::fsbOpen};

}  // namespace

struct TFileSelector::TImpl {
  explicit TImpl(TFileSelector& owner)
      : fOwner(owner),
        fLogic(TFileSelectorProps{}, TFileSelectServices{&CurrentAppDialogs(), nullptr, &CurrentAppDialogs()}) {}

  // Runs a click's action; a failure (an editor that does not start, an unassigned viewer handler) goes to
  // the error box instead of out through the event loop.
  void Guarded(const std::function<void()>& action) {
    try {
      action();
    } catch (const std::exception& e) {
      AppDialogs().ShowError(e.what());
    }
  }

  QToolButton*& ButtonOf(TFileSelectButton b) { return fButtons[static_cast<size_t>(b)]; }

  // Shows the (shortened) name and its hint, enables the parts and tells a new name.
  void Refresh() {
    const TShownText shown = fLogic.ShownText(fLabel->width(), [this](std::string_view text) {
      return fLabel->fontMetrics().horizontalAdvance(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    });
    fLabel->setText(FromUtf8(shown.Text));
    ApplyHint(*fLabel, shown.Hint);

    const TSelectorEnabling e = fLogic.Enabling();
    fPanel->setEnabled(e.Text);
    fLabel->setEnabled(e.Text);
    ButtonOf(TFileSelectButton::fsbClear)->setEnabled(e.Clear);
    ButtonOf(TFileSelectButton::fsbRestore)->setEnabled(e.Restore);
    ButtonOf(TFileSelectButton::fsbView)->setEnabled(e.View);
    ButtonOf(TFileSelectButton::fsbOpen)->setEnabled(e.Open);

    const std::string name = fLogic.FileName();
    if (name != fShownName) {
      fShownName = name;
      emit fOwner.FileNameChanged();
    }
  }

  void ShowViewerMenu() {
    QMenu menu(&fOwner);
    const auto& names = fLogic.ViewerNames();
    for (size_t i = 0; i < names.size(); ++i) {
      QAction* action = menu.addAction(FromUtf8(names[i]));
      action->setData(static_cast<int>(i));
      action->setEnabled(fLogic.ViewerState(static_cast<int>(i)));
    }
    QToolButton* view = ButtonOf(TFileSelectButton::fsbView);
    if (QAction* chosen = menu.exec(view->mapToGlobal(view->rect().center())))
      fLogic.ViewerSelected(chosen->data().toInt());
  }

  TFileSelector& fOwner;
  TFileSelectLogic fLogic;
  QFrame* fPanel = nullptr;
  QLabel* fLabel = nullptr;
  std::array<QToolButton*, 4> fButtons{};
  std::string fShownName;
};

TFileSelector::TFileSelector(QWidget* parent) : QWidget(parent), fImpl(new TImpl(*this)) {
  TImpl& d = *fImpl;
  d.fLogic.SetSender(this);

  d.fPanel = new QFrame(this);
  d.fPanel->setObjectName(QStringLiteral("Panel"));
  d.fPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  d.fLabel = new QLabel(d.fPanel);
  d.fLabel->setObjectName(QStringLiteral("TextControl"));
  d.fLabel->setTextFormat(Qt::PlainText);
  d.fLabel->setAlignment(Qt::AlignCenter);

  const std::array<std::pair<TFileSelectButton, const char*>, 4> names{{{TFileSelectButton::fsbClear, "BtnClear"},
                                                                        {TFileSelectButton::fsbRestore, "BtnRestore"},
                                                                        {TFileSelectButton::fsbView, "BtnView"},
                                                                        {TFileSelectButton::fsbOpen, "BtnOpen"}}};
  for (const auto& [b, name] : names) {
    QToolButton* button = new QToolButton(this);
    button->setObjectName(QLatin1String(name));
    button->setAutoRaise(false);
    button->setEnabled(false);
    d.ButtonOf(b) = button;
  }
  connect(d.ButtonOf(TFileSelectButton::fsbClear), &QToolButton::clicked, this,
          [this] { fImpl->Guarded([this] { fImpl->fLogic.Clear(); }); });
  connect(d.ButtonOf(TFileSelectButton::fsbRestore), &QToolButton::clicked, this,
          [this] { fImpl->Guarded([this] { fImpl->fLogic.Restore(); }); });
  connect(d.ButtonOf(TFileSelectButton::fsbView), &QToolButton::clicked, this, [this] {
    fImpl->Guarded([this] {
      if (fImpl->fLogic.View() == TViewOutcome::ShowViewerMenu) fImpl->ShowViewerMenu();
    });
  });
  connect(d.ButtonOf(TFileSelectButton::fsbOpen), &QToolButton::clicked, this,
          [this] { fImpl->Guarded([this] { fImpl->fLogic.Execute(); }); });

  d.fLogic.OnChange = [this] { fImpl->Refresh(); };
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  resize(300, 25);
  Relayout();
}

TFileSelector::~TFileSelector() {
  // The logic may not call back into a half-destroyed widget.
  fImpl->fLogic.OnChange = nullptr;
  delete fImpl;
}

TFileSelectLogic& TFileSelector::Logic() { return fImpl->fLogic; }

TFileSelectorProps& TFileSelector::Properties() { return fImpl->fLogic.Props(); }

void TFileSelector::Relayout() {
  TImpl& d = *fImpl;
  const TFileSelectorProps& props = d.fLogic.Props();

  QStyle* s = style();
  d.ButtonOf(TFileSelectButton::fsbClear)->setIcon(s->standardIcon(QStyle::SP_LineEditClearButton));
  d.ButtonOf(TFileSelectButton::fsbRestore)->setIcon(s->standardIcon(QStyle::SP_DialogResetButton));
  d.ButtonOf(TFileSelectButton::fsbView)->setIcon(s->standardIcon(QStyle::SP_FileDialogContentsView));
  d.ButtonOf(TFileSelectButton::fsbOpen)->setIcon(s->standardIcon(
      props.DlgType == TFileSelectType::fsSave ? QStyle::SP_DialogSaveButton : QStyle::SP_DialogOpenButton));
  ApplyHint(*d.ButtonOf(TFileSelectButton::fsbClear), props.BtnHintClear);
  ApplyHint(*d.ButtonOf(TFileSelectButton::fsbRestore), props.BtnHintRestore);
  ApplyHint(*d.ButtonOf(TFileSelectButton::fsbView), props.BtnHintView);
  ApplyHint(*d.ButtonOf(TFileSelectButton::fsbOpen), props.OpenHint());
  ApplyHint(*this, d.fLogic.Hint);

  const TSelectorLayout layout = ComputeSelectorLayout(width(), height(), props);
  auto rectOf = [](const TSelectorRect& r) { return QRect(r.Left, r.Top, r.Width, r.Height); };
  for (TFileSelectButton b : kButtons) {
    QToolButton* button = d.ButtonOf(b);
    button->setGeometry(rectOf(layout.Button(b)));
    button->setVisible(layout.Visible[static_cast<size_t>(b)]);
  }
  d.fPanel->setGeometry(rectOf(layout.Panel));
  d.fLabel->setGeometry(d.fPanel->contentsRect());
  d.Refresh();
}

std::string TFileSelector::FileName() const { return fImpl->fLogic.FileName(); }

void TFileSelector::SetFileName(const std::string& name) { fImpl->fLogic.SetFileName(name); }

void TFileSelector::SetHint(const std::string& hint) {
  fImpl->fLogic.Hint = hint;
  ApplyHint(*this, hint);
  fImpl->Refresh();
}

QWidget* TFileSelector::Button(TFileSelectButton button) const { return fImpl->fButtons[static_cast<size_t>(button)]; }

QSize TFileSelector::sizeHint() const { return QSize(300, 25); }

void TFileSelector::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Relayout();
}

void TFileSelector::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  switch (event->type()) {
    case QEvent::EnabledChange:
      // Qt disables the children of a disabled widget itself; the logic decides for an enabled one.
      fImpl->fLogic.SetEnabled(isEnabled());
      break;
    case QEvent::FontChange:
    case QEvent::StyleChange:
      Relayout();
      break;
    default:
      break;
  }
}

}  // namespace zorvik
