// The two control widgets on a display-less platform: where the selector puts its parts, what it enables, and
// that its boxes and dialogs go through AppDialogs(); what the real-number edit lets through, what it shows,
// and the range box on leaving.
#include <QApplication>
#include <QClipboard>
#include <QFocusEvent>
#include <QFrame>
#include <QLabel>
#include <QLocale>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/AppDialogs.h"
#include "RecordingAppDialogs.h"
#include "controls/qt/BoundedRealEdit.h"
#include "controls/qt/FileSelector.h"

namespace zorvik {
namespace {

using B = TFileSelectButton;


QRect Span(int left, int right, int height) { return QRect(left, 0, right - left, height); }

void Click(QWidget* button) { QTest::mouseClick(button, Qt::LeftButton); }

// Focus changes delivered straight to the edit: the offscreen platform has no window to activate.
void Focus(QWidget& w, QEvent::Type type) {
  QFocusEvent event(type, Qt::TabFocusReason);
  QApplication::sendEvent(&w, &event);
}

// The main window's percentile edit (two decimals, the default, show 99.99 whole).
void SetUpPercentile(TBoundedRealEdit& edit) {
  TBoundedRealEditLogic& logic = edit.Logic();
  logic.SetFmtMinC(1.0);
  logic.SetFmtMaxC(100.0);
  logic.SetLowerVal(10.0);
  logic.SetUpperVal(99.99);
  logic.SetBoundRange(TRealInterval::tbrClosedUpperLower);
}

}  // namespace

class ControlWidgetsTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QLocale::setDefault(QLocale::c()); }

  // ---- file selector ----

  void SelectorLayout_data() {
    QTest::addColumn<int>("buttons");
    QTest::addColumn<int>("width");
    QTest::addColumn<QRect>("open");
    QTest::addColumn<QRect>("view");
    QTest::addColumn<QRect>("restore");
    QTest::addColumn<QRect>("clear");
    QTest::addColumn<QRect>("panel");
    const QRect none;
    QTest::newRow("clear+open at 538") << int(TFileSelectButtons{B::fsbClear, B::fsbOpen}.ToBits()) << 538
                                       << Span(513, 538, 25) << none << none << Span(486, 511, 25) << Span(0, 481, 25);
    QTest::newRow("all four at 300") << int(TFileSelectButtons{B::fsbClear, B::fsbRestore, B::fsbView, B::fsbOpen}.ToBits())
                                     << 300 << Span(275, 300, 25) << Span(248, 273, 25) << Span(221, 246, 25)
                                     << Span(194, 219, 25) << Span(0, 189, 25);
    QTest::newRow("view only at 200") << int(TFileSelectButtons{B::fsbView}.ToBits()) << 200 << none
                                      << Span(175, 200, 25) << none << none << Span(0, 170, 25);
    QTest::newRow("no buttons") << 0 << 200 << none << none << none << none << Span(0, 200, 25);
  }

  void SelectorLayout() {
    QFETCH(int, buttons);
    QFETCH(int, width);
    TFileSelector selector;
    TFileSelectorProps& props = selector.Properties();
    props.Buttons = {};
    for (B b : {B::fsbClear, B::fsbRestore, B::fsbView, B::fsbOpen})
      if (buttons & (1 << int(b))) props.Buttons.Include(b);
    selector.resize(width, 25);
    selector.Relayout();

    QFETCH(QRect, open);
    QFETCH(QRect, view);
    QFETCH(QRect, restore);
    QFETCH(QRect, clear);
    const std::pair<B, QRect> parts[] = {{B::fsbOpen, open}, {B::fsbView, view}, {B::fsbRestore, restore}, {B::fsbClear, clear}};
    for (const auto& [b, expected] : parts) {
      QWidget* button = selector.Button(b);
      QCOMPARE(button->isHidden(), expected.isNull());
      if (!expected.isNull()) QCOMPARE(button->geometry(), expected);
      else QVERIFY(button->x() >= width);
    }
    QFETCH(QRect, panel);
    QCOMPARE(selector.findChild<QFrame*>(QStringLiteral("Panel"))->geometry(), panel);
  }

  void SelectorEnabling_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QString>("expected");  // Clear, Restore, View, Open: 1 enabled, 0 not
    QTest::newRow("empty name") << "" << true << "0101";
    QTest::newRow("a name") << "/data/run.pos" << true << "1111";
    QTest::newRow("disabled with a name") << "/data/run.pos" << false << "0000";
  }

  void SelectorEnabling() {
    QFETCH(QString, name);
    QFETCH(bool, enabled);
    QFETCH(QString, expected);
    TFileSelector selector;
    selector.SetFileName(name.toStdString());
    selector.setEnabled(enabled);
    QString actual;
    for (B b : {B::fsbClear, B::fsbRestore, B::fsbView, B::fsbOpen})
      actual += selector.Button(b)->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
    QCOMPARE(actual, expected);
    selector.setEnabled(true);
    QCOMPARE(selector.Button(B::fsbOpen)->isEnabled(), true);
  }

  void SelectorClearTellsTheChange() {
    TFileSelector selector;
    selector.SetFileName("/data/run.pos");
    QSignalSpy changed(&selector, &TFileSelector::FileNameChanged);
    Click(selector.Button(B::fsbClear));
    QCOMPARE(selector.FileName(), std::string());
    QCOMPARE(changed.count(), 1);
    QVERIFY(!selector.Button(B::fsbClear)->isEnabled());
    selector.SetFileName("");  // no change, no signal
    QCOMPARE(changed.count(), 1);
  }

  void SelectorOpenChecksTheExtension_data() {
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("refused");
    QTest::newRow("other extension") << "/data/run.txt" << "/old/a.pos" << true;
    QTest::newRow("no extension") << "/data/run" << "/data/run.pos" << false;
    QTest::newRow("extension in capitals") << "/data/RUN.POS" << "/data/RUN.POS" << false;
  }

  void SelectorOpenChecksTheExtension() {
    QFETCH(QString, chosen);
    QFETCH(QString, expected);
    QFETCH(bool, refused);
    test::RecordingAppDialogs dialogs;
    dialogs.file = chosen.toStdString();
    TFileSelector selector;
    selector.Properties().DlgDefaultExt = "pos";
    selector.Properties().DlgAllowOtherExt = false;
    selector.SetFileName("/old/a.pos");
    QSignalSpy changed(&selector, &TFileSelector::FileNameChanged);
    Click(selector.Button(B::fsbOpen));
    QCOMPARE(QString::fromStdString(selector.FileName()), expected);
    QCOMPARE(changed.count(), refused ? 0 : 1);
    if (refused) {
      QCOMPARE(dialogs.messages.size(), size_t(1));
      QCOMPARE(dialogs.messages[0].first, std::string("Selected file does not have expected extension"));
      QCOMPARE(dialogs.messages[0].second, TMsgDlgType::mtError);
    } else {
      QVERIFY(dialogs.messages.empty());
    }
  }

  void SelectorViewOfAMissingFile() {
    test::RecordingAppDialogs dialogs;
    TFileSelector selector;
    selector.SetFileName("/no/such/folder/run.plt");
    Click(selector.Button(B::fsbView));
    QCOMPARE(dialogs.messages.size(), size_t(1));
    QCOMPARE(dialogs.messages[0].first, std::string("Cannot find file /no/such/folder/run.plt"));
  }

  void SelectorShortensALongName() {
    TFileSelector selector;
    selector.SetHint("The POST file");
    const std::string longName = "/very/long/folder/names/that/cannot/fit/in/the/panel/at/all/run.pos";
    selector.SetFileName(longName);
    const auto* label = selector.findChild<QLabel*>(QStringLiteral("TextControl"));
    QVERIFY(label->text().endsWith(QLatin1String("run.pos")));
    QVERIFY(label->text().contains(QLatin1String("...")));
    QVERIFY(label->fontMetrics().horizontalAdvance(label->text()) <= label->width() - 4);
    QCOMPARE(label->toolTip().toStdString(), longName);
    QCOMPARE(label->statusTip(), QStringLiteral("The POST file"));

    selector.SetFileName("/a/run.pos");  // fits: shown whole, no tooltip of its own
    QCOMPARE(label->text(), QStringLiteral("/a/run.pos"));
    QCOMPARE(label->toolTip(), QString());
    QCOMPARE(selector.toolTip(), QStringLiteral("The POST file"));
  }

  // ---- bounded real-number edit ----

  void EditTyping_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expected");
    QTest::newRow("letters dropped") << "1a2b" << "12";
    QTest::newRow("second separator dropped") << "1.2.3" << "1.23";
    QTest::newRow("leading zero then digit") << "05" << "0";
    QTest::newRow("blank as exponent") << "1 5" << "1E5";
    QTest::newRow("zero exponent dropped") << "1e05" << "1e5";
    QTest::newRow("sign after digits dropped") << "-5-" << "-5";
  }

  void EditTyping() {
    QFETCH(QString, typed);
    QFETCH(QString, expected);
    TBoundedRealEdit edit;
    Focus(edit, QEvent::FocusIn);
    QTest::keyClicks(&edit, typed);
    QCOMPARE(edit.text(), expected);
  }

  void EditOutOfRangeOnLeaving() {
    test::RecordingAppDialogs dialogs;
    TBoundedRealEdit edit;
    SetUpPercentile(edit);
    QCOMPARE(edit.toolTip(), QStringLiteral("The allowed range is 10.0 <= value <= 99.99."));
    QSignalSpy exited(&edit, &TBoundedRealEdit::Exited);
    Focus(edit, QEvent::FocusIn);
    QTest::keyClicks(&edit, "5");
    Focus(edit, QEvent::FocusOut);
    QCOMPARE(dialogs.messages.size(), size_t(1));
    QVERIFY(QString::fromStdString(dialogs.messages[0].first).startsWith(QLatin1String("The Value 5 is not in range.")));
    QCOMPARE(dialogs.messages[0].second, TMsgDlgType::mtInformation);
    QCOMPARE(edit.text(), QString());
    QCOMPARE(exited.count(), 0);

    QTest::keyClicks(&edit, "50");
    Focus(edit, QEvent::FocusOut);
    QCOMPARE(dialogs.messages.size(), size_t(1));
    QCOMPARE(edit.text(), QStringLiteral("50.0"));
    QCOMPARE(edit.Value(), 50.0);
    QCOMPARE(exited.count(), 1);
  }

  void EditTakesTheFocusBack() {
    test::RecordingAppDialogs dialogs;
    QWidget window;
    auto* edit = new TBoundedRealEdit(&window);
    auto* other = new QLineEdit(&window);
    other->move(0, 40);
    SetUpPercentile(*edit);
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    edit->setFocus();
    QTest::keyClicks(edit, "500");
    other->setFocus();
    QCOMPARE(dialogs.messages.size(), size_t(1));
    QTRY_VERIFY(edit->hasFocus());
    QCOMPARE(edit->text(), QString());
    QTest::keyClicks(edit, "99.5");
    other->setFocus();
    QVERIFY(other->hasFocus());
    QCOMPARE(edit->text(), QStringLiteral("99.5"));
    QCOMPARE(dialogs.messages.size(), size_t(1));
  }

  void EditPaste_data() {
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QString>("expected");
    QTest::newRow("thousands and blanks cleaned") << "" << " 1,234.5\n" << "1234.5";
    QTest::newRow("not a number") << "12" << "abc" << "12";
    QTest::newRow("would make no number") << "1e" << "." << "1e";
  }

  void EditPaste() {
    QFETCH(QString, before);
    QFETCH(QString, clipboard);
    QFETCH(QString, expected);
    TBoundedRealEdit edit;
    Focus(edit, QEvent::FocusIn);
    QTest::keyClicks(&edit, before);
    QGuiApplication::clipboard()->setText(clipboard);
    QTest::keySequence(&edit, QKeySequence::Paste);
    QCOMPARE(edit.text(), expected);
  }

  void EditValidSignal_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("valid");
    QTest::newRow("in range") << "50" << true;
    QTest::newRow("below range") << "5" << false;
    QTest::newRow("above range") << "100" << false;
    QTest::newRow("incomplete") << "5e" << false;
  }

  void EditValidSignal() {
    QFETCH(QString, typed);
    QFETCH(bool, valid);
    TBoundedRealEdit edit;
    SetUpPercentile(edit);
    QSignalSpy spy(&edit, &TBoundedRealEdit::EditValid);
    QSignalSpy user(&edit, &TBoundedRealEdit::UserChanged);
    Focus(edit, QEvent::FocusIn);
    QTest::keyClicks(&edit, typed);
    QCOMPARE(spy.count(), typed.size());
    QCOMPARE(spy.last().at(0).toBool(), valid);
    QCOMPARE(edit.ValueAllowed(), valid);
    QCOMPARE(user.count(), typed.size());
  }

  void EditValueAndText_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("read");
    QTest::newRow("percentile") << 98.0 << "98.0" << 98.0;
    QTest::newRow("two decimals") << 99.99 << "99.99" << 99.99;
    QTest::newRow("rounded to two decimals") << 1234.5678 << "1234.57" << 1234.5678;
    QTest::newRow("outside the fixed-point window") << 250000.0 << "2.5E+05" << 250000.0;
    QTest::newRow("blank") << std::numeric_limits<double>::quiet_NaN() << "" << 0.0;
  }

  void EditValueAndText() {
    QFETCH(double, value);
    QFETCH(QString, text);
    QFETCH(double, read);
    TBoundedRealEdit edit;  // two decimals by default
    QSignalSpy user(&edit, &TBoundedRealEdit::UserChanged);
    edit.setModified(true);
    edit.SetValue(value);
    QCOMPARE(edit.text(), text);
    QCOMPARE(edit.Value(), read);
    QVERIFY(!edit.isModified());
    QCOMPARE(user.count(), 0);
  }
};

}  // namespace zorvik

QTEST_MAIN(zorvik::ControlWidgetsTest)
#include "ControlWidgetsTest.moc"
