// The detail forms: Receipt Details (row builders, bound grids, the total label) and Funds
// Detail (funds loading, the reconciliation figures), both shown from the reply dispatch.
// CTest runs the Funds Detail cases again in de_DE and en_US (negative amounts in parentheses),
// so every expected amount there is written with the runtime's currency format.
#include "cnfrmpymt/details/DetailRows.h"
#include "cnfrmpymt/details/TAVRO_FundsDet.h"
#include "cnfrmpymt/details/TAVRO_RcptDet.h"
#include "cnfrmpymt/document/TAVRO_CnfrmPymt.h"
#include "controls/CodesCombo.h"
#include "controls/Label.h"
#include "controls/SSCommand.h"
#include "controls/SSOleDBGrid.h"
#include "controls/TextBox.h"
#include "protocol/DataSetLayouts.h"
#include "runtime/Currency.h"
#include "runtime/CurrencyFormat.h"
#include "support/TestEnvironment.h"

#include <functional>
#include <QLocale>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QTimer>

using namespace tavro;
using namespace tavro::test;
using protocol::Value;

Q_DECLARE_METATYPE(tavro::protocol::Value)

namespace {

template <typename... T> void addRow(const char* name, T... values)
{
    QTestData& row = QTest::newRow(name);
    (row << ... << values);
}

const Value Null = std::monostate{};

Value money(const char* text)
{
    return protocol::moneyFromText(QString::fromLatin1(text)).value();
}
Value text(const char* value)
{
    return QString::fromUtf8(value);
}

/// "FUND" records: type, reference, amount, expiry month, day, year, receipt number.
protocol::DataSet fundSet(const QList<QList<Value>>& records)
{
    protocol::DataSet set{protocol::fundFields(), {}};
    for (const QList<Value>& r : records)
        set.records.append({r.value(0, Null), r.value(1, Null), r.value(2, Null), text("desc"),
                            r.value(3, Null), r.value(4, Null), r.value(5, Null), r.value(6, Null)});
    return set;
}

protocol::DataSet receivableSet(const QList<QList<Value>>& records)
{
    return {protocol::receivableFields(), records};
}

DataSetPtr readable(const QString& name, const protocol::DataSet& wire)
{
    DataSetPtr set = DataSet::fromWire(name, wire);
    set->Prepare();
    set->MoveFirst();
    return set;
}

/// A document in a host window, connected to the message service, listing receipt 1001 of batch 0012345.
struct HostedScreen
{
    explicit HostedScreen(TestEnvironment& env)
    {
        host.setProperty("Tag", QStringLiteral("W1"));
        host.setWindowTitle(QStringLiteral("Confirm Payment"));
        protocol::Reference reference;
        reference.codeTables[QStringLiteral("CNFRMDOC")][QStringLiteral("D")] =
            QStringLiteral("Daily Receipt");
        env.reference.setReference(reference);
        document = new TAVRO_CnfrmPymt(&host);
        document->UserDocument_Show();
        document->mFtcboCnfrmPymt[0]->reload();
        document->mFtcboCnfrmPymt[0]->setSelectedCode(QStringLiteral("D"));
        document->mTxtCnfrmPymt->setText(QStringLiteral("0012345"));
        document->mSdgCnfrmPymt->AddItem(QStringLiteral(" 1001 \t 01/26/2005 \t") + receiptTotal +
                                         QStringLiteral("\t\t1234:Jane Roe\t5678:John Poe"));
        document->mSdgCnfrmPymt->MoveFirst();
    }

    QWidget host;
    TAVRO_CnfrmPymt* document = nullptr;
    const QString receiptTotal = formatCurrency(Currency::fromUnits(12345000));
};

/// Presses detail button \a button and answers its request with \a sets; while the modal form
/// shows, runs \a whileShown, then clicks "OK". Returns whether a modal form was showing.
template <class Form>
bool answerDetailRequest(TestEnvironment& env, HostedScreen& screen, int button,
                         const QMap<QString, protocol::DataSet>& sets,
                         const std::function<void(Form&)>& whileShown)
{
    screen.document->mCmdCnfrmPymt_Click(button);
    const QString key = env.transport().lastRequest().key;
    bool shown = false;
    QObject answering; // a form that never shows must not be answered by a later test
    QTimer::singleShot(0, &answering, [&] {
        Form* form = Form::Loaded();
        if (!form || !form->isVisible() || !form->isModal())
            return;
        shown = true;
        if (whileShown)
            whileShown(*form);
        QTest::mouseClick(form->template findChild<SSCommand*>(), Qt::LeftButton);
    });
    env.transport().deliverReply(key, sets);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return shown;
}

/// Ticks or unticks \a row of \a grid as the officer does: a click on the row's first cell,
/// then one on its check cell. (A click straight onto the box of a narrow check column does not
/// move the grid's current row; the row is picked first so the test sees the form's part.)
void clickTick(SSOleDBGrid& grid, int row)
{
    QTableView* view = grid.view();
    const QModelIndex first = view->model()->index(row, 0);
    const QModelIndex index =
        view->model()->index(row, grid.Columns(QStringLiteral("Check Column")).Position());
    view->scrollTo(first);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(first).center());
    view->scrollTo(index);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
}

/// An amount given in hundredths, as the system's currency format writes it.
QString cents(qint64 hundredths)
{
    return formatCurrency(Currency::fromUnits(hundredths * 100));
}

QStringList figures(const TAVRO_FundsDet& form, int first)
{
    QStringList result;
    for (int i = first; i <= first + 4; i += 2)
        result << form.mLblDataFundsDet[static_cast<std::size_t>(i)]->Caption();
    return result;
}

QStringList rowCells(SSOleDBGrid& grid, int row, int columns)
{
    grid.setBookmark(grid.RowBookmark(row));
    QStringList cells;
    for (int c = 0; c < columns; ++c)
        cells << grid.Columns(c).Text();
    return cells;
}

protocol::DataSet batch(const QStringList& checks, const QStringList& cash)
{
    QList<QList<Value>> records;
    for (qsizetype i = 0; i < checks.size(); ++i)
        records.append({text("K"), Value(QString::number(5500 + i)), money(qPrintable(checks[i])), Null, Null,
                        Null, text("1001")});
    for (const QString& amount : cash)
        records.append({text("C"), Null, money(qPrintable(amount)), Null, Null, Null, text("1002")});
    return fundSet(records);
}

} // namespace

class TestDetails : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        if (TAVRO_RcptDet* form = TAVRO_RcptDet::Loaded())
            form->Unload();
        if (TAVRO_FundsDet* form = TAVRO_FundsDet::Loaded())
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
        const Value reference = fields[0] == u"Cash" ? Null : text("5512");
        DataSetPtr set = readable(QStringLiteral("FUND"), fundSet({{type, reference, money("12.5")}}));
        QCOMPARE(receiptFundRow(*set), fields.join(u'\t'));
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
        // The bound amount is shown in the currency format, beside the cells the form rewrote.
        const QString amount =
            formatCurrency(Currency::fromUnits(std::get<protocol::Money>(record[2]).units));
        for (int row = 0; row < 2; ++row) {
            grid.setBookmark(grid.RowBookmark(row));
            QCOMPARE(grid.Columns(QStringLiteral("FUND_TYP_CD")).Text(), shown[0]);
            QCOMPARE(grid.Columns(QStringLiteral("FUND_RFRNC_NBR")).Text(), shown[1]);
            QCOMPARE(grid.Columns(QStringLiteral("FUND_AMT")).Text(), amount);
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

    void totalLabelShowsCurrency_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("changes");
        const QString amount = formatCurrency(Currency::fromUnits(12345000));
        addRow("plain amount", 5, QStringLiteral("1234.5"), amount, 2);
        QTest::newRow("already formatted") << 5 << amount << amount << 1;
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

    void dispatchShowsTheFormUntilOk()
    {
        TestEnvironment env;
        HostedScreen screen(env);
        const QMap<QString, protocol::DataSet> sets{
            {QStringLiteral("ACNTSRCVBL"), receivableSet({{text("ACME"), qint64(4711), text("3")}})},
            {QStringLiteral("FUND"),
             fundSet({{text("K"), text("5512"), money("12.5")}, {text("C"), Null, money("2")}})}};
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
        QCOMPARE(rows, (QList<int>{1, 2}));
        QCOMPARE(statusWhileShown, (QStringList{"Displaying Receipt Details for  1001 ", "1"}));
        QVERIFY(!screen.document->mblnRcptDetPending);
        QCOMPARE(env.status.lastStatus, QStringLiteral("Ready"));
        QCOMPARE(TAVRO_RcptDet::Loaded(), nullptr); // "OK" unloaded it
        QVERIFY(env.errors.reports.isEmpty());
    }

    void runsInTheRequestedLocale()
    {
        // The extra CTest runs name their locale; without it the C locale is expected.
        const QString wanted = qEnvironmentVariable("TAVRO_TEST_LOCALE", QStringLiteral("C"));
        QCOMPARE(QLocale::system().name(), wanted);
    }

    void fundsGoToChecksAndCash()
    {
        TestEnvironment env;
        HostedScreen screen(env);
        DataSetPtr funds =
            readable(QStringLiteral("FUND"),
                     fundSet({{text("K"), text("5512"), money("100"), Null, Null, Null, text("1001")},
                              {text("K"), Null, money("250"), Null, Null, Null, text("1001")},
                              {text("X"), text("77"), money("0.5"), Null, Null, Null, text("1002")},
                              {text("C"), text("3"), money("20"), Null, Null, Null, text("1001")},
                              {text("R"), text("4111"), money("9"), Null, Null, Null, text("1001")},
                              {text("k"), text("1"), money("9"), Null, Null, Null, text("1001")},
                              {Null, text("1"), money("9"), Null, Null, Null, text("1001")},
                              {text("K"), text("5513"), Null, Null, Null, Null, text("1003")},
                              {text("C"), Null, money("-5"), Null, Null, Null, Null}}));
        for (; !funds->Eof(); funds->MoveNext())
            screen.document->LoadFundsDet(*funds);

        TAVRO_FundsDet& form = TAVRO_FundsDet::Load();
        SSOleDBGrid& checks = *form.mSdgFundsDet[0];
        SSOleDBGrid& cash = *form.mSdgFundsDet[1];
        QCOMPARE(checks.Rows(), 4);
        QCOMPARE(rowCells(checks, 0, 4), (QStringList{"1001", "5512", cents(10000), "False"}));
        QCOMPARE(rowCells(checks, 1, 4), (QStringList{"1001", "", cents(25000), "False"}));
        QCOMPARE(rowCells(checks, 2, 4), (QStringList{"1002", "Excess", cents(50), "False"}));
        QCOMPARE(rowCells(checks, 3, 4), (QStringList{"1003", "5513", "", "False"}));
        QCOMPARE(cash.Rows(), 2);
        QCOMPARE(rowCells(cash, 0, 3), (QStringList{"1001", cents(2000), "False"}));
        QCOMPARE(rowCells(cash, 1, 3), (QStringList{"", cents(-500), "False"}));
        QCOMPARE(form.mSdgFundsDet[2]->Rows(), 0);
        QVERIFY(env.errors.reports.isEmpty());
    }

    void ticksReconcileOnlyTheirGrid_data()
    {
        QTest::addColumn<QStringList>("checks");
        QTest::addColumn<QStringList>("cash");
        QTest::addColumn<QList<int>>("ticks");
        QTest::addColumn<QList<qint64>>("expected"); // total, reconciled, difference in hundredths
        QTest::addColumn<int>("currentRow");
        const QStringList three{"100", "250", "0.5"};
        const QStringList twoCash{"20", "5"};
        addRow("none ticked", three, twoCash, QList<int>{}, QList<qint64>{35050, 0, 35050}, 0);
        addRow("250 ticked", three, twoCash, QList<int>{1}, QList<qint64>{35050, 25000, 10050}, 1);
        addRow("all unticked again", three, twoCash, QList<int>{2, 0, 1, 1, 2, 0},
               QList<qint64>{35050, 0, 35050}, 0);
        addRow("single row, no cash", QStringList{"42.1"}, QStringList{}, QList<int>{0},
               QList<qint64>{4210, 4210, 0}, 0);
        addRow("negative difference", QStringList{"100", "-250"}, twoCash, QList<int>{0},
               QList<qint64>{-15000, 10000, -25000}, 0);
    }
    void ticksReconcileOnlyTheirGrid()
    {
        QFETCH(QStringList, checks);
        QFETCH(QStringList, cash);
        QFETCH(QList<int>, ticks);
        QFETCH(QList<qint64>, expected);
        QFETCH(int, currentRow);
        TestEnvironment env;
        HostedScreen screen(env);
        QList<QStringList> opening, after;
        QStringList credit;
        QStringList header;
        int rowAfter = -2;
        bool redraw[2] = {};
        const bool shown = answerDetailRequest<TAVRO_FundsDet>(
            env, screen, 3, {{QStringLiteral("FUND"), batch(checks, cash)}}, [&](TAVRO_FundsDet& form) {
                header << form.mLblDataFundsDet[0]->Caption() << form.mLblDataFundsDet[1]->Caption();
                opening = {figures(form, 3), figures(form, 9), figures(form, 15)};
                for (int row : ticks)
                    clickTick(*form.mSdgFundsDet[0], row);
                after = {figures(form, 3), figures(form, 9), figures(form, 15)};
                form.mSdgFundsDet_Change(2); // the Credit Card figures appear with a change there
                credit = figures(form, 15);
                rowAfter = form.mSdgFundsDet[0]->Row();
                redraw[0] = form.mblnChecksRedraw;
                redraw[1] = form.mblnCashRedraw;
            });

        QVERIFY(shown);
        QCOMPARE(header, (QStringList{"DAILY RECEIPT:", "0012345"}));
        QCOMPARE(opening.value(0), (QStringList{cents(expected[0]), cents(0), cents(expected[0])}));
        QCOMPARE(after.value(0), (QStringList{cents(expected[0]), cents(expected[1]), cents(expected[2])}));
        QCOMPARE(rowAfter, currentRow);
        qint64 cashTotal = 0;
        for (const QString& amount : cash)
            cashTotal += std::get<protocol::Money>(money(qPrintable(amount))).units;
        const QString cashFigure = formatCurrency(Currency::fromUnits(cashTotal));
        QCOMPARE(opening.value(1), (QStringList{cashFigure, cents(0), cashFigure}));
        QCOMPARE(opening.value(2), (QStringList{"", "", ""}));
        QCOMPARE(after.mid(1), opening.mid(1));
        QCOMPARE(credit, (QStringList{cents(0), cents(0), cents(0)}));
        QCOMPARE(redraw[0], !ticks.isEmpty());
        QVERIFY(!redraw[1]);
        QVERIFY(!screen.document->mblnFundsDetPending);
        QVERIFY(env.log.containsInOrder(
            {"ShowStatus(Displaying Funds Details for 0012345)", "ShowStatus(Ready)"}));
        QCOMPARE(env.status.lastStatus, QStringLiteral("Ready"));
        QCOMPARE(TAVRO_FundsDet::Loaded(), nullptr);
        QVERIFY(env.errors.reports.isEmpty());
    }
};

QTEST_MAIN(TestDetails)
#include "tst_details.moc"
