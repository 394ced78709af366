#pragma once

#include <filesystem>
#include <random>
#include <string>

namespace sonarchive {

// Where a track added to the device goes: a folder of its own below the music
// folder (A00 to Z99) and a random file name.
struct DevicePlacement {
    std::string devicePath;                // below the drive root, starting with "/"
    std::filesystem::path createdFolder;   // the folder made for the file, if one was made
};

// Chooses the place below `music` (the device's music folder under `root`, as
// the device spells it) for a file with `extension`, making its folder.
DevicePlacement chooseDevicePath(const std::filesystem::path& root, const std::filesystem::path& music,
                                 const std::u16string& extension, std::mt19937_64& random);

}  // namespace sonarchive
