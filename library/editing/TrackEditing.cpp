// Changing and deleting tracks in memory, keeping every size and count that the
// writer relies on consistent.

#include "StringRecordLayout.h"
#include "clsSonarchive.h"

#include <array>
#include <stdexcept>
#include <system_error>

namespace sonarchive {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kAppendedTextLimit = 500;  // UTF-16 units kept in a record that is added

struct TextKind {
    std::int32_t type;
    std::u16string TrackInfo::*text;
};

// The order in which missing records are appended.
constexpr std::array<TextKind, 6> kTextKinds = {{{kMhodTitle, &TrackInfo::sTitle},
                                                 {kMhodAlbum, &TrackInfo::sAlbum},
                                                 {kMhodArtist, &TrackInfo::sArtist},
                                                 {kMhodComment, &TrackInfo::sComment},
                                                 {kMhodComposer, &TrackInfo::sComposer},
                                                 {kMhodGenre, &TrackInfo::sGenre}}};

void makeStandard(MHOD_S& record)
{
    record.sID = u"mhod";
    record.iHeaderSize = 24;
    record.iLength = static_cast<std::int32_t>(record.sString.size() * 2);
    record.iPosition = 1;
    record.iUnk3 = 1;
    record.iTotalSize = record.iLength + 40;
}

bool isInside(const fs::path& path, const fs::path& folder)
{
    const auto rel = path.lexically_relative(folder);
    return !rel.empty() && *rel.begin() != ".." && rel != ".";
}

std::uintmax_t totalFileSize(const fs::path& folder)
{
    std::uintmax_t total = 0;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file())
            total += entry.file_size();
    }
    return total;
}

}  // namespace

bool clsSonarchive::ModifyTrack(std::int32_t& iTrackID, TrackInfo& Info)
{
    ensureRecords();
    MHIT* track = findTrack(iTrackID);
    if (!track)
        throw std::out_of_range("Subscript out of range: no track with identifier " + std::to_string(iTrackID));
    const std::int32_t oldTotal = track->iTotalSize;

    track->iRememPlaybackPos = Info.iRememberPlayBackPos;
    track->iSkipWhenShuffle = Info.iSkipWhenShuffle;
    track->iStartTime = Info.iStartTime;
    track->iStopTime = Info.iStopTime;
    track->iType1 = Info.IsVBR;
    track->sTrackYear = yearField(Info.sYear);

    // Only records of the usual layout are rewritten; others keep their bytes
    // (and their size) as read, so data of other layouts is never corrupted.
    track->m_mhod.resize(validEntries(track->m_mhod, track->iNumberOfMHODS).size());
    std::array<bool, kTextKinds.size()> present{};
    for (MHOD_S& record : track->m_mhod) {
        if (!hasStandardLayout(record))
            continue;
        for (std::size_t k = 0; k < kTextKinds.size(); ++k) {
            if (record.iType == kTextKinds[k].type) {
                record.sString = Info.*(kTextKinds[k].text);
                present[k] = true;
            }
        }
        makeStandard(record);
    }
    for (std::size_t k = 0; k < kTextKinds.size(); ++k) {
        if (present[k])
            continue;
        MHOD_S record;
        record.iType = kTextKinds[k].type;
        record.sString = (Info.*(kTextKinds[k].text)).substr(0, kAppendedTextLimit);
        makeStandard(record);
        track->m_mhod.push_back(std::move(record));
    }

    track->iNumberOfMHODS = static_cast<std::int32_t>(track->m_mhod.size());
    std::int64_t total = track->iHeaderSize;
    for (const MHOD_S& record : track->m_mhod)
        total += record.iTotalSize;
    track->iTotalSize = static_cast<std::int32_t>(total);
    m_MHSD_T.iTotalSize += track->iTotalSize - oldTotal;
    return false;
}

void clsSonarchive::DeleteTrack(std::int32_t& iTrackID)
{
    // -1 is the deletion mark itself: "deleting" it again would count marked
    // tracks and items twice and make the written counts wrong.
    if (iTrackID == -1)
        return;
    const std::int32_t id = iTrackID;
    ensureRecords();

    const std::int64_t index = m_trackIndex.find(m_MHSD_T.m_mhlt, id);
    MHIT* track = index < 0 ? nullptr : &m_MHSD_T.m_mhlt.m_mhit[static_cast<std::size_t>(index)];
    if (track) {
        track->iUniqueID = -1;
        m_trackIndex.moved(index, id, -1);
        m_trackIds.removed(id);
        m_MHSD_T.iTotalSize -= track->iTotalSize;
        ++iDeletedTracks;
    }

    for (MHSD_P* section : {&m_playlists, &m_podcasts}) {
        for (MHYP& playlist : validEntries(section->m_mhlp.m_mhyp, section->m_mhlp.iNumberOfPlaylists)) {
            for (MHIP& item : validEntries(playlist.m_mhip, playlist.iPlaylistItemsCount)) {
                if (item.iTrackID != id)
                    continue;
                item.iTrackID = -1;
                ++playlist.iMHYPs2Delete;
                playlist.iTotlaSize -= item.iTotalSize;
                section->iTotalSize -= item.iTotalSize;
            }
        }
    }

    if (!track)
        return;
    for (const MHOD_S& record : validEntries(track->m_mhod, track->iNumberOfMHODS)) {
        if (record.iType == kMhodLocation) {
            removeMediaFile(record.sString);
            return;
        }
    }
    // Without a location there is no file to remove.
}

// Deletes a track's media file and, when nothing is left in it, its folder. Only
// files strictly inside the device's iPod_Control folder are touched: a location
// pointing elsewhere is ignored. Every failure ends this silently.
bool clsSonarchive::removeMediaFile(const std::u16string& location)
{
    std::error_code ec;
    std::string relative = toUtf8(location);
    for (char& c : relative)
        if (c == ':')
            c = '/';
    const fs::path root = toUtf8(siPodDrive);
    if (siPodDrive.empty() || relative.empty())
        return false;

    const fs::path fence = fs::weakly_canonical(devicePath(u"iPod_Control"), ec);
    if (ec)
        return false;
    const fs::path music = fs::weakly_canonical(devicePath(u"iPod_Control/Music"), ec);
    const fs::path file = fs::weakly_canonical(m_paths.resolve(root, relative), ec);
    if (ec || !isInside(file, fence) || !fs::is_regular_file(fs::symlink_status(file, ec)))
        return false;

    fs::permissions(file, fs::perms::owner_write, fs::perm_options::add, ec);  // a read-only file goes too
    if (!fs::remove(file, ec) || ec)
        return false;
    m_paths.clear();

    const fs::path folder = file.parent_path();
    if (!isInside(folder, fence) || folder == music)
        return true;
    try {
        if (totalFileSize(folder) == 0)
            fs::remove(folder, ec);  // not forced: a folder that still holds anything stays
    } catch (const fs::filesystem_error&) {
        // the folder can't be examined: leave it
    }
    return true;
}

}  // namespace sonarchive
