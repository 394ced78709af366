#pragma once

#include "ImageBuffer.h"

#include <sonarchive/PlaylistRecords.h>
#include <sonarchive/RawBytes.h>
#include <sonarchive/TrackRecords.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

namespace sonarchive {

// The device database as bytes and as records, both ways. Nothing here asks
// anyone anything or keeps state between calls: decoding throws FormatError at
// the byte where the file stops making sense, encoding returns where the next
// chunk starts.

// Where each section stood in the file, so a rewrite keeps their order.
enum class SectionSlot { Tracks, Playlists, Podcasts, AlbumLists, NewPlaylists, Other };
struct SectionPlace {
    SectionSlot slot = SectionSlot::Other;
    std::size_t otherIndex = 0;  // for SectionSlot::Other: the entry of otherSections
};

// The records of a database file.
struct DatabaseRecords {
    MHBD header;
    MHSD_T tracks;
    MHSD_P playlists;  // section type 2
    MHSD_P podcasts;   // section type 3, the same layout
    MHSD_A albumLists;
    MHSD_NP newPlaylists;
    std::vector<RawBytes> otherSections;  // kinds the library does not know, whole, in file order
    std::vector<SectionPlace> sectionOrder;
    std::int64_t end = 0;  // where the last section read ends
};

// Where the tracks and playlists of a file start, and the tracks' identifiers:
// enough to decode any one of them when it is needed.
struct DatabaseIndex {
    std::vector<std::int64_t> tracks;
    std::vector<std::int32_t> ids;
    std::unordered_map<std::int32_t, std::size_t> firstOfId;  // identifier -> its first track
    std::vector<std::int64_t> playlists;                      // of the type 2 section
    std::vector<std::int64_t> podcasts;                       // of the type 3 section
};

// Decodes a whole file. On damage `into` holds what was decoded before it.
void decodeDatabase(const std::shared_ptr<const ByteBuffer>& file, DatabaseRecords& into);
// Checks a whole file exactly as decodeDatabase does, with the same failures,
// but decodes only the headers: the lists of tracks and playlists stay empty and
// `index` says where their entries start.
void indexDatabase(const std::shared_ptr<const ByteBuffer>& file, DatabaseRecords& heads, DatabaseIndex& index);
// One track or playlist of a file checked before, from where it starts.
void decodeTrackAt(const std::shared_ptr<const ByteBuffer>& file, std::int64_t offset, MHIT& into);
void decodePlaylistAt(const std::shared_ptr<const ByteBuffer>& file, std::int64_t offset, MHYP& into);
// The same without holding the items (a master playlist has one per track):
// `head` gets the playlist's header and data records and is handed to `onHead`,
// then each item with its data record to `eachItem`.
using PlaylistItemVisitor = std::function<void(const MHIP&, const MHOD_POE&)>;
void decodePlaylistAt(const std::shared_ptr<const ByteBuffer>& file, std::int64_t offset, MHYP& head,
                      const std::function<void(const MHYP&)>& onHead, const PlaylistItemVisitor& eachItem);

// Encoders: each writes its chunk at `at` and returns where the next one starts.
// Records are written as they stand: their sizes must already describe them.
using EachTrack = std::function<void(const std::function<void(const MHIT&)>&)>;
using EachPlaylist = std::function<void(const std::function<void(const MHYP&)>&)>;
// A track section with the tracks `eachTrack` hands over; those with the
// deletion mark are left out, and the list's count is the number written.
std::int64_t encodeTrackSection(ImageBuffer& image, std::int64_t at, const MHSD_T& section, const EachTrack& eachTrack);
// A playlist or podcast section, its items with the deletion mark left out.
std::int64_t encodePlaylistSection(ImageBuffer& image, std::int64_t at, const MHSD_P& section, const EachPlaylist& eachPlaylist);
// The section's header and list header alone; the playlists follow at the place returned.
std::int64_t encodePlaylistSectionHead(ImageBuffer& image, std::int64_t at, const MHSD_P& section);
// One playlist piece by piece: its header and data records first, then each
// item (the deletion mark left out), then finish() fills in the count of items
// written and returns where the next playlist starts.
class PlaylistEncoder {
public:
    PlaylistEncoder(ImageBuffer& image, std::int64_t at, const MHYP& playlist);
    void item(const MHIP& item, const MHOD_POE& record);
    std::int64_t finish();

private:
    ImageBuffer& m_image;
    std::int64_t m_start;
    std::int64_t m_pos;
    std::int32_t m_headerSize;
    std::int32_t m_written = 0;
};
// A section held whole; its magic is what the reader took it for.
std::int64_t encodeWholeSection(ImageBuffer& image, std::int64_t at, const RawBytes& bytes, std::int64_t totalSize);
// The database header as read; the section count and total size are filled in
// once the sections are written.
std::int64_t encodeDatabaseHeader(ImageBuffer& image, const MHBD& header);
// The header bytes of a database the library makes: its fields, zeros up to its size.
void fillHeaderBytes(MHBD& header);
void finishDatabaseHeader(ImageBuffer& image, std::int32_t sections);

// Records the library makes, in the layout its neighbours have.
// A string record of the usual layout: a 24-byte header, the text right after
// the 40 bytes of fields.
MHOD_S makeStringRecord(std::int32_t type, std::u16string text);
// Makes a record the usual layout for its text again (length and sizes).
void fitStringRecord(MHOD_S& record);
// A string record in the usual layout; others are carried as the bytes they were read from.
bool hasStandardLayout(const MHOD_S& record);
// A track's header and string records, summed; throws TooLarge past 32 bits.
std::int32_t trackRecordSize(const MHIT& track);

}  // namespace sonarchive
