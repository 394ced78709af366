#include "MountTable.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <system_error>

namespace fs = std::filesystem;

namespace devices {

namespace {

// A mount table of this size is far beyond any real system.
constexpr std::uintmax_t kMaxMountTableSize = 64u * 1024u * 1024u;

// "\040" and the other three-digit octal escapes of the table, decoded.
std::string decoded(const std::string& field)
{
    const auto octal = [](char c) { return c >= '0' && c <= '7'; };
    std::string text;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && octal(field[i + 1]) && octal(field[i + 2]) && octal(field[i + 3])) {
            text += static_cast<char>(((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0')) & 0xff);
            i += 3;
        } else {
            text += field[i];
        }
    }
    return text;
}

bool hasOption(const std::string& options, const std::string& option)
{
    std::istringstream in(options);
    for (std::string item; std::getline(in, item, ',');)
        if (item == option)
            return true;
    return false;
}

// A line of mountinfo:
//   36 35 98:0 /mnt1 /mnt2 rw,noatime master:1 - ext3 /dev/root rw,errors=continue
// the mount point (5), the mount's options (6), optional fields ended by "-",
// then the type, the source and the file system's options.
std::optional<MountEntry> parseLine(const std::string& line)
{
    std::istringstream in(line);
    std::vector<std::string> fields;
    for (std::string field; in >> field;)
        fields.push_back(field);
    if (fields.size() < 10)
        return std::nullopt;
    std::size_t separator = 6;
    while (separator < fields.size() && fields[separator] != "-")
        ++separator;
    if (fields.size() - separator < 4)
        return std::nullopt;
    MountEntry entry;
    entry.mountPoint = decoded(fields[4]);
    entry.fileSystemType = fields[separator + 1];
    entry.source = decoded(fields[separator + 2]);
    entry.readOnly = hasOption(fields[5], "ro") || hasOption(fields[separator + 3], "ro");
    return entry;
}

bool contains(const std::string& mountPoint, const std::string& path)
{
    if (mountPoint == "/")
        return path.starts_with('/');
    return path == mountPoint || (path.starts_with(mountPoint) && path[mountPoint.size()] == '/');
}

}  // namespace

std::vector<MountEntry> readMountTable(const fs::path& mountInfo)
{
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(mountInfo, ec);
    std::ifstream in(mountInfo, std::ios::binary);
    std::vector<MountEntry> table;
    if (!in || (!ec && size > kMaxMountTableSize))
        return table;
    for (std::string line; std::getline(in, line);)
        if (auto entry = parseLine(line))
            table.push_back(std::move(*entry));
    return table;
}

std::vector<MountEntry> readMountTable()
{
    const char* mountInfo = std::getenv("SONARCHIVE_MOUNTINFO");
    return readMountTable(mountInfo && *mountInfo ? fs::path(mountInfo) : fs::path("/proc/self/mountinfo"));
}

std::optional<MountEntry> mountHolding(const std::vector<MountEntry>& table, const fs::path& path)
{
    std::error_code ec;
    fs::path real = fs::weakly_canonical(fs::absolute(path, ec), ec);
    std::string text = (ec ? path : real).lexically_normal().string();
    while (text.size() > 1 && text.back() == '/')
        text.pop_back();
    std::optional<MountEntry> best;
    for (const MountEntry& entry : table)
        if (contains(entry.mountPoint, text) && (!best || entry.mountPoint.size() >= best->mountPoint.size()))
            best = entry;
    return best;
}

}  // namespace devices
