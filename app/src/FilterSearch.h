#pragma once

#include "TrackGrid.h"

#include <QObject>
#include <QString>

class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tracklift {

class clsRowLoop;
class frmMenus;

// The two tools above the track list: the filter hides the rows whose title,
// album or artist lacks a text; the search moves the active cell from match to
// match through every column and starts over at the top after the last one.
class FilterSearch final : public QObject {
    Q_OBJECT
public:
    struct Widgets {
        QRadioButton* optShowAllTracks;
        QRadioButton* optFilterTracks;
        QPushButton* cmdFilters;
        QLineEdit* txtFilter;
        QPushButton* cmdFilter;
        QLineEdit* txtSearch;
        QPushButton* cmdSearch;
    };

    FilterSearch(const Widgets& widgets, TrackGrid& grid, frmMenus& menus, QObject* parent = nullptr);

    // Filter.
    void optShowAllTracks_Click();
    void optFilterTracks_Click();
    void setFilterColumn(const QString& menuCaption);  // a choice from the filter menu
    int filterColumn() const;
    void cmdFilter_Click();
    void ApplyFilter(const QString& text);
    void ShowAllRows(bool show);
    // The filter last applied, again over rows that have just been put in.
    void reapplyFilter();

    // Search.
    void cmdSearch_Click();
    QString SearchText() const { return m_searchText; }
    clsRowLoop& objRowLoop() { return *m_rowLoop; }

    // Both tools as the contents page opens with them.
    void resetFilterAndSearch();
    // After a panel over the pages closes: the buttons as their options and texts demand.
    void restoreAfterPanel();

    static QString filterPlaceholder() { return QStringLiteral("Type Filter Text..."); }
    static QString searchPlaceholder() { return QStringLiteral("Type Search Text..."); }

signals:
    void matchFound(tracklift::GridCell cell);
    void searchWrapped();  // the walk passed the last row; the next search starts at the top

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QString placeholderOf(const QLineEdit* box) const;
    void textBoxGotFocus(QLineEdit* box);
    void textBoxLostFocus(QLineEdit* box);
    void textBoxChanged(QLineEdit* box);
    void objRowLoop_RowFound(GridRow row, GridCell& eventData, bool& cancel);
    void objRowLoop_EndOfRows(GridRow startingRow, GridCell eventData);

    Widgets m_w;
    TrackGrid& m_grid;
    frmMenus& m_menus;
    clsRowLoop* m_rowLoop;
    QString m_searchText;
    QString m_appliedFilter;  // empty while every row shows
};

}  // namespace tracklift
