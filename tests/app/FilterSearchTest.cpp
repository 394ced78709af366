#include "ScriptedDialogs.h"
#include "TempDir.h"
#include "WindowFixtures.h"

#include <clsRowLoop.h>
#include <frmMain.h>
#include <frmMenus.h>

#include <QAction>
#include <QFocusEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
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
    for (GridRow r = w.Grid().firstRow(); r != kNoRow; r = w.Grid().nextRow(r))
        if (!w.Grid().isRowHidden(r))
            ids << w.Grid().cellText(r, C::ID).toInt();
    return ids;
}

void typeFilter(frmMain& w, const QString& column, const QString& text)
{
    w.optFilterTracks->setChecked(true);
    w.setFilterColumn(frmMenus::filterItemCaption(column));
    focus(w.txtFilter, true);
    w.txtFilter->setText(text);
}

}  // namespace

class FilterSearchTest : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        m_config = std::make_unique<TempDir>();
        qputenv("TRACKLIFT_CONFIG_DIR", QByteArray::fromStdString(m_config->path().string()));
    }

    void placeholdersAndButtons()
    {
        frmMain w(m_dialogs);
        QVERIFY(w.optShowAllTracks->isChecked());
        QCOMPARE(w.txtFilter->text(), QStringLiteral("Type Filter Text..."));
        QCOMPARE(w.txtSearch->text(), QStringLiteral("Type Search Text..."));
        QCOMPARE(w.cmdFilters->text(), QStringLiteral("Title"));
        QVERIFY(!w.cmdFilter->isEnabled());
        QVERIFY(!w.cmdSearch->isEnabled());
        QVERIFY(!w.txtFilter->isEnabled());
        QVERIFY(!w.cmdFilters->isEnabled());

        focus(w.txtSearch, true);
        QCOMPARE(w.txtSearch->text(), QString());
        QVERIFY(!w.cmdSearch->isEnabled());
        w.txtSearch->setText(QStringLiteral("x"));
        QVERIFY(w.cmdSearch->isEnabled());
        focus(w.txtSearch, false);
        QCOMPARE(w.txtSearch->text(), QStringLiteral("x"));  // typed text stays
        w.txtSearch->clear();
        focus(w.txtSearch, false);
        QCOMPARE(w.txtSearch->text(), QStringLiteral("Type Search Text..."));
        QVERIFY(!w.cmdSearch->isEnabled());

        w.optFilterTracks->setChecked(true);
        QVERIFY(w.cmdFilters->isEnabled());
        QVERIFY(w.txtFilter->isEnabled());
        QVERIFY(!w.cmdFilter->isEnabled());
        focus(w.txtFilter, true);
        QCOMPARE(w.txtFilter->text(), QString());
        w.txtFilter->setText(QStringLiteral("a"));
        QVERIFY(w.cmdFilter->isEnabled());
        w.optShowAllTracks->setChecked(true);
        QCOMPARE(w.txtFilter->text(), QStringLiteral("Type Filter Text..."));
        QVERIFY(!w.cmdFilter->isEnabled());
        QVERIFY(!w.txtFilter->isEnabled());
        QVERIFY(!w.cmdFilters->isEnabled());
    }

    void filterMenuNamesTheColumn()
    {
        frmMain w(m_dialogs);
        w.optFilterTracks->setChecked(true);
        QCOMPARE(w.Menus().mnuFilteriTem.size(), std::size_t(3));
        w.Menus().mnuFilteriTem[2]->trigger();
        QCOMPARE(w.cmdFilters->text(), QStringLiteral("Artist"));
        QCOMPARE(w.filterColumn(), int(C::Artist));
        w.Menus().mnuFilteriTem[1]->trigger();
        QCOMPARE(w.filterColumn(), int(C::Album));
        w.cmdFilters->setText(QStringLiteral("Genre"));
        QCOMPARE(w.filterColumn(), int(C::ID));
        w.cmdFilters->click();
        QCOMPARE(w.Menus().lastShown(), w.Menus().mnuFilter);
        w.Menus().mnuFilter->close();
    }

    void filterHidesRowsThatDoNotContainTheText()
    {
        frmMain w(m_dialogs);
        showTracks(w, {trackInfo(1, "Remix", "Dance", "DJ"), trackInfo(2, "Quiet", "Calm", ""), trackInfo(3, "MIX", "Loud", "Band"),
                       trackInfo(4, "Other", "", "")});
        typeFilter(w, "Title", "mix");
        w.cmdFilter->click();
        QCOMPARE(visibleIds(w), (QList<int>{1, 3}));

        // The empty artist shows as Unknown, and that is what the filter sees.
        typeFilter(w, "Artist", "Unknown");
        w.cmdFilter->click();
        QCOMPARE(visibleIds(w), (QList<int>{2, 4}));

        // Blanks only: nothing changes. Blanks around a word are kept.
        w.txtFilter->setText(QStringLiteral("   "));
        w.cmdFilter->click();
        QCOMPARE(visibleIds(w), (QList<int>{2, 4}));
        typeFilter(w, "Album", " lou");
        w.cmdFilter->click();
        QCOMPARE(visibleIds(w), QList<int>{});
        typeFilter(w, "Album", "LOU");
        w.cmdFilter->click();
        QCOMPARE(visibleIds(w), QList<int>{3});

        // Emptying the box shows everything at once; so does "Show All Tracks".
        w.txtFilter->clear();
        QCOMPARE(visibleIds(w), (QList<int>{1, 2, 3, 4}));
        typeFilter(w, "Title", "zzz");
        w.cmdFilter->click();
        QCOMPARE(visibleIds(w), QList<int>{});
        w.optShowAllTracks->setChecked(true);
        QCOMPARE(visibleIds(w), (QList<int>{1, 2, 3, 4}));
    }

    void searchGoesFromMatchToMatchAndStartsOverAfterTheLast()
    {
        frmMain w(m_dialogs);
        showTracks(w, {trackInfo(20, "Remix", "Mix Tape", "DJ"), trackInfo(22, "Quiet", "Calm", ""), trackInfo(23, "MIX", "Loud", "Band")});
        focus(w.txtSearch, true);
        w.txtSearch->setText(QStringLiteral("mix"));
        const auto search = [&] {
            w.cmdSearch->click();
            return w.Grid().activeCell();
        };
        QCOMPARE(search(), (GridCell{0, C::Title}));
        QCOMPARE(w.TracksRS.appearance(0, C::Title), QStringLiteral("Active"));
        QVERIFY(w.Grid().isRowSelected(0));
        QCOMPARE(search(), (GridCell{0, C::Album}));
        QCOMPARE(w.TracksRS.appearance(0, C::Title), QString());  // one highlight at a time
        QCOMPARE(search(), (GridCell{2, C::Title}));
        // Past the last match: no cell, the first row active, no highlight.
        QCOMPARE(search(), GridCell{});
        QCOMPARE(w.Grid().activeRow(), 0);
        QCOMPARE(w.TracksRS.appearance(2, C::Title), QString());
        QVERIFY(m_dialogs.prompts.empty());
        QCOMPARE(search(), (GridCell{0, C::Title}));

        // Rows hidden by the filter are passed over.
        typeFilter(w, "Title", "Remix");
        w.cmdFilter->click();
        w.Grid().setActiveCell({});
        QCOMPARE(search(), (GridCell{0, C::Title}));
        QCOMPARE(search(), (GridCell{0, C::Album}));
        QCOMPARE(search(), GridCell{});

        // A search that starts on a row the filter has hidden searches the rows after it whole.
        w.optShowAllTracks->setChecked(true);
        w.Grid().setActiveCell({0, C::Title});
        w.Grid().setRowHidden(0, true);
        QCOMPARE(search(), (GridCell{2, C::Title}));
    }

    void searchLooksInHiddenAndCheckBoxColumns()
    {
        frmMain w(m_dialogs);
        showTracks(w, {trackInfo(20, "A"), trackInfo(22, "B"), trackInfo(24, "C")});
        QVERIFY(w.Grid().isColumnHidden(C::ID));
        focus(w.txtSearch, true);
        w.txtSearch->setText(QStringLiteral("24"));
        w.cmdSearch->click();
        QCOMPARE(w.Grid().activeCell(), (GridCell{2, C::ID}));

        w.Grid().setCellValue(1, C::CheckBox, 1);
        w.Grid().setActiveCell({});
        w.txtSearch->setText(QStringLiteral("1"));
        w.cmdSearch->click();
        QCOMPARE(w.Grid().activeCell(), (GridCell{1, C::CheckBox}));
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
        loop.LoopThroughRows(&w.Grid(), kNoRow, true, true, true, true, {});  // empty grid
        QVERIFY(seen.isEmpty());
        QCOMPARE(ends, 1);
        QCOMPARE(endRow, kNoRow);

        showTracks(w, {trackInfo(1, "a"), trackInfo(2, "b"), trackInfo(3, "c"), trackInfo(4, "d")});
        w.Grid().setRowHidden(2, true);
        loop.LoopThroughRows(&w.Grid(), kNoRow, true, true, false, true, {});
        QCOMPARE(seen, (QList<int>{0, 1, 2, 3}));
        QCOMPARE(endRow, 0);
        seen.clear();
        loop.LoopThroughRows(&w.Grid(), 1, true, true, true, true, {});
        QCOMPARE(seen, (QList<int>{1, 3}));
        QCOMPARE(ends, 3);
        seen.clear();
        cancelAt = 1;
        loop.LoopThroughRows(&w.Grid(), kNoRow, true, true, true, true, {});
        QCOMPARE(seen, (QList<int>{0, 1}));
        QCOMPARE(ends, 3);
    }

private:
    std::unique_ptr<TempDir> m_config;
    ScriptedDialogs m_dialogs;
};

QTEST_MAIN(FilterSearchTest)
#include "FilterSearchTest.moc"
