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

int count(const QStringList& entries, const QString& prefix)
{
    int n = 0;
    for (const QString& entry : entries)
        n += entry.startsWith(prefix) ? 1 : 0;
    return n;
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

    QTest::newRow("D digit") << "D"
                             << "" << int(Qt::Key_7) << "7" << 0;
    QTest::newRow("D letter") << "D"
                              << "12" << int(Qt::Key_A) << "12" << 1;
    QTest::newRow("D blank") << "D"
                             << "12" << int(Qt::Key_Space) << "12" << 1;
    QTest::newRow("D point") << "D"
                             << "12" << int(Qt::Key_Period) << "12" << 1;
    QTest::newRow("D dash first") << "D"
                                  << "" << int(Qt::Key_Minus) << "" << 1;
    QTest::newRow("D dash after digits") << "D"
                                         << "123" << int(Qt::Key_Minus) << "123-" << 0;
    QTest::newRow("D second dash") << "D"
                                   << "123-4" << int(Qt::Key_Minus) << "123-4" << 1;
    QTest::newRow("D backspace") << "D"
                                 << "123" << int(Qt::Key_Backspace) << "12" << 0;
    QTest::newRow("A digit") << "A"
                             << "123" << int(Qt::Key_4) << "1234" << 0;
    QTest::newRow("A dash") << "A"
                            << "123" << int(Qt::Key_Minus) << "123" << 1;
    QTest::newRow("A letter") << "A"
                              << "123" << int(Qt::Key_X) << "123" << 1;
    QTest::newRow("N dash") << "N"
                            << "123" << int(Qt::Key_Minus) << "123-" << 0;
    QTest::newRow("R dash") << "R"
                            << "9" << int(Qt::Key_Minus) << "9-" << 0;
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
    QCOMPARE(count(f.env.log.entries(), QStringLiteral("FilterKey(%1,").arg(code)), 1);
}

void TestNumberField::onlyShiftAloneWithInsertShouldMarkAPaste_data()
{
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("marked");

    QTest::newRow("Shift+Insert") << int(Qt::ShiftModifier) << true;
    QTest::newRow("Shift+Ctrl+Insert") << int(Qt::ShiftModifier | Qt::ControlModifier) << false;
    QTest::newRow("Shift+Alt+Insert") << int(Qt::ShiftModifier | Qt::AltModifier) << false;
    QTest::newRow("Ctrl+Insert") << int(Qt::ControlModifier) << false;
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

    QTest::newRow("Shift+Insert digits") << "Shift+Insert"
                                         << "D"
                                         << "123"
                                         << "4567"
                                         << "1234567" << 0 << 1;
    QTest::newRow("Shift+Insert letter") << "Shift+Insert"
                                         << "D"
                                         << "123"
                                         << "4a"
                                         << "123" << 1 << 2;
    QTest::newRow("Shift+Insert eight digits") << "Shift+Insert"
                                               << "D"
                                               << "123"
                                               << "45678"
                                               << "123" << 1 << 2;
    QTest::newRow("Shift+Insert check digit, D") << "Shift+Insert"
                                                 << "D"
                                                 << "123"
                                                 << "-0"
                                                 << "123-0" << 0 << 1;
    QTest::newRow("Shift+Insert check digit, A") << "Shift+Insert"
                                                 << "A"
                                                 << "123"
                                                 << "-0"
                                                 << "123" << 1 << 2;
    QTest::newRow("Shift+Insert ten digits, A") << "Shift+Insert"
                                                << "A"
                                                << "123"
                                                << "4567890"
                                                << "1234567890" << 0 << 1;
    // The empty text put back is checked again while the paste marks are still set, and beeps too.
    QTest::newRow("Shift+Insert leading blank") << "Shift+Insert"
                                                << "D"
                                                << ""
                                                << " 123"
                                                << "" << 2 << 2;
    QTest::newRow("Ctrl+V letter") << "Ctrl+V"
                                   << "D"
                                   << "123"
                                   << "4a"
                                   << "123" << 1 << 2;
    QTest::newRow("Ctrl+V digits") << "Ctrl+V"
                                   << "D"
                                   << "123"
                                   << "45"
                                   << "12345" << 0 << 1;
    QTest::newRow("context menu letter") << "menu"
                                         << "D"
                                         << "123"
                                         << "4a"
                                         << "123" << 1 << 2;
    QTest::newRow("context menu digits") << "menu"
                                         << "D"
                                         << "123"
                                         << "45"
                                         << "12345" << 0 << 1;
    QTest::newRow("mouse down, letter") << "mouse"
                                        << "D"
                                        << "123"
                                        << "4a"
                                        << "123" << 1 << 2;
    QTest::newRow("mouse down, digits") << "mouse"
                                        << "D"
                                        << "123"
                                        << "45"
                                        << "12345" << 0 << 1;
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
    QCOMPARE(count(f.env.log.entries(), QStringLiteral("EnableToolbarButton(7,")), changes);
    QVERIFY(!f.document->mblnPasteKey);
    QVERIFY(!f.document->mblnMouseDown);
    // Typing after the paste is no paste: a valid key beeps no more.
    QTest::keyClick(editor, Qt::Key_Backspace);
    QCOMPARE(f.env.beeper.beeps, beeps);
}

void TestNumberField::aDismissedContextMenuShouldEndThePasteCheck_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("after");

    QTest::newRow("clearing the field") << "D"
                                        << ""
                                        << "";
    QTest::newRow("a dash") << "D"
                            << "-"
                            << "1234567-";
    QTest::newRow("an eighth digit") << "D"
                                     << "8"
                                     << "12345678";
}

void TestNumberField::aDismissedContextMenuShouldEndThePasteCheck()
{
    QFETCH(QString, code);
    QFETCH(QString, typed);
    QFETCH(QString, after);

    DocumentFixture f;
    showAndFocus(f);
    f.selectCode(code);
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
    QTest::addColumn<bool>("marked");

    QTest::newRow("D one digit") << "D"
                                 << "7" << true << false;
    QTest::newRow("D seven digits") << "D"
                                    << "0012345" << true << false;
    QTest::newRow("D eight digits") << "D"
                                    << "00123456" << false << true;
    QTest::newRow("D right check digit") << "D"
                                         << "0012345-5" << true << false;
    QTest::newRow("D wrong check digit") << "D"
                                         << "0012345-6" << false << true;
    QTest::newRow("D dash without check digit") << "D"
                                                << "0012345-" << false << true;
    // The live check always applies the daily receipt rules, whatever code is chosen.
    QTest::newRow("A eight digits") << "A"
                                    << "12345678" << false << true;
    QTest::newRow("A seven digits") << "A"
                                    << "1234567" << true << false;
    QTest::newRow("N right check digit") << "N"
                                         << "123-0" << true << false;
}

void TestNumberField::searchShouldFollowTheLiveValidation()
{
    QFETCH(QString, code);
    QFETCH(QString, typed);
    QFETCH(bool, searchEnabled);
    QFETCH(bool, marked);

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
    QCOMPARE(count(f.env.log.entries(), QStringLiteral("ValidateNumber(D,")), int(typed.size()));
    QCOMPARE(f.document->mCmdCnfrmPymt[0]->Enabled(), searchEnabled);
    QCOMPARE(f.env.fields.isHighlighted(f.document->mTxtCnfrmPymt), marked);
}

void TestNumberField::clearingTheFieldShouldDisableSearchAndKeepTheMark_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("marked");

    QTest::newRow("valid number") << "1234567" << false;
    QTest::newRow("invalid number") << "12345678" << true;
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

    QTest::newRow("0012345") << "0012345" << true << "0012345" << true;
    QTest::newRow("0012345-7") << "0012345-7" << true << "0012345-7" << true;
    QTest::newRow("12345") << "12345" << false << "0012345" << true;
    QTest::newRow("12345-7") << "12345-7" << false << "0012345-7" << true;
    QTest::newRow("123456") << "123456" << false << "0123456" << false;
    QTest::newRow("0012346") << "0012346" << false << "0012346" << false;
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

    QTest::newRow("D, unconfirmed, searched") << true << "D" << 1 << true;
    QTest::newRow("D, confirmed") << true << "D" << 0 << false;
    QTest::newRow("D with blanks") << true << " D " << 1 << false;
    QTest::newRow("N") << true << "N" << 1 << false;
    QTest::newRow("no search yet") << false << "D" << 1 << false;
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

    QTest::newRow("A") << "A"
                       << "12345"
                       << "0000012345";
    QTest::newRow("A full") << "A"
                            << "1234567890"
                            << "1234567890";
    QTest::newRow("D") << "D"
                       << "12345"
                       << "0012345";
    QTest::newRow("D with dash") << "D"
                                 << "123-4"
                                 << "0000123-4";
    QTest::newRow("D full with check digit") << "D"
                                             << "0012345-5"
                                             << "0012345-5";
    QTest::newRow("D two dashes") << "D"
                                  << "12-34-5"
                                  << "0000012-34-5";
    QTest::newRow("D with blanks") << "D"
                                   << " 42 "
                                   << "0000042";
    QTest::newRow("N with dash") << "N"
                                 << "123-4"
                                 << "0000123-4";
    QTest::newRow("R") << "R"
                       << "42"
                       << "0000042";
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

    QTest::newRow("Tab") << "Tab"
                         << "12345"
                         << "0012345";
    QTest::newRow("Tab, with check digit") << "Tab"
                                           << "12345-5"
                                           << "0012345-5";
    QTest::newRow("clicking Search") << "Search"
                                     << "12345"
                                     << "0012345";
    QTest::newRow("clicking Search, with check digit") << "Search"
                                                       << "12345-5"
                                                       << "0012345-5";
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
