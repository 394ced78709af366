#include "TrackliftTestCase.h"

#include <FilterSearch.h>
#include <TrackList.h>
#include <clsRowLoop.h>
#include <frmMain.h>
#include <frmMenus.h>

#include <QAction>
#include <QFocusEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

using namespace tracklift;
using namespace testsupport;
using C = TrackTableModel::Column;

namespace {

void focus(QLineEdit* box, bool in)
{
    QFocusEvent event(in ? QEvent::FocusIn : QEvent::FocusOut);
    QCoreApplication::sendEvent(box, &event);
}

QList<int> visibleIds(frmMain& w)
{
    QList<int> ids;
    for (GridRow r = w.trackList().grid().firstRow(); r != kNoRow; r = w.trackList().grid().nextRow(r))
        if (!w.trackList().grid().isRowHidden(r))
            ids << w.trackList().grid().cellText(r, C::ID).toInt();
    return ids;
}

void typeFilter(frmMain& w, const QString& column, const QString& text)
{
    child<QRadioButton>(w, "optFilterTracks")->setChecked(true);
    w.filterSearch().setFilterColumn(frmMenus::filterItemCaption(column));
    focus(child<QLineEdit>(w, "txtFilter"), true);
    child<QLineEdit>(w, "txtFilter")->setText(text);
}

}  // namespace

class FilterSearchTest : public TrackliftTestCase {
    Q_OBJECT
private slots:
    void placeholdersAndButtons()
    {
        frmMain w(m_dialogs);
        QVERIFY(child<QRadioButton>(w, "optShowAllTracks")->isChecked());
        QCOMPARE(child<QLineEdit>(w, "txtFilter")->text(), QStringLiteral("Type Filter Text..."));
        QCOMPARE(child<QLineEdit>(w, "txtSearch")->text(), QStringLiteral("Type Search Text..."));
        QCOMPARE(child<QPushButton>(w, "cmdFilters")->text(), QStringLiteral("Title"));
        QVERIFY(!child<QPushButton>(w, "cmdFilter")->isEnabled());
        QVERIFY(!child<QPushButton>(w, "cmdSearch")->isEnabled());
        QVERIFY(!child<QLineEdit>(w, "txtFilter")->isEnabled());
        QVERIFY(!child<QPushButton>(w, "cmdFilters")->isEnabled());

        focus(child<QLineEdit>(w, "txtSearch"), true);
        QCOMPARE(child<QLineEdit>(w, "txtSearch")->text(), QString());
        QVERIFY(!child<QPushButton>(w, "cmdSearch")->isEnabled());
        child<QLineEdit>(w, "txtSearch")->setText(QStringLiteral("x"));
        QVERIFY(child<QPushButton>(w, "cmdSearch")->isEnabled());
        focus(child<QLineEdit>(w, "txtSearch"), false);
        QCOMPARE(child<QLineEdit>(w, "txtSearch")->text(), QStringLiteral("x"));  // typed text stays
        child<QLineEdit>(w, "txtSearch")->clear();
        focus(child<QLineEdit>(w, "txtSearch"), false);
        QCOMPARE(child<QLineEdit>(w, "txtSearch")->text(), QStringLiteral("Type Search Text..."));
        QVERIFY(!child<QPushButton>(w, "cmdSearch")->isEnabled());

        child<QRadioButton>(w, "optFilterTracks")->setChecked(true);
        QVERIFY(child<QPushButton>(w, "cmdFilters")->isEnabled());
        QVERIFY(child<QLineEdit>(w, "txtFilter")->isEnabled());
        QVERIFY(!child<QPushButton>(w, "cmdFilter")->isEnabled());
        focus(child<QLineEdit>(w, "txtFilter"), true);
        QCOMPARE(child<QLineEdit>(w, "txtFilter")->text(), QString());
        child<QLineEdit>(w, "txtFilter")->setText(QStringLiteral("a"));
        QVERIFY(child<QPushButton>(w, "cmdFilter")->isEnabled());
        child<QRadioButton>(w, "optShowAllTracks")->setChecked(true);
        QCOMPARE(child<QLineEdit>(w, "txtFilter")->text(), QStringLiteral("Type Filter Text..."));
        QVERIFY(!child<QPushButton>(w, "cmdFilter")->isEnabled());
        QVERIFY(!child<QLineEdit>(w, "txtFilter")->isEnabled());
        QVERIFY(!child<QPushButton>(w, "cmdFilters")->isEnabled());
    }

    void filterMenuNamesTheColumn()
    {
        frmMain w(m_dialogs);
        child<QRadioButton>(w, "optFilterTracks")->setChecked(true);
        QCOMPARE(w.Menus().mnuFilteriTem.size(), std::size_t(3));
        w.Menus().mnuFilteriTem[2]->trigger();
        QCOMPARE(child<QPushButton>(w, "cmdFilters")->text(), QStringLiteral("Artist"));
        QCOMPARE(w.filterSearch().filterColumn(), int(C::Artist));
        w.Menus().mnuFilteriTem[1]->trigger();
        QCOMPARE(w.filterSearch().filterColumn(), int(C::Album));
        child<QPushButton>(w, "cmdFilters")->setText(QStringLiteral("Genre"));
        QCOMPARE(w.filterSearch().filterColumn(), int(C::ID));
        child<QPushButton>(w, "cmdFilters")->click();
        QCOMPARE(w.Menus().lastShown(), w.Menus().mnuFilter);
        w.Menus().mnuFilter->close();
    }

    void filterHidesRowsThatDoNotContainTheText()
    {
        frmMain w(m_dialogs);
        w.trackList().showTracks({trackInfo(1, "Remix", "Dance", "DJ"), trackInfo(2, "Quiet", "Calm", ""), trackInfo(3, "MIX", "Loud", "Band"),
                       trackInfo(4, "Other", "", "")});
        typeFilter(w, "Title", "mix");
        w.cmdFilter_Click();
        QCOMPARE(visibleIds(w), (QList<int>{1, 3}));

        // The empty artist shows as Unknown, and that is what the filter sees.
        typeFilter(w, "Artist", "Unknown");
        w.cmdFilter_Click();
        QCOMPARE(visibleIds(w), (QList<int>{2, 4}));

        // Blanks only: nothing changes. Blanks around a word are kept.
        child<QLineEdit>(w, "txtFilter")->setText(QStringLiteral("   "));
        w.cmdFilter_Click();
        QCOMPARE(visibleIds(w), (QList<int>{2, 4}));
        typeFilter(w, "Album", " lou");
        w.cmdFilter_Click();
        QCOMPARE(visibleIds(w), QList<int>{});
        typeFilter(w, "Album", "LOU");
        w.cmdFilter_Click();
        QCOMPARE(visibleIds(w), QList<int>{3});

        // Emptying the box shows everything at once; so does "Show All Tracks".
        child<QLineEdit>(w, "txtFilter")->clear();
        QCOMPARE(visibleIds(w), (QList<int>{1, 2, 3, 4}));
        typeFilter(w, "Title", "zzz");
        w.cmdFilter_Click();
        QCOMPARE(visibleIds(w), QList<int>{});
        child<QRadioButton>(w, "optShowAllTracks")->setChecked(true);
        QCOMPARE(visibleIds(w), (QList<int>{1, 2, 3, 4}));
    }

    void searchGoesFromMatchToMatchAndStartsOverAfterTheLast()
    {
        frmMain w(m_dialogs);
        w.trackList().showTracks({trackInfo(20, "Remix", "Mix Tape", "DJ"), trackInfo(22, "Quiet", "Calm", ""), trackInfo(23, "MIX", "Loud", "Band")});
        focus(child<QLineEdit>(w, "txtSearch"), true);
        child<QLineEdit>(w, "txtSearch")->setText(QStringLiteral("mix"));
        const auto search = [&] {
            w.cmdSearch_Click();
            return w.trackList().grid().activeCell();
        };
        QSignalSpy found(&w.filterSearch(), &FilterSearch::matchFound);
        QSignalSpy wrapped(&w.filterSearch(), &FilterSearch::searchWrapped);
        QCOMPARE(search(), (GridCell{0, C::Title}));
        QCOMPARE(found.count(), 1);
        QCOMPARE(found.at(0).at(0).value<GridCell>(), (GridCell{0, C::Title}));
        QCOMPARE(w.trackList().TracksRS().appearance(0, C::Title), QStringLiteral("Active"));
        QVERIFY(w.trackList().grid().isRowSelected(0));
        QCOMPARE(search(), (GridCell{0, C::Album}));
        QCOMPARE(w.trackList().TracksRS().appearance(0, C::Title), QString());  // one highlight at a time
        QCOMPARE(search(), (GridCell{2, C::Title}));
        // Past the last match: no cell, the first row active, no highlight.
        QCOMPARE(wrapped.count(), 0);
        QCOMPARE(search(), GridCell{});
        QCOMPARE(found.count(), 3);
        QCOMPARE(wrapped.count(), 1);
        QCOMPARE(w.filterSearch().SearchText(), QStringLiteral("mix"));
        QCOMPARE(w.trackList().grid().activeRow(), 0);
        QCOMPARE(w.trackList().TracksRS().appearance(2, C::Title), QString());
        QVERIFY(m_dialogs.prompts.empty());
        QCOMPARE(search(), (GridCell{0, C::Title}));

        // Rows hidden by the filter are passed over.
        typeFilter(w, "Title", "Remix");
        w.cmdFilter_Click();
        w.trackList().grid().setActiveCell({});
        QCOMPARE(search(), (GridCell{0, C::Title}));
        QCOMPARE(search(), (GridCell{0, C::Album}));
        QCOMPARE(search(), GridCell{});

        // A search that starts on a row the filter has hidden searches the rows after it whole.
        child<QRadioButton>(w, "optShowAllTracks")->setChecked(true);
        w.trackList().grid().setActiveCell({0, C::Title});
        w.trackList().grid().setRowHidden(0, true);
        QCOMPARE(search(), (GridCell{2, C::Title}));
    }

    void searchLooksInHiddenAndCheckBoxColumns()
    {
        frmMain w(m_dialogs);
        w.trackList().showTracks({trackInfo(20, "A"), trackInfo(22, "B"), trackInfo(24, "C")});
        QVERIFY(w.trackList().grid().isColumnHidden(C::ID));
        focus(child<QLineEdit>(w, "txtSearch"), true);
        child<QLineEdit>(w, "txtSearch")->setText(QStringLiteral("24"));
        w.cmdSearch_Click();
        QCOMPARE(w.trackList().grid().activeCell(), (GridCell{2, C::ID}));

        w.trackList().grid().setCellValue(1, C::CheckBox, 1);
        w.trackList().grid().setActiveCell({});
        child<QLineEdit>(w, "txtSearch")->setText(QStringLiteral("1"));
        w.cmdSearch_Click();
        QCOMPARE(w.trackList().grid().activeCell(), (GridCell{1, C::CheckBox}));
    }

    void rowWalkerVisitsRowsInOrderAndStopsWhenCancelled()
    {
        frmMain w(m_dialogs);
        clsRowLoop loop;
        QList<int> seen;
        int ends = 0;
        GridRow endRow = -2;
        int cancelAt = -1;
        connect(&loop, &clsRowLoop::RowFound, [&](GridRow row, GridCell&, bool& cancel) {
            seen << row;
            cancel = row == cancelAt;
        });
        connect(&loop, &clsRowLoop::EndOfRows, [&](GridRow row, GridCell) {
            ++ends;
            endRow = row;
        });
        loop.LoopThroughRows(nullptr, kNoRow, true, true, true, true, {});
        QCOMPARE(ends, 0);
        loop.LoopThroughRows(&w.trackList().grid(), kNoRow, true, true, true, true, {});  // empty grid
        QVERIFY(seen.isEmpty());
        QCOMPARE(ends, 1);
        QCOMPARE(endRow, kNoRow);

        w.trackList().showTracks({trackInfo(1, "a"), trackInfo(2, "b"), trackInfo(3, "c"), trackInfo(4, "d")});
        w.trackList().grid().setRowHidden(2, true);
        loop.LoopThroughRows(&w.trackList().grid(), kNoRow, true, true, false, true, {});
        QCOMPARE(seen, (QList<int>{0, 1, 2, 3}));
        QCOMPARE(endRow, 0);
        seen.clear();
        loop.LoopThroughRows(&w.trackList().grid(), 1, true, true, true, true, {});
        QCOMPARE(seen, (QList<int>{1, 3}));
        QCOMPARE(ends, 3);
        seen.clear();
        cancelAt = 1;
        loop.LoopThroughRows(&w.trackList().grid(), kNoRow, true, true, true, true, {});
        QCOMPARE(seen, (QList<int>{0, 1}));
        QCOMPARE(ends, 3);
    }

};

QTEST_MAIN(FilterSearchTest)
#include "FilterSearchTest.moc"
