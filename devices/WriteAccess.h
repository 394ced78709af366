#pragma once

#include "Device.h"
#include "MountTable.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace devices {

inline constexpr std::string_view kMacFormattedReadOnly =
    "the iPod is formatted for Mac (HFS+) and mounted read-only on Linux; copying from it works, changing it does not";
inline constexpr std::string_view kMountedReadOnly =
    "the iPod is mounted read-only; copying from it works, changing it does not";

// Why the iPod at `root` can't be changed, said before anything tries to:
// its file system is HFS+ (which Linux mounts read-only), the disk service
// says the disk is read-only, or the mount table says it is mounted so.
// Empty when none of these holds. `known` are the devices the listers see;
// the one mounted where the root is adds what the disk service knows.
std::string readOnlyReason(const std::filesystem::path& root, const std::vector<Device>& known,
                           const std::vector<MountEntry>& mountTable);

}  // namespace devices
