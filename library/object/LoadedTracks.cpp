// The tracks of the loaded database as readers see them: decoded from the file
// one at a time while the records are not, merged with what the device recorded
// since its last sync.

#include "clsSonarchive.h"

#include <stdexcept>

namespace sonarchive {

namespace {
// Past the decoded fields of a track header: the image of the artwork database it shows.
constexpr std::size_t kArtworkLinkOffset = 352;

std::int32_t artworkLink(const MHIT& track)
{
    if (track.iHeaderSize < static_cast<std::int32_t>(kArtworkLinkOffset + 4))
        return 0;
    const std::string_view all = track.sAllData.view();
    if (all.size() < kArtworkLinkOffset + 4)
        return 0;
    std::uint32_t value = 0;
    for (std::size_t i = 4; i-- > 0;)
        value = value << 8 | static_cast<std::uint8_t>(all[kArtworkLinkOffset + i]);
    return static_cast<std::int32_t>(value);
}
}  // namespace

void clsSonarchive::ensureRecords()
{
    if (!m_index)
        return;
    if (m_readable) {
        m_db = std::move(*m_readable);  // decoded for a reader already
        m_readable.reset();
    } else {
        decodeDatabase(m_loadedImage, m_db);  // the index was made from these bytes, so this cannot fail
    }
    for (MHSD_P* section : {&m_db.playlists, &m_db.podcasts})
        for (MHYP& playlist : section->m_mhlp.m_mhyp)
            playlist.iMHYPs2Delete = 0;
    m_index.reset();
    tracksChanged();
}

const DatabaseRecords& clsSonarchive::readable() const
{
    if (!m_index)
        return m_db;
    if (!m_readable) {
        m_readable = std::make_unique<DatabaseRecords>();
        decodeDatabase(m_loadedImage, *m_readable);
    }
    return *m_readable;
}

std::size_t clsSonarchive::trackCount() const
{
    if (m_index)
        return m_index->tracks.size();
    return validEntries(m_db.tracks.m_mhlt.m_mhit, m_db.tracks.m_mhlt.iNumberOfllTracks).size();
}

const MHIT& clsSonarchive::trackAt(std::size_t position) const
{
    if (!m_index)
        return m_db.tracks.m_mhlt.m_mhit[position];
    decodeTrackAt(m_loadedImage, m_index->tracks[position], m_scratchTrack);
    return m_scratchTrack;
}

std::int64_t clsSonarchive::positionOf(std::int32_t iTrackID) const
{
    if (!m_index)
        return m_trackIndex.find(m_db.tracks.m_mhlt, iTrackID);
    const auto found = m_index->firstOfId.find(iTrackID);
    return found == m_index->firstOfId.end() ? -1 : static_cast<std::int64_t>(found->second);
}

std::int32_t clsSonarchive::trackIdAt(std::size_t position) const
{
    if (position >= trackCount())
        return 0;
    return m_index ? m_index->ids[position] : m_db.tracks.m_mhlt.m_mhit[position].iUniqueID;
}

MHIT* clsSonarchive::findTrack(std::int32_t iTrackID)
{
    ensureRecords();
    const std::int64_t position = positionOf(iTrackID);
    return position < 0 ? nullptr : &m_db.tracks.m_mhlt.m_mhit[static_cast<std::size_t>(position)];
}

void clsSonarchive::forEachPlaylist(const MHSD_P& section, const std::function<void(const MHYP&)>& visit) const
{
    const std::vector<std::int64_t>* offsets =
        !m_index ? nullptr : &section == &m_db.playlists ? &m_index->playlists : &m_index->podcasts;
    if (!offsets) {
        for (const MHYP& playlist : validEntries(section.m_mhlp.m_mhyp, section.m_mhlp.iNumberOfPlaylists))
            visit(playlist);
        return;
    }
    for (const std::int64_t offset : *offsets) {
        decodePlaylistAt(m_loadedImage, offset, m_scratchPlaylist);
        visit(m_scratchPlaylist);
    }
}

TrackInfo clsSonarchive::GetTrackInfo(std::int32_t iTrackID) const
{
    // An unknown identifier is the one failure that reaches the caller, as it always has.
    const std::int64_t position = positionOf(iTrackID);
    if (position < 0)
        throw std::out_of_range("Subscript out of range: no track with identifier " + std::to_string(iTrackID));
    TrackInfo info;
    fillTrackInfo(trackAt(static_cast<std::size_t>(position)), static_cast<std::size_t>(position), info);
    return info;
}

void clsSonarchive::forEachTrackInfo(const std::function<void(const TrackInfo&)>& visit) const
{
    TrackInfo info;  // one record for every track: its texts keep their room
    const std::size_t count = trackCount();
    for (std::size_t i = 0; i < count; ++i) {
        // A repeated identifier shows its first track, as GetTrackInfo does.
        const std::int64_t first = m_index ? static_cast<std::int64_t>(m_index->firstOfId.at(m_index->ids[i]))
                                           : positionOf(m_db.tracks.m_mhlt.m_mhit[i].iUniqueID);
        const auto position = static_cast<std::size_t>(first < 0 ? static_cast<std::int64_t>(i) : first);
        fillTrackInfo(trackAt(position), position, info);
        visit(info);
    }
}

void clsSonarchive::fillTrackInfo(const MHIT& track, std::size_t position, TrackInfo& info) const
{
    if (m_driveRootOf != siPodDrive) {  // the drive root as text, converted once
        m_driveRootOf = siPodDrive;
        m_driveRoot = toUtf8(siPodDrive);
    }
    for (std::u16string* text : {&info.sTitle, &info.sAlbum, &info.sArtist, &info.sComposer, &info.sGenre, &info.sYear,
                                 &info.sComment, &info.sFiletype, &info.sLocation, &info.sVolume, &info.sTrackType,
                                 &info.sVideoCodec, &info.sAudioCodec})
        text->clear();
    info.iType = 0;
    info.iSampleRateInHz = 0;
    info.IsMovie = 0;
    info.isFileSupported = false;
    info.iTrackID = track.iUniqueID;
    info.iRememberPlayBackPos = track.iRememPlaybackPos;
    info.iSkipWhenShuffle = track.iSkipWhenShuffle;
    info.iStartTime = track.iStartTime;
    info.iStopTime = track.iStopTime;
    info.IsVBR = track.iType1;
    info.iPlayCount = track.iPlayCount;
    info.iTrackTimLength = track.iTrackTimeLength;
    // The code in the file's byte order without its blanks, and the year's bytes as characters.
    info.sTrackType.assign(track.sFiletype.rbegin(), track.sFiletype.rend());
    info.sTrackType.erase(0, std::min(info.sTrackType.find_first_not_of(u' '), info.sTrackType.size()));
    info.sTrackType.erase(info.sTrackType.find_last_not_of(u' ') + 1);
    info.iBitrateInKbs = track.iBitrate;
    info.sYear.assign(track.sTrackYear.begin(), track.sTrackYear.end());
    for (char16_t& c : info.sYear)
        c = static_cast<char16_t>(static_cast<std::uint8_t>(c));
    info.iFileSize = track.iTrackSize;
    info.iTrackNumber = track.iTrackNumber;
    info.iDiscNumber = track.iDiscNumber;
    info.iTrackCount = track.iTotalTracksNumber;
    info.iDiscCount = track.iTotalDisks;
    info.iRating = track.iStartRating;
    info.iLastPlayed = unixTimeOf(track.sLastPlayedTime);
    info.iLastSkipped = unixTimeOf(track.sLastSkipped);
    info.iSkipCount = track.iSkipCount;
    info.iBookmarkMs = track.iBookmarkTime;
    info.iRecentPlays = 0;
    info.iDatabaseID = track.iDB_ID;
    info.iHasArtwork = track.iHasArtwork;
    info.iArtworkID = artworkLink(track);
    fillTexts(track, info);
    m_sinceSync.merge(position, info);
}

// The texts of the string records the library interprets; the location as a
// path below the drive root, spelled as the device spells it.
void clsSonarchive::fillTexts(const MHIT& track, TrackInfo& info) const
{
    for (const MHOD_S& record : validEntries(track.m_mhod, track.iNumberOfMHODS)) {
        switch (record.iType) {
        case kMhodTitle: info.sTitle = record.sString; break;
        case kMhodLocation: {
            // ":iPod_Control:Music:F00:ABCD.mp3" -> drive root + "iPod_Control/Music/F00/ABCD.mp3"
            std::string relative = toUtf8(record.sString);
            std::replace(relative.begin(), relative.end(), ':', '/');
            info.sLocation = fromUtf8(m_paths.resolveText(m_driveRoot, relative));
            break;
        }
        case kMhodAlbum: info.sAlbum = record.sString; break;
        case kMhodArtist: info.sArtist = record.sString; break;
        case kMhodGenre: info.sGenre = record.sString; break;
        case kMhodComment: info.sComment = record.sString; break;
        case kMhodComposer: info.sComposer = record.sString; break;
        default: break;
        }
    }
}

}  // namespace sonarchive
