#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace trackcopy {

// What a name pattern may use of a track.
struct TrackNameFields {
    std::u16string title, artist, album, genre, composer, year, type;
    std::int32_t id = 0;
};

// A pattern such as "{artist}/{album}/{title}": "/" separates folders, each
// {field} is replaced by the track's value cleaned like a title (an empty artist
// or album reads "Unknown"), the source's extension is added to the last
// element, and every element is shortened to fit the file-name limit.
class TrackNamePattern {
public:
    // Nothing when the pattern names an unknown field or has no element; `error` says why.
    static std::optional<TrackNamePattern> parse(const std::string& pattern, std::string& error);

    // The relative path for one track.
    std::filesystem::path path(const TrackNameFields& fields, const std::u16string& extension) const;

    static const std::vector<std::string>& fieldNames();

private:
    struct Part {
        bool isField = false;
        std::string text;  // literal UTF-8 text, or the field's name
    };
    std::vector<std::vector<Part>> m_elements;
};

}  // namespace trackcopy
