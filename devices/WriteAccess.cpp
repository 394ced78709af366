#include "WriteAccess.h"

#include "DeviceChoice.h"

#include <system_error>

namespace devices {

namespace {

bool isMacFileSystem(const std::string& type)
{
    return type == "hfsplus" || type == "hfs";
}

}  // namespace

std::string readOnlyReason(const std::filesystem::path& root, const std::vector<Device>& known,
                           const std::vector<MountEntry>& mountTable)
{
    const Device* device = deviceHolding(known, root);
    std::optional<MountEntry> mount = mountHolding(mountTable, root);
    if (device && mount) {
        // The table speaks of the device only when its mount is the device's.
        std::error_code ec;
        if (!std::filesystem::equivalent(mount->mountPoint, device->mountPoint, ec))
            mount.reset();
    }
    const bool mac = (device && isMacFileSystem(device->fileSystemType)) || (mount && isMacFileSystem(mount->fileSystemType));
    if (mac)
        return std::string(kMacFormattedReadOnly);
    if ((device && device->readOnly) || (mount && mount->readOnly))
        return std::string(kMountedReadOnly);
    return {};
}

}  // namespace devices
