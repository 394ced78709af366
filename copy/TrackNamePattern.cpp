#include "TrackNamePattern.h"

#include "CleanFileName.h"
#include "FileNameFit.h"

#include <sonarchive/ByteText.h>

#include <algorithm>

namespace trackcopy {

const std::vector<std::string>& TrackNamePattern::fieldNames()
{
    static const std::vector<std::string> names = {"title", "artist", "album", "genre", "composer", "year", "type", "id"};
    return names;
}

std::optional<TrackNamePattern> TrackNamePattern::parse(const std::string& pattern, std::string& error)
{
    TrackNamePattern result;
    std::size_t start = 0;
    while (start <= pattern.size()) {
        const std::size_t slash = std::min(pattern.find('/', start), pattern.size());
        const std::string element = pattern.substr(start, slash - start);
        start = slash + 1;
        if (element.empty())
            continue;
        std::vector<Part> parts;
        std::size_t pos = 0;
        while (pos < element.size()) {
            const std::size_t open = element.find('{', pos);
            const std::size_t close = open == std::string::npos ? std::string::npos : element.find('}', open);
            if (close == std::string::npos) {
                parts.push_back({false, element.substr(pos)});
                break;
            }
            if (open > pos)
                parts.push_back({false, element.substr(pos, open - pos)});
            const std::string name = element.substr(open + 1, close - open - 1);
            const auto& names = fieldNames();
            if (std::find(names.begin(), names.end(), name) == names.end()) {
                error = "unknown field {" + name + "} in the name pattern";
                return std::nullopt;
            }
            parts.push_back({true, name});
            pos = close + 1;
        }
        result.m_elements.push_back(std::move(parts));
    }
    if (result.m_elements.empty()) {
        error = "the name pattern is empty";
        return std::nullopt;
    }
    return result;
}

std::filesystem::path TrackNamePattern::path(const TrackNameFields& fields, const std::u16string& extension) const
{
    auto value = [&](const std::string& name) -> std::u16string {
        if (name == "title") return fields.title;
        if (name == "artist") return fields.artist.empty() ? u"Unknown" : fields.artist;
        if (name == "album") return fields.album.empty() ? u"Unknown" : fields.album;
        if (name == "genre") return fields.genre;
        if (name == "composer") return fields.composer;
        if (name == "year") return fields.year;
        if (name == "type") return fields.type;
        const std::string id = std::to_string(fields.id);
        return std::u16string(id.begin(), id.end());
    };
    std::filesystem::path result;
    for (std::size_t i = 0; i < m_elements.size(); ++i) {
        std::string element;
        for (const Part& part : m_elements[i])
            element += part.isField ? sonarchive::toUtf8(CleanFileName(value(part.text))) : part.text;
        // "." and ".." would lead out of the destination folder.
        if (element.find_first_not_of('.') == std::string::npos)
            element = "iPodFile";
        const bool last = i + 1 == m_elements.size();
        if (!last) {
            result /= fitStem(element, "");
            continue;
        }
        std::string suffix = ".";
        suffix += fitStem(sonarchive::toUtf8(extension), "", kMaxFileNameBytes - 1);
        result /= fitStem(element, extension.empty() ? std::string() : suffix) + suffix;
    }
    return result;
}

}  // namespace trackcopy
