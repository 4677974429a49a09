#include "controls/Adodc.h"
#include "controls/SSOleDBGrid.h"
#include "controls/Twips.h"
#include "runtime/ClassicError.h"
#include "runtime/Currency.h"
#include "runtime/CurrencyFormat.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QLabel>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

using namespace tavro;

namespace {
// The receipts list as the screen builds it.
void addReceiptColumns(SSOleDBGrid& grid)
{
    grid.addColumn("Receipt Number", "Receipt #");
    grid.addColumn("Receipt Date", "Receipt Date");
    grid.addColumn("Total Receipt Amount", "Receipt Amount");
    grid.addColumn("Confirmation Number", "Confirmation #");
    grid.addColumn("ISSUINGOFFICERNAME", "Issuing Registry#:Name");
    grid.addColumn("ENTERINGOFFICERNAME", "Entering Registry#:Name");
}

// Receipts 1000, 1001, ... in the first column.
void addRows(SSOleDBGrid& grid, int rows)
{
    for (int i = 0; i < rows; ++i)
        grid.AddItem(QString::number(1000 + i));
}

// The current row's cells joined by '|'.
QString currentRow(SSOleDBGrid& grid)
{
    QStringList cells;
    for (int c = 0; c < grid.ColumnCount(); ++c)
        cells << grid.Columns(c).Text();
    return cells.join('|');
}

// What the view shows for a row, joined by '|' (check cells as [x] and [ ]).
QString shownRow(SSOleDBGrid& grid, int row)
{
    QAbstractItemModel* model = grid.model();
    QStringList cells;
    for (int c = 0; c < model->columnCount(); ++c) {
        const QModelIndex index = model->index(row, c);
        const QVariant check = index.data(Qt::CheckStateRole);
        cells << (check.isValid() ? (check.toInt() == Qt::Checked ? "[x]" : "[ ]") : index.data().toString());
    }
    return cells.join('|');
}

void clickCell(SSOleDBGrid& grid, int row, int column, Qt::KeyboardModifiers modifiers = {})
{
    const QPoint centre = grid.view()->visualRect(grid.model()->index(row, column)).center();
    QTest::mouseClick(grid.view()->viewport(), Qt::LeftButton, modifiers, centre);
}

int errorOf(const std::function<void()>& body)
{
    const auto raised = captureError(body);
    return raised ? raised->number() : 0;
}

RecordsetPtr fundsRecordset()
{
    auto rs = std::make_shared<Recordset>();
    rs->appendField("FUND_TYP_CD", FieldType::Text);
    rs->appendField("FUND_RFRNC_NBR", FieldType::Text);
    rs->appendField("FUND_AMT", FieldType::Currency);
    rs->appendRecord({QString("K"), QString("1001"), QVariant::fromValue(Currency::fromUnits(1005000))});
    rs->appendRecord({QString("C"), QVariant(), QVariant::fromValue(Currency::fromUnits(-25000))});
    rs->appendRecord({QString("R"), QString("77"), QVariant()});
    return rs;
}
} // namespace

class TestGrid : public QObject
{
    Q_OBJECT

private slots:
    void addItemShouldFillColumnsFromTheLeft_data()
    {
        QTest::addColumn<QString>("separator");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("cells");
        QTest::newRow("six fields, trailing tab")
            << "\t" << u"1001\t01/26/2005\t$12.50\t\t7:Jane\t8:John\t"_qs
            << u"1001|01/26/2005|$12.50||7:Jane|8:John"_qs;
        QTest::newRow("six tabs: six empty cells") << "\t" << u"\t\t\t\t\t\t"_qs << u"|||||"_qs;
        QTest::newRow("fewer fields, blanks kept") << "\t" << u" a \t b "_qs << u" a | b ||||"_qs;
        QTest::newRow("more fields are dropped") << "\t" << u"1\t2\t3\t4\t5\t6\t7\t8"_qs << u"1|2|3|4|5|6"_qs;
        QTest::newRow("empty text") << "\t" << u""_qs << u"|||||"_qs;
        QTest::newRow("several characters") << "::" << u"a::b:c::"_qs << u"a|b:c||||"_qs;
    }

    void addItemShouldFillColumnsFromTheLeft()
    {
        QFETCH(QString, separator);
        QFETCH(QString, text);
        QFETCH(QString, cells);
        SSOleDBGrid grid;
        addReceiptColumns(grid);
        grid.setFieldSeparator(separator);
        grid.AddItem("before");
        grid.AddItem(text);
        grid.AddItem("after");
        QCOMPARE(grid.Rows(), 3);
        grid.setBookmark(grid.RowBookmark(1));
        QCOMPARE(currentRow(grid), cells);
        QCOMPARE(shownRow(grid, 1), cells);
    }

    void bookmarksAndMovesShouldMapToRowsAndStartAfreshAfterRemoveAll()
    {
        SSOleDBGrid grid;
        addReceiptColumns(grid);
        grid.MoveFirst();
        QCOMPARE(grid.Bookmark(), QVariant());
        addRows(grid, 4);
        // The loop of the totals: stop after the row whose index is the last.
        QStringList visited;
        grid.MoveFirst();
        while (grid.AddItemRowIndex(grid.Bookmark()) <= grid.Rows() - 1) {
            visited << grid.Columns("Receipt Number").Text();
            if (grid.AddItemRowIndex(grid.Bookmark()) == grid.Rows() - 1)
                break;
            grid.MoveNext();
        }
        QCOMPARE(visited, (QStringList{"1000", "1001", "1002", "1003"}));
        grid.MoveNext();
        QCOMPARE(grid.Row(), 3);
        grid.MoveFirst();
        grid.MovePrevious();
        QCOMPARE(grid.Row(), 0);
        // Once control returns to the event loop the view's current row follows the grid's.
        grid.MoveLast();
        QTRY_COMPARE(grid.view()->currentIndex().row(), 3);

        const QVariant fourth = grid.RowBookmark(3);
        grid.AddItem("1004");
        QCOMPARE(grid.AddItemRowIndex(fourth), 3); // appending keeps bookmarks
        grid.RemoveAll();
        QCOMPARE(grid.Rows(), 0);
        QCOMPARE(grid.Bookmark(), QVariant());
        QCOMPARE(grid.AddItemRowIndex(fourth), -1);
        QCOMPARE(errorOf([&] { grid.setBookmark(fourth); }), int(err::InvalidPropertyValue));
        grid.AddItem("2000");
        grid.AddItem("2001");
        grid.setBookmark(grid.RowBookmark(1));
        QCOMPARE(grid.AddItemRowIndex(grid.Bookmark()), 1);
        QCOMPARE(grid.Columns("Receipt Number").Text(), QStringLiteral("2001"));
        grid.setBookmark(QVariant());
        QCOMPARE(grid.Row(), -1);
    }

    void columnsShouldBeFoundByNameOrRaise_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("position"); // -1: not found
        QTest::newRow("other case") << "issuingofficername" << 4;
        QTest::newRow("caption is not a name") << "Receipt #" << -1;
        QTest::newRow("blank around") << " Receipt Date" << -1;
        QTest::newRow("empty") << "" << -1;
    }

    void columnsShouldBeFoundByNameOrRaise()
    {
        QFETCH(QString, name);
        QFETCH(int, position);
        SSOleDBGrid grid;
        addReceiptColumns(grid);
        int found = -1;
        QCOMPARE(errorOf([&] { found = grid.Columns(name).Position(); }),
                 position < 0 ? int(err::ItemNotFound) : 0);
        QCOMPARE(found, position);
        QCOMPARE(errorOf([&] { grid.Columns(grid.ColumnCount()); }), int(err::ItemNotFound));
        // Without a current row a cell cannot be written.
        QCOMPARE(errorOf([&] { grid.Columns(0).setText("1"); }), int(err::NoCurrentRecord));
    }

    // A click on the box itself must also move the current row there: the change handler of a
    // reconciliation grid keeps the officer on the row just ticked.
    void officerTickShouldToggleOnlyUnlockedCellsOfAnEnabledGrid_data()
    {
        QTest::addColumn<bool>("locked");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<int>("widthTwips");
        QTest::addColumn<int>("clicks");
        QTest::newRow("one click ticks a narrow box") << false << true << 529 << 1;
        QTest::newRow("two clicks untick a wide box") << false << true << 1440 << 2;
        QTest::newRow("locked column") << true << true << 1440 << 1;
        QTest::newRow("disabled grid") << false << false << 1440 << 1;
    }

    void officerTickShouldToggleOnlyUnlockedCellsOfAnEnabledGrid()
    {
        QFETCH(bool, locked);
        QFETCH(bool, enabled);
        QFETCH(int, widthTwips);
        QFETCH(int, clicks);
        SSOleDBGrid grid;
        grid.resize(500, 300);
        grid.addColumn("Receipt Number", "Receipt #").setLocked(true);
        grid.addColumn("Payment Amount", "Payment Amount").setLocked(true);
        SSColumn& check = grid.addColumn("Check Column", "");
        check.setStyle(ColumnStyle::CheckBox);
        check.setLocked(locked);
        check.setWidth(widthTwips);
        for (const char* row : {"1001\t$100.00", "1002\t$250.00", "1003\t$0.50"})
            grid.AddItem(row);
        grid.setEnabled(enabled);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        grid.MoveFirst();

        // The handler sees the new tick in the model and on the clicked (current) row.
        QList<std::pair<int, bool>> seen;
        connect(&grid, &SSOleDBGrid::Change, this, [&] {
            seen.append({grid.Row(), grid.Columns("Check Column").Value().toBool()});
        });
        for (int i = 0; i < clicks; ++i)
            clickCell(grid, 1, 2);

        const bool toggles = enabled && !locked;
        QList<std::pair<int, bool>> expected;
        for (int i = 0; toggles && i < clicks; ++i)
            expected.append({1, i % 2 == 0});
        QCOMPARE(seen, expected);
        QCOMPARE(shownRow(grid, 1), toggles && clicks == 1 ? u"1002|$250.00|[x]"_qs : u"1002|$250.00|[ ]"_qs);
        QCOMPARE(shownRow(grid, 0) + shownRow(grid, 2), QStringLiteral("1001|$100.00|[ ]1003|$0.50|[ ]"));
    }

    void checkCellsShouldReadTicksFromTextAndValues_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<bool>("ticked");
        QTest::newRow("-1") << "-1" << true;
        QTest::newRow("1") << "1" << true;
        QTest::newRow("true lower") << "true" << true;
        QTest::newRow("False") << "False" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("other text") << "x" << false;
    }

    void checkCellsShouldReadTicksFromTextAndValues()
    {
        QFETCH(QString, field);
        QFETCH(bool, ticked);
        SSOleDBGrid grid;
        grid.addColumn("Receipt Number", "Receipt #");
        grid.addColumn("Check Column", "").setStyle(ColumnStyle::CheckBox);
        grid.AddItem("1001\t" + field);
        grid.MoveFirst();
        SSColumn& check = grid.Columns("Check Column");
        QCOMPARE(check.Value(), QVariant(ticked));
        QCOMPARE(check.Text(), ticked ? QStringLiteral("True") : QStringLiteral("False"));
        check.setValue(!ticked);
        check.setText(field);
        QCOMPARE(check.Value(), QVariant(ticked));
    }

    void currencyColumnShouldShowTheSystemFormat_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("shown");
        const auto amount = [](qint64 units) { return formatCurrency(Currency::fromUnits(units)); };
        QTest::newRow("negative currency") << QVariant::fromValue(Currency::fromUnits(-5)) << amount(-5);
        QTest::newRow("whole number") << QVariant(qint64(42)) << amount(420000);
        QTest::newRow("plain number text") << QVariant(QString("0.5")) << amount(5000);
        QTest::newRow("text that is no number") << QVariant(QString("n/a")) << "n/a";
        QTest::newRow("null") << QVariant() << "";
    }

    void currencyColumnShouldShowTheSystemFormat()
    {
        QFETCH(QVariant, value);
        QFETCH(QString, shown);
        SSOleDBGrid grid;
        grid.addColumn("PYMT_APLD", "Payment Applied").setNumberFormat("CURRENCY");
        grid.addColumn("FUND_AMT", "Amount");
        grid.AddItem("");
        grid.MoveFirst();
        grid.Columns("PYMT_APLD").setValue(value);
        grid.Columns("FUND_AMT").setValue(value);
        QCOMPARE(grid.Columns("PYMT_APLD").Value(), value);
        QCOMPARE(grid.Columns("PYMT_APLD").Text(), shown);
        QCOMPARE(grid.model()->index(0, 0).data().toString(), shown);
        // Without the format a currency value shows as its plain text.
        if (value.userType() == qMetaTypeId<Currency>())
            QCOMPARE(grid.Columns("FUND_AMT").Text(), value.value<Currency>().toPlainText());
    }

    void boundRowsShouldShowWhatRowLoadedWrote()
    {
        SSOleDBGrid grid;
        Adodc data;
        grid.addColumn("FUND_TYP_CD", "Payment Type").setDataField("FUND_TYP_CD");
        grid.addColumn("FUND_RFRNC_NBR", "Check #").setDataField("FUND_RFRNC_NBR");
        SSColumn& amount = grid.addColumn("FUND_AMT", "Payment Amount");
        amount.setDataField("FUND_AMT");
        amount.setNumberFormat("CURRENCY");
        grid.addColumn("FUND_EXPR", "Expiration Date"); // not bound
        grid.addColumn("NO_SUCH", "Missing").setDataField("NO_SUCH_FIELD");

        QStringList seenBeforeRewrite;
        connect(&grid, &SSOleDBGrid::RowLoaded, this, [&](const QVariant& bookmark) {
            QCOMPARE(grid.Bookmark(), bookmark);
            seenBeforeRewrite << currentRow(grid);
            const QString type = grid.Columns("FUND_TYP_CD").Text();
            grid.Columns("FUND_EXPR").setText(type == "R" ? "12/2006" : "N/A");
            if (type == "C")
                grid.Columns("FUND_RFRNC_NBR").setText("N/A");
            grid.Columns("FUND_TYP_CD").setText(type == "K" ? "Check" : type == "C" ? "Cash" : "Other");
        });
        data.setRecordset(fundsRecordset());
        grid.setDataSource(&data);

        const QString k = formatCurrency(Currency::fromUnits(1005000));
        const QString c = formatCurrency(Currency::fromUnits(-25000));
        QCOMPARE(seenBeforeRewrite, (QStringList{"K|1001|" + k + "||", "C||" + c + "||", "R|77|||"}));
        QCOMPARE(shownRow(grid, 0), "Check|1001|" + k + "|N/A|");
        QCOMPARE(shownRow(grid, 1), "Cash|N/A|" + c + "|N/A|");
        QCOMPARE(shownRow(grid, 2), QStringLiteral("Other|77||12/2006|"));
        QCOMPARE(grid.Row(), 0);
        QCOMPARE(grid.Columns("FUND_AMT").Value().value<Currency>(), Currency::fromUnits(1005000));
    }

    void newRecordsetShouldReloadTheBoundGrid()
    {
        SSOleDBGrid grid;
        Adodc data;
        grid.addColumn("ACCT_RCVBL_NBR", "AR").setDataField("ACCT_RCVBL_NBR");
        QSignalSpy loaded(&grid, &SSOleDBGrid::RowLoaded);
        grid.setDataSource(&data); // no record set yet: nothing to load
        QCOMPARE(grid.Rows(), 0);

        auto first = std::make_shared<Recordset>();
        first->appendField("ACCT_RCVBL_NBR", FieldType::Long);
        for (qint64 n : {30, 10, 20})
            first->appendRecord({n});
        first->setSort("ACCT_RCVBL_NBR");
        data.setRecordset(first);
        QCOMPARE(shownRow(grid, 0) + shownRow(grid, 1) + shownRow(grid, 2), QStringLiteral("102030"));

        data.setRecordset(std::make_shared<Recordset>());
        QCOMPARE(grid.Rows(), 0);
        QCOMPARE(grid.model()->rowCount(), 0);
        QCOMPARE(loaded.count(), 3);
    }

    void columnLayoutAndStyleSetsShouldReachTheView()
    {
        SSOleDBGrid grid;
        addReceiptColumns(grid);
        addRows(grid, 1);
        QFont unbold = grid.StyleSets("UNBOLD").Font();
        unbold.setBold(false);
        grid.StyleSets("UNBOLD").setFont(unbold);
        QFont bold = grid.Font();
        bold.setBold(true);
        grid.setFont(bold);
        for (int c = 0; c < 5; ++c) { // the last column keeps the grid's bold font
            grid.Columns(c).setStyleSet("UNBOLD");
            grid.Columns(c).setHeadStyleSet("unbold");
        }
        grid.setCaption("Receipts");
        grid.Columns("Confirmation Number").setVisible(false);
        grid.Columns("Total Receipt Amount").setAlignment(ColumnAlignment::Right);
        grid.Columns("Receipt Date").setAlignment(ColumnAlignment::Center);
        grid.Columns("Receipt Number").setWidth(1720);

        QTableView* view = grid.view();
        const auto alignment = [&](int column) {
            return grid.model()->index(0, column).data(Qt::TextAlignmentRole).value<Qt::Alignment>() &
                   Qt::AlignHorizontal_Mask;
        };
        QVERIFY(view->isColumnHidden(3));
        QCOMPARE(view->columnWidth(0), twips(1720));
        QCOMPARE(alignment(0), Qt::AlignLeft);
        QCOMPARE(alignment(1), Qt::AlignHCenter);
        QCOMPARE(alignment(2), Qt::AlignRight);
        QCOMPARE(grid.model()->headerData(4, Qt::Horizontal).toString(),
                 QStringLiteral("Issuing Registry#:Name"));
        QCOMPARE(grid.findChild<QLabel*>("caption")->text(), QStringLiteral("Receipts"));
        grid.Columns("Confirmation Number").setVisible(true);
        QVERIFY(!view->isColumnHidden(3));

        QAbstractItemModel* model = grid.model();
        for (int c = 0; c < 5; ++c) {
            QCOMPARE(model->index(0, c).data(Qt::FontRole).value<QFont>().bold(), false);
            QCOMPARE(model->headerData(c, Qt::Horizontal, Qt::FontRole).value<QFont>().bold(), false);
        }
        QVERIFY(!model->index(0, 5).data(Qt::FontRole).isValid());
        QVERIFY(view->font().bold() && view->horizontalHeader()->font().bold());
    }

    void clickShouldSeeTheUpdatedSelection()
    {
        SSOleDBGrid grid;
        grid.resize(600, 300);
        addReceiptColumns(grid);
        addRows(grid, 5);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));

        QList<QList<QVariant>> selections;
        connect(&grid, &SSOleDBGrid::Click, this, [&] {
            QList<QVariant> selected;
            for (int i = 0; i < grid.SelBookmarks().Count(); ++i)
                selected << grid.SelBookmarks().Item(i);
            selections << selected;
        });
        clickCell(grid, 3, 0);
        clickCell(grid, 1, 1, Qt::ControlModifier);
        QCOMPARE(selections,
                 (QList<QList<QVariant>>{{grid.RowBookmark(3)}, {grid.RowBookmark(1), grid.RowBookmark(3)}}));
        QCOMPARE(grid.Columns("Receipt Number").Text(), QStringLiteral("1001"));
        QVERIFY(errorOf([&] { grid.SelBookmarks().Item(2); }) != 0);

        grid.SelBookmarks().RemoveAll();
        grid.SelBookmarks().Add(grid.RowBookmark(4));
        QCOMPARE(grid.SelBookmarks().Count(), 1);
        QCOMPARE(grid.SelBookmarks().Item(0), grid.RowBookmark(4));
    }

    void firstRowShouldScrollAndReadBack()
    {
        SSOleDBGrid grid;
        grid.resize(400, 200);
        addReceiptColumns(grid);
        QCOMPARE(grid.FirstRow(), QVariant());
        for (int i = 0; i < 200; ++i)
            grid.AddItem(QString::number(i));
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));

        grid.setFirstRow(QVariant()); // what an empty grid gave: nothing moves
        QCOMPARE(grid.FirstRow(), grid.RowBookmark(0));
        grid.setFirstRow(grid.RowBookmark(120));
        QCOMPARE(grid.FirstRow(), grid.RowBookmark(120));
        // Moving the current row within the visible rows leaves the first row where it is.
        grid.setBookmark(grid.RowBookmark(121));
        QTRY_COMPARE(grid.view()->currentIndex().row(), 121);
        QCOMPARE(grid.FirstRow(), grid.RowBookmark(120));
    }

    void modelShouldPassTheItemModelTesterAndRedrawOffHoldTheView()
    {
        SSOleDBGrid grid;
        QAbstractItemModelTester tester(grid.model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        addReceiptColumns(grid);
        grid.addColumn("Check Column", "").setStyle(ColumnStyle::CheckBox);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        grid.setRedraw(false);
        QVERIFY(!grid.view()->viewport()->updatesEnabled());
        for (int i = 0; i < 50; ++i)
            grid.AddItem(QStringLiteral("%1\t\t\t\t\t\t%2").arg(i).arg(i % 2));
        grid.setRedraw(true);
        QVERIFY(grid.view()->viewport()->updatesEnabled());
        QTRY_COMPARE(grid.view()->model()->rowCount(), 50);
        grid.MoveFirst();
        grid.Columns("Receipt Date").setText("01/26/2005");
        grid.Columns("Check Column").setValue(true);
        grid.addColumn("Late", "Late");
        QCOMPARE(grid.model()->columnCount(), 8);
        grid.RemoveAll();
        grid.AddItem("again");
        QTRY_COMPARE(grid.view()->model()->rowCount(), 1);

        Adodc data;
        data.setRecordset(fundsRecordset());
        grid.Columns(0).setDataField("FUND_TYP_CD");
        grid.setDataSource(&data);
        QCOMPARE(grid.model()->rowCount(), 3);
    }
};

QTEST_MAIN(TestGrid)
#include "tst_grid.moc"
