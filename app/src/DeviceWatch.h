#pragma once

#include <Device.h>
#include <DeviceLister.h>

#include <QObject>

#include <memory>
#include <vector>

namespace tracklift {

// The iPods a lister sees, kept up to date from its hot-plug reports. The
// lister reports from a thread of its own; each report is carried over to the
// window's thread, where the list changes and the signals go out.
class DeviceWatch final : public QObject {
    Q_OBJECT
public:
    explicit DeviceWatch(std::unique_ptr<devices::DeviceLister> lister, QObject* parent = nullptr);
    ~DeviceWatch() override;

    // Starts watching; false when the lister can't (no disk service).
    bool start();
    bool isWatching() const { return m_watching; }

    // The devices as last reported, in the lister's order.
    const std::vector<devices::Device>& devices() const { return m_devices; }
    devices::DeviceLister& lister() { return *m_lister; }

signals:
    void deviceAdded(const devices::Device& device);
    void deviceRemoved(const devices::Device& device);
    void deviceChanged(const devices::Device& device);

private:
    enum class Report { Added, Removed, Changed };
    // Takes the lister's reports on its thread and carries them over.
    class Relay final : public devices::DeviceListener {
    public:
        explicit Relay(DeviceWatch& watch) : m_watch(watch) {}
        void deviceAdded(const devices::Device& device) override { m_watch.carryOver(Report::Added, device); }
        void deviceRemoved(const devices::Device& device) override { m_watch.carryOver(Report::Removed, device); }
        void deviceChanged(const devices::Device& device) override { m_watch.carryOver(Report::Changed, device); }

    private:
        DeviceWatch& m_watch;
    };
    void carryOver(Report report, const devices::Device& device);
    void apply(Report report, const devices::Device& device);

    Relay m_relay{*this};
    std::unique_ptr<devices::DeviceLister> m_lister;
    std::vector<devices::Device> m_devices;
    bool m_watching = false;
};

}  // namespace tracklift
