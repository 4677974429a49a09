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

    explicit EventLog(TextBox* box)
    {
        // Shift, Ctrl and Alt raise their own KeyDown/KeyUp; the tests watch the other keys.
        const auto key = [this](const char* name, int code, int shift) {
            if (code < 16 || code > 18)
                events << QStringLiteral("%1 %2 %3").arg(QLatin1String(name)).arg(code).arg(shift);
        };
        QObject::connect(box, &TextBox::KeyDown, box,
                         [=](int& code, int shift) { key("KeyDown", code, shift); });
        QObject::connect(box, &TextBox::KeyUp, box, [=](int& code, int shift) { key("KeyUp", code, shift); });
        QObject::connect(box, &TextBox::KeyPress, box,
                         [this](int& ascii) { events << u"KeyPress %1"_qs.arg(ascii); });
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
    void init() { QApplication::clipboard()->clear(); }

    void assignmentShouldRaiseChangeOnlyForADifferentText_data()
    {
        QTest::addColumn<bool>("multiLine");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("assigned");
        QTest::addColumn<int>("changes");
        QTest::newRow("different text") << false << "0012345" << u"12345"_qs << 1;
        QTest::newRow("same text") << false << "0012345" << u"0012345"_qs << 0;
        QTest::newRow("emptied") << false << "0012345" << u""_qs << 1;
        QTest::newRow("multi-line same with CR LF") << true << "a\r\nb" << u"a\r\nb"_qs << 0;
        QTest::newRow("bare LF differs from CR LF") << true << "a\r\nb" << u"a\nb"_qs << 1;
    }

    void assignmentShouldRaiseChangeOnlyForADifferentText()
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

    void typingShouldSetTheChangedFlagUntilTheProgramResetsIt()
    {
        TextBox box;
        QSignalSpy change(&box, &TextBox::Change);
        QTest::keyClicks(&box, "12");
        QCOMPARE(change.count(), 2);
        QVERIFY(box.DataChanged());
        box.setDataChanged(false);
        QTest::keyClick(&box, Qt::Key_Left); // moving the cursor changes nothing
        QVERIFY(!box.DataChanged());
        QTest::keyClick(&box, Qt::Key_Backspace);
        QVERIFY(box.DataChanged());
        QCOMPARE(box.Text(), QStringLiteral("2"));
    }

    void keyPressHandlerShouldDiscardOrReplaceKeys_data()
    {
        QTest::addColumn<QString>("rule");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<int>>("keyAsciis");
        QTest::newRow("digits only") << "digits" << u"1a2-"_qs << "12" << QList<int>{49, 97, 50, 45};
        QTest::newRow("upper case") << "upper" << u"a-1"_qs << "A-1" << QList<int>{97, 45, 49};
        QTest::newRow("backspace reaches the handler")
            << "digits" << u"12\b"_qs << "1" << QList<int>{49, 50, 8};
        QTest::newRow("backspace refused") << "no backspace" << u"12\b"_qs << "12" << QList<int>{49, 50, 8};
    }

    void keyPressHandlerShouldDiscardOrReplaceKeys()
    {
        QFETCH(QString, rule);
        QFETCH(QString, typed);
        QFETCH(QString, text);
        QFETCH(QList<int>, keyAsciis);
        TextBox box;
        QList<int> seen;
        connect(&box, &TextBox::KeyPress, this, [&](int& ascii) {
            seen << ascii;
            if (rule == u"upper")
                ascii = QChar(ascii).toUpper().unicode();
            else if (rule == u"no backspace" ? ascii == 8 : ascii != 8 && !QChar(ascii).isDigit())
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

    // With the clipboard holding "0012345", Shift+Insert and Ctrl+V paste and raise Change between
    // KeyDown and KeyUp, flagged as a paste; other keys raise KeyPress only for characters.
    void keysShouldCarryClassicCodesAndShiftStates_data()
    {
        QTest::addColumn<bool>("multiLine");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("shift");
        QTest::addColumn<QString>("between"); // what comes between KeyDown and KeyUp

        const auto row = [](const char* name, bool multiLine, Qt::Key key, Qt::KeyboardModifiers modifiers,
                            int code, int shift, const char* between) {
            QTest::newRow(name) << multiLine << int(key) << int(modifiers) << code << shift
                                << QString::fromLatin1(between);
        };
        const auto shift = Qt::ShiftModifier, ctrl = Qt::ControlModifier;
        row("Shift+Insert", false, Qt::Key_Insert, shift, 45, 1, "Change 0012345");
        row("Ctrl+V", false, Qt::Key_V, ctrl, 86, 2, "Change 0012345");
        row("multi-line Ctrl+V", true, Qt::Key_V, ctrl, 86, 2, "Change 0012345");
        row("Shift+Ctrl+Insert", false, Qt::Key_Insert, shift | ctrl, 45, 3, "");
        row("Ctrl+Alt+Home", false, Qt::Key_Home, ctrl | Qt::AltModifier, 36, 6, "");
        row("keypad 7", false, Qt::Key_7, Qt::KeypadModifier, 103, 0, "KeyPress 55,Change 00123457");
        row("Backspace", false, Qt::Key_Backspace, {}, 8, 0, "KeyPress 8,Change 001234");
    }

    void keysShouldCarryClassicCodesAndShiftStates()
    {
        QFETCH(bool, multiLine);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, code);
        QFETCH(int, shift);
        QFETCH(QString, between);
        TextBox box(nullptr, multiLine);
        const bool paste = between.startsWith(u"Change");
        if (!paste)
            box.setText("0012345");
        QApplication::clipboard()->setText("0012345");
        EventLog log(&box);
        QTest::keyClick(&box, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QTest::keyClicks(&box, "-");

        QStringList expected{u"KeyDown %1 %2"_qs.arg(code).arg(shift)};
        expected << between.split(u',', Qt::SkipEmptyParts) << u"KeyUp %1 %2"_qs.arg(code).arg(shift);
        QCOMPARE(log.events.mid(0, expected.size()), expected);
        QCOMPARE(log.pastingAtChange.first(), paste); // the typed dash is never a paste
        QVERIFY(!log.pastingAtChange.last());
        QVERIFY(!box.isPasting());
    }

    void keyDownHandlerShouldDiscardAKeyByZeroingIt()
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

    void contextMenuPasteShouldBeFlagged()
    {
        QWidget window;
        auto* box = new TextBox(&window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QApplication::clipboard()->setText("0012345");
        EventLog log(box);

        bool pasteFound = false;
        QTimer::singleShot(0, this, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu)
                return;
            const QString paste = QKeySequence(QKeySequence::Paste).toString(QKeySequence::NativeText);
            for (QAction* action : menu->actions())
                if (action->text().endsWith(paste)) {
                    pasteFound = true;
                    action->trigger();
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

    void changeHandlerShouldBeAbleToUndoAPaste()
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
        QCOMPARE(static_cast<QLineEdit*>(box.editor())->text(), QStringLiteral("0012345"));
        QCOMPARE(changes, 2);
        QTest::keyClicks(&box, "9");
        QCOMPARE(box.Text(), QStringLiteral("00123459"));
    }

    void multiLineShouldKeepCrLfBreaks_data()
    {
        QTest::addColumn<QString>("assigned");
        QTest::addColumn<int>("lines");
        QTest::newRow("two lines") << "a\r\nb" << 2;
        QTest::newRow("trailing break") << "a\r\n" << 2;
        QTest::newRow("empty") << "" << 1;
    }

    void multiLineShouldKeepCrLfBreaks()
    {
        QFETCH(QString, assigned);
        QFETCH(int, lines);
        TextBox box(nullptr, true);
        box.setText(assigned);
        auto* editor = qobject_cast<QPlainTextEdit*>(box.editor());
        QVERIFY(editor);
        QCOMPARE(editor->blockCount(), lines);
        QCOMPARE(editor->toPlainText(), QString(assigned).remove(u'\r'));
        QCOMPARE(box.Text(), assigned);
        // Switching to one line and back keeps the text as it is.
        box.setMultiLine(false);
        QCOMPARE(box.Text(), assigned);
        box.setMultiLine(true);
        QCOMPARE(qobject_cast<QPlainTextEdit*>(box.editor())->blockCount(), lines);
        // Typed line breaks come back as CR LF.
        QTest::keyClick(&box, Qt::Key_End, Qt::ControlModifier);
        QTest::keyClick(&box, Qt::Key_Return);
        QTest::keyClicks(&box, "z");
        QCOMPARE(box.Text(), assigned + u"\r\nz"_qs);
    }

    void mouseEventsShouldCarryButtonShiftAndTwips()
    {
        QWidget window;
        auto* box = new TextBox(&window);
        box->setGeometry(10, 10, 120, 24);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QList<QList<float>> seen;
        const auto record = [&](int button, int shift, float x, float y) {
            seen.append({float(button), float(shift), x, y});
        };
        connect(box, &TextBox::MouseDown, this, record);
        connect(box, &TextBox::MouseUp, this, record);

        // X and Y are measured from the box's corner, not the editor's.
        QTest::mouseClick(box->editor(), Qt::LeftButton, Qt::ShiftModifier, QPoint(20, 6));
        const QPoint inBox = box->editor()->mapTo(box, QPoint(20, 6));
        const QList<float> expected{1, 1, pixelsToTwips(inBox.x()), pixelsToTwips(inBox.y())};
        QCOMPARE(seen, (QList<QList<float>>{expected, expected}));
    }

    void lostFocusShouldBeRaisedWhenFocusMovesOn()
    {
        QWidget window;
        auto* box = new TextBox(&window);
        auto* other = new QLineEdit(&window);
        other->move(0, 30);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QSignalSpy lost(box, &TextBox::LostFocus);
        box->setFocus();
        QTRY_VERIFY(box->editor()->hasFocus());
        QCOMPARE(lost.count(), 0);
        other->setFocus();
        QTRY_COMPARE(lost.count(), 1);
    }
};

QTEST_MAIN(TestTextBox)
#include "tst_textbox.moc"
