// The copy-off tools of the contents page: the playlist chooser, the status
// line of ticked tracks, sorting by a header, the copy options and the summary,
// and the window at sizes other than its design size.

#include "FixtureDevice.h"
#include "TrackliftTestCase.h"

#include <CopyDialogs.h>
#include <PanelSlides.h>
#include <TrackCopier.h>
#include <TrackInformation.h>
#include <TrackList.h>
#include <WindowMetrics.h>
#include <frmMain.h>

#include <QCheckBox>
#include <QDateTime>
#include <QLocale>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QUrl>

using namespace tracklift;
using sonarchive::TrackInfo;
using namespace testsupport;
using C = TrackTableModel::Column;
namespace fs = std::filesystem;

namespace {

std::u16string locationOf(int id)
{
    const std::string text = ":iPod_Control:Music:F0" + std::to_string(id) + ":T" + std::to_string(id) + ".mp3";
    return std::u16string(text.begin(), text.end());
}

TrackFixture track(std::int32_t id, const std::u16string& title, std::int32_t lengthMs, std::int32_t bytes, const char* year)
{
    TrackFixture t = makeTrack(id, title, u"Band", u"Record", locationOf(id));
    t.lengthMs = lengthMs;
    t.trackSize = bytes;
    t.year = std::string(year, 4);
    return t;
}

// Four tracks; "Road Trip" holds 3, 1, 3 (a repeat), a podcast list holds 2
// and comes first in the file, "日本の歌" holds 4 and an id no track has.
DatabaseFixture playlistDatabase()
{
    DatabaseFixture db = typicalDatabase({
        track(1, u"One", 59'000, 1 << 20, "\xCF\x07\0\0"),             // 0:59, 1 MB, 1999
        track(2, u"two", 600'000, 3 << 20, "\0\0\0\0"),                // 10:00, 3 MB, no year
        track(3, u"Three", 125'000, 2 << 20, "\xD5\x07\0\0"),          // 2:05, 2 MB, 2005
        track(4, u"\u6625\u306E\u6B4C", 5'000, 512 << 10, "\xC6\x07\0\0"),  // 0:05, 512 KB, 1990
    });
    for (SectionFixture& section : db.sections)
        if (auto* playlists = std::get_if<PlaylistSection>(&section); playlists && playlists->type == 2) {
            PlaylistFixture podcasts;
            podcasts.title = u"Podcasts";
            podcasts.podcastFlag = 1;
            podcasts.trackIds = {2};
            PlaylistFixture trip;
            trip.title = u"Road Trip";
            trip.trackIds = {3, 1, 3};
            PlaylistFixture songs;
            songs.title = u"\u65E5\u672C\u306E\u6B4C";
            songs.trackIds = {4, 99};
            playlists->playlists.insert(playlists->playlists.begin() + 1, {podcasts, trip, songs});
        }
    return db;
}

std::vector<std::int32_t> shownIds(TrackGrid& grid, bool visibleOnly = false)
{
    std::vector<std::int32_t> ids;
    for (GridRow r = grid.firstRow(); r != kNoRow; r = grid.nextRow(r))
        if (!visibleOnly || !grid.isRowHidden(r))
            ids.push_back(grid.cellValue(r, C::ID).toInt());
    return ids;
}

void clickHeader(QTableView* view, int column)
{
    QHeaderView* header = view->horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(column) + 4, header->height() / 2));
}

struct LoadedWindow {
    FixtureDevice device{playlistDatabase()};
    frmMain window;

    explicit LoadedWindow(ScriptedDialogs& dialogs) : window(dialogs)
    {
        for (int id = 1; id <= 4; ++id) {
            const std::u16string location = locationOf(id);
            writeFile(device.file(std::string(location.begin(), location.end())),
                      std::string(static_cast<std::size_t>(100 * id), static_cast<char>('a' + id)));
        }
        window.useDeviceForThisRun(device.root());
        window.cmdLoadiPod_Click();
    }
    TrackList& list() { return window.trackList(); }
    TrackGrid& grid() { return window.trackList().grid(); }
    QComboBox* chooser() { return child<QComboBox>(window, "cboPlaylist"); }
    QString status() { return child<QLabel>(window, "lblTicked")->text(); }
    void choose(const QString& caption) { list().showChoice(chooser()->findText(caption)); }
};

}  // namespace

class CopyOffTest : public TrackliftTestCase {
    Q_OBJECT
private slots:
    void theTableKeepsEachTextWhenAnotherIsReplaced()
    {
        TrackTableModel table;
        table.create();
        const int row = table.addNew();
        QVERIFY(table.setField(row, C::Artist, QStringLiteral("Band")));
        QVERIFY(table.setField(row, C::Title, QString()));
        QVERIFY(table.setField(row, C::Album, QStringLiteral("Record")));
        QVERIFY(table.setField(row, C::Title, QStringLiteral("A much longer title")));
        QVERIFY(table.setField(row, C::Artist, QStringLiteral("B")));
        QVERIFY(!table.setField(row, C::Album, QString(251, QLatin1Char('x'))));  // too long: stays as it was
        QCOMPARE(table.text(row, C::Title), QStringLiteral("A much longer title"));
        QCOMPARE(table.text(row, C::Artist), QStringLiteral("B"));
        QCOMPARE(table.text(row, C::Album), QStringLiteral("Record"));
        QVERIFY(!table.value(row, C::Year).isValid());

        // Select All counts a track on two rows once.
        const int again = table.addNew();
        table.setField(again, C::ID, 0);
        table.setField(row, C::ID, 0);
        table.setSortNumber(row, C::TrackSize, 1000);
        table.setSortNumber(again, C::TrackSize, 1000);
        table.setAllTicked(true);
        QCOMPARE(table.ticks().count, 1);
        QCOMPARE(table.ticks().bytes, qint64(1000));
        table.setAllTicked(false);
        QCOMPARE(table.ticks().count, 0);
        QCOMPARE(table.value(again, C::CheckBox).toInt(), 0);
    }

    void chooserListsPlaylistsThenPodcastsAndShowsPlaylistOrder()
    {
        LoadedWindow w(m_dialogs);
        QStringList captions;
        for (int i = 0; i < w.chooser()->count(); ++i)
            captions << w.chooser()->itemText(i);
        QCOMPARE(captions, QStringList({QStringLiteral("All Tracks"), QStringLiteral("Road Trip (3)"),
                                        QStringLiteral("\u65E5\u672C\u306E\u6B4C (1)"), QStringLiteral("Podcasts (1)")}));
        QCOMPARE(shownIds(w.grid()), std::vector<std::int32_t>({1, 2, 3, 4}));
        QVERIFY(w.list().shownPlaylist() == nullptr);

        w.choose(QStringLiteral("Road Trip (3)"));
        QCOMPARE(shownIds(w.grid()), std::vector<std::int32_t>({3, 1, 3}));
        QCOMPARE(QString::fromStdU16String(w.list().shownPlaylist()->name), QStringLiteral("Road Trip"));
        QCOMPARE(w.grid().cellText(0, C::Title), QStringLiteral("Three"));
        w.choose(QStringLiteral("Podcasts (1)"));
        QCOMPARE(shownIds(w.grid()), std::vector<std::int32_t>({2}));
        w.choose(QStringLiteral("All Tracks"));
        QCOMPARE(shownIds(w.grid()), std::vector<std::int32_t>({1, 2, 3, 4}));
        QVERIFY(w.list().shownPlaylist() == nullptr);
    }

    void whatTheiPodRecordedShowsInTheGridThePanelAndTheChooser()
    {
        FixtureDevice device{playlistDatabase()};
        const fs::path root = device.dir.path();
        installBesideDatabase(root, "Play Counts", playCountsFile(28, {{.plays = 4, .rating = 60},
                                                                      {.rating = 100},
                                                                      {.plays = 1, .lastPlayed = deviceClock(1709294400),
                                                                       .bookmarkMs = 95000, .rating = 20, .skips = 2,
                                                                       .lastSkipped = deviceClock(1709294400)},
                                                                      {}}));
        installBesideDatabase(root, "OTGPlaylistInfo", onTheGoFile({3, 0, 3}));
        frmMain window(m_dialogs);
        window.useDeviceForThisRun(device.root());
        window.cmdLoadiPod_Click();
        TrackGrid& grid = window.trackList().grid();
        QComboBox* chooser = child<QComboBox>(window, "cboPlaylist");

        // On-The-Go lists come after every other list.
        QCOMPARE(chooser->itemText(chooser->count() - 1), QStringLiteral("On-The-Go 1 (3)"));
        window.trackList().showChoice(chooser->count() - 1);
        QCOMPARE(shownIds(grid), std::vector<std::int32_t>({4, 1, 4}));
        window.trackList().showChoice(0);

        // Merged counts, stars, and the Rating column sorts by its value.
        QCOMPARE(grid.cellText(0, C::PlayCount), QStringLiteral("4"));
        QCOMPARE(grid.cellText(0, C::Rating), QStringLiteral("\u2605\u2605\u2605\u2606\u2606"));
        QCOMPARE(grid.cellText(3, C::Rating), QString());
        QCOMPARE(window.trackList().grid().view()->model()->headerData(C::Rating, Qt::Horizontal).toString(), QStringLiteral("Rating"));
        clickHeader(grid.view(), C::Rating);
        QCOMPARE(shownIds(grid), std::vector<std::int32_t>({4, 3, 1, 2}));

        // The panel says what the iPod recorded.
        window.trackInformation().FillTrackPanel(3);
        QCOMPARE(child<QLabel>(window, "lblRating")->text(), QStringLiteral("\u2605\u2606\u2606\u2606\u2606"));
        QCOMPARE(child<QLabel>(window, "lblPlays")->text(), QStringLiteral("1 (1 since the last sync)"));
        const QString when = QLocale().toString(QDateTime::fromSecsSinceEpoch(1709294400), QStringLiteral("d MMM yyyy, HH:mm"));
        QCOMPARE(child<QLabel>(window, "lblLastPlayed")->text(), when);
        QCOMPARE(child<QLabel>(window, "lblSkips")->text(), QStringLiteral("2 (last %1)").arg(when));
        QCOMPARE(child<QLabel>(window, "lblBookmark")->text(), QStringLiteral("1:35"));
        window.trackInformation().FillTrackPanel(4);
        QCOMPARE(child<QLabel>(window, "lblRating")->text(), QStringLiteral("Not rated"));
        QCOMPARE(child<QLabel>(window, "lblLastPlayed")->text(), QStringLiteral("Never"));
        QCOMPARE(child<QLabel>(window, "lblBookmark")->text(), QStringLiteral("None"));
    }

    void ticksStayWithTracksAndTheStatusLineCountsEachTrackOnce()
    {
        LoadedWindow w(m_dialogs);
        QCOMPARE(w.status(), QStringLiteral("4 tracks, none ticked"));
        w.grid().setCellValue(0, C::CheckBox, 1);  // One, 1 MB
        QCOMPARE(w.status(), QStringLiteral("1 of 4 tracks ticked, 1 MB"));

        w.choose(QStringLiteral("Road Trip (3)"));
        QCOMPARE(w.grid().cellValue(1, C::CheckBox).toInt(), 1);  // One again
        QCOMPARE(w.status(), QStringLiteral("1 of 2 tracks ticked, 1 MB"));
        child<QCheckBox>(w.window, "chkSelectAll")->setChecked(true);
        // Three is on two rows and counts once: 1 MB + 2 MB.
        QCOMPARE(w.status(), QStringLiteral("2 of 2 tracks ticked, 3 MB"));
        w.grid().setCellValue(0, C::CheckBox, 0);
        QCOMPARE(w.status(), QStringLiteral("2 of 2 tracks ticked, 3 MB"));
        w.grid().setCellValue(2, C::CheckBox, 0);
        QCOMPARE(w.status(), QStringLiteral("1 of 2 tracks ticked, 1 MB"));
        w.grid().setCellValue(0, C::CheckBox, 1);

        w.choose(QStringLiteral("All Tracks"));
        QVERIFY(!child<QCheckBox>(w.window, "chkSelectAll")->isChecked());
        QCOMPARE(w.grid().cellValue(0, C::CheckBox).toInt(), 1);
        QCOMPARE(w.grid().cellValue(1, C::CheckBox).toInt(), 0);
        QCOMPARE(w.grid().cellValue(2, C::CheckBox).toInt(), 1);
        QCOMPARE(w.status(), QStringLiteral("2 of 4 tracks ticked, 3 MB"));
    }

    void filterAppliesWithinTheChosenPlaylist()
    {
        LoadedWindow w(m_dialogs);
        w.choose(QStringLiteral("Road Trip (3)"));
        w.window.filterSearch().setFilterColumn(QStringLiteral("Title"));
        w.window.ApplyFilter(QStringLiteral("one"));
        QCOMPARE(shownIds(w.grid(), true), std::vector<std::int32_t>({1}));
        w.choose(QStringLiteral("All Tracks"));
        QCOMPARE(shownIds(w.grid(), true), std::vector<std::int32_t>({1}));
        w.window.filterSearch().ShowAllRows(true);
        w.choose(QStringLiteral("Road Trip (3)"));
        QCOMPARE(shownIds(w.grid(), true), std::vector<std::int32_t>({3, 1, 3}));
    }

    void headerClickSortsFiguresAsNumbersAndTheSortHolds()
    {
        LoadedWindow w(m_dialogs);
        w.window.show();
        finishAnimations(w.window.panels());
        QTableView* view = child<QTableView>(w.window, "Grid");

        clickHeader(view, C::Length);  // as text "10:00" would come before "2:05"
        QCOMPARE(shownIds(w.grid()), std::vector<std::int32_t>({4, 1, 3, 2}));
        clickHeader(view, C::Length);
        QCOMPARE(shownIds(w.grid()), std::vector<std::int32_t>({2, 3, 1, 4}));
        clickHeader(view, C::Year);  // no year first
        QCOMPARE(shownIds(w.grid()), std::vector<std::int32_t>({2, 4, 1, 3}));
        clickHeader(view, C::TrackSize);  // 512 KB before 1 MB
        QCOMPARE(shownIds(w.grid()), std::vector<std::int32_t>({4, 1, 3, 2}));
        clickHeader(view, C::Title);  // letter case aside
        QCOMPARE(shownIds(w.grid()), std::vector<std::int32_t>({1, 3, 2, 4}));

        w.window.filterSearch().setFilterColumn(QStringLiteral("Title"));
        w.window.ApplyFilter(QStringLiteral("t"));
        QCOMPARE(shownIds(w.grid(), true), std::vector<std::int32_t>({3, 2}));
        w.grid().setCellValue(0, C::CheckBox, 1);  // ticking moves no row
        QCOMPARE(shownIds(w.grid()), std::vector<std::int32_t>({1, 3, 2, 4}));
        w.window.filterSearch().ShowAllRows(true);
        w.choose(QStringLiteral("Road Trip (3)"));
        QCOMPARE(shownIds(w.grid()), std::vector<std::int32_t>({1, 3, 3}));
    }

    void copyOptionsPreviewTheFirstTickedTrackAndAreKeptInTheSettings()
    {
        {
            LoadedWindow w(m_dialogs);
            QCOMPARE(w.window.copier().options(), CopyOptions{});
            w.grid().setCellValue(2, C::CheckBox, 1);  // Three
            bool playlistSwitchShown = true;
            m_dialogs.dialogSteps.push_back([&](QDialog& d) {
                auto& dialog = static_cast<CopyOptionsDialog&>(d);
                playlistSwitchShown = child<QCheckBox>(dialog, "chkPlaylistFile")->isVisibleTo(&dialog);
                if (dialog.previewText() != QStringLiteral("Three.mp3"))
                    return int(QDialog::Rejected);
                dialog.choosePreset(1);
                if (dialog.previewText() != QStringLiteral("Band/Record/Three.mp3"))
                    return int(QDialog::Rejected);
                child<QLineEdit>(dialog, "txtNamePattern")->setText(QStringLiteral("{nope}"));
                auto* ok = dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
                if (ok->isEnabled() || !dialog.previewText().startsWith(QStringLiteral("This pattern cannot be used")))
                    return int(QDialog::Rejected);
                child<QLineEdit>(dialog, "txtNamePattern")->setText(QStringLiteral("{year}/{artist} - {title}"));
                if (!ok->isEnabled() || dialog.previewText() != QStringLiteral("2005/Band - Three.mp3"))
                    return int(QDialog::Rejected);
                child<QCheckBox>(dialog, "chkSkipSameSize")->setChecked(true);
                return int(QDialog::Accepted);
            });
            child<QPushButton>(w.window, "cmdCopyOptions")->click();
            QCOMPARE(m_dialogs.dialogsShown, std::vector<QString>({QStringLiteral("dlgCopyOptions")}));
            QVERIFY(!playlistSwitchShown);
            QCOMPARE(w.window.copier().options().pattern, QStringLiteral("{year}/{artist} - {title}"));
            QVERIFY(w.window.copier().options().skipSameSize);
        }
        // The next run starts with them; a cancelled dialog changes nothing.
        LoadedWindow again(m_dialogs);
        QCOMPARE(again.window.copier().options().pattern, QStringLiteral("{year}/{artist} - {title}"));
        QVERIFY(again.window.copier().options().skipSameSize);
        again.choose(QStringLiteral("Road Trip (3)"));
        bool playlistSwitchShown = false;
        m_dialogs.dialogSteps.push_back([&](QDialog& d) {
            playlistSwitchShown = child<QCheckBox>(d, "chkPlaylistFile")->isVisibleTo(&d);
            child<QCheckBox>(d, "chkSkipSameSize")->setChecked(false);
            return int(QDialog::Rejected);
        });
        again.window.cmdCopyOptions_Click();
        QVERIFY(playlistSwitchShown);
        QVERIFY(again.window.copier().options().skipSameSize);
    }

    void playlistCopyWritesItsPlaylistFileAndSaysWhatHappened()
    {
        LoadedWindow w(m_dialogs);
        QList<QUrl> opened;
        w.window.setUrlOpener([&](const QUrl& url) {
            opened << url;
            return true;
        });
        CopyOptions options;
        options.pattern = QStringLiteral("{index:02} {title}");
        options.skipSameSize = true;
        w.window.copier().setOptions(options);
        w.choose(QStringLiteral("Road Trip (3)"));
        child<QCheckBox>(w.window, "chkSelectAll")->setChecked(true);

        TempDir destination;
        const QString folder = QString::fromStdString(destination.path().string());
        QString summary;
        const auto readSummary = [&](QDialog& d) {
            auto& dialog = static_cast<CopySummaryDialog&>(d);
            summary = dialog.summaryText();
            child<QPushButton>(dialog, "cmdOpenDestination")->click();
            return int(QDialog::Accepted);
        };
        m_dialogs.folders.push_back(folder);
        m_dialogs.dialogSteps.push_back(readSummary);
        w.window.CopyCheckedTracks();

        QCOMPARE(m_dialogs.copyRequests.size(), std::size_t(1));
        QCOMPARE(m_dialogs.copyRequests[0].size(), std::size_t(2));  // Three once, then One
        QCOMPARE(readFile(destination.path() / "01 Three.mp3"), std::string(300, 'd'));
        QCOMPARE(readFile(destination.path() / "02 One.mp3"), std::string(100, 'b'));
        QCOMPARE(readFile(destination.path() / "Road Trip.m3u8"),
                 std::string("#EXTM3U\n#EXTINF:125,Band - Three\n01 Three.mp3\n#EXTINF:59,Band - One\n02 One.mp3\n"
                             "#EXTINF:125,Band - Three\n01 Three.mp3\n"));
        QCOMPARE(summary, QStringLiteral("The copy is finished.\nCopied: 2 files\nSkipped: 0 files\nFailed: 0 files"));
        QCOMPARE(opened, QList<QUrl>({QUrl::fromLocalFile(folder)}));

        // Again: the copies of the same size stay, and the playlist file still names them.
        m_dialogs.folders.push_back(folder);
        m_dialogs.dialogSteps.push_back(readSummary);
        w.window.CopyCheckedTracks();
        QCOMPARE(m_dialogs.copySkipSameSize, std::vector<bool>({true, true}));
        QCOMPARE(summary, QStringLiteral("The copy is finished.\nCopied: 0 files\nSkipped: 2 files\nFailed: 0 files"));
        QVERIFY(readFile(destination.path() / "Road Trip.m3u8").find("02 One.mp3") != std::string::npos);
    }

    void failuresAreListedWithTheirReasons()
    {
        LoadedWindow w(m_dialogs);
        fs::remove(w.device.file(":iPod_Control:Music:F02:T2.mp3"));
        child<QCheckBox>(w.window, "chkSelectAll")->setChecked(true);
        TempDir destination;
        m_dialogs.folders.push_back(QString::fromStdString(destination.path().string()));
        QString summary, failures;
        m_dialogs.dialogSteps.push_back([&](QDialog& d) {
            auto& dialog = static_cast<CopySummaryDialog&>(d);
            summary = dialog.summaryText();
            failures = dialog.failureText();
            return int(QDialog::Accepted);
        });
        w.window.CopyCheckedTracks();
        QCOMPARE(summary, QStringLiteral("The copy is finished.\nCopied: 3 files\nSkipped: 0 files\nFailed: 1 file"));
        QVERIFY2(failures.contains(QStringLiteral("T2.mp3")), qPrintable(failures));
    }

    void aTrackWithoutAFileIsReportedNotSkippedSilently()
    {
        LoadedWindow w(m_dialogs);
        TrackInfo bare = trackInfo(7, QStringLiteral("No File"));  // no location on the device
        w.list().showTracks({bare});
        w.grid().setCellValue(0, C::CheckBox, 1);
        TempDir destination;
        m_dialogs.folders.push_back(QString::fromStdString(destination.path().string()));
        QString summary, failures;
        m_dialogs.dialogSteps.push_back([&](QDialog& d) {
            summary = static_cast<CopySummaryDialog&>(d).summaryText();
            failures = static_cast<CopySummaryDialog&>(d).failureText();
            return int(QDialog::Accepted);
        });
        w.window.CopyCheckedTracks();
        QVERIFY(m_dialogs.copyRequests.empty());
        QCOMPARE(summary, QStringLiteral("The copy is finished.\nCopied: 0 files\nSkipped: 0 files\nFailed: 1 file"));
        QCOMPARE(failures, QStringLiteral("track 7 has no file"));
    }

    void theWindowResizesFromItsDesignSizeUpAndTheGridTakesTheRoom()
    {
        LoadedWindow w(m_dialogs);
        w.window.show();
        finishAnimations(w.window.panels());
        w.window.cmdViewContents_Click();
        finishAnimations(w.window.panels());
        const QSize design(kPageWidth * w.window.logicalDpiX() / 96, kPageHeight * w.window.logicalDpiY() / 96);
        QCOMPARE(w.window.minimumSize(), design);
        QTableView* view = child<QTableView>(w.window, "Grid");
        const int designGridWidth = view->width();

        w.window.resize(design.width() + 400, design.height() + 300);
        QWidget* contents = child<QWidget>(w.window, "frContents");
        QCOMPARE(contents->size(), w.window.size());
        QCOMPARE(contents->x(), 0);  // the contents page stays in view
        QVERIFY(w.window.isContentsPageShown());
        QCOMPARE(view->width(), designGridWidth + 400);
        for (int c : {C::Album, C::Artist, C::Length, C::Type, C::Quality, C::Year, C::TrackSize})
            QVERIFY(view->columnWidth(C::Title) > view->columnWidth(c));
        QCOMPARE(child<QWidget>(w.window, "lblDiskSpace")->width(), w.window.width());

        // The information panel rises to the middle of the wider window.
        w.grid().setActiveRow(0);
        w.window.cmdEditTrack_Click();
        finishAnimations(w.window.panels());
        QWidget* panel = child<QWidget>(w.window, "frEditFrame");
        QCOMPARE(panel->x(), (w.window.width() - panel->width()) / 2);
        QVERIFY(panel->y() + panel->height() <= w.window.height());

        w.window.resize(100, 100);  // no smaller than the design size
        QCOMPARE(w.window.size(), design);
    }
};

QTEST_MAIN(CopyOffTest)
#include "CopyOffTest.moc"
