// The filter and search tools above the track list.

#include "frmMain.h"
#include "frmMenus.h"

#include <QApplication>
#include <QButtonGroup>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>

namespace tracklift {

namespace {

QString placeholderOf(const frmMain& w, const QLineEdit* box)
{
    return box == w.txtFilter ? frmMain::filterPlaceholder() : frmMain::searchPlaceholder();
}

}  // namespace

void frmMain::buildSearchTools()
{
    optShowAllTracks = new QRadioButton(QStringLiteral("Show All Tracks"), frTools);
    optFilterTracks = new QRadioButton(QStringLiteral("Filter Tracks by"), frTools);
    auto* modes = new QButtonGroup(frTools);
    modes->addButton(optShowAllTracks);
    modes->addButton(optFilterTracks);
    cmdFilters = new QPushButton(QStringLiteral("Title"), frTools);
    cmdFilters->setObjectName(QStringLiteral("cmdFilters"));
    cmdFilters->setMinimumWidth(px(78));
    txtFilter = new QLineEdit(filterPlaceholder(), frTools);
    txtFilter->setObjectName(QStringLiteral("txtFilter"));
    cmdFilter = new QPushButton(QStringLiteral("Filter"), frTools);
    cmdFilter->setObjectName(QStringLiteral("cmdFilter"));
    txtSearch = new QLineEdit(searchPlaceholder(), frTools);
    txtSearch->setObjectName(QStringLiteral("txtSearch"));
    cmdSearch = new QPushButton(QStringLiteral("Search"), frTools);
    cmdSearch->setObjectName(QStringLiteral("cmdSearch"));
    for (QLineEdit* box : {txtFilter, txtSearch}) {
        box->setMinimumWidth(px(150));
        box->installEventFilter(this);
        connect(box, &QLineEdit::textChanged, this, [this, box] { textBoxChanged(box); });
    }
    connect(txtFilter, &QLineEdit::returnPressed, cmdFilter, &QPushButton::click);
    connect(txtSearch, &QLineEdit::returnPressed, cmdSearch, &QPushButton::click);

    auto* tools = static_cast<QHBoxLayout*>(frTools->layout());
    tools->setSpacing(px(6));
    tools->addWidget(optShowAllTracks);
    tools->addSpacing(px(8));
    tools->addWidget(optFilterTracks);
    tools->addWidget(cmdFilters);
    tools->addWidget(txtFilter, 1);
    tools->addWidget(cmdFilter);
    tools->addSpacing(px(16));
    tools->addWidget(txtSearch, 1);
    tools->addWidget(cmdSearch);

    connect(optShowAllTracks, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            optShowAllTracks_Click();
    });
    connect(optFilterTracks, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            optFilterTracks_Click();
    });
    connect(cmdFilter, &QPushButton::clicked, this, &frmMain::cmdFilter_Click);
    connect(cmdSearch, &QPushButton::clicked, this, &frmMain::cmdSearch_Click);
    connect(cmdFilters, &QPushButton::clicked, this, [this] {
        QCoreApplication::processEvents();  // let pending window messages run first
        m_menus->popup(m_menus->mnuFilter, cmdFilters->mapToGlobal(QPoint(0, cmdFilters->height())));
    });
    connect(m_menus, &frmMenus::filterChosen, this, &frmMain::setFilterColumn);

    m_rowLoop = new clsRowLoop(this);
    connect(m_rowLoop, &clsRowLoop::RowFound, this, &frmMain::objRowLoop_RowFound);
    connect(m_rowLoop, &clsRowLoop::EndOfRows, this, &frmMain::objRowLoop_EndOfRows);
    resetFilterAndSearch();
}

void frmMain::resetFilterAndSearch()
{
    optShowAllTracks->setChecked(true);
    optShowAllTracks_Click();
    txtFilter->setText(filterPlaceholder());
    txtSearch->setText(searchPlaceholder());
    textBoxChanged(txtFilter);
    textBoxChanged(txtSearch);
}

// ---- Text boxes with a placeholder ---------------------------------------------

void frmMain::textBoxGotFocus(QLineEdit* box)
{
    if (box->text() == placeholderOf(*this, box))
        box->clear();
}

void frmMain::textBoxLostFocus(QLineEdit* box)
{
    if (box->text().isEmpty())
        box->setText(placeholderOf(*this, box));
}

void frmMain::textBoxChanged(QLineEdit* box)
{
    const bool placeholder = box->text() == placeholderOf(*this, box);
    (box == txtFilter ? cmdFilter : cmdSearch)->setEnabled(!box->text().isEmpty() && !placeholder);
    box->setProperty("placeholder", placeholder);
    box->style()->unpolish(box);
    box->style()->polish(box);
    if (box == txtFilter && box->text().isEmpty())
        ShowAllRows(true);
}

// ---- Filter -------------------------------------------------------------------------

void frmMain::optShowAllTracks_Click()
{
    cmdFilters->setEnabled(false);
    txtFilter->setEnabled(false);
    cmdFilter->setEnabled(false);
    txtFilter->setText(filterPlaceholder());
    ShowAllRows(true);
}

void frmMain::optFilterTracks_Click()
{
    cmdFilters->setEnabled(true);
    txtFilter->setEnabled(true);
}

void frmMain::setFilterColumn(const QString& menuCaption)
{
    cmdFilters->setText(menuCaption.trimmed());
}

int frmMain::filterColumn() const
{
    const QString caption = cmdFilters->text();
    if (caption == QLatin1String("Title"))
        return TrackTableModel::Title;
    if (caption == QLatin1String("Album"))
        return TrackTableModel::Album;
    if (caption == QLatin1String("Artist"))
        return TrackTableModel::Artist;
    return TrackTableModel::ID;
}

void frmMain::cmdFilter_Click()
{
    const QString text = txtFilter->text();
    if (text.trimmed().isEmpty())
        return;
    ApplyFilter(text);  // blanks as typed
}

void frmMain::ApplyFilter(const QString& text)
{
    const int column = filterColumn();
    m_grid->beginRowVisibilityChanges();
    for (GridRow row = m_grid->firstRow(); row != kNoRow; row = m_grid->nextRow(row)) {
        const bool hide = !m_grid->cellText(row, column).contains(text, Qt::CaseInsensitive);
        if (m_grid->isRowHidden(row) != hide)
            m_grid->setRowHidden(row, hide);
    }
    m_grid->endRowVisibilityChanges();
}

void frmMain::ShowAllRows(bool show)
{
    m_grid->beginRowVisibilityChanges();
    for (GridRow row = m_grid->firstRow(); row != kNoRow; row = m_grid->nextRow(row))
        if (m_grid->isRowHidden(row) == show)
            m_grid->setRowHidden(row, !show);
    m_grid->endRowVisibilityChanges();
}

// ---- Search -------------------------------------------------------------------------

void frmMain::cmdSearch_Click()
{
    SearchText = txtSearch->text();
    m_grid->resetAppearances();
    const GridRow startRow = m_grid->activeRow();
    const GridCell startCell = m_grid->activeCell();
    m_rowLoop->LoopThroughRows(m_grid, startRow, true, true, true, true, startCell);
}

void frmMain::objRowLoop_RowFound(GridRow row, GridCell& eventData, bool& cancel)
{
    // The search goes on just after the cell of the previous match. That cell
    // belongs to the row the walk starts at; when that row is passed over
    // (hidden by the filter) the rows that follow are searched whole.
    GridCell skipTo = eventData;
    if (!skipTo.isNull() && skipTo.row != row) {
        skipTo = {};
        eventData = {};
    }
    const int tableRow = m_grid->tableRow(row);
    for (int column = 0; column < TrackTableModel::ColumnCount; ++column) {
        if (!skipTo.isNull()) {
            if (skipTo.column == column) {
                skipTo = {};
                eventData = {};
            }
            continue;
        }
        // The track table has no chapter columns to pass over.
        const QVariant value = TracksRS.value(tableRow, column);
        if (!value.isValid())
            continue;  // a null cell
        if (value.toString().contains(SearchText, Qt::CaseInsensitive)) {
            const GridCell match{row, column};
            cancel = true;
            m_grid->setActiveCell(match);
            m_grid->setRowSelected(row, true);
            m_grid->setCellSelected(match, true);
            m_grid->setCellAppearance(match, QStringLiteral("Active"));
            return;
        }
    }
}

void frmMain::objRowLoop_EndOfRows(GridRow, GridCell)
{
    // No message: the next search starts again at the top.
    m_grid->setActiveRow(m_grid->firstRow());
    SearchText = txtSearch->text();
}

}  // namespace tracklift
