#pragma once

#include "Device.h"

#include <filesystem>
#include <optional>
#include <vector>

namespace devices {

class DeviceLister;

// The iPod automatic detection takes from a lister (the last of a kind, as the
// library takes the last drive it finds): one mounted with its database
// folder; else, when `mount` is set, one not mounted, which is mounted; else
// one mounted; else any. Nothing when the lister sees no iPod; DeviceError when
// it can't be asked or mounting fails.
std::optional<Device> chooseiPod(DeviceLister& lister, bool mount);
// The same choice among `found`, the devices listed already; with `mountWith`
// the one not mounted is mounted through it.
std::optional<Device> chooseiPod(const std::vector<Device>& found, DeviceLister* mountWith);

// The device whose mount point holds `path` (the deepest one); null when none does.
const Device* deviceHolding(const std::vector<Device>& devices, const std::filesystem::path& path);

// Whether two paths name the same folder, links followed.
bool sameFolder(const std::filesystem::path& a, const std::filesystem::path& b);

// Whether `root` holds the device's database folder, iPod_Control/iTunes, in
// any letter case.
bool hasDatabaseFolder(const std::filesystem::path& root);

}  // namespace devices
