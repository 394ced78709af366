#pragma once

#include "BatchCopy.h"
#include "CopyTagger.h"
#include "TrackNamePattern.h"

#include <sonarchive/PlaylistView.h>
#include <sonarchive/TrackInfo.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace trackcopy {

// What to copy and how to name it.
struct PlanOptions {
    std::filesystem::path destination;
    std::optional<TrackNamePattern> pattern;  // none: the title alone, as a flat folder
    // Narrowing: a track is kept when each text given is contained in its
    // artist, album or genre, letter case ignored.
    std::u16string artist, album, genre;
    int minRating = 0;  // stars (1-5): only tracks rated this or better; 0 keeps every track
    bool playlistFiles = false;  // write an .m3u8 file for each playlist chosen
};

// One batch copy and the playlist files that describe it. Each track is copied
// once, however many playlists name it; a name that uses {playlist} or {index}
// takes them from the first chosen playlist that holds the track.
class CopyPlan {
public:
    // The tracks with these ids, in this order (unknown ids are reported).
    static CopyPlan forTracks(const std::vector<sonarchive::TrackInfo>& tracks, const std::vector<std::int32_t>& ids,
                              const PlanOptions& options);
    // Every track of the device; with playlist files, one for every playlist
    // but the master playlist.
    static CopyPlan forAll(const std::vector<sonarchive::TrackInfo>& tracks,
                           const std::vector<sonarchive::PlaylistView>& playlists, const PlanOptions& options);
    // The tracks of these playlists, in their order, each once.
    static CopyPlan forPlaylists(const std::vector<sonarchive::TrackInfo>& tracks,
                                 const std::vector<sonarchive::PlaylistView>& chosen, const PlanOptions& options);

    // The path below the destination one track is copied to: its title alone
    // without a pattern, else the pattern's path; the extension of its file.
    static std::filesystem::path relativePath(const sonarchive::TrackInfo& info, const std::optional<TrackNamePattern>& pattern,
                                              const std::u16string& playlist = {}, std::int32_t index = 0);

    // How a failure names a track: "Night Drive" by Motorway Echo, or "Night Drive" alone.
    static std::string trackName(const sonarchive::TrackInfo& info);

    const std::vector<CopyItem>& items() const { return m_items; }
    // The track each item copies, item by item.
    const std::vector<std::int32_t>& itemTracks() const { return m_itemTracks; }
    const sonarchive::TrackInfo& itemInfo(std::size_t item) const { return *m_itemInfos.at(item); }
    const std::vector<const sonarchive::TrackInfo*>& itemInfos() const { return m_itemInfos; }

    // The batch that copies the items. Unless `tags` is None each copy carries
    // the database's values of its track (CopyTagger), and `cover` gives the
    // front covers of copies without a picture.
    BatchCopy batch(TagMode tags, CopyTagger::CoverLookup cover = {}) const;

    // Tracks that could not be planned, with why ("no track with id 7").
    const std::vector<std::string>& problems() const { return m_problems; }

    struct PlaylistFile {
        std::filesystem::path path;  // DEST/<cleaned playlist name>.m3u8
        std::vector<std::size_t> entries;  // the items of its entries, in playlist order, repeats kept
    };
    const std::vector<PlaylistFile>& playlistFiles() const { return m_playlistFiles; }

    // Writes the playlist files once the batch has run: an entry for every item
    // copied, or left because its copy was there already. Returns the failures.
    std::vector<std::string> writePlaylistFiles(const CopyResult& result) const;

    // The text of one playlist file: "#EXTM3U", then per entry "#EXTINF:<seconds>,
    // <artist> - <title>" and the file's path relative to DEST with "/".
    std::string playlistText(const PlaylistFile& file, const CopyResult& result) const;

private:
    struct Planned {
        const sonarchive::TrackInfo* info;
        std::u16string playlist;
        std::int32_t index;
    };
    void add(const Planned& track, const PlanOptions& options);
    void addPlaylistFile(const sonarchive::PlaylistView& playlist, const PlanOptions& options);
    bool kept(const sonarchive::TrackInfo& info, const PlanOptions& options) const;

    std::vector<CopyItem> m_items;
    std::vector<std::int32_t> m_itemTracks;
    std::vector<const sonarchive::TrackInfo*> m_itemInfos;
    std::unordered_map<std::int32_t, std::size_t> m_itemOfTrack;  // the item of each track planned
    std::vector<std::string> m_problems;
    std::vector<PlaylistFile> m_playlistFiles;
    std::filesystem::path m_destination;
};

}  // namespace trackcopy
