#include "controls/SSOleDBGrid.h"

#include "controls/Twips.h"
#include "runtime/Classic.h"
#include "runtime/ClassicError.h"
#include "runtime/Currency.h"
#include "runtime/CurrencyFormat.h"

#include <algorithm>
#include <map>
#include <QAbstractTableModel>
#include <QApplication>
#include <QDate>
#include <QHash>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>

namespace tavro {

namespace {

const QVariant& emptyCell()
{
    static const QVariant empty{QString()};
    return empty;
}

bool isTicked(QStringView text)
{
    const QStringView t = text.trimmed();
    return t == u"-1" || t == u"1" || t.compare(u"true", Qt::CaseInsensitive) == 0;
}

bool isTicked(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool();
    case QMetaType::QString:
        return isTicked(QStringView(value.toString()));
    default:
        return value.isValid() && !value.isNull() && value.toDouble() != 0;
    }
}

// Cell values show as their classic text; amounts of a "CURRENCY" column as the locale's
// currency. Both conversions are the runtime's, so a cell reads back as what was stored.
std::optional<Currency> currencyOf(const QVariant& value)
{
    if (value.isNull() || value.typeId() == QMetaType::QDate)
        return std::nullopt;
    try {
        return vb::CCur(value);
    } catch (const ClassicError&) {
        return std::nullopt; // not an amount, or out of the currency range: shown as it is
    }
}

QString plainText(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return {};
    return vb::CStr(value);
}

Qt::Alignment alignmentFlags(ColumnAlignment alignment)
{
    switch (alignment) {
    case ColumnAlignment::Left:
        return Qt::AlignLeft | Qt::AlignVCenter;
    case ColumnAlignment::Right:
        return Qt::AlignRight | Qt::AlignVCenter;
    case ColumnAlignment::Center:
        return Qt::AlignHCenter | Qt::AlignVCenter;
    }
    return Qt::AlignLeft | Qt::AlignVCenter;
}

} // namespace

// What a cell shows in its column.
static QString displayText(const QVariant& value, const SSColumn& column)
{
    if (column.Style() == ColumnStyle::CheckBox)
        return isTicked(value) ? QStringLiteral("True") : QStringLiteral("False");
    if (!value.isValid() || value.isNull())
        return QString();
    if (column.NumberFormat().compare(QLatin1String("CURRENCY"), Qt::CaseInsensitive) == 0) {
        if (const std::optional<Currency> amount = currencyOf(value))
            return formatCurrency(*amount);
    }
    return plainText(value);
}

/// The grid's one table model: rows published so far, columns as the grid has them.
class GridModel : public QAbstractTableModel
{
public:
    explicit GridModel(SSOleDBGrid* grid) : QAbstractTableModel(grid), m_grid(grid) {}

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : m_grid->ColumnCount();
    }
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    // Access for the grid, which owns the rows.
    void beginInsertRowsAt(int first, int last) { beginInsertRows(QModelIndex(), first, last); }
    void endInsertRowsNow() { endInsertRows(); }
    void beginReset() { beginResetModel(); }
    void endReset() { endResetModel(); }
    void beginInsertColumnAt(int column) { beginInsertColumns(QModelIndex(), column, column); }
    void endInsertColumnNow() { endInsertColumns(); }

private:
    bool isCell(const QModelIndex& index) const
    {
        return index.isValid() && index.model() == this && index.row() < rowCount() &&
               index.column() < columnCount();
    }
    QFont styleFont(const QString& styleSet, bool* found) const;
    SSOleDBGrid* m_grid;
};

class SSOleDBGrid::Private
{
public:
    GridModel* model = nullptr;
    QTableView* view = nullptr;
    QLabel* caption = nullptr;
    std::vector<QList<QVariant>> rows;
    int published = 0; // rows the model has announced to the view
    bool publishQueued = false;
    bool syncQueued = false;
    int syncing = 0; // > 0 while the grid moves the view's current index itself
    QHash<QString, int> columnByName;
    std::map<QString, std::unique_ptr<SSStyleSet>> styleSets; // by lower-case name
    std::vector<int> selectedRows;
    bool selectionStale = true;
};

int GridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_grid->d->published;
}

QFont GridModel::styleFont(const QString& styleSet, bool* found) const
{
    *found = false;
    if (styleSet.isEmpty())
        return QFont();
    const auto it = m_grid->d->styleSets.find(styleSet.toLower());
    if (it == m_grid->d->styleSets.end())
        return QFont();
    *found = true;
    return it->second->Font();
}

QVariant GridModel::data(const QModelIndex& index, int role) const
{
    if (!isCell(index))
        return QVariant();
    const SSColumn& column = *m_grid->m_columns[static_cast<size_t>(index.column())];
    const QVariant& value = m_grid->cell(index.row(), index.column());
    const bool check = column.Style() == ColumnStyle::CheckBox;
    switch (role) {
    case Qt::DisplayRole:
        return check ? QVariant() : QVariant(displayText(value, column));
    case Qt::EditRole:
        return displayText(value, column);
    case Qt::CheckStateRole:
        if (!check)
            return QVariant();
        return isTicked(value) ? Qt::Checked : Qt::Unchecked;
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(check ? Qt::Alignment(Qt::AlignCenter)
                                         : alignmentFlags(column.Alignment()));
    case Qt::FontRole: {
        bool found = false;
        const QFont font = styleFont(column.StyleSet(), &found);
        return found ? QVariant(font) : QVariant();
    }
    default:
        return QVariant();
    }
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Vertical)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (section < 0 || section >= m_grid->ColumnCount())
        return QVariant();
    const SSColumn& column = *m_grid->m_columns[static_cast<size_t>(section)];
    switch (role) {
    case Qt::DisplayRole:
        return column.Caption();
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(alignmentFlags(column.Alignment()));
    case Qt::FontRole: {
        bool found = false;
        const QFont font = styleFont(column.HeadStyleSet(), &found);
        return found ? QVariant(font) : QVariant();
    }
    default:
        return QVariant();
    }
}

Qt::ItemFlags GridModel::flags(const QModelIndex& index) const
{
    if (!isCell(index))
        return Qt::NoItemFlags;
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    const SSColumn& column = *m_grid->m_columns[static_cast<size_t>(index.column())];
    if (column.Locked())
        return result;
    if (column.Style() == ColumnStyle::CheckBox)
        result |= Qt::ItemIsUserCheckable;
    else if (m_grid->AllowUpdate())
        result |= Qt::ItemIsEditable;
    return result;
}

bool GridModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    // Only the view calls this, for the officer's edits; the program writes through SSColumn.
    if (!isCell(index))
        return false;
    const Qt::ItemFlags itemFlags = flags(index);
    QVariant stored;
    if (role == Qt::CheckStateRole && itemFlags.testFlag(Qt::ItemIsUserCheckable))
        stored = QVariant(value.toInt() == Qt::Checked);
    else if (role == Qt::EditRole && itemFlags.testFlag(Qt::ItemIsEditable))
        stored = QVariant(value.toString());
    else
        return false;

    QList<QVariant>& row = m_grid->d->rows[static_cast<size_t>(index.row())];
    if (row.size() <= index.column())
        row.resize(m_grid->ColumnCount(), emptyCell());
    row[index.column()] = stored;
    emit dataChanged(index, index);
    emit m_grid->Change();
    return true;
}

namespace {

// Check cells: the box centred in the cell, toggled by a click anywhere in the cell or by Space.
class CheckCellDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const QVariant state = index.data(Qt::CheckStateRole);
        if (!state.isValid()) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        const QWidget* widget = opt.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        opt.text.clear();
        opt.features &= ~QStyleOptionViewItem::HasCheckIndicator;
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

        QStyleOptionViewItem box = option;
        box.features |= QStyleOptionViewItem::HasCheckIndicator;
        const QRect indicator = style->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &box, widget);
        box.rect = QRect(QPoint(0, 0), indicator.size());
        box.rect.moveCenter(option.rect.center());
        box.state = option.state & ~QStyle::State_HasFocus;
        box.state |= state.toInt() == Qt::Checked ? QStyle::State_On : QStyle::State_Off;
        style->drawPrimitive(QStyle::PE_IndicatorItemViewItemCheck, &box, painter, widget);
    }

    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override
    {
        const Qt::ItemFlags itemFlags = model->flags(index);
        const bool checkable =
            itemFlags.testFlag(Qt::ItemIsUserCheckable) && itemFlags.testFlag(Qt::ItemIsEnabled);
        if (checkable && event->type() == QEvent::MouseButtonRelease) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() != Qt::LeftButton || !option.rect.contains(mouse->position().toPoint()))
                return false;
            const bool ticked = index.data(Qt::CheckStateRole).toInt() == Qt::Checked;
            return model->setData(index, ticked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
        }
        if (checkable && event->type() == QEvent::MouseButtonPress)
            return false; // the view makes the row current first; the release ticks it
        if (checkable && event->type() == QEvent::MouseButtonDblClick)
            return true; // the press and release already toggled it; no editor either
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    }
};

} // namespace

// ---- SSStyleSet and SSSelBookmarks ----

SSStyleSet::SSStyleSet(SSOleDBGrid* grid, QString name, QFont font)
    : m_grid(grid), m_name(std::move(name)), m_font(std::move(font))
{
}

void SSStyleSet::setFont(const QFont& font)
{
    m_font = font;
    m_grid->styleSetChanged();
}

const std::vector<int>& SSSelBookmarks::rows() const
{
    SSOleDBGrid::Private* d = m_grid->d.get();
    if (d->selectionStale) {
        m_grid->view(); // publishes pending rows
        std::vector<int> rows;
        const QItemSelection selection = d->view->selectionModel()->selection();
        for (const QItemSelectionRange& range : selection) {
            for (int row = range.top(); row <= range.bottom(); ++row)
                rows.push_back(row);
        }
        std::sort(rows.begin(), rows.end());
        rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
        d->selectedRows = std::move(rows);
        d->selectionStale = false;
    }
    return d->selectedRows;
}

int SSSelBookmarks::Count() const
{
    return static_cast<int>(rows().size());
}

QVariant SSSelBookmarks::Item(int index) const
{
    const std::vector<int>& selected = rows();
    if (index < 0 || index >= static_cast<int>(selected.size()))
        raiseError(err::SubscriptOutOfRange);
    return QVariant(selected[static_cast<size_t>(index)]);
}

void SSSelBookmarks::Add(const QVariant& bookmark)
{
    const int row = m_grid->AddItemRowIndex(bookmark);
    if (row < 0)
        raiseError(err::InvalidPropertyValue);
    QTableView* view = m_grid->view();
    view->selectionModel()->select(m_grid->model()->index(row, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

void SSSelBookmarks::RemoveAll()
{
    m_grid->view()->selectionModel()->clearSelection();
}

// ---- SSOleDBGrid ----

SSOleDBGrid::SSOleDBGrid(QWidget* parent)
    : ClassicControl<QWidget>(parent), d(std::make_unique<Private>()), m_selBookmarks(this)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    d->caption = new QLabel(this);
    d->caption->setObjectName(QStringLiteral("caption"));
    d->caption->setAlignment(Qt::AlignCenter);
    d->caption->setFrameShape(QFrame::StyledPanel);
    d->caption->setAutoFillBackground(true);
    d->caption->setBackgroundRole(QPalette::Mid);
    d->caption->hide();
    layout->addWidget(d->caption);

    d->model = new GridModel(this);
    d->view = new QTableView(this);
    d->view->setObjectName(QStringLiteral("view"));
    d->view->setModel(d->model);
    d->view->setItemDelegate(new CheckCellDelegate(d->view));
    d->view->setSelectionBehavior(QAbstractItemView::SelectRows);
    d->view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    d->view->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    d->view->setWordWrap(false);
    d->view->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    d->view->verticalHeader()->hide();
    // Fixed row heights keep the view independent of the row count.
    d->view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    d->view->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    d->view->horizontalHeader()->setHighlightSections(false);
    d->view->horizontalHeader()->setSectionsMovable(false);
    layout->addWidget(d->view);
    setFocusProxy(d->view);

    connect(d->view, &QAbstractItemView::clicked, this, [this]() { emit Click(); });
    QItemSelectionModel* selection = d->view->selectionModel();
    connect(selection, &QItemSelectionModel::currentRowChanged, this, [this](const QModelIndex& current) {
        if (d->syncing == 0)
            m_current = current.isValid() ? current.row() : -1;
    });
    connect(selection, &QItemSelectionModel::selectionChanged, this, [this]() { d->selectionStale = true; });
    connect(d->model, &QAbstractItemModel::modelReset, this, [this]() { d->selectionStale = true; });
}

SSOleDBGrid::~SSOleDBGrid()
{
    // The view asks the model about columns while QWidget's destructor closes it, after the
    // columns are gone: it goes first.
    delete d->view;
    delete d->model;
}

// Columns.

SSColumn& SSOleDBGrid::Columns(const QString& name)
{
    const int exact = d->columnByName.value(name, -1);
    if (exact >= 0)
        return *m_columns[static_cast<size_t>(exact)];
    for (const auto& column : m_columns) {
        if (column->Name().compare(name, Qt::CaseInsensitive) == 0)
            return *column;
    }
    raiseError(err::ItemNotFound);
}

SSColumn& SSOleDBGrid::Columns(QLatin1String name)
{
    for (const auto& column : m_columns) {
        if (column->Name() == name)
            return *column;
    }
    for (const auto& column : m_columns) {
        if (column->Name().compare(name, Qt::CaseInsensitive) == 0)
            return *column;
    }
    raiseError(err::ItemNotFound);
}

SSColumn& SSOleDBGrid::Columns(int index)
{
    if (index < 0 || index >= ColumnCount())
        raiseError(err::ItemNotFound);
    return *m_columns[static_cast<size_t>(index)];
}

SSColumn& SSOleDBGrid::addColumn(const QString& name, const QString& caption)
{
    const int position = ColumnCount();
    d->model->beginInsertColumnAt(position);
    m_columns.push_back(std::make_unique<SSColumn>(this, position, name, caption));
    d->model->endInsertColumnNow();
    rebuildNameIndex();
    columnChanged(position, true);
    return *m_columns.back();
}

void SSOleDBGrid::rebuildNameIndex()
{
    d->columnByName.clear();
    // The first column of a name wins, as a lookup by name finds the first.
    for (int i = ColumnCount() - 1; i >= 0; --i)
        d->columnByName.insert(m_columns[static_cast<size_t>(i)]->Name(), i);
}

void SSOleDBGrid::columnChanged(int position, bool layout)
{
    const SSColumn& column = *m_columns[static_cast<size_t>(position)];
    if (layout) {
        d->view->setColumnHidden(position, !column.Visible());
        d->view->setColumnWidth(position, twips(column.Width()));
    }
    emit d->model->headerDataChanged(Qt::Horizontal, position, position);
    if (d->published > 0)
        emit d->model->dataChanged(d->model->index(0, position), d->model->index(d->published - 1, position));
}

// Appearance.

QString SSOleDBGrid::Caption() const
{
    return d->caption->text();
}

void SSOleDBGrid::setCaption(const QString& caption)
{
    d->caption->setText(caption);
    d->caption->setVisible(!caption.isEmpty());
}

void SSOleDBGrid::setFont(const QFont& font)
{
    QWidget::setFont(font);
    d->view->verticalHeader()->setDefaultSectionSize(QFontMetrics(font).height() + 6);
}

SSStyleSet& SSOleDBGrid::StyleSets(const QString& name)
{
    const QString key = name.toLower();
    auto it = d->styleSets.find(key);
    if (it == d->styleSets.end())
        it = d->styleSets.emplace(key, std::make_unique<SSStyleSet>(this, name, font())).first;
    return *it->second;
}

void SSOleDBGrid::styleSetChanged()
{
    const int columns = ColumnCount();
    if (columns == 0)
        return;
    emit d->model->headerDataChanged(Qt::Horizontal, 0, columns - 1);
    if (d->published > 0)
        emit d->model->dataChanged(d->model->index(0, 0), d->model->index(d->published - 1, columns - 1),
                                   {Qt::FontRole});
}

void SSOleDBGrid::setRedraw(bool redraw)
{
    if (redraw == m_redraw)
        return;
    m_redraw = redraw;
    if (!redraw) {
        setUpdatesEnabled(false);
        return;
    }
    publishRows();
    setUpdatesEnabled(true);
    d->view->viewport()->update();
}

void SSOleDBGrid::setAllowUpdate(bool allow)
{
    m_allowUpdate = allow;
}

// Rows.

void SSOleDBGrid::setFieldSeparator(const QString& separator)
{
    m_fieldSeparator = separator;
}

void SSOleDBGrid::AddItem(const QString& text)
{
    const int columns = ColumnCount();
    QList<QVariant> cells;
    cells.reserve(columns);
    // A trailing separator needs no care: the empty field after it could only fill a cell that
    // stays empty anyway.
    const QStringView rest(text);
    const QStringView separator(m_fieldSeparator);

    qsizetype from = 0;
    while (cells.size() < columns) {
        const qsizetype at = separator.isEmpty() ? -1 : rest.indexOf(separator, from);
        const QStringView field = at < 0 ? rest.mid(from) : rest.mid(from, at - from);
        if (m_columns[static_cast<size_t>(cells.size())]->Style() == ColumnStyle::CheckBox)
            cells.append(QVariant(isTicked(field)));
        else
            cells.append(QVariant(field.toString()));
        if (at < 0)
            break;
        from = at + separator.size();
    }
    d->rows.push_back(std::move(cells));

    // The view learns about new rows in one batch, when control returns to the event loop.
    if (!d->publishQueued) {
        d->publishQueued = true;
        QMetaObject::invokeMethod(this, &SSOleDBGrid::publishRows, Qt::QueuedConnection);
    }
}

void SSOleDBGrid::publishRows()
{
    d->publishQueued = false;
    const int total = static_cast<int>(d->rows.size());
    if (total <= d->published)
        return;
    d->model->beginInsertRowsAt(d->published, total - 1);
    d->published = total;
    d->model->endInsertRowsNow();
}

void SSOleDBGrid::RemoveAll()
{
    d->model->beginReset();
    d->rows.clear();
    d->published = 0;
    m_current = -1;
    d->model->endReset();
}

int SSOleDBGrid::Rows() const
{
    return static_cast<int>(d->rows.size());
}

const QVariant& SSOleDBGrid::cell(int row, int column) const
{
    const QList<QVariant>& cells = d->rows[static_cast<size_t>(row)];
    return column < cells.size() ? cells[column] : emptyCell();
}

QVariant SSOleDBGrid::currentValue(int column) const
{
    if (m_current < 0)
        return QVariant();
    const QVariant& value = cell(m_current, column);
    if (m_columns[static_cast<size_t>(column)]->Style() == ColumnStyle::CheckBox)
        return QVariant(isTicked(value));
    return value;
}

QString SSOleDBGrid::currentText(int column) const
{
    if (m_current < 0)
        return QString();
    const QVariant& value = cell(m_current, column);
    const SSColumn& c = *m_columns[static_cast<size_t>(column)];
    if (value.typeId() == QMetaType::QString && c.NumberFormat().isEmpty() && c.Style() == ColumnStyle::Edit)
        return *static_cast<const QString*>(value.constData()); // the common case, kept cheap
    return displayText(value, c);
}

void SSOleDBGrid::setCurrentValue(int column, const QVariant& value)
{
    if (m_current < 0)
        raiseError(err::NoCurrentRecord);
    QList<QVariant>& cells = d->rows[static_cast<size_t>(m_current)];
    if (cells.size() <= column)
        cells.resize(ColumnCount(), emptyCell());
    if (m_columns[static_cast<size_t>(column)]->Style() == ColumnStyle::CheckBox)
        cells[column] = QVariant(isTicked(value));
    else
        cells[column] = value;
    if (m_current < d->published) {
        const QModelIndex index = d->model->index(m_current, column);
        emit d->model->dataChanged(index, index);
    }
}

// Current row and bookmarks.

void SSOleDBGrid::MoveFirst()
{
    m_current = Rows() > 0 ? 0 : -1;
    syncViewSoon();
}

void SSOleDBGrid::MoveNext()
{
    if (m_current + 1 < Rows()) {
        ++m_current;
        syncViewSoon();
    }
}

void SSOleDBGrid::MovePrevious()
{
    if (m_current > 0) {
        --m_current;
        syncViewSoon();
    }
}

void SSOleDBGrid::MoveLast()
{
    m_current = Rows() - 1;
    syncViewSoon();
}

QVariant SSOleDBGrid::Bookmark() const
{
    return m_current >= 0 ? QVariant(m_current) : QVariant();
}

void SSOleDBGrid::setBookmark(const QVariant& bookmark)
{
    if (!bookmark.isValid() || bookmark.isNull()) {
        m_current = -1;
    } else {
        const int row = AddItemRowIndex(bookmark);
        if (row < 0)
            raiseError(err::InvalidPropertyValue);
        m_current = row;
    }
    syncViewSoon();
}

QVariant SSOleDBGrid::RowBookmark(int index) const
{
    return index >= 0 && index < Rows() ? QVariant(index) : QVariant();
}

int SSOleDBGrid::AddItemRowIndex(const QVariant& bookmark) const
{
    bool ok = bookmark.typeId() == QMetaType::Int; // as Bookmark() gives them
    const int row = ok ? *static_cast<const int*>(bookmark.constData()) : bookmark.toInt(&ok);
    return ok && row >= 0 && row < Rows() ? row : -1;
}

QVariant SSOleDBGrid::FirstRow()
{
    publishRows();
    if (d->published == 0)
        return QVariant();
    const int row = d->view->rowAt(0);
    return QVariant(row >= 0 ? row : d->view->verticalScrollBar()->value());
}

void SSOleDBGrid::setFirstRow(const QVariant& bookmark)
{
    if (!bookmark.isValid() || bookmark.isNull())
        return; // the first row of an empty grid, given back
    const int row = AddItemRowIndex(bookmark);
    if (row < 0)
        raiseError(err::InvalidPropertyValue);
    publishRows();
    d->view->doItemsLayout();
    d->view->verticalScrollBar()->setValue(row);
}

void SSOleDBGrid::syncViewSoon()
{
    // Loops move the current row thousands of times; the view follows once, afterwards.
    if (d->syncQueued)
        return;
    d->syncQueued = true;
    QMetaObject::invokeMethod(this, &SSOleDBGrid::syncView, Qt::QueuedConnection);
}

void SSOleDBGrid::syncView()
{
    d->syncQueued = false;
    publishRows();
    QItemSelectionModel* selection = d->view->selectionModel();
    ++d->syncing;
    if (m_current >= 0 && m_current < d->published) {
        int column = 0;
        while (column < ColumnCount() - 1 && d->view->isColumnHidden(column))
            ++column;
        selection->setCurrentIndex(d->model->index(m_current, column), QItemSelectionModel::NoUpdate);
    } else {
        selection->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    }
    --d->syncing;
}

// Bound use.

void SSOleDBGrid::setDataSource(Adodc* source)
{
    if (m_dataSource)
        disconnect(m_dataSource, nullptr, this, nullptr);
    m_dataSource = source;
    if (!source)
        return;
    connect(source, &Adodc::recordsetChanged, this, &SSOleDBGrid::reloadBound);
    reloadBound();
}

void SSOleDBGrid::reloadBound()
{
    RemoveAll();
    const RecordsetPtr recordset = m_dataSource ? m_dataSource->Recordset() : nullptr;
    if (!recordset)
        return;
    const int columns = ColumnCount();
    std::vector<int> fields(static_cast<size_t>(columns), -1);
    for (int c = 0; c < columns; ++c) {
        const QString& field = m_columns[static_cast<size_t>(c)]->DataField();
        if (!field.isEmpty())
            fields[static_cast<size_t>(c)] = recordset->fieldIndex(field);
    }
    const int records = recordset->RecordCount();
    d->rows.reserve(static_cast<size_t>(records));
    for (int record = 0; record < records; ++record) {
        QList<QVariant> cells;
        cells.reserve(columns);
        for (int c = 0; c < columns; ++c) {
            const int field = fields[static_cast<size_t>(c)];
            QVariant value = field >= 0 ? recordset->valueAt(record, field) : emptyCell();
            if (m_columns[static_cast<size_t>(c)]->Style() == ColumnStyle::CheckBox)
                value = QVariant(isTicked(value));
            cells.append(std::move(value));
        }
        d->rows.push_back(std::move(cells));
        m_current = record;
        emit RowLoaded(QVariant(record));
    }
    m_current = Rows() > 0 ? 0 : -1;
    publishRows();
    syncViewSoon();
}

QTableView* SSOleDBGrid::view()
{
    publishRows();
    return d->view;
}

QAbstractItemModel* SSOleDBGrid::model()
{
    publishRows();
    return d->model;
}

} // namespace tavro
