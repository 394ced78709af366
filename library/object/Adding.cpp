// Adding a media file to the in-memory database: analysis, the copy onto the
// device, the track record with its string records and the playlist items; and
// adding playlists. Nothing is written to the database file here.

#include "Blanks.h"
#include "ByteConverters.h"
#include "Error.h"
#include "FileCopy.h"
#include "MediaError.h"
#include "RecordEdits.h"
#include "clsSonarchive.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>

namespace sonarchive {

namespace fs = std::filesystem;

std::int32_t clsSonarchive::NextTrackID()
{
    const std::int32_t highest = m_trackIds.highestID(m_db.tracks.m_mhlt);
    if (highest == std::numeric_limits<std::int32_t>::max())
        throw Error(FailureCode::TooLarge, "Overflow: no track identifier is left");
    return highest + 1;
}

std::int64_t clsSonarchive::GetLibraryID()
{
    if (const auto known = m_trackIds.libraryID(m_db.tracks.m_mhlt))
        return *known;
    // None yet: a random number plus today's date, as a fixed-point value with four decimals.
    const auto today = std::chrono::year_month_day(std::chrono::floor<std::chrono::days>(std::chrono::system_clock::now()));
    const double r = std::uniform_real_distribution<double>(0.0, 1.0)(m_random);
    const double value = r * 1e9 + static_cast<unsigned>(today.day()) + static_cast<unsigned>(today.month()) +
                         static_cast<int>(today.year());
    return std::llround(value * 10000.0);
}

std::int32_t clsSonarchive::RandomPosition()
{
    return std::uniform_int_distribution<std::int32_t>(1, 4999)(m_random);
}

DevicePlacement clsSonarchive::ChooseDevicePath(const std::u16string& extension)
{
    DevicePlacement placement =
        chooseDevicePath(fs::path(toUtf8(siPodDrive)), devicePath(u"iPod_Control/Music"), extension, m_random);
    m_paths.clear();
    return placement;
}

std::u16string clsSonarchive::locationOnDevice(const std::u16string& siPodPath) const
{
    // The path below the drive root, with ":" before every element.
    fs::path path = fs::path(toUtf8(siPodPath)).lexically_normal();
    fs::path root = fs::path(toUtf8(siPodDrive)).lexically_normal();
    if (!root.has_filename())
        root = root.parent_path();  // "/media/ipod/" -> "/media/ipod"
    const fs::path below = root.empty() ? fs::path() : path.lexically_relative(root);
    if (!below.empty() && *below.begin() != "..")
        path = below;
    else if (path.is_absolute())
        throw Error(FailureCode::Usage, toUtf8(siPodPath) + " is not on the device");
    // otherwise a relative path: taken as below the drive root
    std::u16string location;
    for (const fs::path& element : path) {
        if (element.empty() || element == "/" || element == ".")
            continue;
        location += u":" + fromUtf8(element.string());
    }
    if (location.empty())
        throw Error(FailureCode::Usage, "no file is named by the device path '" + toUtf8(siPodPath) + "'");
    return location;
}

// Copies the file into a new place on the device and gives its location.
// False when the copy was cancelled; throws when it failed. Either way nothing
// of the attempt is left on the device.
bool clsSonarchive::copyToDevice(const std::u16string& sFilePath, const TrackInfo& Info, std::u16string& location)
{
    const fs::path source = toUtf8(sFilePath);
    DevicePlacement placement = ChooseDevicePath(trimmedBlanks(Info.sFiletype));
    const fs::path destination = fs::path(joinDevicePath(toUtf8(siPodDrive), placement.devicePath));
    const auto removeCreatedFolder = [&] {
        std::error_code ec;
        if (!placement.createdFolder.empty())
            fs::remove(placement.createdFolder, ec);  // only when empty; a folder that holds anything stays
        m_paths.clear();
    };

    const std::u16string status = u"Copying File " + fromUtf8(source.filename().string());
    if (m_events)
        m_events->CurrentStatus(status, -1);
    clearCancelRequest();
    FileCopyOutcome outcome;
    try {
        outcome = copyToNewFile(source, destination,
                                {.progress = [&](std::uint64_t done, std::uint64_t total) {
                                     const auto percent = static_cast<std::int16_t>(total == 0 ? 100 : std::min<std::uint64_t>(done * 100 / total, 100));
                                     if (m_events)
                                         m_events->CurrentStatus(status, percent);
                                     host().pumpMessages();
                                 },
                                 .cancelled = [] { return cancelRequested(); }});
    } catch (...) {
        removeCreatedFolder();
        throw;
    }
    if (outcome == FileCopyOutcome::Cancelled) {
        removeCreatedFolder();
        return false;
    }
    std::replace(placement.devicePath.begin(), placement.devicePath.end(), '/', ':');
    location = fromUtf8(placement.devicePath);
    return true;
}

std::int32_t clsSonarchive::addNewTrack(const std::u16string& sFilePath, const TrackInfo& Info, bool bSkipCopy,
                                        const std::u16string& siPodPath)
{
    if (m_db.tracks.sID.empty())
        throw Error(FailureCode::Other, "The database has no track section to add the track to");
    firstPlaylist(m_db.playlists, "playlist");
    // Early devices have no podcast section: their tracks go into the playlists only.
    std::vector<MHSD_P*> sections = {&m_db.playlists};
    if (!m_db.podcasts.sID.empty()) {
        firstPlaylist(m_db.podcasts, "podcast playlist");
        sections.push_back(&m_db.podcasts);
    }
    const std::int32_t id = NextTrackID();
    MHIT track = newTrackRecord(Info, id, GetLibraryID());
    std::vector<MHOD_S> records = textRecords(Info, sFilePath);
    std::u16string location;
    if (bSkipCopy)
        location = locationOnDevice(siPodPath);
    else if (!copyToDevice(sFilePath, Info, location))
        return 0;  // cancelled by the user: nothing was added, nothing to report
    records.push_back(makeStringRecord(kMhodLocation, std::move(location)));
    setRecords(track, std::move(records));

    // The file is in place: only now does the database change.
    MHLT& list = m_db.tracks.m_mhlt;
    const auto index = static_cast<std::size_t>(std::max(list.iNumberOfllTracks, 0));
    list.m_mhit.resize(index);
    const std::int64_t libraryId = track.iDB_ID;
    m_db.tracks.iTotalSize += track.iTotalSize;
    list.m_mhit.push_back(std::move(track));
    list.iNumberOfllTracks = static_cast<std::int32_t>(index + 1);
    m_trackIndex.added(static_cast<std::int64_t>(index), id);
    m_trackIds.added(id, libraryId);
    for (MHSD_P* section : sections)
        appendItem(*section, section->m_mhlp.m_mhyp.front(), id, RandomPosition());
    return id;
}

std::int32_t clsSonarchive::rebuildTrackRecords(const std::u16string& sFilePath, const TrackInfo& Info, bool bSkipCopy,
                                                const std::u16string& siPodPath, std::int32_t iModifiedTrackID)
{
    MHIT* track = findTrack(iModifiedTrackID);
    if (!track)
        throw Error(FailureCode::Usage, "Subscript out of range: no track with identifier " + std::to_string(iModifiedTrackID));
    // A modification names no file, so there is nothing to copy: the location has to come from the device path.
    if (!bSkipCopy)
        throw Error(FailureCode::Usage, "There is no file to copy for the track being modified");

    std::vector<MHOD_S> records = textRecords(Info, sFilePath);
    records.push_back(makeStringRecord(kMhodLocation, locationOnDevice(siPodPath)));
    const std::int32_t oldTotal = track->iTotalSize;
    track->iRememPlaybackPos = Info.iRememberPlayBackPos;
    track->iSkipWhenShuffle = Info.iSkipWhenShuffle;
    track->iStartTime = Info.iStartTime;
    track->iStopTime = Info.iStopTime;
    track->sTrackYear = yearField(Info.sYear);
    setRecords(*track, std::move(records));
    m_db.tracks.iTotalSize += track->iTotalSize - oldTotal;
    return track->iUniqueID;
}

// The track's identifier; 0 when nothing was added (the user has been told
// why, or cancelled) and -2 for a file the iPod can't play, as the interface has
// always answered. lastFailure() says why.
std::int32_t clsSonarchive::AddTrack(const std::u16string& sFilePath, TrackInfo& Info, bool bSkipCopy,
                                     const std::u16string& siPodPath, bool bSkipSetInfo, std::int32_t iModifiedTrackID)
{
    m_lastFailure = {};
    const auto fail = [&](const Failure& failure) {
        m_lastFailure = failure;
        message(u"Error while adding " + sFilePath + u"\r\n" + fromUtf8(failure.message), {}, MessageButtons::OK,
                MessageIcon::Critical);
        return 0;
    };
    // The database's size field is 32 bits: a larger file can't be described, so
    // it is neither analysed nor copied.
    std::error_code ec;
    const std::uintmax_t size = sFilePath.empty() ? 0 : fs::file_size(fs::path(toUtf8(sFilePath)), ec);
    if (!ec && size > kLargestTrackFile)
        return fail({FailureCode::TooLarge, EFBIG, mediaerror::tooLargeForDatabase(size)});
    if (!bSkipSetInfo) {
        // A failed analysis leaves Info half-filled, so nothing is added; its
        // message has been shown.
        if (!SetTrackInfo(sFilePath, Info))
            return 0;
        if (!Info.isFileSupported) {
            // A format the analysis could name is said plainly; anything else is just not media.
            if (m_lastFailure.code == FailureCode::Unsupported)
                message(fromUtf8(m_lastFailure.message), {}, MessageButtons::OK, MessageIcon::Critical);
            else
                m_lastFailure = {FailureCode::Unsupported, 0, toUtf8(sFilePath) + ": not a supported media file"};
            return -2;
        }
    }
    try {
        return addOrFail(sFilePath, Info, bSkipCopy, siPodPath, iModifiedTrackID);
    } catch (const std::exception& e) {
        return fail(failureOf(e));
    }
}

std::int32_t clsSonarchive::addOrFail(const std::u16string& sFilePath, TrackInfo& Info, bool bSkipCopy,
                                      const std::u16string& siPodPath, std::int32_t iModifiedTrackID)
{
    // The device's own database, with the reader's repair questions; a failed
    // load has told the user why.
    if (!m_databaseLoaded && !LoadiPodDB())
        return 0;
    ensureRecords();
    const bool modification = sFilePath.empty() && !siPodPath.empty() && iModifiedTrackID != 0;
    if (modification)
        return rebuildTrackRecords(sFilePath, Info, bSkipCopy, siPodPath, iModifiedTrackID);
    const std::int32_t id = addNewTrack(sFilePath, Info, bSkipCopy, siPodPath);
    if (id == 0)
        m_lastFailure = {FailureCode::Cancelled, ECANCELED, "the copy was cancelled"};
    return id;
}

std::optional<std::int32_t> clsSonarchive::addPlaylist(const std::u16string& name, const std::vector<std::int32_t>& trackIds)
{
    m_lastFailure = {};
    try {
        if (!m_databaseLoaded && !LoadiPodDB())
            return std::nullopt;
        ensureRecords();
        std::u16string title = cutText(trimmedBlanks(name));
        if (title.empty())
            throw Error(FailureCode::Usage, "a playlist needs a name");
        firstPlaylist(m_db.playlists, "playlist");
        for (const std::int32_t id : trackIds)
            if (!findTrack(id))
                throw Error(FailureCode::Usage, "no track with identifier " + std::to_string(id));
        return appendPlaylist(std::move(title), trackIds);
    } catch (const std::exception& e) {
        m_lastFailure = failureOf(e);
        return std::nullopt;
    }
}

std::int32_t clsSonarchive::appendPlaylist(std::u16string title, const std::vector<std::int32_t>& trackIds)
{
    // Every reader sees it: devices of the newer generations and other software
    // read the type 3 section when the file has one. One identifier wherever it stands.
    std::string identifier;
    for (int k = 0; k < 2; ++k)
        identifier += LongToBytes(RandomPosition());
    std::int32_t index = -1;
    for (MHSD_P* section : {&m_db.playlists, &m_db.podcasts}) {
        if (!hasMasterPlaylist(*section))
            continue;
        MHLP& list = section->m_mhlp;
        const auto at = static_cast<std::size_t>(list.iNumberOfPlaylists);
        MHYP playlist = newPlaylist(list.m_mhyp.front(), title, identifier);
        list.m_mhyp.resize(at);
        list.m_mhyp.push_back(std::move(playlist));
        list.iNumberOfPlaylists = static_cast<std::int32_t>(at + 1);
        section->iTotalSize += list.m_mhyp.back().iTotlaSize;
        std::int32_t position = 0;
        for (const std::int32_t id : trackIds)
            appendItem(*section, list.m_mhyp.back(), id, ++position, &list.m_mhyp.front());
        if (section == &m_db.playlists)
            index = static_cast<std::int32_t>(at);
    }
    return index;
}

}  // namespace sonarchive
