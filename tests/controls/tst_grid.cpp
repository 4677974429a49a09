#include "controls/SSOleDBGrid.h"
#include "runtime/ClassicError.h"

#include <QTableView>
#include <QTest>

using namespace tavro;

namespace {
// The receipts list as the screen builds it, and receipts 1000, 1001, ... in its first column.
void addReceiptColumns(SSOleDBGrid& grid, int rows = 0)
{
    for (const auto& [name, caption] : std::initializer_list<std::pair<const char*, const char*>>{
             {"Receipt Number", "Receipt #"},
             {"Receipt Date", "Receipt Date"},
             {"Total Receipt Amount", "Receipt Amount"},
             {"Confirmation Number", "Confirmation #"},
             {"ISSUINGOFFICERNAME", "Issuing Registry#:Name"},
             {"ENTERINGOFFICERNAME", "Entering Registry#:Name"}})
        grid.addColumn(name, caption);
    for (int i = 0; i < rows; ++i)
        grid.AddItem(QString::number(1000 + i));
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

int errorOf(const std::function<void()>& body)
{
    const auto raised = captureError(body);
    return raised ? raised->number() : 0;
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
        QTest::newRow("more fields are dropped") << "\t" << u"1\t2\t3\t4\t5\t6\t7\t8"_qs << u"1|2|3|4|5|6"_qs;
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
        QStringList current;
        for (int c = 0; c < grid.ColumnCount(); ++c)
            current << grid.Columns(c).Text();
        QCOMPARE(current.join('|'), cells);
        QCOMPARE(shownRow(grid, 1), cells);
    }

    void bookmarksColumnsAndMovesShouldMapToRowsAndStartAfreshAfterRemoveAll()
    {
        SSOleDBGrid grid;
        grid.MoveFirst();
        QCOMPARE(grid.Bookmark(), QVariant());
        addReceiptColumns(grid, 4);
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
        // Once control returns to the event loop the view's current row follows the grid's.
        QTRY_COMPARE(grid.view()->currentIndex().row(), 3);

        const QVariant fourth = grid.RowBookmark(3);
        grid.AddItem("1004");
        QCOMPARE(grid.AddItemRowIndex(fourth), 3); // appending keeps bookmarks
        grid.RemoveAll();
        QCOMPARE(grid.Rows(), 0);
        QCOMPARE(grid.Bookmark(), QVariant());
        QCOMPARE(grid.AddItemRowIndex(fourth), -1);
        QCOMPARE(errorOf([&] { grid.setBookmark(fourth); }), int(err::InvalidPropertyValue));
        QCOMPARE(errorOf([&] { grid.Columns(0).setText("1"); }), int(err::NoCurrentRecord));
        // Columns go by name, whatever the case; a caption is no name.
        QCOMPARE(grid.Columns("issuingofficername").Position(), 4);
        for (const QString& name : {u"Receipt #"_qs, u" Receipt Date"_qs, QString()})
            QCOMPARE(errorOf([&] { grid.Columns(name); }), int(err::ItemNotFound));
        QCOMPARE(errorOf([&] { grid.Columns(grid.ColumnCount()); }), int(err::ItemNotFound));
        grid.AddItem("2000");
        grid.AddItem("2001");
        grid.setBookmark(grid.RowBookmark(1));
        QCOMPARE(grid.AddItemRowIndex(grid.Bookmark()), 1);
        QCOMPARE(grid.Columns("Receipt Number").Text(), QStringLiteral("2001"));
        grid.setBookmark(QVariant());
        QCOMPARE(grid.Row(), -1);
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
        using Ticks = QList<std::pair<int, bool>>;
        Ticks seen;
        connect(&grid, &SSOleDBGrid::Change, this, [&] {
            seen.append({grid.Row(), grid.Columns("Check Column").Value().toBool()});
        });
        for (int i = 0; i < clicks; ++i)
            QTest::mouseClick(grid.view()->viewport(), Qt::LeftButton, {},
                              grid.view()->visualRect(grid.model()->index(1, 2)).center());

        const bool toggles = enabled && !locked;
        QCOMPARE(seen, (toggles ? Ticks{{1, true}, {1, false}}.first(clicks) : Ticks()));
        QCOMPARE(shownRow(grid, 1), toggles && clicks == 1 ? u"1002|$250.00|[x]"_qs : u"1002|$250.00|[ ]"_qs);
        QCOMPARE(shownRow(grid, 0) + shownRow(grid, 2), QStringLiteral("1001|$100.00|[ ]1003|$0.50|[ ]"));
    }

    void readValueShouldGiveWhatValueGives()
    {
        SSOleDBGrid grid;
        SSColumn& number = grid.addColumn("Receipt Number", "Receipt #");
        SSColumn& check = grid.addColumn("Check Column", "");
        check.setStyle(ColumnStyle::CheckBox);
        const auto read = [](const SSColumn& column) {
            return column.readValue([](const QVariant& value) { return value; });
        };
        QCOMPARE(read(number), number.Value()); // no current row
        for (const char* row : {"1001\t1", "1002\t"})
            grid.AddItem(row);
        grid.MoveFirst();
        check.setValue(QStringLiteral("True"));
        for (int row = 0; row < 2; ++row, grid.MoveNext()) {
            QCOMPARE(read(number), number.Value());
            QCOMPARE(read(check), check.Value());
            QCOMPARE(read(check).typeId(), QMetaType::Bool);
        }
    }
};

QTEST_MAIN(TestGrid)
#include "tst_grid.moc"
