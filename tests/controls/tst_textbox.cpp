#include "controls/KeyCodes.h"
#include "controls/TextBox.h"
#include "controls/Twips.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace tavro;

namespace {

// What the handlers saw, in the order they ran.
struct EventLog
{
    QStringList events;
    QList<bool> pastingAtChange;

    static bool isModifierKey(int code) { return code >= 16 && code <= 18; }

    void watch(TextBox* box)
    {
        // Shift, Ctrl and Alt raise their own KeyDown/KeyUp; the tests watch the other keys.
        QObject::connect(box, &TextBox::KeyDown, box, [this](int& code, int shift) {
            if (!isModifierKey(code))
                events << QStringLiteral("KeyDown %1 %2").arg(code).arg(shift);
        });
        QObject::connect(box, &TextBox::KeyUp, box, [this](int& code, int shift) {
            if (!isModifierKey(code))
                events << QStringLiteral("KeyUp %1 %2").arg(code).arg(shift);
        });
        QObject::connect(box, &TextBox::KeyPress, box,
                         [this](int& ascii) { events << QStringLiteral("KeyPress %1").arg(ascii); });
        QObject::connect(box, &TextBox::Change, box, [this, box] {
            events << QStringLiteral("Change ") + box->Text();
            pastingAtChange << box->isPasting();
        });
    }
};

} // namespace

class TestTextBox : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void assignmentShouldRaiseChangeOnlyForADifferentText_data();
    void assignmentShouldRaiseChangeOnlyForADifferentText();
    void typingShouldSetTheChangedFlagUntilTheProgramResetsIt();
    void keyPressHandlerShouldDiscardOrReplaceKeys_data();
    void keyPressHandlerShouldDiscardOrReplaceKeys();
    void keyDownAndUpShouldCarryClassicCodesAndShiftStates_data();
    void keyDownAndUpShouldCarryClassicCodesAndShiftStates();
    void keyDownHandlerShouldDiscardAKeyByZeroingIt();
    void pastesShouldBeFlaggedWhileTheirChangeIsHandled_data();
    void pastesShouldBeFlaggedWhileTheirChangeIsHandled();
    void contextMenuPasteShouldBeFlagged();
    void changeHandlerShouldBeAbleToUndoAPaste();
    void multiLineShouldKeepCrLfBreaks_data();
    void multiLineShouldKeepCrLfBreaks();
    void typedLinesShouldComeBackWithCrLf();
    void mouseEventsShouldCarryButtonShiftAndTwips();
    void lostFocusShouldBeRaisedWhenFocusMovesOn();
};

void TestTextBox::init()
{
    QApplication::clipboard()->clear();
}

void TestTextBox::assignmentShouldRaiseChangeOnlyForADifferentText_data()
{
    QTest::addColumn<bool>("multiLine");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("assigned");
    QTest::addColumn<int>("changes");

    QTest::newRow("different text") << false << "0012345"
                                    << "12345" << 1;
    QTest::newRow("same text") << false << "0012345"
                               << "0012345" << 0;
    QTest::newRow("emptied") << false << "0012345"
                             << "" << 1;
    QTest::newRow("empty stays empty") << false << ""
                                       << "" << 0;
    QTest::newRow("multi-line different") << true << "a\r\nb"
                                          << "a\r\nc" << 1;
    QTest::newRow("multi-line same with CR LF") << true << "a\r\nb"
                                                << "a\r\nb" << 0;
    QTest::newRow("bare LF differs from CR LF") << true << "a\r\nb"
                                                << "a\nb" << 1;
}

void TestTextBox::assignmentShouldRaiseChangeOnlyForADifferentText()
{
    QFETCH(bool, multiLine);
    QFETCH(QString, before);
    QFETCH(QString, assigned);
    QFETCH(int, changes);

    TextBox box(nullptr, multiLine);
    box.setText(before);
    box.setDataChanged(false);
    QSignalSpy change(&box, &TextBox::Change);

    box.setText(assigned);

    QCOMPARE(change.count(), changes);
    QCOMPARE(box.DataChanged(), changes > 0);
    QCOMPARE(box.Text(), assigned);
}

void TestTextBox::typingShouldSetTheChangedFlagUntilTheProgramResetsIt()
{
    TextBox box;
    QSignalSpy change(&box, &TextBox::Change);
    QTest::keyClicks(&box, "12");
    QCOMPARE(change.count(), 2);
    QCOMPARE(box.Text(), QStringLiteral("12"));
    QVERIFY(box.DataChanged());

    box.setDataChanged(false);
    QTest::keyClick(&box, Qt::Key_Left); // moving the cursor changes nothing
    QVERIFY(!box.DataChanged());
    QTest::keyClick(&box, Qt::Key_Backspace);
    QVERIFY(box.DataChanged());
    QCOMPARE(box.Text(), QStringLiteral("2"));
}

void TestTextBox::keyPressHandlerShouldDiscardOrReplaceKeys_data()
{
    QTest::addColumn<QString>("rule");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<int>>("keyAsciis");

    QTest::newRow("digits only") << "digits"
                                 << "1a2-"
                                 << "12" << QList<int>{49, 97, 50, 45};
    QTest::newRow("dash allowed") << "digits and dash"
                                  << "12-3x"
                                  << "12-3" << QList<int>{49, 50, 45, 51, 120};
    QTest::newRow("upper case") << "upper"
                                << "ab1"
                                << "AB1" << QList<int>{97, 98, 49};
    QTest::newRow("backspace reaches the handler") << "digits"
                                                   << "12\b"
                                                   << "1" << QList<int>{49, 50, 8};
    QTest::newRow("backspace refused") << "no backspace"
                                       << "12\b"
                                       << "12" << QList<int>{49, 50, 8};
}

void TestTextBox::keyPressHandlerShouldDiscardOrReplaceKeys()
{
    QFETCH(QString, rule);
    QFETCH(QString, typed);
    QFETCH(QString, text);
    QFETCH(QList<int>, keyAsciis);

    TextBox box;
    QList<int> seen;
    connect(&box, &TextBox::KeyPress, this, [&](int& ascii) {
        seen << ascii;
        const QChar c(ascii);
        if (rule == u"upper")
            ascii = c.toUpper().unicode();
        else if (rule == u"no backspace" && ascii == 8)
            ascii = 0;
        else if (ascii != 8 && !c.isDigit() && !(rule == u"digits and dash" && c == '-'))
            ascii = 0;
    });
    for (const QChar c : typed) {
        if (c == '\b')
            QTest::keyClick(&box, Qt::Key_Backspace);
        else
            QTest::keyClicks(&box, QString(c));
    }
    QCOMPARE(box.Text(), text);
    QCOMPARE(seen, keyAsciis);
}

void TestTextBox::keyDownAndUpShouldCarryClassicCodesAndShiftStates_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("shift");
    QTest::addColumn<bool>("keyPress");

    QTest::newRow("Shift+Insert") << int(Qt::Key_Insert) << int(Qt::ShiftModifier) << 45 << 1 << false;
    QTest::newRow("Shift+Ctrl+Insert")
        << int(Qt::Key_Insert) << int(Qt::ShiftModifier | Qt::ControlModifier) << 45 << 3 << false;
    QTest::newRow("Insert") << int(Qt::Key_Insert) << 0 << 45 << 0 << false;
    QTest::newRow("Delete") << int(Qt::Key_Delete) << 0 << 46 << 0 << false;
    QTest::newRow("Ctrl+Alt+D") << int(Qt::Key_D) << int(Qt::ControlModifier | Qt::AltModifier) << 68 << 6
                                << false;
    QTest::newRow("digit 7") << int(Qt::Key_7) << 0 << 55 << 0 << true;
    QTest::newRow("keypad 7") << int(Qt::Key_7) << int(Qt::KeypadModifier) << 103 << 0 << true;
    QTest::newRow("Backspace") << int(Qt::Key_Backspace) << 0 << 8 << 0 << true;
    QTest::newRow("Home") << int(Qt::Key_Home) << 0 << 36 << 0 << false;
}

void TestTextBox::keyDownAndUpShouldCarryClassicCodesAndShiftStates()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(int, code);
    QFETCH(int, shift);
    QFETCH(bool, keyPress);

    TextBox box;
    box.setText("12");
    EventLog log;
    log.watch(&box);
    QTest::keyClick(&box, Qt::Key(key), Qt::KeyboardModifiers(modifiers));

    QVERIFY(log.events.size() >= 2);
    QCOMPARE(log.events.first(), QStringLiteral("KeyDown %1 %2").arg(code).arg(shift));
    QCOMPARE(log.events.last(), QStringLiteral("KeyUp %1 %2").arg(code).arg(shift));
    QCOMPARE(log.events.filter("KeyPress").size(), keyPress ? 1 : 0);
}

void TestTextBox::keyDownHandlerShouldDiscardAKeyByZeroingIt()
{
    TextBox box;
    box.setText("12345");
    int keyPresses = 0;
    connect(&box, &TextBox::KeyDown, this, [](int& code, int) {
        if (code == 46 || code == 65)
            code = 0;
    });
    connect(&box, &TextBox::KeyPress, this, [&](int&) { ++keyPresses; });
    static_cast<QLineEdit*>(box.editor())->setCursorPosition(0);
    QTest::keyClick(&box, Qt::Key_Delete);
    QTest::keyClick(&box, Qt::Key_A);
    QTest::keyClick(&box, Qt::Key_B);
    QCOMPARE(box.Text(), QStringLiteral("b12345"));
    QCOMPARE(keyPresses, 1);
}

void TestTextBox::pastesShouldBeFlaggedWhileTheirChangeIsHandled_data()
{
    QTest::addColumn<bool>("multiLine");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QStringList>("events");

    QTest::newRow("Shift+Insert") << false << int(Qt::Key_Insert) << int(Qt::ShiftModifier)
                                  << QStringList{"KeyDown 45 1", "Change 0012345", "KeyUp 45 1"};
    QTest::newRow("Ctrl+V") << false << int(Qt::Key_V) << int(Qt::ControlModifier)
                            << QStringList{"KeyDown 86 2", "Change 0012345", "KeyUp 86 2"};
    QTest::newRow("multi-line Ctrl+V") << true << int(Qt::Key_V) << int(Qt::ControlModifier)
                                       << QStringList{"KeyDown 86 2", "Change 0012345", "KeyUp 86 2"};
    QTest::newRow("multi-line Shift+Insert") << true << int(Qt::Key_Insert) << int(Qt::ShiftModifier)
                                             << QStringList{"KeyDown 45 1", "Change 0012345", "KeyUp 45 1"};
}

void TestTextBox::pastesShouldBeFlaggedWhileTheirChangeIsHandled()
{
    QFETCH(bool, multiLine);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QStringList, events);

    TextBox box(nullptr, multiLine);
    QApplication::clipboard()->setText("0012345");
    EventLog log;
    log.watch(&box);

    QTest::keyClick(&box, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QTest::keyClicks(&box, "-");

    QCOMPARE(log.events.mid(0, 3), events);
    QCOMPARE(log.pastingAtChange, (QList<bool>{true, false}));
    QVERIFY(!box.isPasting());
}

void TestTextBox::contextMenuPasteShouldBeFlagged()
{
    QWidget window;
    auto* box = new TextBox(&window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QApplication::clipboard()->setText("0012345");
    EventLog log;
    log.watch(box);

    bool pasteFound = false;
    QTimer::singleShot(0, this, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu)
            return;
        for (QAction* action : menu->actions()) {
            if (action->text().endsWith(
                    QKeySequence(QKeySequence::Paste).toString(QKeySequence::NativeText))) {
                pasteFound = true;
                action->trigger();
            }
        }
        menu->close();
    });
    QWidget* editor = box->editor();
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), editor->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(editor, &event);

    QVERIFY(pasteFound);
    QCOMPARE(box->Text(), QStringLiteral("0012345"));
    QCOMPARE(log.pastingAtChange, QList<bool>{true});
}

void TestTextBox::changeHandlerShouldBeAbleToUndoAPaste()
{
    TextBox box;
    box.setText("0012345");
    QApplication::clipboard()->setText("abc");
    int changes = 0;
    connect(&box, &TextBox::Change, this, [&] {
        ++changes;
        if (box.isPasting())
            box.setText("0012345"); // the rejected paste is taken back from inside its Change
    });
    QTest::keyClick(&box, Qt::Key_V, Qt::ControlModifier);

    QCOMPARE(box.Text(), QStringLiteral("0012345"));
    QCOMPARE(static_cast<QLineEdit*>(box.editor())->text(), QStringLiteral("0012345"));
    QCOMPARE(changes, 2);
    QTest::keyClicks(&box, "9");
    QCOMPARE(box.Text(), QStringLiteral("00123459"));
}

void TestTextBox::multiLineShouldKeepCrLfBreaks_data()
{
    QTest::addColumn<QString>("assigned");
    QTest::addColumn<int>("lines");
    QTest::addColumn<QString>("shown");

    QTest::newRow("two lines") << "a\r\nb" << 2 << "a\nb";
    QTest::newRow("three lines") << "one\r\ntwo\r\nthree" << 3 << "one\ntwo\nthree";
    QTest::newRow("trailing break") << "a\r\n" << 2 << "a\n";
    QTest::newRow("one line") << "no break" << 1 << "no break";
    QTest::newRow("empty") << "" << 1 << "";
}

void TestTextBox::multiLineShouldKeepCrLfBreaks()
{
    QFETCH(QString, assigned);
    QFETCH(int, lines);
    QFETCH(QString, shown);

    TextBox box(nullptr, true);
    box.setText(assigned);
    auto* editor = qobject_cast<QPlainTextEdit*>(box.editor());
    QVERIFY(editor);
    QCOMPARE(editor->blockCount(), lines);
    QCOMPARE(editor->toPlainText(), shown);
    QCOMPARE(box.Text(), assigned);

    // Switching to one line and back keeps the text as it is.
    box.setMultiLine(false);
    QCOMPARE(box.Text(), assigned);
    box.setMultiLine(true);
    QCOMPARE(qobject_cast<QPlainTextEdit*>(box.editor())->blockCount(), lines);
}

void TestTextBox::typedLinesShouldComeBackWithCrLf()
{
    TextBox box(nullptr, true);
    QTest::keyClicks(&box, "first");
    QTest::keyClick(&box, Qt::Key_Return);
    QTest::keyClicks(&box, "second");
    QCOMPARE(box.Text(), QStringLiteral("first\r\nsecond"));
    QVERIFY(box.DataChanged());
}

void TestTextBox::mouseEventsShouldCarryButtonShiftAndTwips()
{
    QWidget window;
    auto* box = new TextBox(&window);
    box->setGeometry(10, 10, 120, 24);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QList<QList<float>> downs, ups;
    connect(box, &TextBox::MouseDown, this, [&](int button, int shift, float x, float y) {
        downs.append({float(button), float(shift), x, y});
    });
    connect(box, &TextBox::MouseUp, this, [&](int button, int shift, float x, float y) {
        ups.append({float(button), float(shift), x, y});
    });

    // X and Y are measured from the box's corner, not the editor's.
    QTest::mouseClick(box->editor(), Qt::LeftButton, Qt::ShiftModifier, QPoint(20, 6));
    const QPoint inBox = box->editor()->mapTo(box, QPoint(20, 6));
    const float x = pixelsToTwips(inBox.x());
    const float y = pixelsToTwips(inBox.y());
    QCOMPARE(downs, (QList<QList<float>>{{1, 1, x, y}}));
    QCOMPARE(ups, (QList<QList<float>>{{1, 1, x, y}}));
}

void TestTextBox::lostFocusShouldBeRaisedWhenFocusMovesOn()
{
    QWidget window;
    auto* box = new TextBox(&window);
    auto* other = new QLineEdit(&window);
    box->setGeometry(0, 0, 100, 24);
    other->setGeometry(0, 30, 100, 24);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QSignalSpy lost(box, &TextBox::LostFocus);

    box->setFocus();
    QTRY_VERIFY(box->editor()->hasFocus());
    QCOMPARE(lost.count(), 0);
    other->setFocus();
    QTRY_COMPARE(lost.count(), 1);
}

QTEST_MAIN(TestTextBox)
#include "tst_textbox.moc"
