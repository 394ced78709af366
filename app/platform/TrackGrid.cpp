#include "TrackGrid.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QSortFilterProxyModel>
#include <QTableView>

#include <algorithm>

namespace tracklift {

namespace {

// Sorts straight on the table's values, without a QVariant per comparison.
class TrackSortProxy final : public QSortFilterProxyModel {
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override
    {
        if (const auto* table = qobject_cast<const TrackTableModel*>(sourceModel()))
            return table->lessThan(left.row(), right.row(), left.column());
        return QSortFilterProxyModel::lessThan(left, right);
    }
};

}  // namespace

TrackGrid::TrackGrid(QTableView* view, QObject* parent) : QObject(parent), m_view(view), m_proxy(new TrackSortProxy(this))
{
    m_proxy->setSortRole(TrackTableModel::SortKeyRole);
    m_proxy->setSortCaseSensitivity(Qt::CaseInsensitive);
    m_proxy->setDynamicSortFilter(false);  // ticking a box must not move rows
    connect(m_view, &QTableView::doubleClicked, this, [this](const QModelIndex& index) { emit rowDoubleClicked(index.row()); });
}

void TrackGrid::bind(TrackTableModel* table)
{
    m_table = table;
    if (m_proxy->sourceModel() != table)
        m_proxy->setSourceModel(table);
    if (m_view->model() != m_proxy) {
        m_view->setModel(m_proxy);
        // A cell the user makes current is the active cell again.
        connect(m_view->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] {
            if (!m_settingCurrent)
                m_cellCleared = false;
        });
    }
    // New rows come in table order; a column the user sorted by still holds.
    if (m_proxy->sortColumn() >= 0)
        m_proxy->sort(m_proxy->sortColumn(), m_proxy->sortOrder());
}

int TrackGrid::sortColumn() const
{
    return m_proxy->sortColumn();
}

void TrackGrid::sortByColumn(int column, Qt::SortOrder order)
{
    m_view->sortByColumn(column, order);
}

int TrackGrid::pixelsFromTwips(int twips) const
{
    // 1,440 twips to the inch: 15 twips per pixel at 96 dpi.
    return qRound(twips * m_view->logicalDpiX() / 1440.0);
}

void TrackGrid::setColumnHidden(int column, bool hidden)
{
    m_view->setColumnHidden(column, hidden);
}

bool TrackGrid::isColumnHidden(int column) const
{
    return m_view->isColumnHidden(column);
}

void TrackGrid::setColumnWidthTwips(int column, int twips)
{
    m_view->setColumnWidth(column, pixelsFromTwips(twips));
}

void TrackGrid::setStretchColumn(int column)
{
    QHeaderView* header = m_view->horizontalHeader();
    header->setStretchLastSection(false);
    for (int c = 0; c < header->count(); ++c)
        header->setSectionResizeMode(c, c == column ? QHeaderView::Stretch : QHeaderView::Interactive);
}

void TrackGrid::setColumnHeader(int column, const QString& text)
{
    if (m_table)
        m_table->setHeaderText(column, text);
}

void TrackGrid::setColumnCheckBox(int column, bool checkBox)
{
    if (m_table)
        m_table->setColumnCheckable(column, checkBox);
}

int TrackGrid::rowCount() const
{
    return m_table ? m_proxy->rowCount() : 0;
}

GridRow TrackGrid::firstRow() const
{
    return rowCount() > 0 ? 0 : kNoRow;
}

GridRow TrackGrid::lastRow() const
{
    return rowCount() > 0 ? rowCount() - 1 : kNoRow;
}

GridRow TrackGrid::nextRow(GridRow row) const
{
    return row >= 0 && row + 1 < rowCount() ? row + 1 : kNoRow;
}

GridRow TrackGrid::previousRow(GridRow row) const
{
    return row > 0 && row < rowCount() ? row - 1 : kNoRow;
}

void TrackGrid::setRowHidden(GridRow row, bool hidden)
{
    if (row >= 0 && row < rowCount())
        m_view->setRowHidden(row, hidden);
}

void TrackGrid::beginRowVisibilityChanges()
{
    // A header that does not paint skips placing each row it hides or shows.
    if (m_visibilityBatch++ == 0)
        m_view->verticalHeader()->setUpdatesEnabled(false);
}

void TrackGrid::endRowVisibilityChanges()
{
    if (m_visibilityBatch == 0 || --m_visibilityBatch > 0)
        return;
    m_view->verticalHeader()->setUpdatesEnabled(true);
    m_view->viewport()->update();
}

bool TrackGrid::isRowHidden(GridRow row) const
{
    return row >= 0 && row < rowCount() && m_view->isRowHidden(row);
}

void TrackGrid::setRowSelected(GridRow row, bool selected)
{
    if (row < 0 || row >= rowCount())
        return;
    m_view->selectionModel()->select(m_proxy->index(row, 0),
                                     (selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) |
                                         QItemSelectionModel::Rows);
}

bool TrackGrid::isRowSelected(GridRow row) const
{
    return row >= 0 && row < rowCount() && m_view->selectionModel()->isRowSelected(row, {});
}

GridRow TrackGrid::activeRow() const
{
    const QModelIndex current = m_table ? m_view->currentIndex() : QModelIndex();
    return current.isValid() ? current.row() : kNoRow;
}

void TrackGrid::setActiveRow(GridRow row)
{
    m_settingCurrent = true;
    if (row < 0 || row >= rowCount()) {
        m_view->setCurrentIndex({});
    } else {
        // The view keeps a current cell; it stands for the row only.
        const int column = m_view->currentIndex().isValid() ? m_view->currentIndex().column() : TrackTableModel::Title;
        m_view->setCurrentIndex(m_proxy->index(row, column));
        m_view->scrollTo(m_proxy->index(row, column));
    }
    m_settingCurrent = false;
    m_cellCleared = true;
}

GridCell TrackGrid::activeCell() const
{
    const QModelIndex current = m_table ? m_view->currentIndex() : QModelIndex();
    return current.isValid() && !m_cellCleared ? GridCell{current.row(), current.column()} : GridCell{};
}

void TrackGrid::setActiveCell(GridCell cell)
{
    m_settingCurrent = true;
    if (cell.isNull() || cell.row >= rowCount() || cell.column >= TrackTableModel::ColumnCount) {
        m_view->setCurrentIndex({});
    } else {
        const QModelIndex index = m_proxy->index(cell.row, cell.column);
        m_view->setCurrentIndex(index);
        m_view->scrollTo(index);
    }
    m_settingCurrent = false;
    m_cellCleared = false;
}

void TrackGrid::scrollToRow(GridRow row)
{
    if (row >= 0 && row < rowCount())
        m_view->scrollTo(m_proxy->index(row, TrackTableModel::Title));
}

int TrackGrid::tableRow(GridRow row) const
{
    if (row < 0 || row >= rowCount())
        return -1;
    return m_proxy->mapToSource(m_proxy->index(row, 0)).row();
}

QVariant TrackGrid::cellValue(GridRow row, int column) const
{
    return m_table ? m_table->value(tableRow(row), column) : QVariant();
}

QString TrackGrid::cellText(GridRow row, int column) const
{
    return m_table ? m_table->text(tableRow(row), column) : QString();
}

bool TrackGrid::setCellValue(GridRow row, int column, const QVariant& value)
{
    return m_table && m_table->setField(tableRow(row), column, value);
}

void TrackGrid::setCellSelected(GridCell cell, bool selected)
{
    if (cell.isNull() || cell.row >= rowCount())
        return;
    m_view->selectionModel()->select(m_proxy->index(cell.row, cell.column),
                                     selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect);
}

GridRow TrackGrid::lastRowWithSelection() const
{
    GridRow last = kNoRow;
    if (!m_table)
        return last;
    for (const QItemSelectionRange& range : m_view->selectionModel()->selection())
        last = std::max(last, range.bottom());
    return last;
}

void TrackGrid::resetAppearances()
{
    if (m_table)
        m_table->clearAppearances();
}

void TrackGrid::setCellAppearance(GridCell cell, const QString& name)
{
    if (m_table && !cell.isNull())
        m_table->setAppearance(tableRow(cell.row), cell.column, name);
}

}  // namespace tracklift
