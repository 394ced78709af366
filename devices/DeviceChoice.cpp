#include "DeviceChoice.h"

#include "DeviceLister.h"

#include <algorithm>
#include <system_error>

namespace fs = std::filesystem;

namespace devices {

namespace {

// The path made absolute, its links followed as far as it exists, without a trailing "/".
std::string comparable(const fs::path& path)
{
    std::error_code ec;
    const fs::path absolute = fs::absolute(path, ec);
    const fs::path real = fs::weakly_canonical(ec ? path : absolute, ec);
    std::string text = (ec ? path : real).lexically_normal().string();
    while (text.size() > 1 && text.back() == '/')
        text.pop_back();
    return text;
}

std::string lowerAscii(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// The entry of `folder` named `name` in any letter case; empty when there is none.
fs::path childNoCase(const fs::path& folder, const std::string& name)
{
    std::error_code ec;
    if (fs::is_directory(folder / name, ec))
        return folder / name;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (lowerAscii(it->path().filename().string()) == lowerAscii(name) && it->is_directory(ec))
            return it->path();
    return {};
}

}  // namespace

std::optional<Device> chooseiPod(DeviceLister& lister, bool mount)
{
    return chooseiPod(lister.devices(), mount ? &lister : nullptr);
}

std::optional<Device> chooseiPod(const std::vector<Device>& found, DeviceLister* mountWith)
{
    const auto last = [&](auto&& test) {
        const auto it = std::find_if(found.rbegin(), found.rend(), test);
        return it == found.rend() ? std::optional<Device>() : std::optional<Device>(*it);
    };
    if (auto ready = last([](const Device& d) { return d.isMounted() && hasDatabaseFolder(d.mountPoint); }))
        return ready;
    if (mountWith) {
        if (auto device = last([](const Device& d) { return !d.isMounted(); })) {
            device->mountPoint = mountWith->mount(*device);
            return device;
        }
    }
    if (auto mounted = last([](const Device& d) { return d.isMounted(); }))
        return mounted;
    return last([](const Device&) { return true; });
}

const Device* deviceHolding(const std::vector<Device>& devices, const fs::path& path)
{
    const std::string target = comparable(path);
    const Device* best = nullptr;
    std::size_t bestLength = 0;
    for (const Device& device : devices) {
        if (!device.isMounted())
            continue;
        const std::string point = comparable(device.mountPoint);
        const bool holds = target == point || (target.starts_with(point) && (point == "/" || target[point.size()] == '/'));
        if (holds && (!best || point.size() > bestLength)) {
            best = &device;
            bestLength = point.size();
        }
    }
    return best;
}

bool sameFolder(const fs::path& a, const fs::path& b)
{
    return comparable(a) == comparable(b);
}

bool hasDatabaseFolder(const fs::path& root)
{
    const fs::path control = childNoCase(root, "iPod_Control");
    return !control.empty() && !childNoCase(control, "iTunes").empty();
}

}  // namespace devices
