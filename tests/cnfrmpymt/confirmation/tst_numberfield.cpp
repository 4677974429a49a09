// The document-number field: keys, pastes, the live validation, button 7 and the zero fill.
#include "cnfrmpymt/document/TAVRO_CnfrmPymt.h"
#include "controls/CodesCombo.h"
#include "controls/SSCommand.h"
#include "controls/TextBox.h"
#include "support/DocumentFixture.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QTest>

using namespace tavro;
using namespace tavro::test;

namespace {

/// One table row, kept on one line: QTest::newRow(name) << values...
template <typename... T> void addRow(const char* name, T... values)
{
    QTestData& row = QTest::newRow(name);
    (row << ... << values);
}

QLineEdit* editorOf(TAVRO_CnfrmPymt& document)
{
    return qobject_cast<QLineEdit*>(document.mTxtCnfrmPymt->editor());
}

/// Shows the document in an active window and puts the focus into the number field.
void showAndFocus(DocumentFixture& f)
{
    f.show();
    QApplication::setActiveWindow(&f.host);
    QVERIFY(QTest::qWaitForWindowActive(&f.host));
    editorOf(*f.document)->setFocus(Qt::MouseFocusReason);
    QTRY_VERIFY(editorOf(*f.document)->hasFocus());
}

/// Moves the focus out of the number field (to "Clear"), which raises its LostFocus.
void leaveField(DocumentFixture& f)
{
    f.document->mCmdCnfrmPymt[1]->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(!editorOf(*f.document)->hasFocus());
}

} // namespace

class TestNumberField : public QObject
{
    Q_OBJECT

private slots:
    void init() { QApplication::clipboard()->clear(); }

    void keysShouldBeFilteredByTheSelectedCode_data();
    void keysShouldBeFilteredByTheSelectedCode();
    void onlyShiftAloneWithInsertShouldMarkAPaste_data();
    void onlyShiftAloneWithInsertShouldMarkAPaste();
    void pastesShouldBeCheckedAgainstTheSelectedCode_data();
    void pastesShouldBeCheckedAgainstTheSelectedCode();
    void searchShouldFollowTheLiveValidation_data();
    void searchShouldFollowTheLiveValidation();
    void saveButtonShouldFollowTheLastSearch_data();
    void saveButtonShouldFollowTheLastSearch();
    void leavingTheFieldShouldFillWithZeros_data();
    void leavingTheFieldShouldFillWithZeros();
};

void TestNumberField::keysShouldBeFilteredByTheSelectedCode_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("before");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("after");
    QTest::addColumn<int>("beeps");

    const auto row = [](const char* name, const char* code, const char* before, Qt::Key key,
                        const char* after) {
        const QString result = QString::fromLatin1(after);
        addRow(name, QString::fromLatin1(code), QString::fromLatin1(before), int(key), result,
               (result == QLatin1String(before) ? 1 : 0));
    };
    row("D digit", "D", "", Qt::Key_7, "7");
    row("D letter", "D", "12", Qt::Key_A, "12");
    row("D dash first", "D", "", Qt::Key_Minus, "");
    row("D dash after digits", "D", "123", Qt::Key_Minus, "123-");
    row("D second dash", "D", "123-4", Qt::Key_Minus, "123-4");
    row("A digit", "A", "123", Qt::Key_4, "1234");
    row("A dash", "A", "123", Qt::Key_Minus, "123");
    row("N dash", "N", "123", Qt::Key_Minus, "123-");
}

void TestNumberField::keysShouldBeFilteredByTheSelectedCode()
{
    QFETCH(QString, code);
    QFETCH(QString, before);
    QFETCH(int, key);
    QFETCH(QString, after);
    QFETCH(int, beeps);

    DocumentFixture f;
    showAndFocus(f);
    f.selectCode(code);
    editorOf(*f.document)->setFocus();
    f.document->mTxtCnfrmPymt->setText(before);
    editorOf(*f.document)->end(false);
    f.env.log.clear();

    QTest::keyClick(editorOf(*f.document), Qt::Key(key));

    QCOMPARE(f.document->mTxtCnfrmPymt->Text(), after);
    QCOMPARE(f.env.beeper.beeps, beeps);
    // The filter was asked with the code the officer chose, not a fixed one.
    QCOMPARE(int(f.env.log.matching(QStringLiteral("FilterKey(%1,").arg(code)).size()), 1);
}

void TestNumberField::onlyShiftAloneWithInsertShouldMarkAPaste_data()
{
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("marked");

    QTest::newRow("Shift+Insert") << int(Qt::ShiftModifier) << true;
    QTest::newRow("Shift+Ctrl+Insert") << int(Qt::ShiftModifier | Qt::ControlModifier) << false;
}

void TestNumberField::onlyShiftAloneWithInsertShouldMarkAPaste()
{
    QFETCH(int, modifiers);
    QFETCH(bool, marked);

    DocumentFixture f;
    showAndFocus(f);
    f.document->mTxtCnfrmPymt->setText(QStringLiteral("123"));
    f.document->mstrTextBefore = QStringLiteral("untouched");
    QLineEdit* editor = editorOf(*f.document);

    // The clipboard is empty, so no change handling clears the mark before the key goes up.
    QTest::keyPress(editor, Qt::Key_Insert, Qt::KeyboardModifiers(modifiers));
    QCOMPARE(f.document->mblnPasteKey, marked);
    QCOMPARE(f.document->mstrTextBefore, marked ? QStringLiteral("123") : QStringLiteral("untouched"));

    QTest::keyRelease(editor, Qt::Key_Insert, Qt::KeyboardModifiers(modifiers));
    QVERIFY(!f.document->mblnPasteKey);
}

void TestNumberField::pastesShouldBeCheckedAgainstTheSelectedCode_data()
{
    QTest::addColumn<QString>("route");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<QString>("after");
    QTest::addColumn<int>("beeps");
    QTest::addColumn<int>("changes");

    // A rejected paste beeps and puts the earlier text back, which is a second change.
    const auto row = [](const char* route, const char* code, const char* before, const char* pasted,
                        const char* after, int beeps, int changes) {
        QTest::addRow("%s %s, %s", route, code, pasted)
            << QString::fromLatin1(route) << QString::fromLatin1(code) << QString::fromLatin1(before)
            << QString::fromLatin1(pasted) << QString::fromLatin1(after) << beeps << changes;
    };
    row("Shift+Insert", "D", "123", "4567", "1234567", 0, 1);
    row("Shift+Insert", "D", "123", "4a", "123", 1, 2);
    row("Shift+Insert", "D", "123", "45678", "123", 1, 2);
    row("Shift+Insert", "A", "123", "-0", "123", 1, 2);
    // The empty text put back is checked again while the paste marks are still set, and beeps too.
    row("Shift+Insert", "D", "", " 123", "", 2, 2);
    row("Ctrl+V", "D", "123", "4a", "123", 1, 2);
}

void TestNumberField::pastesShouldBeCheckedAgainstTheSelectedCode()
{
    QFETCH(QString, route);
    QFETCH(QString, code);
    QFETCH(QString, before);
    QFETCH(QString, pasted);
    QFETCH(QString, after);
    QFETCH(int, beeps);
    QFETCH(int, changes);

    DocumentFixture f;
    showAndFocus(f);
    f.selectCode(code);
    QLineEdit* editor = editorOf(*f.document);
    editor->setFocus();
    f.document->mTxtCnfrmPymt->setText(before);
    editor->end(false);
    QApplication::clipboard()->setText(pasted);
    f.env.log.clear();

    if (route == QLatin1String("Shift+Insert"))
        QTest::keyClick(editor, Qt::Key_Insert, Qt::ShiftModifier);
    else
        QTest::keyClick(editor, Qt::Key_V, Qt::ControlModifier);

    QCOMPARE(f.document->mTxtCnfrmPymt->Text(), after);
    QCOMPARE(f.env.beeper.beeps, beeps);
    // Putting the earlier text back is a change of its own, handled like every other one.
    QCOMPARE(int(f.env.log.matching(QStringLiteral("EnableToolbarButton(7,")).size()), changes);
    QVERIFY(!f.document->mblnPasteKey);
    // Typing after the paste is no paste: a valid key beeps no more.
    QTest::keyClick(editor, Qt::Key_Backspace);
    QCOMPARE(f.env.beeper.beeps, beeps);
}

void TestNumberField::searchShouldFollowTheLiveValidation_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("searchEnabled");

    addRow("D seven digits", "D", "0012345", true);
    addRow("D right check digit", "D", "0012345-5", true);
    addRow("D wrong check digit", "D", "0012345-6", false);
    // The live check always applies the daily receipt rules, whatever code is chosen.
    addRow("A eight digits", "A", "12345678", false);
    addRow("N right check digit", "N", "123-0", true);
}

void TestNumberField::searchShouldFollowTheLiveValidation()
{
    QFETCH(QString, code);
    QFETCH(QString, typed);
    QFETCH(bool, searchEnabled);

    DocumentFixture f;
    showAndFocus(f);
    f.selectCode(code);
    QLineEdit* editor = editorOf(*f.document);
    editor->setFocus();
    f.env.log.clear();

    QTest::keyClicks(editor, typed);

    QCOMPARE(f.document->mTxtCnfrmPymt->Text(), typed);
    QCOMPARE(f.env.beeper.beeps, 0);
    // Every accepted key is a change that is validated.
    QCOMPARE(int(f.env.log.matching(QStringLiteral("ValidateNumber(D,")).size()), int(typed.size()));
    QCOMPARE(f.document->mCmdCnfrmPymt[0]->Enabled(), searchEnabled);
    QCOMPARE(f.env.fields.isHighlighted(f.document->mTxtCnfrmPymt), !searchEnabled);
}

void TestNumberField::saveButtonShouldFollowTheLastSearch_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("onWhileTyping");
    QTest::addColumn<QString>("filled");
    QTest::addColumn<bool>("onAfterLeaving");

    addRow("0012345", "0012345", true, "0012345", true);
    addRow("0012345-7", "0012345-7", true, "0012345-7", true);
    addRow("12345", "12345", false, "0012345", true);
    addRow("0012346", "0012346", false, "0012346", false);
}

void TestNumberField::saveButtonShouldFollowTheLastSearch()
{
    QFETCH(QString, typed);
    QFETCH(bool, onWhileTyping);
    QFETCH(QString, filled);
    QFETCH(bool, onAfterLeaving);
    const QString tag = QString::fromLatin1(DocumentFixture::DefaultTag);

    DocumentFixture f;
    showAndFocus(f);
    f.search(QStringLiteral("D"), QStringLiteral("0012345"));
    editorOf(*f.document)->setFocus();
    QTRY_VERIFY(editorOf(*f.document)->hasFocus());

    f.typeNumber(typed);
    QCOMPARE(f.env.status.buttonEnabled(7, tag), std::optional<bool>(onWhileTyping));

    leaveField(f);
    QCOMPARE(f.document->mTxtCnfrmPymt->Text(), filled);
    QCOMPARE(f.env.status.buttonEnabled(7, tag), std::optional<bool>(onAfterLeaving));
}

void TestNumberField::leavingTheFieldShouldFillWithZeros_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("filled");

    addRow("A", "A", "12345", "0000012345");
    addRow("D", "D", "12345", "0012345");
    addRow("D with dash", "D", "123-4", "0000123-4");
    addRow("D two dashes", "D", "12-34-5", "0000012-34-5");
}

void TestNumberField::leavingTheFieldShouldFillWithZeros()
{
    QFETCH(QString, code);
    QFETCH(QString, text);
    QFETCH(QString, filled);

    DocumentFixture f;
    showAndFocus(f);
    f.selectCode(code);
    editorOf(*f.document)->setFocus();
    QTRY_VERIFY(editorOf(*f.document)->hasFocus());
    f.document->mTxtCnfrmPymt->setText(text);
    f.env.log.clear();

    leaveField(f);

    QCOMPARE(f.document->mTxtCnfrmPymt->Text(), filled);
    // The filled text is a change like any other: validated again.
    const QStringList validations = f.env.log.matching(QStringLiteral("ValidateNumber(D,"));
    QCOMPARE(validations.size(), filled == text ? 0 : 1);
    if (!validations.isEmpty())
        QVERIFY2(validations.constFirst().startsWith(QStringLiteral("ValidateNumber(D,%1,").arg(filled)),
                 qPrintable(validations.constFirst()));
}

QTEST_MAIN(TestNumberField)
#include "tst_numberfield.moc"
