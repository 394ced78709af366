#pragma once

#include "DeviceLister.h"

#include <memory>

namespace sdbus {
class IConnection;
}

namespace devices {

class ObjectTable;

// The iPods the desktop's disk service (UDisks2, on the system bus) knows:
// drives whose vendor is "Apple" and whose model starts with "iPod", with a
// file system on them. Mounting, unmounting and powering off go through the
// service, so the desktop's policy applies and no root is needed. The bus is
// the one DBUS_SYSTEM_BUS_ADDRESS names, else the system's.
//
// devices(), mount() and eject() are called from one thread at a time; the
// watch runs on a thread of its own.
class UDisks2Lister final : public DeviceLister {
public:
    UDisks2Lister();
    ~UDisks2Lister() override;

    DeviceSource source() const override { return DeviceSource::UDisks; }
    std::vector<Device> devices() override;
    std::string mount(const Device& device) override;
    EjectResult eject(const Device& device) override;
    bool watch(DeviceListener* listener) override;

private:
    sdbus::IConnection& calls();
    ObjectTable objects();
    void unmount(const std::string& blockObject, const std::string& mountPoint);

    struct Watch;
    std::unique_ptr<sdbus::IConnection> m_calls;
    std::unique_ptr<Watch> m_watch;
};

}  // namespace devices
