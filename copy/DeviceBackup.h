#pragma once

#include "BatchCopy.h"

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace trackcopy {

// A backup of what a device keeps about its music, taken before anything else
// when its disk may be failing: every file below iPod_Control/iTunes (the
// database, "Play Counts", the On-The-Go lists and the rest beside them) and
// below iPod_Control/Device, copied into a new folder "iPod Backup
// YYYY-MM-DD HH.MM.SS" in the destination with the device's own layout and
// names. The copies are read-only and checked by size; reads are tried again
// and a device that goes away stops the backup, as in any batch copy.
class DeviceBackup {
public:
    // The batch for the device mounted at `deviceRoot`. Folders found in any
    // letter case (IPOD_CONTROL/ITUNES on FAT devices).
    static DeviceBackup plan(const std::filesystem::path& deviceRoot, const std::filesystem::path& destination,
                             std::chrono::system_clock::time_point when = std::chrono::system_clock::now());

    // The new folder the files go to (made by the copy).
    const std::filesystem::path& folder() const { return m_folder; }
    const std::vector<CopyItem>& items() const { return m_items; }
    // What could not be listed ("the iPod has no iPod_Control/iTunes folder").
    const std::vector<std::string>& problems() const { return m_problems; }
    // The device's iPod_Control/iTunes folder, in its own letter case; empty when it has none.
    const std::filesystem::path& databaseFolder() const { return m_databaseFolder; }
    // Read-only copies, failures on the device told apart from the device going away.
    CopySettings settings() const;

    // "iPod Backup 2025-01-31 14.05.09"; " (2)" and on when that is taken.
    static std::filesystem::path folderFor(const std::filesystem::path& destination, std::chrono::system_clock::time_point when);

private:
    void addFolder(const std::filesystem::path& relative);

    std::filesystem::path m_deviceRoot;
    std::filesystem::path m_folder;
    std::filesystem::path m_databaseFolder;
    std::vector<CopyItem> m_items;
    std::vector<std::string> m_problems;
};

}  // namespace trackcopy
