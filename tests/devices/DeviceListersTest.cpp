// The device listers: the desktop's disk service through its stand-in on a
// private system bus, a system without a bus, and what makes a device read-only.
#include "UDisksStandIn.h"

#include <DeviceChoice.h>
#include <DeviceManager.h>
#include <SysfsLister.h>
#include <UDisks2Lister.h>
#include <WriteAccess.h>

#include <gtest/gtest.h>

#include <algorithm>

#include <condition_variable>
#include <mutex>

using namespace devices;
using namespace testsupport;
namespace fs = std::filesystem;

namespace {

// The listener's calls as lines ("added /dev/sdb2 <mount point>"), kept from the lister's thread.
class RecordingListener final : public DeviceListener {
public:
    void deviceAdded(const Device& d) override { record("added", d); }
    void deviceRemoved(const Device& d) override { record("removed", d); }
    void deviceChanged(const Device& d) override { record("changed", d); }

    // The events once there are `count` of them, or those there are after `patience`.
    std::vector<std::string> waitFor(std::size_t count, std::chrono::milliseconds patience = std::chrono::seconds(10))
    {
        std::unique_lock lock(m_mutex);
        m_arrived.wait_for(lock, patience, [&] { return m_events.size() >= count; });
        return m_events;
    }

private:
    void record(const char* what, const Device& d)
    {
        const std::lock_guard lock(m_mutex);
        m_events.push_back(std::string(what) + " " + d.deviceFile + " " + (d.isMounted() ? d.mountPoint : "-"));
        m_arrived.notify_all();
    }

    std::mutex m_mutex;
    std::condition_variable m_arrived;
    std::vector<std::string> m_events;
};

class UDisksListerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const std::string missing = UDisksStandIn::missingParts(); !missing.empty())
            GTEST_SKIP() << missing;
        m_service = std::make_unique<UDisksStandIn>(std::vector<std::string>{"ipod", "stick", "mac-ipod"});
        ASSERT_TRUE(m_service->isRunning()) << m_service->failure();
    }

    UDisksStandIn& service() { return *m_service; }

    Device only(const std::string& deviceFile)
    {
        for (const Device& d : m_lister.devices())
            if (d.deviceFile == deviceFile)
                return d;
        ADD_FAILURE() << "no device " << deviceFile;
        return {};
    }

    UDisks2Lister m_lister;

private:
    std::unique_ptr<UDisksStandIn> m_service;
};

const std::string kIpodBlock = UDisksStandIn::blockObject("sdb2");
const std::string kIpodDrive = UDisksStandIn::driveObject(UDisksStandIn::kIpodDrive);
const std::string kMacBlock = UDisksStandIn::blockObject("sdd2");
const std::string kMacDrive = UDisksStandIn::driveObject(UDisksStandIn::kMacIpodDrive);

}  // namespace

TEST_F(UDisksListerTest, FindsTheiPodsFileSystemsAndPassesOverOtherDisks)
{
    const std::vector<Device> found = m_lister.devices();
    ASSERT_EQ(found.size(), 2u);  // the stick is no iPod; the iPods' whole disks hold no file system
    const Device& ipod = found[0];
    EXPECT_EQ(ipod.source, DeviceSource::UDisks);
    EXPECT_EQ(ipod.name, "Apple iPod USB Device");
    EXPECT_EQ(ipod.label, "IPOD");
    EXPECT_EQ(ipod.deviceFile, "/dev/sdb2");
    EXPECT_EQ(ipod.size, 8ull << 30);
    EXPECT_EQ(ipod.fileSystemType, "vfat");
    EXPECT_FALSE(ipod.isMounted());
    EXPECT_TRUE(ipod.canPowerOff);
    EXPECT_EQ(ipod.identity, "Apple-iPod-000A27001B3C9D2F#2");
    EXPECT_EQ(ipod.blockObject, kIpodBlock);
    EXPECT_EQ(ipod.driveObject, kIpodDrive);

    const Device& mac = found[1];
    EXPECT_EQ(mac.fileSystemType, "hfsplus");
    EXPECT_EQ(mac.mountPoint, service().mountFolder("MAC IPOD").string());
    EXPECT_EQ(mac.driveRoot(), service().mountFolder("MAC IPOD").string() + "/");
    EXPECT_FALSE(mac.canPowerOff);
    EXPECT_TRUE(service().journal().empty());  // looking changes nothing
}

TEST_F(UDisksListerTest, AutomaticDetectionTakesAMountediPodWithItsDatabaseElseMountsOneWhenAsked)
{
    EXPECT_EQ(chooseiPod(m_lister, false)->deviceFile, "/dev/sdd2");  // mounted, though without a database
    EXPECT_TRUE(service().journal().empty());

    const std::optional<Device> mounted = chooseiPod(m_lister, true);
    ASSERT_TRUE(mounted);
    EXPECT_EQ(mounted->deviceFile, "/dev/sdb2");
    EXPECT_EQ(mounted->mountPoint, service().mountFolder("IPOD").string());
    EXPECT_EQ(service().journal(), std::vector<std::string>{"Mount " + kIpodBlock});
    EXPECT_EQ(only("/dev/sdb2").mountPoint, mounted->mountPoint);

    // Mounted meanwhile by someone else: where it is mounted is the answer.
    Device stale = *mounted;
    stale.mountPoint.clear();
    EXPECT_EQ(m_lister.mount(stale), mounted->mountPoint);

    // An iPod holding its database comes first, mounted or not the others.
    fs::create_directories(service().mountFolder("MAC IPOD") / "iPod_Control/iTunes");
    EXPECT_EQ(chooseiPod(m_lister, true)->deviceFile, "/dev/sdd2");
    service().unplug("ipod");
    service().unplug("mac-ipod");
    EXPECT_FALSE(chooseiPod(m_lister, true));
}

TEST_F(UDisksListerTest, EjectUnmountsThenPowersOffAndTheiPodGoes)
{
    const Device ipod = only("/dev/sdb2");
    const std::string folder = m_lister.mount(ipod);
    const EjectResult result = m_lister.eject(ipod);
    EXPECT_EQ(result.unmounted, std::vector<std::string>{folder});
    EXPECT_TRUE(result.poweredOff);
    EXPECT_EQ(service().journal(), (std::vector<std::string>{"Mount " + kIpodBlock, "Unmount " + kIpodBlock, "PowerOff " + kIpodDrive}));
    ASSERT_EQ(m_lister.devices().size(), 1u);  // the Mac iPod is left

    EXPECT_THROW(m_lister.eject(ipod), DeviceError);  // it is gone
}

TEST_F(UDisksListerTest, ADriveThatCannotPowerOffIsEjectedAndAnUnmountedOneOnlyPoweredOff)
{
    const EjectResult mac = m_lister.eject(only("/dev/sdd2"));
    EXPECT_FALSE(mac.poweredOff);
    EXPECT_EQ(service().journal(), (std::vector<std::string>{"Unmount " + kMacBlock, "Eject " + kMacDrive}));

    const EjectResult ipod = m_lister.eject(only("/dev/sdb2"));
    EXPECT_TRUE(ipod.unmounted.empty());
    EXPECT_EQ(service().journal().back(), "PowerOff " + kIpodDrive);
}

TEST_F(UDisksListerTest, AFileSystemInUseStopsTheEjectAndNothingIsForced)
{
    const Device ipod = only("/dev/sdb2");
    m_lister.mount(ipod);
    service().setBusy("ipod", true);
    try {
        m_lister.eject(ipod);
        FAIL() << "ejected a busy iPod";
    } catch (const DeviceError& e) {
        EXPECT_EQ(e.kind(), DeviceError::Kind::Busy);
        EXPECT_EQ(std::string(e.what()), "cannot unmount " + service().mountFolder("IPOD").string() +
                                             ": Error unmounting /dev/sdb2: target is busy");
    }
    EXPECT_EQ(service().journal().back(), "Unmount " + kIpodBlock);  // no power-off after it
    EXPECT_TRUE(only("/dev/sdb2").isMounted());

    service().setBusy("ipod", false);
    EXPECT_TRUE(m_lister.eject(ipod).poweredOff);
}

TEST_F(UDisksListerTest, TheWatchTellsOfiPodsPresentPluggedMountedAndUnplugged)
{
    RecordingListener listener;
    ASSERT_TRUE(m_lister.watch(&listener));
    const std::string mac = "/dev/sdd2 " + service().mountFolder("MAC IPOD").string();
    // The iPods present at the start come in the order the service lists them.
    const auto presentFirst = [](std::vector<std::string> events) {
        std::sort(events.begin(), events.begin() + std::min<std::ptrdiff_t>(2, static_cast<std::ptrdiff_t>(events.size())));
        return events;
    };
    EXPECT_EQ(presentFirst(listener.waitFor(2)), (std::vector<std::string>{"added /dev/sdb2 -", "added " + mac}));

    service().unplug("stick");  // no iPod: not told
    service().unplug("ipod");
    service().plug("ipod");
    service().mountQuietly("ipod");
    service().unplug("mac-ipod");
    const std::vector<std::string> events = presentFirst(listener.waitFor(6));
    EXPECT_EQ(events, (std::vector<std::string>{"added /dev/sdb2 -", "added " + mac, "removed /dev/sdb2 -", "added /dev/sdb2 -",
                                                "changed /dev/sdb2 " + service().mountFolder("IPOD").string(),
                                                "removed " + mac}));

    EXPECT_TRUE(m_lister.watch(nullptr));
    service().unplug("ipod");
    EXPECT_EQ(listener.waitFor(7, std::chrono::milliseconds(300)).size(), 6u);  // stopped: nothing more told
}

TEST(DeviceListersWithoutBus, TheDiskServiceIsUnavailableAndTheLibrarysDetectionStillAnswers)
{
    NoSystemBus noBus;
    TempDir machine;
    fs::create_directories(machine.path() / "sys/block");
    writeFile(machine.path() / "mountinfo", "");
    setenv("SONARCHIVE_SYSFS", (machine.path() / "sys").c_str(), 1);
    setenv("SONARCHIVE_MOUNTINFO", (machine.path() / "mountinfo").c_str(), 1);

    UDisks2Lister lister;
    try {
        lister.devices();
        ADD_FAILURE() << "listed devices without a bus";
    } catch (const DeviceError& e) {
        EXPECT_EQ(e.kind(), DeviceError::Kind::Unavailable);
    }
    RecordingListener listener;
    EXPECT_FALSE(lister.watch(&listener));

    DeviceManager manager = DeviceManager::forSystem();
    EXPECT_TRUE(manager.devices().empty());
    ASSERT_EQ(manager.problems().size(), 1u);
    EXPECT_TRUE(manager.problems()[0].starts_with("the system bus can't be reached")) << manager.problems()[0];
    unsetenv("SONARCHIVE_SYSFS");
    unsetenv("SONARCHIVE_MOUNTINFO");
}

TEST(MountTable, ReadsMountPointsTheirTypesAndReadOnlyFlags)
{
    TempDir dir;
    writeFile(dir.path() / "mountinfo",
              "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
              "40 22 8:18 / /media/me/MY\\040IPOD ro,nosuid shared:7 - hfsplus /dev/sdb2 ro,umask=22\n"
              "41 22 8:34 / /media/me/STICK rw,nosuid - vfat /dev/sdc2 ro,fmask=0022\n"
              "42 22 8:35 / /media/me/OTHER rw,nosuid - vfat /dev/sdc3 rw,errors=remount-ro\n"
              "a line that is no mount\n");
    const std::vector<MountEntry> table = readMountTable(dir.path() / "mountinfo");
    ASSERT_EQ(table.size(), 4u);
    EXPECT_EQ(table[1].mountPoint, "/media/me/MY IPOD");
    EXPECT_EQ(table[1].fileSystemType, "hfsplus");
    EXPECT_EQ(table[1].source, "/dev/sdb2");
    EXPECT_TRUE(table[1].readOnly);
    EXPECT_TRUE(table[2].readOnly);   // the file system's own options count
    EXPECT_FALSE(table[3].readOnly);  // "remount-ro" is no "ro"

    EXPECT_EQ(mountHolding(table, "/media/me/MY IPOD/iPod_Control")->source, "/dev/sdb2");
    EXPECT_EQ(mountHolding(table, "/media/me/MY IPODS")->source, "/dev/sda1");
    EXPECT_TRUE(readMountTable(dir.path() / "absent").empty());
}

TEST(WriteAccess, SaysWhyAnHfsOrReadOnlyiPodCannotBeChanged)
{
    TempDir dir;
    const std::vector<MountEntry> table = {{"/", "ext4", "/dev/sda1", false},
                                           {"/media/me/MAC", "hfsplus", "/dev/sdb2", false},
                                           {"/media/me/RO", "vfat", "/dev/sdc1", true},
                                           {"/media/me/RW", "vfat", "/dev/sdd1", false}};
    EXPECT_EQ(readOnlyReason("/media/me/MAC/", {}, table), kMacFormattedReadOnly);
    EXPECT_EQ(readOnlyReason("/media/me/RO", {}, table), kMountedReadOnly);
    EXPECT_EQ(readOnlyReason("/media/me/RW/", {}, table), "");

    // What the disk service knows of the device mounted there counts too.
    Device device;
    device.mountPoint = (dir.path() / "IPOD").string();
    device.fileSystemType = "vfat";
    EXPECT_EQ(readOnlyReason(dir.path() / "IPOD", {device}, table), "");
    device.readOnly = true;
    EXPECT_EQ(readOnlyReason(dir.path() / "IPOD/", {device}, table), kMountedReadOnly);
    device.fileSystemType = "hfsplus";
    EXPECT_EQ(readOnlyReason(dir.path() / "IPOD", {device}, table), kMacFormattedReadOnly);
    EXPECT_EQ(readOnlyReason(dir.path() / "IPOD-2", {device}, table), "");
}

TEST(DeviceChoice, FindsTheDatabaseFolderInAnyLetterCase)
{
    TempDir dir;
    fs::create_directories(dir.path() / "a/IPOD_CONTROL/ITUNES");
    fs::create_directories(dir.path() / "b/iPod_Control/Music");
    EXPECT_TRUE(hasDatabaseFolder(dir.path() / "a"));
    EXPECT_FALSE(hasDatabaseFolder(dir.path() / "b"));
    EXPECT_FALSE(hasDatabaseFolder(dir.path() / "c"));
}
