#include "DeviceManager.h"

#include "DeviceChoice.h"
#include "SysfsLister.h"
#include "UDisks2Lister.h"

#include <algorithm>

namespace devices {

DeviceManager::DeviceManager(std::vector<std::unique_ptr<DeviceLister>> listers) : m_listers(std::move(listers)) {}

DeviceManager DeviceManager::forSystem()
{
    std::vector<std::unique_ptr<DeviceLister>> listers;
    listers.push_back(std::make_unique<UDisks2Lister>());
    listers.push_back(std::make_unique<SysfsLister>());
    return DeviceManager(std::move(listers));
}

std::vector<Device> DeviceManager::devices()
{
    m_problems.clear();
    std::vector<Device> all;
    for (const auto& lister : m_listers) {
        std::vector<Device> found;
        try {
            found = lister->devices();
        } catch (const DeviceError& e) {
            m_problems.push_back(e.what());
            continue;
        }
        for (Device& device : found) {
            // A mounted device another lister reported already is the same device.
            const bool known = device.isMounted() && std::any_of(all.begin(), all.end(), [&](const Device& d) {
                return d.isMounted() && sameFolder(d.mountPoint, device.mountPoint);
            });
            if (known)
                continue;
            all.push_back(std::move(device));
        }
    }
    return all;
}

DeviceLister* DeviceManager::lister(DeviceSource source)
{
    for (const auto& lister : m_listers)
        if (lister->source() == source)
            return lister.get();
    return nullptr;
}

}  // namespace devices
