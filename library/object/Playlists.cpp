// The read view of the playlists that copying to the computer works from.
#include "clsSonarchive.h"

#include <algorithm>

namespace sonarchive {

namespace {

constexpr std::int32_t kSmartInfo = 50;   // data record kinds of a smart playlist's rules
constexpr std::int32_t kSmartRules = 51;

PlaylistKind kindOf(const MHYP& playlist)
{
    if (playlist.iIsMasterFLag)
        return PlaylistKind::Master;
    if (playlist.iPodCastFlag)
        return PlaylistKind::Podcasts;
    const auto records = validEntries(playlist.m_mhod_pcd, playlist.iChildsCount - 1);
    if (std::any_of(records.begin(), records.end(), [](const MHOD_PCD& r) { return r.iType == kSmartInfo || r.iType == kSmartRules; }))
        return PlaylistKind::Smart;
    return PlaylistKind::Normal;
}

}  // namespace

const char* playlistKindName(PlaylistKind kind)
{
    switch (kind) {
    case PlaylistKind::Master: return "master";
    case PlaylistKind::Podcasts: return "podcasts";
    case PlaylistKind::Smart: return "smart";
    case PlaylistKind::Normal: break;
    }
    return "normal";
}

std::vector<PlaylistView> clsSonarchive::playlists() const
{
    const MHSD_P& section = m_playlists.sID.empty() ? m_podcasts : m_playlists;
    std::vector<PlaylistView> views;
    std::int32_t index = 0;
    for (const MHYP& playlist : validEntries(section.m_mhlp.m_mhyp, section.m_mhlp.iNumberOfPlaylists)) {
        PlaylistView view;
        view.index = index++;
        if (playlist.iChildsCount > 0)
            view.name = playlist.m_mhod_s.sString;
        view.kind = kindOf(playlist);
        const auto items = validEntries(playlist.m_mhip, playlist.iPlaylistItemsCount);
        view.trackIds.reserve(items.size());
        for (const MHIP& item : items) {
            // The deletion mark, unknown tracks and group headers (they name none) are no entries.
            if (item.iTrackID == -1 || !findTrack(item.iTrackID))
                continue;
            view.trackIds.push_back(item.iTrackID);
        }
        views.push_back(std::move(view));
    }
    return views;
}

}  // namespace sonarchive
