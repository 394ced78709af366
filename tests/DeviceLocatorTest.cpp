#include "ScriptedHost.h"
#include "TempDir.h"

#include <DeviceDriveMatch.h>
#include <SysfsDiskInventory.h>
#include <clsSonarchive.h>

#include <sonarchive/ByteText.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

using namespace sonarchive;
using namespace testsupport;
namespace fs = std::filesystem;

namespace {

const std::u16string kIpodCaption = u"Apple iPod USB Device";

// A machine's disks and mounts as sysfs and the mount table show them, built in a
// temporary folder and handed to the library through SONARCHIVE_SYSFS and
// SONARCHIVE_MOUNTINFO for the lifetime of the object.
class FakeSystem {
public:
    FakeSystem()
    {
        fs::create_directories(sysfs() / "block");
        writeMountTable();
        remember("SONARCHIVE_SYSFS", m_savedSysfs);
        remember("SONARCHIVE_MOUNTINFO", m_savedMountInfo);
        setenv("SONARCHIVE_SYSFS", sysfs().c_str(), 1);
        setenv("SONARCHIVE_MOUNTINFO", mountInfo().c_str(), 1);
    }
    ~FakeSystem()
    {
        restore("SONARCHIVE_SYSFS", m_savedSysfs);
        restore("SONARCHIVE_MOUNTINFO", m_savedMountInfo);
    }

    fs::path sysfs() const { return m_dir.path() / "sys"; }
    fs::path mountInfo() const { return m_dir.path() / "mountinfo"; }

    // A disk as the kernel lists it: its device below a USB bus or a SATA port,
    // /sys/block/<name> linking to it, and the given partitions.
    void addDisk(const std::string& name, const std::string& vendor, const std::string& model, bool usb,
                 std::vector<int> partitions = {})
    {
        const int host = m_nextHost++;
        const std::string scsi = std::to_string(host) + ":0:0:0";
        const fs::path device = sysfs() / "devices/pci0000:00"
            / (usb ? "0000:00:14.0/usb2/2-" + std::to_string(host) + "/2-" + std::to_string(host) + ":1.0"
                   : std::string("0000:00:17.0/ata1"))
            / ("host" + std::to_string(host)) / ("target" + std::to_string(host) + ":0:0") / scsi;
        writeFile(device / "vendor", vendor + "\n");
        writeFile(device / "model", model + "\n");
        const fs::path block = device / "block" / name;
        const int major = 8, minor = 16 * host;
        writeFile(block / "dev", std::to_string(major) + ":" + std::to_string(minor) + "\n");
        fs::create_directory_symlink("../..", block / "device");
        for (const int k : partitions) {
            writeFile(block / (name + std::to_string(k)) / "dev",
                      std::to_string(major) + ":" + std::to_string(minor + k) + "\n");
            writeFile(block / (name + std::to_string(k)) / "partition", std::to_string(k) + "\n");
        }
        fs::create_directory_symlink(fs::relative(block, sysfs() / "block"), sysfs() / "block" / name);
        m_devices[name] = std::to_string(major) + ":" + std::to_string(minor);
        for (const int k : partitions)
            m_devices[name + std::to_string(k)] = std::to_string(major) + ":" + std::to_string(minor + k);
    }

    // An iPod on USB and an ordinary disk, as most tests want them.
    void addIpod(const std::string& name = "sdb", std::vector<int> partitions = {1})
    {
        addDisk(name, "Apple", "iPod", true, std::move(partitions));
    }
    void addPlainDisk(const std::string& name = "sda", std::vector<int> partitions = {1})
    {
        addDisk(name, "ATA", "Disk", false, std::move(partitions));
    }

    // Mounts a block device ("sdb1", or a whole disk) on a new folder below the
    // temporary folder and returns that folder.
    fs::path mount(const std::string& device, const std::string& folderName, bool withDatabaseFolder = true)
    {
        const fs::path folder = m_dir.path() / "media" / folderName;
        fs::create_directories(folder);
        if (withDatabaseFolder)
            fs::create_directories(folder / "iPod_Control/iTunes");
        addMountLine(m_devices.at(device), "/", folder.string(), "/dev/" + device);
        return folder;
    }

    void addMountLine(const std::string& majorMinor, const std::string& root, const std::string& mountPoint,
                      const std::string& source)
    {
        m_lines += std::to_string(100 + m_lineCount++) + " 1 " + majorMinor + " " + escaped(root) + " "
            + escaped(mountPoint) + " rw,relatime shared:7 - vfat " + source + " rw\n";
        writeMountTable();
    }

    static std::u16string root(const fs::path& folder) { return fromUtf8(folder.string() + "/"); }

private:
    static std::string escaped(const std::string& field)
    {
        std::string text;
        for (const char c : field) {
            if (c == ' ') text += "\\040";
            else if (c == '\t') text += "\\011";
            else if (c == '\\') text += "\\134";
            else text += c;
        }
        return text;
    }
    void writeMountTable()
    {
        writeFile(mountInfo(), "22 1 0:21 / /proc rw,nosuid shared:12 - proc proc rw\n"
                                   "1 0 259:2 / / rw,relatime shared:1 - ext4 /dev/nvme0n1p2 rw\n"
                                   + m_lines);
    }
    static void remember(const char* name, std::optional<std::string>& saved)
    {
        if (const char* value = std::getenv(name))
            saved = value;
    }
    static void restore(const char* name, const std::optional<std::string>& saved)
    {
        if (saved)
            setenv(name, saved->c_str(), 1);
        else
            unsetenv(name);
    }

    TempDir m_dir;
    std::string m_lines;
    int m_lineCount = 0;
    int m_nextHost = 0;
    std::map<std::string, std::string> m_devices;
    std::optional<std::string> m_savedSysfs;
    std::optional<std::string> m_savedMountInfo;
};

struct Library {
    ScriptedHost host;
    clsSonarchive db;
    Library() { db.setUserInterfaceHost(&host); }
    // Starts the library as Tracklift does and returns the drive it settled on.
    std::u16string locate()
    {
        db.initlaize(0, u"Tracklift");
        return db.iPodDriveLetter();
    }
};

const std::u16string kDriveNotFound =
    u"Tracklift can't find your iPod drive. Do you want to locate it?\r\n"
    u"Note:- 'Enable Disk Use' option in the iTunes may be unchecked.";
const std::u16string kDeviceNotFound =
    u"Tracklift can't find your iPod device. Do you want to locate it?\r\n"
    u"Note:- 'Enable Disk Use' option in the iTunes may be unchecked or the iPod is not connected";

std::u16string noFolderQuestion(const std::u16string& drive)
{
    return u"iPod drive was detected as " + drive + u", but this drive does not contain iTunes Folder.\r"
                                                    u"Is the detection correct?";
}

std::u16string notice(const std::u16string& drive)
{
    return u"iPod Drive is detect as " + drive + u", If this is incorrect, so please Manually specify the iPod Drive";
}

void expectQuestion(const ScriptedHost::Prompt& prompt, const std::u16string& text)
{
    EXPECT_EQ(prompt.text, text);
    EXPECT_EQ(prompt.title, u"");
    EXPECT_EQ(prompt.buttons, MessageButtons::YesNo);
    EXPECT_EQ(prompt.icon, MessageIcon::Question);
}

void expectNotice(const ScriptedHost::Prompt& prompt, const std::u16string& drive, const std::u16string& title)
{
    EXPECT_EQ(prompt.text, notice(drive));
    EXPECT_EQ(prompt.title, title);
    EXPECT_EQ(prompt.buttons, MessageButtons::OK);
    EXPECT_EQ(prompt.icon, MessageIcon::Information);
}

}  // namespace

TEST(SysfsDiskInventory, ListsDisksInKernelOrderWithCaptionsAndNumbers)
{
    FakeSystem system;
    system.addDisk("sdaa", "ATA", "Late", false);
    system.addDisk("sdb", "Apple   ", "iPod            ", true, {1});
    system.addDisk("sda", "ATA     ", "Samsung SSD 860 ", false, {1, 2});
    fs::create_directories(system.sysfs() / "block/loop0");  // no device folder: not a disk

    const std::vector<DiskDrive> drives = SysfsDiskInventory::fromEnvironment().diskDrives();
    ASSERT_EQ(drives.size(), 3u);
    EXPECT_EQ(drives[0].Caption, u"ATA Samsung SSD 860");
    EXPECT_EQ(drives[0].Name, u"\\\\.\\PHYSICALDRIVE0");
    EXPECT_EQ(drives[1].Caption, kIpodCaption);
    EXPECT_EQ(drives[1].Name, u"\\\\.\\PHYSICALDRIVE1");
    EXPECT_EQ(drives[2].Caption, u"ATA Late");
    EXPECT_EQ(drives[2].Name, u"\\\\.\\PHYSICALDRIVE2");
}

TEST(SysfsDiskInventory, AssociatesMountedPartitionsAndWholeDisks)
{
    FakeSystem system;
    system.addDisk("sda", "ATA", "Disk", false, {1, 2});
    system.addDisk("sdb", "Apple", "iPod", true, {2});
    system.addDisk("sdc", "Apple", "iPod", true);
    const fs::path ipod = system.mount("sdb2", "My iPod");
    const fs::path whole = system.mount("sdc", "WHOLE");
    const fs::path data = system.mount("sda1", "data");
    // A folder of the iPod's file system bound elsewhere is not a drive root.
    system.addMountLine("8:18", "/Music", "/elsewhere", "/dev/sdb2");

    const auto associations = SysfsDiskInventory::fromEnvironment().logicalDiskToPartitions();
    ASSERT_EQ(associations.size(), 3u);
    EXPECT_EQ(associations[0].Antecedent,
              u"\\\\localhost\\root\\cimv2:Win32_DiskPartition.DeviceID=\"Disk #0, Partition #1\"");
    EXPECT_EQ(associations[0].Dependent,
              u"\\\\localhost\\root\\cimv2:Win32_LogicalDisk.DeviceID=\"" + fromUtf8(data.string()) + u"\"");
    EXPECT_EQ(associations[1].Antecedent,
              u"\\\\localhost\\root\\cimv2:Win32_DiskPartition.DeviceID=\"Disk #1, Partition #2\"");
    EXPECT_EQ(logicalDiskIdentifier(associations[1].Dependent), fromUtf8(ipod.string()));
    EXPECT_EQ(associations[2].Antecedent,
              u"\\\\localhost\\root\\cimv2:Win32_DiskPartition.DeviceID=\"Disk #2, Partition #0\"");
    EXPECT_EQ(logicalDiskIdentifier(associations[2].Dependent), fromUtf8(whole.string()));
}

TEST(SysfsDiskInventory, FallsBackToTheMountSourceWhenTheDeviceNumberIsTheFileSystemsOwn)
{
    FakeSystem system;
    system.addDisk("sdb", "Apple", "iPod", true, {1});
    system.addMountLine("0:45", "/", "/media/IPOD", "/dev/sdb1");
    const auto associations = SysfsDiskInventory::fromEnvironment().logicalDiskToPartitions();
    ASSERT_EQ(associations.size(), 1u);
    EXPECT_EQ(logicalDiskIdentifier(associations[0].Dependent), u"/media/IPOD");
}

TEST(SysfsDiskInventory, DecodesMountTableEscapes)
{
    EXPECT_EQ(decodeMountField("/media/My\\040iPod"), "/media/My iPod");
    EXPECT_EQ(decodeMountField("/a\\011b\\134c\\012"), "/a\tb\\c\n");
    EXPECT_EQ(decodeMountField("/odd\\04"), "/odd\\04");  // incomplete escape kept
    EXPECT_EQ(decodeMountField("/odd\\089"), "/odd\\089");
}

TEST(SysfsDiskInventory, UnreadableSystemIsAnError)
{
    TempDir dir;
    EXPECT_THROW(SysfsDiskInventory(dir.path() / "missing", dir.path() / "mountinfo").diskDrives(),
                 std::runtime_error);
    fs::create_directories(dir.path() / "sys/block");
    EXPECT_THROW(SysfsDiskInventory(dir.path() / "sys", dir.path() / "missing").logicalDiskToPartitions(),
                 std::runtime_error);
}

TEST(LogicalDiskReference, KeepsMountPointsWithQuotesEqualsSignsAndBackslashes)
{
    for (const std::u16string point : {u"/media/a=b", u"/media/say \"hi\"", u"/media/back\\slash", u"/m/x=\"y"})
        EXPECT_EQ(logicalDiskIdentifier(logicalDiskReference(point)), point);
    EXPECT_EQ(logicalDiskIdentifier(u"\\\\localhost\\root\\cimv2:Win32_LogicalDisk.DeviceID=\"E:\""), u"E:");
    EXPECT_EQ(logicalDiskIdentifier(u"no value"), u"");
    EXPECT_EQ(logicalDiskIdentifier(u"x=\"unterminated"), u"");
}

namespace {

class ListedInventory final : public DiskInventory {
public:
    std::vector<DiskDrive> drives;
    std::vector<LogicalDiskToPartition> associations;
    std::vector<DiskDrive> diskDrives() const override { return drives; }
    std::vector<LogicalDiskToPartition> logicalDiskToPartitions() const override { return associations; }
};

LogicalDiskToPartition association(const std::u16string& partition, const std::u16string& volume)
{
    return {u"\\\\localhost\\root\\cimv2:Win32_DiskPartition.DeviceID=\"" + partition + u"\"",
            logicalDiskReference(volume)};
}

}  // namespace

TEST(DeviceDriveMatch, UsesTheWholeDiskNumber)
{
    ListedInventory inventory;
    inventory.drives = {{u"ATA Disk", u"\\\\.\\PHYSICALDRIVE0"},
                        {kIpodCaption, u"\\\\.\\PHYSICALDRIVE1"},
                        {u"ATA Disk", u"\\\\.\\PHYSICALDRIVE12"}};
    inventory.associations = {association(u"disk #1, Partition #1", u"/media/IPOD"),
                              association(u"Disk #12, Partition #1", u"/media/other"),
                              association(u"Disk #11, Partition #1", u"/media/eleven")};
    const DeviceDriveMatch match = matchDeviceDrive(inventory);
    EXPECT_TRUE(match.deviceFound);
    EXPECT_EQ(match.driveRoot, u"/media/IPOD/");

    inventory.drives[1].Name = u"\\\\.\\PHYSICALDRIVE11";
    EXPECT_EQ(matchDeviceDrive(inventory).driveRoot, u"/media/eleven/");
}

TEST(DeviceDriveMatch, ComparesTheCaptionExactly)
{
    ListedInventory inventory;
    inventory.drives = {{u"apple ipod usb device", u"\\\\.\\PHYSICALDRIVE0"}};
    inventory.associations = {association(u"Disk #0, Partition #1", u"/media/IPOD")};
    const DeviceDriveMatch match = matchDeviceDrive(inventory);
    EXPECT_FALSE(match.deviceFound);
    EXPECT_EQ(match.driveRoot, u"");
}

namespace {

// Each test starts from a machine without disks and a library not started yet.
class DeviceLocator : public ::testing::Test {
protected:
    FakeSystem system;
    Library lib;
};

}  // namespace

TEST_F(DeviceLocator, FindsTheMountedDeviceWithoutAsking)
{
    system.addPlainDisk();
    system.addIpod("sdb", {1, 2});
    system.mount("sda1", "data");
    const fs::path ipod = system.mount("sdb2", "IPOD");

    EXPECT_EQ(lib.locate(), FakeSystem::root(ipod));
    EXPECT_TRUE(lib.host.prompts.empty());
    EXPECT_TRUE(lib.host.browserTitles.empty());
}

TEST_F(DeviceLocator, FindsTheDatabaseFolderInUpperCase)
{
    // FAT devices mounted on Linux often show their folders in capitals.
    system.addIpod();
    const fs::path ipod = system.mount("sdb1", "IPOD", false);
    fs::create_directories(ipod / "IPOD_CONTROL/ITUNES");

    EXPECT_EQ(lib.locate(), FakeSystem::root(ipod));
    EXPECT_TRUE(lib.host.prompts.empty());
}

TEST_F(DeviceLocator, ConfirmsTheDriveOnlyWhenAsked)
{
    system.addIpod();
    const std::u16string drive = FakeSystem::root(system.mount("sdb1", "IPOD"));

    lib.db.initlaize(0, u"Tracklift", u"/elsewhere/");
    EXPECT_EQ(lib.db.GetiPodDriveString(0, u"Tracklift"), drive);
    EXPECT_EQ(lib.db.GetiPodDriveString(0, u"Tracklift", false), drive);
    EXPECT_TRUE(lib.host.prompts.empty());

    // The notice carries the name given to this call, not the one initlaize stored.
    EXPECT_EQ(lib.db.GetiPodDriveString(0, u"Other", true), drive);
    ASSERT_EQ(lib.host.prompts.size(), 1u);
    expectNotice(lib.host.prompts[0], drive, u"Other");
    EXPECT_EQ(lib.db.iPodDriveLetter(), drive);
}

TEST_F(DeviceLocator, FindsAMountPointWithBlanksInItsName)
{
    system.addIpod();
    const fs::path ipod = system.mount("sdb1", "Jane's iPod 2");

    EXPECT_EQ(lib.locate(), FakeSystem::root(ipod));
    EXPECT_TRUE(lib.host.prompts.empty());
}

TEST_F(DeviceLocator, DriveWithoutDatabaseFolderKeptWhenTheUserSaysYes)
{
    system.addIpod();
    const std::u16string drive = FakeSystem::root(system.mount("sdb1", "IPOD", false));

    lib.host.answer(MessageResult::Yes);
    EXPECT_EQ(lib.db.GetiPodDriveString(0, u"Tracklift", true), drive);
    ASSERT_EQ(lib.host.prompts.size(), 1u);  // no notice for a drive the user confirmed
    expectQuestion(lib.host.prompts[0], noFolderQuestion(drive));
    EXPECT_TRUE(lib.host.browserTitles.empty());
    EXPECT_EQ(lib.db.iPodDriveLetter(), drive);
}

TEST_F(DeviceLocator, DriveWithoutDatabaseFolderReplacedByTheBrowsedFolder)
{
    system.addIpod();
    const std::u16string drive = FakeSystem::root(system.mount("sdb1", "IPOD", false));

    lib.host.answer(MessageResult::No);
    lib.host.chooseFolder(u"/media/chosen");
    EXPECT_EQ(lib.db.GetiPodDriveString(0, u"Tracklift", true), u"/media/chosen/");
    ASSERT_EQ(lib.host.prompts.size(), 2u);
    expectQuestion(lib.host.prompts[0], noFolderQuestion(drive));
    expectNotice(lib.host.prompts[1], u"/media/chosen/", u"Tracklift");
    EXPECT_EQ(lib.host.browserTitles, std::vector<std::u16string>{u"Please, Select the iPod Drive"});
}

TEST_F(DeviceLocator, DriveWithoutDatabaseFolderAndCancelledBrowserGivesNoDrive)
{
    system.addIpod();
    system.mount("sdb1", "IPOD", false);

    lib.host.answer(MessageResult::No);
    EXPECT_EQ(lib.locate(), u"");
    EXPECT_EQ(lib.host.browserTitles, std::vector<std::u16string>{u"Please, Select the iPod Drive"});

    lib.host.answer(MessageResult::No);
    EXPECT_EQ(lib.db.GetiPodDriveString(0, u"Tracklift", true), u"");
    EXPECT_EQ(lib.host.prompts.size(), 2u);  // two questions, no notice
}

TEST_F(DeviceLocator, TwoDevicesTakeTheLastOne)
{
    system.addIpod();
    system.addIpod("sdc");
    const fs::path second = system.mount("sdc1", "SECOND");
    system.mount("sdb1", "FIRST");

    EXPECT_EQ(lib.locate(), FakeSystem::root(second));
}

TEST_F(DeviceLocator, DiskOneIsNotConfusedWithDiskTwelve)
{
    const std::string names = "abcdefghijklm";  // disks 0 to 12
    for (const char letter : names) {
        const std::string name = std::string("sd") + letter;
        if (name == "sdb")
            system.addIpod(name);
        else
            system.addPlainDisk(name);
    }
    const fs::path ipod = system.mount("sdb1", "IPOD");
    system.mount("sdm1", "twelve");

    EXPECT_EQ(lib.locate(), FakeSystem::root(ipod));
}

TEST_F(DeviceLocator, UnmountedDeviceAsksToLocateTheDrive)
{
    system.addPlainDisk();
    system.addIpod();
    system.mount("sda1", "data");

    EXPECT_EQ(lib.locate(), u"");
    ASSERT_EQ(lib.host.prompts.size(), 1u);
    expectQuestion(lib.host.prompts[0], kDriveNotFound);
    EXPECT_TRUE(lib.host.browserTitles.empty());

    lib.host.prompts.clear();
    lib.host.answer(MessageResult::Yes);
    lib.host.chooseFolder(u"/media/picked/");
    EXPECT_EQ(lib.db.GetiPodDriveString(0, u"Tracklift", true), u"/media/picked/");
    ASSERT_EQ(lib.host.prompts.size(), 2u);
    expectQuestion(lib.host.prompts[0], kDriveNotFound);
    expectNotice(lib.host.prompts[1], u"/media/picked/", u"Tracklift");
    EXPECT_EQ(lib.host.browserTitles, std::vector<std::u16string>{u"Please, select the iPod Drive"});
}

TEST_F(DeviceLocator, MissingDeviceAsksToLocateTheDevice)
{
    system.addPlainDisk();
    system.addDisk("sdb", "Apple", "iPod", false, {1});  // not on USB: another caption
    system.mount("sdb1", "IPOD");

    lib.host.answer(MessageResult::Yes);
    EXPECT_EQ(lib.db.GetiPodDriveString(0, u"Tracklift", true), u"");  // browser cancelled
    ASSERT_EQ(lib.host.prompts.size(), 1u);
    expectQuestion(lib.host.prompts[0], kDeviceNotFound);
    EXPECT_EQ(lib.host.browserTitles, std::vector<std::u16string>{u"Please, select the iPod Drive"});
}

TEST_F(DeviceLocator, EveryCallStartsAfresh)
{
    system.addIpod();

    lib.host.answer(MessageResult::Yes);
    lib.host.chooseFolder(u"/media/picked");
    EXPECT_EQ(lib.locate(), u"/media/picked/");

    const fs::path ipod = system.mount("sdb1", "IPOD");
    EXPECT_EQ(lib.locate(), FakeSystem::root(ipod));
    EXPECT_EQ(lib.host.prompts.size(), 1u);
}

TEST_F(DeviceLocator, InventoryFailureReachesTheCaller)
{
    setenv("SONARCHIVE_SYSFS", (system.sysfs() / "absent").c_str(), 1);
    EXPECT_THROW(lib.db.initlaize(0, u"Tracklift"), std::runtime_error);
    EXPECT_TRUE(lib.host.prompts.empty());
}
