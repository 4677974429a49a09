// Saving a confirmation or an unconfirmation: every refusal in its order with its text and
// nothing sent, the request sent field by field, the unconfirm prompt, and errors while the
// request is being built.
#include "cnfrmpymt/document/TAVRO_CnfrmPymt.h"
#include "controls/CheckBox.h"
#include "controls/DTPicker.h"
#include "controls/Label.h"
#include "controls/SSCommand.h"
#include "controls/SSOption.h"
#include "controls/TextBox.h"
#include "protocol/NumberRules.h"
#include "runtime/App.h"
#include "runtime/ClassicError.h"
#include "runtime/MessageBox.h"
#include "support/DocumentFixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>

using namespace tavro;
using namespace tavro::test;

namespace {

/// One table row, kept on one line: QTest::newRow(name) << values...
template <typename... T> void addRow(const char* name, T... values)
{
    QTestData& row = QTest::newRow(name);
    (row << ... << values);
}

const QDate receiptDay = QDate::currentDate().addDays(-3);

enum Validation
{
    RealRules,
    RejectConfirmationNumbers, ///< type "F" is refused with "Bad number"
    AcceptEverything,
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

/// Searches daily batch \a number among confirmed or unconfirmed receipts and answers with
/// \a receipts (and a comment, when given).
void searchBatch(DocumentFixture& f, const QString& number, bool confirmed,
                 const QList<ReceiptRecord>& receipts, const QString& comment = {})
{
    f.selectCode(QStringLiteral("D"));
    DocumentFixture::clickLeftEdge(f.document->mOptCnfrmPymt[confirmed ? 0 : 1]);
    f.document->mTxtCnfrmPymt->setText(number);
    if (f.document->mCmdCnfrmPymt[0]->Enabled())
        f.clickCommand(0);
    else // the field's own check keeps "Search" off for this number: run the command itself
        f.document->mCmdCnfrmPymt_Click(0);
    QMap<QString, protocol::DataSet> sets{{QStringLiteral("RECEIPT"), receiptSet(receipts)}};
    if (!comment.isEmpty())
        sets.insert(QStringLiteral("CONFIRMATION"), confirmationSet(comment));
    f.replyToLast(sets);
}

/// An unconfirmed batch on the screen with a confirmation number obtained: ready to confirm.
void loadUnconfirmed(DocumentFixture& f, const QString& number = QStringLiteral("0012345"))
{
    f.show();
    searchBatch(f, number, false,
                {receipt(QStringLiteral("1001"), receiptDay, QStringLiteral("10")),
                 receipt(QStringLiteral("1002"), receiptDay, QStringLiteral("5.5"))});
    f.env.fields.readyNumbers = {QStringLiteral("4321")};
    f.env.fields.checkDigit = [](const QString&) { return 8; };
    DocumentFixture::clickLeftEdge(f.document->mChkNbr);
    f.env.fields.readyNumbers.clear();
    QCOMPARE(f.document->mLblDataCnfrmPymt[4]->Caption(), QStringLiteral("0004321-8"));
}

QPlainTextEdit* commentEditor(TAVRO_CnfrmPymt& document)
{
    return qobject_cast<QPlainTextEdit*>(document.txtComment->editor());
}

/// A confirmed batch on the screen, "(to Unconfirm)" ticked and, when \a edit, the loaded
/// reason typed on: ready to unconfirm.
void loadConfirmed(DocumentFixture& f, bool edit = true, const QString& number = QStringLiteral("0012345"))
{
    f.show();
    searchBatch(
        f, number, true,
        {receipt(QStringLiteral("1001"), receiptDay, QStringLiteral("10"), QStringLiteral("0004321-8"))},
        QStringLiteral("Old reason"));
    DocumentFixture::clickLeftEdge(f.document->chkToUnconfirm);
    QCOMPARE(f.document->chkToUnconfirm->Value(), 1);
    QVERIFY(f.document->txtComment->Visible());
    QVERIFY(f.document->txtComment->Enabled());
    QVERIFY(!f.document->txtComment->DataChanged());
    if (edit) {
        QPlainTextEdit* editor = commentEditor(*f.document);
        editor->moveCursor(QTextCursor::End);
        QTest::keyClicks(editor, QStringLiteral(", now wrong"));
        QCOMPARE(f.document->txtComment->Text(), QStringLiteral("Old reason, now wrong"));
        QVERIFY(f.document->txtComment->DataChanged());
    }
}

QString describe(const protocol::Value& value)
{
    struct Visitor
    {
        QString operator()(std::monostate) const { return QStringLiteral("null"); }
        QString operator()(const QString& v) const { return QStringLiteral("text:") + v; }
        QString operator()(qint64 v) const { return QStringLiteral("long:%1").arg(v); }
        QString operator()(double v) const { return QStringLiteral("double:%1").arg(v, 0, 'g', 17); }
        QString operator()(protocol::Money v) const { return QStringLiteral("money:%1").arg(v.units); }
        QString operator()(const QDate& v) const { return QStringLiteral("date:") + v.toString(Qt::ISODate); }
        QString operator()(bool v) const { return QStringLiteral("bool:%1").arg(v); }
    };
    return std::visit(Visitor{}, value);
}

/// The fields of the sent "CONFIRMATION" record as "NAME=kind:value", in their order.
QStringList sentRecord(const protocol::Request& request)
{
    const protocol::DataSet set = request.dataSets.value(QStringLiteral("CONFIRMATION"));
    if (set.records.size() != 1)
        return {QStringLiteral("%1 records").arg(set.records.size())};
    QStringList fields;
    for (qsizetype i = 0; i < set.fields.size(); ++i) {
        const protocol::FieldType type = set.fields.at(i).type;
        const QString typeName = type == protocol::FieldType::Text     ? QStringLiteral("text")
                                 : type == protocol::FieldType::Double ? QStringLiteral("double")
                                 : type == protocol::FieldType::Long   ? QStringLiteral("long")
                                 : type == protocol::FieldType::Date   ? QStringLiteral("date")
                                                                       : QStringLiteral("other");
        const QString value = describe(set.records.at(0).value(i));
        // The declared type and the value's kind must agree, or the back end refuses the record.
        fields.append(set.fields.at(i).name + u'=' +
                      (value.startsWith(typeName + u':') || value == QLatin1String("null")
                           ? value
                           : QStringLiteral("%1 declared, %2").arg(typeName, value)));
    }
    return fields;
}

QString unconfirmPrompt(const QString& batch)
{
    return QStringLiteral("This command will unconfirm the batch ") + batch + QStringLiteral("\r\n\r\n") +
           QString(26, QLatin1Char(' ')) + QStringLiteral("Are you sure?");
}

/// A user profile that fails when one of its values is read.
class FailingProfile final : public UserProfile
{
public:
    explicit FailingProfile(const UserProfile& inner, QString failing)
        : m_inner(inner), m_failing(std::move(failing))
    {
    }
    QString UserId() const override
    {
        check(QStringLiteral("UserId"));
        return m_inner.UserId();
    }
    QString TrpId() const override
    {
        check(QStringLiteral("TrpId"));
        return m_inner.TrpId();
    }
    QString TrpDstrctId() const override
    {
        check(QStringLiteral("TrpDstrctId"));
        return m_inner.TrpDstrctId();
    }
    qint32 OfficerId() const override
    {
        check(QStringLiteral("OfficerId"));
        return m_inner.OfficerId();
    }
    QString OfficerName() const override { return m_inner.OfficerName(); }
    void setProfile(const protocol::Profile&) override {}

private:
    void check(const QString& value) const
    {
        if (value == m_failing)
            raiseError(err::AutomationError, QStringLiteral("The profile is not available"));
    }
    const UserProfile& m_inner;
    QString m_failing;
};

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
    bool untick = false;
    int answer = vb::vbOK;
    bool warning = false; ///< shown as a warning, else as the status
    QString text = {};
    QStringList marks = {};
    bool prompted = false;
};

} // namespace

Q_DECLARE_METATYPE(Refusal)

class TestSaveData : public QObject
{
    Q_OBJECT

private slots:
    void refusalsShouldComeInOrderAndSendNothing_data();
    void refusalsShouldComeInOrderAndSendNothing();
    void aRefusalShouldKeepAnEarlierReason_data();
    void aRefusalShouldKeepAnEarlierReason();
    void aConfirmationShouldSendItsRecord_data();
    void aConfirmationShouldSendItsRecord();
    void anUnconfirmationShouldAskAndSendItsRecord_data();
    void anUnconfirmationShouldAskAndSendItsRecord();
    void theRealPromptShouldDefaultToCancel_data();
    void theRealPromptShouldDefaultToCancel();
    void anErrorWhileBuildingShouldBeReportedWithItsStep_data();
    void anErrorWhileBuildingShouldBeReportedWithItsStep();
};

void TestSaveData::refusalsShouldComeInOrderAndSendNothing_data()
{
    QTest::addColumn<Refusal>("c");
    const auto row = [](const char* name, const Refusal& c) { QTest::newRow(name) << c; };
    const QString noNumber = QStringLiteral(
        "Can not save confirm payment without confirmation number. Please get a confirmation number first");
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
    row("another number in the field",
        {.entry = "0012346", .display = "", .text = "Information did not change.  Save request canceled"});
    row("confirmed receipts, box not ticked",
        {.confirmed = true, .untick = true, .text = "Information did not change.  Save request canceled"});
    row("number still being requested", {.display = "0000000-0",
                                         .validation = RejectConfirmationNumbers,
                                         .warning = true,
                                         .text = noNumber,
                                         .marks = numberMarks});
    row("no confirmation number", {.display = "", .warning = true, .text = noNumber, .marks = numberMarks});
    row("number refused", {.validation = RejectConfirmationNumbers, .text = badNumber});
    row("wrong check digit",
        {.entry = "0012345-6",
         .text = "Invalid Confirmation Number: The check digit does not match.  Save request canceled"});
    row("number refused before the comment",
        {.confirmed = true, .validation = RejectConfirmationNumbers, .comment = "  ", .text = badNumber});
    row("number refused before the number part is read",
        {.searched = "12a4567", .validation = RejectConfirmationNumbers, .text = badNumber});
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
    row("prompt cancelled",
        {.confirmed = true, .answer = vb::vbCancel, .text = "Unconfirm request canceled", .prompted = true});
}

void TestSaveData::refusalsShouldComeInOrderAndSendNothing()
{
    QFETCH(Refusal, c);

    DocumentFixture f;
    useValidation(f, c.validation);
    if (c.confirmed)
        loadConfirmed(f, c.edit, c.searched);
    else
        loadUnconfirmed(f, c.searched);
    if (c.receiptsConfirmed >= 0)
        f.document->mblnReceiptsConfirmed = c.receiptsConfirmed == 1;
    if (!c.entry.isEmpty())
        f.document->mTxtCnfrmPymt->setText(c.entry);
    if (c.display != QLatin1String("keep"))
        f.document->mLblDataCnfrmPymt[4]->setCaption(c.display);
    if (c.comment != QLatin1String("keep"))
        f.document->txtComment->setText(c.comment);
    if (c.untick)
        f.document->chkToUnconfirm->setValue(0);
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

void TestSaveData::aRefusalShouldKeepAnEarlierReason_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");

    addRow("blanks", "   ", "Save was cancelled.");
    addRow("an earlier reason", "Earlier reason", "Earlier reason");
}

void TestSaveData::aRefusalShouldKeepAnEarlierReason()
{
    QFETCH(QString, before);
    QFETCH(QString, after);

    DocumentFixture f;
    loadUnconfirmed(f);
    f.document->mLblDataCnfrmPymt[4]->setCaption(QString());
    f.document->mstrSaveError = before;

    f.document->SaveData();

    QCOMPARE(f.document->mstrSaveError, after);
    QCOMPARE(f.transport().lastRequest(72), nullptr);
}

void TestSaveData::aConfirmationShouldSendItsRecord_data()
{
    QTest::addColumn<QString>("searched");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<int>("validation");
    QTest::addColumn<QString>("batchNumber");

    addRow("0012345", "0012345", "0012345", int(RealRules), "double:12345");
    addRow("0012345-6 accepted", "0012345", "0012345-6", int(AcceptEverything), "double:12345");
    addRow("two dashes", "12-34-5", "12-34-5", int(AcceptEverything), "double:12");
}

void TestSaveData::aConfirmationShouldSendItsRecord()
{
    QFETCH(QString, searched);
    QFETCH(QString, entry);
    QFETCH(int, validation);
    QFETCH(QString, batchNumber);

    DocumentFixture f;
    useValidation(f, validation);
    loadUnconfirmed(f, searched);
    f.document->mTxtCnfrmPymt->setText(entry);
    const QDate chosen = receiptDay.addDays(1);
    f.document->dtpConfimDate->setValue(chosen);
    f.document->mblnTimedOut = true;
    f.document->mstrSaveError.clear();
    f.env.log.clear();

    f.document->SaveData();

    const protocol::Request* sent = f.transport().lastRequest(72);
    QVERIFY(sent);
    QCOMPARE(sentRecord(*sent),
             (QStringList{QStringLiteral("ACTION=text:UPD"), QStringLiteral("DLY_RCPT_NBR=") + batchNumber,
                          QStringLiteral("CNFRMTN_NBR=text:0004321"),
                          QStringLiteral("CNFRMTN_DT=date:") + chosen.toString(Qt::ISODate),
                          QStringLiteral("TRP_ID=text:TRP01"), QStringLiteral("TRP_DSTRCT_ID=text:D07"),
                          QStringLiteral("CNFRMTN_OFCR_ID=long:1234")}));
    QCOMPARE(sent->userId, QStringLiteral("jdoe"));
    QCOMPARE(sent->criteria.size(), 0);
    QCOMPARE(sent->dataSets.keys(), QStringList{QStringLiteral("CONFIRMATION")});
    QCOMPARE(sent->options, QStringList{QStringLiteral("COMMITANYWAY")});
    QCOMPARE(f.document->mstrRequestKey, sent->key);
    QVERIFY(f.document->mblnSavePending);
    QVERIFY(!f.document->mblnTimedOut);
    QCOMPARE(f.document->mstrSaveError, QString());
    QCOMPARE(f.env.pointer.mousePointer(), vb::vbHourglass);
    QVERIFY(f.env.log.containsInOrder(
        {QStringLiteral("MousePointer(11)"), QStringLiteral("ShowStatus(Saving Confirmation)"),
         QStringLiteral("SetReady(false)"), QStringLiteral("Send(72,TAVRO_CnfrmPymt)")}));
    QVERIFY(f.env.errors.reports.isEmpty());
}

void TestSaveData::anUnconfirmationShouldAskAndSendItsRecord_data()
{
    QTest::addColumn<QString>("searched");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<int>("validation");
    QTest::addColumn<QString>("comment"); // empty: the edited one
    QTest::addColumn<QString>("batch");
    QTest::addColumn<QString>("batchNumber");
    QTest::addColumn<QString>("sentComment");

    const QString longComment =
        QStringLiteral("Entered twice by the night shift, see the log ").repeated(7).left(300);

    addRow("edited comment", "0012345", "0012345", int(RealRules), "", "0012345", "double:12345",
           "Old reason, now wrong");
    addRow("300 characters with blanks", "0012345", "0012345", int(RealRules), "   " + longComment + "   ",
           "0012345", "double:12345", longComment.left(254));
    addRow("0012345-6", "0012345", "0012345-6", int(AcceptEverything), "", "0012345", "double:12345",
           "Old reason, now wrong");
    addRow("12-34-5", "12-34-5", "12-34-5", int(AcceptEverything), "", "12", "double:12",
           "Old reason, now wrong");
}

void TestSaveData::anUnconfirmationShouldAskAndSendItsRecord()
{
    QFETCH(QString, searched);
    QFETCH(QString, entry);
    QFETCH(int, validation);
    QFETCH(QString, comment);
    QFETCH(QString, batch);
    QFETCH(QString, batchNumber);
    QFETCH(QString, sentComment);

    DocumentFixture f;
    useValidation(f, validation);
    loadConfirmed(f, true, searched);
    f.document->mTxtCnfrmPymt->setText(entry);
    if (!comment.isEmpty())
        f.document->txtComment->setText(comment);
    f.env.messageBox.answers.enqueue(vb::vbOK);
    f.env.log.clear();

    f.document->SaveData();

    QCOMPARE(f.env.messageBox.shown.size(), 1);
    const ScriptedMessageBox::Shown& prompt = f.env.messageBox.shown.constFirst();
    QCOMPARE(prompt.prompt, unconfirmPrompt(batch));
    QCOMPARE(prompt.style, vb::vbOKCancel + vb::vbDefaultButton2);
    QCOMPARE(prompt.title, QStringLiteral("Unconfirm This Batch of Receipts"));
    // The reason's mark is taken away before the officer is asked.
    QVERIFY(f.env.log.containsInOrder(
        {QStringLiteral("ClearHighlight(txtComment)"),
         QStringLiteral("MsgBox(%1,257,Unconfirm This Batch of Receipts)").arg(unconfirmPrompt(batch))}));

    const protocol::Request* sent = f.transport().lastRequest(72);
    QVERIFY(sent);
    QCOMPARE(
        sentRecord(*sent),
        (QStringList{
            QStringLiteral("ACTION=text:UNCONFIRM"), QStringLiteral("DLY_RCPT_NBR=") + batchNumber,
            QStringLiteral("CNFRMTN_DT=text:") + QDate::currentDate().toString(QStringLiteral("MM-dd-yyyy")),
            QStringLiteral("DLY_RCPT_CMMT_TXT=text:") + sentComment, QStringLiteral("TRP_ID=text:TRP01"),
            QStringLiteral("TRP_DSTRCT_ID=text:D07"), QStringLiteral("CNFRMTN_OFCR_ID=long:1234")}));
    QCOMPARE(sent->options, QStringList{QStringLiteral("COMMITANYWAY")});
    QCOMPARE(f.document->mstrRequestKey, sent->key);
    QVERIFY(f.document->mblnSavePending);
    QCOMPARE(f.env.log.matching(QStringLiteral("HighlightControl(")), QStringList());
    QVERIFY(f.env.log.containsInOrder({QStringLiteral("ShowStatus(Saving Confirmation)"),
                                       QStringLiteral("SetReady(false)"),
                                       QStringLiteral("Send(72,TAVRO_CnfrmPymt)")}));
}

void TestSaveData::theRealPromptShouldDefaultToCancel_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("sent");

    addRow("Enter", "Enter", false);
    addRow("clicking OK", "OK", true);
}

void TestSaveData::theRealPromptShouldDefaultToCancel()
{
    QFETCH(QString, answer);
    QFETCH(bool, sent);

    DocumentFixture f;
    loadConfirmed(f);
    // The application's own message box instead of the scripted one.
    MessageBox::setInstance(nullptr);
    const auto restore = qScopeGuard([&] { MessageBox::setInstance(&f.env.messageBox); });
    QString title;
    QString text = {};
    QStringList buttons;
    bool iconless = false;
    QTimer::singleShot(0, &f.host, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        title = box->windowTitle();
        text = box->text();
        iconless = box->icon() == QMessageBox::NoIcon;
        for (QAbstractButton* button : box->buttons())
            buttons.append(button->text().remove(u'&'));
        if (answer == QLatin1String("Enter"))
            QTest::keyClick(box, Qt::Key_Return);
        else if (answer == QLatin1String("Escape"))
            QTest::keyClick(box, Qt::Key_Escape);
        else
            for (QAbstractButton* button : box->buttons())
                if (box->buttonRole(button) == QMessageBox::AcceptRole)
                    button->click();
        if (QApplication::activeModalWidget() == box)
            box->done(-1); // not answered as expected: end the box so the check below fails
    });

    f.document->SaveData();

    QCOMPARE(title, QStringLiteral("Unconfirm This Batch of Receipts"));
    QCOMPARE(text, unconfirmPrompt(QStringLiteral("0012345")));
    QVERIFY(iconless);
    buttons.sort();
    QCOMPARE(buttons, (QStringList{QStringLiteral("Cancel"), QStringLiteral("OK")}));
    QCOMPARE(f.transport().lastRequest(72) != nullptr, sent);
    if (!sent)
        QCOMPARE(f.env.status.lastStatus, QStringLiteral("Unconfirm request canceled"));
}

void TestSaveData::anErrorWhileBuildingShouldBeReportedWithItsStep_data()
{
    QTest::addColumn<QString>("failing");
    QTest::addColumn<QString>("label");

    addRow("district", "TrpDstrctId", "TAVRO_CnfrmPymt.SaveData: TRP_DSTRCT_ID");
    addRow("officer", "OfficerId", "TAVRO_CnfrmPymt.SaveData: CNFRMTN_OFCR_ID");
}

void TestSaveData::anErrorWhileBuildingShouldBeReportedWithItsStep()
{
    QFETCH(QString, failing);
    QFETCH(QString, label);

    DocumentFixture f;
    loadUnconfirmed(f);
    FailingProfile profile(f.env.profile, failing);
    UserProfile::setInstance(&profile);
    const auto restore = qScopeGuard([&] { UserProfile::setInstance(&f.env.profile); });
    f.document->mstrSaveError.clear();
    f.env.log.clear();

    f.document->SaveData();

    QCOMPARE(f.env.errors.reports.size(), 1);
    QCOMPARE(f.env.errors.reports.constFirst().message, QStringLiteral("The profile is not available"));
    QCOMPARE(f.env.errors.reports.constFirst().appText, App::Title());
    QCOMPARE(f.env.errors.reports.constFirst().label, label);
    QCOMPARE(f.document->mstrSaveError, QStringLiteral("Save was cancelled."));
    QCOMPARE(f.transport().lastRequest(72), nullptr);
    // The save had begun: it stays pending with the ready light off until something resets them.
    QVERIFY(f.document->mblnSavePending);
    QCOMPARE(f.env.status.ready, std::optional<bool>(false));
}

QTEST_MAIN(TestSaveData)
#include "tst_savedata.moc"
