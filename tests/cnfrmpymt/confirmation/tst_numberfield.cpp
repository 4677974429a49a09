// The document-number field as the officer uses it: keys typed, pastes, the live validation
// with "Search", the save button against the last search, and the zero fill on leaving.
#include "cnfrmpymt/document/TAVRO_CnfrmPymt.h"
#include "controls/CodesCombo.h"
#include "controls/SSCommand.h"
#include "controls/SSOption.h"
#include "controls/TextBox.h"
#include "support/DocumentFixture.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QWindow>

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

/// Empties the field the way the officer does: select everything and delete it.
void clearField(TAVRO_CnfrmPymt& document)
{
    QLineEdit* editor = editorOf(document);
    editor->selectAll();
    QTest::keyClick(editor, Qt::Key_Delete);
}

/// Moves the focus out of the number field (to "Clear"), which raises its LostFocus.
void leaveField(DocumentFixture& f)
{
    f.document->mCmdCnfrmPymt[1]->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(!editorOf(*f.document)->hasFocus());
}

/// Triggers the paste entry of the field's context menu.
void pasteThroughContextMenu(QLineEdit* editor)
{
    QTimer::singleShot(0, editor, [] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu)
            return;
        const QString shortcut = QKeySequence(QKeySequence::Paste).toString(QKeySequence::NativeText);
        for (QAction* action : menu->actions())
            if (action->text().endsWith(shortcut))
                action->trigger();
        menu->close();
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), editor->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(editor, &event);
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
    void aDismissedContextMenuShouldEndThePasteCheck_data();
    void aDismissedContextMenuShouldEndThePasteCheck();
    void searchShouldFollowTheLiveValidation_data();
    void searchShouldFollowTheLiveValidation();
    void clearingTheFieldShouldDisableSearchAndKeepTheMark_data();
    void clearingTheFieldShouldDisableSearchAndKeepTheMark();
    void saveButtonShouldFollowTheLastSearch_data();
    void saveButtonShouldFollowTheLastSearch();
    void saveButtonShouldStayOffOutsideUnconfirmedDailyBatches_data();
    void saveButtonShouldStayOffOutsideUnconfirmedDailyBatches();
    void theOfficersWayOutOfTheFieldShouldFillItFirst_data();
    void theOfficersWayOutOfTheFieldShouldFillItFirst();
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
    row("D blank", "D", "12", Qt::Key_Space, "12");
    row("D dash first", "D", "", Qt::Key_Minus, "");
    row("D dash after digits", "D", "123", Qt::Key_Minus, "123-");
    row("D second dash", "D", "123-4", Qt::Key_Minus, "123-4");
    row("D backspace", "D", "123", Qt::Key_Backspace, "12");
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
    QCOMPARE(f.document->mFtcboCnfrmPymt[0]->SelectedCode(), code);
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
    QTest::newRow("Insert") << 0 << false;
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
    row("Shift+Insert", "D", "123", "-0", "123-0", 0, 1);
    row("Shift+Insert", "A", "123", "-0", "123", 1, 2);
    row("Shift+Insert", "A", "123", "4567890", "1234567890", 0, 1);
    // The empty text put back is checked again while the paste marks are still set, and beeps too.
    row("Shift+Insert", "D", "", " 123", "", 2, 2);
    row("Ctrl+V", "D", "123", "4a", "123", 1, 2);
    row("menu", "D", "123", "4a", "123", 1, 2);
    row("menu", "D", "123", "45", "12345", 0, 1);
    row("mouse", "D", "123", "4a", "123", 1, 2);
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

    if (route == QLatin1String("Shift+Insert")) {
        QTest::keyClick(editor, Qt::Key_Insert, Qt::ShiftModifier);
    } else if (route == QLatin1String("Ctrl+V")) {
        QTest::keyClick(editor, Qt::Key_V, Qt::ControlModifier);
    } else if (route == QLatin1String("menu")) {
        pasteThroughContextMenu(editor);
    } else {
        // What a mouse inserts while its button is down (a drop, a middle-button paste).
        QTest::mousePress(editor, Qt::LeftButton, {}, QPoint(4, editor->height() / 2));
        QVERIFY(f.document->mblnMouseDown);
        editor->end(false);
        editor->insert(pasted);
        QTest::mouseRelease(editor, Qt::LeftButton, {}, QPoint(4, editor->height() / 2));
    }

    QCOMPARE(f.document->mTxtCnfrmPymt->Text(), after);
    QCOMPARE(f.env.beeper.beeps, beeps);
    // Putting the earlier text back is a change of its own, handled like every other one.
    QCOMPARE(int(f.env.log.matching(QStringLiteral("EnableToolbarButton(7,")).size()), changes);
    QVERIFY(!f.document->mblnPasteKey);
    QVERIFY(!f.document->mblnMouseDown);
    // Typing after the paste is no paste: a valid key beeps no more.
    QTest::keyClick(editor, Qt::Key_Backspace);
    QCOMPARE(f.env.beeper.beeps, beeps);
}

void TestNumberField::aDismissedContextMenuShouldEndThePasteCheck_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("after");

    addRow("clearing the field", "", "");
    addRow("a dash", "-", "1234567-");
}

void TestNumberField::aDismissedContextMenuShouldEndThePasteCheck()
{
    QFETCH(QString, typed);
    QFETCH(QString, after);

    DocumentFixture f;
    showAndFocus(f);
    QLineEdit* editor = editorOf(*f.document);
    editor->setFocus();
    f.document->mTxtCnfrmPymt->setText(QStringLiteral("1234567"));
    editor->end(false);

    // The right button opens the menu as it goes down (through the window, as the platform
    // delivers it); it comes up while the menu is open, and the menu is dismissed.
    QWindow* window = f.host.windowHandle();
    const QPoint at = editor->mapTo(&f.host, QPoint(5, editor->height() / 2));
    bool menuShown = false;
    QTimer::singleShot(0, editor, [&] {
        QWidget* menu = QApplication::activePopupWidget();
        menuShown = menu != nullptr;
        QTest::mouseRelease(window, Qt::RightButton, {}, at);
        if (menu)
            menu->close();
    });
    QTest::mousePress(window, Qt::RightButton, {}, at);
    QTRY_VERIFY(!QApplication::activePopupWidget());
    QVERIFY(menuShown);

    // What the officer types next is typing, not a paste to undo.
    editor->setFocus();
    if (typed.isEmpty())
        clearField(*f.document);
    else
        QTest::keyClicks(editor, typed);
    QCOMPARE(f.document->mTxtCnfrmPymt->Text(), after);
    QCOMPARE(f.env.beeper.beeps, 0);
}

void TestNumberField::searchShouldFollowTheLiveValidation_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("searchEnabled");

    addRow("D seven digits", "D", "0012345", true);
    addRow("D eight digits", "D", "00123456", false);
    addRow("D right check digit", "D", "0012345-5", true);
    addRow("D wrong check digit", "D", "0012345-6", false);
    addRow("D dash without check digit", "D", "0012345-", false);
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

void TestNumberField::clearingTheFieldShouldDisableSearchAndKeepTheMark_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("marked");

    addRow("valid number", "1234567", false);
    addRow("invalid number", "12345678", true);
}

void TestNumberField::clearingTheFieldShouldDisableSearchAndKeepTheMark()
{
    QFETCH(QString, typed);
    QFETCH(bool, marked);

    DocumentFixture f;
    showAndFocus(f);
    f.search(QStringLiteral("D"), QStringLiteral("1234567"));
    QLineEdit* editor = editorOf(*f.document);
    editor->setFocus();
    f.typeNumber(typed);
    QCOMPARE(f.env.fields.isHighlighted(f.document->mTxtCnfrmPymt), marked);
    f.env.log.clear();

    clearField(*f.document);

    QCOMPARE(f.document->mTxtCnfrmPymt->Text(), QString());
    QVERIFY(!f.document->mCmdCnfrmPymt[0]->Enabled());
    QCOMPARE(f.env.fields.isHighlighted(f.document->mTxtCnfrmPymt), marked);
    QCOMPARE(f.env.log.matching(QStringLiteral("HighlightControl(")), QStringList());
    QCOMPARE(f.env.log.matching(QStringLiteral("ClearHighlight(")), QStringList());
    QCOMPARE(f.env.status.buttonEnabled(7, QString::fromLatin1(DocumentFixture::DefaultTag)),
             std::optional<bool>(false));
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
    QCOMPARE(f.document->mstrSearchValue, QStringLiteral("0012345"));
    editorOf(*f.document)->setFocus();
    QTRY_VERIFY(editorOf(*f.document)->hasFocus());

    f.typeNumber(typed);
    QCOMPARE(f.env.status.buttonEnabled(7, tag), std::optional<bool>(onWhileTyping));

    leaveField(f);
    QCOMPARE(f.document->mTxtCnfrmPymt->Text(), filled);
    QCOMPARE(f.env.status.buttonEnabled(7, tag), std::optional<bool>(onAfterLeaving));
}

void TestNumberField::saveButtonShouldStayOffOutsideUnconfirmedDailyBatches_data()
{
    QTest::addColumn<bool>("searched");
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("option");
    QTest::addColumn<bool>("on");

    addRow("D, unconfirmed, searched", true, "D", 1, true);
    addRow("D, confirmed", true, "D", 0, false);
    addRow("D with blanks", true, " D ", 1, false);
    addRow("no search yet", false, "D", 1, false);
}

void TestNumberField::saveButtonShouldStayOffOutsideUnconfirmedDailyBatches()
{
    QFETCH(bool, searched);
    QFETCH(QString, code);
    QFETCH(int, option);
    QFETCH(bool, on);
    const QString tag = QString::fromLatin1(DocumentFixture::DefaultTag);

    DocumentFixture f;
    showAndFocus(f);
    if (searched)
        f.search(QStringLiteral("D"), QStringLiteral("0012345"));
    // Assigned by the program, so that none of the selection handlers runs in between.
    f.document->mFtcboCnfrmPymt[0]->setSelectedCode(code);
    f.document->mOptCnfrmPymt[option]->setValue(true);
    editorOf(*f.document)->setFocus();

    f.typeNumber(QStringLiteral("0012345"));

    QCOMPARE(f.env.status.buttonEnabled(7, tag), std::optional<bool>(on));
}

void TestNumberField::leavingTheFieldShouldFillWithZeros_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("filled");

    addRow("A", "A", "12345", "0000012345");
    addRow("A full", "A", "1234567890", "1234567890");
    addRow("D", "D", "12345", "0012345");
    addRow("D with dash", "D", "123-4", "0000123-4");
    addRow("D two dashes", "D", "12-34-5", "0000012-34-5");
    addRow("D with blanks", "D", " 42 ", "0000042");
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

void TestNumberField::theOfficersWayOutOfTheFieldShouldFillItFirst_data()
{
    QTest::addColumn<QString>("way");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("filled");

    addRow("Tab", "Tab", "12345", "0012345");
    addRow("clicking Search, with check digit", "Search", "12345-5", "0012345-5");
}

void TestNumberField::theOfficersWayOutOfTheFieldShouldFillItFirst()
{
    QFETCH(QString, way);
    QFETCH(QString, typed);
    QFETCH(QString, filled);

    DocumentFixture f;
    showAndFocus(f);
    QLineEdit* editor = editorOf(*f.document);
    QTest::keyClicks(editor, typed);
    QVERIFY(f.document->mCmdCnfrmPymt[0]->Enabled());

    if (way == QLatin1String("Tab"))
        QTest::keyClick(editor, Qt::Key_Tab);
    else
        f.clickCommand(0);

    QTRY_VERIFY(!editor->hasFocus());
    QCOMPARE(f.document->mTxtCnfrmPymt->Text(), filled);
    if (way == QLatin1String("Search")) {
        // The field is left as the button goes down, so the search asks for the filled number.
        const protocol::Request& search = f.transport().lastRequest();
        QCOMPARE(search.requestCode, 63);
        QCOMPARE(search.criteria.value(0).key, QStringLiteral("key:DOC_NBR"));
        QCOMPARE(search.criteria.value(0).value, QStringLiteral("0012345"));
        QCOMPARE(f.document->mstrSearchValue, QStringLiteral("0012345"));
    }
}

QTEST_MAIN(TestNumberField)
#include "tst_numberfield.moc"
