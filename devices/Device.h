#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace devices {

// Who reported a device: the desktop's disk service, or the library's own look
// at sysfs and the mount table.
enum class DeviceSource { UDisks, Sysfs };

// "udisks" or "sysfs".
std::string_view sourceName(DeviceSource source);

// One iPod file system as a lister sees it.
struct Device {
    DeviceSource source = DeviceSource::UDisks;
    std::string name;            // the disk's caption, "Apple iPod USB Device"
    std::string label;           // the file system's label; may be empty
    std::string deviceFile;      // "/dev/sdb2"; may be empty
    std::uint64_t size = 0;      // bytes
    std::string fileSystemType;  // "vfat", "hfsplus"; may be empty
    std::string mountPoint;      // where it is mounted, without a trailing "/"; empty when it is not
    bool readOnly = false;       // the disk itself can't be written
    bool canPowerOff = false;
    // The same after the device is unplugged and plugged in again.
    std::string identity;
    // The disk service's objects: the file system's block device and its drive.
    std::string blockObject;
    std::string driveObject;

    bool isMounted() const { return !mountPoint.empty(); }
    // The mount point as a drive root, with its trailing "/"; empty when not mounted.
    std::string driveRoot() const;

    friend bool operator==(const Device&, const Device&) = default;
};

}  // namespace devices
