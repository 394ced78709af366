#include "SysfsDiskInventory.h"

#include "Blanks.h"
#include "Error.h"

#include <sonarchive/ByteText.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <system_error>

namespace fs = std::filesystem;

namespace sonarchive {

namespace {

// Sysfs attribute files are tiny; anything larger is not one of them.
constexpr std::streamsize kMaxAttributeSize = 4096;
// A mount table of this size is far beyond any real system.
constexpr std::uintmax_t kMaxMountTableSize = 64u * 1024u * 1024u;

std::string readAttribute(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {};
    std::string text(static_cast<std::size_t>(kMaxAttributeSize), '\0');
    in.read(text.data(), kMaxAttributeSize);
    text.resize(static_cast<std::size_t>(in.gcount()));
    return text;
}

// An attribute's value without the line end and padding around it.
std::string attributeValue(const fs::path& path)
{
    return trimmedBlanks(std::string_view(readAttribute(path)), std::string_view(" \t\n\r\0", 5));
}

// A device below a USB host controller has a "usb<bus>" element in its sysfs path.
bool isOnUsbBus(const fs::path& device)
{
    std::error_code ec;
    const fs::path real = fs::canonical(device, ec);
    for (const fs::path& element : ec ? device : real) {
        const std::string name = element.string();
        if (name.size() > 3 && name.compare(0, 3, "usb") == 0
            && std::all_of(name.begin() + 3, name.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return true;
    }
    return false;
}

std::string captionOf(const fs::path& device)
{
    std::string caption;
    for (const char* attribute : {"vendor", "model"}) {
        const std::string part = attributeValue(device / attribute);
        if (part.empty())
            continue;
        if (!caption.empty())
            caption += ' ';
        caption += part;
    }
    if (isOnUsbBus(device))
        caption += " USB Device";
    return caption;
}

// sda < sdb < ... < sdz < sdaa: shorter names first, then by text.
bool kernelNameOrder(const std::string& a, const std::string& b)
{
    return a.size() != b.size() ? a.size() < b.size() : a < b;
}

struct BlockDisk {
    std::string name;
    fs::path folder;
};

std::vector<BlockDisk> listDisks(const fs::path& sysfsRoot)
{
    const fs::path blockFolder = sysfsRoot / "block";
    std::error_code ec;
    fs::directory_iterator it(blockFolder, ec);
    if (ec)
        throw systemError(ec.value(), "cannot list the disks in " + blockFolder.string());
    std::vector<BlockDisk> disks;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec)
            throw systemError(ec.value(), "cannot list the disks in " + blockFolder.string());
        std::error_code statError;
        if (fs::is_directory(it->path() / "device", statError))
            disks.push_back({it->path().filename().string(), it->path()});
    }
    std::sort(disks.begin(), disks.end(),
              [](const BlockDisk& a, const BlockDisk& b) { return kernelNameOrder(a.name, b.name); });
    return disks;
}

struct PartitionPlace {
    std::uint32_t disk = 0;
    std::uint32_t partition = 0;
};

// Block devices of the listed disks by their "major:minor" and by their name:
// the whole disk as partition 0, each partition by the kernel's number.
struct PartitionMap {
    std::map<std::string, PartitionPlace> byDevice;
    std::map<std::string, PartitionPlace> byName;

    void add(const fs::path& folder, const std::string& name, PartitionPlace place)
    {
        const std::string device = attributeValue(folder / "dev");
        if (!device.empty())
            byDevice.emplace(device, place);
        byName.emplace(name, place);
    }
};

PartitionMap mapPartitions(const std::vector<BlockDisk>& disks)
{
    PartitionMap map;
    for (std::size_t n = 0; n < disks.size(); ++n) {
        const auto disk = static_cast<std::uint32_t>(n);
        map.add(disks[n].folder, disks[n].name, {disk, 0});
        std::error_code ec;
        for (fs::directory_iterator it(disks[n].folder, ec); !ec && it != fs::directory_iterator(); it.increment(ec)) {
            const std::string number = attributeValue(it->path() / "partition");
            if (number.empty() || number.size() > 9
                || !std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; }))
                continue;
            map.add(it->path(), it->path().filename().string(), {disk, static_cast<std::uint32_t>(std::stoul(number))});
        }
    }
    return map;
}

std::vector<std::string> splitFields(const std::string& line)
{
    std::vector<std::string> fields;
    std::istringstream in(line);
    for (std::string field; in >> field;)
        fields.push_back(field);
    return fields;
}

struct Mount {
    PartitionPlace place;
    std::string mountPoint;
};

// Lines of /proc/<pid>/mountinfo:
//   36 35 98:0 /mnt1 /mnt2 rw,noatime master:1 - ext3 /dev/root rw,errors=continue
//   (1)(2)(3)   (4)   (5)      (6)       (7)  (8) (9)   (10)         (11)
// (3) is the device, (4) the folder of the file system mounted, (5) the mount point,
// (7) optional fields ended by "-", then the type and the source.
std::vector<Mount> readMounts(const fs::path& mountInfo, const PartitionMap& partitions)
{
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(mountInfo, ec);
    if (!ec && size > kMaxMountTableSize)
        throw Error(FailureCode::TooLarge, "the mount table " + mountInfo.string() + " is too large");
    std::ifstream in(mountInfo, std::ios::binary);
    if (!in)
        throw systemError(errno ? errno : EIO, "cannot read the mount table " + mountInfo.string());

    std::vector<Mount> mounts;
    for (std::string line; std::getline(in, line);) {
        const std::vector<std::string> fields = splitFields(line);
        if (fields.size() < 5)
            continue;
        // Only mounts of a whole file system give a drive root; a bind mount of
        // one of its folders does not.
        if (decodeMountField(fields[3]) != "/")
            continue;
        auto found = partitions.byDevice.find(fields[2]);
        if (found == partitions.byDevice.end()) {
            // Some file systems report a device number of their own; fall back to the source.
            const auto separator = std::find(fields.begin() + 5, fields.end(), "-");
            if (separator == fields.end() || fields.end() - separator < 3)
                continue;
            const std::string source = decodeMountField(*(separator + 2));
            if (source.rfind("/dev/", 0) != 0)
                continue;
            const auto byName = partitions.byName.find(source.substr(5));
            if (byName == partitions.byName.end())
                continue;
            found = byName;
        }
        mounts.push_back({found->second, decodeMountField(fields[4])});
    }
    std::stable_sort(mounts.begin(), mounts.end(), [](const Mount& a, const Mount& b) {
        return a.place.disk != b.place.disk ? a.place.disk < b.place.disk : a.place.partition < b.place.partition;
    });
    return mounts;
}

}  // namespace

std::string decodeMountField(std::string_view field)
{
    const auto isOctal = [](char c) { return c >= '0' && c <= '7'; };
    std::string text;
    text.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && isOctal(field[i + 1]) && isOctal(field[i + 2])
            && isOctal(field[i + 3])) {
            const int value = (field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0');
            text += static_cast<char>(value & 0xff);
            i += 3;
        } else {
            text += field[i];
        }
    }
    return text;
}

SysfsDiskInventory::SysfsDiskInventory(fs::path sysfsRoot, fs::path mountInfo)
    : m_sysfsRoot(std::move(sysfsRoot)), m_mountInfo(std::move(mountInfo))
{
}

SysfsDiskInventory SysfsDiskInventory::fromEnvironment()
{
    const char* sysfs = std::getenv("SONARCHIVE_SYSFS");
    const char* mountInfo = std::getenv("SONARCHIVE_MOUNTINFO");
    return SysfsDiskInventory(sysfs && *sysfs ? fs::path(sysfs) : fs::path("/sys"),
                              mountInfo && *mountInfo ? fs::path(mountInfo) : fs::path("/proc/self/mountinfo"));
}

std::vector<DiskDrive> SysfsDiskInventory::diskDrives() const
{
    std::vector<DiskDrive> drives;
    const std::vector<BlockDisk> disks = listDisks(m_sysfsRoot);
    for (std::size_t n = 0; n < disks.size(); ++n)
        drives.push_back({fromUtf8(captionOf(disks[n].folder / "device")),
                          fromUtf8("\\\\.\\PHYSICALDRIVE" + std::to_string(n))});
    return drives;
}

std::vector<LogicalDiskToPartition> SysfsDiskInventory::logicalDiskToPartitions() const
{
    const PartitionMap partitions = mapPartitions(listDisks(m_sysfsRoot));
    std::vector<LogicalDiskToPartition> associations;
    for (const Mount& mount : readMounts(m_mountInfo, partitions))
        associations.push_back({diskPartitionReference(mount.place.disk, mount.place.partition),
                                logicalDiskReference(fromUtf8(mount.mountPoint))});
    return associations;
}

std::unique_ptr<DiskInventory> systemDiskInventory()
{
    return std::make_unique<SysfsDiskInventory>(SysfsDiskInventory::fromEnvironment());
}

}  // namespace sonarchive
