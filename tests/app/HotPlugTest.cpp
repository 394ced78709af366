// Tracklift with the desktop's disk service (its stand-in on a private system
// bus): iPods plugged in and out, mounting on load, ejecting, and what a
// read-only iPod says before it would be changed; and the same window without
// any bus.
#include "DatabaseBuilder.h"
#include "TrackliftTestCase.h"
#include "UDisksStandIn.h"

#include <DeviceConnection.h>
#include <DeviceWatch.h>
#include <TrackList.h>
#include <WriteAccess.h>
#include <frmMain.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace tracklift;
using namespace testsupport;

namespace {

const QString kConnected = QStringLiteral("iPod connected: Apple iPod USB Device");
const std::string kIpodBlock = UDisksStandIn::blockObject("sdb2");
const std::string kIpodDrive = UDisksStandIn::driveObject(UDisksStandIn::kIpodDrive);

}  // namespace

// Starts the stand-in with these disks, or skips the test when the machine lacks its parts.
#define START_SERVICE(service, ...)                                                      \
    if (const std::string missing = UDisksStandIn::missingParts(); !missing.empty())     \
        QSKIP(missing.c_str());                                                          \
    const std::unique_ptr<UDisksStandIn> service = startService(__VA_ARGS__);           \
    QVERIFY2(service->isRunning(), service->failure().c_str())

class HotPlugTest : public TrackliftTestCase {
    Q_OBJECT
private:
    // The stand-in with these disks, and the iPod's database waiting on the
    // file system it mounts.
    std::unique_ptr<UDisksStandIn> startService(const std::vector<std::string>& plugged)
    {
        auto service = std::make_unique<UDisksStandIn>(plugged);
        if (service->isRunning())
            installDatabase(service->mountFolder("IPOD"), buildDatabase(typicalDatabase({makeTrack(7, u"Seven"), makeTrack(8, u"Eight")})));
        return service;
    }

    // A window that has loaded the iPod, which automatic detection mounted.
    void load(frmMain& w)
    {
        QTRY_COMPARE(w.connection().deviceNotice(), kConnected);
        w.cmdLoadiPod_Click();
        QCOMPARE(w.trackList().statusText(), QStringLiteral("iPod Contents are Loaded"));
    }

private slots:
    void iPodsPluggedInAndOutAreShownOnTheStartPage()
    {
        START_SERVICE(service, {"stick"});
        frmMain w(m_dialogs);
        auto* eject = child<QPushButton>(w, "cmdEject");
        QVERIFY(w.connection().deviceWatch().isWatching());
        QCOMPARE(w.connection().deviceNotice(), QString());
        QVERIFY(!eject->isEnabled());

        service->plug("ipod");
        QTRY_COMPARE(w.connection().deviceNotice(), kConnected);
        QVERIFY(eject->isEnabled());
        QCOMPARE(w.connection().deviceWatch().devices().size(), std::size_t(1));

        service->unplug("stick");  // no iPod: nothing said
        service->unplug("ipod");
        QTRY_COMPARE(w.connection().deviceNotice(), QString());
        QVERIFY(!eject->isEnabled());
        QVERIFY(m_dialogs.prompts.empty());
    }

    void anAutomaticLoadMountsTheiPodFirst()
    {
        START_SERVICE(service, {"ipod", "stick"});
        frmMain w(m_dialogs);
        load(w);
        QCOMPARE(w.trackList().TrackInfos().size(), std::size_t(2));
        QCOMPARE(QString::fromStdU16String(w.TrackLibrary().iPodDriveLetter()),
                 QString::fromStdString(service->mountFolder("IPOD").string() + "/"));
        QCOMPARE(service->journal(), std::vector<std::string>{"Mount " + kIpodBlock});
        QVERIFY(m_dialogs.prompts.empty());
    }

    void copyingWaitsWhileTheLoadediPodIsGone()
    {
        START_SERVICE(service, {"ipod"});
        frmMain w(m_dialogs);
        load(w);
        auto* copy = child<QPushButton>(w, "cmdCopy2Computer");
        auto* notice = child<QLabel>(w, "lblDisconnected");
        QVERIFY(copy->isEnabled());
        QVERIFY(!notice->isVisibleTo(child<QWidget>(w, "frContents")));

        service->unplug("ipod");
        QTRY_VERIFY(w.connection().isLoadedDeviceLost());
        QVERIFY(!copy->isEnabled());
        QVERIFY(notice->isVisibleTo(child<QWidget>(w, "frContents")));
        QCOMPARE(notice->text(), QStringLiteral("The iPod was disconnected; copying is off until it is back."));
        w.SetAllChecks(true);
        m_dialogs.folders.push_back(QStringLiteral("/tmp"));
        w.CopyCheckedTracks();
        QCOMPARE(m_dialogs.prompts.size(), std::size_t(1));
        QCOMPARE(m_dialogs.prompts[0].text, notice->text());
        QVERIFY(m_dialogs.copyRequests.empty());

        service->plug("ipod");  // back, but not yet mounted
        QTRY_COMPARE(w.connection().deviceNotice(), kConnected);
        QVERIFY(w.connection().isLoadedDeviceLost());
        service->mountQuietly("ipod");  // the desktop mounts it where it was
        QTRY_VERIFY(!w.connection().isLoadedDeviceLost());
        QVERIFY(copy->isEnabled());
        QVERIFY(!notice->isVisibleTo(child<QWidget>(w, "frContents")));
    }

    void aPluggediPodOffersItsLoadOnlyOnTheStartPage()
    {
        START_SERVICE(service, {"ipod"});
        frmMain w(m_dialogs);
        load(w);
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        finishAnimations(w.panels());
        w.cmdViewContents_Click();
        finishAnimations(w.panels());
        auto* grid = child<QWidget>(w, "Grid");
        QCOMPARE(QApplication::focusWidget(), grid);

        // Plugged in again while the contents page is shown: the focus stays in the grid.
        service->unplug("ipod");
        QTRY_COMPARE(w.connection().deviceNotice(), QString());
        service->plug("ipod");
        QTRY_COMPARE(w.connection().deviceNotice(), kConnected);
        QCOMPARE(QApplication::focusWidget(), grid);

        // On the start page the load is the next step.
        w.cmdCancel_Click();
        finishAnimations(w.panels());
        service->unplug("ipod");
        QTRY_COMPARE(w.connection().deviceNotice(), QString());
        service->plug("ipod");
        QTRY_COMPARE(w.connection().deviceNotice(), kConnected);
        QCOMPARE(QApplication::focusWidget(), child<QWidget>(w, "cmdLoadiPod"));
    }

    void ejectUnmountsAndPowersOffAndABusyiPodIsLeftAlone()
    {
        START_SERVICE(service, {"ipod"});
        frmMain w(m_dialogs);
        load(w);
        service->setBusy("ipod", true);
        w.cmdEject_Click();
        QCOMPARE(m_dialogs.prompts.size(), std::size_t(1));
        QCOMPARE(m_dialogs.prompts[0].text, QStringLiteral("The iPod is still in use: a program holds a file or folder on it open. "
                                                           "Close it and press Eject iPod again; nothing was forced."));
        QCOMPARE(m_dialogs.prompts[0].icon, MessageIcon::Exclamation);
        QCOMPARE(service->journal().back(), "Unmount " + kIpodBlock);
        QVERIFY(!w.connection().isLoadedDeviceLost());

        service->setBusy("ipod", false);
        w.cmdEject_Click();
        QCOMPARE(m_dialogs.prompts.back().text, QStringLiteral("The iPod is powered off; it can be unplugged now."));
        QCOMPARE(m_dialogs.prompts.back().icon, MessageIcon::Information);
        QCOMPARE(service->journal(), (std::vector<std::string>{"Mount " + kIpodBlock, "Unmount " + kIpodBlock,
                                                               "Unmount " + kIpodBlock, "PowerOff " + kIpodDrive}));
        QTRY_VERIFY(!child<QPushButton>(w, "cmdEject")->isEnabled());  // it is gone
        QVERIFY(w.connection().isLoadedDeviceLost());
    }

    void theWindowKeepsAnsweringWhileTheServiceMountsAndEjects()
    {
        START_SERVICE(service, {"ipod"});
        frmMain w(m_dialogs);
        QTRY_COMPARE(w.connection().deviceNotice(), kConnected);
        service->setSlow("ipod", 0.4);
        auto* load = child<QPushButton>(w, "cmdLoadiPod");
        auto* eject = child<QPushButton>(w, "cmdEject");
        auto* tools = child<QPushButton>(w, "cmdTools");
        // What the window's timer saw while a command ran: whether the device buttons rested.
        bool inCommand = false;
        QList<bool> resting;
        QTimer tick;
        tick.setInterval(40);
        connect(&tick, &QTimer::timeout, [&] {
            if (inCommand)
                resting << (!load->isEnabled() && !eject->isEnabled() && !tools->isEnabled());
        });
        tick.start();

        inCommand = true;
        w.cmdLoadiPod_Click();
        inCommand = false;
        QCOMPARE(w.trackList().statusText(), QStringLiteral("iPod Contents are Loaded"));
        QCOMPARE(w.trackList().TrackInfos().size(), std::size_t(2));
        QVERIFY2(resting.size() >= 3, "the timer did not run while the iPod was mounted");
        QVERIFY(resting.first());
        QVERIFY(load->isEnabled() && eject->isEnabled() && tools->isEnabled());

        resting.clear();
        inCommand = true;
        w.cmdEject_Click();
        inCommand = false;
        QVERIFY2(resting.size() >= 3, "the timer did not run while the iPod was ejected");
        QVERIFY(!resting.contains(false));
        QCOMPARE(m_dialogs.prompts.size(), std::size_t(1));
        QCOMPARE(m_dialogs.prompts.back().text, QStringLiteral("The iPod is powered off; it can be unplugged now."));
        QVERIFY(load->isEnabled() && tools->isEnabled());
        QTRY_VERIFY(!eject->isEnabled());  // it is gone
        QCOMPARE(service->journal(), (std::vector<std::string>{"Mount " + kIpodBlock, "Unmount " + kIpodBlock, "PowerOff " + kIpodDrive}));
    }

    void aMacFormattediPodSaysWhyBeforeItsDatabaseWouldBeReset()
    {
        START_SERVICE(service, {"mac-ipod"});
        std::filesystem::create_directories(service->mountFolder("MAC IPOD") / "iPod_Control/iTunes");  // no database
        frmMain w(m_dialogs);
        w.cmdLoadiPod_Click();
        QVERIFY(m_dialogs.prompts.size() >= 2);
        QCOMPARE(m_dialogs.prompts[0].text, QString::fromUtf8(devices::kMacFormattedReadOnly.data()));
        QCOMPARE(m_dialogs.prompts[0].icon, MessageIcon::Information);
        QCOMPARE(m_dialogs.prompts[1].title, QStringLiteral("iPod DB is Corrupted"));
        for (std::size_t i = 2; i < m_dialogs.prompts.size(); ++i)
            QVERIFY(m_dialogs.prompts[i].text != m_dialogs.prompts[0].text);  // said once
        QVERIFY(service->journal().empty());  // mounted already
    }

    void anEjectThatCannotPowerTheiPodOffSaysSo()
    {
        START_SERVICE(service, {"mac-ipod"});
        frmMain w(m_dialogs);
        QTRY_VERIFY(child<QPushButton>(w, "cmdEject")->isEnabled());
        w.cmdEject_Click();
        QCOMPARE(m_dialogs.prompts.size(), std::size_t(1));
        QCOMPARE(m_dialogs.prompts[0].text, QStringLiteral("The iPod is unmounted but could not be powered off; it can be unplugged now."));
        QCOMPARE(service->journal(), (std::vector<std::string>{"Unmount " + UDisksStandIn::blockObject("sdd2"),
                                                               "Eject " + UDisksStandIn::driveObject(UDisksStandIn::kMacIpodDrive)}));
    }

    void withoutABusTheWindowWorksAsBefore()
    {
        frmMain w(m_dialogs);  // the test case's environment names no bus
        QVERIFY(!w.connection().deviceWatch().isWatching());
        QVERIFY(!child<QPushButton>(w, "cmdEject")->isEnabled());
        QVERIFY(w.ConnectLibrary());  // automatic: the library looks itself, and asks
        QVERIFY(!m_dialogs.prompts.empty());
        QVERIFY(m_dialogs.prompts[0].text.startsWith(QStringLiteral("Tracklift can't find your iPod")));
    }
};

QTEST_MAIN(HotPlugTest)
#include "HotPlugTest.moc"
