#include "SysfsLister.h"

#include "MountTable.h"

#include <sonarchive/Sonarchive.h>

#include <sys/statvfs.h>

namespace devices {

namespace {

// Detection without questions: the library's questions are answered No and
// its folder browser is cancelled, so only a drive found outright comes back.
class SilentHost final : public sonarchive::UserInterfaceHost {
public:
    sonarchive::MessageResult messageBox(const std::u16string&, const std::u16string&, sonarchive::MessageButtons buttons,
                                         sonarchive::MessageIcon) override
    {
        return buttons == sonarchive::MessageButtons::OK ? sonarchive::MessageResult::OK : sonarchive::MessageResult::No;
    }
    std::u16string browseForFolder(std::int32_t, const std::u16string&) override { return {}; }
};

std::uint64_t volumeSize(const std::string& folder)
{
    struct statvfs figures {};
    if (statvfs(folder.c_str(), &figures) != 0)
        return 0;
    return static_cast<std::uint64_t>(figures.f_blocks) * figures.f_frsize;
}

DeviceError unsupported(const Device& device, const char* what)
{
    return DeviceError(DeviceError::Kind::Unsupported,
                       "cannot " + std::string(what) + " " + device.name + " without the desktop's disk service (UDisks2)");
}

}  // namespace

std::vector<Device> SysfsLister::devices()
{
    SilentHost host;
    const auto library = sonarchive::createSonarchive();
    library->setUserInterfaceHost(&host);
    std::string root;
    try {
        root = sonarchive::toUtf8(library->GetiPodDriveString(0, u"sonarchive", false));
    } catch (const std::exception& e) {
        throw DeviceError(DeviceError::Kind::Unavailable, std::string("the disks can't be listed: ") + e.what());
    }
    if (root.empty())
        return {};
    Device device;
    device.source = DeviceSource::Sysfs;
    device.name = "Apple iPod USB Device";  // the caption the detection matched
    device.mountPoint = root.size() > 1 && root.back() == '/' ? root.substr(0, root.size() - 1) : root;
    if (const auto mount = mountHolding(readMountTable(), device.mountPoint)) {
        device.fileSystemType = mount->fileSystemType;
        device.deviceFile = mount->source;
    }
    device.size = volumeSize(device.mountPoint);
    device.identity = device.deviceFile.empty() ? device.mountPoint : device.deviceFile;
    return {device};
}

std::string SysfsLister::mount(const Device& device)
{
    throw unsupported(device, "mount");
}

EjectResult SysfsLister::eject(const Device& device)
{
    throw unsupported(device, "eject");
}

bool SysfsLister::watch(DeviceListener*)
{
    return false;
}

}  // namespace devices
