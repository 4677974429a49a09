// The Funds Detail form: funds loading, the reconciliation figures and the modal showing.
// CTest runs this suite in the C locale and again in de_DE and en_US (negative amounts in
// parentheses), so every expected amount is written with the runtime's currency format.

#include "cnfrmpymt/details/TAVRO_FundsDet.h"
#include "controls/Label.h"
#include "DetailFixtures.h"

#include <QLocale>

using namespace tavro;
using namespace tavro::test;

namespace {

/// One table row, kept on one line: QTest::newRow(name) << values...
template <typename... T> void addRow(const char* name, T... values)
{
    QTestData& row = QTest::newRow(name);
    (row << ... << values);
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

class TestFundsDetail : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        if (TAVRO_FundsDet* form = TAVRO_FundsDet::Loaded())
            form->Unload();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
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
        addRow("single row", QStringList{"42.1"}, twoCash, QList<int>{0}, QList<qint64>{4210, 4210, 0}, 0);
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
        // The Checks, Cash and Credit Card figures on opening and after the ticks.
        QList<QStringList> opening, after;
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
        QCOMPARE(redraw[0], !ticks.isEmpty());
        QVERIFY(!redraw[1]);
        QVERIFY(!screen.document->mblnFundsDetPending);
        QVERIFY(env.log.containsInOrder(
            {"ShowStatus(Displaying Funds Details for 0012345)", "ShowStatus(Ready)"}));
        QCOMPARE(env.status.lastStatus, QStringLiteral("Ready"));
        QCOMPARE(TAVRO_FundsDet::Loaded(), nullptr);
        QVERIFY(env.errors.reports.isEmpty());
    }

    void noFundSetShowsNoForm()
    {
        TestEnvironment env;
        HostedScreen screen(env);
        const bool shown = answerDetailRequest<TAVRO_FundsDet>(env, screen, 3, {}, {});
        QVERIFY(!shown);
        QVERIFY(TAVRO_FundsDet::Loaded() && !TAVRO_FundsDet::Loaded()->isVisible());
        QVERIFY(!screen.document->mblnFundsDetPending);
        QCOMPARE(env.status.lastStatus, QStringLiteral("Ready"));
    }

    void everyWayOfClosingStartsTheNextShowingAfresh_data()
    {
        QTest::addColumn<QString>("how");
        addRow("OK", "ok");
        addRow("Escape", "escape");
    }
    void everyWayOfClosingStartsTheNextShowingAfresh()
    {
        QFETCH(QString, how);
        TestEnvironment env;
        TAVRO_FundsDet* form = &TAVRO_FundsDet::Load();
        form->mSdgFundsDet[0]->AddItem(QStringLiteral("1001\t5512\t") + cents(100));
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form));
        if (how == u"ok")
            QTest::mouseClick(form->mCmdFundsDet, Qt::LeftButton);
        else
            QTest::keyClick(form, Qt::Key_Escape);
        QCOMPARE(TAVRO_FundsDet::Loaded(), nullptr);
        QVERIFY(!form->isVisible());
        QCOMPARE(TAVRO_FundsDet::Load().mSdgFundsDet[0]->Rows(), 0);
    }

    void creditFiguresWaitForAChange()
    {
        TestEnvironment env;
        TAVRO_FundsDet& form = TAVRO_FundsDet::Load();
        QCOMPARE(figures(form, 15), (QStringList{"", "", ""}));
        form.mSdgFundsDet_Change(2);
        QCOMPARE(figures(form, 15), (QStringList{cents(0), cents(0), cents(0)}));
        QCOMPARE(figures(form, 3), (QStringList{"", "", ""}));
    }

    void calculatorsCountEmptyAsZeroAndReportFailures_data()
    {
        QTest::addColumn<QStringList>("amounts"); // every row ticked
        QTest::addColumn<QString>("total");       // empty: the label keeps its text
        const QString big = formatCurrency(Currency::fromUnits(9'000'000'000'000'000'000));
        addRow("empty cell", QStringList{"", cents(1000)}, cents(1000));
        addRow("not an amount", QStringList{cents(1000), "ten"}, QString());
        QTest::newRow("overflow") << QStringList{big, big} << QString();
    }
    void calculatorsCountEmptyAsZeroAndReportFailures()
    {
        QFETCH(QStringList, amounts);
        QFETCH(QString, total);
        TestEnvironment env;
        TAVRO_FundsDet& form = TAVRO_FundsDet::Load();
        for (const QString& amount : amounts)
            form.mSdgFundsDet[1]->AddItem(QStringLiteral("1001\t") + amount + QStringLiteral("\t1"));
        form.mLblDataFundsDet[9]->setCaption(QStringLiteral("before"));
        form.mLblDataFundsDet[11]->setCaption(QStringLiteral("before"));
        form.CalculateCashTotal();
        form.CalculateRecCashTotal();

        const QString shown = total.isEmpty() ? QStringLiteral("before") : total;
        QCOMPARE(form.mLblDataFundsDet[9]->Caption(), shown);
        QCOMPARE(form.mLblDataFundsDet[11]->Caption(), shown);
        const QStringList expectedReports =
            total.isEmpty()
                ? QStringList{"TAVRO_FundsDet.CalculateCashTotal", "TAVRO_FundsDet.CalculateRecCashTotal"}
                : QStringList{};
        QCOMPARE(env.errors.labels(), expectedReports);
        QVERIFY(form.mSdgFundsDet[1]->Redraw());
    }

    void tickKeepsTheViewStill()
    {
        TestEnvironment env;
        TAVRO_FundsDet& form = TAVRO_FundsDet::Load();
        SSOleDBGrid& grid = *form.mSdgFundsDet[0];
        for (int i = 0; i < 300; ++i)
            grid.AddItem(QStringLiteral("%1\t%2\t%3").arg(1000 + i).arg(7000 + i).arg(cents((i + 1) * 100)));
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        grid.setFirstRow(grid.RowBookmark(120));
        const QVariant firstVisible = grid.FirstRow();

        clickTick(grid, firstVisible.toInt() + 5);

        QCOMPARE(grid.FirstRow(), firstVisible);
        QCOMPARE(grid.Row(), firstVisible.toInt() + 5);
        QCOMPARE(form.mLblDataFundsDet[5]->Caption(), cents((firstVisible.toInt() + 6) * 100));
        QCOMPARE(form.mLblDataFundsDet[3]->Caption(), cents(300 * 301 / 2 * 100));
        QVERIFY(grid.Redraw());
    }
};

QTEST_MAIN(TestFundsDetail)
#include "tst_fundsdetail.moc"
