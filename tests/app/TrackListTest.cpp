#include "FixtureDevice.h"
#include "TrackliftTestCase.h"

#include <TrackList.h>
#include <DeviceConnection.h>
#include <PanelSlides.h>
#include <frmMain.h>

#include <QCheckBox>
#include <QHeaderView>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

using namespace tracklift;
using namespace testsupport;
using C = TrackTableModel::Column;

namespace {

QString cell(frmMain& w, GridRow row, int column)
{
    return w.trackList().grid().cellText(row, column);
}

}  // namespace

class TrackListTest : public TrackliftTestCase {
    Q_OBJECT
private slots:
    void loadShowsOneRowPerTrackWithEveryColumn()
    {
        TrackFixture full = makeTrack(7, u"Song", u"Band", u"Record");
        full.playCount = 12;
        full.bitrate = 192;
        full.year = "2004";
        full.trackSize = 3145728;
        full.lengthMs = 185999;
        full.patches[31] = std::string(1, '\x50');  // 80: four stars
        TrackFixture bare = makeTrack(8, std::u16string(300, u'x'), u"", u" ");
        bare.fileType = "M4A ";
        TrackFixture mp3 = makeTrack(9, u"Third");
        mp3.fileType = "MP3 ";
        FixtureDevice device({full, bare, mp3});

        frmMain w(m_dialogs);
        w.useDeviceForThisRun(device.root());
        QSignalSpy started(&w.trackList(), &TrackList::loadStarted);
        QSignalSpy read(&w.trackList(), &TrackList::databaseRead);
        QSignalSpy finished(&w.trackList(), &TrackList::loadFinished);
        w.cmdLoadiPod_Click();
        QCOMPARE(started.count(), 1);
        QCOMPARE(read.count(), 1);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.at(0).at(0).toBool(), true);
        QVERIFY2(m_dialogs.prompts.empty(), m_dialogs.prompts.empty() ? "" : qPrintable(m_dialogs.prompts[0].text));
        QCOMPARE(w.trackList().statusText(), QStringLiteral("iPod Contents are Loaded"));
        QVERIFY(child<QPushButton>(w, "cmdViewContents")->isVisibleTo(&w));
        finishAnimations(w.panels());
        QCOMPARE(child<QPushButton>(w, "cmdViewContents")->text(), QStringLiteral("View && Copy iPod Contents>> "));
        QVERIFY(w.connection().capacityText().startsWith(QStringLiteral("iPod Capcity:")));

        TrackGrid& grid = w.trackList().grid();
        QCOMPARE(grid.rowCount(), 3);
        QCOMPARE(w.trackList().TrackInfos().size(), std::size_t(3));
        const QStringList expected = {"7", "0", "Song", "Record", "Band", "3:05", "MP3", "12", "\u2605\u2605\u2605\u2605\u2606", "192 kbs",
                                        "2004", "3 MB", ""};
        for (int c = 0; c < C::ColumnCount; ++c)
            QCOMPARE(cell(w, 0, c), expected[c]);
        QCOMPARE(grid.cellValue(0, C::ID).toInt(), 7);
        QVERIFY(!grid.cellValue(0, C::FilePath).isValid());

        QCOMPARE(cell(w, 1, C::Title), QString(250, QLatin1Char('x')));
        QCOMPARE(cell(w, 1, C::Artist), QStringLiteral("Unknown"));
        QCOMPARE(cell(w, 1, C::Album), QStringLiteral(" "));
        QCOMPARE(cell(w, 1, C::Type), QStringLiteral("M4A"));
        QCOMPARE(cell(w, 2, C::Type), QStringLiteral("MP3"));

        // Loading again rebuilds the rows instead of adding to them.
        w.cmdLoadiPod_Click();
        QCOMPARE(grid.rowCount(), 3);
        QCOMPARE(cell(w, 2, C::Title), QStringLiteral("Third"));
        QCOMPARE(w.trackList().GetTrackLocation(9), QString::fromStdString(device.file(":iPod_Control:Music:F00:ABCD.mp3").string()));
        QCOMPARE(w.trackList().GetTrackLocation(12345), QString());
    }

    void emptyRecordGivesTheDefaultRow()
    {
        frmMain w(m_dialogs);
        w.trackList().CreateTracksRecordset();
        QVERIFY(w.trackList().AddTrackRow(sonarchive::TrackInfo{}));
        w.trackList().FormatGrid();
        const QStringList expected = {"0", "0", "", "Unknown", "Unknown", "0:00", "", "0", "", "0 kbs", "", "0 Bytes", ""};
        for (int c = 0; c < C::ColumnCount; ++c)
            QCOMPARE(cell(w, 0, c), expected[c]);
    }

    void yearShowsTheNumberItsFourBytesHold()
    {
        frmMain w(m_dialogs);
        w.trackList().CreateTracksRecordset();
        sonarchive::TrackInfo info;
        info.sTitle = u"Fine";
        for (const std::u16string& year : {sonarchive::bytesToText(std::string("\xCF\x07\0\0", 4)),  // 1999, as devices keep it
                                           std::u16string(u"98") + u'\0' + u'\0',                         // digits, as written once
                                           std::u16string(4, u'\0'), std::u16string(u"12345678901"),
                                           sonarchive::bytesToText(std::string("\x10\x27\0\0", 4))}) {  // 10000: no year
            info.sYear = year;
            w.trackList().AddTrackRow(info);
        }
        w.trackList().FormatGrid();
        QCOMPARE(cell(w, 0, C::Year), QStringLiteral("1999"));
        QCOMPARE(cell(w, 1, C::Year), QStringLiteral("98"));
        for (int row : {2, 3, 4}) {
            QCOMPARE(cell(w, row, C::Year), QString());
            QVERIFY(!w.trackList().grid().cellValue(row, C::Year).isValid());
        }
        // Sorted as numbers: 98 before 1999.
        const QAbstractItemModel& model = w.trackList().TracksRS();
        QVERIFY(model.index(1, C::Year).data(TrackTableModel::SortKeyRole).toLongLong() <
                model.index(0, C::Year).data(TrackTableModel::SortKeyRole).toLongLong());
        QCOMPARE(cell(w, 0, C::Title), QStringLiteral("Fine"));
        QCOMPARE(cell(w, 0, C::TrackSize), QStringLiteral("0 Bytes"));
    }

    void sizesOfTwoToFourGiBAreNotNegative()
    {
        frmMain w(m_dialogs);
        w.trackList().CreateTracksRecordset();
        sonarchive::TrackInfo info;
        info.iFileSize = static_cast<std::int32_t>(0xC0000000u);  // 3 GiB in the unsigned field
        w.trackList().AddTrackRow(info);
        w.trackList().FormatGrid();
        QCOMPARE(cell(w, 0, C::TrackSize), QStringLiteral("3 GB"));
    }

    void emptyDeviceLoadsWithAnEmptyGrid()
    {
        FixtureDevice device(std::vector<TrackFixture>{});
        frmMain w(m_dialogs);
        w.useDeviceForThisRun(device.root());
        w.cmdLoadiPod_Click();
        QCOMPARE(w.trackList().statusText(), QStringLiteral("iPod Contents are Loaded"));
        QCOMPARE(w.trackList().grid().rowCount(), 0);
        QCOMPARE(w.trackList().grid().firstRow(), kNoRow);
        QVERIFY(w.connection().capacityText().startsWith(QStringLiteral("iPod Capcity:")));
        child<QCheckBox>(w, "chkSelectAll")->setChecked(true);  // nothing to tick, nothing breaks
        w.CopyCheckedTracks();
        QVERIFY(m_dialogs.prompts.empty());
        QVERIFY(m_dialogs.browserTitles.empty());
    }

    void failedLoadKeepsTheGridAndSaysSo()
    {
        FixtureDevice device({makeTrack(1, u"One"), makeTrack(2, u"Two")});
        frmMain w(m_dialogs);
        w.useDeviceForThisRun(device.root());
        w.cmdLoadiPod_Click();
        QCOMPARE(w.trackList().grid().rowCount(), 2);
        std::filesystem::remove_all(device.dir.path() / "iPod_Control");
        m_dialogs.prompts.clear();
        QSignalSpy read(&w.trackList(), &TrackList::databaseRead);
        QSignalSpy finished(&w.trackList(), &TrackList::loadFinished);
        w.cmdLoadiPod_Click();
        QCOMPARE(read.count(), 0);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.at(0).at(0).toBool(), false);
        QCOMPARE(w.trackList().statusText(), QStringLiteral("Failed to Load iPod Contents"));
        QVERIFY(!m_dialogs.prompts.empty());
        QCOMPARE(m_dialogs.prompts.back().text,
                 QStringLiteral("The iPod Contents are not loaded successfuly, Please check the connection to the iPod"));
        QCOMPARE(m_dialogs.prompts.back().title, QStringLiteral("Tracklift"));
        QCOMPARE(m_dialogs.prompts.back().icon, MessageIcon::Critical);
        QCOMPARE(w.trackList().grid().rowCount(), 2);
        QVERIFY(child<QPushButton>(w, "cmdAbout")->isEnabled());
    }

    void selectAllTicksAndClearsEveryRow()
    {
        FixtureDevice device({makeTrack(1, u"A"), makeTrack(2, u"B"), makeTrack(3, u"C")});
        frmMain w(m_dialogs);
        w.useDeviceForThisRun(device.root());
        w.cmdLoadiPod_Click();
        w.trackList().grid().setRowHidden(1, true);
        QTest::mouseClick(child<QCheckBox>(w, "chkSelectAll"), Qt::LeftButton);
        for (GridRow r = 0; r < 3; ++r)
            QCOMPARE(w.trackList().grid().cellValue(r, C::CheckBox).toInt(), 1);
        QTest::mouseClick(child<QCheckBox>(w, "chkSelectAll"), Qt::LeftButton);
        for (GridRow r = 0; r < 3; ++r)
            QCOMPARE(w.trackList().grid().cellValue(r, C::CheckBox).toInt(), 0);
    }

    void gridLayoutAndWalks()
    {
        FixtureDevice device({makeTrack(1, u"b"), makeTrack(2, u"C"), makeTrack(3, u"a")});
        frmMain w(m_dialogs);
        w.useDeviceForThisRun(device.root());
        w.cmdLoadiPod_Click();
        TrackGrid& grid = w.trackList().grid();
        QVERIFY(grid.isColumnHidden(C::ID));
        QVERIFY(grid.isColumnHidden(C::FilePath));
        QVERIFY(!grid.isColumnHidden(C::PlayCount));
        QCOMPARE(grid.caption(), QString());
        QCOMPARE(grid.view()->model()->headerData(C::CheckBox, Qt::Horizontal).toString(), QStringLiteral(" "));
        QCOMPARE(grid.view()->model()->headerData(C::ID, Qt::Horizontal).toString(), QStringLiteral(" "));
        QCOMPARE(grid.view()->model()->headerData(C::TrackSize, Qt::Horizontal).toString(), QStringLiteral("TrackSize"));
        const double perTwip = grid.view()->logicalDpiX() / 1440.0;
        QCOMPARE(grid.view()->columnWidth(C::Title), qRound(1400 * perTwip));
        QCOMPARE(grid.view()->columnWidth(C::Year), qRound(900 * perTwip));
        QCOMPARE(grid.view()->columnWidth(C::CheckBox), qRound(300 * perTwip));
        const QModelIndex check = grid.view()->model()->index(0, C::CheckBox);
        QVERIFY(check.flags() & Qt::ItemIsUserCheckable);
        QVERIFY(!(grid.view()->model()->index(0, C::Title).flags() & Qt::ItemIsEditable));

        // Walking first to last visits every row once, hidden ones included, in displayed order.
        grid.setRowHidden(1, true);
        QStringList seen;
        for (GridRow r = grid.firstRow(); r != kNoRow; r = grid.nextRow(r))
            seen << grid.cellText(r, C::Title);
        QCOMPARE(seen, (QStringList{"b", "C", "a"}));
        QCOMPARE(grid.previousRow(grid.firstRow()), kNoRow);
        QCOMPARE(grid.lastRow(), 2);
        QVERIFY(grid.isRowHidden(1));

        // After sorting by a header, walks follow what the user sees.
        grid.view()->sortByColumn(C::Title, Qt::AscendingOrder);
        seen.clear();
        for (GridRow r = grid.lastRow(); r != kNoRow; r = grid.previousRow(r))
            seen << grid.cellText(r, C::Title);
        QCOMPARE(seen, (QStringList{"C", "b", "a"}));
        QVERIFY(grid.setCellValue(0, C::CheckBox, 1));
        QCOMPARE(w.trackList().TracksRS().value(2, C::CheckBox).toInt(), 1);  // "a" is the table's third row

        grid.setActiveCell({1, C::Album});
        QCOMPARE(grid.activeRow(), 1);
        QCOMPARE(grid.activeCell(), (GridCell{1, C::Album}));
        grid.setCellAppearance({1, C::Album}, QStringLiteral("Active"));
        QCOMPARE(w.trackList().TracksRS().appearance(grid.tableRow(1), C::Album), QStringLiteral("Active"));
        grid.resetAppearances();
        QCOMPARE(w.trackList().TracksRS().appearance(grid.tableRow(1), C::Album), QString());
        grid.setRowSelected(2, true);
        QVERIFY(grid.isRowSelected(2));
        QVERIFY(!grid.isRowSelected(0));
    }

    void clickingACheckBoxTicksItsRow()
    {
        FixtureDevice device({makeTrack(1, u"A"), makeTrack(2, u"B")});
        frmMain w(m_dialogs);
        TrackGrid& grid = w.trackList().grid();
        w.useDeviceForThisRun(device.root());
        w.show();
        w.cmdLoadiPod_Click();
        finishAnimations(w.panels());
        w.cmdViewContents_Click();
        finishAnimations(w.panels());
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QRect cellRect = grid.view()->visualRect(grid.view()->model()->index(1, C::CheckBox));
        QTest::mouseClick(grid.view()->viewport(), Qt::LeftButton, {}, cellRect.center());
        QCOMPARE(w.trackList().grid().cellValue(1, C::CheckBox).toInt(), 1);
        QCOMPARE(w.trackList().grid().cellValue(0, C::CheckBox).toInt(), 0);
        QTest::mouseClick(grid.view()->viewport(), Qt::LeftButton, {}, cellRect.center());
        QCOMPARE(w.trackList().grid().cellValue(1, C::CheckBox).toInt(), 0);
    }

    void backDropsTheRecordsAndReturnsToTheStartPage()
    {
        FixtureDevice device({makeTrack(1, u"A"), makeTrack(2, u"B")});
        frmMain w(m_dialogs);
        w.useDeviceForThisRun(device.root());
        w.cmdLoadiPod_Click();
        finishAnimations(w.panels());
        w.cmdViewContents_Click();
        finishAnimations(w.panels());
        QVERIFY(w.isContentsPageShown());
        w.cmdCancel_Click();
        finishAnimations(w.panels());
        QVERIFY(!w.isContentsPageShown());
        QVERIFY(w.trackList().TrackInfos().empty());
        QVERIFY(!child<QPushButton>(w, "cmdViewContents")->isVisibleTo(&w));
        QCOMPARE(child<QPushButton>(w, "cmdViewContents")->width(), 0);
        QCOMPARE(w.trackList().statusText(), QStringLiteral("Waiting to load iPod Contents"));
        QCOMPARE(w.trackList().grid().rowCount(), 2);  // the grid keeps its rows until the next load
        QCOMPARE(w.trackList().GetTrackLocation(1), QString());
    }
};

QTEST_MAIN(TrackListTest)
#include "TrackListTest.moc"
