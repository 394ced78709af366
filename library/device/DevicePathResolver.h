#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>

namespace sonarchive {

// Device folder names may differ in letter case from what the database says
// (a device tree copied to a case-sensitive file system). When a path below the
// drive root is missing as written, each element is matched case-insensitively.
// Folder listings are cached until clear(), so resolving the locations of a
// whole database costs one listing per folder rather than a lookup per file.
class DevicePathResolver {
public:
    DevicePathResolver();
    ~DevicePathResolver();

    // `root` is the drive root; `relative` uses "/" between elements. Elements
    // that exist are spelled as the device spells them; from the first missing
    // one on, the path is as written.
    std::filesystem::path resolve(const std::filesystem::path& root, const std::string& relative);
    // The same as text, for the many locations of a database.
    std::string resolveText(const std::string& root, const std::string& relative);
    void clear();

private:
    struct Listing;
    const Listing* listing(const std::string& folder);
    const std::string& resolveFolder(const std::string& root, const std::string& relative);

    std::unordered_map<std::string, std::unique_ptr<Listing>> m_listings;
    std::unordered_map<std::string, std::string> m_folders;  // root, NUL, relative folder -> resolved folder
};

// Drive root + relative text joined with "/", runs of separators collapsed.
std::string joinDevicePath(const std::string& root, const std::string& relative);

}  // namespace sonarchive
