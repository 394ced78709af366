#include "DevicePathResolver.h"

#include "AsciiCase.h"

#include <system_error>
#include <unordered_set>

namespace sonarchive {

namespace fs = std::filesystem;

struct DevicePathResolver::Listing {
    bool exists = false;
    std::unordered_set<std::string> names;
    std::unordered_map<std::string, std::string> byLowerCase;  // first name for each spelling

    const std::string* find(const std::string& name) const;
};

const std::string* DevicePathResolver::Listing::find(const std::string& name) const
{
    if (const auto exact = names.find(name); exact != names.end())
        return &*exact;
    const auto folded = byLowerCase.find(lowerAscii(name));
    return folded == byLowerCase.end() ? nullptr : &folded->second;
}

DevicePathResolver::DevicePathResolver() = default;
DevicePathResolver::~DevicePathResolver() = default;

void DevicePathResolver::clear()
{
    m_listings.clear();
    m_folders.clear();
}

std::string joinDevicePath(const std::string& root, const std::string& relative)
{
    const std::string joined = root + relative;
    std::string out;
    out.reserve(joined.size());
    for (char c : joined) {
        if (c == '/' && !out.empty() && out.back() == '/')
            continue;
        out.push_back(c);
    }
    return out;
}

const DevicePathResolver::Listing* DevicePathResolver::listing(const std::string& folder)
{
    auto [it, inserted] = m_listings.try_emplace(folder);
    if (inserted) {
        it->second = std::make_unique<Listing>();
        std::error_code ec;
        fs::directory_iterator entries(folder.empty() ? fs::path(".") : fs::path(folder), ec);
        if (!ec) {
            it->second->exists = true;
            for (const auto& entry : entries) {
                std::string name = entry.path().filename().string();
                it->second->byLowerCase.try_emplace(lowerAscii(name), name);
                it->second->names.insert(std::move(name));
            }
        }
    }
    return it->second->exists ? it->second.get() : nullptr;
}

namespace {

// `folder` + "/" + `element`, as a path join would put them.
void appendElement(std::string& folder, const std::string& element)
{
    if (!folder.empty() && folder.back() != '/')
        folder.push_back('/');
    folder += element;
}

}  // namespace

const std::string& DevicePathResolver::resolveFolder(const std::string& root, const std::string& relative)
{
    auto [it, inserted] = m_folders.try_emplace(root + '\0' + relative);
    if (!inserted)
        return it->second;
    // Each element as the folder above it spells it; from the first one that is
    // not there, the rest as written (folders still to be made).
    std::string current = root;
    bool found = true;
    std::size_t start = 0;
    while (start <= relative.size()) {
        std::size_t end = relative.find('/', start);
        if (end == std::string::npos)
            end = relative.size();
        if (end > start) {
            const std::string element = relative.substr(start, end - start);
            const Listing* names = found ? listing(current) : nullptr;
            const std::string* match = names ? names->find(element) : nullptr;
            found = match != nullptr;
            appendElement(current, match ? *match : element);
        }
        start = end + 1;
    }
    return it->second = std::move(current);
}

std::string DevicePathResolver::resolveText(const std::string& root, const std::string& relative)
{
    const std::size_t slash = relative.rfind('/');
    const std::string name = slash == std::string::npos ? relative : relative.substr(slash + 1);
    if (name.empty())
        return joinDevicePath(root, relative);
    std::string path = resolveFolder(root, slash == std::string::npos ? std::string() : relative.substr(0, slash));
    const Listing* names = listing(path);
    const std::string* match = names ? names->find(name) : nullptr;
    appendElement(path, match ? *match : name);
    return path;
}

fs::path DevicePathResolver::resolve(const fs::path& root, const std::string& relative)
{
    return resolveText(root.string(), relative);
}

}  // namespace sonarchive
