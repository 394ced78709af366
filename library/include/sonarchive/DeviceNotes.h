#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sonarchive {

// What the device recorded since its last sync. The device does not change its
// database when it plays; it keeps these notes in files beside it, in
// iPod_Control/iTunes, until the next sync folds them in.

// One entry of "Play Counts", for the track at the same place in the track list.
// Fields the file's entry size does not hold stay 0.
struct PlayCountEntry {
    std::uint32_t plays = 0;        // +0: plays since the sync
    std::uint32_t lastPlayed = 0;   // +4: device clock (seconds since 1904), 0 none
    std::uint32_t bookmarkMs = 0;   // +8: where playback resumes
    std::uint32_t rating = 0;       // +12: 0-100, 20 per star
    std::uint32_t unknown16 = 0;    // +16: kept
    std::uint32_t skips = 0;        // +20: skips since the sync
    std::uint32_t lastSkipped = 0;  // +24: device clock, 0 none

    friend bool operator==(const PlayCountEntry&, const PlayCountEntry&) = default;
};

// The "Play Counts" file: magic "mhdp", header size, entry size, entry count,
// then the entries from the header size on.
struct PlayCountsFile {
    std::int32_t headerSize = 0;
    std::int32_t entrySize = 0;
    std::int32_t entryCount = 0;
    std::vector<PlayCountEntry> entries;

    // Entry sizes 12, 16, 20 and 28 occur: each field is held when the entry reaches past it.
    bool holds(std::int32_t fieldOffset) const { return entrySize >= fieldOffset + 4; }
    bool holdsRating() const { return holds(12); }
    bool holdsSkips() const { return holds(20); }
};

// One On-The-Go playlist made on the device ("OTGPlaylistInfo", then
// "OTGPlaylistInfo_1", ...): magic "mhpo", header size, entry size, entry count,
// then one zero-based index into the track list per entry, in play order.
struct OnTheGoFile {
    std::string fileName;    // as the device spells it
    std::int32_t number = 0; // its place among the files, from 1: "On-The-Go <number>"
    std::int32_t headerSize = 0;
    std::int32_t entrySize = 0;
    std::int32_t entryCount = 0;
    std::vector<std::uint32_t> trackIndices;
};

struct DeviceNotes {
    std::optional<PlayCountsFile> playCounts;  // none when there is no usable file
    std::vector<OnTheGoFile> onTheGo;           // in file order: "On-The-Go 1" first
};

}  // namespace sonarchive
