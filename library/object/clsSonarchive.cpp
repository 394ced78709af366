#include "clsSonarchive.h"

#include "NullUserInterfaceHost.h"

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <utility>

namespace sonarchive {

namespace {
std::atomic<bool> g_cancelRequested{false};
// Past the decoded fields of a track header: the image of the artwork database it shows.
constexpr std::size_t kArtworkLinkOffset = 352;
}

bool cancelRequested() { return g_cancelRequested.load(); }
void clearCancelRequest() { g_cancelRequested.store(false); }

std::unique_ptr<_clsSonarchive> createSonarchive()
{
    return std::make_unique<clsSonarchive>();
}

clsSonarchive::clsSonarchive()
    : m_random(static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count()) ^ std::random_device{}())
{
}
clsSonarchive::~clsSonarchive() = default;

void clsSonarchive::initlaize(std::int32_t hParentWindow, const std::u16string& applicationName,
                              const std::u16string& drive)
{
    sApplicationName = applicationName;
    if (drive.empty())
        DetectiPodDrive(hParentWindow, applicationName);
    else
        siPodDrive = drive;
    m_paths.clear();
}

void clsSonarchive::CancelUpdate()
{
    g_cancelRequested.store(true);
}

void clsSonarchive::GetVideoInformation(const std::u16string& sFilePath)
{
    (void)sFilePath;  // kept for clients that still call it; it does nothing
}

UserInterfaceHost& clsSonarchive::host() const
{
    static NullUserInterfaceHost fallback;
    return m_host ? *m_host : fallback;
}

MessageResult clsSonarchive::message(const std::u16string& prompt, const std::u16string& title, MessageButtons buttons,
                                     MessageIcon icon) const
{
    return host().messageBox(prompt, title, buttons, icon);
}

std::filesystem::path clsSonarchive::devicePath(std::u16string_view relative) const
{
    return m_paths.resolve(std::filesystem::path(toUtf8(siPodDrive)), toUtf8(relative));
}

const MHIT* clsSonarchive::findTrack(std::int32_t iTrackID) const
{
    const std::int64_t index = m_trackIndex.find(m_MHSD_T.m_mhlt, iTrackID);
    return index < 0 ? nullptr : &m_MHSD_T.m_mhlt.m_mhit[static_cast<std::size_t>(index)];
}

MHIT* clsSonarchive::findTrack(std::int32_t iTrackID)
{
    return const_cast<MHIT*>(std::as_const(*this).findTrack(iTrackID));
}

const MHIT* clsSonarchive::trackForReading(std::int32_t iTrackID, std::size_t& position) const
{
    if (!m_index) {
        const std::int64_t index = m_trackIndex.find(m_MHSD_T.m_mhlt, iTrackID);
        position = static_cast<std::size_t>(std::max<std::int64_t>(index, 0));
        return index < 0 ? nullptr : &m_MHSD_T.m_mhlt.m_mhit[position];
    }
    const auto found = m_index->firstOfId.find(iTrackID);
    if (found == m_index->firstOfId.end())
        return nullptr;
    position = found->second;
    decodeTrackAt(m_index->tracks[position], m_scratchTrack);
    return &m_scratchTrack;
}

std::size_t clsSonarchive::trackCount() const
{
    if (m_index)
        return m_index->tracks.size();
    return validEntries(m_MHSD_T.m_mhlt.m_mhit, m_MHSD_T.m_mhlt.iNumberOfllTracks).size();
}

std::int32_t clsSonarchive::trackIdAt(std::size_t position) const
{
    if (m_index)
        return position < m_index->ids.size() ? m_index->ids[position] : 0;
    const auto tracks = validEntries(m_MHSD_T.m_mhlt.m_mhit, m_MHSD_T.m_mhlt.iNumberOfllTracks);
    return position < tracks.size() ? tracks[position].iUniqueID : 0;
}

TrackInfo clsSonarchive::GetTrackInfo(std::int32_t iTrackID) const
{
    std::size_t position = 0;
    const MHIT* track = trackForReading(iTrackID, position);
    if (!track)
        throw std::out_of_range("Subscript out of range: no track with identifier " + std::to_string(iTrackID));
    TrackInfo info;
    fillTrackInfo(*track, position, info);
    return info;
}

void clsSonarchive::forEachTrackInfo(const std::function<void(const TrackInfo&)>& visit) const
{
    TrackInfo info;  // one record for every track: its texts keep their room
    if (m_index) {
        for (const std::int32_t id : m_index->ids) {
            const std::size_t position = m_index->firstOfId.at(id);
            decodeTrackAt(m_index->tracks[position], m_scratchTrack);
            fillTrackInfo(m_scratchTrack, position, info);
            visit(info);
        }
        return;
    }
    for (const MHIT& track : validEntries(m_MHSD_T.m_mhlt.m_mhit, m_MHSD_T.m_mhlt.iNumberOfllTracks)) {
        std::size_t position = 0;
        fillTrackInfo(*trackForReading(track.iUniqueID, position), position, info);
        visit(info);
    }
}

void clsSonarchive::fillTrackInfo(const MHIT& source, std::size_t position, TrackInfo& info) const
{
    const MHIT* track = &source;
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
    info.iTrackID = track->iUniqueID;
    info.iRememberPlayBackPos = track->iRememPlaybackPos;
    info.iSkipWhenShuffle = track->iSkipWhenShuffle;
    info.iStartTime = track->iStartTime;
    info.iStopTime = track->iStopTime;
    info.IsVBR = track->iType1;
    info.iPlayCount = track->iPlayCount;
    info.iTrackTimLength = track->iTrackTimeLength;
    // The code in the file's byte order without its blanks, and the year's bytes as characters.
    info.sTrackType.assign(track->sFiletype.rbegin(), track->sFiletype.rend());
    info.sTrackType.erase(0, std::min(info.sTrackType.find_first_not_of(u' '), info.sTrackType.size()));
    info.sTrackType.erase(info.sTrackType.find_last_not_of(u' ') + 1);
    info.iBitrateInKbs = track->iBitrate;
    info.sYear.assign(track->sTrackYear.begin(), track->sTrackYear.end());
    for (char16_t& c : info.sYear)
        c = static_cast<char16_t>(static_cast<std::uint8_t>(c));
    info.iFileSize = track->iTrackSize;
    info.iTrackNumber = track->iTrackNumber;
    info.iDiscNumber = track->iDiscNumber;
    info.iTrackCount = track->iTotalTracksNumber;
    info.iDiscCount = track->iTotalDisks;
    info.iRating = track->iStartRating;
    info.iLastPlayed = unixTimeOf(track->sLastPlayedTime);
    info.iLastSkipped = unixTimeOf(track->sLastSkipped);
    info.iSkipCount = track->iSkipCount;
    info.iBookmarkMs = track->iBookmarkTime;
    info.iRecentPlays = 0;
    info.iDatabaseID = track->iDB_ID;
    info.iHasArtwork = track->iHasArtwork;
    info.iArtworkID = 0;
    if (track->iHeaderSize >= static_cast<std::int32_t>(kArtworkLinkOffset + 4)) {
        const std::string_view link = track->sAllData.view().substr(std::min<std::size_t>(kArtworkLinkOffset, track->sAllData.size()));
        if (link.size() >= 4)
            info.iArtworkID = static_cast<std::int32_t>(static_cast<std::uint8_t>(link[0]) | static_cast<std::uint8_t>(link[1]) << 8 |
                                                        static_cast<std::uint8_t>(link[2]) << 16 |
                                                        static_cast<std::uint32_t>(static_cast<std::uint8_t>(link[3])) << 24);
    }

    for (const MHOD_S& record : validEntries(track->m_mhod, track->iNumberOfMHODS)) {
        switch (record.iType) {
        case kMhodTitle: info.sTitle = record.sString; break;
        case kMhodLocation: {
            // ":iPod_Control:Music:F00:ABCD.mp3" -> drive root + "iPod_Control/Music/F00/ABCD.mp3"
            std::string relative = toUtf8(record.sString);
            for (char& c : relative)
                if (c == ':')
                    c = '/';
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
    m_sinceSync.merge(position, info);
}

void clsSonarchive::foldSinceLastSync()
{
    const DeviceNotes& notes = m_sinceSync.notes();
    if (m_sinceSync.folded() || (!notes.playCounts && notes.onTheGo.empty()))
        return;
    ensureRecords();
    // The On-The-Go lists name places in the track list as it was loaded.
    std::vector<PlaylistView> lists;
    for (const OnTheGoFile& list : notes.onTheGo)
        lists.push_back(onTheGoView(list, 0));
    const auto tracks = validEntries(m_MHSD_T.m_mhlt.m_mhit, m_MHSD_T.m_mhlt.iNumberOfllTracks);
    for (std::size_t position = 0; position < tracks.size(); ++position)
        if (tracks[position].iUniqueID != -1)
            m_sinceSync.fold(position, tracks[position]);
    m_sinceSync.setFolded();
    for (PlaylistView& list : lists)
        appendPlaylist(std::move(list.name), list.trackIds);
}

}  // namespace sonarchive
