#pragma once

#include "DiskInventory.h"

#include <filesystem>

namespace sonarchive {

// Disks from sysfs and volumes from the mount table.
//
// Every entry of <sysfs>/block with a device/ folder is a disk, numbered 0, 1, 2, ...
// in the kernel's name order (sda ... sdz, sdaa ...). Its caption is vendor and model,
// followed by " USB Device" when the device sits below a USB bus. Every partition of
// such a disk that is mounted (or the whole disk, when mounted without a partition
// table; partition 0) gives one association to its mount point.
class SysfsDiskInventory final : public DiskInventory {
public:
    SysfsDiskInventory(std::filesystem::path sysfsRoot, std::filesystem::path mountInfo);

    // /sys and /proc/self/mountinfo, or SONARCHIVE_SYSFS and SONARCHIVE_MOUNTINFO when set.
    static SysfsDiskInventory fromEnvironment();

    std::vector<DiskDrive> diskDrives() const override;
    std::vector<LogicalDiskToPartition> logicalDiskToPartitions() const override;

private:
    std::filesystem::path m_sysfsRoot;
    std::filesystem::path m_mountInfo;
};

// "\040" and the other three-digit octal escapes of the mount table, decoded.
std::string decodeMountField(std::string_view field);

}  // namespace sonarchive
