// The Confirm Payment document's requests, the receipts list and the reply dispatch, driven
// through the faked message service.
#include "cnfrmpymt/document/TAVRO_CnfrmPymt.h"
#include "common/DataSet.h"
#include "controls/CheckBox.h"
#include "controls/CodesCombo.h"
#include "controls/DTPicker.h"
#include "controls/Label.h"
#include "controls/SSCommand.h"
#include "controls/SSFrame.h"
#include "controls/SSOleDBGrid.h"
#include "controls/SSOption.h"
#include "controls/TextBox.h"
#include "runtime/Classic.h"
#include "runtime/CurrencyFormat.h"
#include "runtime/MessageBox.h"
#include "runtime/ScreenPointer.h"
#include "support/DocumentFixture.h"

#include <QTest>

using namespace tavro;
using namespace tavro::test;

Q_DECLARE_METATYPE(tavro::test::ReceiptRecord)

namespace {

const QString kName = QStringLiteral("TAVRO_CnfrmPymt");

/// "key=value" of each criterion, in order; every criterion must be KESTROVA / "=".
QStringList criteriaOf(const protocol::Request& request)
{
    QStringList criteria;
    for (const protocol::Criterion& c : request.criteria) {
        if (c.systemName != QLatin1String("KESTROVA") || c.op != QLatin1String("="))
            criteria.append(QStringLiteral("bad criterion %1 %2").arg(c.systemName, c.op));
        criteria.append(c.key + u'=' + c.value);
    }
    return criteria;
}

/// The states given to toolbar button 7, in call order.
QStringList button7Calls(const CallLog& log)
{
    QStringList states;
    for (const QString& entry : log.matching(QStringLiteral("EnableToolbarButton(7,")))
        states.append(entry.section(u',', 1, 1));
    return states;
}

QString money(qint64 units)
{
    return formatCurrency(Currency::fromUnits(units));
}

QMap<QString, protocol::DataSet> oneReceipt()
{
    return {{QStringLiteral("RECEIPT"), receiptSet({receipt("1001", QDate(2024, 3, 1), "10")})}};
}

/// Runs the search and leaves the document waiting for its reply.
void sendSearch(DocumentFixture& f, const QString& code, int option,
                const QString& number = QStringLiteral("0012345"))
{
    f.selectCode(code);
    if (f.document->mOptCnfrmPymt[option]->Enabled())
        DocumentFixture::clickLeftEdge(f.document->mOptCnfrmPymt[option]);
    f.document->mTxtCnfrmPymt->setText(number);
    f.clickCommand(0);
}

struct SearchCase
{
    QString code;
    int option;
    QString entry, number, conf, status;
};
struct TotalsCase
{
    QStringList amounts, dates;
    int option;
    qint64 totalUnits;
    QDate earliest;
    bool pickerEnabled;
};
struct SearchReplyCase
{
    QString code;
    int option, ticked;
    bool confirmedBatch, commentEnabled, pickerEnabled, saveDataEnabled;
    QString button7, status;
};

} // namespace

Q_DECLARE_METATYPE(SearchCase)
Q_DECLARE_METATYPE(TotalsCase)
Q_DECLARE_METATYPE(SearchReplyCase)

class TestMessaging : public QObject
{
    Q_OBJECT

private slots:
    void searchEnvelope_data();
    void searchEnvelope();
    void receiptDetailEnvelope();
    void fundsDetailEnvelope_data();
    void fundsDetailEnvelope();
    void anyClickClearsRequestFlags_data();
    void anyClickClearsRequestFlags();
    void loadReceipts_data();
    void loadReceipts();
    void calculateGridTotals_data();
    void calculateGridTotals();
    void addressee_data();
    void addressee();
    void replyWithErrors_data();
    void replyWithErrors();
    void searchWithoutReceipts_data();
    void searchWithoutReceipts();
    void searchWithEmptyReceipts();
    void searchReply_data();
    void searchReply();
    void comment();
    void saveReply_data();
    void saveReply();
    void cleanUpOnEveryPath_data();
    void cleanUpOnEveryPath();
};

void TestMessaging::searchEnvelope_data()
{
    QTest::addColumn<SearchCase>("c");
    const QString unconfirmed = QStringLiteral("Requesting Unconfirmed Daily Receipt ");
    const auto row = [](const char* name, const SearchCase& c) { QTest::newRow(name) << c; };
    row("empty number", {"D", 1, "", "", "F", unconfirmed});
    row("dash and check digit", {"D", 1, "0012345-6", "0012345", "F", unconfirmed + "0012345-6"});
    row("two dashes", {"D", 1, "12-34-5", "12", "F", unconfirmed + "12-34-5"});
    row("blanks", {"D", 1, "  0012345  ", "0012345", "F", unconfirmed + "  0012345  "});
    row("untrimmed code", {" D ", 1, "0012345", "0012345", "F", unconfirmed + "0012345"});
}

void TestMessaging::searchEnvelope()
{
    QFETCH(SearchCase, c);

    DocumentFixture f;
    f.show();
    TAVRO_CnfrmPymt& d = *f.document;
    f.env.profile.profile.userId = QStringLiteral("jdoe");
    if (c.code.trimmed() == c.code)
        f.selectCode(c.code);
    else
        d.mFtcboCnfrmPymt[0]->setSelectedCode(c.code);
    if (d.mOptCnfrmPymt[c.option]->Enabled())
        DocumentFixture::clickLeftEdge(d.mOptCnfrmPymt[c.option]);
    QVERIFY(d.mOptCnfrmPymt[c.option]->Value());
    d.mblnSearchByDlyRcpt = false;
    d.mTxtCnfrmPymt->setText(c.entry);
    f.env.log.clear();

    // Called directly: numbers the field rejects disable the button, not the handler.
    d.mCmdCnfrmPymt_Click(0);

    QCOMPARE(f.transport().sent.size(), 1);
    const protocol::Request& sent = f.transport().lastRequest();
    QCOMPARE(sent.requestCode, 63);
    QCOMPARE(sent.requester, kName);
    QCOMPARE(sent.userId, QStringLiteral("jdoe"));
    QCOMPARE(criteriaOf(sent), (QStringList{"key:DOC_NBR=" + c.number, "key:DOC_TYP_CD=" + c.code,
                                            "key:CONF=" + c.conf, QStringLiteral("key:thin=Yes")}));
    QVERIFY(sent.dataSets.isEmpty());
    QCOMPARE(d.mstrRequestKey, sent.key);
    QCOMPARE(d.mstrSearchValue, c.number);
    QVERIFY(d.mblnSearchPending);
    QVERIFY(d.mblnSearchByDlyRcpt);
    QVERIFY(f.env.log.containsInOrder(
        {"Send(63,TAVRO_CnfrmPymt)", "ShowStatus(" + c.status + ")", "MousePointer(11)"}));
    QVERIFY(f.env.errors.reports.isEmpty());
}

void TestMessaging::receiptDetailEnvelope()
{
    DocumentFixture f;
    f.show();
    TAVRO_CnfrmPymt& d = *f.document;
    f.loadBatch({receipt("1001", QDate(2024, 3, 1), "10"), receipt("1002", QDate(2024, 3, 2), "20"),
                 receipt("1003", QDate(2024, 3, 3), "30")});
    d.mSdgCnfrmPymt->setBookmark(d.mSdgCnfrmPymt->RowBookmark(1));
    d.mCmdCnfrmPymt[2]->setEnabled(true);
    f.env.log.clear();

    f.clickCommand(2);

    const protocol::Request& sent = f.transport().lastRequest();
    QCOMPARE(sent.requestCode, 69);
    QCOMPARE(criteriaOf(sent), (QStringList{"key:RCPT_NBR=1002", "key:THIN=Yes"}));
    QVERIFY(sent.dataSets.isEmpty());
    QCOMPARE(d.mstrRequestKey, sent.key);
    QVERIFY(d.mblnRcptDetPending);
    QCOMPARE(f.env.log.matching(QStringLiteral("ShowStatus(")),
             QStringList{"ShowStatus(Requesting Receipt Details for 1002)"});
}

void TestMessaging::fundsDetailEnvelope_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("current");

    QTest::newRow("no row") << 0 << -1;
    QTest::newRow("one row") << 1 << 0;
    QTest::newRow("several rows, middle current") << 4 << 1;
}

void TestMessaging::fundsDetailEnvelope()
{
    QFETCH(int, rows);
    QFETCH(int, current);

    DocumentFixture f;
    f.show();
    TAVRO_CnfrmPymt& d = *f.document;
    QList<ReceiptRecord> receipts;
    QStringList expected;
    for (int i = 0; i < rows; ++i) {
        receipts.append(receipt(QString::number(1001 + i), QDate(2024, 3, 1 + i), "10"));
        expected.append(QString::number(1001 + i));
    }
    f.loadBatch(receipts);
    if (current >= 0)
        d.mSdgCnfrmPymt->setBookmark(d.mSdgCnfrmPymt->RowBookmark(current));
    f.env.log.clear();

    d.mCmdCnfrmPymt_Click(3);

    const protocol::Request& sent = f.transport().lastRequest();
    QCOMPARE(sent.requestCode, 69);
    QVERIFY(sent.criteria.isEmpty());
    QCOMPARE(sent.dataSets.keys(), QStringList{"RECEIPT"});
    const protocol::DataSet& set = sent.dataSets.value(QStringLiteral("RECEIPT"));
    QStringList numbers;
    for (qsizetype r = 0; r < set.records.size(); ++r) {
        const protocol::Value value = set.value(r, QStringLiteral("FRCPT_NBR"));
        numbers.append(std::holds_alternative<QString>(value) ? std::get<QString>(value) : "<not text>");
    }
    QCOMPARE(numbers, expected);
    QVERIFY(d.mblnFundsDetPending);
    if (current >= 0)
        QCOMPARE(d.mSdgCnfrmPymt->Row(), current);
    const QString shown = current >= 0 ? QString::number(1001 + current) : QString();
    QCOMPARE(f.env.log.matching(QStringLiteral("ShowStatus(")),
             QStringList{QStringLiteral("ShowStatus(Requesting Funds Details for %1)").arg(shown)});
    QVERIFY(d.mSdgCnfrmPymt->Redraw());
    QVERIFY2(f.env.errors.reports.isEmpty(), qPrintable(f.env.errors.labels().join(u',')));
}

void TestMessaging::anyClickClearsRequestFlags_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("pendingAfter"); ///< the one flag set again by the click

    QTest::newRow("Search") << 0 << "search";
    QTest::newRow("Receipt Detail") << 2 << "receipt";
    QTest::newRow("Funds Detail") << 3 << "funds";
}

void TestMessaging::anyClickClearsRequestFlags()
{
    QFETCH(int, index);
    QFETCH(QString, pendingAfter);

    DocumentFixture f;
    f.show();
    TAVRO_CnfrmPymt& d = *f.document;
    f.loadBatch({receipt("1001", QDate(2024, 3, 1), "10")});
    d.mblnSearchPending = d.mblnRcptDetPending = d.mblnFundsDetPending = d.mblnSavePending = true;
    d.mblnCnfrmNbrPending = true;

    d.mCmdCnfrmPymt_Click(index);

    QCOMPARE(d.mblnSearchPending, pendingAfter == QLatin1String("search"));
    QCOMPARE(d.mblnRcptDetPending, pendingAfter == QLatin1String("receipt"));
    QCOMPARE(d.mblnFundsDetPending, pendingAfter == QLatin1String("funds"));
    QVERIFY(!d.mblnSavePending);
    QVERIFY(d.mblnCnfrmNbrPending);
    QVERIFY(f.env.errors.reports.isEmpty());
}

void TestMessaging::loadReceipts_data()
{
    QTest::addColumn<ReceiptRecord>("record");
    QTest::addColumn<QStringList>("cells");
    QTest::addColumn<bool>("confirmedAfter");
    QTest::addColumn<int>("lookups");

    const ReceiptRecord allNull;
    ReceiptRecord blanks;
    blanks.confirmation = QStringLiteral("   ");
    ReceiptRecord unknownOfficer;
    unknownOfficer.enteringOfficer = qint64(77);
    const QStringList empty(6, QString());
    QTest::newRow("all Null") << allNull << empty << false << 0;
    QTest::newRow("blank confirmation number")
        << blanks << QStringList{"", "", "", "   ", "", ""} << false << 0;
    QTest::newRow("confirmation number, officers 0")
        << receipt("1001", {}, {}, "0000042", 0, 0) << QStringList{"1001", "", "", "0000042", "0:", "0:"}
        << true << 2;
    QTest::newRow("unknown officer") << unknownOfficer << QStringList{"", "", "", "", "", "77:"} << false
                                     << 1;
}

void TestMessaging::loadReceipts()
{
    QFETCH(ReceiptRecord, record);
    QFETCH(QStringList, cells);
    QFETCH(bool, confirmedAfter);
    QFETCH(int, lookups);

    DocumentFixture f;
    f.show();
    TAVRO_CnfrmPymt& d = *f.document;
    SSOleDBGrid& grid = *d.mSdgCnfrmPymt;
    d.mblnReceiptsConfirmed = false;
    grid.setFieldSeparator(QStringLiteral("|"));
    const DataSetPtr set = DataSet::fromWire(QStringLiteral("RECEIPT"), receiptSet({record, record}));
    set->Prepare();
    set->MoveFirst();
    f.env.log.clear();

    d.LoadReceipts(*set);

    QVERIFY(f.env.errors.reports.isEmpty());
    QCOMPARE(grid.Rows(), 1);
    QCOMPARE(grid.FieldSeparator(), QStringLiteral("\t"));
    const QStringList columns{"Receipt Number",      "Receipt Date",       "Total Receipt Amount",
                              "Confirmation Number", "ISSUINGOFFICERNAME", "ENTERINGOFFICERNAME"};
    for (int c = 0; c < columns.size(); ++c) {
        const QString cell = gridCell(grid, 0, columns[c]);
        QCOMPARE(cell, cells[c]);
    }
    QCOMPARE(d.mblnReceiptsConfirmed, confirmedAfter);
    QCOMPARE(f.env.log.matching(QStringLiteral("GetOfficerName(")).size(), lookups);
    // The data set is not moved.
    set->MoveNext();
    QVERIFY(!set->Eof());
}

void TestMessaging::calculateGridTotals_data()
{
    QTest::addColumn<TotalsCase>("c");
    const auto row = [](const char* name, const TotalsCase& c) { QTest::newRow(name) << c; };
    const QString mar1 = vb::dateText(QDate(2024, 3, 1));
    const QString mar5 = vb::dateText(QDate(2024, 3, 5));
    row("empty grid", {{}, {}, 1, 0, QDate(1899, 12, 30), false});
    row("amounts that are not numbers",
        {{"abc", money(50000), "", "12x"}, {mar1, mar1, mar1, mar1}, 1, 50000, QDate(2024, 3, 1), true});
    row("dates that are not dates", {{money(10000), money(10000), money(10000)},
                                     {"soon", vb::dateText(QDate(2024, 1, 15)), ""},
                                     1,
                                     30000,
                                     QDate(2024, 1, 15),
                                     true});
    row("equal latest dates",
        {{money(100), money(100), money(100)}, {mar5, mar1, mar5}, 1, 300, QDate(2024, 3, 5), true});
}

void TestMessaging::calculateGridTotals()
{
    QFETCH(TotalsCase, c);

    DocumentFixture f;
    f.show();
    TAVRO_CnfrmPymt& d = *f.document;
    SSOleDBGrid& grid = *d.mSdgCnfrmPymt;
    d.mOptCnfrmPymt[c.option]->setValue(true);
    grid.setFieldSeparator(QStringLiteral("\t"));
    for (int i = 0; i < c.amounts.size(); ++i)
        grid.AddItem(QStringLiteral("%1\t%2\t%3\t\t\t\t").arg(1001 + i).arg(c.dates.value(i), c.amounts[i]));
    if (grid.Rows() > 1)
        grid.setBookmark(grid.RowBookmark(grid.Rows() - 1));
    d.dtpConfimDate->setEnabled(!c.pickerEnabled);
    d.mLblCnfrmPymt[2]->setCaption(QStringLiteral("stale"));

    d.CalculateGridTotals();

    QVERIFY2(f.env.errors.reports.isEmpty(), qPrintable(f.env.errors.labels().join(u',')));
    QCOMPARE(d.mLblCnfrmPymt[2]->Caption(), money(c.totalUnits));
    QCOMPARE(d.dtpConfimDate->MaxDate(), QDate::currentDate());
    QCOMPARE(d.dtpConfimDate->Value(), QDate::currentDate());
    QCOMPARE(d.dtpConfimDate->MinDate(), c.earliest);
    QCOMPARE(d.dtpConfimDate->Enabled(), c.pickerEnabled);
    if (grid.Rows() > 0)
        QCOMPARE(grid.Row(), 0);
}

void TestMessaging::addressee_data()
{
    QTest::addColumn<QVariant>("name");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("case and blanks") << QVariant(QStringLiteral("  tavro_cnfrmpymt  ")) << true;
    QTest::newRow("another document") << QVariant(QStringLiteral("TAVRO_RcptDet")) << false;
}

void TestMessaging::addressee()
{
    QFETCH(QVariant, name);
    QFETCH(bool, accepted);

    DocumentFixture f;
    f.show();
    TAVRO_CnfrmPymt& d = *f.document;
    sendSearch(f, QStringLiteral("D"), 1);
    f.env.replies.store(kName, d.mstrRequestKey, oneReceipt(), {});
    f.env.log.clear();

    d.mblnSaveReplied = false;
    d.mVeskMessage_DataReady(name);

    QCOMPARE(d.mblnSaveReplied, accepted);
    QCOMPARE(f.env.log.matching(QStringLiteral("CheckReplyErrors(")).size(), accepted ? 1 : 0);
    QCOMPARE(d.mblnSearchPending, !accepted);
    QCOMPARE(d.mSdgCnfrmPymt->Rows(), accepted ? 1 : 0);
    QVERIFY(d.mSdgCnfrmPymt->Enabled());
    QVERIFY(f.env.errors.reports.isEmpty());

    // A time-out is taken for this document under the same names only.
    d.mblnTimedOut = false;
    QString timedOutFor = name.toString();
    d.mVeskMessage_MsgTimeout(timedOutFor);
    QCOMPARE(d.mblnTimedOut, accepted);
}

void TestMessaging::replyWithErrors_data()
{
    QTest::addColumn<bool>("timedOut");
    QTest::addColumn<bool>("savePending");
    QTest::addColumn<bool>("numberPending");

    QTest::newRow("errors") << false << false << false;
    QTest::newRow("errors, save pending") << false << true << false;
    QTest::newRow("time-out") << true << false << false;
    QTest::newRow("time-out, save pending") << true << true << false;
}

void TestMessaging::replyWithErrors()
{
    QFETCH(bool, timedOut);
    QFETCH(bool, savePending);
    QFETCH(bool, numberPending);

    DocumentFixture f;
    f.show();
    TAVRO_CnfrmPymt& d = *f.document;
    sendSearch(f, QStringLiteral("D"), 1);
    const QString key = f.transport().lastRequest().key;
    d.mblnSavePending = savePending;
    d.mblnCnfrmNbrPending = numberPending;
    d.mblnSaveFailed = d.mblnSaveReplied = false;
    d.mChkNbr->setValue(1);
    d.ReadOnly(false);
    d.mLblDataCnfrmPymt[4]->setCaption(QStringLiteral("0000042-7"));
    f.env.log.clear();

    QString errorText = QStringLiteral("Batch 0012345 is locked by another officer");
    if (timedOut) {
        QVERIFY(f.transport().deliverTimeout(key));
        QCOMPARE(f.env.messageBox.shown.size(), 1);
        errorText = f.env.messageBox.shown[0].prompt;
    } else {
        f.transport().deliverReply(key, oneReceipt(), {{QStringLiteral("LOCKED"), errorText}});
    }

    QCOMPARE(f.env.messageBox.shown.size(), 1);
    QCOMPARE(f.env.messageBox.shown[0].prompt, errorText);
    QCOMPARE(f.env.messageBox.shown[0].style, 48);
    const QString status =
        timedOut ? QStringLiteral("Search timed out") : QStringLiteral("Search was not successful");
    QCOMPARE(f.env.log.matching(QStringLiteral("CheckReplyErrors(")),
             QStringList{"CheckReplyErrors(TAVRO_CnfrmPymt,TAVRO_CnfrmPymt.veskMessage_DataReady,0)"});
    QCOMPARE(f.env.status.lastStatus, status);
    QVERIFY(d.mblnSaveReplied);
    QCOMPARE(d.mblnSaveFailed, !timedOut);
    QCOMPARE(d.mblnSavePending, timedOut && savePending);
    QCOMPARE(d.mLblDataCnfrmPymt[4]->Caption(),
             timedOut && savePending ? QString() : QStringLiteral("0000042-7"));
    QCOMPARE(d.mChkNbr->Value(), numberPending ? 0 : 1);
    QCOMPARE(d.mFraCnfrmPymt[1]->Enabled() && d.mFraCnfrmPymt[2]->Enabled(), numberPending);
    // Nothing of the reply is loaded; the other flags stay.
    QVERIFY(d.mblnSearchPending);
    QCOMPARE(d.mblnCnfrmNbrPending, numberPending);
    QCOMPARE(d.mSdgCnfrmPymt->Rows(), 0);
    QVERIFY(f.env.errors.reports.isEmpty());
}

void TestMessaging::searchWithoutReceipts_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("option");
    QTest::addColumn<QString>("warning");

    QTest::newRow("options locked") << "N" << 0 << "No Notice found for 0012345";
    QTest::newRow("confirmed") << "D" << 0 << "No Confirmed Daily Receipt found for 0012345";
    QTest::newRow("unconfirmed") << "D" << 1 << "No Unconfirmed Daily Receipt found for 0012345";
}

void TestMessaging::searchWithoutReceipts()
{
    QFETCH(QString, code);
    QFETCH(int, option);
    QFETCH(QString, warning);

    DocumentFixture f;
    f.show();
    TAVRO_CnfrmPymt& d = *f.document;
    sendSearch(f, code, option);
    d.txtComment->setEnabled(true);
    d.dtpConfimDate->setEnabled(true);
    d.mLblCnfrmPymt[2]->setCaption(money(10000));
    f.env.log.clear();

    f.replyToLast({{QStringLiteral("CONFIRMATION"), confirmationSet(QStringLiteral("old reason"))}});

    QCOMPARE(f.env.log.matching(QStringLiteral("ShowWarning(")), QStringList{"ShowWarning(" + warning + ")"});
    QVERIFY(f.env.log.matching(QStringLiteral("ShowStatus(Displaying")).isEmpty());
    QVERIFY(!d.txtComment->Enabled());
    QVERIFY(!d.dtpConfimDate->Enabled());
    QCOMPARE(d.mLblCnfrmPymt[2]->Caption(), QString());
    QCOMPARE(d.txtComment->Text(), QStringLiteral("old reason"));
    QVERIFY(d.mblnSearchPending);
    QVERIFY(f.env.log.matching(QStringLiteral("EnableToolbarButton(")).isEmpty());
    QVERIFY(f.env.errors.reports.isEmpty());
}

void TestMessaging::searchWithEmptyReceipts()
{
    DocumentFixture f;
    f.show();
    TAVRO_CnfrmPymt& d = *f.document;
    sendSearch(f, QStringLiteral("D"), 1);
    d.txtComment->setEnabled(true);
    d.dtpConfimDate->setEnabled(true);
    d.mCmdCnfrmPymt[5]->setEnabled(true);
    f.env.log.clear();

    f.replyToLast({{QStringLiteral("RECEIPT"), receiptSet({})}});

    QCOMPARE(d.mSdgCnfrmPymt->Rows(), 0);
    QVERIFY(!d.txtComment->Enabled());
    QVERIFY(!d.dtpConfimDate->Enabled());
    QVERIFY(!d.mCmdCnfrmPymt[5]->Enabled());
    QCOMPARE(button7Calls(f.env.log), QStringList{"false"});
    QVERIFY(f.env.log.matching(QStringLiteral("ShowWarning(")).isEmpty());
    QCOMPARE(f.env.status.lastStatus, QStringLiteral("Displaying Daily Receipt 0012345"));
    QVERIFY(!d.mblnSearchPending);
    QVERIFY(f.env.errors.reports.isEmpty());
}

void TestMessaging::searchReply_data()
{
    QTest::addColumn<SearchReplyCase>("c");
    const QString daily = QStringLiteral("Displaying Daily Receipt 0012345");
    const auto row = [](const char* name, const SearchReplyCase& c) { QTest::newRow(name) << c; };
    row("unconfirmed, D", {"D", 1, 0, false, false, true, true, "true", daily});
    row("confirmed, D", {"D", 0, 0, true, false, false, true, "false", daily});
    row("unconfirmed, other type",
        {"R", 1, 0, false, false, true, false, "false", "Displaying Receipt 0012345"});
    row("N", {"N", 0, 0, true, false, false, false, "false", "Displaying Notice 0012345"});
}

void TestMessaging::searchReply()
{
    QFETCH(SearchReplyCase, c);

    DocumentFixture f;
    f.show();
    TAVRO_CnfrmPymt& d = *f.document;
    sendSearch(f, c.code, c.option);
    d.chkToUnconfirm->setValue(c.ticked);
    d.mblnReceiptsConfirmed = !c.confirmedBatch;
    d.txtComment->setEnabled(!c.commentEnabled);
    d.dtpConfimDate->setEnabled(!c.pickerEnabled);
    d.mCmdCnfrmPymt[5]->setEnabled(!c.saveDataEnabled);
    const QString number = c.confirmedBatch ? QStringLiteral("0000042") : QString();
    f.env.log.clear();

    f.replyToLast(
        {{QStringLiteral("RECEIPT"), receiptSet({receipt("1001", QDate(2024, 3, 1), "10", number),
                                                 receipt("1002", QDate(2024, 3, 4), "32.5", number)})}});

    QVERIFY2(f.env.errors.reports.isEmpty(), qPrintable(f.env.errors.labels().join(u',')));
    QCOMPARE(d.mSdgCnfrmPymt->Rows(), 2);
    QCOMPARE(gridCell(*d.mSdgCnfrmPymt, 1, QStringLiteral("Receipt Number")), QStringLiteral("1002"));
    QCOMPARE(d.mblnReceiptsConfirmed, c.confirmedBatch);
    QCOMPARE(parseCurrency(d.mLblCnfrmPymt[2]->Caption()).value_or(Currency()).units(), qint64(425000));
    QCOMPARE(d.dtpConfimDate->MinDate(), QDate(2024, 3, 4));
    QCOMPARE(d.txtComment->Enabled(), c.commentEnabled);
    QCOMPARE(d.dtpConfimDate->Enabled(), c.pickerEnabled);
    QCOMPARE(d.mCmdCnfrmPymt[5]->Enabled(), c.saveDataEnabled);
    QCOMPARE(button7Calls(f.env.log), QStringList{c.button7});
    QVERIFY(!d.mblnSearchPending);
    QVERIFY(
        f.env.log.containsInOrder({"MousePointer(11)", "ShowStatus(" + c.status + ")", "MousePointer(0)"}));
    QVERIFY(d.mSdgCnfrmPymt->Enabled());
    QVERIFY(f.env.log.matching(QStringLiteral("ShowWarning(")).isEmpty());
}

void TestMessaging::comment()
{
    DocumentFixture f;
    f.show();
    TAVRO_CnfrmPymt& d = *f.document;
    sendSearch(f, QStringLiteral("D"), 0);
    d.txtComment->setText(QStringLiteral("typed before"));
    f.env.log.clear();

    f.replyToLast(
        {{QStringLiteral("RECEIPT"), receiptSet({receipt("1001", QDate(2024, 3, 1), "10", "0000042")})},
         {QStringLiteral("CONFIRMATION"), confirmationSet(QStringLiteral("first\r\nsecond\nthird\n\nend"))}});

    QVERIFY2(f.env.errors.reports.isEmpty(), qPrintable(f.env.errors.labels().join(u',')));
    QCOMPARE(d.txtComment->Text(), QStringLiteral("first\r\nsecond\r\nthird\r\n\r\nend"));
    QVERIFY(!d.txtComment->DataChanged());
    QVERIFY(f.env.log.containsInOrder(
        {"ClearHighlight(txtComment)", "ShowStatus(Displaying Daily Receipt 0012345)"}));
}

void TestMessaging::saveReply_data()
{
    QTest::addColumn<bool>("unconfirmation");
    QTest::addColumn<QString>("conf");

    QTest::newRow("after a confirmation") << false << "T";
    QTest::newRow("after an unconfirmation") << true << "F";
}

void TestMessaging::saveReply()
{
    QFETCH(bool, unconfirmation);
    QFETCH(QString, conf);

    DocumentFixture f;
    f.show();
    TAVRO_CnfrmPymt& d = *f.document;
    const QString number = unconfirmation ? QStringLiteral("0000042") : QString();
    f.loadBatch({receipt("1001", QDate(2024, 3, 1), "10", number)}, QStringLiteral("reason"), unconfirmation);
    if (unconfirmation)
        DocumentFixture::clickLeftEdge(d.chkToUnconfirm);
    QCOMPARE(d.chkToUnconfirm->Value(), unconfirmation ? 1 : 0);
    // What the save left behind while it waited for its reply.
    d.mblnSavePending = true;
    d.mstrDocNumber = QStringLiteral("0000042");
    d.mLblDataCnfrmPymt[4]->setCaption(QStringLiteral("0000042-7"));
    d.mstrRequestKey = QStringLiteral("SAVE-1");
    f.env.replies.store(kName, d.mstrRequestKey, {}, {});
    const qsizetype sentBefore = f.transport().sent.size();
    f.env.log.clear();

    QVariant addressee(kName);
    d.mVeskMessage_DataReady(addressee);

    QVERIFY2(f.env.errors.reports.isEmpty(), qPrintable(f.env.errors.labels().join(u',')));
    QCOMPARE(d.mOptCnfrmPymt[0]->Value(), !unconfirmation);
    QCOMPARE(d.mOptCnfrmPymt[1]->Value(), unconfirmation);
    QCOMPARE(d.chkToUnconfirm->Value(), 0);
    // The search runs again for the batch in its new state.
    QCOMPARE(f.transport().sent.size(), sentBefore + 1);
    const protocol::Request& search = f.transport().lastRequest();
    QCOMPARE(search.requestCode, 63);
    QCOMPARE(criteriaOf(search),
             (QStringList{"key:DOC_NBR=0012345", "key:DOC_TYP_CD=D", "key:CONF=" + conf, "key:thin=Yes"}));
    QCOMPARE(d.mstrRequestKey, search.key);
    QVERIFY(d.mblnSearchPending);
    QVERIFY(!d.mblnSavePending);
    QCOMPARE(d.mstrDocNumber + d.mLblDataCnfrmPymt[4]->Caption(), QString());
    QVERIFY(f.env.log.containsInOrder(
        {"Send(63,TAVRO_CnfrmPymt)",
         QStringLiteral("EnableToolbarButton(7,false,%1)").arg(DocumentFixture::DefaultTag),
         "ShowStatus(Ready)", "MousePointer(0)"}));
    QVERIFY(d.mSdgCnfrmPymt->Enabled());
}

void TestMessaging::cleanUpOnEveryPath_data()
{
    QTest::addColumn<QString>("path");
    for (const char* path : {"other", "errors", "timeout", "none", "receipts", "number", "idle", "failure"})
        QTest::newRow(path) << QString::fromLatin1(path);
}

void TestMessaging::cleanUpOnEveryPath()
{
    QFETCH(QString, path);

    DocumentFixture f;
    f.show();
    TAVRO_CnfrmPymt& d = *f.document;
    sendSearch(f, QStringLiteral("D"), 1);
    const QString key = f.transport().lastRequest().key;
    QVERIFY(!d.mSdgCnfrmPymt->Enabled());
    QCOMPARE(f.env.pointer.mousePointer(), int(vb::vbHourglass));

    FailingStatusService failing(f.env.status);
    ScopedSeam<StatusService> seam(failing);
    QString expectedLabel;
    if (path == QLatin1String("other")) {
        QVariant other(QStringLiteral("TAVRO_FundsDet"));
        d.mVeskMessage_DataReady(other);
    } else if (path == QLatin1String("errors")) {
        f.transport().deliverReply(key, oneReceipt(), {{QStringLiteral("E"), QStringLiteral("failed")}});
    } else if (path == QLatin1String("timeout")) {
        QVERIFY(f.transport().deliverTimeout(key));
    } else if (path == QLatin1String("none")) {
        f.transport().deliverReply(key, {});
    } else if (path == QLatin1String("receipts")) {
        f.transport().deliverReply(key, oneReceipt());
    } else if (path == QLatin1String("number")) {
        d.mblnCnfrmNbrPending = true;
        f.transport().deliverReply(key, {{QStringLiteral("REQ"), reqSet(qint64(42))}});
        QCOMPARE(d.mstrDocNumber, QStringLiteral("0000042"));
        QVERIFY(d.mblnSearchPending); // the search branch is not considered
    } else if (path == QLatin1String("idle")) {
        d.mblnSearchPending = false;
        f.transport().deliverReply(key, oneReceipt());
        QCOMPARE(d.mSdgCnfrmPymt->Rows(), 0);
    } else {
        failing.failOn = QStringLiteral("ShowStatus(Displaying");
        f.transport().deliverReply(key, oneReceipt());
        expectedLabel = QStringLiteral("TAVRO_CnfrmPymt.veskMessage_DataReady");
    }
    StatusService::setInstance(&f.env.status);

    QVERIFY(d.mSdgCnfrmPymt->Enabled());
    QCOMPARE(f.env.pointer.mousePointer(), int(vb::vbDefault));
    QCOMPARE(f.env.log.entries().last(), QStringLiteral("MousePointer(0)"));
    QCOMPARE(f.env.errors.labels(), expectedLabel.isEmpty() ? QStringList{} : QStringList{expectedLabel});
    if (!expectedLabel.isEmpty())
        QCOMPARE(f.env.errors.reports.first().message, failing.errorText);
}

QTEST_MAIN(TestMessaging)
#include "tst_messaging.moc"
