#include "DeviceBackup.h"

#include "AsciiCase.h"

#include <algorithm>
#include <ctime>
#include <thread>

namespace trackcopy {

namespace fs = std::filesystem;

namespace {

constexpr int kListAttempts = 3;  // as many as a read gets on a failing disk
constexpr auto kListPause = std::chrono::milliseconds(250);

// The entries of a folder, tried again when the disk fails to list it.
std::vector<fs::directory_entry> listFolder(const fs::path& folder, std::error_code& ec)
{
    std::vector<fs::directory_entry> entries;
    for (int tried = 1; tried <= kListAttempts; ++tried) {
        entries.clear();
        ec.clear();
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
            entries.push_back(*it);
        if (!ec || ec == std::errc::no_such_file_or_directory)
            break;
        if (tried < kListAttempts)
            std::this_thread::sleep_for(kListPause);
    }
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.path() < b.path(); });
    return entries;
}

// The child of `folder` named `name` in any letter case; empty when there is none.
fs::path childNamed(const fs::path& folder, std::string_view name, std::error_code& ec)
{
    for (const fs::directory_entry& entry : listFolder(folder, ec))
        if (sonarchive::lowerAscii(entry.path().filename().string()) == sonarchive::lowerAscii(std::string(name)))
            return entry.path();
    return {};
}

}  // namespace

fs::path DeviceBackup::folderFor(const fs::path& destination, std::chrono::system_clock::time_point when)
{
    const std::time_t time = std::chrono::system_clock::to_time_t(when);
    std::tm local {};
    ::localtime_r(&time, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H.%M.%S", &local);
    const std::string name = std::string("iPod Backup ") + stamp;
    fs::path folder = destination / name;
    std::error_code ec;
    for (int n = 2; fs::exists(fs::symlink_status(folder, ec)); ++n)
        folder = destination / (name + " (" + std::to_string(n) + ")");
    return folder;
}

DeviceBackup DeviceBackup::plan(const fs::path& deviceRoot, const fs::path& destination, std::chrono::system_clock::time_point when)
{
    DeviceBackup backup;
    backup.m_deviceRoot = deviceRoot;
    backup.m_folder = folderFor(destination, when);
    std::error_code ec;
    const fs::path control = childNamed(deviceRoot, "iPod_Control", ec);
    if (control.empty()) {
        backup.m_problems.push_back(ec ? "the iPod's folders could not be read: " + ec.message()
                                       : "the iPod has no iPod_Control folder at " + deviceRoot.string());
        return backup;
    }
    for (const char* name : {"iTunes", "Device"}) {
        const fs::path folder = childNamed(control, name, ec);
        if (!folder.empty() && std::string_view(name) == "iTunes")
            backup.m_databaseFolder = folder;
        if (!folder.empty())
            backup.addFolder(folder.lexically_relative(deviceRoot));
        else if (ec || std::string_view(name) == "iTunes")
            backup.m_problems.push_back("the iPod has no iPod_Control/" + std::string(name) + " folder" +
                                        (ec ? " that could be read: " + ec.message() : ""));
    }
    return backup;
}

void DeviceBackup::addFolder(const fs::path& relative)
{
    std::error_code ec;
    const std::vector<fs::directory_entry> entries = listFolder(m_deviceRoot / relative, ec);
    if (ec) {
        m_problems.push_back("the folder " + (m_deviceRoot / relative).string() + " could not be read: " + ec.message());
        return;
    }
    for (const fs::directory_entry& entry : entries) {
        const fs::path inside = relative / entry.path().filename();
        if (entry.is_symlink(ec))
            continue;
        if (entry.is_directory(ec))
            addFolder(inside);
        else if (entry.is_regular_file(ec))
            m_items.push_back({entry.path(), m_folder / inside, {}});
    }
}

CopySettings DeviceBackup::settings() const
{
    CopySettings settings;
    settings.deviceRoot = m_deviceRoot;
    settings.readOnly = true;
    return settings;
}

}  // namespace trackcopy
