#pragma once

#include "TrackTableModel.h"

#include <QObject>
#include <QString>
#include <QVariant>

class QSortFilterProxyModel;
class QTableView;

namespace tracklift {

// A row of the grid, by its place in the displayed order; -1 is "none".
using GridRow = int;
inline constexpr GridRow kNoRow = -1;

struct GridCell {
    GridRow row = kNoRow;
    int column = -1;
    bool isNull() const { return row == kNoRow || column < 0; }
    friend bool operator==(const GridCell&, const GridCell&) = default;
};

// Everything the window's logic does with the track grid and its table, in the
// grid's own terms: rows walked first to last in the displayed order (hidden
// rows included), cells by column position, hiding, selection, the active row
// and cell, named appearances and the column layout. The logic never touches
// the view or the model directly, so it is tested without looking at pixels.
class TrackGrid final : public QObject {
    Q_OBJECT
public:
    explicit TrackGrid(QTableView* view, QObject* parent = nullptr);

    // Grid as a whole.
    void bind(TrackTableModel* table);
    QTableView* view() const { return m_view; }
    void setCaption(const QString& caption) { m_caption = caption; }
    QString caption() const { return m_caption; }
    void setColumnHidden(int column, bool hidden);
    bool isColumnHidden(int column) const;
    void setColumnWidthTwips(int column, int twips);
    // This column takes the width the others leave; the rest keep theirs.
    void setStretchColumn(int column);
    void setColumnHeader(int column, const QString& text);
    void setColumnCheckBox(int column, bool checkBox);  // editable check boxes, else read-only
    // The column the rows are sorted by (-1: table order), as a header click sets it.
    int sortColumn() const;
    void sortByColumn(int column, Qt::SortOrder order);

    // Rows.
    int rowCount() const;
    GridRow firstRow() const;
    GridRow lastRow() const;
    GridRow nextRow(GridRow row) const;
    GridRow previousRow(GridRow row) const;
    void setRowHidden(GridRow row, bool hidden);
    // Between these two, hiding and showing many rows costs one layout, not one per row.
    void beginRowVisibilityChanges();
    void endRowVisibilityChanges();
    bool isRowHidden(GridRow row) const;
    void setRowSelected(GridRow row, bool selected);
    bool isRowSelected(GridRow row) const;

    // Active row and cell (the highlighted ones).
    GridRow activeRow() const;
    void setActiveRow(GridRow row);
    GridCell activeCell() const;  // none after setActiveRow until a cell is made active
    void setActiveCell(GridCell cell);

    // Cells by column position.
    QVariant cellValue(GridRow row, int column) const;
    QString cellText(GridRow row, int column) const;
    bool setCellValue(GridRow row, int column, const QVariant& value);
    void setCellSelected(GridCell cell, bool selected);
    // The lowest displayed row holding any selected cell; kNoRow when nothing is selected.
    GridRow lastRowWithSelection() const;
    void scrollToRow(GridRow row);

    // Appearances.
    void resetAppearances();
    void setCellAppearance(GridCell cell, const QString& name);

    // Index of a displayed row in the table.
    int tableRow(GridRow row) const;

signals:
    void rowDoubleClicked(tracklift::GridRow row);

private:
    int pixelsFromTwips(int twips) const;

    QTableView* m_view;
    QSortFilterProxyModel* m_proxy;
    TrackTableModel* m_table = nullptr;
    QString m_caption;
    int m_visibilityBatch = 0;
    bool m_cellCleared = false;  // a row is active without an active cell
    bool m_settingCurrent = false;
};

}  // namespace tracklift
