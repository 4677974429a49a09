#include "controls/TextBox.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

using namespace tavro;

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
        QTest::keyClicks(&box, "12");
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
        QTest::newRow("digits only, backspace reaches the handler")
            << "digits" << u"1a2\b"_qs << "1" << QList<int>{49, 97, 50, 8};
        QTest::newRow("upper case") << "upper" << u"a-1"_qs << "A-1" << QList<int>{97, 45, 49};
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
            else if (ascii != 8 && !QChar(ascii).isDigit())
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
};

QTEST_MAIN(TestTextBox)
#include "tst_textbox.moc"
