#include "DeviceWatch.h"

#include <QMetaObject>

#include <algorithm>

namespace tracklift {

DeviceWatch::DeviceWatch(std::unique_ptr<devices::DeviceLister> lister, QObject* parent)
    : QObject(parent), m_lister(std::move(lister))
{
}

DeviceWatch::~DeviceWatch()
{
    // Returns once the lister's thread reports no more; reports still queued go with this object.
    m_lister->watch(nullptr);
}

bool DeviceWatch::start()
{
    m_watching = m_lister->watch(&m_relay);
    return m_watching;
}

void DeviceWatch::carryOver(Report report, const devices::Device& device)
{
    QMetaObject::invokeMethod(this, [this, report, device] { apply(report, device); }, Qt::QueuedConnection);
}

void DeviceWatch::apply(Report report, const devices::Device& device)
{
    const auto same = [&](const devices::Device& d) { return d.blockObject == device.blockObject; };
    const auto known = std::find_if(m_devices.begin(), m_devices.end(), same);
    switch (report) {
    case Report::Added:
        if (known == m_devices.end())
            m_devices.push_back(device);
        emit deviceAdded(device);
        break;
    case Report::Removed:
        if (known != m_devices.end())
            m_devices.erase(known);
        emit deviceRemoved(device);
        break;
    case Report::Changed:
        if (known != m_devices.end())
            *known = device;
        emit deviceChanged(device);
        break;
    }
}

}  // namespace tracklift
