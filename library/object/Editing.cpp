// Changing and deleting tracks in memory; the file changes on the next write.

#include "Error.h"
#include "RecordEdits.h"
#include "clsSonarchive.h"

#include <stdexcept>
#include <system_error>

namespace sonarchive {

namespace fs = std::filesystem;

namespace {

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

// Always false, as the interface has always answered; an unknown track is an
// error that reaches the caller.
bool clsSonarchive::ModifyTrack(std::int32_t& iTrackID, TrackInfo& Info)
{
    MHIT* track = findTrack(iTrackID);
    if (!track)
        throw std::out_of_range("Subscript out of range: no track with identifier " + std::to_string(iTrackID));
    m_db.tracks.iTotalSize += applyTrackInfo(*track, Info);
    return false;
}

void clsSonarchive::DeleteTrack(std::int32_t& iTrackID)
{
    // -1 is the deletion mark itself: "deleting" it again would count marked
    // tracks and items twice and make the written counts wrong.
    if (iTrackID == -1)
        return;
    const std::int32_t id = iTrackID;
    MHIT* track = findTrack(id);
    if (track) {
        const std::int64_t position = positionOf(id);
        track->iUniqueID = -1;
        m_trackIndex.moved(position, id, -1);
        m_trackIds.removed(id);
        m_db.tracks.iTotalSize -= track->iTotalSize;
        ++iDeletedTracks;
    }
    for (MHSD_P* section : {&m_db.playlists, &m_db.podcasts})
        markItemsDeleted(*section, id);
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
    std::replace(relative.begin(), relative.end(), ':', '/');
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
