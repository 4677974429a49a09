// Saving: every refusal in its order with its text and nothing sent, and the records sent.
#include "cnfrmpymt/document/TAVRO_CnfrmPymt.h"
#include "controls/CheckBox.h"
#include "controls/DTPicker.h"
#include "controls/Label.h"
#include "controls/SSCommand.h"
#include "controls/SSOption.h"
#include "controls/TextBox.h"
#include "protocol/NumberRules.h"
#include "runtime/MessageBox.h"
#include "support/DocumentFixture.h"

#include <QPlainTextEdit>
#include <QTest>

using namespace tavro;
using namespace tavro::test;

namespace {

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

QString describe(const protocol::Value& value)
{
    if (const auto* date = std::get_if<QDate>(&value))
        return date->toString(Qt::ISODate);
    if (const auto* number = std::get_if<double>(&value))
        return QString::number(*number, 'g', 17);
    if (const auto* number = std::get_if<qint64>(&value))
        return QString::number(*number);
    const auto* text = std::get_if<QString>(&value);
    return text ? *text : QString();
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
                               kind == declared ? kind : declared + " declared, " + kind, describe(value)));
    }
    return fields;
}

QString unconfirmPrompt(const QString& batch)
{
    return QStringLiteral("This command will unconfirm the batch ") + batch + QStringLiteral("\r\n\r\n") +
           QString(26, QLatin1Char(' ')) + QStringLiteral("Are you sure?");
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

} // namespace

Q_DECLARE_METATYPE(Refusal)

class TestSaveData : public QObject
{
    Q_OBJECT

private slots:

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

    void aConfirmationShouldSendItsRecord()
    {
        DocumentFixture f;
        useValidation(f, AcceptEverything);
        load(f, false);
        f.document->mTxtCnfrmPymt->setText(QStringLiteral("0012345-6")); // sent without its check digit
        f.document->dtpConfimDate->setValue(receiptDay.addDays(1));
        f.document->mblnTimedOut = true;
        f.document->mstrSaveError.clear();
        f.env.log.clear();

        f.document->SaveData();

        const protocol::Request* sent = f.transport().lastRequest(72);
        QVERIFY(sent);
        QCOMPARE(
            sentRecord(*sent),
            (QStringList{QStringLiteral("ACTION=text:UPD"), QStringLiteral("DLY_RCPT_NBR=double:12345"),
                         QStringLiteral("CNFRMTN_NBR=text:0004321"),
                         QStringLiteral("CNFRMTN_DT=date:") + receiptDay.addDays(1).toString(Qt::ISODate),
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

    void anUnconfirmationShouldAskAndSendItsRecord_data()
    {
        QTest::addColumn<QString>("searched");
        QTest::addColumn<int>("validation");
        QTest::addColumn<QString>("comment"); // empty: the edited one
        QTest::addColumn<QString>("batch");
        QTest::addColumn<QString>("sentComment");

        const QString longComment =
            QStringLiteral("Entered twice by the night shift, see the log ").repeated(7).left(300);

        const QString edited = QStringLiteral("Old reason, now wrong");
        QTest::newRow("edited") << QStringLiteral("0012345") << int(RealRules) << QString()
                                << QStringLiteral("0012345") << edited;
        QTest::newRow("300 characters with blanks")
            << QStringLiteral("0012345") << int(RealRules) << "   " + longComment + "   "
            << QStringLiteral("0012345") << longComment.left(254);
        QTest::newRow("12-34-5") << QStringLiteral("12-34-5") << int(AcceptEverything) << QString()
                                 << QStringLiteral("12") << edited;
    }

    void anUnconfirmationShouldAskAndSendItsRecord()
    {
        QFETCH(QString, searched);
        QFETCH(int, validation);
        QFETCH(QString, comment);
        QFETCH(QString, batch);
        QFETCH(QString, sentComment);

        DocumentFixture f;
        useValidation(f, validation);
        load(f, true, searched);
        if (!comment.isEmpty())
            f.document->txtComment->setText(comment);
        f.env.messageBox.answers.enqueue(vb::vbOK);
        f.env.log.clear();

        f.document->SaveData();

        QCOMPARE(f.env.messageBox.shown.size(), 1);
        // The reason's mark is taken away before the officer is asked, with Cancel as the default.
        QVERIFY(f.env.log.containsInOrder(
            {QStringLiteral("ClearHighlight(txtComment)"),
             QStringLiteral("MsgBox(%1,257,Unconfirm This Batch of Receipts)").arg(unconfirmPrompt(batch))}));

        const protocol::Request* sent = f.transport().lastRequest(72);
        QVERIFY(sent);
        QCOMPARE(sentRecord(*sent),
                 (QStringList{QStringLiteral("ACTION=text:UNCONFIRM"),
                              QStringLiteral("DLY_RCPT_NBR=double:%1").arg(batch.toInt()),
                              QStringLiteral("CNFRMTN_DT=text:") +
                                  QDate::currentDate().toString(QStringLiteral("MM-dd-yyyy")),
                              QStringLiteral("DLY_RCPT_CMMT_TXT=text:") + sentComment,
                              QStringLiteral("TRP_ID=text:TRP01"), QStringLiteral("TRP_DSTRCT_ID=text:D07"),
                              QStringLiteral("CNFRMTN_OFCR_ID=long:1234")}));
        QCOMPARE(sent->options, QStringList{QStringLiteral("COMMITANYWAY")});
        QCOMPARE(f.document->mstrRequestKey, sent->key);
        QVERIFY(f.document->mblnSavePending);
        QCOMPARE(f.env.log.matching(QStringLiteral("HighlightControl(")), QStringList());
        QVERIFY(f.env.log.containsInOrder({QStringLiteral("ShowStatus(Saving Confirmation)"),
                                           QStringLiteral("SetReady(false)"),
                                           QStringLiteral("Send(72,TAVRO_CnfrmPymt)")}));
    }
};

QTEST_MAIN(TestSaveData)
#include "tst_savedata.moc"
