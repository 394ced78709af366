#pragma once

#include "Device.h"

#include <sdbus-c++/Types.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace devices {

// The names of the disk service on the system bus.
namespace udisks2 {
inline constexpr const char* kService = "org.freedesktop.UDisks2";
inline constexpr const char* kManagerObject = "/org/freedesktop/UDisks2";
inline constexpr const char* kDrive = "org.freedesktop.UDisks2.Drive";
inline constexpr const char* kBlock = "org.freedesktop.UDisks2.Block";
inline constexpr const char* kFilesystem = "org.freedesktop.UDisks2.Filesystem";
inline constexpr const char* kObjectManager = "org.freedesktop.DBus.ObjectManager";
inline constexpr const char* kProperties = "org.freedesktop.DBus.Properties";
}  // namespace udisks2

using PropertyMap = std::map<std::string, sdbus::Variant>;
using InterfaceMap = std::map<std::string, PropertyMap>;
using ManagedObjects = std::map<sdbus::ObjectPath, InterfaceMap>;

// The properties of a drive and of a block device that finding iPods needs.
struct DriveProperties {
    std::string vendor, model, connectionBus, id, serial;
    std::uint64_t size = 0;
    bool canPowerOff = false;
    bool ejectable = false;
};

struct BlockProperties {
    std::string device;  // "/dev/sdb2"
    std::string drive;   // the drive's object; "/" for none
    std::string idUsage, idType, idLabel;
    std::uint64_t size = 0;
    bool readOnly = false;
    bool hasBlock = false;       // the Block interface is there
    bool hasFilesystem = false;  // so is the Filesystem interface
    std::vector<std::string> mountPoints;
};

// The service's drives and block devices as its object manager reports them,
// kept up to date from its signals. Properties of an unexpected type count as
// absent.
class ObjectTable {
public:
    void add(const std::string& path, const InterfaceMap& interfaces);
    void remove(const std::string& path, const std::vector<std::string>& interfaces);
    void change(const std::string& path, const std::string& interface, const PropertyMap& changed);
    void replace(const ManagedObjects& objects);

    const std::map<std::string, DriveProperties>& drives() const { return m_drives; }
    const std::map<std::string, BlockProperties>& blocks() const { return m_blocks; }

private:
    std::map<std::string, DriveProperties> m_drives;
    std::map<std::string, BlockProperties> m_blocks;
};

// An iPod is a drive whose vendor is "Apple" and whose model starts with "iPod".
bool isiPodDrive(const DriveProperties& drive);

// The iPods' file systems (blocks used as "filesystem" on an iPod drive), in
// object path order.
std::vector<Device> iPodsOf(const ObjectTable& table);

// The drive's caption as the system shows disks: vendor and model, then
// " USB Device" for a disk on USB.
std::string driveCaption(const DriveProperties& drive);

}  // namespace devices
