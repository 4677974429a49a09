// The Receipt Details form and the document's receipt-detail loading.

#include "cnfrmpymt/details/DetailRows.h"
#include "cnfrmpymt/details/TAVRO_RcptDet.h"
#include "controls/Adodc.h"
#include "controls/Label.h"
#include "DetailFixtures.h"

#include <QSignalSpy>

using namespace tavro;
using namespace tavro::test;

namespace {

/// One table row, kept on one line: QTest::newRow(name) << values...
template <typename... T> void addRow(const char* name, T... values)
{
    QTestData& row = QTest::newRow(name);
    (row << ... << values);
}

} // namespace

class TestReceiptDetails : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        if (TAVRO_RcptDet* form = TAVRO_RcptDet::Loaded())
            form->Unload();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void receivableRowWritesEightFields_data()
    {
        QTest::addColumn<QList<Value>>("record");
        QTest::addColumn<QString>("row");
        QTest::addColumn<QStringList>("lookups");
        addRow("all null", QList<Value>(9, Null), QStringLiteral("\t-\t\t\t\t\t\t"), QStringList());
        addRow("complete",
               QList<Value>{text("ACME Corp"), qint64(4711), text("3"), text("A"), money("12.5"),
                            money("100"), money("0"), Null, money("87.5")},
               QStringLiteral("ACME Corp\t4711-3\tAssessment\t12.5\t100\t0\t\t87.5"),
               QStringList{QStringLiteral("GetCodeDescription(A,CNFRMDOC)")});
        addRow("null type, no lookup",
               QList<Value>{text("Roe"), qint64(12), Null, Null, money("0.0001"), Null, Null, Null, Null},
               QStringLiteral("Roe\t12-\t\t0.0001\t\t\t\t"), QStringList());
    }
    void receivableRowWritesEightFields()
    {
        QFETCH(QList<Value>, record);
        QFETCH(QString, row);
        QFETCH(QStringList, lookups);
        TestEnvironment env;
        env.fields.codeDescriptions.insert(QStringLiteral("CNFRMDOC/A"), QStringLiteral("Assessment"));
        HostedScreen screen(env);
        DataSetPtr set = readable(QStringLiteral("ACNTSRCVBL"), receivableSet({record}));
        env.log.clear();

        QCOMPARE(receivableRow(*set, [&](QString& code) { return screen.document->GetARTypeLiteral(code); }),
                 row);
        QCOMPARE(env.log.matching(QStringLiteral("GetCodeDescription(")), lookups);

        // The document's builder appends the same row (the grid keeps the fields it has columns for).
        screen.document->LoadRcptDet(*set);
        SSOleDBGrid& grid = *TAVRO_RcptDet::Load().mSdgRcptDet[0];
        QCOMPARE(grid.Rows(), 1);
        grid.MoveFirst();
        const QStringList fields = row.split(u'\t');
        QCOMPARE(grid.Columns(0).Value().toString(), fields[0]);
        QCOMPARE(grid.Columns(1).Value().toString(), fields[1]);
        QCOMPARE(grid.Columns(4).Value().toString(), fields[4]);
        QVERIFY(env.errors.reports.isEmpty());
    }

    void receiptFundRowNamesCashChecksAndAdjustments_data()
    {
        QTest::addColumn<Value>("type");
        QTest::addColumn<QStringList>("fields");
        addRow("cash", text("C"), QStringList{"Cash", "", "12.5"});
        addRow("credit card", text("R"), QStringList{"", "5512", "12.5"});
        addRow("lower-case cash", text("c"), QStringList{"", "5512", "12.5"});
        addRow("null", Null, QStringList{"", "5512", "12.5"});
    }
    void receiptFundRowNamesCashChecksAndAdjustments()
    {
        QFETCH(Value, type);
        QFETCH(QStringList, fields);
        TestEnvironment env;
        HostedScreen screen(env);
        const Value reference = fields[0] == u"Cash" ? Null : text("5512");
        DataSetPtr set = readable(QStringLiteral("FUND"), fundSet({{type, reference, money("12.5")}}));

        QCOMPARE(receiptFundRow(*set), fields.join(u'\t'));
        screen.document->LoadRcptDetFunds(*set);
        SSOleDBGrid& grid = *TAVRO_RcptDet::Load().mSdgRcptDet[1];
        QCOMPARE(grid.Rows(), 1);
        grid.MoveFirst();
        for (int i = 0; i < 3; ++i)
            QCOMPARE(grid.Columns(i).Value().toString(), fields[i]);
    }

    void boundFundsAreFormattedPerRow_data()
    {
        QTest::addColumn<QList<Value>>("record"); // type, reference, amount, month, day, year
        QTest::addColumn<QStringList>("shown");   // payment type, check #, expiration date
        addRow("cash", QList<Value>{text("C"), Null, money("20")}, QStringList{"Cash", "N/A", "N/A"});
        addRow("check", QList<Value>{text("K"), text("5512"), money("100.25")},
               QStringList{"Check", "5512", "N/A"});
        addRow("adjustment", QList<Value>{text("X"), text("77"), money("3")},
               QStringList{"Overage Adjustment", "77", "N/A"});
        addRow("card without day",
               QList<Value>{text("R"), text("4111"), money("9"), text("12"), Null, text("2006")},
               QStringList{"Credit Card", "4111", "12/2006"});
        addRow("card with day",
               QList<Value>{text("R"), text("4111"), money("9"), text("3"), text("15"), text("2007")},
               QStringList{"Credit Card", "4111", "3/15/2007"});
        addRow("null code", QList<Value>{Null, text("8"), money("1")}, QStringList{"", "8", "N/A"});
    }
    void boundFundsAreFormattedPerRow()
    {
        QFETCH(QList<Value>, record);
        QFETCH(QStringList, shown);
        TestEnvironment env;
        const std::pair<const char*, const char*> descriptions[] = {
            {"C", "Cash"}, {"K", "Check"}, {"X", "Overage Adjustment"}, {"R", "Credit Card"}};
        for (const auto& [code, description] : descriptions)
            env.fields.codeDescriptions.insert(QStringLiteral("FUNDTYP/") + QLatin1String(code),
                                               QString::fromLatin1(description));
        TAVRO_RcptDet& form = TAVRO_RcptDet::Load();
        DataSetPtr funds = DataSet::fromWire(QStringLiteral("FUND"), fundSet({record, record}));
        form.LoadReceiptFunds(funds);

        SSOleDBGrid& grid = *form.mSdgRcptDet[1];
        QCOMPARE(grid.Rows(), 2);
        for (int row = 0; row < 2; ++row) {
            grid.setBookmark(grid.RowBookmark(row));
            QCOMPARE(grid.Columns(QStringLiteral("FUND_TYP_CD")).Text(), shown[0]);
            QCOMPARE(grid.Columns(QStringLiteral("FUND_RFRNC_NBR")).Text(), shown[1]);
            QCOMPARE(grid.Columns(QStringLiteral("FUND_EXPR")).Text(), shown[2]);
        }
        QVERIFY(env.errors.reports.isEmpty());
    }

    void boundReceivablesAreSortedAndNumbered()
    {
        TestEnvironment env;
        env.fields.codeDescriptions.insert(QStringLiteral("REFDOCTYP/A"), QStringLiteral("Assessment"));
        TAVRO_RcptDet& form = TAVRO_RcptDet::Load();
        DataSetPtr accounts = DataSet::fromWire(
            QStringLiteral("ACNTSRCVBL"),
            receivableSet({{text("Long Co"), qint64(123456789), text("0"), text("A"), money("5")},
                           {text("Short Co"), qint64(4711), text("3"), text("L"), money("7.5")},
                           {text("No Number"), Null, Null, Null, Null}}));
        form.LoadReceiptAccounts(accounts);

        SSOleDBGrid& grid = *form.mSdgRcptDet[0];
        const QStringList expected[] = {
            {"No Number", "-", ""}, {"Short Co", "0004711-3", ""}, {"Long Co", "123456789-0", "Assessment"}};
        QCOMPARE(grid.Rows(), 3);
        for (int row = 0; row < 3; ++row) {
            grid.setBookmark(grid.RowBookmark(row));
            QCOMPARE(grid.Columns(QStringLiteral("CUST_NAME")).Text(), expected[row][0]);
            QCOMPARE(grid.Columns(QStringLiteral("AR Number")).Text(), expected[row][1]);
            QCOMPARE(grid.Columns(QStringLiteral("ACCT_RCVBL_TYP_CD")).Text(), expected[row][2]);
        }
        QVERIFY(env.errors.reports.isEmpty());
    }

    void missingSetsBindEmptyOnes()
    {
        TestEnvironment env;
        TAVRO_RcptDet& form = TAVRO_RcptDet::Load();
        DataSetPtr accounts;
        DataSetPtr funds;
        form.LoadReceiptAccounts(accounts);
        form.LoadReceiptFunds(funds);

        QVERIFY(accounts && funds);
        QCOMPARE(form.Adodc1[0]->Recordset(), accounts->Recordset());
        QCOMPARE(form.Adodc1[1]->Recordset(), funds->Recordset());
        QCOMPARE(form.mSdgRcptDet[0]->Rows(), 0);
        QCOMPARE(form.mSdgRcptDet[1]->Rows(), 0);
        QVERIFY(env.errors.reports.isEmpty());
    }

    void totalLabelShowsCurrency_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("changes");
        const QString amount = formatCurrency(Currency::fromUnits(12345000));
        addRow("plain amount", 5, QStringLiteral("1234.5"), amount, 2);
        QTest::newRow("already formatted") << 5 << amount << amount << 1;
        addRow("not an amount", 5, QStringLiteral("n/a"), QStringLiteral("n/a"), 1);
        addRow("other label", 1, QStringLiteral("1234.5"), QStringLiteral("1234.5"), 1);
    }
    void totalLabelShowsCurrency()
    {
        QFETCH(int, index);
        QFETCH(QString, caption);
        QFETCH(QString, shown);
        QFETCH(int, changes);
        TestEnvironment env;
        Label& label = *TAVRO_RcptDet::Load().mLblDataRcptDet[static_cast<std::size_t>(index)];
        QSignalSpy spy(&label, &Label::Change);
        label.setCaption(caption);
        QCOMPARE(label.Caption(), shown);
        QCOMPARE(spy.count(), changes);
        QVERIFY(env.errors.reports.isEmpty());
    }

    void dispatchShowsTheFormUntilOk_data()
    {
        QTest::addColumn<bool>("withSets");
        QTest::newRow("receivables and funds") << true;
        QTest::newRow("no sets") << false;
    }
    void dispatchShowsTheFormUntilOk()
    {
        QFETCH(bool, withSets);
        TestEnvironment env;
        HostedScreen screen(env);
        QMap<QString, protocol::DataSet> sets;
        if (withSets) {
            sets.insert(QStringLiteral("ACNTSRCVBL"),
                        receivableSet({{text("ACME"), qint64(4711), text("3")}}));
            sets.insert(QStringLiteral("FUND"),
                        fundSet({{text("K"), text("5512"), money("12.5")}, {text("C"), Null, money("2")}}));
        }
        QStringList captions;
        QList<int> rows;
        QStringList statusWhileShown;
        const bool shown = answerDetailRequest<TAVRO_RcptDet>(env, screen, 2, sets, [&](TAVRO_RcptDet& form) {
            for (int i : {1, 3, 5, 7})
                captions << form.mLblDataRcptDet[static_cast<std::size_t>(i)]->Caption();
            captions << form.lblIssuingOfficerNbr->Caption() << form.lblEnteringOfficerNbr->Caption();
            rows << form.mSdgRcptDet[0]->Rows() << form.mSdgRcptDet[1]->Rows();
            statusWhileShown << env.status.lastStatus;
            statusWhileShown << QString::number(screen.document->mblnRcptDetPending);
        });

        QVERIFY(shown);
        QCOMPARE(captions, (QStringList{"1001", "01/26/2005", screen.receiptTotal, "", "1234:Jane Roe",
                                        "5678:John Poe"}));
        QCOMPARE(rows, (QList<int>{withSets ? 1 : 0, withSets ? 2 : 0}));
        QCOMPARE(statusWhileShown, (QStringList{"Displaying Receipt Details for  1001 ", "1"}));
        QVERIFY(!screen.document->mblnRcptDetPending);
        QCOMPARE(env.status.lastStatus, QStringLiteral("Ready"));
        QCOMPARE(TAVRO_RcptDet::Loaded(), nullptr); // "OK" unloaded it
        QVERIFY(env.errors.reports.isEmpty());
    }
};

QTEST_MAIN(TestReceiptDetails)
#include "tst_receiptdetails.moc"
