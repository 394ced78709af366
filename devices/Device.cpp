#include "Device.h"

namespace devices {

std::string_view sourceName(DeviceSource source)
{
    return source == DeviceSource::UDisks ? "udisks" : "sysfs";
}

std::string Device::driveRoot() const
{
    if (mountPoint.empty())
        return {};
    return mountPoint.back() == '/' ? mountPoint : mountPoint + '/';
}

}  // namespace devices
