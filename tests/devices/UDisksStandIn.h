#pragma once

#include "TempDir.h"

#include <filesystem>
#include <string>
#include <sys/types.h>
#include <vector>

namespace testsupport {

// A private system bus with a stand-in for the desktop's disk service on it:
// python-dbusmock serving the objects of udisks2_standin.py (an iPod with an
// unmounted FAT file system, a USB stick, an iPod formatted for Mac). While it
// lives, DBUS_SYSTEM_BUS_ADDRESS names its bus, for this process and the
// programs it starts.
class UDisksStandIn {
public:
    // Why the stand-in can't run on this machine (no dbus-daemon, no
    // python3-dbusmock); empty when it can.
    static std::string missingParts();

    // `plugged`: the disks present at the start: "ipod", "stick", "mac-ipod".
    explicit UDisksStandIn(const std::vector<std::string>& plugged);
    ~UDisksStandIn();
    UDisksStandIn(const UDisksStandIn&) = delete;
    UDisksStandIn& operator=(const UDisksStandIn&) = delete;

    bool isRunning() const { return m_failure.empty(); }
    const std::string& failure() const { return m_failure; }  // why it did not start

    // Where the disks' file systems are mounted: <mount root>/<label>.
    std::filesystem::path mountFolder(const std::string& label) const { return m_dir.path() / "media" / label; }
    // Every Mount, Unmount, PowerOff and Eject the service was asked for, in
    // order, as "<method> <object path>".
    std::vector<std::string> journal() const;

    // Hot-plug and the service's state, as the tests need them.
    void plug(const std::string& disk);
    void unplug(const std::string& disk);
    void setBusy(const std::string& disk, bool busy);
    void setSlow(const std::string& disk, double seconds);  // its mount, unmount and power-off take that long
    void mountQuietly(const std::string& disk);  // as the desktop's automounter would

    static std::string blockObject(const std::string& device) { return "/org/freedesktop/UDisks2/block_devices/" + device; }
    static std::string driveObject(const std::string& drive) { return "/org/freedesktop/UDisks2/drives/" + drive; }
    static constexpr const char* kIpodDrive = "Apple_iPod_000A27001B3C9D2F";
    static constexpr const char* kMacIpodDrive = "Apple_iPod_000A2700ABCDEF01";

private:
    bool startBus();
    bool startService(const std::vector<std::string>& plugged);
    bool waitForService();
    void control(const std::string& method, const std::string& disk);

    TempDir m_dir;
    pid_t m_bus = -1;
    pid_t m_service = -1;
    std::string m_address;
    std::string m_failure;
    bool m_hadAddress = false;
    std::string m_savedAddress;
};

// A system without a bus while it lives: DBUS_SYSTEM_BUS_ADDRESS names a socket
// nobody listens on.
class NoSystemBus {
public:
    NoSystemBus();
    ~NoSystemBus();
    NoSystemBus(const NoSystemBus&) = delete;
    NoSystemBus& operator=(const NoSystemBus&) = delete;

private:
    TempDir m_dir;
    bool m_hadAddress = false;
    std::string m_savedAddress;
};

}  // namespace testsupport
