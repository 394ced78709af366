#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sonarchive {
struct TrackInfo;
}

namespace trackcopy {

// What a copy carries of the database.
enum class TagMode {
    Fill,      // add what the file lacks; never change a value it has
    Database,  // the database's values replace the file's
    None,      // the device file byte for byte
};

// "fill", "db", "none", as the command line names them.
std::string_view tagModeName(TagMode mode);
std::optional<TagMode> tagModeNamed(std::string_view name);

// What the database knows of a track, as it is written into its copy. Numbers
// are 0 when unknown; an empty text or a 0 is no value.
struct TrackTags {
    std::u16string title, artist, album, genre, composer, comment;
    int year = 0;
    int track = 0, trackCount = 0, disc = 0, discCount = 0;
    int rating = 0;     // 0-100, 20 per star; 0 unrated
    int playCount = 0;  // the device's plays, its notes since the last sync included

    // A track's values as the library hands them out; impossible numbers (a
    // negative count, a rating past 100) are made sound.
    static TrackTags of(const sonarchive::TrackInfo& info);

    // Changes whenever one of the values does (FNV-1a over all of them).
    std::uint64_t fingerprint() const;

    friend bool operator==(const TrackTags&, const TrackTags&) = default;
};

// The rating as FMPS_Rating holds it: stars / 5 as text, "0.8" for four stars.
std::string fmpsRating(int rating);

// The rating on the 0-255 scale of the popularimeter frame most players read:
// 1 star 1, 2 stars 64, 3 stars 128, 4 stars 196, 5 stars 255 (a half star
// counts up); 0 unrated.
int popularimeterRating(int rating);

}  // namespace trackcopy
