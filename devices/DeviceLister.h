#pragma once

#include "Device.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace devices {

// What went wrong with a device or with the service that reports it.
class DeviceError : public std::runtime_error {
public:
    enum class Kind {
        Unavailable,    // the backend can't be asked (no system bus, no disk service)
        Unsupported,    // this backend can't do that
        Busy,           // a file system is still in use
        NotAuthorized,  // the system's policy refused
        Failed,
    };
    DeviceError(Kind kind, const std::string& message) : std::runtime_error(message), m_kind(kind) {}
    Kind kind() const { return m_kind; }

private:
    Kind m_kind;
};

// Told of devices coming and going. Called from the lister's own thread.
class DeviceListener {
public:
    virtual ~DeviceListener() = default;
    virtual void deviceAdded(const Device& device) = 0;
    virtual void deviceRemoved(const Device& device) = 0;  // as it was last seen
    virtual void deviceChanged(const Device& device) = 0;  // mounted, unmounted
};

// What ejecting did.
struct EjectResult {
    std::vector<std::string> unmounted;  // the mount points given up
    bool poweredOff = false;             // else the drive was ejected (or had neither)
};

// One backend that finds iPods. Each way of finding devices is a lister of its
// own; a new backend is a new lister, nothing else changes.
class DeviceLister {
public:
    virtual ~DeviceLister() = default;

    virtual DeviceSource source() const = 0;
    // The iPods the backend sees now. Throws DeviceError (Unavailable) when it
    // can't be asked.
    virtual std::vector<Device> devices() = 0;
    // Mounts the device's file system and returns its mount point.
    virtual std::string mount(const Device& device) = 0;
    // Unmounts every mounted file system of the device's drive, then powers the
    // drive off when it can be (else ejects it), so that it shows it may be
    // unplugged. Nothing is forced: a file system in use stops it (Busy).
    virtual EjectResult eject(const Device& device) = 0;
    // Starts telling `listener` of devices added, removed and changed (the
    // devices present first, as added); nullptr stops, and returns once no call
    // is under way. False when the backend can't watch.
    virtual bool watch(DeviceListener* listener) = 0;
};

}  // namespace devices
