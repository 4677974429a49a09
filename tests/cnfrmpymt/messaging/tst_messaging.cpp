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

#include <QTableView>
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

/// Adds rows to the grid with the given amount and date texts (other cells fixed).
void addRows(SSOleDBGrid& grid, const QStringList& amounts, const QStringList& dates)
{
    grid.setFieldSeparator(QStringLiteral("\t"));
    for (int i = 0; i < amounts.size(); ++i)
        grid.AddItem(QStringLiteral("%1\t%2\t%3\t\t\t\t").arg(1001 + i).arg(dates.value(i), amounts[i]));
}

QString money(qint64 units)
{
    return formatCurrency(Currency::fromUnits(units));
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

} // namespace

class TestMessaging : public QObject
{
    Q_OBJECT

private slots:
    void searchEnvelope_data();
    void searchEnvelope();
    void searchWithoutDocumentType();
    void receiptDetailEnvelope();
    void fundsDetailEnvelope_data();
    void fundsDetailEnvelope();
    void anyClickClearsRequestFlags_data();
    void anyClickClearsRequestFlags();
    void timeoutFor_data();
    void timeoutFor();
    void timeoutOfAnotherWindow();
    void loadReceipts_data();
    void loadReceipts();
    void loadReceiptsWithBadOfficerId();
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
    void comment_data();
    void comment();
    void saveReply_data();
    void saveReply();
    void cleanUpOnEveryPath_data();
    void cleanUpOnEveryPath();
};

void TestMessaging::searchEnvelope_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("option");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("conf");
    QTest::addColumn<QString>("status");
    QTest::addColumn<bool>("byDailyReceipt");

    QTest::newRow("empty number") << "D" << 1 << ""
                                  << ""
                                  << "F"
                                  << "Requesting Unconfirmed Daily Receipt " << true;
    QTest::newRow("dash and check digit") << "D" << 1 << "0012345-6"
                                          << "0012345"
                                          << "F"
                                          << "Requesting Unconfirmed Daily Receipt 0012345-6" << true;
    QTest::newRow("two dashes") << "D" << 1 << "12-34-5"
                                << "12"
                                << "F"
                                << "Requesting Unconfirmed Daily Receipt 12-34-5" << true;
    QTest::newRow("blanks") << "D" << 1 << "  0012345  "
                            << "0012345"
                            << "F"
                            << "Requesting Unconfirmed Daily Receipt   0012345  " << true;
    QTest::newRow("blanks before the dash") << "D" << 1 << " 12 -3"
                                            << "12"
                                            << "F"
                                            << "Requesting Unconfirmed Daily Receipt  12 -3" << true;
    QTest::newRow("confirmed") << "D" << 0 << "0012345"
                               << "0012345"
                               << "T"
                               << "Requesting Confirmed Daily Receipt 0012345" << true;
    QTest::newRow("untrimmed code") << " D " << 1 << "0012345"
                                    << "0012345"
                                    << "F"
                                    << "Requesting Unconfirmed Daily Receipt 0012345" << true;
    QTest::newRow("other code") << "R" << 1 << "0012345"
                                << "0012345"
                                << "F"
                                << "Requesting Unconfirmed Receipt 0012345" << false;
    QTest::newRow("N: options locked") << "N" << 0 << "0012345"
                                       << "0012345"
                                       << "T"
                                       << "Requesting Notice 0012345" << false;
}

void TestMessaging::searchEnvelope()
{
    QFETCH(QString, code);
    QFETCH(int, option);
    QFETCH(QString, entry);
    QFETCH(QString, number);
    QFETCH(QString, conf);
    QFETCH(QString, status);
    QFETCH(bool, byDailyReceipt);

    DocumentFixture f;
    f.show();
    TAVRO_CnfrmPymt& d = *f.document;
    f.env.profile.profile.userId = QStringLiteral("jdoe");
    if (code.trimmed() == code) {
        f.selectCode(code);
    } else {
        d.mFtcboCnfrmPymt[0]->setSelectedCode(code);
    }
    if (d.mOptCnfrmPymt[option]->Enabled())
        DocumentFixture::clickLeftEdge(d.mOptCnfrmPymt[option]);
    QVERIFY(d.mOptCnfrmPymt[option]->Value());
    d.mblnSearchByDlyRcpt = !byDailyReceipt;
    d.mSdgCnfrmPymt->setFieldSeparator(QStringLiteral("\t"));
    d.mSdgCnfrmPymt->AddItem(QStringLiteral("1001\t\t\t\t\t\t"));
    d.mCmdCnfrmPymt[2]->setEnabled(true);
    d.mCmdCnfrmPymt[3]->setEnabled(true);
    d.mSdgCnfrmPymt->Columns(QStringLiteral("Confirmation Number")).setVisible(option == 1);
    d.mTxtCnfrmPymt->setText(entry);
    const qsizetype sentBefore = f.transport().sent.size();
    f.env.log.clear();

    // Called directly: numbers the field rejects disable the button, not the handler.
    d.mCmdCnfrmPymt_Click(0);

    QCOMPARE(f.transport().sent.size(), sentBefore + 1);
    const protocol::Request& sent = f.transport().lastRequest();
    QCOMPARE(sent.requestCode, 63);
    QCOMPARE(sent.requester, kName);
    QCOMPARE(sent.userId, QStringLiteral("jdoe"));
    QCOMPARE(sent.version, QStringLiteral("5.1"));
    QCOMPARE(criteriaOf(sent),
             (QStringList{QStringLiteral("key:DOC_NBR=") + number, QStringLiteral("key:DOC_TYP_CD=") + code,
                          QStringLiteral("key:CONF=") + conf, QStringLiteral("key:thin=Yes")}));
    QVERIFY(sent.dataSets.isEmpty());
    QVERIFY(sent.options.isEmpty());
    QCOMPARE(d.mstrRequestKey, sent.key);
    QCOMPARE(d.mstrSearchValue, number);
    QVERIFY(d.mblnSearchPending);
    QVERIFY(!d.mblnTimedOut);
    QCOMPARE(d.mblnSearchByDlyRcpt, byDailyReceipt);
    QCOMPARE(d.mSdgCnfrmPymt->Rows(), 0);
    QVERIFY(!d.mSdgCnfrmPymt->Enabled());
    QVERIFY(!d.mCmdCnfrmPymt[2]->Enabled());
    QVERIFY(!d.mCmdCnfrmPymt[3]->Enabled());
    QCOMPARE(d.mSdgCnfrmPymt->Columns(QStringLiteral("Confirmation Number")).Visible(), option == 0);
    QCOMPARE(f.env.log.matching(QStringLiteral("ShowStatus(")), QStringList{"ShowStatus(" + status + ")"});
    QCOMPARE(f.env.pointer.mousePointer(), int(vb::vbHourglass));
    QVERIFY(f.env.log.containsInOrder(
        {"Send(63,TAVRO_CnfrmPymt)", "ShowStatus(" + status + ")", "MousePointer(11)"}));
    QVERIFY(f.env.errors.reports.isEmpty());
}

void TestMessaging::searchWithoutDocumentType()
{
    DocumentFixture f;
    f.show();
    TAVRO_CnfrmPymt& d = *f.document;
    d.mFtcboCnfrmPymt[0]->setSelectedCode(QString());
    d.mblnSearchPending = true;
    f.env.log.clear();

    f.clickCommand(0);

    QCOMPARE(f.env.messageBox.shown.size(), 1);
    QCOMPARE(f.env.messageBox.shown[0].prompt, QStringLiteral("Invalid document type selected"));
    QCOMPARE(f.env.messageBox.shown[0].style, int(vb::vbOKOnly + vb::vbCritical));
    QCOMPARE(f.env.messageBox.shown[0].title, QString::fromLatin1(DocumentFixture::DefaultTitle));
    QVERIFY(f.env.log.containsInOrder({"MsgBox(Invalid document type selected,16,Confirm Payment)",
                                       "HighlightControl(mFtcboCnfrmPymt_0)"}));
    QVERIFY(f.transport().sent.isEmpty());
    QVERIFY(!d.mblnSearchPending);
    QVERIFY(d.mSdgCnfrmPymt->Enabled());
    QCOMPARE(f.env.pointer.mousePointer(), int(vb::vbDefault));
}

void TestMessaging::receiptDetailEnvelope()
{
    DocumentFixture f;
    f.show();
    TAVRO_CnfrmPymt& d = *f.document;
    f.loadBatch({receipt("1001", QDate(2024, 3, 1), "10"), receipt("1002", QDate(2024, 3, 2), "20"),
                 receipt("1003", QDate(2024, 3, 3), "30")});
    QCOMPARE(d.mSdgCnfrmPymt->Rows(), 3);
    d.mSdgCnfrmPymt->setBookmark(d.mSdgCnfrmPymt->RowBookmark(1));
    d.mCmdCnfrmPymt[2]->setEnabled(true);
    f.env.log.clear();

    f.clickCommand(2);

    const protocol::Request& sent = f.transport().lastRequest();
    QCOMPARE(sent.requestCode, 69);
    QCOMPARE(sent.requester, kName);
    QCOMPARE(criteriaOf(sent), (QStringList{"key:RCPT_NBR=1002", "key:THIN=Yes"}));
    QVERIFY(sent.dataSets.isEmpty());
    QCOMPARE(d.mstrRequestKey, sent.key);
    QVERIFY(d.mblnRcptDetPending);
    QVERIFY(!d.mblnSearchPending);
    QCOMPARE(f.env.log.matching(QStringLiteral("ShowStatus(")),
             QStringList{"ShowStatus(Requesting Receipt Details for 1002)"});
}

void TestMessaging::fundsDetailEnvelope_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("current");
    QTest::addColumn<QStringList>("sentNumbers");

    QTest::newRow("no row") << 0 << -1 << QStringList{};
    QTest::newRow("one row") << 1 << 0 << QStringList{"1001"};
    QTest::newRow("several rows, last current") << 3 << 2 << QStringList{"1001", "1002", "1003"};
    QTest::newRow("several rows, middle current") << 4 << 1 << QStringList{"1001", "1002", "1003", "1004"};
}

void TestMessaging::fundsDetailEnvelope()
{
    QFETCH(int, rows);
    QFETCH(int, current);
    QFETCH(QStringList, sentNumbers);

    DocumentFixture f;
    f.show();
    TAVRO_CnfrmPymt& d = *f.document;
    QList<ReceiptRecord> receipts;
    for (int i = 0; i < rows; ++i)
        receipts.append(receipt(QString::number(1001 + i), QDate(2024, 3, 1 + i), "10"));
    f.loadBatch(receipts);
    QCOMPARE(d.mSdgCnfrmPymt->Rows(), rows);
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
        numbers.append(std::holds_alternative<QString>(value) ? std::get<QString>(value)
                                                              : QStringLiteral("<not text>"));
    }
    QCOMPARE(numbers, sentNumbers);
    QCOMPARE(d.mstrRequestKey, sent.key);
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
    QTest::newRow("Clear") << 1 << "";
    QTest::newRow("Receipt Detail") << 2 << "receipt";
    QTest::newRow("Funds Detail") << 3 << "funds";
    QTest::newRow("Persist Data") << 4 << "";
    QTest::newRow("Save Data") << 5 << "";
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

void TestMessaging::timeoutFor_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("mine");

    QTest::newRow("own name") << "TAVRO_CnfrmPymt" << true;
    QTest::newRow("case and blanks") << "  tavro_cnfrmpymt " << true;
    QTest::newRow("another document") << "TAVRO_RcptDet" << false;
    QTest::newRow("empty") << "" << false;
}

void TestMessaging::timeoutFor()
{
    QFETCH(QString, name);
    QFETCH(bool, mine);

    DocumentFixture f;
    f.show();
    TAVRO_CnfrmPymt& d = *f.document;
    d.mblnTimedOut = false;
    d.mVeskMessage_MsgTimeout(name);
    QCOMPARE(d.mblnTimedOut, mine);
}

void TestMessaging::timeoutOfAnotherWindow()
{
    // Two windows of the same screen share the document name; each acts on its own requests only.
    DocumentFixture f(QStringLiteral("WIN-A"));
    f.show();
    QWidget otherHost;
    otherHost.setProperty("Tag", QStringLiteral("WIN-B"));
    otherHost.setWindowTitle(QStringLiteral("Confirm Payment"));
    auto* other = new TAVRO_CnfrmPymt(&otherHost);
    otherHost.show();
    QVERIFY(QTest::qWaitForWindowExposed(&otherHost));

    sendSearch(f, QStringLiteral("D"), 1);
    const QString mine = f.transport().lastRequest().key;
    other->mTxtCnfrmPymt->setText(QStringLiteral("0054321"));
    other->mCmdCnfrmPymt_Click(0);
    const QString theirs = f.transport().lastRequest().key;
    QVERIFY(mine != theirs);

    QVERIFY(f.transport().deliverTimeout(theirs));
    QVERIFY(other->mblnTimedOut);
    QVERIFY(!f.document->mblnTimedOut);
    QVERIFY(f.document->mblnSearchPending);
    QCOMPARE(f.env.messageBox.shown.size(), 1); // the other window's error box only

    f.transport().deliverReply(
        mine, {{QStringLiteral("RECEIPT"), receiptSet({receipt("1001", QDate(2024, 3, 1), "10")})}});
    QCOMPARE(f.document->mSdgCnfrmPymt->Rows(), 1);
    QCOMPARE(other->mSdgCnfrmPymt->Rows(), 0);
    QVERIFY(!f.document->mblnSearchPending);
    QVERIFY(f.env.errors.reports.isEmpty());
}

void TestMessaging::loadReceipts_data()
{
    QTest::addColumn<ReceiptRecord>("record");
    QTest::addColumn<bool>("confirmedBefore");
    QTest::addColumn<QStringList>("cells"); ///< "?date" / "?amount" checked by reading back
    QTest::addColumn<bool>("confirmedAfter");
    QTest::addColumn<QStringList>("lookups");

    const ReceiptRecord allNull;
    QTest::newRow("all Null") << allNull << false << QStringList{"", "", "", "", "", ""} << false
                              << QStringList{};
    ReceiptRecord blanks;
    blanks.confirmation = QStringLiteral("   ");
    QTest::newRow("blank confirmation number")
        << blanks << false << QStringList{"", "", "", "   ", "", ""} << false << QStringList{};
    QTest::newRow("confirmation number") << receipt("1001", {}, {}, "0000042", 0, 0) << false
                                         << QStringList{"1001", "", "", "0000042", "0:", "0:"} << true
                                         << QStringList{"GetOfficerName(0,0)", "GetOfficerName(0,0)"};
    ReceiptRecord officers = allNull;
    officers.issuingOfficer = qint64(1234);
    officers.enteringOfficer = qint64(5678);
    QTest::newRow("officers") << officers << false
                              << QStringList{"", "", "", "", "1234:Jane Roe", "5678:John Doe"} << false
                              << QStringList{"GetOfficerName(1234,0)", "GetOfficerName(5678,0)"};
    ReceiptRecord unknownOfficer = allNull;
    unknownOfficer.enteringOfficer = qint64(77);
    QTest::newRow("unknown officer") << unknownOfficer << false << QStringList{"", "", "", "", "", "77:"}
                                     << false << QStringList{"GetOfficerName(77,0)"};
    QTest::newRow("full record") << receipt("1001", QDate(2024, 3, 5), "1234.5", "", 1234, 5678) << false
                                 << QStringList{"1001", "?date",         "?amount",
                                                "",     "1234:Jane Roe", "5678:John Doe"}
                                 << false << QStringList{"GetOfficerName(1234,0)", "GetOfficerName(5678,0)"};
    QTest::newRow("unconfirmed record keeps an earlier confirmation")
        << receipt("1002", {}, {}, {}, 1234, 1234) << true
        << QStringList{"1002", "", "", "", "1234:Jane Roe", "1234:Jane Roe"} << true
        << QStringList{"GetOfficerName(1234,0)", "GetOfficerName(1234,0)"};
}

void TestMessaging::loadReceipts()
{
    QFETCH(ReceiptRecord, record);
    QFETCH(bool, confirmedBefore);
    QFETCH(QStringList, cells);
    QFETCH(bool, confirmedAfter);
    QFETCH(QStringList, lookups);

    DocumentFixture f;
    f.show();
    TAVRO_CnfrmPymt& d = *f.document;
    SSOleDBGrid& grid = *d.mSdgCnfrmPymt;
    d.mblnReceiptsConfirmed = confirmedBefore;
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
        if (cells[c] == QLatin1String("?date")) {
            QVERIFY2(vb::IsDate(cell), qPrintable(cell));
            QCOMPARE(vb::CDate(cell), std::get<QDate>(record.date));
        } else if (cells[c] == QLatin1String("?amount")) {
            const std::optional<Currency> amount = parseCurrency(cell);
            QVERIFY2(amount, qPrintable(cell));
            QCOMPARE(amount->units(), std::get<protocol::Money>(record.amount).units);
        } else {
            QCOMPARE(cell, cells[c]);
        }
    }
    QCOMPARE(d.mblnReceiptsConfirmed, confirmedAfter);
    QCOMPARE(f.env.log.matching(QStringLiteral("GetOfficerName(")), lookups);
    // The data set is not moved.
    QVERIFY(!set->Eof());
    set->MoveNext();
    QVERIFY(!set->Eof());
}

void TestMessaging::loadReceiptsWithBadOfficerId()
{
    DocumentFixture f;
    f.show();
    TAVRO_CnfrmPymt& d = *f.document;
    protocol::DataSet wire = receiptSet({});
    wire.fields[4].type = protocol::FieldType::Text; // ISS_OFCR_ID
    wire.records.append({QStringLiteral("1001"), std::monostate{}, std::monostate{}, std::monostate{},
                         QStringLiteral("not a number"), qint64(5678)});
    const DataSetPtr set = DataSet::fromWire(QStringLiteral("RECEIPT"), wire);
    set->Prepare();
    set->MoveFirst();

    d.LoadReceipts(*set);

    QCOMPARE(f.env.errors.labels(), QStringList{"TAVRO_CnfrmPymt.LoadReceipts"});
    QCOMPARE(d.mSdgCnfrmPymt->Rows(), 0);
}

void TestMessaging::calculateGridTotals_data()
{
    QTest::addColumn<QStringList>("amounts");
    QTest::addColumn<QStringList>("dates");
    QTest::addColumn<int>("option");
    QTest::addColumn<qint64>("totalUnits");
    QTest::addColumn<QDate>("earliest");
    QTest::addColumn<bool>("pickerEnabled");

    const auto date = [](int y, int m, int d) { return vb::dateText(QDate(y, m, d)); };
    QTest::newRow("empty grid") << QStringList{} << QStringList{} << 1 << qint64(0) << QDate(1899, 12, 30)
                                << false;
    QTest::newRow("amounts added") << QStringList{money(105000), money(2500), money(100)}
                                   << QStringList{date(2024, 3, 1), date(2024, 3, 2), date(2024, 2, 1)} << 1
                                   << qint64(107600) << QDate(2024, 3, 2) << true;
    QTest::newRow("grouped thousands")
        << QStringList{money(12345678900), money(10000)} << QStringList{date(2024, 3, 1), date(2024, 3, 1)}
        << 1 << qint64(12345688900) << QDate(2024, 3, 1) << true;
    QTest::newRow("negative amount") << QStringList{money(-25000), money(100000)}
                                     << QStringList{date(2024, 3, 1), date(2024, 3, 1)} << 1 << qint64(75000)
                                     << QDate(2024, 3, 1) << true;
    QTest::newRow("amounts that are not numbers")
        << QStringList{"abc", money(50000), "", "12x"}
        << QStringList{date(2024, 3, 1), date(2024, 3, 1), date(2024, 3, 1), date(2024, 3, 1)} << 1
        << qint64(50000) << QDate(2024, 3, 1) << true;
    QTest::newRow("dates that are not dates")
        << QStringList{money(10000), money(10000), money(10000)} << QStringList{"soon", date(2024, 1, 15), ""}
        << 1 << qint64(30000) << QDate(2024, 1, 15) << true;
    // What an officer or the back end may leave in a cell: numbers without the currency sign.
    QTest::newRow("plain numbers") << QStringList{"12.50", "1,000", "7"}
                                   << QStringList{date(2024, 3, 1), date(2024, 3, 1), date(2024, 3, 1)} << 1
                                   << qint64(10195000) << QDate(2024, 3, 1) << true;
    QTest::newRow("equal latest dates") << QStringList{money(100), money(100), money(100)}
                                        << QStringList{date(2024, 3, 5), date(2024, 3, 1), date(2024, 3, 5)}
                                        << 1 << qint64(300) << QDate(2024, 3, 5) << true;
    QTest::newRow("confirmed receipts") << QStringList{money(10000)} << QStringList{date(2024, 3, 5)} << 0
                                        << qint64(10000) << QDate(2024, 3, 5) << false;
}

void TestMessaging::calculateGridTotals()
{
    QFETCH(QStringList, amounts);
    QFETCH(QStringList, dates);
    QFETCH(int, option);
    QFETCH(qint64, totalUnits);
    QFETCH(QDate, earliest);
    QFETCH(bool, pickerEnabled);

    DocumentFixture f;
    f.show();
    TAVRO_CnfrmPymt& d = *f.document;
    SSOleDBGrid& grid = *d.mSdgCnfrmPymt;
    d.mOptCnfrmPymt[option]->setValue(true);
    addRows(grid, amounts, dates);
    if (grid.Rows() > 1)
        grid.setBookmark(grid.RowBookmark(grid.Rows() - 1));
    d.dtpConfimDate->setEnabled(!pickerEnabled);
    d.mLblCnfrmPymt[2]->setCaption(QStringLiteral("stale"));

    d.CalculateGridTotals();

    QVERIFY2(f.env.errors.reports.isEmpty(), qPrintable(f.env.errors.labels().join(u',')));
    const std::optional<Currency> total = parseCurrency(d.mLblCnfrmPymt[2]->Caption());
    QVERIFY2(total, qPrintable(d.mLblCnfrmPymt[2]->Caption()));
    QCOMPARE(total->units(), totalUnits);
    QCOMPARE(d.mLblCnfrmPymt[2]->Caption(), formatCurrency(Currency::fromUnits(totalUnits)));
    const QDate today = QDate::currentDate();
    QCOMPARE(d.dtpConfimDate->MaxDate(), today);
    QCOMPARE(d.dtpConfimDate->Value(), today);
    QCOMPARE(d.dtpConfimDate->MinDate(), earliest);
    QCOMPARE(d.dtpConfimDate->Enabled(), pickerEnabled);
    if (grid.Rows() > 0)
        QCOMPARE(grid.Row(), 0);
}

void TestMessaging::addressee_data()
{
    QTest::addColumn<QVariant>("name");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("own name") << QVariant(kName) << true;
    QTest::newRow("other case") << QVariant(QStringLiteral("tavro_cnfrmpymt")) << true;
    QTest::newRow("surrounding blanks") << QVariant(QStringLiteral("  TAVRO_CNFRMPYMT  ")) << true;
    QTest::newRow("another document") << QVariant(QStringLiteral("TAVRO_RcptDet")) << false;
    QTest::newRow("a longer name") << QVariant(QStringLiteral("TAVRO_CnfrmPymt2")) << false;
    QTest::newRow("empty") << QVariant(QString()) << false;
}

void TestMessaging::addressee()
{
    QFETCH(QVariant, name);
    QFETCH(bool, accepted);

    DocumentFixture f;
    f.show();
    TAVRO_CnfrmPymt& d = *f.document;
    sendSearch(f, QStringLiteral("D"), 1);
    QVERIFY(d.mblnSearchPending);
    f.env.replies.store(kName, d.mstrRequestKey,
                        {{QStringLiteral("RECEIPT"), receiptSet({receipt("1001", QDate(2024, 3, 1), "10")})}},
                        {});
    f.env.log.clear();

    d.mblnSaveReplied = false;
    d.mVeskMessage_DataReady(name);

    QCOMPARE(d.mblnSaveReplied, accepted);
    QCOMPARE(f.env.log.matching(QStringLiteral("SetReady(true)")).size(), accepted ? 1 : 0);
    QCOMPARE(f.env.log.matching(QStringLiteral("CheckReplyErrors(")).size(), accepted ? 1 : 0);
    QCOMPARE(d.mblnSearchPending, !accepted);
    QCOMPARE(d.mSdgCnfrmPymt->Rows(), accepted ? 1 : 0);
    QVERIFY(d.mSdgCnfrmPymt->Enabled());
    QCOMPARE(f.env.log.entries().last(), QStringLiteral("MousePointer(0)"));
    QVERIFY(f.env.errors.reports.isEmpty());
}

void TestMessaging::replyWithErrors_data()
{
    QTest::addColumn<bool>("timedOut");
    QTest::addColumn<bool>("savePending");
    QTest::addColumn<bool>("numberPending");
    QTest::addColumn<QString>("status");

    QTest::newRow("errors") << false << false << false << "Search was not successful";
    QTest::newRow("errors, save pending") << false << true << false << "Search was not successful";
    QTest::newRow("errors, number pending") << false << false << true << "Search was not successful";
    QTest::newRow("time-out") << true << false << false << "Search timed out";
    QTest::newRow("time-out, save pending") << true << true << false << "Search timed out";
    QTest::newRow("time-out, number pending") << true << false << true << "Search timed out";
}

void TestMessaging::replyWithErrors()
{
    QFETCH(bool, timedOut);
    QFETCH(bool, savePending);
    QFETCH(bool, numberPending);
    QFETCH(QString, status);

    DocumentFixture f;
    f.show();
    TAVRO_CnfrmPymt& d = *f.document;
    sendSearch(f, QStringLiteral("D"), 1);
    const QString key = f.transport().lastRequest().key;
    d.mblnSavePending = savePending;
    d.mblnCnfrmNbrPending = numberPending;
    d.mblnSaveFailed = false;
    d.mblnSaveReplied = false;
    d.mChkNbr->setValue(1);
    d.ReadOnly(false);
    d.mLblDataCnfrmPymt[4]->setCaption(QStringLiteral("0000042-7"));
    f.env.log.clear();

    QString errorText;
    if (timedOut) {
        QVERIFY(f.transport().deliverTimeout(key));
        QVERIFY(d.mblnTimedOut);
        QCOMPARE(f.env.messageBox.shown.size(), 1);
        errorText = f.env.messageBox.shown[0].prompt;
        QVERIFY(!errorText.isEmpty());
    } else {
        errorText = QStringLiteral("Batch 0012345 is locked by another officer");
        f.transport().deliverReply(
            key, {{QStringLiteral("RECEIPT"), receiptSet({receipt("1001", QDate(2024, 3, 1), "10")})}},
            {{QStringLiteral("LOCKED"), errorText}});
    }

    QCOMPARE(f.env.messageBox.shown.size(), 1);
    QCOMPARE(f.env.messageBox.shown[0].prompt, errorText);
    QCOMPARE(f.env.messageBox.shown[0].style, 48);
    QCOMPARE(f.env.messageBox.shown[0].title, QString::fromLatin1(DocumentFixture::DefaultTitle));
    QVERIFY(f.env.log.containsInOrder(
        {"SetReady(true)", "CheckReplyErrors(TAVRO_CnfrmPymt,TAVRO_CnfrmPymt.veskMessage_DataReady,0)",
         "ShowStatus(" + status + ")"}));
    QCOMPARE(f.env.status.lastStatus, status);
    QVERIFY(d.mblnSaveReplied);
    QCOMPARE(d.mblnSaveFailed, !timedOut);
    QCOMPARE(d.mblnSavePending, timedOut && savePending);
    QCOMPARE(d.mLblDataCnfrmPymt[4]->Caption(),
             timedOut && savePending ? QString() : QStringLiteral("0000042-7"));
    QCOMPARE(d.mChkNbr->Value(), numberPending ? 0 : 1);
    QCOMPARE(d.mFraCnfrmPymt[1]->Enabled(), numberPending);
    QCOMPARE(d.mFraCnfrmPymt[2]->Enabled(), numberPending);
    // Nothing of the reply is loaded; the other flags stay.
    QVERIFY(d.mblnSearchPending);
    QCOMPARE(d.mblnCnfrmNbrPending, numberPending);
    QCOMPARE(d.mSdgCnfrmPymt->Rows(), 0);
    QVERIFY(d.mSdgCnfrmPymt->Enabled());
    QCOMPARE(f.env.pointer.mousePointer(), int(vb::vbDefault));
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
    QTest::newRow("unconfirmed, other type") << "R" << 1 << "No Unconfirmed Receipt found for 0012345";
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
    QVERIFY(d.mSdgCnfrmPymt->Enabled());
    QCOMPARE(f.env.pointer.mousePointer(), int(vb::vbDefault));
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
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("option");
    QTest::addColumn<int>("ticked");
    QTest::addColumn<bool>("confirmedBatch");
    QTest::addColumn<bool>("commentEnabled");
    QTest::addColumn<bool>("pickerEnabled");
    QTest::addColumn<bool>("saveDataEnabled");
    QTest::addColumn<QString>("button7");
    QTest::addColumn<QString>("status");

    QTest::newRow("unconfirmed, D") << "D" << 1 << 0 << false << false << true << true << "true"
                                    << "Displaying Daily Receipt 0012345";
    QTest::newRow("confirmed, D") << "D" << 0 << 0 << true << false << false << true << "false"
                                  << "Displaying Daily Receipt 0012345";
    QTest::newRow("confirmed, D, ticked") << "D" << 0 << 1 << true << true << false << true << "true"
                                          << "Displaying Daily Receipt 0012345";
    QTest::newRow("unconfirmed, other type") << "R" << 1 << 0 << false << false << true << false << "false"
                                             << "Displaying Receipt 0012345";
    QTest::newRow("unconfirmed, D with blanks")
        << " D " << 1 << 0 << false << false << true << true << "false"
        << "Displaying Daily Receipt 0012345";
    QTest::newRow("N") << "N" << 0 << 0 << true << false << false << false << "false"
                       << "Displaying Notice 0012345";
}

void TestMessaging::searchReply()
{
    QFETCH(QString, code);
    QFETCH(int, option);
    QFETCH(int, ticked);
    QFETCH(bool, confirmedBatch);
    QFETCH(bool, commentEnabled);
    QFETCH(bool, pickerEnabled);
    QFETCH(bool, saveDataEnabled);
    QFETCH(QString, button7);
    QFETCH(QString, status);

    DocumentFixture f;
    f.show();
    TAVRO_CnfrmPymt& d = *f.document;
    if (code.trimmed() == code) {
        sendSearch(f, code, option);
    } else {
        d.mFtcboCnfrmPymt[0]->setSelectedCode(code);
        d.mTxtCnfrmPymt->setText(QStringLiteral("0012345"));
        d.mCmdCnfrmPymt_Click(0);
    }
    QVERIFY(d.mblnSearchPending);
    d.chkToUnconfirm->setValue(ticked);
    d.mblnReceiptsConfirmed = !confirmedBatch;
    d.txtComment->setEnabled(!commentEnabled);
    d.dtpConfimDate->setEnabled(!pickerEnabled);
    d.mCmdCnfrmPymt[5]->setEnabled(!saveDataEnabled);
    const QString number = confirmedBatch ? QStringLiteral("0000042") : QString();
    f.env.log.clear();

    f.replyToLast(
        {{QStringLiteral("RECEIPT"), receiptSet({receipt("1001", QDate(2024, 3, 1), "10", number),
                                                 receipt("1002", QDate(2024, 3, 4), "32.5", number)})}});

    QVERIFY2(f.env.errors.reports.isEmpty(), qPrintable(f.env.errors.labels().join(u',')));
    QCOMPARE(d.mSdgCnfrmPymt->Rows(), 2);
    QCOMPARE(gridCell(*d.mSdgCnfrmPymt, 1, QStringLiteral("Receipt Number")), QStringLiteral("1002"));
    QCOMPARE(d.mblnReceiptsConfirmed, confirmedBatch);
    QCOMPARE(parseCurrency(d.mLblCnfrmPymt[2]->Caption()).value_or(Currency()).units(), qint64(425000));
    QCOMPARE(d.dtpConfimDate->MinDate(), QDate(2024, 3, 4));
    QCOMPARE(d.txtComment->Enabled(), commentEnabled);
    QCOMPARE(d.dtpConfimDate->Enabled(), pickerEnabled);
    QCOMPARE(d.mCmdCnfrmPymt[5]->Enabled(), saveDataEnabled);
    QCOMPARE(button7Calls(f.env.log), QStringList{button7});
    QVERIFY(!d.mblnSearchPending);
    QCOMPARE(f.env.status.lastStatus, status);
    QVERIFY(f.env.log.containsInOrder({"MousePointer(11)", "ShowStatus(" + status + ")", "MousePointer(0)"}));
    QVERIFY(d.mSdgCnfrmPymt->Enabled());
    QVERIFY(f.env.log.matching(QStringLiteral("ShowWarning(")).isEmpty());
}

void TestMessaging::comment_data()
{
    QTest::addColumn<bool>("withSet");
    QTest::addColumn<bool>("withRecord");
    QTest::addColumn<QVariant>("comment"); ///< null: Null
    QTest::addColumn<QString>("shown");

    QTest::newRow("CR LF and LF") << true << true << QVariant(QStringLiteral("first\r\nsecond\nthird"))
                                  << "first\r\nsecond\r\nthird";
    QTest::newRow("LF only") << true << true << QVariant(QStringLiteral("a\n\nb")) << "a\r\n\r\nb";
    QTest::newRow("blanks trimmed") << true << true << QVariant(QStringLiteral("  entered twice  "))
                                    << "entered twice";
    QTest::newRow("Null") << true << true << QVariant() << "";
    QTest::newRow("no record") << true << false << QVariant() << "";
    QTest::newRow("no set") << false << false << QVariant() << "";
}

void TestMessaging::comment()
{
    QFETCH(bool, withSet);
    QFETCH(bool, withRecord);
    QFETCH(QVariant, comment);
    QFETCH(QString, shown);

    DocumentFixture f;
    f.show();
    TAVRO_CnfrmPymt& d = *f.document;
    sendSearch(f, QStringLiteral("D"), 0);
    d.txtComment->setText(QStringLiteral("typed before"));
    QVERIFY(d.txtComment->DataChanged());
    f.env.log.clear();

    QMap<QString, protocol::DataSet> sets{
        {QStringLiteral("RECEIPT"), receiptSet({receipt("1001", QDate(2024, 3, 1), "10", "0000042")})}};
    if (withSet)
        sets.insert(QStringLiteral("CONFIRMATION"),
                    withRecord ? confirmationSet(comment.isNull() ? protocol::Value{}
                                                                  : protocol::Value{comment.toString()})
                               : emptyConfirmationSet());
    f.replyToLast(sets);

    QVERIFY2(f.env.errors.reports.isEmpty(), qPrintable(f.env.errors.labels().join(u',')));
    QCOMPARE(d.txtComment->Text(), shown);
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
    QCOMPARE(d.mSdgCnfrmPymt->Rows(), 1);
    if (unconfirmation) {
        DocumentFixture::clickLeftEdge(d.chkToUnconfirm);
        QCOMPARE(d.chkToUnconfirm->Value(), 1);
    }
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
    QCOMPARE(criteriaOf(search), (QStringList{"key:DOC_NBR=0012345", "key:DOC_TYP_CD=D",
                                              QStringLiteral("key:CONF=") + conf, "key:thin=Yes"}));
    QCOMPARE(d.mstrRequestKey, search.key);
    QVERIFY(d.mblnSearchPending);
    QVERIFY(!d.mblnSavePending);
    QCOMPARE(d.mstrDocNumber, QString());
    QCOMPARE(d.mLblDataCnfrmPymt[4]->Caption(), QString());
    QVERIFY(d.mblnSaveReplied);
    QVERIFY(f.env.log.containsInOrder(
        {"Send(63,TAVRO_CnfrmPymt)",
         QStringLiteral("EnableToolbarButton(7,false,%1)").arg(DocumentFixture::DefaultTag),
         "ShowStatus(Ready)", "MousePointer(0)"}));
    QCOMPARE(f.env.status.lastStatus, QStringLiteral("Ready"));
    QVERIFY(d.mSdgCnfrmPymt->Enabled());
}

void TestMessaging::cleanUpOnEveryPath_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("another document") << "other";
    QTest::newRow("reply errors") << "errors";
    QTest::newRow("time-out") << "timeout";
    QTest::newRow("no RECEIPT") << "none";
    QTest::newRow("receipts") << "receipts";
    QTest::newRow("confirmation number") << "number";
    QTest::newRow("no flag") << "idle";
    QTest::newRow("failing call") << "failure";
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
    const QMap<QString, protocol::DataSet> receipts{
        {QStringLiteral("RECEIPT"), receiptSet({receipt("1001", QDate(2024, 3, 1), "10")})}};

    FailingStatusService failing(f.env.status);
    ScopedSeam<StatusService> seam(failing);
    QString expectedLabel;
    if (path == QLatin1String("other")) {
        QVariant other(QStringLiteral("TAVRO_FundsDet"));
        d.mVeskMessage_DataReady(other);
    } else if (path == QLatin1String("errors")) {
        f.transport().deliverReply(key, receipts, {{QStringLiteral("E"), QStringLiteral("failed")}});
    } else if (path == QLatin1String("timeout")) {
        QVERIFY(f.transport().deliverTimeout(key));
    } else if (path == QLatin1String("none")) {
        f.transport().deliverReply(key, {});
    } else if (path == QLatin1String("receipts")) {
        f.transport().deliverReply(key, receipts);
    } else if (path == QLatin1String("number")) {
        d.mblnCnfrmNbrPending = true;
        f.transport().deliverReply(key, {{QStringLiteral("REQ"), reqSet(qint64(42))}});
        QCOMPARE(d.mstrDocNumber, QStringLiteral("0000042"));
        QVERIFY(d.mblnSearchPending); // the search branch is not considered
    } else if (path == QLatin1String("idle")) {
        d.mblnSearchPending = false;
        f.transport().deliverReply(key, receipts);
        QCOMPARE(d.mSdgCnfrmPymt->Rows(), 0);
    } else {
        failing.failOn = QStringLiteral("ShowStatus(Displaying");
        f.transport().deliverReply(key, receipts);
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
