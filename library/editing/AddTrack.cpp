// Adding a media file to the in-memory database: analysis, the copy onto the
// device, the track record with its string records and the playlist items.
// Nothing is written to the database file here.

#include "ByteConverters.h"
#include "Error.h"
#include "FileCopy.h"
#include "clsSonarchive.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace sonarchive {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kTextLimit = 500;       // UTF-16 units kept of each text
constexpr std::int32_t kTrackHeaderSize = 328;
constexpr std::int32_t kItemHeaderSize = 76;
constexpr std::int32_t kItemRecordSize = 44;

class AddError : public Error {
public:
    explicit AddError(const std::string& what, FailureCode code = FailureCode::Other) : Error(code, what) {}
};

// The first 500 units of a text, without splitting a surrogate pair.
std::u16string cut(const std::u16string& text)
{
    if (text.size() <= kTextLimit)
        return text;
    std::size_t length = kTextLimit;
    if (text[length - 1] >= 0xD800 && text[length - 1] <= 0xDBFF)
        --length;
    return text.substr(0, length);
}

std::u16string trimmed(const std::u16string& text)
{
    const auto first = text.find_first_not_of(u' ');
    if (first == std::u16string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(u' ') - first + 1);
}

MHOD_S stringRecord(std::int32_t type, std::u16string text)
{
    MHOD_S record;
    record.sID = u"mhod";
    record.iHeaderSize = 24;
    record.iType = type;
    record.sString = std::move(text);
    record.iLength = static_cast<std::int32_t>(record.sString.size() * 2);
    record.iPosition = 1;
    record.iUnk3 = 1;
    record.iTotalSize = record.iLength + 40;
    return record;
}

// The string records of a track in their order; kinds without text are left
// out, except the title, which falls back to the source file's base name.
std::vector<MHOD_S> textRecords(const TrackInfo& info, const std::u16string& sourcePath)
{
    std::vector<MHOD_S> records;
    std::u16string title = cut(info.sTitle);
    if (title.empty())
        title = fromUtf8(fs::path(toUtf8(sourcePath)).stem().string());
    records.push_back(stringRecord(kMhodTitle, std::move(title)));
    const std::array<std::pair<std::int32_t, const std::u16string*>, 5> others = {{{kMhodAlbum, &info.sAlbum},
                                                                                   {kMhodArtist, &info.sArtist},
                                                                                   {kMhodComment, &info.sComment},
                                                                                   {kMhodComposer, &info.sComposer},
                                                                                   {kMhodGenre, &info.sGenre}}};
    for (const auto& [type, text] : others)
        if (!text->empty())
            records.push_back(stringRecord(type, cut(*text)));
    return records;
}

// Sets a track's string records and the sizes that follow from them.
void setRecords(MHIT& track, std::vector<MHOD_S> records)
{
    track.m_mhod = std::move(records);
    track.iNumberOfMHODS = static_cast<std::int32_t>(track.m_mhod.size());
    std::int64_t total = track.iHeaderSize;
    for (const MHOD_S& record : track.m_mhod)
        total += record.iTotalSize;
    if (total > std::numeric_limits<std::int32_t>::max())
        throw AddError("Overflow: the track record is too large", FailureCode::TooLarge);
    track.iTotalSize = static_cast<std::int32_t>(total);
}

MHYP& firstPlaylist(MHSD_P& section, const char* what)
{
    if (section.sID.empty() || section.m_mhlp.iNumberOfPlaylists < 1 || section.m_mhlp.m_mhyp.empty())
        throw AddError(std::string("The database has no ") + what + " to add the track to");
    return section.m_mhlp.m_mhyp.front();
}

// The item that puts a track into a playlist, and its data record. Items of
// early devices have no data record; a playlist whose items (or those of
// `formOf`, for a new playlist: its section's master) are all of that kind gets
// one more of the same kind.
void appendItem(MHSD_P& section, MHYP& playlist, std::int32_t trackId, std::int32_t position, const MHYP* formOf = nullptr)
{
    const auto n = static_cast<std::size_t>(std::max(playlist.iPlaylistItemsCount, 0));
    const MHYP& model = formOf ? *formOf : playlist;
    const auto known = validEntries(model.m_mhip, model.iPlaylistItemsCount);
    const bool withoutRecords = !known.empty() && std::all_of(known.begin(), known.end(), [](const MHIP& item) { return item.iChildCount == 0; });
    MHIP item;
    item.sID = u"mhip";
    item.iHeaderSize = withoutRecords ? known.back().iHeaderSize : kItemHeaderSize;
    item.iTotalSize = withoutRecords ? item.iHeaderSize : kItemHeaderSize + kItemRecordSize;
    item.iChildCount = withoutRecords ? 0 : 1;
    item.iGroupID = trackId;
    item.iTrackID = trackId;
    MHOD_POE data;
    if (!withoutRecords) {
        data.sID = u"mhod";
        data.iHeaderSize = 24;
        data.iTotalSize = kItemRecordSize;
        data.iType = 100;
        data.iPosition = position;
        data.sUnk3 = std::string(16, '\0');
    }
    const std::int32_t added = item.iTotalSize;

    playlist.m_mhip.resize(n + 1);
    playlist.m_mhod_poe.resize(n + 1);
    playlist.m_mhip[n] = std::move(item);
    playlist.m_mhod_poe[n] = std::move(data);
    playlist.iTotlaSize += added;
    section.iTotalSize += added;
    playlist.iPlaylistItemsCount = static_cast<std::int32_t>(n + 1);
}

}  // namespace

std::int32_t clsSonarchive::NextTrackID()
{
    const std::int32_t highest = m_trackIds.highestID(m_MHSD_T.m_mhlt);
    if (highest == std::numeric_limits<std::int32_t>::max())
        throw AddError("Overflow: no track identifier is left");
    return highest + 1;
}

std::int64_t clsSonarchive::GetLibraryID()
{
    if (const auto known = m_trackIds.libraryID(m_MHSD_T.m_mhlt))
        return *known;
    // None yet: a random number plus today's date, as a fixed-point value with four decimals.
    const auto today = std::chrono::year_month_day(std::chrono::floor<std::chrono::days>(std::chrono::system_clock::now()));
    const double r = std::uniform_real_distribution<double>(0.0, 1.0)(m_random);
    const double value = r * 1e9 + static_cast<unsigned>(today.day()) + static_cast<unsigned>(today.month()) +
                         static_cast<int>(today.year());
    return std::llround(value * 10000.0);
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
        throw AddError(toUtf8(siPodPath) + " is not on the device");
    // otherwise a relative path: taken as below the drive root
    std::u16string location;
    for (const fs::path& element : path) {
        if (element.empty() || element == "/" || element == ".")
            continue;
        location += u":" + fromUtf8(element.string());
    }
    if (location.empty())
        throw AddError("no file is named by the device path '" + toUtf8(siPodPath) + "'");
    return location;
}

// Copies the file into a new place on the device and gives its location.
// False when the copy was cancelled; throws when it failed. Either way nothing
// of the attempt is left on the device.
bool clsSonarchive::copyToDevice(const std::u16string& sFilePath, const TrackInfo& Info, std::u16string& location)
{
    const fs::path source = toUtf8(sFilePath);
    DevicePlacement placement = ChooseDevicePath(trimmed(Info.sFiletype));
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
    for (char& c : placement.devicePath)
        if (c == '/')
            c = ':';
    location = fromUtf8(placement.devicePath);
    return true;
}

std::int32_t clsSonarchive::addNewTrack(const std::u16string& sFilePath, const TrackInfo& Info, bool bSkipCopy,
                                        const std::u16string& siPodPath)
{
    if (m_MHSD_T.sID.empty())
        throw AddError("The database has no track section to add the track to");
    firstPlaylist(m_playlists, "playlist");
    // Early devices have no podcast section: their tracks go into the playlists only.
    std::vector<MHSD_P*> sections = {&m_playlists};
    if (!m_podcasts.sID.empty()) {
        firstPlaylist(m_podcasts, "podcast playlist");
        sections.push_back(&m_podcasts);
    }

    MHIT track;
    track.sID = u"mhit";
    track.iHeaderSize = kTrackHeaderSize;
    track.iUniqueID = NextTrackID();
    track.iVisible = 1;
    track.sFiletype = Info.sFiletype.size() >= 4 ? Info.sFiletype : Info.sFiletype + u" ";
    track.iType1 = Info.IsVBR;
    track.iType2 = Info.sFiletype == u"MP3" ? 1 : 0;
    track.iTrackSize = Info.iFileSize;
    track.iTrackTimeLength = Info.iTrackTimLength;
    track.iTrackNumber = Info.iTrackNumber;
    track.iDiscNumber = Info.iDiscNumber;
    track.sTrackYear = yearField(Info.sYear);
    track.iBitrate = Info.iBitrateInKbs;
    const std::int64_t sampleRate = std::int64_t(Info.iSampleRateInHz) * 32768;
    if (sampleRate > std::numeric_limits<std::int32_t>::max() || sampleRate < std::numeric_limits<std::int32_t>::min())
        throw AddError("Overflow: a sample rate of " + std::to_string(Info.iSampleRateInHz) + " Hz does not fit the track record",
                       FailureCode::TooLarge);
    track.iSampleRate = static_cast<std::int32_t>(sampleRate);
    track.iSampleRate2 = track.iSampleRate;
    track.iStartTime = Info.iStartTime;
    track.iStopTime = Info.iStopTime;
    track.iSkipWhenShuffle = Info.iSkipWhenShuffle;
    track.iRememPlaybackPos = Info.iRememberPlayBackPos;
    track.iDB_ID = GetLibraryID();
    track.iDB_ID2 = track.iDB_ID;
    track.iUnk1 = -1;
    track.iUnk3 = 12;
    track.iHasArtwork = 2;
    track.iMovieFileFlag = Info.IsMovie;
    track.iMediaType = Info.iType;
    track.iGaplessTrackFlag = 1;

    std::vector<MHOD_S> records = textRecords(Info, sFilePath);
    std::u16string location;
    if (bSkipCopy)
        location = locationOnDevice(siPodPath);
    else if (!copyToDevice(sFilePath, Info, location))
        return 0;  // cancelled by the user: nothing was added, nothing to report
    records.push_back(stringRecord(kMhodLocation, std::move(location)));
    setRecords(track, std::move(records));

    // The file is in place: only now does the database change.
    MHLT& list = m_MHSD_T.m_mhlt;
    const auto index = static_cast<std::size_t>(std::max(list.iNumberOfllTracks, 0));
    list.m_mhit.resize(index);
    const std::int32_t id = track.iUniqueID;
    const std::int64_t libraryId = track.iDB_ID;
    m_MHSD_T.iTotalSize += track.iTotalSize;
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
        throw AddError("Subscript out of range: no track with identifier " + std::to_string(iModifiedTrackID));
    // A modification names no file, so there is nothing to copy: the location has to come from the device path.
    if (!bSkipCopy)
        throw AddError("There is no file to copy for the track being modified");

    std::vector<MHOD_S> records = textRecords(Info, sFilePath);
    records.push_back(stringRecord(kMhodLocation, locationOnDevice(siPodPath)));

    const std::int32_t oldTotal = track->iTotalSize;
    track->iRememPlaybackPos = Info.iRememberPlayBackPos;
    track->iSkipWhenShuffle = Info.iSkipWhenShuffle;
    track->iStartTime = Info.iStartTime;
    track->iStopTime = Info.iStopTime;
    track->sTrackYear = yearField(Info.sYear);
    setRecords(*track, std::move(records));
    m_MHSD_T.iTotalSize += track->iTotalSize - oldTotal;
    return track->iUniqueID;
}

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
        return fail({FailureCode::TooLarge, EFBIG,
                     "the file is " + groupedNumber(static_cast<std::int64_t>(size)) +
                         " bytes, and the iPod's database holds only files smaller than 4 GiB (4,294,967,296 bytes)"});
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
        // The device's own database, with the reader's repair questions; a
        // failed load has told the user why.
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
    } catch (const std::exception& e) {
        return fail(failureOf(e));
    }
}

std::int32_t clsSonarchive::addPlaylist(const std::u16string& name, const std::vector<std::int32_t>& trackIds)
{
    m_lastFailure = {};
    try {
        if (!m_databaseLoaded && !LoadiPodDB())
            return -1;
        ensureRecords();
        std::u16string title = cut(trimmed(name));
        if (title.empty())
            throw AddError("a playlist needs a name");
        firstPlaylist(m_playlists, "playlist");
        for (const std::int32_t id : trackIds)
            if (!findTrack(id))
                throw AddError("no track with identifier " + std::to_string(id));
        return appendPlaylist(std::move(title), trackIds);
    } catch (const std::exception& e) {
        m_lastFailure = failureOf(e);
        return -1;
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
    for (MHSD_P* section : {&m_playlists, &m_podcasts}) {
        MHLP& list = section->m_mhlp;
        if (section->sID.empty() || list.iNumberOfPlaylists < 1 || list.m_mhyp.empty())
            continue;
        // The header as the master playlist's, but for its flags, its own
        // identifier and a title record alone.
        const MHYP& master = list.m_mhyp.front();
        MHYP playlist;
        playlist.sID = u"mhyp";
        playlist.iHeaderSize = master.iHeaderSize;
        playlist.sAllData = master.sAllData;
        playlist.sUnk1 = master.sUnk1;
        playlist.sTimeStamp = master.sTimeStamp;
        playlist.iListSortOrder = master.iListSortOrder;
        playlist.sPerPlayListID = identifier;
        playlist.iMHODCount = 1;
        playlist.m_mhod_s = stringRecord(kMhodTitle, title);
        playlist.iChildsCount = 1;
        playlist.iTotlaSize = playlist.iHeaderSize + playlist.m_mhod_s.iTotalSize;

        const auto at = static_cast<std::size_t>(list.iNumberOfPlaylists);
        list.m_mhyp.resize(at);
        list.m_mhyp.push_back(std::move(playlist));
        list.iNumberOfPlaylists = static_cast<std::int32_t>(at + 1);
        section->iTotalSize += list.m_mhyp.back().iTotlaSize;
        std::int32_t position = 0;
        for (const std::int32_t id : trackIds)
            appendItem(*section, list.m_mhyp.back(), id, ++position, &list.m_mhyp.front());
        if (section == &m_playlists)
            index = static_cast<std::int32_t>(at);
    }
    return index;
}

}  // namespace sonarchive
