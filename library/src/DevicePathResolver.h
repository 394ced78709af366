#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace sonarchive {

// Device folder names may differ in letter case from what the database says
// (a device tree copied to a case-sensitive file system). When a path below the
// drive root is missing as written, each element is matched case-insensitively.
// Folder listings are cached until clear().
class DevicePathResolver {
public:
    // `root` is the drive root; `relative` uses "/" between elements.
    std::filesystem::path resolve(const std::filesystem::path& root, const std::string& relative);
    void clear() { m_listings.clear(); }

private:
    const std::vector<std::string>* listing(const std::filesystem::path& folder);
    std::map<std::string, std::optional<std::vector<std::string>>> m_listings;
};

// Drive root + relative text joined with "/", runs of separators collapsed.
std::string joinDevicePath(const std::string& root, const std::string& relative);

}  // namespace sonarchive
