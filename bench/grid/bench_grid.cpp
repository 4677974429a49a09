// Filling and walking the data grid with 100,000 receipt rows.
//
// floorStringLists builds the same rows as a plain QVector<QStringList> (split at the tabs):
// the least any grid has to do. addItems adds them to a shown grid through AddItem and waits
// until the view knows them; visitRows walks them as the totals do (MoveFirst, MoveNext ...
// reading two columns by name). Run with "-median 7" for medians.

#include "controls/SSOleDBGrid.h"

#include <QTableView>
#include <QTest>

using namespace tavro;

namespace {

constexpr int kRows = 100000;

QStringList receiptLines()
{
    QStringList lines;
    lines.reserve(kRows);
    for (int i = 0; i < kRows; ++i) {
        lines << QStringLiteral("%1\t%2/%3/2005\t$%4.%5\t00%6\t%7:Jane Roe\t%8:John Doe\t")
                     .arg(1000000 + i)
                     .arg(1 + i % 12, 2, 10, QLatin1Char('0'))
                     .arg(1 + i % 28, 2, 10, QLatin1Char('0'))
                     .arg(i % 5000)
                     .arg(i % 100, 2, 10, QLatin1Char('0'))
                     .arg(12345 + i / 50)
                     .arg(1000 + i % 40)
                     .arg(2000 + i % 30);
    }
    return lines;
}

void addReceiptColumns(SSOleDBGrid& grid)
{
    grid.addColumn("Receipt Number", "Receipt #");
    grid.addColumn("Receipt Date", "Receipt Date");
    grid.addColumn("Total Receipt Amount", "Receipt Amount");
    grid.addColumn("Confirmation Number", "Confirmation #");
    grid.addColumn("ISSUINGOFFICERNAME", "Issuing Registry#:Name");
    grid.addColumn("ENTERINGOFFICERNAME", "Entering Registry#:Name");
    grid.setFieldSeparator(QStringLiteral("\t"));
}

} // namespace

class BenchGrid : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { m_lines = receiptLines(); }

    void floorStringLists()
    {
        // The rows outlive the measurement, as the grid's rows do.
        QVector<QStringList> rows;
        QBENCHMARK_ONCE
        {
            for (const QString& line : std::as_const(m_lines))
                rows.append(line.split(QLatin1Char('\t')));
        }
        QCOMPARE(rows.size(), kRows);
    }

    void addItems()
    {
        SSOleDBGrid grid;
        grid.resize(800, 400);
        addReceiptColumns(grid);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        QBENCHMARK_ONCE
        {
            for (const QString& line : std::as_const(m_lines))
                grid.AddItem(line);
            grid.view(); // the view takes the new rows
        }
        QCOMPARE(grid.view()->model()->rowCount(), kRows);
    }

    void visitRows()
    {
        SSOleDBGrid grid;
        grid.resize(800, 400);
        addReceiptColumns(grid);
        for (const QString& line : std::as_const(m_lines))
            grid.AddItem(line);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        qsizetype characters = 0;
        int visited = 0;
        QBENCHMARK_ONCE
        {
            grid.MoveFirst();
            for (;;) {
                characters += grid.Columns("Receipt Number").Text().size();
                characters += grid.Columns("Total Receipt Amount").Text().size();
                ++visited;
                if (grid.Row() == grid.Rows() - 1)
                    break;
                grid.MoveNext();
            }
        }
        QCOMPARE(visited, kRows);
        QVERIFY(characters > 0);
    }

private:
    QStringList m_lines;
};

QTEST_MAIN(BenchGrid)
#include "bench_grid.moc"
