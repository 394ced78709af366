#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace sonarchive {
struct TrackInfo;
}

namespace trackcopy {

// What a name pattern may use of a track. Number fields hold 0 when unknown.
struct TrackNameFields {
    std::u16string title, artist, album, genre, composer, type;
    std::int32_t year = 0, id = 0, track = 0, disc = 0;
    std::int32_t rating = 0, plays = 0;  // stars (0-5) and the play count, as the device shows them
    std::u16string playlist;  // with a playlist chosen: its name, and
    std::int32_t index = 0;   // the track's position in it, from 1

    // The fields of a track as the library describes it.
    static TrackNameFields of(const sonarchive::TrackInfo& info);
};

// A pattern such as "{artist}/{album}/{track:02} {title}": "/" separates
// folders; each {field} is replaced by the track's value cleaned like a title,
// and a number field may ask for a width it is padded to with zeros
// ({track:02}). An empty field reads "Unknown" in a folder; in the file name it
// is left out with the separator beside it, so an empty artist never leaves
// " - Title". The source's extension is added to the file name, and every
// element is shortened to fit the file-name limit.
class TrackNamePattern {
public:
    // Nothing when the pattern names an unknown field or has no element; `error` says why.
    static std::optional<TrackNamePattern> parse(const std::string& pattern, std::string& error);

    // The relative path for one track.
    std::filesystem::path path(const TrackNameFields& fields, const std::u16string& extension) const;

    // Whether the pattern uses {playlist} or {index}.
    bool usesPlaylist() const;

    static const std::vector<std::string>& fieldNames();

private:
    struct Part {
        bool isField = false;
        std::string text;  // literal UTF-8 text, or the field's name
        int width = 0;     // a number field's zero-padded width
    };
    static std::u16string fieldValue(const Part& part, const TrackNameFields& fields);
    // One element of the path: its parts' texts, fields cleaned; the last one is the file name.
    static std::string elementText(const std::vector<Part>& parts, const TrackNameFields& fields, bool last);
    std::vector<std::vector<Part>> m_elements;
};

}  // namespace trackcopy
