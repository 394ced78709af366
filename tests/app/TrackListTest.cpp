#include "FixtureDevice.h"
#include "ScriptedDialogs.h"
#include "WindowFixtures.h"

#include <CRegister.h>
#include <frmMain.h>

#include <QCheckBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTest>

using namespace tracklift;
using namespace testsupport;
using C = TrackTableModel::Column;

namespace {

QString cell(frmMain& w, GridRow row, int column)
{
    return w.Grid().cellText(row, column);
}

}  // namespace

class TrackListTest : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        m_config = std::make_unique<TempDir>();
        qputenv("TRACKLIFT_CONFIG_DIR", QByteArray::fromStdString(m_config->path().string()));
        m_dialogs = ScriptedDialogs();
    }

    void firstRunStartsInAutomaticMode()
    {
        frmMain w(m_dialogs);
        QVERIFY(w.optAutomatic->isChecked());
        QVERIFY(!w.optiPodDrive->isChecked());
        QVERIFY(!w.cmdDrive->isEnabled());
        QCOMPARE(w.cmdDrive->text(), QStringLiteral("Select Drive..."));
        QCOMPARE(w.lblStatus->text(), QStringLiteral("Waiting to load iPod contents"));
        QCOMPARE(w.lblDiskSpace->text(), QStringLiteral("...iPod Disk Space..."));
        QVERIFY(!w.cmdViewContents->isVisibleTo(&w));
        QCOMPARE(w.windowTitle(), QStringLiteral("Tracklift"));
        QVERIFY(w.TrackLibrary().iPodDriveLetter().empty());  // the device is not touched at start
    }

    void manualModeAndDriveSurviveARestart()
    {
        {
            frmMain w(m_dialogs);
            w.optiPodDrive->setChecked(true);
            QVERIFY(w.cmdDrive->isEnabled());
            w.cmdDrive->setText(QStringLiteral("/media/me/IPOD [IPOD]"));
            w.close();  // closing by any means saves
        }
        CRegister reg;
        const QString key = frmMain::settingsKey();
        QCOMPARE(reg.REGGetSetting(CRegister::HKEY_LOCAL_MACHINE, key, "AutoDetect", ""), QStringLiteral("False"));
        QCOMPARE(reg.REGGetSetting(CRegister::HKEY_LOCAL_MACHINE, key, "manualDetect", ""), QStringLiteral("True"));
        QCOMPARE(reg.REGGetSetting(CRegister::HKEY_LOCAL_MACHINE, key, "manualDetectDrive", ""), QStringLiteral("/media/me/IPOD [IPOD]"));

        frmMain w(m_dialogs);
        QVERIFY(w.optiPodDrive->isChecked());
        QVERIFY(!w.optAutomatic->isChecked());
        QVERIFY(w.cmdDrive->isEnabled());
        QCOMPARE(w.cmdDrive->text(), QStringLiteral("/media/me/IPOD [IPOD]"));
        w.setVolumeQuery([](const QString&) { return VolumeFigures{}; });
        QVERIFY(w.ConnectLibrary());
        QCOMPARE(QString::fromStdU16String(w.TrackLibrary().iPodDriveLetter()), QStringLiteral("/media/me/IPOD/"));
        QVERIFY(m_dialogs.prompts.empty());
    }

    void driveRootsFromCaptions()
    {
        QCOMPARE(frmMain::driveRootFromCaption("/media/me/IPOD [IPOD]"), QStringLiteral("/media/me/IPOD/"));
        QCOMPARE(frmMain::driveRootFromCaption("/media/me/My iPod"), QStringLiteral("/media/me/My iPod/"));
        QCOMPARE(frmMain::driveRootFromCaption("/ [root]"), QStringLiteral("/"));
        QCOMPARE(frmMain::driveRootFromCaption("/media/x [y] []"), QStringLiteral("/media/x [y]/"));
        frmMain w(m_dialogs);
        w.useDeviceForThisRun(QStringLiteral("/media/x [y]"));
        QCOMPARE(frmMain::driveRootFromCaption(w.cmdDrive->text()), QStringLiteral("/media/x [y]/"));
    }

    void storedBooleansFollowTheTextToBooleanRule()
    {
        CRegister reg;
        const QString key = frmMain::settingsKey();
        reg.REGSaveSetting(CRegister::HKEY_LOCAL_MACHINE, key, "AutoDetect", "0");
        reg.REGSaveSetting(CRegister::HKEY_LOCAL_MACHINE, key, "manualDetect", "-1");
        frmMain w(m_dialogs);
        QVERIFY(w.optiPodDrive->isChecked());
        reg.REGSaveSetting(CRegister::HKEY_LOCAL_MACHINE, key, "AutoDetect", "tRUE");
        reg.REGSaveSetting(CRegister::HKEY_LOCAL_MACHINE, key, "manualDetect", "false");
        frmMain w2(m_dialogs);
        QVERIFY(w2.optAutomatic->isChecked());
    }

    void manualModeWithoutADriveWarnsAndDoesNotLoad()
    {
        frmMain w(m_dialogs);
        w.setVolumeQuery([](const QString&) { return VolumeFigures{}; });
        w.optiPodDrive->setChecked(true);
        w.cmdLoadiPod->click();
        QCOMPARE(m_dialogs.prompts.size(), std::size_t(1));
        QCOMPARE(m_dialogs.prompts[0].text, QStringLiteral("Please, Manually specify the iPod Drive first"));
        QCOMPARE(m_dialogs.prompts[0].title, QStringLiteral("Tracklift"));
        QCOMPARE(m_dialogs.prompts[0].icon, MessageIcon::Exclamation);
        QCOMPARE(w.lblStatus->text(), QStringLiteral("Failed to Load iPod Contents"));
        QVERIFY(w.cmdAbout->isEnabled());
        // The capacity line is refreshed even so: the library has no drive.
        QCOMPARE(w.lblDiskSpace->text(), QStringLiteral("iPod Capcity:0 Bytes - Used Space:0 Bytes - Free Space:0 Bytes (0%)"));
    }

    void automaticModeLetsTheLibraryLookForTheDevice()
    {
        frmMain w(m_dialogs);
        w.setVolumeQuery([](const QString&) { return VolumeFigures{}; });
        w.cmdLoadiPod->click();
        QVERIFY(!m_dialogs.prompts.empty());
        if (!m_dialogs.prompts.front().text.startsWith(QStringLiteral("Tracklift can't find your iPod")))
            QSKIP("a device seems to be connected to this machine");
        // The library's question has no title of its own: the program's title stands in.
        QCOMPARE(m_dialogs.prompts.front().title, QStringLiteral("Tracklift"));
        QCOMPARE(w.lblStatus->text(), QStringLiteral("Failed to Load iPod Contents"));
        QCOMPARE(m_dialogs.prompts.back().text,
                 QStringLiteral("The iPod Contents are not loaded successfuly, Please check the connection to the iPod"));
    }

    void deviceGivenForOneRunIsNotStored()
    {
        CRegister reg;
        const QString key = frmMain::settingsKey();
        FixtureDevice device({makeTrack(1, u"One")});
        {
            frmMain w(m_dialogs);
            w.useDeviceForThisRun(device.root());
            QVERIFY(w.optiPodDrive->isChecked());
            w.cmdLoadiPod->click();
            QCOMPARE(w.lblStatus->text(), QStringLiteral("iPod Contents are Loaded"));
            QCOMPARE(QString::fromStdU16String(w.TrackLibrary().iPodDriveLetter()), device.root() + "/");
            w.close();
        }
        QCOMPARE(reg.REGGetSetting(CRegister::HKEY_LOCAL_MACHINE, key, "manualDetect", "absent"), QStringLiteral("0"));
        QCOMPARE(reg.REGGetSetting(CRegister::HKEY_LOCAL_MACHINE, key, "manualDetectDrive", ""), QStringLiteral("Select Drive..."));
        frmMain w(m_dialogs);
        QVERIFY(w.optAutomatic->isChecked());
    }

    void capacityLineAndSmallDeviceBoundary()
    {
        frmMain w(m_dialogs);
        w.optiPodDrive->setChecked(true);
        w.cmdDrive->setText(QStringLiteral("/media/ipod"));
        QString asked;
        std::uint64_t total = 8089934591ULL;
        w.setVolumeQuery([&](const QString& root) {
            asked = root;
            return VolumeFigures{total, total / 4};
        });
        w.ConnectLibrary();
        QCOMPARE(asked, QStringLiteral("/media/ipod/"));
        QVERIFY(w.IsSmallDevice);
        QVERIFY(w.TrackLibrary().iPodShuffle());
        total = 8089934592ULL;
        w.ConnectLibrary();
        QVERIFY(!w.IsSmallDevice);
        QVERIFY(!w.TrackLibrary().iPodShuffle());

        w.setVolumeQuery([](const QString&) { return VolumeFigures{32015679488ULL, 3221225472ULL}; });
        w.ShowDiskSpace(QStringLiteral("/media/ipod/"));
        QCOMPARE(w.lblDiskSpace->text(),
                 QStringLiteral("iPod Capcity:29.82 GB - Used Space:26.82 GB - Free Space:3 GB (10.1%)"));
        QCOMPARE(w.TotalSpace - w.FreeSpace, w.UsedSpace);
        QCOMPARE(w.FreePercent, 10.1f);
    }

    void loadShowsOneRowPerTrackWithEveryColumn()
    {
        TrackFixture full = makeTrack(7, u"Song", u"Band", u"Record");
        full.playCount = 12;
        full.bitrate = 192;
        full.year = "2004";
        full.trackSize = 3145728;
        full.lengthMs = 185999;
        TrackFixture bare = makeTrack(8, std::u16string(300, u'x'), u"", u" ");
        bare.fileType = "M4A ";
        TrackFixture mp3 = makeTrack(9, u"Third");
        mp3.fileType = "MP3 ";
        FixtureDevice device({full, bare, mp3});

        frmMain w(m_dialogs);
        w.useDeviceForThisRun(device.root());
        w.cmdLoadiPod->click();
        QVERIFY2(m_dialogs.prompts.empty(), m_dialogs.prompts.empty() ? "" : qPrintable(m_dialogs.prompts[0].text));
        QCOMPARE(w.lblStatus->text(), QStringLiteral("iPod Contents are Loaded"));
        QVERIFY(w.cmdViewContents->isVisibleTo(&w));
        finishAnimations(w);
        QCOMPARE(w.cmdViewContents->text(), QStringLiteral("View && Copy iPod Contents>> "));
        QVERIFY(w.lblDiskSpace->text().startsWith(QStringLiteral("iPod Capcity:")));

        TrackGrid& grid = w.Grid();
        QCOMPARE(grid.rowCount(), 3);
        QCOMPARE(w.TrackInfos.size(), std::size_t(3));
        const QStringList expected = {"7", "0", "Song", "Record", "Band", "3:05", "MP3", "12", "192 kbs", "2004", "3 MB", ""};
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
        w.cmdLoadiPod->click();
        QCOMPARE(grid.rowCount(), 3);
        QCOMPARE(cell(w, 2, C::Title), QStringLiteral("Third"));
        QCOMPARE(w.GetTrackLocation(9), QString::fromStdString(device.file(":iPod_Control:Music:F00:ABCD.mp3").string()));
        QCOMPARE(w.GetTrackLocation(12345), QString());
    }

    void emptyRecordGivesTheDefaultRow()
    {
        frmMain w(m_dialogs);
        w.CreateTracksRecordset();
        QVERIFY(w.AddTrackRow(sonarchive::TrackInfo{}));
        w.FormatGrid();
        const QStringList expected = {"0", "0", "", "Unknown", "Unknown", "0:00", "", "0", "0 kbs", "", "0 Bytes", ""};
        for (int c = 0; c < C::ColumnCount; ++c)
            QCOMPARE(cell(w, 0, c), expected[c]);
    }

    void yearShowsTheNumberItsFourBytesHold()
    {
        frmMain w(m_dialogs);
        w.CreateTracksRecordset();
        sonarchive::TrackInfo info;
        info.sTitle = u"Fine";
        for (const std::u16string& year : {sonarchive::bytesToText(std::string("\xCF\x07\0\0", 4)),  // 1999, as devices keep it
                                           std::u16string(u"98") + u'\0' + u'\0',                         // digits, as written once
                                           std::u16string(4, u'\0'), std::u16string(u"12345678901"),
                                           sonarchive::bytesToText(std::string("\x10\x27\0\0", 4))}) {  // 10000: no year
            info.sYear = year;
            w.AddTrackRow(info);
        }
        w.FormatGrid();
        QCOMPARE(cell(w, 0, C::Year), QStringLiteral("1999"));
        QCOMPARE(cell(w, 1, C::Year), QStringLiteral("98"));
        for (int row : {2, 3, 4}) {
            QCOMPARE(cell(w, row, C::Year), QString());
            QVERIFY(!w.Grid().cellValue(row, C::Year).isValid());
        }
        // Sorted as numbers: 98 before 1999.
        const QAbstractItemModel& model = w.TracksRS;
        QVERIFY(model.index(1, C::Year).data(TrackTableModel::SortKeyRole).toLongLong() <
                model.index(0, C::Year).data(TrackTableModel::SortKeyRole).toLongLong());
        QCOMPARE(cell(w, 0, C::Title), QStringLiteral("Fine"));
        QCOMPARE(cell(w, 0, C::TrackSize), QStringLiteral("0 Bytes"));
    }

    void sizesOfTwoToFourGiBAreNotNegative()
    {
        frmMain w(m_dialogs);
        w.CreateTracksRecordset();
        sonarchive::TrackInfo info;
        info.iFileSize = static_cast<std::int32_t>(0xC0000000u);  // 3 GiB in the unsigned field
        w.AddTrackRow(info);
        w.FormatGrid();
        QCOMPARE(cell(w, 0, C::TrackSize), QStringLiteral("3 GB"));
    }

    void emptyDeviceLoadsWithAnEmptyGrid()
    {
        FixtureDevice device({});
        frmMain w(m_dialogs);
        w.useDeviceForThisRun(device.root());
        w.cmdLoadiPod->click();
        QCOMPARE(w.lblStatus->text(), QStringLiteral("iPod Contents are Loaded"));
        QCOMPARE(w.Grid().rowCount(), 0);
        QCOMPARE(w.Grid().firstRow(), kNoRow);
        QVERIFY(w.lblDiskSpace->text().startsWith(QStringLiteral("iPod Capcity:")));
        w.chkSelectAll->setChecked(true);  // nothing to tick, nothing breaks
        w.CopyCheckedTracks();
        QVERIFY(m_dialogs.prompts.empty());
        QVERIFY(m_dialogs.browserTitles.empty());
    }

    void failedLoadKeepsTheGridAndSaysSo()
    {
        FixtureDevice device({makeTrack(1, u"One"), makeTrack(2, u"Two")});
        frmMain w(m_dialogs);
        w.useDeviceForThisRun(device.root());
        w.cmdLoadiPod->click();
        QCOMPARE(w.Grid().rowCount(), 2);
        std::filesystem::remove_all(device.dir.path() / "iPod_Control");
        m_dialogs.prompts.clear();
        w.cmdLoadiPod->click();
        QCOMPARE(w.lblStatus->text(), QStringLiteral("Failed to Load iPod Contents"));
        QVERIFY(!m_dialogs.prompts.empty());
        QCOMPARE(m_dialogs.prompts.back().text,
                 QStringLiteral("The iPod Contents are not loaded successfuly, Please check the connection to the iPod"));
        QCOMPARE(m_dialogs.prompts.back().title, QStringLiteral("Tracklift"));
        QCOMPARE(m_dialogs.prompts.back().icon, MessageIcon::Critical);
        QCOMPARE(w.Grid().rowCount(), 2);
        QVERIFY(w.cmdAbout->isEnabled());
    }

    void selectAllTicksAndClearsEveryRow()
    {
        FixtureDevice device({makeTrack(1, u"A"), makeTrack(2, u"B"), makeTrack(3, u"C")});
        frmMain w(m_dialogs);
        w.useDeviceForThisRun(device.root());
        w.cmdLoadiPod->click();
        w.Grid().setRowHidden(1, true);
        QTest::mouseClick(w.chkSelectAll, Qt::LeftButton);
        for (GridRow r = 0; r < 3; ++r)
            QCOMPARE(w.Grid().cellValue(r, C::CheckBox).toInt(), 1);
        QTest::mouseClick(w.chkSelectAll, Qt::LeftButton);
        for (GridRow r = 0; r < 3; ++r)
            QCOMPARE(w.Grid().cellValue(r, C::CheckBox).toInt(), 0);
    }

    void gridLayoutAndWalks()
    {
        FixtureDevice device({makeTrack(1, u"b"), makeTrack(2, u"C"), makeTrack(3, u"a")});
        frmMain w(m_dialogs);
        w.useDeviceForThisRun(device.root());
        w.cmdLoadiPod->click();
        TrackGrid& grid = w.Grid();
        QVERIFY(grid.isColumnHidden(C::ID));
        QVERIFY(grid.isColumnHidden(C::FilePath));
        QVERIFY(!grid.isColumnHidden(C::PlayCount));
        QCOMPARE(grid.caption(), QString());
        QCOMPARE(w.gridView->model()->headerData(C::CheckBox, Qt::Horizontal).toString(), QStringLiteral(" "));
        QCOMPARE(w.gridView->model()->headerData(C::ID, Qt::Horizontal).toString(), QStringLiteral(" "));
        QCOMPARE(w.gridView->model()->headerData(C::TrackSize, Qt::Horizontal).toString(), QStringLiteral("TrackSize"));
        const double perTwip = w.gridView->logicalDpiX() / 1440.0;
        QCOMPARE(w.gridView->columnWidth(C::Title), qRound(1400 * perTwip));
        QCOMPARE(w.gridView->columnWidth(C::Year), qRound(900 * perTwip));
        QCOMPARE(w.gridView->columnWidth(C::CheckBox), qRound(300 * perTwip));
        const QModelIndex check = w.gridView->model()->index(0, C::CheckBox);
        QVERIFY(check.flags() & Qt::ItemIsUserCheckable);
        QVERIFY(!(w.gridView->model()->index(0, C::Title).flags() & Qt::ItemIsEditable));

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
        w.gridView->sortByColumn(C::Title, Qt::AscendingOrder);
        seen.clear();
        for (GridRow r = grid.lastRow(); r != kNoRow; r = grid.previousRow(r))
            seen << grid.cellText(r, C::Title);
        QCOMPARE(seen, (QStringList{"C", "b", "a"}));
        QVERIFY(grid.setCellValue(0, C::CheckBox, 1));
        QCOMPARE(w.TracksRS.value(2, C::CheckBox).toInt(), 1);  // "a" is the table's third row

        grid.setActiveCell({1, C::Album});
        QCOMPARE(grid.activeRow(), 1);
        QCOMPARE(grid.activeCell(), (GridCell{1, C::Album}));
        grid.setCellAppearance({1, C::Album}, QStringLiteral("Active"));
        QCOMPARE(w.TracksRS.appearance(grid.tableRow(1), C::Album), QStringLiteral("Active"));
        grid.resetAppearances();
        QCOMPARE(w.TracksRS.appearance(grid.tableRow(1), C::Album), QString());
        grid.setRowSelected(2, true);
        QVERIFY(grid.isRowSelected(2));
        QVERIFY(!grid.isRowSelected(0));
    }

    void clickingACheckBoxTicksItsRow()
    {
        FixtureDevice device({makeTrack(1, u"A"), makeTrack(2, u"B")});
        frmMain w(m_dialogs);
        w.useDeviceForThisRun(device.root());
        w.show();
        w.cmdLoadiPod->click();
        finishAnimations(w);
        w.cmdViewContents->click();
        finishAnimations(w);
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QRect cellRect = w.gridView->visualRect(w.gridView->model()->index(1, C::CheckBox));
        QTest::mouseClick(w.gridView->viewport(), Qt::LeftButton, {}, cellRect.center());
        QCOMPARE(w.Grid().cellValue(1, C::CheckBox).toInt(), 1);
        QCOMPARE(w.Grid().cellValue(0, C::CheckBox).toInt(), 0);
        QTest::mouseClick(w.gridView->viewport(), Qt::LeftButton, {}, cellRect.center());
        QCOMPARE(w.Grid().cellValue(1, C::CheckBox).toInt(), 0);
    }

    void backDropsTheRecordsAndReturnsToTheStartPage()
    {
        FixtureDevice device({makeTrack(1, u"A"), makeTrack(2, u"B")});
        frmMain w(m_dialogs);
        w.useDeviceForThisRun(device.root());
        w.cmdLoadiPod->click();
        finishAnimations(w);
        w.cmdViewContents->click();
        finishAnimations(w);
        QVERIFY(w.isContentsPageShown());
        w.cmdCancel->click();
        finishAnimations(w);
        QVERIFY(!w.isContentsPageShown());
        QVERIFY(w.TrackInfos.empty());
        QVERIFY(w.TrackSet.m_mhlt.m_mhit.empty());
        QVERIFY(!w.cmdViewContents->isVisibleTo(&w));
        QCOMPARE(w.cmdViewContents->width(), 0);
        QCOMPARE(w.lblStatus->text(), QStringLiteral("Waiting to load iPod Contents"));
        QCOMPARE(w.Grid().rowCount(), 2);  // the grid keeps its rows until the next load
        QCOMPARE(w.GetTrackLocation(1), QString());
    }

private:
    std::unique_ptr<TempDir> m_config;
    ScriptedDialogs m_dialogs;
};

QTEST_MAIN(TrackListTest)
#include "TrackListTest.moc"
