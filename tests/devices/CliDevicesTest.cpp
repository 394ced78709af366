// The command-line tool's detect, eject and "auto" against the stand-in for the
// desktop's disk service, and without any system bus.
#include "DatabaseBuilder.h"
#include "TempDir.h"
#include "ToolRun.h"
#include "UDisksStandIn.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>


using namespace testsupport;
namespace fs = std::filesystem;

namespace {

using Result = ToolRun;

Result run(const std::string& arguments)
{
    return runCommand(std::string(SONARCHIVE_CLI) + " " + arguments);
}

std::string shellQuoted(const fs::path& path)
{
    return "'" + path.string() + "'";
}

class CliDevicesTest : public ::testing::Test {
protected:
    void start(const std::vector<std::string>& plugged)
    {
        if (const std::string missing = UDisksStandIn::missingParts(); !missing.empty())
            GTEST_SKIP() << missing;
        m_service = std::make_unique<UDisksStandIn>(plugged);
        ASSERT_TRUE(m_service->isRunning()) << m_service->failure();
        // The iPod's database, waiting on the file system the service mounts.
        installDatabase(service().mountFolder("IPOD"), buildDatabase(typicalDatabase({makeTrack(7, u"Seven")})));
    }
    UDisksStandIn& service() { return *m_service; }
    std::string ipodRoot() { return service().mountFolder("IPOD").string() + "/"; }

    const std::string kBlock = UDisksStandIn::blockObject("sdb2");
    const std::string kDrive = UDisksStandIn::driveObject(UDisksStandIn::kIpodDrive);

private:
    std::unique_ptr<UDisksStandIn> m_service;
};

}  // namespace

TEST_F(CliDevicesTest, DetectListsTheiPodsTheServiceKnowsAsJson)
{
    start({"ipod", "stick", "mac-ipod"});
    if (IsSkipped())
        return;
    const Result r = run("detect --json");
    ASSERT_EQ(r.exitCode, 0) << r.errors;
    const auto devices = nlohmann::json::parse(r.out);
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0], nlohmann::json::parse(R"({"source": "udisks", "name": "Apple iPod USB Device", "label": "IPOD",
        "device": "/dev/sdb2", "size": 8589934592, "fileSystem": "vfat", "mountPoint": null, "readOnly": false})"));
    EXPECT_EQ(devices[1]["fileSystem"], "hfsplus");
    EXPECT_EQ(devices[1]["mountPoint"], service().mountFolder("MAC IPOD").string());
    EXPECT_TRUE(service().journal().empty());

    const Result mounted = run("detect --json --mount");
    ASSERT_EQ(mounted.exitCode, 0) << mounted.errors;
    EXPECT_EQ(nlohmann::json::parse(mounted.out)[0]["mountPoint"], service().mountFolder("IPOD").string());
}

TEST_F(CliDevicesTest, DetectPointsAtTheUnmountediPodWhenTheMountedOneHoldsNoDatabase)
{
    start({"ipod", "mac-ipod"});
    if (IsSkipped())
        return;
    const Result r = run("detect");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.errors, "sonarchive: Apple iPod USB Device is mounted at " + service().mountFolder("MAC IPOD").string()
                         + ", but it holds no iPod_Control/iTunes folder\n"
                           "sonarchive: Apple iPod USB Device (/dev/sdb2) is not mounted; 'sonarchive detect --mount' mounts it\n");
    EXPECT_EQ(run("detect --mount").out, ipodRoot() + "\n");
}

TEST_F(CliDevicesTest, DetectMountsAnUnmountediPodOnlyWhenAsked)
{
    start({"ipod", "stick"});
    if (IsSkipped())
        return;
    const Result unmounted = run("detect");
    EXPECT_EQ(unmounted.exitCode, 1);
    EXPECT_EQ(unmounted.errors, "sonarchive: Apple iPod USB Device (/dev/sdb2) is not mounted; 'sonarchive detect --mount' mounts it\n");
    EXPECT_TRUE(service().journal().empty());

    const Result mounted = run("detect --mount");
    ASSERT_EQ(mounted.exitCode, 0) << mounted.errors;
    EXPECT_EQ(mounted.out, ipodRoot() + "\n");
    EXPECT_EQ(service().journal(), std::vector<std::string>{"Mount " + kBlock});
    EXPECT_EQ(run("detect").out, ipodRoot() + "\n");
    EXPECT_EQ(run("detect --mount").out, ipodRoot() + "\n");
    EXPECT_EQ(service().journal().size(), 1u);  // mounted once
}

TEST_F(CliDevicesTest, AutoMountsTheiPodAndReadsItsDatabase)
{
    start({"ipod"});
    if (IsSkipped())
        return;
    const Result r = run("list auto");
    ASSERT_EQ(r.exitCode, 0) << r.errors;
    EXPECT_EQ(r.out.substr(0, 8), "7\tSeven\t");
    EXPECT_EQ(r.errors, "sonarchive: mounted Apple iPod USB Device (/dev/sdb2) at " + service().mountFolder("IPOD").string() + "\n");
    EXPECT_EQ(service().journal(), std::vector<std::string>{"Mount " + kBlock});
}

TEST_F(CliDevicesTest, EjectUnmountsAndPowersOffWithoutForcingABusyiPod)
{
    start({"ipod", "stick"});
    if (IsSkipped())
        return;
    ASSERT_EQ(run("detect --mount").exitCode, 0);
    service().setBusy("ipod", true);
    const Result busy = run("eject");
    EXPECT_EQ(busy.exitCode, 1);
    EXPECT_EQ(busy.errors, "sonarchive: the iPod is still in use (cannot unmount " + service().mountFolder("IPOD").string()
                            + ": Error unmounting /dev/sdb2: target is busy); close the programs and terminals that use it "
                              "and eject again. Nothing was forced\n");
    EXPECT_EQ(service().journal().back(), "Unmount " + kBlock);

    service().setBusy("ipod", false);
    const Result ejected = run("eject " + shellQuoted(ipodRoot()));
    ASSERT_EQ(ejected.exitCode, 0) << ejected.errors;
    EXPECT_EQ(ejected.out, "Unmounted " + service().mountFolder("IPOD").string()
                               + "\nApple iPod USB Device is powered off; it can be unplugged now\n");
    EXPECT_EQ(service().journal(), (std::vector<std::string>{"Mount " + kBlock, "Unmount " + kBlock, "Unmount " + kBlock,
                                                             "PowerOff " + kDrive}));

    const Result gone = run("eject auto");
    EXPECT_EQ(gone.exitCode, 1);
    EXPECT_EQ(gone.errors, "sonarchive: no iPod found to eject\n");
    const Result stick = run("eject " + shellQuoted(service().mountFolder("STICK")));
    EXPECT_EQ(stick.exitCode, 1);  // not an iPod: left alone
    EXPECT_EQ(service().journal().size(), 4u);
}

TEST_F(CliDevicesTest, WritingCommandsSayFirstWhyAMacFormattediPodCannotBeChanged)
{
    start({"mac-ipod"});
    if (IsSkipped())
        return;
    const fs::path mac = service().mountFolder("MAC IPOD");
    installDatabase(mac, buildDatabase(typicalDatabase({makeTrack(7, u"Seven")})));
    const std::string notice = "sonarchive: the iPod is formatted for Mac (HFS+) and mounted read-only on Linux; copying from "
                               "it works, changing it does not\n";
    const std::vector<std::string> writing = {"rewrite auto", "delete auto 7", "modify auto 7 --title T", "new-playlist auto Mix 7",
                                              "reset " + shellQuoted(mac), "rebuild " + shellQuoted(mac)};
    for (const std::string& command : writing) {
        const Result r = run(command);
        EXPECT_TRUE(r.errors.starts_with(notice)) << command << ": " << r.errors;
    }
    for (const char* command : {"list auto", "playlists auto", "dump auto --json"})
        EXPECT_EQ(run(command).errors.find("read-only"), std::string::npos) << command;

    // It can't be powered off: it is said to be unmounted, not ejected.
    const Result ejected = run("eject auto");
    ASSERT_EQ(ejected.exitCode, 0) << ejected.errors;
    EXPECT_EQ(ejected.out, "Unmounted " + mac.string()
                               + "\nApple iPod USB Device is unmounted but could not be powered off; it can be unplugged now\n");
}

TEST(CliWithoutBus, DetectionFallsBackToTheLibrarysOwnAndEjectSaysWhyItCannot)
{
    NoSystemBus noBus;
    TempDir machine;
    // An iPod on USB as sysfs shows it, its second partition mounted.
    const fs::path device = machine.path() / "sys/devices/pci0000:00/0000:00:14.0/usb2/2-1/2-1:1.0/host1/target1:0:0/1:0:0:0";
    writeFile(device / "vendor", "Apple\n");
    writeFile(device / "model", "iPod\n");
    writeFile(device / "block/sdb/dev", "8:16\n");
    writeFile(device / "block/sdb/sdb2/dev", "8:18\n");
    writeFile(device / "block/sdb/sdb2/partition", "2\n");
    fs::create_directory_symlink("../..", device / "block/sdb/device");
    fs::create_directories(machine.path() / "sys/block");
    fs::create_directory_symlink(fs::relative(device / "block/sdb", machine.path() / "sys/block"), machine.path() / "sys/block/sdb");
    const fs::path mounted = machine.path() / "media/MY IPOD";
    installDatabase(mounted, buildDatabase(typicalDatabase({makeTrack(7, u"Seven")})));
    writeFile(machine.path() / "mountinfo", "1 0 259:2 / / rw - ext4 /dev/nvme0n1p2 rw\n"
                                            "40 1 8:18 / " + (machine.path() / "media/MY\\040IPOD").string()
                                                + " rw,nosuid - vfat /dev/sdb2 rw\n");
    setenv("SONARCHIVE_SYSFS", (machine.path() / "sys").c_str(), 1);
    setenv("SONARCHIVE_MOUNTINFO", (machine.path() / "mountinfo").c_str(), 1);

    const Result json = run("detect --json");
    ASSERT_EQ(json.exitCode, 0) << json.errors;
    const auto found = nlohmann::json::parse(json.out);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0]["source"], "sysfs");
    EXPECT_EQ(found[0]["mountPoint"], mounted.string());
    EXPECT_EQ(found[0]["device"], "/dev/sdb2");
    EXPECT_EQ(found[0]["fileSystem"], "vfat");
    EXPECT_EQ(run("detect --mount").out, mounted.string() + "/\n");
    EXPECT_EQ(run("list auto").out.substr(0, 8), "7\tSeven\t");

    const Result eject = run("eject");
    EXPECT_EQ(eject.exitCode, 1);
    EXPECT_TRUE(eject.errors.starts_with("sonarchive: cannot eject: the system bus can't be reached: ")) << eject.errors;
    unsetenv("SONARCHIVE_SYSFS");
    unsetenv("SONARCHIVE_MOUNTINFO");
}
