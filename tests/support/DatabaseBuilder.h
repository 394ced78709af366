#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace testsupport {

// Builds device database files of any shape for tests, independently of the
// library's own writer. Sizes and counts are computed unless a fixture
// overrides them; `patches` put raw bytes at offsets inside a header.

struct StringFixture {
    std::int32_t type = 1;
    std::u16string text;
    std::int32_t headerSize = 24;
    std::int32_t unk1 = 0, unk2 = 0, position = 1, unk3 = 1, unk4 = 0;
    std::optional<std::int32_t> length;     // default: 2 * text units
    std::optional<std::int32_t> totalSize;  // default: 40 + bytes written
    std::string raw;                        // when set: the whole record's bytes, as they are
};

struct TrackFixture {
    std::int32_t id = 1;
    std::string fileType = "MP3 ";  // readable order; stored reversed
    std::int32_t headerSize = 388;
    std::int32_t trackSize = 0, lengthMs = 0, bitrate = 0, sampleRate = 0, playCount = 0;
    std::int32_t startTime = 0, stopTime = 0;
    std::uint8_t vbr = 0, skipWhenShuffle = 0, rememberPosition = 0, movie = 0;
    std::string year = std::string(4, '\0');
    std::vector<StringFixture> strings;
    std::optional<std::int32_t> stringCount;
    std::optional<std::int32_t> totalSize;
    std::map<std::int32_t, std::string> patches;  // offset in the header -> bytes
    std::uint32_t fillSeed = 0;  // non-zero: undecoded and untouched header bytes get pseudo-random values
};

struct PlaylistFixture {
    std::optional<std::u16string> title = u"Playlist";  // nullopt: no data records at all
    std::uint8_t master = 0;
    std::vector<std::string> extraRecords;  // whole data records after the title
    std::vector<std::int32_t> trackIds;
    std::int32_t headerSize = 108;
    std::int32_t itemHeaderSize = 76;
    std::int32_t itemRecordSize = 44;
    std::optional<std::int32_t> itemChildCount;  // data records of each item (default 1; early devices: 0)
    std::int16_t podcastFlag = 0;
    std::vector<std::string> rawItems;  // whole items (header and records) after those of trackIds
    std::uint32_t fillSeed = 0;
};

struct TrackSection {
    std::vector<TrackFixture> tracks;
    std::int32_t headerSize = 96;
    std::int32_t listHeaderSize = 92;
    std::optional<std::int32_t> trackCount;
};

struct PlaylistSection {
    std::int32_t type = 2;
    std::vector<PlaylistFixture> playlists;
    std::int32_t headerSize = 96;
    std::int32_t listHeaderSize = 92;
};

struct OpaqueSection {
    std::int32_t type = 4;
    std::string content;  // bytes after the 16-byte section header
    std::int32_t headerSize = 96;
};

using SectionFixture = std::variant<TrackSection, PlaylistSection, OpaqueSection>;

struct DatabaseFixture {
    std::int32_t headerSize = 104;
    std::int32_t version = 0x19;
    std::optional<std::int32_t> sectionCount;
    std::vector<SectionFixture> sections;
    std::uint32_t fillSeed = 0;
    std::map<std::int32_t, std::string> patches;  // offset in the header -> bytes
};

std::string buildDatabase(const DatabaseFixture& fixture);

// Writes the database (and the iPod_Control folders) below a drive root.
void installDatabase(const std::filesystem::path& driveRoot, const std::string& bytes);

// Convenience: a track with title, artist, album, genre and a location string.
TrackFixture makeTrack(std::int32_t id, const std::u16string& title, const std::u16string& artist = u"Artist",
                       const std::u16string& album = u"Album", const std::u16string& location = u":iPod_Control:Music:F00:ABCD.mp3");

// A typical database: tracks, a master playlist of all of them, an empty podcast list.
DatabaseFixture typicalDatabase(const std::vector<TrackFixture>& tracks);

// Shapes of databases as real software writes them.

// As the devices' own desktop software holds them: sections 4, 1, 3, 2, 5.
DatabaseFixture deviceShape(const std::vector<TrackFixture>& tracks);

// As other software writes them: sections 1, 3, 2, 4, 8, 6, 10, 5; 584-byte
// track headers full of data past the decoded fields; the master playlist and
// `playlists` more (every third a smart playlist with rule records of kinds 50
// and 51); podcast episodes grouped under header items that name no track; an
// album list of `albumListBytes`.
struct OtherSoftwareShape {
    int playlists = 3;
    std::size_t albumListBytes = 2048;
    int podcastEpisodes = 2;  // the first tracks, in one podcast group
};
DatabaseFixture otherSoftwareShape(std::vector<TrackFixture> tracks, const OtherSoftwareShape& shape = {});

// A large database shaped as other software writes it, as the measurements
// use it: `count` tracks (titles, artists of 500, albums of 3,000, a comment,
// years as devices keep them, every 1,000th a film of 2 GiB and more) in the
// other-software shape with 50 playlists, 20 podcast episodes and an 8.6 MB
// album list. 40,000 tracks make about 76 MB.
DatabaseFixture largeDatabase(int count);

// As early devices hold them: 156-byte track headers for odd ids and 160-byte
// ones for even ids, playlist items without data records (child count 0, total
// size 76) in the master playlist and in "Favourites" (the odd ids), only
// sections 1 and 2.
DatabaseFixture earlyDeviceShape(std::vector<TrackFixture> tracks);

// Makes the header name signature scheme `scheme` at offset 48, with signature
// bytes at 88-107 and 114-159 (the header grows to 244 bytes if it is smaller).
void signHeader(DatabaseFixture& db, std::int16_t scheme = 2);

// Playlist items of podcasts: a group header that names no track (its data
// record is the group's title), and an episode in a group.
std::string podcastGroupItem(std::int32_t groupId, const std::u16string& title);
std::string podcastEpisodeItem(std::int32_t trackId, std::int32_t groupId, std::int32_t position);

// A playlist data record of another kind (smart rules: 50, 51), held whole.
std::string playlistDataRecord(std::int32_t type, std::size_t size);

// The four bytes of a year as devices keep it: 1999 -> CF 07 00 00.
std::string yearBytes(std::int32_t year);

// A number as text: 42 -> u"42".
std::u16string fromNumber(std::int64_t value);

// The files beside the database in which the device notes what was played
// since the last sync. A Play Counts entry holds the fields in this order; an
// entry size of 12, 16, 20 or 28 bytes keeps the first 3, 4, 5 or 7 of them.
struct PlayCountFixture {
    std::uint32_t plays = 0, lastPlayed = 0, bookmarkMs = 0, rating = 0, unknown16 = 0, skips = 0, lastSkipped = 0;
};
std::string playCountsFile(std::int32_t entrySize, const std::vector<PlayCountFixture>& entries, std::int32_t headerSize = 0x60);
// An On-The-Go list: zero-based places in the track list, in play order.
std::string onTheGoFile(const std::vector<std::uint32_t>& trackIndices, std::int32_t headerSize = 0x14);
// Writes a file beside the database, in iPod_Control/iTunes.
void installBesideDatabase(const std::filesystem::path& driveRoot, const std::string& name, const std::string& bytes);
// Seconds since 1904 for a Unix time, as the device's clock counts.
std::uint32_t deviceClock(std::int64_t unixSeconds);

// Little-endian helpers for tests that look at bytes.
std::int32_t readI32(const std::string& bytes, std::size_t offset);
std::string le32(std::int32_t value);

}  // namespace testsupport
