#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace sonarchive {

// A physical disk as the operating system lists it.
// Caption: the product text ("Apple iPod USB Device").
// Name: the disk's device name, ending in its number ("\\.\PHYSICALDRIVE1").
struct DiskDrive {
    std::u16string Caption;
    std::u16string Name;
};

// One partition of a disk mapped to a mounted volume.
// Antecedent: reference of the partition, containing "Disk #<n>, Partition #<k>".
// Dependent: reference of the volume, ending in its identifier in double quotes
// after "=" (on Linux, the mount point).
struct LogicalDiskToPartition {
    std::u16string Antecedent;
    std::u16string Dependent;
};

// Where drive detection learns about disks and their mounted volumes.
// Both queries may throw when the system cannot be asked.
class DiskInventory {
public:
    virtual ~DiskInventory() = default;
    virtual std::vector<DiskDrive> diskDrives() const = 0;
    virtual std::vector<LogicalDiskToPartition> logicalDiskToPartitions() const = 0;
};

// The running system's inventory (see SysfsDiskInventory).
std::unique_ptr<DiskInventory> systemDiskInventory();

// The reference texts of the associations. Inside the quotes a backslash and a
// double quote are escaped with a backslash.
std::u16string diskPartitionReference(std::uint32_t disk, std::uint32_t partition);
std::u16string logicalDiskReference(std::u16string_view deviceId);

// The volume identifier quoted in a Dependent reference: the text between the
// quotes that follow its "=", escapes undone. Empty when the text has no quoted value.
std::u16string logicalDiskIdentifier(std::u16string_view dependent);

}  // namespace sonarchive
