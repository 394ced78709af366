#pragma once

#include "DeviceLister.h"

#include <memory>
#include <string>
#include <vector>

namespace devices {

// The listers of the system, asked in turn: the desktop's disk service first,
// the library's own detection after it. Their devices are merged by mount
// point, the first lister's report kept.
class DeviceManager {
public:
    explicit DeviceManager(std::vector<std::unique_ptr<DeviceLister>> listers);
    // UDisks2, then sysfs.
    static DeviceManager forSystem();

    // Every lister's devices; listers that can't be asked are passed over, and
    // problems() says why.
    std::vector<Device> devices();
    const std::vector<std::string>& problems() const { return m_problems; }

    // The lister of that source; null when there is none.
    DeviceLister* lister(DeviceSource source);

private:
    std::vector<std::unique_ptr<DeviceLister>> m_listers;
    std::vector<std::string> m_problems;
};

}  // namespace devices
