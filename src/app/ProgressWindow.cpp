#include "app/ProgressWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <atomic>
#include <exception>
#include <mutex>
#include <thread>

namespace zorvik {
namespace {

// The window itself: it refuses every close request; only ProgressEnd removes it.
class TProgressForm final : public QDialog {
 public:
  explicit TProgressForm(QWidget* owner) : QDialog(owner) {
    setWindowTitle(QStringLiteral("Progress"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint |
                   (owner ? Qt::WindowFlags() : Qt::WindowMinimizeButtonHint | Qt::WindowSystemMenuHint));
    setWindowModality(Qt::ApplicationModal);
    QFont f(QStringLiteral("Arial"));
    f.setPointSize(8);
    setFont(f);
    lblProgress = new QLabel(QStringLiteral("Starting..."), this);
    ProgressBar = new QProgressBar(this);
    ProgressBar->setRange(0, 100);
    ProgressBar->setFixedWidth(491);
    ProgressBar->setTextVisible(false);
    btnStop = new QPushButton(QStringLiteral("&Stop"), this);
    btnCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    btnStop->hide();
    btnCancel->hide();
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnStop);
    buttons->addWidget(btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(lblProgress);
    layout->addWidget(ProgressBar);
    layout->addLayout(buttons);
  }

  void Wire(std::function<void()> onCancel, std::function<void()> onStop) {
    if (onStop) {
      QObject::connect(btnStop, &QPushButton::clicked, this, [h = std::move(onStop)] { h(); });
      btnStop->show();
    }
    if (onCancel) {
      QObject::connect(btnCancel, &QPushButton::clicked, this, [h = std::move(onCancel)] { h(); });
      btnCancel->show();
    }
    // Only Stop: the layout's stretch puts it at the right edge, where Cancel stands otherwise.
    if (btnStop->isHidden() && btnCancel->isHidden()) {
      btnStop->setParent(nullptr);
      btnCancel->setParent(nullptr);
      delete btnStop;
      delete btnCancel;
      btnStop = btnCancel = nullptr;
      setFixedSize(507, 75);
    } else {
      setFixedSize(507, 110);
    }
  }

  QLabel* lblProgress;
  QProgressBar* ProgressBar;
  QPushButton* btnStop;
  QPushButton* btnCancel;

 protected:
  void closeEvent(QCloseEvent* event) override { event->ignore(); }
  void reject() override {}  // Esc does not close it either
};

QPointer<TProgressForm> gForm;
int gRunDepth = 0;  // RunWithProgress loops running: they keep the windows painted themselves

// While a progress window is up (or a run goes on), clicks, keys and shortcuts aimed at any other window are
// thrown away, so menu commands and controls of the main window do nothing; painting goes on.
class TInputGate final : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::KeyPress:
      case QEvent::KeyRelease:
      case QEvent::Shortcut:
      case QEvent::ShortcutOverride:
      case QEvent::Wheel:
      case QEvent::Close: {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (!widget) {
          // Menu and accelerator commands reach their actions directly.
          if (event->type() != QEvent::Shortcut) return false;
          event->ignore();
          return true;
        }
        if (gForm && (widget == gForm || gForm->isAncestorOf(widget))) return false;
        if (event->type() == QEvent::Close && !widget->isWindow()) return false;
        event->ignore();
        return true;
      }
      default:
        return false;
    }
  }
};

int gGateUsers = 0;
TInputGate* Gate() {
  static TInputGate gate;
  return &gate;
}
void GateOn() {
  if (gGateUsers++ == 0 && qApp) qApp->installEventFilter(Gate());
}
void GateOff() {
  if (gGateUsers > 0 && --gGateUsers == 0 && qApp) qApp->removeEventFilter(Gate());
}

void Pump() {
  if (gRunDepth == 0 && gForm && gForm->isVisible()) QCoreApplication::processEvents();
}

QWidget* MainWindowOf() {
  if (QWidget* active = QApplication::activeWindow(); active && active != gForm) return active;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->isVisible() && w != gForm && !qobject_cast<QDialog*>(w)) return w;
  return nullptr;
}

}  // namespace

void ProgressStart(const std::string& caption, int maximum, std::function<void()> onCancel,
                   std::function<void()> onStop) {
  if (gForm) ProgressEnd();
  QWidget* owner = MainWindowOf();
  auto* form = new TProgressForm(owner);
  form->setAttribute(Qt::WA_DeleteOnClose, false);
  form->Wire(std::move(onCancel), std::move(onStop));
  form->setWindowTitle(QString::fromLocal8Bit(caption.c_str()));
  form->ProgressBar->setRange(0, std::max(0, maximum));
  gForm = form;
  GateOn();
  if (owner) form->move(owner->geometry().center() - form->rect().center());
  form->show();
  Pump();
}

void ProgressStep(int position) {
  if (!gForm || position < 0 || position > gForm->ProgressBar->maximum()) return;
  gForm->ProgressBar->setValue(position);
  Pump();
}

void ProgressMessage(const std::string& text) {
  if (!gForm) return;
  gForm->lblProgress->setText(QString::fromLocal8Bit(text.c_str()));
  Pump();
}

void ProgressEnd() {
  if (!gForm) return;
  TProgressForm* form = gForm;
  gForm = nullptr;
  form->hide();
  delete form;
  GateOff();
  if (gRunDepth == 0) QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

bool ProgressShowing() { return gForm && gForm->isVisible(); }

void RunWithProgress(QWidget* parent, bool cancellable, const std::function<void(TCB_ProgressEX)>& work) {
  (void)parent;  // the window centres on the active main window itself
  // What the worker hands over: the latest report of each kind; one queued call per batch of reports, so a
  // fast engine never floods the event queue.
  struct TShared {
    std::mutex lock;
    std::atomic<bool> cancelled{false};
    bool stepPending = false;
    int position = 0;
    std::string message;
  };
  auto shared = std::make_shared<TShared>();
  QEventLoop loop;
  QObject context;  // queued calls die with it when the run is over
  std::exception_ptr failure;

  TCB_ProgressEX callback = [shared, &context, cancellable](const void*, TProgressStatusInfo& info) {
    switch (info.cbIterState) {
      case Tcb_iterState::cb_Begin: {
        const std::string caption = info.cbMessage;
        const int maximum = static_cast<int>(std::min<uint32_t>(info.cbTotal, 0x7fffffff));
        QMetaObject::invokeMethod(
            &context,
            [shared, caption, maximum, cancellable] {
              ProgressStart(caption, maximum, cancellable ? std::function<void()>([shared] { shared->cancelled = true; })
                                                          : std::function<void()>());
            },
            Qt::QueuedConnection);
        break;
      }
      case Tcb_iterState::cb_iteration: {
        bool post = false;
        {
          std::lock_guard<std::mutex> g(shared->lock);
          shared->position = info.cbIter;
          if (shared->message != info.cbMessage) shared->message = info.cbMessage;
          post = !shared->stepPending;
          shared->stepPending = true;
        }
        if (post)
          QMetaObject::invokeMethod(
              &context,
              [shared] {
                int position;
                std::string message;
                {
                  std::lock_guard<std::mutex> g(shared->lock);
                  position = shared->position;
                  message = shared->message;
                  shared->stepPending = false;
                }
                ProgressStep(position);
                ProgressMessage(message);
              },
              Qt::QueuedConnection);
        break;
      }
      case Tcb_iterState::cb_Finish:
        QMetaObject::invokeMethod(&context, [] { ProgressEnd(); }, Qt::QueuedConnection);
        break;
    }
    info.abortOp = shared->cancelled.load();
  };

  ++gRunDepth;
  GateOn();
  std::thread worker([&] {
    try {
      work(callback);
    } catch (...) {
      failure = std::current_exception();
    }
    QMetaObject::invokeMethod(&loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
  });
  loop.exec();
  worker.join();
  // Reports still queued belong to a run that is over.
  QCoreApplication::sendPostedEvents(&context, QEvent::MetaCall);
  ProgressEnd();
  GateOff();
  --gRunDepth;
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  if (failure) std::rethrow_exception(failure);
}

}  // namespace zorvik
