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
#include "runtime/ScreenPointer.h"
#include "support/DocumentFixture.h"

#include <algorithm>
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
void sendSearch(DocumentFixture& f, const QString& code, int option)
{
    f.selectCode(code);
    if (f.document->mOptCnfrmPymt[option]->Enabled())
        DocumentFixture::clickLeftEdge(f.document->mOptCnfrmPymt[option]);
    f.document->mTxtCnfrmPymt->setText(QStringLiteral("0012345"));
    f.clickCommand(0);
}

struct RequestCase
{
    int button;
    QString code, entry; ///< of a search
    int rows, current;   ///< listed before a detail request
    QStringList criteria;
    QString status;
};
struct TotalsCase
{
    QStringList amounts, dates;
    qint64 totalUnits;
    QDate earliest;
    bool pickerEnabled;
};
struct SearchReplyCase
{
    QString code;
    int option, ticked;
    int receipts; ///< -1: no "RECEIPT" at all
    bool confirmedBatch, commentEnabled, pickerEnabled, saveDataEnabled;
    QString button7, shown; ///< shown: the warning without receipts, else the status
};

} // namespace

Q_DECLARE_METATYPE(RequestCase)
Q_DECLARE_METATYPE(TotalsCase)
Q_DECLARE_METATYPE(SearchReplyCase)

class TestMessaging : public QObject
{
    Q_OBJECT

private slots:
    void requestEnvelope_data();
    void requestEnvelope();
    void loadReceipts_data();
    void loadReceipts();
    void loadReceiptsSkipsARowItCannotWrite_data();
    void loadReceiptsSkipsARowItCannotWrite();
    void calculateGridTotals_data();
    void calculateGridTotals();
    void searchReply_data();
    void searchReply();
    void saveReply_data();
    void saveReply();
    void cleanUpOnEveryPath_data(); ///< and what each way out leaves
    void cleanUpOnEveryPath();
};

void TestMessaging::requestEnvelope_data()
{
    QTest::addColumn<RequestCase>("c");
    const auto search = [](const char* name, const char* code, const QString& entry, const QString& number) {
        const QStringList criteria{"key:DOC_NBR=" + number, QStringLiteral("key:DOC_TYP_CD=") + code,
                                   "key:CONF=F", "key:thin=Yes"};
        QTest::newRow(name) << RequestCase{
            0, code, entry, 0, -1, criteria, "Requesting Unconfirmed Daily Receipt " + entry};
    };
    search("search, empty number", "D", "", "");
    search("search, dash and check digit", "D", "0012345-6", "0012345");
    search("search, two dashes", "D", "12-34-5", "12");
    search("search, blanks", "D", "  0012345  ", "0012345");
    search("search, untrimmed code", " D ", "0012345", "0012345");
    QTest::newRow("receipt detail of the current row") << RequestCase{
        2, {}, {}, 3, 1, {"key:RCPT_NBR=1002", "key:THIN=Yes"}, "Requesting Receipt Details for 1002"};
    QTest::newRow("funds of no row") << RequestCase{3, {}, {}, 0, -1, {}, "Requesting Funds Details for "};
    QTest::newRow("funds of one row")
        << RequestCase{3, {}, {}, 1, 0, {}, "Requesting Funds Details for 1001"};
    QTest::newRow("funds of several rows, middle current")
        << RequestCase{3, {}, {}, 4, 1, {}, "Requesting Funds Details for 1002"};
}

void TestMessaging::requestEnvelope()
{
    QFETCH(RequestCase, c);

    DocumentFixture f;
    f.show();
    TAVRO_CnfrmPymt& d = *f.document;
    f.env.profile.profile.userId = QStringLiteral("jdoe");
    QStringList listed;
    if (c.button == 0) {
        if (c.code.trimmed() == c.code)
            f.selectCode(c.code);
        else
            d.mFtcboCnfrmPymt[0]->setSelectedCode(c.code);
        DocumentFixture::clickLeftEdge(d.mOptCnfrmPymt[1]);
        QVERIFY(d.mOptCnfrmPymt[1]->Value());
        d.mblnSearchByDlyRcpt = false;
        d.mTxtCnfrmPymt->setText(c.entry);
    } else {
        QList<ReceiptRecord> receipts;
        for (int i = 0; i < c.rows; ++i) {
            receipts.append(receipt(QString::number(1001 + i), QDate(2024, 3, 1 + i), "10"));
            listed.append(QString::number(1001 + i));
        }
        f.loadBatch(receipts);
        if (c.current >= 0)
            d.mSdgCnfrmPymt->setBookmark(d.mSdgCnfrmPymt->RowBookmark(c.current));
    }
    // Every flag set, to see which ones a click leaves.
    d.mblnSearchPending = d.mblnRcptDetPending = d.mblnFundsDetPending = d.mblnSavePending = true;
    d.mblnCnfrmNbrPending = true;
    const qsizetype sentBefore = f.transport().sent.size();
    f.env.log.clear();

    // Called directly: numbers the field rejects disable the button, not the handler.
    d.mCmdCnfrmPymt_Click(c.button);

    QCOMPARE(f.transport().sent.size(), sentBefore + 1);
    const protocol::Request& sent = f.transport().lastRequest();
    const int code = c.button == 0 ? 63 : 69;
    QCOMPARE(sent.requestCode, code);
    QCOMPARE(sent.requester, kName);
    QCOMPARE(sent.userId, QStringLiteral("jdoe"));
    QCOMPARE(criteriaOf(sent), c.criteria);
    // Funds details send every listed receipt's number, in order.
    QCOMPARE(sent.dataSets.keys(), c.button == 3 ? QStringList{"RECEIPT"} : QStringList{});
    const protocol::DataSet set = sent.dataSets.value(QStringLiteral("RECEIPT"));
    QStringList sentNumbers;
    for (qsizetype r = 0; r < set.records.size(); ++r) {
        const protocol::Value value = set.value(r, QStringLiteral("FRCPT_NBR"));
        sentNumbers.append(std::holds_alternative<QString>(value) ? std::get<QString>(value) : "<not text>");
    }
    QCOMPARE(sentNumbers, c.button == 3 ? listed : QStringList{});
    QCOMPARE(d.mstrRequestKey, sent.key);
    // Only the clicked button's own flag is set again; the number request is not a click's to end.
    QCOMPARE(d.mblnSearchPending, c.button == 0);
    QCOMPARE(d.mblnRcptDetPending, c.button == 2);
    QCOMPARE(d.mblnFundsDetPending, c.button == 3);
    QVERIFY(!d.mblnSavePending);
    QVERIFY(d.mblnCnfrmNbrPending);
    if (c.button == 0) {
        QCOMPARE(d.mstrSearchValue, c.criteria.first().mid(12));
        QVERIFY(d.mblnSearchByDlyRcpt);
    }
    if (c.current >= 0)
        QCOMPARE(d.mSdgCnfrmPymt->Row(), c.current);
    QVERIFY(d.mSdgCnfrmPymt->Redraw());
    QCOMPARE(f.env.log.matching(QStringLiteral("ShowStatus(")), QStringList{"ShowStatus(" + c.status + ")"});
    QStringList order{QStringLiteral("Send(%1,TAVRO_CnfrmPymt)").arg(code), "ShowStatus(" + c.status + ")"};
    if (c.button == 0)
        order.append(QStringLiteral("MousePointer(11)"));
    QVERIFY(f.env.log.containsInOrder(order));
    QVERIFY2(f.env.errors.reports.isEmpty(), qPrintable(f.env.errors.labels().join(u',')));
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
    ReceiptRecord unknownOfficers;
    unknownOfficers.issuingOfficer = qint64(-5);
    unknownOfficers.enteringOfficer = qint64(1234567890);
    ReceiptRecord textual;
    textual.confirmation = QStringLiteral(" 12 ");
    textual.issuingOfficer = QStringLiteral("77");
    textual.enteringOfficer = QStringLiteral(" 8 ");
    const QStringList empty(6, QString());
    QTest::newRow("all Null") << allNull << empty << false << 0;
    QTest::newRow("blank confirmation number")
        << blanks << QStringList{"", "", "", "   ", "", ""} << false << 0;
    QTest::newRow("confirmation number, officers 0")
        << receipt("1001", {}, {}, "0000042", 0, 0) << QStringList{"1001", "", "", "0000042", "0:", "0:"}
        << true << 2;
    QTest::newRow("number among blanks, officers as text")
        << textual << QStringList{"", "", "", " 12 ", "77:", " 8 :"} << true << 2;
    QTest::newRow("unknown officers, negative and of ten digits")
        << unknownOfficers << QStringList{"", "", "", "", "-5:", "1234567890:"} << false << 2;
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
    // The same record from a second set whose fields come in the opposite order.
    const protocol::DataSet wire = receiptSet({record, record});
    const DataSetPtr set = DataSet::fromWire(QStringLiteral("RECEIPT"), wire);
    protocol::DataSet mirrored = wire;
    std::reverse(mirrored.fields.begin(), mirrored.fields.end());
    for (QList<protocol::Value>& fields : mirrored.records)
        std::reverse(fields.begin(), fields.end());
    const DataSetPtr reversed = DataSet::fromWire(QStringLiteral("RECEIPT"), mirrored);
    set->Prepare();
    set->MoveFirst();
    reversed->Prepare();
    reversed->MoveFirst();
    f.env.log.clear();

    d.LoadReceipts(*set);
    d.LoadReceipts(*reversed);

    QVERIFY(f.env.errors.reports.isEmpty());
    QCOMPARE(grid.Rows(), 2);
    QCOMPARE(grid.FieldSeparator(), QStringLiteral("\t"));
    const QStringList columns{"Receipt Number",      "Receipt Date",       "Total Receipt Amount",
                              "Confirmation Number", "ISSUINGOFFICERNAME", "ENTERINGOFFICERNAME"};
    for (int row = 0; row < 2; ++row) {
        for (int c = 0; c < columns.size(); ++c)
            QCOMPARE(gridCell(grid, row, columns[c]), cells[c]);
    }
    QCOMPARE(d.mblnReceiptsConfirmed, confirmedAfter);
    QCOMPARE(f.env.log.matching(QStringLiteral("GetOfficerName(")).size(), 2 * lookups);
    // The data set is not moved.
    set->MoveNext();
    QVERIFY(!set->Eof());
}

void TestMessaging::loadReceiptsSkipsARowItCannotWrite_data()
{
    QTest::addColumn<protocol::Value>("officer");
    QTest::addColumn<QString>("message");
    QTest::newRow("past the 32-bit range") << protocol::Value(qint64(2147483648)) << "Overflow";
    QTest::newRow("below it") << protocol::Value(qint64(-2147483649)) << "Overflow";
    QTest::newRow("no number") << protocol::Value(QStringLiteral("J. Roe")) << "Type mismatch";
}

void TestMessaging::loadReceiptsSkipsARowItCannotWrite()
{
    QFETCH(protocol::Value, officer);
    QFETCH(QString, message);
    DocumentFixture f;
    f.show();
    TAVRO_CnfrmPymt& d = *f.document;
    ReceiptRecord bad = receipt("1001", {}, {}, "", 7, 8);
    bad.enteringOfficer = officer;
    const DataSetPtr set =
        DataSet::fromWire(QStringLiteral("RECEIPT"), receiptSet({bad, receipt("1002", {}, {}, "", 7, 8)}));
    set->Prepare();
    for (set->MoveFirst(); !set->Eof(); set->MoveNext())
        d.LoadReceipts(*set);

    // Reported once under the procedure's own label; the next record still makes its row.
    QCOMPARE(f.env.errors.labels(), QStringList{QStringLiteral("TAVRO_CnfrmPymt.LoadReceipts")});
    QCOMPARE(f.env.errors.reports.constFirst().message, message);
    QCOMPARE(d.mSdgCnfrmPymt->Rows(), 1);
    QCOMPARE(gridCell(*d.mSdgCnfrmPymt, 0, QStringLiteral("Receipt Number")), QStringLiteral("1002"));
}

void TestMessaging::calculateGridTotals_data()
{
    QTest::addColumn<TotalsCase>("c");
    const auto row = [](const char* name, const TotalsCase& c) { QTest::newRow(name) << c; };
    const QString mar1 = vb::dateText(QDate(2024, 3, 1));
    const QString mar5 = vb::dateText(QDate(2024, 3, 5));
    const QString jan15 = vb::dateText(QDate(2024, 1, 15));
    const QString ten = money(10000);
    row("empty grid", {{}, {}, 0, QDate(1899, 12, 30), false});
    row("amounts that are not numbers",
        {{"abc", money(50000), "", "12x"}, {mar1, mar1, mar1, mar1}, 50000, QDate(2024, 3, 1), true});
    row("dates that are not dates", {{ten, ten, ten}, {"soon", jan15, ""}, 30000, QDate(2024, 1, 15), true});
    row("equal latest dates",
        {{money(100), money(100), money(100)}, {mar5, mar1, mar5}, 300, QDate(2024, 3, 5), true});
}

void TestMessaging::calculateGridTotals()
{
    QFETCH(TotalsCase, c);

    DocumentFixture f;
    f.show();
    TAVRO_CnfrmPymt& d = *f.document;
    SSOleDBGrid& grid = *d.mSdgCnfrmPymt;
    d.mOptCnfrmPymt[1]->setValue(true);
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

void TestMessaging::searchReply_data()
{
    QTest::addColumn<SearchReplyCase>("c");
    const QString daily = QStringLiteral("Displaying Daily Receipt 0012345");
    const auto row = [](const char* name, const SearchReplyCase& c) { QTest::newRow(name) << c; };
    row("none, options locked",
        {"N", 0, 0, -1, false, false, false, false, "", "No Notice found for 0012345"});
    row("none, confirmed",
        {"D", 0, 0, -1, false, false, false, false, "", "No Confirmed Daily Receipt found for 0012345"});
    row("none, unconfirmed",
        {"D", 1, 0, -1, false, false, false, false, "", "No Unconfirmed Daily Receipt found for 0012345"});
    row("empty", {"D", 1, 0, 0, false, false, false, false, "false", daily});
    row("unconfirmed, D", {"D", 1, 0, 2, false, false, true, true, "true", daily});
    row("confirmed, D", {"D", 0, 0, 2, true, false, false, true, "false", daily});
    row("confirmed, D, to unconfirm", {"D", 0, 1, 2, true, true, false, true, "true", daily});
    row("unconfirmed, other type",
        {"R", 1, 0, 2, false, false, true, false, "false", "Displaying Receipt 0012345"});
    row("N", {"N", 0, 0, 2, true, false, false, false, "false", "Displaying Notice 0012345"});
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
    d.txtComment->setText(QStringLiteral("typed before"));
    d.txtComment->setEnabled(!c.commentEnabled);
    d.dtpConfimDate->setEnabled(!c.pickerEnabled);
    d.mCmdCnfrmPymt[5]->setEnabled(!c.saveDataEnabled);
    d.mLblCnfrmPymt[2]->setCaption(QStringLiteral("stale"));
    const QString number = c.confirmedBatch ? QStringLiteral("0000042") : QString();
    QMap<QString, protocol::DataSet> reply{
        {QStringLiteral("CONFIRMATION"), confirmationSet(QStringLiteral("first\r\nsecond\nthird\n\nend"))}};
    if (c.receipts == 0)
        reply.insert(QStringLiteral("RECEIPT"), receiptSet({}));
    else if (c.receipts == 2)
        reply.insert(QStringLiteral("RECEIPT"),
                     receiptSet({receipt("1001", QDate(2024, 3, 1), "10", number),
                                 receipt("1002", QDate(2024, 3, 4), "32.5", number)}));
    f.env.log.clear();

    f.replyToLast(reply);

    QVERIFY2(f.env.errors.reports.isEmpty(), qPrintable(f.env.errors.labels().join(u',')));
    // The comment comes first, whatever follows: line breaks made whole, not a change.
    QCOMPARE(d.txtComment->Text(), QStringLiteral("first\r\nsecond\r\nthird\r\n\r\nend"));
    QVERIFY(!d.txtComment->DataChanged());
    QVERIFY(f.env.log.containsInOrder({"ClearHighlight(txtComment)", "MousePointer(0)"}));
    QCOMPARE(d.txtComment->Enabled(), c.commentEnabled);
    QCOMPARE(d.dtpConfimDate->Enabled(), c.pickerEnabled);
    QCOMPARE(button7Calls(f.env.log), c.button7.isEmpty() ? QStringList{} : QStringList{c.button7});
    if (c.receipts == -1) {
        QCOMPARE(f.env.log.matching(QStringLiteral("ShowWarning(")),
                 QStringList{"ShowWarning(" + c.shown + ")"});
        QVERIFY(f.env.log.matching(QStringLiteral("ShowStatus(Displaying")).isEmpty());
        QCOMPARE(d.mLblCnfrmPymt[2]->Caption(), QString());
        QVERIFY(d.mblnSearchPending);
        return;
    }
    QVERIFY(f.env.log.matching(QStringLiteral("ShowWarning(")).isEmpty());
    QVERIFY(
        f.env.log.containsInOrder({"MousePointer(11)", "ShowStatus(" + c.shown + ")", "MousePointer(0)"}));
    QVERIFY(!d.mblnSearchPending);
    QCOMPARE(d.mCmdCnfrmPymt[5]->Enabled(), c.saveDataEnabled);
    QVERIFY(d.mSdgCnfrmPymt->Enabled());
    if (c.receipts == 0) {
        QCOMPARE(d.mSdgCnfrmPymt->Rows(), 0);
        return;
    }
    QCOMPARE(d.mSdgCnfrmPymt->Rows(), 2);
    QCOMPARE(gridCell(*d.mSdgCnfrmPymt, 1, QStringLiteral("Receipt Number")), QStringLiteral("1002"));
    QCOMPARE(d.mblnReceiptsConfirmed, c.confirmedBatch);
    QCOMPARE(parseCurrency(d.mLblCnfrmPymt[2]->Caption()).value_or(Currency()).units(), qint64(425000));
    QCOMPARE(d.dtpConfimDate->MinDate(), QDate(2024, 3, 4));
}

void TestMessaging::saveReply_data()
{
    QTest::addColumn<bool>("unconfirmation");
    QTest::newRow("after a confirmation") << false;
    QTest::newRow("after an unconfirmation") << true;
}

void TestMessaging::saveReply()
{
    QFETCH(bool, unconfirmation);
    const QString conf = unconfirmation ? QStringLiteral("F") : QStringLiteral("T");

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
    QTest::addColumn<bool>("savePending");
    QTest::addColumn<bool>("numberPending");
    for (const char* path : {"other document", "case and blanks", "none", "receipts", "number",
                             "number without REQ", "idle", "failure"})
        QTest::newRow(path) << QString::fromLatin1(path) << false << false;
    QTest::newRow("errors") << "errors" << false << false;
    QTest::newRow("errors, save and number pending") << "errors" << true << true;
    QTest::newRow("time-out, number pending") << "time-out" << false << true;
    QTest::newRow("time-out, save pending") << "time-out" << true << false;
}

void TestMessaging::cleanUpOnEveryPath()
{
    QFETCH(QString, path);
    QFETCH(bool, savePending);
    QFETCH(bool, numberPending);

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
    if (path == QLatin1String("other document") || path == QLatin1String("case and blanks")) {
        const bool ours = path != QLatin1String("other document");
        QVariant name(ours ? QStringLiteral("  tavro_cnfrmpymt  ") : QStringLiteral("TAVRO_RcptDet"));
        f.env.replies.store(kName, key, oneReceipt(), {});
        d.mVeskMessage_DataReady(name);
        QCOMPARE(d.mSdgCnfrmPymt->Rows(), ours ? 1 : 0);
        QCOMPARE(d.mblnSearchPending, !ours);
        // A time-out is taken for this document under the same names only.
        QString timedOutFor = name.toString();
        d.mVeskMessage_MsgTimeout(timedOutFor);
        QCOMPARE(d.mblnTimedOut, ours);
    } else if (path == QLatin1String("errors") || path == QLatin1String("time-out")) {
        const bool timedOut = path == QLatin1String("time-out");
        d.mblnSavePending = savePending;
        d.mblnCnfrmNbrPending = numberPending;
        d.mblnSaveFailed = d.mblnSaveReplied = false;
        d.mChkNbr->setValue(1);
        d.ReadOnly(false);
        d.mLblDataCnfrmPymt[4]->setCaption(QStringLiteral("0000042-7"));
        const QString errorText = QStringLiteral("Batch 0012345 is locked by another officer");
        if (timedOut)
            QVERIFY(f.transport().deliverTimeout(key));
        else
            f.transport().deliverReply(key, oneReceipt(), {{QStringLiteral("LOCKED"), errorText}});
        QCOMPARE(f.env.messageBox.shown.size(), 1);
        QCOMPARE(f.env.messageBox.shown[0].style, 48);
        if (!timedOut)
            QCOMPARE(f.env.messageBox.shown[0].prompt, errorText);
        QCOMPARE(f.env.log.matching(QStringLiteral("CheckReplyErrors(")),
                 QStringList{"CheckReplyErrors(TAVRO_CnfrmPymt,TAVRO_CnfrmPymt.veskMessage_DataReady,0)"});
        QCOMPARE(f.env.status.lastStatus,
                 timedOut ? QStringLiteral("Search timed out") : QStringLiteral("Search was not successful"));
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
    } else if (path == QLatin1String("none")) {
        f.transport().deliverReply(key, {});
    } else if (path == QLatin1String("receipts")) {
        f.transport().deliverReply(key, oneReceipt());
    } else if (path.startsWith(QLatin1String("number"))) {
        const bool withNumber = path == QLatin1String("number");
        f.env.fields.checkDigit = [](const QString& digits) { return digits == u"0000000" ? 3 : 7; };
        d.mblnCnfrmNbrPending = true;
        d.ReadOnly(true);
        f.transport().deliverReply(
            key, withNumber ? QMap<QString, protocol::DataSet>{{QStringLiteral("REQ"), reqSet(qint64(42))}}
                            : QMap<QString, protocol::DataSet>{});
        QCOMPARE(d.mstrDocNumber + u'|' + d.mLblDataCnfrmPymt[4]->Caption(),
                 withNumber ? QStringLiteral("0000042|0000042-7") : QStringLiteral("0000000|0000000-3"));
        QVERIFY(!d.mblnCnfrmNbrPending);
        QVERIFY(d.mFraCnfrmPymt[1]->Enabled() && d.mFraCnfrmPymt[2]->Enabled());
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
