#include "FixtureDevice.h"
#include "TrackliftTestCase.h"

#include <CRegister.h>
#include <DeviceConnection.h>
#include <TrackList.h>
#include <frmMain.h>
#include <frmMenus.h>

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace tracklift;
using namespace testsupport;

namespace {

VolumeFigures noVolume(const QString&)
{
    return {};
}

}  // namespace

class DeviceConnectionTest : public TrackliftTestCase {
    Q_OBJECT
private slots:
    void firstRunStartsInAutomaticMode()
    {
        frmMain w(m_dialogs);
        DeviceConnection& c = w.connection();
        QVERIFY(!c.isManualMode());
        QVERIFY(child<QRadioButton>(w, "optAutomatic")->isChecked());
        QVERIFY(!child<QRadioButton>(w, "optiPodDrive")->isChecked());
        QVERIFY(!child<QPushButton>(w, "cmdDrive")->isEnabled());
        QCOMPARE(c.driveCaption(), QStringLiteral("Select Drive..."));
        QCOMPARE(w.trackList().statusText(), QStringLiteral("Waiting to load iPod contents"));
        QCOMPARE(c.capacityText(), QStringLiteral("...iPod Disk Space..."));
        QVERIFY(!child<QPushButton>(w, "cmdViewContents")->isVisibleTo(&w));
        QCOMPARE(w.windowTitle(), QStringLiteral("Tracklift"));
        QVERIFY(w.TrackLibrary().iPodDriveLetter().empty());  // the device is not touched at start
    }

    void manualModeAndDriveSurviveARestart()
    {
        {
            frmMain w(m_dialogs);
            w.connection().chooseManualMode(true);
            QVERIFY(child<QPushButton>(w, "cmdDrive")->isEnabled());
            w.connection().mnuDriveItem_Click(QStringLiteral("/media/me/IPOD [IPOD]"));
            w.close();  // closing by any means saves
        }
        CRegister reg;
        const QString key = DeviceConnection::settingsKey();
        QCOMPARE(reg.REGGetSetting(CRegister::HKEY_LOCAL_MACHINE, key, "AutoDetect", ""), QStringLiteral("False"));
        QCOMPARE(reg.REGGetSetting(CRegister::HKEY_LOCAL_MACHINE, key, "manualDetect", ""), QStringLiteral("True"));
        QCOMPARE(reg.REGGetSetting(CRegister::HKEY_LOCAL_MACHINE, key, "manualDetectDrive", ""), QStringLiteral("/media/me/IPOD [IPOD]"));

        frmMain w(m_dialogs);
        DeviceConnection& c = w.connection();
        QVERIFY(c.isManualMode());
        QVERIFY(!child<QRadioButton>(w, "optAutomatic")->isChecked());
        QVERIFY(child<QPushButton>(w, "cmdDrive")->isEnabled());
        QCOMPARE(c.driveCaption(), QStringLiteral("/media/me/IPOD [IPOD]"));
        c.setVolumeQuery(noVolume);
        QVERIFY(w.ConnectLibrary());
        QCOMPARE(QString::fromStdU16String(w.TrackLibrary().iPodDriveLetter()), QStringLiteral("/media/me/IPOD/"));
        QVERIFY(m_dialogs.prompts.empty());
    }

    void driveRootsFromCaptions()
    {
        QCOMPARE(DeviceConnection::driveRootFromCaption("/media/me/IPOD [IPOD]"), QStringLiteral("/media/me/IPOD/"));
        QCOMPARE(DeviceConnection::driveRootFromCaption("/media/me/My iPod"), QStringLiteral("/media/me/My iPod/"));
        QCOMPARE(DeviceConnection::driveRootFromCaption("/ [root]"), QStringLiteral("/"));
        QCOMPARE(DeviceConnection::driveRootFromCaption("/media/x [y] []"), QStringLiteral("/media/x [y]/"));
        frmMain w(m_dialogs);
        w.useDeviceForThisRun(QStringLiteral("/media/x [y]"));
        QCOMPARE(DeviceConnection::driveRootFromCaption(w.connection().driveCaption()), QStringLiteral("/media/x [y]/"));
    }

    void storedBooleansFollowTheTextToBooleanRule()
    {
        CRegister reg;
        const QString key = DeviceConnection::settingsKey();
        reg.REGSaveSetting(CRegister::HKEY_LOCAL_MACHINE, key, "AutoDetect", "0");
        reg.REGSaveSetting(CRegister::HKEY_LOCAL_MACHINE, key, "manualDetect", "-1");
        frmMain w(m_dialogs);
        QVERIFY(w.connection().isManualMode());
        reg.REGSaveSetting(CRegister::HKEY_LOCAL_MACHINE, key, "AutoDetect", "tRUE");
        reg.REGSaveSetting(CRegister::HKEY_LOCAL_MACHINE, key, "manualDetect", "false");
        frmMain w2(m_dialogs);
        QVERIFY(!w2.connection().isManualMode());
        QVERIFY(child<QRadioButton>(w2, "optAutomatic")->isChecked());
    }

    void manualModeWithoutADriveWarnsAndDoesNotLoad()
    {
        frmMain w(m_dialogs);
        w.connection().setVolumeQuery(noVolume);
        w.connection().chooseManualMode(true);
        w.cmdLoadiPod_Click();
        QCOMPARE(m_dialogs.prompts.size(), std::size_t(1));
        QCOMPARE(m_dialogs.prompts[0].text, QStringLiteral("Please, Manually specify the iPod Drive first"));
        QCOMPARE(m_dialogs.prompts[0].title, QStringLiteral("Tracklift"));
        QCOMPARE(m_dialogs.prompts[0].icon, MessageIcon::Exclamation);
        QCOMPARE(w.trackList().statusText(), QStringLiteral("Failed to Load iPod Contents"));
        QVERIFY(child<QPushButton>(w, "cmdAbout")->isEnabled());
        // The capacity line is refreshed even so: the library has no drive.
        QCOMPARE(w.connection().capacityText(), QStringLiteral("iPod Capcity:0 Bytes - Used Space:0 Bytes - Free Space:0 Bytes (0%)"));
    }

    void automaticModeLetsTheLibraryLookForTheDevice()
    {
        frmMain w(m_dialogs);
        w.connection().setVolumeQuery(noVolume);
        w.cmdLoadiPod_Click();
        QVERIFY(!m_dialogs.prompts.empty());
        if (!m_dialogs.prompts.front().text.startsWith(QStringLiteral("Tracklift can't find your iPod")))
            QSKIP("a device seems to be connected to this machine");
        // The library's question has no title of its own: the program's title stands in.
        QCOMPARE(m_dialogs.prompts.front().title, QStringLiteral("Tracklift"));
        QCOMPARE(w.trackList().statusText(), QStringLiteral("Failed to Load iPod Contents"));
        QCOMPARE(m_dialogs.prompts.back().text,
                 QStringLiteral("The iPod Contents are not loaded successfuly, Please check the connection to the iPod"));
    }

    void deviceGivenForOneRunIsNotStored()
    {
        CRegister reg;
        const QString key = DeviceConnection::settingsKey();
        FixtureDevice device({makeTrack(1, u"One")});
        {
            frmMain w(m_dialogs);
            w.useDeviceForThisRun(device.root());
            QVERIFY(w.connection().isManualMode());
            w.cmdLoadiPod_Click();
            QCOMPARE(w.trackList().statusText(), QStringLiteral("iPod Contents are Loaded"));
            QCOMPARE(QString::fromStdU16String(w.TrackLibrary().iPodDriveLetter()), device.root() + "/");
            w.close();
        }
        QCOMPARE(reg.REGGetSetting(CRegister::HKEY_LOCAL_MACHINE, key, "manualDetect", "absent"), QStringLiteral("0"));
        QCOMPARE(reg.REGGetSetting(CRegister::HKEY_LOCAL_MACHINE, key, "manualDetectDrive", ""), QStringLiteral("Select Drive..."));
        frmMain w(m_dialogs);
        QVERIFY(!w.connection().isManualMode());
    }

    void capacityLineAndSmallDeviceBoundary()
    {
        frmMain w(m_dialogs);
        DeviceConnection& c = w.connection();
        c.chooseManualMode(true);
        c.mnuDriveItem_Click(QStringLiteral("/media/ipod"));
        QString asked;
        std::uint64_t total = 8089934591ULL;
        c.setVolumeQuery([&](const QString& root) {
            asked = root;
            return VolumeFigures{total, total / 4};
        });
        c.ConnectLibrary();
        QCOMPARE(asked, QStringLiteral("/media/ipod/"));
        QVERIFY(c.capacity().IsSmallDevice);
        QVERIFY(w.TrackLibrary().iPodShuffle());
        total = 8089934592ULL;
        c.ConnectLibrary();
        QVERIFY(!c.capacity().IsSmallDevice);
        QVERIFY(!w.TrackLibrary().iPodShuffle());

        c.setVolumeQuery([](const QString&) { return VolumeFigures{32015679488ULL, 3221225472ULL}; });
        c.ShowDiskSpace(QStringLiteral("/media/ipod/"));
        QCOMPARE(c.capacityText(), QStringLiteral("iPod Capcity:29.82 GB - Used Space:26.82 GB - Free Space:3 GB (10.1%)"));
        QCOMPARE(child<QLabel>(w, "lblDiskSpace")->text(), c.capacityText());
        QCOMPARE(c.capacity().TotalSpace - c.capacity().FreeSpace, c.capacity().UsedSpace);
        QCOMPARE(c.capacity().FreePercent, 10.1f);
    }

    void driveMenuListsTheMountedVolumes()
    {
        {
            frmMain w(m_dialogs);
            DeviceConnection& c = w.connection();
            QStringList drives = {"/media/me/IPOD [IPOD]", "/mnt/usb []", "/media/me/A&B [Rock & Roll]"};
            c.setDriveSource([&] { return drives; });
            c.chooseManualMode(true);
            child<QPushButton>(w, "cmdDrive")->click();
            QCOMPARE(w.Menus().lastShown(), w.Menus().mnuDrive);
            const auto& items = w.Menus().mnuDriveItem;
            QCOMPARE(items.size(), std::size_t(4));
            QVERIFY(!items[0]->isVisible());
            QCOMPARE(items[0]->text(), QString(31, QLatin1Char(' ')));
            QCOMPARE(items[1]->text(), QStringLiteral("/media/me/IPOD [IPOD]"));
            QCOMPARE(c.Drives(), drives);
            w.Menus().mnuDrive->close();

            // The menu is built anew each time.
            drives.removeFirst();
            w.cmdDrive_Click();
            QCOMPARE(w.Menus().mnuDriveItem.size(), std::size_t(3));
            w.Menus().mnuDriveItem[2]->trigger();
            w.Menus().mnuDrive->close();
            QCOMPARE(child<QPushButton>(w, "cmdDrive")->text(), QStringLiteral("/media/me/A&&B [Rock && Roll]"));
            QCOMPARE(c.driveCaption(), QStringLiteral("/media/me/A&B [Rock & Roll]"));
            w.close();
        }
        frmMain w(m_dialogs);
        QVERIFY(w.connection().isManualMode());
        QCOMPARE(child<QPushButton>(w, "cmdDrive")->text(), QStringLiteral("/media/me/A&&B [Rock && Roll]"));
        QCOMPARE(DeviceConnection::driveRootFromCaption(QStringLiteral("/media/me/A&B [Rock & Roll]")), QStringLiteral("/media/me/A&B/"));

        w.connection().setDriveSource([] { return QStringList(); });
        w.cmdDrive_Click();
        QCOMPARE(w.Menus().mnuDriveItem.size(), std::size_t(1));
        w.Menus().mnuDrive->close();

        for (const QString& drive : DeviceConnection::mountedDrives()) {
            QVERIFY2(drive.endsWith(QLatin1Char(']')) && drive.contains(QStringLiteral(" [")), qPrintable(drive));
            QVERIFY(!drive.startsWith(QStringLiteral("/proc")));
        }
    }
};

QTEST_MAIN(DeviceConnectionTest)
#include "DeviceConnectionTest.moc"
