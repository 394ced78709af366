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
    case PlaylistKind::OnTheGo: return "onthego";
    case PlaylistKind::Normal: break;
    }
    return "normal";
}

std::vector<PlaylistView> clsSonarchive::playlists() const
{
    std::vector<PlaylistView> views;
    const auto view = [&](const MHYP& playlist) {
        PlaylistView v;
        v.index = static_cast<std::int32_t>(views.size());
        if (playlist.iChildsCount > 0)
            v.name = playlist.m_mhod_s.sString;
        v.kind = kindOf(playlist);
        const auto items = validEntries(playlist.m_mhip, playlist.iPlaylistItemsCount);
        v.trackIds.reserve(items.size());
        for (const MHIP& item : items) {
            // The deletion mark, unknown tracks and group headers (they name none) are no entries.
            if (item.iTrackID == -1 || !knownTrack(item.iTrackID))
                continue;
            v.trackIds.push_back(item.iTrackID);
        }
        views.push_back(std::move(v));
    };
    forEachPlaylist(m_db.playlists.sID.empty() ? m_db.podcasts : m_db.playlists, view);
    if (!m_sinceSync.folded())
        for (const OnTheGoFile& list : m_sinceSync.notes().onTheGo)
            views.push_back(onTheGoView(list, static_cast<std::int32_t>(views.size())));
    return views;
}

// An On-The-Go list made on the device, until a write makes it a playlist of the
// database: its entries name places in the track list as it was loaded; those
// past it were reported then, and name no track added since.
PlaylistView clsSonarchive::onTheGoView(const OnTheGoFile& list, std::int32_t index) const
{
    PlaylistView v;
    v.index = index;
    v.name = onTheGoName(static_cast<std::size_t>(list.number));
    v.kind = PlaylistKind::OnTheGo;
    v.trackIds.reserve(list.trackIndices.size());
    for (const std::uint32_t position : list.trackIndices) {
        if (!m_sinceSync.namesLoadedTrack(position))
            continue;
        const std::int32_t id = trackIdAt(position);
        if (id != 0 && id != -1 && knownTrack(id))
            v.trackIds.push_back(id);
    }
    return v;
}


}  // namespace sonarchive
