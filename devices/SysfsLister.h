#pragma once

#include "DeviceLister.h"

namespace devices {

// The library's own detection (sysfs and the mount table, no system bus) as a
// lister: the mounted iPod drive it finds, with what the mount table says of
// it. It sees mounted iPods holding their database folder, the last one only,
// and can neither mount, eject nor watch.
class SysfsLister final : public DeviceLister {
public:
    DeviceSource source() const override { return DeviceSource::Sysfs; }
    std::vector<Device> devices() override;
    std::string mount(const Device& device) override;
    EjectResult eject(const Device& device) override;
    bool watch(DeviceListener* listener) override;
};

}  // namespace devices
