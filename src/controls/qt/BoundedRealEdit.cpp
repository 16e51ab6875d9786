#include "controls/qt/BoundedRealEdit.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLocale>
#include <QMenu>
#include <QPalette>
#include <QTimer>

#include <memory>

#include "app/AppDialogs.h"

namespace zorvik {

namespace {

QString FromUtf8(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

TColorRef ColorRefOf(const QColor& c) {
  return static_cast<TColorRef>(c.red()) | (static_cast<TColorRef>(c.green()) << 8) |
         (static_cast<TColorRef>(c.blue()) << 16);
}

}  // namespace

struct TBoundedRealEdit::TImpl final : TRealEditView {
  explicit TImpl(TBoundedRealEdit& owner)
      : fOwner(owner), fLogic(this, ColorRefOf(owner.palette().color(QPalette::Text))) {}

  // ---- what the logic asks of the widget ----
  void SetEditText(const std::string& text, bool selectAll) override {
    const bool modified = fOwner.isModified();
    fOwner.setText(FromUtf8(text));  // the caret goes to the end
    if (selectAll) fOwner.selectAll();
    fOwner.setModified(modified);
  }
  bool IsAllSelected() const override {
    return !fOwner.text().isEmpty() && fOwner.selectedText().size() == fOwner.text().size();
  }
  void ClearModified() override { fOwner.setModified(false); }
  void SetTextColor(TColorRef color) override {
    QPalette palette = fOwner.palette();
    const QColor c(ColorRed(color), ColorGreen(color), ColorBlue(color));
    palette.setColor(QPalette::Active, QPalette::Text, c);
    palette.setColor(QPalette::Inactive, QPalette::Text, c);
    fOwner.setPalette(palette);
  }
  void SetHint(const std::string& hint, bool showHint) override {
    const size_t bar = hint.find('|');
    fOwner.setToolTip(showHint ? FromUtf8(hint.substr(0, bar)) : QString());
    fOwner.setStatusTip(FromUtf8(bar == std::string::npos ? hint : hint.substr(bar + 1)));
  }
  void ShowRangeError(const std::string& message) override {
    AppDialogs().ShowMessage(message, TMsgDlgType::mtInformation);
  }
  void FocusBack() override {
    // Not from inside the focus change that is going on: once it has ended.
    QTimer::singleShot(0, &fOwner, [owner = &fOwner] { owner->setFocus(Qt::OtherFocusReason); });
  }

  // The text before and after the selection (or the caret).
  std::pair<std::string, std::string> AroundSelection() const {
    const QString text = fOwner.text();
    const int start = fOwner.hasSelectedText() ? fOwner.selectionStart() : fOwner.cursorPosition();
    const int length = fOwner.hasSelectedText() ? static_cast<int>(fOwner.selectedText().size()) : 0;
    return {text.left(start).toStdString(), text.mid(start + length).toStdString()};
  }

  TBoundedRealEdit& fOwner;
  TBoundedRealEditLogic fLogic;
  bool fInsideExit = false;  // the range box may move the focus while the logic decides on leaving
  bool fEnterAsTab = true;
};

TBoundedRealEdit::TBoundedRealEdit(QWidget* parent) : QLineEdit(parent), fImpl(new TImpl(*this)) {
  TImpl& d = *fImpl;
  setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  setAcceptDrops(false);  // dropped text would pass by the filters

  const QLocale locale;
  d.fLogic.SetLocale({locale.decimalPoint().toStdString(), locale.groupSeparator().toStdString()});
  d.fLogic.SetEnabled(isEnabled());
  d.fLogic.SetOnEditValid([this](bool complete) { emit EditValid(complete && ValueAllowed()); });
  d.fLogic.SetOnUserChange([this] { emit UserChanged(); });
  connect(this, &QLineEdit::textChanged, this, [this](const QString& text) { fImpl->fLogic.TextChanged(text.toStdString()); });
}

TBoundedRealEdit::~TBoundedRealEdit() {
  fImpl->fLogic.SetView(nullptr);
  disconnect(this, &QLineEdit::textChanged, this, nullptr);
  delete fImpl;
}

TBoundedRealEditLogic& TBoundedRealEdit::Logic() { return fImpl->fLogic; }

double TBoundedRealEdit::Value() const { return fImpl->fLogic.GetDouble(); }

void TBoundedRealEdit::SetValue(double value) { fImpl->fLogic.SetDouble(value); }

bool TBoundedRealEdit::ValueAllowed() const {
  const TBoundedRealEditLogic& logic = fImpl->fLogic;
  return logic.TextIsComplete() && logic.RealRangeCheck().inRange(logic.GetDouble());
}

bool TBoundedRealEdit::EnterAsTab() const { return fImpl->fEnterAsTab; }

void TBoundedRealEdit::SetEnterAsTab(bool value) { fImpl->fEnterAsTab = value; }

void TBoundedRealEdit::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Paste)) {
    insertFromClipboard();
    event->accept();
    return;
  }
  if (fImpl->fEnterAsTab && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
      !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
    focusNextPrevChild(!(event->modifiers() & Qt::ShiftModifier));
    event->accept();
    return;
  }
  const QString key = event->text();
  // Editing and moving keys (backspace, delete, arrows, Ctrl+A, Ctrl+C, Ctrl+X, Ctrl+Z ...) carry no
  // printable text and pass untested.
  if (key.isEmpty() || !key.at(0).isPrint()) {
    QLineEdit::keyPressEvent(event);
    return;
  }
  const auto [before, after] = fImpl->AroundSelection();
  const std::optional<std::string> typed = fImpl->fLogic.KeyPress(key.toStdString(), before, after);
  if (!typed) {
    event->accept();  // dropped
    return;
  }
  if (FromUtf8(*typed) == key) {
    QLineEdit::keyPressEvent(event);
  } else {
    insert(FromUtf8(*typed));  // a blank typed as the exponent letter
    event->accept();
  }
}

void TBoundedRealEdit::insertFromClipboard() {
  if (isReadOnly()) return;
  const auto [before, after] = fImpl->AroundSelection();
  const std::optional<std::string> pasted =
      fImpl->fLogic.Paste(QGuiApplication::clipboard()->text().toStdString(), before, after);
  if (pasted) insert(FromUtf8(*pasted));
}

void TBoundedRealEdit::contextMenuEvent(QContextMenuEvent* event) {
  const std::unique_ptr<QMenu> menu(createStandardContextMenu());
  // The menu's Paste goes through the paste filter as Ctrl+V does.
  if (QAction* paste = menu->findChild<QAction*>(QStringLiteral("edit-paste"))) {
    disconnect(paste, &QAction::triggered, nullptr, nullptr);
    connect(paste, &QAction::triggered, this, [this] { insertFromClipboard(); });
  }
  menu->exec(event->globalPos());
}

void TBoundedRealEdit::focusInEvent(QFocusEvent* event) {
  QLineEdit::focusInEvent(event);
  // Coming back from a pop-up or another window, or from the range box, is no new entry.
  if (!fImpl->fInsideExit && !fImpl->fLogic.Focused()) fImpl->fLogic.Enter();
}

void TBoundedRealEdit::focusOutEvent(QFocusEvent* event) {
  const bool leaves = event->reason() != Qt::PopupFocusReason && event->reason() != Qt::ActiveWindowFocusReason;
  if (leaves && !fImpl->fInsideExit && fImpl->fLogic.Focused()) {
    fImpl->fInsideExit = true;
    const bool exited = fImpl->fLogic.Exit();
    fImpl->fInsideExit = false;
    if (exited) emit Exited();
  }
  QLineEdit::focusOutEvent(event);
}

void TBoundedRealEdit::changeEvent(QEvent* event) {
  QLineEdit::changeEvent(event);
  if (event->type() == QEvent::EnabledChange) fImpl->fLogic.SetEnabled(isEnabled());
}

}  // namespace zorvik
