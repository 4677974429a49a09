#pragma once

#include "controls/Adodc.h"
#include "controls/ControlState.h"
#include "controls/SSColumn.h"

#include <memory>
#include <QFont>
#include <QPointer>
#include <QVariant>
#include <QWidget>
#include <vector>

class QAbstractItemModel;
class QLabel;
class QTableView;

namespace tavro {

class SSOleDBGrid;

/// \brief A named style set of a grid: a font for the cells or headings of the columns that
/// name it.
class SSStyleSet
{
public:
    SSStyleSet(SSOleDBGrid* grid, QString name, QFont font);
    QString Name() const { return m_name; }
    QFont Font() const { return m_font; }
    void setFont(const QFont& font);

private:
    SSOleDBGrid* m_grid;
    QString m_name;
    QFont m_font;
};

/// \brief The bookmarks of the rows the officer selected, in row order.
class SSSelBookmarks
{
public:
    explicit SSSelBookmarks(SSOleDBGrid* grid) : m_grid(grid) {}
    int Count() const;
    /// Raises ClassicError 9 for an index outside 0..Count()-1.
    QVariant Item(int index) const;
    /// Selects the row of \a bookmark as well.
    void Add(const QVariant& bookmark);
    /// Clears the selection.
    void RemoveAll();

private:
    const std::vector<int>& rows() const;
    SSOleDBGrid* m_grid;
};

/// \brief The data grid: columns with names, rows added as separated text or loaded from a
/// bound data control, a current row moved by the program, and check-box cells.
///
/// One QTableView over one table model (no widget per cell), under a caption bar; it stays
/// responsive with hundreds of thousands of rows: added rows reach the view in one batch when
/// control returns to the event loop (or at once when the program asks about the view).
///
/// \code
/// grid->addColumn("Receipt Number", "Receipt #");
/// grid->setFieldSeparator("\t");
/// grid->AddItem("1001\t01/26/2005\t$12.50\t\t\t\t");
/// for (grid->MoveFirst(); ...; grid->MoveNext())
///     total += grid->Columns("Receipt Number").Text();
/// \endcode
///
/// Bookmarks are the rows' indexes (QVariant int): stable while rows are only appended; after
/// RemoveAll() (and after a bound reload) they start again at 0. A null bookmark means "no row".
///
/// The officer changes cells only by ticking check-box cells of columns that are not Locked;
/// text cells are changed by the officer only when AllowUpdate is on. Click() is raised when
/// the officer clicks a cell (the selection is already updated), Change() after the officer
/// changed a cell (the model already holds the new value).
class SSOleDBGrid : public ClassicControl<QWidget>
{
    Q_OBJECT
public:
    explicit SSOleDBGrid(QWidget* parent = nullptr);
    ~SSOleDBGrid() override;

    // Columns.
    /// The column of that name (names compare case-insensitively); raises ClassicError 3265
    /// when there is none.
    SSColumn& Columns(const QString& name);
    /// The same for a name written as an ASCII literal, found without building a QString
    /// (loops over every row read columns by name).
    template <std::size_t N> SSColumn& Columns(const char (&name)[N])
    {
        return Columns(QLatin1String(name, static_cast<qsizetype>(N - 1)));
    }
    SSColumn& Columns(QLatin1String name);
    /// The column at that position; raises ClassicError 3265 when out of range.
    SSColumn& Columns(int index);
    int ColumnCount() const { return static_cast<int>(m_columns.size()); }
    SSColumn& addColumn(const QString& name, const QString& caption);

    // Appearance.
    QString Caption() const;
    void setCaption(const QString& caption);
    QFont Font() const { return font(); }
    void setFont(const QFont& font);
    /// The style set of that name, created on first use with the grid's current font.
    SSStyleSet& StyleSets(const QString& name);
    bool Redraw() const { return m_redraw; }
    /// false suspends repainting and view updates; true brings the view up to date and
    /// repaints once.
    void setRedraw(bool redraw);
    bool AllowUpdate() const { return m_allowUpdate; }
    void setAllowUpdate(bool allow);

    // Rows added as text.
    QString FieldSeparator() const { return m_fieldSeparator; }
    void setFieldSeparator(const QString& separator);
    /// Appends a row: the text is split at the field separator and the fields fill the columns
    /// from the left. A trailing separator makes no extra cell; missing fields stay empty; fields
    /// beyond the last column are dropped. In a check-box column "-1", "1" and "True" tick.
    void AddItem(const QString& text);
    void RemoveAll();
    int Rows() const;

    // Current row and bookmarks.
    void MoveFirst();
    void MoveNext();     ///< stays on the last row
    void MovePrevious(); ///< stays on the first row
    void MoveLast();
    /// Index of the current row; -1 when there is none.
    int Row() const { return m_current; }
    /// The current row's bookmark; null when there is no current row.
    QVariant Bookmark() const;
    /// Makes the row of \a bookmark current; a null bookmark clears the current row; a bookmark
    /// of no row raises ClassicError 380.
    void setBookmark(const QVariant& bookmark);
    /// The bookmark of the row at \a index; null when out of range.
    QVariant RowBookmark(int index) const;
    /// The row index of \a bookmark; -1 when it is not a bookmark of a row.
    int AddItemRowIndex(const QVariant& bookmark) const;
    /// Bookmark of the first visible row; null when the grid is empty.
    QVariant FirstRow();
    /// Scrolls so that the row of \a bookmark is the first visible one; a null bookmark does
    /// nothing, a bookmark of no row raises ClassicError 380.
    void setFirstRow(const QVariant& bookmark);
    SSSelBookmarks& SelBookmarks() { return m_selBookmarks; }

    // Bound use.
    Adodc* DataSource() const { return m_dataSource; }
    /// Binds the grid: it shows the data control's record set through the columns' DataField,
    /// raising RowLoaded for each row, and reloads whenever the data control gets a record set.
    /// nullptr unbinds (the rows stay).
    void setDataSource(Adodc* source);

    /// The view and its model, for the officer's interaction and for tests. Both calls first
    /// bring the view up to date with the rows added so far.
    QTableView* view();
    QAbstractItemModel* model();

signals:
    void Click();
    void Change();
    /// A bound row was loaded and is current: the handler may read and rewrite its cells.
    void RowLoaded(const QVariant& Bookmark);

private:
    friend class SSColumn;
    friend class SSStyleSet;
    friend class SSSelBookmarks;
    friend class GridModel;
    class Private;

    void reloadBound();
    void publishRows();
    void syncViewSoon();
    void syncView();
    const QVariant& cell(int row, int column) const;
    QVariant currentValue(int column) const;
    QString currentText(int column) const;
    void setCurrentValue(int column, const QVariant& value);
    void rebuildNameIndex();
    void columnChanged(int position, bool layout);
    void styleSetChanged();

    std::vector<std::unique_ptr<SSColumn>> m_columns;
    std::unique_ptr<Private> d;
    SSSelBookmarks m_selBookmarks;
    QPointer<Adodc> m_dataSource;
    QString m_fieldSeparator = QStringLiteral("\t");
    int m_current = -1;
    bool m_redraw = true;
    bool m_allowUpdate = false;
};

} // namespace tavro
