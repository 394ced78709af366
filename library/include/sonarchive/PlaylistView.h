#pragma once

#include <sonarchive/Export.h>

#include <cstdint>
#include <string>
#include <vector>

namespace sonarchive {

enum class PlaylistKind { Normal, Master, Podcasts, Smart, OnTheGo };

// A playlist as a reader of the device sees it: its place in the file, its
// title, its kind and its tracks in item order (repeats kept).
struct PlaylistView {
    std::int32_t index = 0;  // position among the section's playlists, from 0
    std::u16string name;     // the title record; empty when the playlist has none
    PlaylistKind kind = PlaylistKind::Normal;
    std::vector<std::int32_t> trackIds;

    friend bool operator==(const PlaylistView&, const PlaylistView&) = default;
};

// "master", "podcasts", "smart", "onthego" or "normal".
SONARCHIVE_EXPORT const char* playlistKindName(PlaylistKind kind);

}  // namespace sonarchive
