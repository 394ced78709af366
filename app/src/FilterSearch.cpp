#include "FilterSearch.h"

#include "clsRowLoop.h"
#include "frmMenus.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>

namespace tracklift {

FilterSearch::FilterSearch(const Widgets& widgets, TrackGrid& grid, frmMenus& menus, QObject* parent)
    : QObject(parent), m_w(widgets), m_grid(grid), m_menus(menus), m_rowLoop(new clsRowLoop(this))
{
    for (QLineEdit* box : {m_w.txtFilter, m_w.txtSearch}) {
        box->installEventFilter(this);
        connect(box, &QLineEdit::textChanged, this, [this, box] { textBoxChanged(box); });
    }
    connect(m_w.txtFilter, &QLineEdit::returnPressed, m_w.cmdFilter, &QPushButton::click);
    connect(m_w.txtSearch, &QLineEdit::returnPressed, m_w.cmdSearch, &QPushButton::click);
    connect(m_w.optShowAllTracks, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            optShowAllTracks_Click();
    });
    connect(m_w.optFilterTracks, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            optFilterTracks_Click();
    });
    connect(m_w.cmdFilter, &QPushButton::clicked, this, &FilterSearch::cmdFilter_Click);
    connect(m_w.cmdSearch, &QPushButton::clicked, this, &FilterSearch::cmdSearch_Click);
    connect(m_w.cmdFilters, &QPushButton::clicked, this, [this] {
        QCoreApplication::processEvents();  // let pending window messages run first
        m_menus.popup(m_menus.mnuFilter, m_w.cmdFilters->mapToGlobal(QPoint(0, m_w.cmdFilters->height())));
    });
    connect(&m_menus, &frmMenus::filterChosen, this, &FilterSearch::setFilterColumn);
    connect(m_rowLoop, &clsRowLoop::RowFound, this, &FilterSearch::objRowLoop_RowFound);
    connect(m_rowLoop, &clsRowLoop::EndOfRows, this, &FilterSearch::objRowLoop_EndOfRows);
    resetFilterAndSearch();
}

void FilterSearch::resetFilterAndSearch()
{
    m_w.optShowAllTracks->setChecked(true);
    optShowAllTracks_Click();
    m_w.txtFilter->setText(filterPlaceholder());
    m_w.txtSearch->setText(searchPlaceholder());
    textBoxChanged(m_w.txtFilter);
    textBoxChanged(m_w.txtSearch);
}

void FilterSearch::restoreAfterPanel()
{
    if (m_w.optShowAllTracks->isChecked()) {
        m_w.cmdFilter->setEnabled(false);
        m_w.txtFilter->setEnabled(false);
        m_w.cmdFilters->setEnabled(false);
    }
    if (m_w.txtSearch->text().isEmpty() || m_w.txtSearch->text() == searchPlaceholder())
        m_w.cmdSearch->setEnabled(false);
}

// ---- Text boxes with a placeholder ---------------------------------------------

QString FilterSearch::placeholderOf(const QLineEdit* box) const
{
    return box == m_w.txtFilter ? filterPlaceholder() : searchPlaceholder();
}

bool FilterSearch::eventFilter(QObject* watched, QEvent* event)
{
    // A box being destroyed is no longer a line edit, but may still get events.
    auto* box = qobject_cast<QLineEdit*>(watched);
    if (box && (box == m_w.txtFilter || box == m_w.txtSearch)) {
        if (event->type() == QEvent::FocusIn)
            textBoxGotFocus(box);
        else if (event->type() == QEvent::FocusOut)
            textBoxLostFocus(box);
    }
    return QObject::eventFilter(watched, event);
}

void FilterSearch::textBoxGotFocus(QLineEdit* box)
{
    if (box->text() == placeholderOf(box))
        box->clear();
}

void FilterSearch::textBoxLostFocus(QLineEdit* box)
{
    if (box->text().isEmpty())
        box->setText(placeholderOf(box));
}

void FilterSearch::textBoxChanged(QLineEdit* box)
{
    const bool placeholder = box->text() == placeholderOf(box);
    (box == m_w.txtFilter ? m_w.cmdFilter : m_w.cmdSearch)->setEnabled(!box->text().isEmpty() && !placeholder);
    box->setProperty("placeholder", placeholder);
    box->style()->unpolish(box);
    box->style()->polish(box);
    if (box == m_w.txtFilter && box->text().isEmpty())
        ShowAllRows(true);
}

// ---- Filter -------------------------------------------------------------------------

void FilterSearch::optShowAllTracks_Click()
{
    m_w.cmdFilters->setEnabled(false);
    m_w.txtFilter->setEnabled(false);
    m_w.cmdFilter->setEnabled(false);
    m_w.txtFilter->setText(filterPlaceholder());
    ShowAllRows(true);
}

void FilterSearch::optFilterTracks_Click()
{
    m_w.cmdFilters->setEnabled(true);
    m_w.txtFilter->setEnabled(true);
}

void FilterSearch::setFilterColumn(const QString& menuCaption)
{
    m_w.cmdFilters->setText(menuCaption.trimmed());
}

int FilterSearch::filterColumn() const
{
    const QString caption = m_w.cmdFilters->text();
    if (caption == QLatin1String("Title"))
        return TrackTableModel::Title;
    if (caption == QLatin1String("Album"))
        return TrackTableModel::Album;
    if (caption == QLatin1String("Artist"))
        return TrackTableModel::Artist;
    return TrackTableModel::ID;
}

void FilterSearch::cmdFilter_Click()
{
    const QString text = m_w.txtFilter->text();
    if (text.trimmed().isEmpty())
        return;
    ApplyFilter(text);  // blanks as typed
}

void FilterSearch::ApplyFilter(const QString& text)
{
    const int column = filterColumn();
    m_appliedFilter = text;
    m_grid.beginRowVisibilityChanges();
    for (GridRow row = m_grid.firstRow(); row != kNoRow; row = m_grid.nextRow(row)) {
        const bool hide = !m_grid.cellText(row, column).contains(text, Qt::CaseInsensitive);
        if (m_grid.isRowHidden(row) != hide)
            m_grid.setRowHidden(row, hide);
    }
    m_grid.endRowVisibilityChanges();
}

void FilterSearch::reapplyFilter()
{
    if (!m_appliedFilter.isEmpty())
        ApplyFilter(m_appliedFilter);
}

void FilterSearch::ShowAllRows(bool show)
{
    if (show)
        m_appliedFilter.clear();
    m_grid.beginRowVisibilityChanges();
    for (GridRow row = m_grid.firstRow(); row != kNoRow; row = m_grid.nextRow(row))
        if (m_grid.isRowHidden(row) == show)
            m_grid.setRowHidden(row, !show);
    m_grid.endRowVisibilityChanges();
}

// ---- Search -------------------------------------------------------------------------

void FilterSearch::cmdSearch_Click()
{
    m_searchText = m_w.txtSearch->text();
    m_grid.resetAppearances();
    const GridRow startRow = m_grid.activeRow();
    const GridCell startCell = m_grid.activeCell();
    m_rowLoop->LoopThroughRows(&m_grid, startRow, true, true, true, true, startCell);
}

void FilterSearch::objRowLoop_RowFound(GridRow row, GridCell& eventData, bool& cancel)
{
    // The search goes on just after the cell of the previous match. That cell
    // belongs to the row the walk starts at; when that row is passed over
    // (hidden by the filter) the rows that follow are searched whole.
    GridCell skipTo = eventData;
    if (!skipTo.isNull() && skipTo.row != row) {
        skipTo = {};
        eventData = {};
    }
    for (int column = 0; column < TrackTableModel::ColumnCount; ++column) {
        if (!skipTo.isNull()) {
            if (skipTo.column == column) {
                skipTo = {};
                eventData = {};
            }
            continue;
        }
        // The track table has no chapter columns to pass over.
        const QVariant value = m_grid.cellValue(row, column);
        if (!value.isValid())
            continue;  // a null cell
        if (value.toString().contains(m_searchText, Qt::CaseInsensitive)) {
            const GridCell match{row, column};
            cancel = true;
            m_grid.setActiveCell(match);
            m_grid.setRowSelected(row, true);
            m_grid.setCellSelected(match, true);
            m_grid.setCellAppearance(match, QStringLiteral("Active"));
            emit matchFound(match);
            return;
        }
    }
}

void FilterSearch::objRowLoop_EndOfRows(GridRow, GridCell)
{
    // No message: the next search starts again at the top.
    m_grid.setActiveRow(m_grid.firstRow());
    m_searchText = m_w.txtSearch->text();
    emit searchWrapped();
}

}  // namespace tracklift
