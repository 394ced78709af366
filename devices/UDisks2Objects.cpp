#include "UDisks2Objects.h"

#include "Blanks.h"

namespace devices {

using sonarchive::trimmedBlanks;

namespace {

template <class T>
void read(const PropertyMap& properties, const char* name, T& value)
{
    const auto found = properties.find(name);
    if (found != properties.end() && found->second.containsValueOfType<T>())
        value = found->second.get<T>();
}

// Byte strings of the service end with a NUL that is no part of the text.
std::string byteText(const std::vector<std::uint8_t>& bytes)
{
    std::string text(bytes.begin(), bytes.end());
    if (const auto nul = text.find('\0'); nul != std::string::npos)
        text.resize(nul);
    return text;
}

void readBytes(const PropertyMap& properties, const char* name, std::string& value)
{
    std::vector<std::uint8_t> bytes;
    if (properties.contains(name)) {
        read(properties, name, bytes);
        value = byteText(bytes);
    }
}

void readDrive(const PropertyMap& p, DriveProperties& drive)
{
    read(p, "Vendor", drive.vendor);
    read(p, "Model", drive.model);
    read(p, "ConnectionBus", drive.connectionBus);
    read(p, "Id", drive.id);
    read(p, "Serial", drive.serial);
    read(p, "Size", drive.size);
    read(p, "CanPowerOff", drive.canPowerOff);
    read(p, "Ejectable", drive.ejectable);
}

void readBlock(const PropertyMap& p, BlockProperties& block)
{
    readBytes(p, "Device", block.device);
    if (const auto drive = p.find("Drive"); drive != p.end() && drive->second.containsValueOfType<sdbus::ObjectPath>())
        block.drive = drive->second.get<sdbus::ObjectPath>();
    read(p, "IdUsage", block.idUsage);
    read(p, "IdType", block.idType);
    read(p, "IdLabel", block.idLabel);
    read(p, "Size", block.size);
    read(p, "ReadOnly", block.readOnly);
}

void readFilesystem(const PropertyMap& p, BlockProperties& block)
{
    const auto found = p.find("MountPoints");
    if (found == p.end() || !found->second.containsValueOfType<std::vector<std::vector<std::uint8_t>>>())
        return;
    block.mountPoints.clear();
    for (const auto& point : found->second.get<std::vector<std::vector<std::uint8_t>>>())
        block.mountPoints.push_back(byteText(point));
}

// The drive's own identity (kept when it is plugged in again, unlike its object
// path) and the partition's number.
std::string identityOf(const DriveProperties& drive, const BlockProperties& block, const std::string& drivePath)
{
    const std::string& id = !drive.id.empty() ? drive.id : !drive.serial.empty() ? drive.serial : drivePath;
    std::size_t digits = block.device.size();
    while (digits > 0 && block.device[digits - 1] >= '0' && block.device[digits - 1] <= '9')
        --digits;
    return id + "#" + block.device.substr(digits);
}

}  // namespace

void ObjectTable::add(const std::string& path, const InterfaceMap& interfaces)
{
    for (const auto& [name, properties] : interfaces) {
        if (name == udisks2::kDrive) {
            readDrive(properties, m_drives[path]);
        } else if (name == udisks2::kBlock) {
            BlockProperties& block = m_blocks[path];
            block.hasBlock = true;
            readBlock(properties, block);
        } else if (name == udisks2::kFilesystem) {
            BlockProperties& block = m_blocks[path];
            block.hasFilesystem = true;
            readFilesystem(properties, block);
        }
    }
}

void ObjectTable::remove(const std::string& path, const std::vector<std::string>& interfaces)
{
    for (const std::string& name : interfaces) {
        if (name == udisks2::kDrive) {
            m_drives.erase(path);
        } else if (name == udisks2::kBlock) {
            m_blocks.erase(path);
        } else if (name == udisks2::kFilesystem) {
            if (const auto block = m_blocks.find(path); block != m_blocks.end()) {
                block->second.hasFilesystem = false;
                block->second.mountPoints.clear();
            }
        }
    }
}

void ObjectTable::change(const std::string& path, const std::string& interface, const PropertyMap& changed)
{
    if (interface == udisks2::kDrive) {
        if (const auto drive = m_drives.find(path); drive != m_drives.end())
            readDrive(changed, drive->second);
    } else if (const auto block = m_blocks.find(path); block != m_blocks.end()) {
        if (interface == udisks2::kBlock)
            readBlock(changed, block->second);
        else if (interface == udisks2::kFilesystem)
            readFilesystem(changed, block->second);
    }
}

void ObjectTable::replace(const ManagedObjects& objects)
{
    m_drives.clear();
    m_blocks.clear();
    for (const auto& [path, interfaces] : objects)
        add(path, interfaces);
}

bool isiPodDrive(const DriveProperties& drive)
{
    return trimmedBlanks(drive.vendor) == "Apple" && trimmedBlanks(drive.model).starts_with("iPod");
}

std::string driveCaption(const DriveProperties& drive)
{
    std::string caption = trimmedBlanks(drive.vendor);
    const std::string model = trimmedBlanks(drive.model);
    if (!model.empty())
        caption += (caption.empty() ? "" : " ") + model;
    if (drive.connectionBus == "usb")
        caption += " USB Device";
    return caption;
}

std::vector<Device> iPodsOf(const ObjectTable& table)
{
    std::vector<Device> found;
    for (const auto& [path, block] : table.blocks()) {
        if (!block.hasBlock || !block.hasFilesystem || block.idUsage != "filesystem")
            continue;
        const auto drive = table.drives().find(block.drive);
        if (drive == table.drives().end() || !isiPodDrive(drive->second))
            continue;
        Device device;
        device.source = DeviceSource::UDisks;
        device.name = driveCaption(drive->second);
        device.label = block.idLabel;
        device.deviceFile = block.device;
        device.size = block.size;
        device.fileSystemType = block.idType;
        device.mountPoint = block.mountPoints.empty() ? std::string() : block.mountPoints.front();
        device.readOnly = block.readOnly;
        device.canPowerOff = drive->second.canPowerOff;
        device.identity = identityOf(drive->second, block, drive->first);
        device.blockObject = path;
        device.driveObject = drive->first;
        found.push_back(std::move(device));
    }
    return found;
}

}  // namespace devices
