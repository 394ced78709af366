#include "DevicePathResolver.h"

#include <algorithm>
#include <system_error>

namespace sonarchive {

namespace fs = std::filesystem;

namespace {

bool equalsIgnoringCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
               return lower(x) == lower(y);
           });
}

std::vector<std::string> splitElements(const std::string& relative)
{
    std::vector<std::string> out;
    std::string current;
    for (char c : relative) {
        if (c == '/') {
            if (!current.empty())
                out.push_back(std::move(current));
            current.clear();
        } else {
            current.push_back(c);
        }
    }
    if (!current.empty())
        out.push_back(std::move(current));
    return out;
}

}  // namespace

std::string joinDevicePath(const std::string& root, const std::string& relative)
{
    std::string joined = root + relative;
    std::string out;
    out.reserve(joined.size());
    for (char c : joined) {
        if (c == '/' && !out.empty() && out.back() == '/')
            continue;
        out.push_back(c);
    }
    return out;
}

const std::vector<std::string>* DevicePathResolver::listing(const fs::path& folder)
{
    auto [it, inserted] = m_listings.try_emplace(folder.string());
    if (inserted) {
        std::error_code ec;
        fs::directory_iterator entries(folder, ec);
        if (!ec) {
            std::vector<std::string> names;
            for (const auto& entry : entries)
                names.push_back(entry.path().filename().string());
            it->second = std::move(names);
        }
    }
    return it->second ? &*it->second : nullptr;
}

fs::path DevicePathResolver::resolve(const fs::path& root, const std::string& relative)
{
    const fs::path exact = joinDevicePath(root.string(), relative);
    std::error_code ec;
    if (fs::exists(exact, ec))
        return exact;

    const auto elements = splitElements(relative);
    fs::path current = root;
    for (std::size_t i = 0; i < elements.size(); ++i) {
        const std::vector<std::string>* names = listing(current);
        const std::string* match = nullptr;
        if (names) {
            for (const auto& name : *names) {
                if (name == elements[i]) {
                    match = &name;
                    break;
                }
                if (!match && equalsIgnoringCase(name, elements[i]))
                    match = &name;
            }
        }
        if (!match)
            return exact;
        current /= *match;
    }
    return current;
}

}  // namespace sonarchive
