#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace devices {

// One line of the mount table.
struct MountEntry {
    std::string mountPoint;
    std::string fileSystemType;  // "vfat", "hfsplus"
    std::string source;          // "/dev/sdb2"
    bool readOnly = false;       // mounted "ro", or its file system is
};

// The process's mount table (/proc/self/mountinfo, or the file that
// SONARCHIVE_MOUNTINFO names). Empty when it can't be read.
std::vector<MountEntry> readMountTable();
std::vector<MountEntry> readMountTable(const std::filesystem::path& mountInfo);

// The mount that holds `path`: the longest mount point that contains it, the
// last mounted of equals. Nothing when no entry does.
std::optional<MountEntry> mountHolding(const std::vector<MountEntry>& table, const std::filesystem::path& path);

}  // namespace devices
