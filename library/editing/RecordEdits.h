#pragma once

#include <sonarchive/PlaylistRecords.h>
#include <sonarchive/TrackInfo.h>
#include <sonarchive/TrackRecords.h>

#include <cstdint>
#include <string>
#include <vector>

namespace sonarchive {

// Edits of the records in memory. Each keeps every size and count the writer
// relies on consistent; nothing here touches a file or asks anything.

// The first 500 UTF-16 units of a text, without splitting a surrogate pair:
// what a record the library makes keeps of a text.
std::u16string cutText(const std::u16string& text);

// The string records of a new track in their order: title (the source file's
// base name when the track has none), album, artist, comment, composer, genre;
// kinds without text are left out.
std::vector<MHOD_S> textRecords(const TrackInfo& info, const std::u16string& sourcePath);
// Sets a track's string records and the sizes that follow from them.
void setRecords(MHIT& track, std::vector<MHOD_S> records);
// A new track's record without string records: the identifiers given, the rest
// from what the analysis found.
MHIT newTrackRecord(const TrackInfo& info, std::int32_t id, std::int64_t libraryId);
// What changing a track sets: its playback flags and times, its year, and the
// texts of its string records of the usual layout, missing kinds appended.
// Records of other layouts keep their bytes, so data of other layouts is never
// corrupted. The track's size follows; returns by how much it changed.
std::int32_t applyTrackInfo(MHIT& track, const TrackInfo& info);

// The playlist a section starts with (its master), or an error naming `what`.
// Whether the section is in the file and has its master playlist, the first.
bool hasMasterPlaylist(const MHSD_P& section);
MHYP& firstPlaylist(MHSD_P& section, const char* what);
// The item that puts a track into a playlist, and its data record, in the form
// of the playlist's own items (for a new playlist: of `formOf`'s).
void appendItem(MHSD_P& section, MHYP& playlist, std::int32_t trackId, std::int32_t position, const MHYP* formOf = nullptr);
// A new normal playlist of a section: the header as the master's, but for its
// flags, its own identifier and a title record alone.
MHYP newPlaylist(const MHYP& master, std::u16string title, std::string identifier);
// Marks every item of a track in the section's playlists deleted.
void markItemsDeleted(MHSD_P& section, std::int32_t trackId);

}  // namespace sonarchive
