// The confirmation side of the Confirm Payment document: the number field (keys, pastes, the live
// validation, button 7, the zero fill), the confirmation number, the save's refusals and records,
// and the save prompts with the close that waits for the save's reply.
#include "cnfrmpymt/document/TAVRO_CnfrmPymt.h"
#include "common/VeskMessage.h"
#include "controls/CheckBox.h"
#include "controls/CodesCombo.h"
#include "controls/DTPicker.h"
#include "controls/Label.h"
#include "controls/SSCommand.h"
#include "controls/SSFrame.h"
#include "controls/SSOption.h"
#include "controls/TextBox.h"
#include "protocol/NumberRules.h"
#include "runtime/MessageBox.h"
#include "support/DocumentFixture.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QThread>
#include <QTimer>

using namespace tavro;
using namespace tavro::test;

namespace {

QLineEdit* showAndFocus(DocumentFixture& f, const QString& code)
{
    f.show();
    QApplication::setActiveWindow(&f.host);
    if (!QTest::qWaitForWindowActive(&f.host))
        qWarning("the document's window did not become active");
    f.selectCode(code);
    auto* editor = qobject_cast<QLineEdit*>(f.document->mTxtCnfrmPymt->editor());
    editor->setFocus(Qt::MouseFocusReason);
    if (!QTest::qWaitFor([editor] { return editor->hasFocus(); }))
        qWarning("the number field did not take the focus");
    return editor;
}

QString screenOf(DocumentFixture& f)
{
    TAVRO_CnfrmPymt& d = *f.document;
    return QStringLiteral("%1|%2|pending:%3 frames:%4 marks:%5%6")
        .arg(d.mLblDataCnfrmPymt[4]->Caption(), d.mstrDocNumber)
        .arg(d.mblnCnfrmNbrPending)
        .arg(d.mFraCnfrmPymt[1]->Enabled() && d.mFraCnfrmPymt[2]->Enabled())
        .arg(f.env.fields.isHighlighted(d.mLblDataCnfrmPymt[4]))
        .arg(f.env.fields.isHighlighted(d.mChkNbr));
}

const QDate receiptDay = QDate::currentDate().addDays(-3);

enum Validation
{
    RealRules,
    RejectConfirmationNumbers, ///< type "F" is refused with "Bad number"
    AcceptEverything
};

void useValidation(DocumentFixture& f, int validation)
{
    if (validation == RejectConfirmationNumbers)
        f.env.fields.validateNumber = [](const QString& type, const QString& number, QString& message) {
            if (type == QLatin1String("F")) {
                message = QStringLiteral("Bad number");
                return false;
            }
            return protocol::validateNumber(type, number, &message);
        };
    else if (validation == AcceptEverything)
        f.env.fields.validateNumber = [](const QString&, const QString&, QString& message) {
            message.clear();
            return true;
        };
}

/// Searches daily batch \a number among unconfirmed receipts and obtains a confirmation number,
/// or among confirmed ones and ticks "(to Unconfirm)", typing on the loaded reason when \a edit.
void load(DocumentFixture& f, bool confirmed, const QString& number = "0012345", bool edit = true)
{
    f.show();
    f.selectCode(QStringLiteral("D"));
    DocumentFixture::clickLeftEdge(f.document->mOptCnfrmPymt[confirmed ? 0 : 1]);
    f.document->mTxtCnfrmPymt->setText(number);
    if (f.document->mCmdCnfrmPymt[0]->Enabled())
        f.clickCommand(0);
    else // the field's own check keeps "Search" off for this number: run the command itself
        f.document->mCmdCnfrmPymt_Click(0);
    const QString confirmation = confirmed ? QStringLiteral("0004321-8") : QString();
    QMap<QString, protocol::DataSet> sets{
        {QStringLiteral("RECEIPT"),
         receiptSet({receipt(QStringLiteral("1001"), receiptDay, QStringLiteral("10"), confirmation),
                     receipt(QStringLiteral("1002"), receiptDay, QStringLiteral("5.5"), confirmation)})}};
    if (confirmed)
        sets.insert(QStringLiteral("CONFIRMATION"), confirmationSet(QStringLiteral("Old reason")));
    f.replyToLast(sets);
    if (confirmed) {
        DocumentFixture::clickLeftEdge(f.document->chkToUnconfirm);
        auto* editor = qobject_cast<QPlainTextEdit*>(f.document->txtComment->editor());
        editor->moveCursor(QTextCursor::End);
        if (edit)
            QTest::keyClicks(editor, QStringLiteral(", now wrong"));
        return;
    }
    f.env.fields.readyNumbers = {QStringLiteral("4321")};
    f.env.fields.checkDigit = [](const QString&) { return 8; };
    DocumentFixture::clickLeftEdge(f.document->mChkNbr);
    f.env.fields.readyNumbers.clear();
    QCOMPARE(f.document->mLblDataCnfrmPymt[4]->Caption(), QStringLiteral("0004321-8"));
}

/// The fields of the sent "CONFIRMATION" record as "NAME=kind:value", in their order.
QStringList sentRecord(const protocol::Request& request)
{
    const protocol::DataSet set = request.dataSets.value(QStringLiteral("CONFIRMATION"));
    if (set.records.size() != 1)
        return {QStringLiteral("%1 records").arg(set.records.size())};
    // The value's alternatives follow the field types, after the null alternative.
    static const QStringList kinds{"null", "text", "long", "double", "money", "date", "bool"};
    QStringList fields;
    for (qsizetype i = 0; i < set.fields.size(); ++i) {
        const protocol::Value& value = set.records.at(0).value(i);
        const QString kind = kinds.at(qsizetype(value.index()));
        const QString declared = kinds.at(qsizetype(set.fields.at(i).type) + 1);
        // The declared type and the value's kind must agree, or the back end refuses the record.
        fields.append(QStringLiteral("%1=%2:%3")
                          .arg(set.fields.at(i).name,
                               kind == declared ? kind : declared + " declared, " + kind,
                               fromWireValue(value).toString()));
    }
    return fields;
}

/// One refused save: the screen it starts from and what it shows.
struct Refusal
{
    bool confirmed = false; ///< an unconfirmation of a confirmed batch, else a confirmation
    QString searched = QStringLiteral("0012345");
    int receiptsConfirmed = -1;               ///< -1: as the reply left it
    QString entry = {};                       ///< empty: as searched
    QString display = QStringLiteral("keep"); ///< "keep": the obtained number
    int validation = RealRules;
    bool edit = true;                         ///< the loaded reason typed on
    QString comment = QStringLiteral("keep"); ///< "keep": as loaded or edited
    int answer = vb::vbOK;
    bool warning = false; ///< shown as a warning, else as the status
    QString text = {};
    QStringList marks = {};
    bool prompted = false;
};

const QString kTag = QStringLiteral("WIN-31");
const QString kTitle = QStringLiteral("Confirm Payment - Daily batches");
const QString kNeedSavePrompt =
    QStringLiteral("Information on the active window has changed.  Would you like to save your changes?");
const QString kClosePrompt =
    QStringLiteral("Confirm Payment data has changed.  Do you wish to save these changes?");

enum class Reply
{
    None,
    Success,
    Errors,
};

/// The wait handles events for real and sleeps for real, as the default event service does.
/// Once it has begun, a timer answers the save \a reply after 100 ms, well within the first
/// sleep, so the answer is handled by the wait's own event processing.
void pumpForReal(DocumentFixture& f, Reply reply)
{
    f.env.events.onDoEvents = [&f, reply, started = false]() mutable {
        if (!started && reply != Reply::None) {
            QTimer::singleShot(100, &f.host, [&f, reply] {
                const protocol::Request* save = f.transport().lastRequest(72);
                if (!save)
                    return;
                QList<protocol::ReplyError> errors;
                if (reply == Reply::Errors)
                    errors.append(
                        {QStringLiteral("STALE"), QStringLiteral("The batch was confirmed meanwhile")});
                f.transport().deliverReply(save->key, {}, errors);
            });
        }
        started = true;
        QCoreApplication::processEvents();
    };
    f.env.events.onSleep = [](int milliseconds) { QThread::msleep(milliseconds); };
}

QStringList configureToolbarCalls(bool enabled)
{
    QStringList calls;
    for (int button : {7, 8, 12, 9, 14})
        calls.append(
            QStringLiteral("EnableToolbarButton(%1,%2,%3)").arg(button).arg(CallLog::arg(enabled), kTag));
    return calls;
}

struct Input
{
    QString route, code, before, input, after; ///< route "key" types input, else pastes it that way
    int beeps, changes;
};
struct Leaving
{
    QString code, typed, filled;
    bool onWhileTyping, onAfterLeaving;
};
struct SaveCase
{
    bool confirmed;
    QString searched, entry, comment, batch; ///< entry empty: as searched; comment empty: as edited
    QStringList record;
};
struct NeedSaveCase
{
    int answer, pointer;
    bool result, saves;
    QString saveError;
};
struct CloseCase
{
    int answer;
    Reply reply;
    bool refusedAtOnce, mayClose, waits;
    QString earlierError;
};

} // namespace

Q_DECLARE_METATYPE(Refusal)
Q_DECLARE_METATYPE(Input)
Q_DECLARE_METATYPE(Leaving)
Q_DECLARE_METATYPE(SaveCase)
Q_DECLARE_METATYPE(NeedSaveCase)
Q_DECLARE_METATYPE(CloseCase)

class TestConfirmation : public QObject
{
    Q_OBJECT

private slots:
    void init() { QApplication::clipboard()->clear(); }

    void keysAndPastesShouldBeFilteredByTheSelectedCode_data()
    {
        QTest::addColumn<Input>("c");
        const auto row = [](const char* route, const char* code, const char* before, const char* input,
                            const char* after, int beeps, int changes) {
            QTest::addRow("%s %s, %s after '%s'", route, code, input, before)
                << Input{route, code, before, input, after, beeps, changes};
        };
        row("key", "D", "", "7", "7", 0, 1);
        row("key", "D", "12", "a", "12", 1, 0);
        row("key", "D", "", "-", "", 1, 0);
        row("key", "D", "123", "-", "123-", 0, 1);
        row("key", "D", "123-4", "-", "123-4", 1, 0);
        row("key", "A", "123", "-", "123", 1, 0);
        row("key", "N", "123", "-", "123-", 0, 1);
        // A rejected paste beeps and puts the earlier text back, which is a second change.
        row("Shift+Insert", "D", "123", "4567", "1234567", 0, 1);
        row("Shift+Insert", "D", "123", "4a", "123", 1, 2);
        // The empty text put back is checked again while the paste marks are still set, and beeps too.
        row("Shift+Insert", "D", "", " 123", "", 2, 2);
        row("Ctrl+V", "D", "123", "4a", "123", 1, 2);
    }

    void keysAndPastesShouldBeFilteredByTheSelectedCode()
    {
        QFETCH(Input, c);
        const auto& [route, code, before, input, after, beeps, changes] = c;

        DocumentFixture f;
        QLineEdit* editor = showAndFocus(f, code);
        f.document->mTxtCnfrmPymt->setText(before);
        editor->end(false);
        if (route != QLatin1String("key"))
            QApplication::clipboard()->setText(input);
        f.env.log.clear();

        if (route == QLatin1String("key"))
            QTest::keyClicks(editor, input);
        else if (route == QLatin1String("Shift+Insert"))
            QTest::keyClick(editor, Qt::Key_Insert, Qt::ShiftModifier);
        else
            QTest::keyClick(editor, Qt::Key_V, Qt::ControlModifier);

        QCOMPARE(f.document->mTxtCnfrmPymt->Text(), after);
        QCOMPARE(f.env.beeper.beeps, beeps);
        // Putting the earlier text back is a change of its own, handled like every other one.
        QCOMPARE(int(f.env.log.matching(QStringLiteral("EnableToolbarButton(7,")).size()), changes);
        // The filter was asked with the code the officer chose, not a fixed one.
        if (route == QLatin1String("key"))
            QCOMPARE(int(f.env.log.matching(QStringLiteral("FilterKey(%1,").arg(code)).size()), 1);
        QVERIFY(!f.document->mblnPasteKey);
    }

    void onlyShiftAloneWithInsertShouldMarkAPaste_data()
    {
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("marked");
        QTest::newRow("Shift+Insert") << int(Qt::ShiftModifier) << true;
        QTest::newRow("Shift+Ctrl+Insert") << int(Qt::ShiftModifier | Qt::ControlModifier) << false;
    }

    void onlyShiftAloneWithInsertShouldMarkAPaste()
    {
        QFETCH(int, modifiers);
        QFETCH(bool, marked);

        DocumentFixture f;
        QLineEdit* editor = showAndFocus(f, QStringLiteral("D"));
        f.document->mTxtCnfrmPymt->setText(QStringLiteral("123"));
        f.document->mstrTextBefore = QStringLiteral("untouched");

        // The clipboard is empty, so no change handling clears the mark before the key goes up.
        QTest::keyPress(editor, Qt::Key_Insert, Qt::KeyboardModifiers(modifiers));
        QCOMPARE(f.document->mblnPasteKey, marked);
        QCOMPARE(f.document->mstrTextBefore, marked ? QStringLiteral("123") : QStringLiteral("untouched"));
        QTest::keyRelease(editor, Qt::Key_Insert, Qt::KeyboardModifiers(modifiers));
        QVERIFY(!f.document->mblnPasteKey);
    }

    void searchShouldFollowTheLiveValidation_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("searchEnabled");
        const auto row = [](const char* name, const char* code, const char* typed, bool on) {
            QTest::newRow(name) << QString(code) << QString(typed) << on;
        };
        row("D seven digits", "D", "0012345", true);
        row("D right check digit", "D", "0012345-5", true);
        row("D wrong check digit", "D", "0012345-6", false);
        // The live check always applies the daily receipt rules, whatever code is chosen.
        row("A eight digits", "A", "12345678", false);
    }

    void searchShouldFollowTheLiveValidation()
    {
        QFETCH(QString, code);
        QFETCH(QString, typed);
        QFETCH(bool, searchEnabled);

        DocumentFixture f;
        QLineEdit* editor = showAndFocus(f, code);
        f.env.log.clear();

        QTest::keyClicks(editor, typed);

        QCOMPARE(f.document->mTxtCnfrmPymt->Text(), typed);
        QCOMPARE(f.env.beeper.beeps, 0);
        // Every accepted key is a change that is validated.
        QCOMPARE(int(f.env.log.matching(QStringLiteral("ValidateNumber(D,")).size()), int(typed.size()));
        QCOMPARE(f.document->mCmdCnfrmPymt[0]->Enabled(), searchEnabled);
        QCOMPARE(f.env.fields.isHighlighted(f.document->mTxtCnfrmPymt), !searchEnabled);
    }

    void leavingTheFieldShouldFillWithZerosAndButton7FollowTheLastSearch_data()
    {
        QTest::addColumn<Leaving>("c");
        QTest::newRow("as searched") << Leaving{"D", "0012345", "0012345", true, true};
        QTest::newRow("with check digit") << Leaving{"D", "0012345-7", "0012345-7", true, true};
        QTest::newRow("without zeros") << Leaving{"D", "12345", "0012345", false, true};
        QTest::newRow("D with dash") << Leaving{"D", "123-4", "0000123-4", false, false};
        QTest::newRow("A") << Leaving{"A", "12345", "0000012345", false, false};
    }

    void leavingTheFieldShouldFillWithZerosAndButton7FollowTheLastSearch()
    {
        QFETCH(Leaving, c);
        const auto& [code, typed, filled, onWhileTyping, onAfterLeaving] = c;
        const QString tag = QString::fromLatin1(DocumentFixture::DefaultTag);

        DocumentFixture f;
        QLineEdit* editor = showAndFocus(f, code);
        f.search(code, QStringLiteral("0012345"));
        editor->setFocus();
        QTRY_VERIFY(editor->hasFocus());
        editor->selectAll();
        QTest::keyClick(editor, Qt::Key_Delete);
        QTest::keyClicks(editor, typed);
        QCOMPARE(f.env.status.buttonEnabled(7, tag), std::optional<bool>(onWhileTyping));
        f.env.log.clear();

        f.document->mCmdCnfrmPymt[1]->setFocus(Qt::TabFocusReason); // raises the field's LostFocus
        QTRY_VERIFY(!editor->hasFocus());

        QCOMPARE(f.document->mTxtCnfrmPymt->Text(), filled);
        QCOMPARE(f.env.status.buttonEnabled(7, tag), std::optional<bool>(onAfterLeaving));
        // The filled text is a change like any other: validated again.
        const QStringList validations = f.env.log.matching(QStringLiteral("ValidateNumber(D,"));
        QCOMPARE(validations.size(), filled == typed ? 0 : 1);
        if (!validations.isEmpty())
            QVERIFY2(validations.constFirst().startsWith(QStringLiteral("ValidateNumber(D,%1,").arg(filled)),
                     qPrintable(validations.constFirst()));
    }

    void aReadyNumberShouldBeShownAtOnce()
    {
        DocumentFixture f;
        f.show();
        f.env.fields.readyNumbers = {QStringLiteral("111"), QStringLiteral("2222")}; // the last one counts
        f.env.fields.checkDigit = [](const QString& digits) {
            return digits == QLatin1String("0002222") ? 3 : 9;
        };
        f.env.log.clear();

        DocumentFixture::clickLeftEdge(f.document->mChkNbr);

        QCOMPARE(f.document->mChkNbr->Value(), 1);
        QCOMPARE(f.env.log.matching(QStringLiteral("RequestFormNumber(")),
                 QStringList{QStringLiteral("RequestFormNumber(F,TAVRO_CNFRMPYMT)")});
        QCOMPARE(f.env.log.matching(QStringLiteral("CheckDigit(")),
                 QStringList{QStringLiteral("CheckDigit(0002222)")});
        QCOMPARE(screenOf(f), QStringLiteral("0002222-3|0002222|pending:0 frames:1 marks:00"));
        QVERIFY(f.env.errors.reports.isEmpty());

        // Unticking and ticking again after a number was obtained asks for nothing.
        const QString obtained = screenOf(f);
        f.env.log.clear();
        DocumentFixture::clickLeftEdge(f.document->mChkNbr);
        DocumentFixture::clickLeftEdge(f.document->mChkNbr);
        QCOMPARE(f.env.log.matching(QStringLiteral("RequestFormNumber(")), QStringList());
        QCOMPARE(screenOf(f), obtained);
    }

    void aRequestedNumberShouldLockTheScreenUntilItsAnswer()
    {
        DocumentFixture f;
        f.show();
        f.env.fields.formNumberKey = QStringLiteral("NUMBER-KEY-9");
        f.env.fields.checkDigit = [](const QString&) { return 4; };
        f.env.log.clear();

        DocumentFixture::clickLeftEdge(f.document->mChkNbr);

        QCOMPARE(f.document->mstrRequestKey, QStringLiteral("NUMBER-KEY-9"));
        QCOMPARE(screenOf(f), QStringLiteral("0000000-0||pending:1 frames:0 marks:11"));
        QVERIFY(f.document->mFraCnfrmPymt[0]->Enabled()); // the confirmation group stays usable

        f.env.replies.store(f.document->Name(), QStringLiteral("NUMBER-KEY-9"),
                            {{QStringLiteral("REQ"), reqSet(qint64(4321))}}, {});
        QVariant addressee(f.document->Name());
        emit VeskMessage::GetInstance()->DataReady(addressee);

        QCOMPARE(screenOf(f), QStringLiteral("0004321-4|0004321|pending:0 frames:1 marks:00"));
        QVERIFY(f.env.errors.reports.isEmpty());
    }

    void refusalsShouldComeInOrderAndSendNothing_data()
    {
        QTest::addColumn<Refusal>("c");
        const auto row = [](const char* name, const Refusal& c) { QTest::newRow(name) << c; };
        const QString noNumber = QStringLiteral("Can not save confirm payment without confirmation number. "
                                                "Please get a confirmation number first");
        const QStringList numberMarks{"HighlightControl(mLblDataCnfrmPymt_4)", "HighlightControl(mChkNbr)"};
        const QString badNumber =
            QStringLiteral("Invalid Confirmation Number: Bad number.  Save request canceled");

        row("confirmed batch among unconfirmed receipts",
            {.receiptsConfirmed = 1,
             .display = "",
             .validation = RejectConfirmationNumbers,
             .text = "Receipts are already Confirmed.  Save request canceled"});
        row("unconfirmed batch among confirmed receipts",
            {.confirmed = true,
             .receiptsConfirmed = 0,
             .validation = RejectConfirmationNumbers,
             .comment = "   ",
             .text = "Receipts are already Unconfirmed.  Save request canceled"});
        row("another number in the field", {.entry = "0012346",
                                            .display = "",
                                            .text = "Information did not change.  Save request canceled"});
        row("no confirmation number",
            {.display = "", .warning = true, .text = noNumber, .marks = numberMarks});
        row("number refused", {.validation = RejectConfirmationNumbers, .text = badNumber});
        row("number part not numeric", {.searched = "12a4567",
                                        .validation = AcceptEverything,
                                        .text = "Invalid Confirmation Number.  Save request canceled"});
        row("blank comment", {.confirmed = true,
                              .comment = "    ",
                              .text = "Explaination comment required. Unconfirm request canceled",
                              .marks = {"HighlightControl(txtComment)"}});
        row("comment not edited", {.confirmed = true,
                                   .edit = false,
                                   .text = "Explaination comment not changed. Unconfirm request canceled",
                                   .marks = {"HighlightControl(txtComment)"}});
        row("prompt cancelled", {.confirmed = true,
                                 .answer = vb::vbCancel,
                                 .text = "Unconfirm request canceled",
                                 .prompted = true});
    }

    void refusalsShouldComeInOrderAndSendNothing()
    {
        QFETCH(Refusal, c);

        DocumentFixture f;
        useValidation(f, c.validation);
        load(f, c.confirmed, c.searched, c.edit);
        if (c.receiptsConfirmed >= 0)
            f.document->mblnReceiptsConfirmed = c.receiptsConfirmed == 1;
        if (!c.entry.isEmpty())
            f.document->mTxtCnfrmPymt->setText(c.entry);
        if (c.display != QLatin1String("keep"))
            f.document->mLblDataCnfrmPymt[4]->setCaption(c.display);
        if (c.comment != QLatin1String("keep"))
            f.document->txtComment->setText(c.comment);
        f.env.messageBox.answers.enqueue(c.answer);
        const qsizetype sentBefore = f.transport().sent.size();
        f.document->mstrSaveError.clear();
        f.env.log.clear();

        f.document->SaveData();

        const QStringList statuses = f.env.log.matching(QStringLiteral("ShowStatus("));
        const QStringList warnings = f.env.log.matching(QStringLiteral("ShowWarning("));
        QCOMPARE(c.warning ? warnings : statuses,
                 QStringList{(c.warning ? "ShowWarning(" : "ShowStatus(") + c.text + u')'});
        QCOMPARE(c.warning ? statuses : warnings, QStringList());
        QCOMPARE(f.env.log.matching(QStringLiteral("HighlightControl(")), c.marks);
        QCOMPARE(f.env.messageBox.shown.size(), c.prompted ? 1 : 0);
        // Nothing went out and nothing waits for a reply.
        QCOMPARE(f.transport().sent.size(), sentBefore);
        QVERIFY(!f.document->mblnSavePending);
        QCOMPARE(f.env.log.matching(QStringLiteral("SetReady(")), QStringList());
        QCOMPARE(f.document->mstrSaveError, QStringLiteral("Save was cancelled."));
        QVERIFY(f.env.errors.reports.isEmpty());
    }

    void aSaveShouldSendItsRecord_data()
    {
        QTest::addColumn<SaveCase>("c");

        const QString longComment =
            QStringLiteral("Entered twice by the night shift, see the log ").repeated(7).left(300);
        const QStringList officer{"TRP_ID=text:TRP01", "TRP_DSTRCT_ID=text:D07", "CNFRMTN_OFCR_ID=long:1234"};
        const auto unconfirm = [&](const char* number, const QString& comment) {
            return QStringList{"ACTION=text:UNCONFIRM", QStringLiteral("DLY_RCPT_NBR=double:") + number,
                               "CNFRMTN_DT=text:" +
                                   QDate::currentDate().toString(QStringLiteral("MM-dd-yyyy")),
                               "DLY_RCPT_CMMT_TXT=text:" + comment} +
                   officer;
        };
        // The number is sent without its check digit.
        QTest::newRow("confirmation of 0012345-6") << SaveCase{
            false,
            "0012345",
            "0012345-6",
            "",
            "",
            QStringList{"ACTION=text:UPD", "DLY_RCPT_NBR=double:12345", "CNFRMTN_NBR=text:0004321",
                        "CNFRMTN_DT=date:" + receiptDay.addDays(1).toString(Qt::ISODate)} +
                officer};
        QTest::newRow("unconfirmation")
            << SaveCase{true, "0012345", "", "", "0012345", unconfirm("12345", "Old reason, now wrong")};
        QTest::newRow("300 characters with blanks")
            << SaveCase{true,      "0012345",
                        "",        "   " + longComment + "   ",
                        "0012345", unconfirm("12345", longComment.left(254))};
        QTest::newRow("unconfirmation of 12-34-5")
            << SaveCase{true, "12-34-5", "", "", "12", unconfirm("12", "Old reason, now wrong")};
    }

    void aSaveShouldSendItsRecord()
    {
        QFETCH(SaveCase, c);
        const auto& [confirmed, searched, entry, comment, batch, record] = c;

        DocumentFixture f;
        useValidation(f, confirmed && searched == u"0012345" ? RealRules : AcceptEverything);
        load(f, confirmed, searched);
        if (!entry.isEmpty())
            f.document->mTxtCnfrmPymt->setText(entry);
        if (!comment.isEmpty())
            f.document->txtComment->setText(comment);
        if (!confirmed)
            f.document->dtpConfimDate->setValue(receiptDay.addDays(1));
        f.document->mblnTimedOut = true;
        f.document->mstrSaveError.clear();
        f.env.messageBox.answers.enqueue(vb::vbOK);
        f.env.log.clear();

        f.document->SaveData();

        // An unconfirmation takes the reason's mark away before asking, with Cancel as the default.
        QCOMPARE(f.env.messageBox.shown.size(), confirmed ? 1 : 0);
        if (confirmed)
            QVERIFY(f.env.log.containsInOrder({QStringLiteral("ClearHighlight(txtComment)"),
                                               "MsgBox(This command will unconfirm the batch " + batch +
                                                   "\r\n\r\n" + QString(26, u' ') +
                                                   "Are you sure?,257,Unconfirm This Batch of Receipts)"}));
        const protocol::Request* sent = f.transport().lastRequest(72);
        QVERIFY(sent);
        QCOMPARE(sentRecord(*sent), record);
        QCOMPARE(sent->userId, QStringLiteral("jdoe"));
        QCOMPARE(sent->criteria.size(), 0);
        QCOMPARE(sent->dataSets.keys(), QStringList{QStringLiteral("CONFIRMATION")});
        QCOMPARE(sent->options, QStringList{QStringLiteral("COMMITANYWAY")});
        QCOMPARE(f.document->mstrRequestKey, sent->key);
        QVERIFY(f.document->mblnSavePending);
        QVERIFY(!f.document->mblnTimedOut);
        QCOMPARE(f.document->mstrSaveError, QString());
        QCOMPARE(f.env.pointer.mousePointer(), vb::vbHourglass);
        QCOMPARE(f.env.log.matching(QStringLiteral("HighlightControl(")), QStringList());
        QVERIFY(f.env.log.containsInOrder(
            {QStringLiteral("MousePointer(11)"), QStringLiteral("ShowStatus(Saving Confirmation)"),
             QStringLiteral("SetReady(false)"), QStringLiteral("Send(72,TAVRO_CnfrmPymt)")}));
        QVERIFY(f.env.errors.reports.isEmpty());
    }

    void needSaveShouldOfferToSave_data()
    {
        QTest::addColumn<NeedSaveCase>("c");
        // After a save the reply restores the pointer; after Cancel the prompt itself does.
        QTest::newRow("Yes") << NeedSaveCase{vb::vbYes, vb::vbHourglass, true, true, ""};
        QTest::newRow("No") << NeedSaveCase{vb::vbNo, vb::vbHourglass, false, false, "Earlier reason"};
        QTest::newRow("Cancel") << NeedSaveCase{vb::vbCancel, vb::vbDefault, true, false, "Earlier reason"};
    }

    void needSaveShouldOfferToSave()
    {
        QFETCH(NeedSaveCase, c);
        const auto& [answer, pointer, result, saves, saveError] = c;

        DocumentFixture f(kTag, kTitle);
        load(f, false); // an unconfirmed batch with a number: a save would go out
        f.document->mstrSaveError = QStringLiteral("Earlier reason");
        f.env.messageBox.answers.enqueue(answer);
        f.env.pointer.setMousePointer(vb::vbHourglass);
        f.env.log.clear();

        QCOMPARE(f.document->NeedSave(), result);

        QCOMPARE(f.env.messageBox.shown.size(), 1);
        QCOMPARE(f.env.messageBox.shown.constFirst().prompt, kNeedSavePrompt);
        QCOMPARE(f.env.messageBox.shown.constFirst().style, vb::vbYesNoCancel + vb::vbQuestion);
        QCOMPARE(f.env.messageBox.shown.constFirst().title, kTitle);
        QCOMPARE(f.transport().lastRequest(72) != nullptr, saves);
        QCOMPARE(f.document->mstrSaveError, saveError);
        QCOMPARE(f.env.pointer.mousePointer(), pointer);
        QVERIFY(f.env.errors.reports.isEmpty());
    }

    void closeDocumentShouldOfferToSaveAndWait_data()
    {
        QTest::addColumn<CloseCase>("c");
        const auto row = [](const char* name, const CloseCase& c) { QTest::newRow(name) << c; };
        // Answer 0: a save is already outstanding, so neither prompt asks and the document may close.
        row("a save outstanding", {0, Reply::None, false, true, false, ""});
        row("No", {vb::vbNo, Reply::None, false, true, false, ""});
        row("Cancel", {vb::vbCancel, Reply::None, false, false, false, ""});
        row("Yes, the save refused at once", {vb::vbYes, Reply::None, true, false, false, ""});
        row("Yes, saved", {vb::vbYes, Reply::Success, false, true, true, ""});
        row("Yes, saved after an earlier cancellation",
            {vb::vbYes, Reply::Success, false, true, true, "Save was cancelled."});
        row("Yes, the reply has errors", {vb::vbYes, Reply::Errors, false, false, true, ""});
    }

    void closeDocumentShouldOfferToSaveAndWait()
    {
        QFETCH(CloseCase, c);
        const auto& [answer, reply, refusedAtOnce, mayClose, waits, earlierError] = c;

        DocumentFixture f(kTag, kTitle);
        load(f, false); // an unconfirmed batch with a number: a save would go out
        pumpForReal(f, reply);
        if (answer == 0)
            f.document->SaveData();
        if (refusedAtOnce)
            f.document->mLblDataCnfrmPymt[4]->setCaption(QString());
        f.document->mstrSaveError = earlierError;
        f.document->mblnSaveReplied = true; // left over from an earlier close
        f.document->mblnSaveFailed = true;
        f.env.messageBox.answers.enqueue(answer);
        const qsizetype sentBefore = f.transport().sent.size();
        f.env.log.clear();

        if (answer == 0)
            QCOMPARE(f.document->NeedSave(), false);
        const bool result = f.document->CloseDocument();

        QCOMPARE(result, mayClose);
        QCOMPARE(f.env.messageBox.shown.isEmpty(), answer == 0);
        if (answer != 0) {
            QCOMPARE(f.env.messageBox.shown.constFirst().prompt, kClosePrompt);
            QCOMPARE(f.env.messageBox.shown.constFirst().style, vb::vbYesNoCancel + vb::vbQuestion);
            QCOMPARE(f.env.messageBox.shown.constFirst().title, kTitle);
        }
        const bool saved = answer == vb::vbYes && !refusedAtOnce;
        QCOMPARE(f.transport().sent.size() > sentBefore, saved);
        QCOMPARE(!f.env.events.sleeps.isEmpty(), waits);
        if (waits) {
            // The reply was handled inside the wait, after its first sleep.
            const qsizetype firstSleep = f.env.log.indexOf(QStringLiteral("Sleep(500)"));
            const qsizetype replyChecked =
                f.env.log.entries().indexOf(f.env.log.matching(QStringLiteral("CheckReplyErrors(")).value(0));
            QVERIFY(firstSleep >= 0 && replyChecked > firstSleep);
            QCOMPARE(f.env.events.sleeps, QList<int>(f.env.events.sleeps.size(), 500));
        } else {
            QCOMPARE(f.env.events.doEventsCalls, 0);
        }
        // The document hands its toolbar back exactly when it may close, after everything else.
        const QStringList toolbar = f.env.log.matching(QStringLiteral("EnableToolbarButton("));
        QCOMPARE(toolbar.mid(toolbar.size() - 5) == configureToolbarCalls(true), mayClose);
        if (mayClose)
            QCOMPARE(f.env.log.entries().mid(f.env.log.entries().size() - 5), configureToolbarCalls(true));
        QVERIFY(f.env.errors.reports.isEmpty());
    }
};

QTEST_MAIN(TestConfirmation)
#include "tst_confirmation.moc"
