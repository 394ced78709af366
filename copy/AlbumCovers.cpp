#include "AlbumCovers.h"

#include "FileCopy.h"

#include <sonarchive/ByteText.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <system_error>

#include <unistd.h>

namespace trackcopy {

namespace fs = std::filesystem;
using sonarchive::TrackInfo;

std::vector<AlbumFolder> albumFolders(const CopyPlan& plan, const CopyResult& result)
{
    std::vector<AlbumFolder> folders;
    std::map<fs::path, std::size_t> byFolder;  // folder -> its entry
    std::vector<bool> mixed;
    for (std::size_t i = 0; i < plan.items().size() && i < result.items.size(); ++i) {
        const ItemResult& item = result.items[i];
        if (item.outcome != ItemOutcome::Copied && item.outcome != ItemOutcome::Skipped)
            continue;  // no file of it there
        const TrackInfo* track = plan.itemInfos()[i];
        const fs::path folder = item.destination.parent_path();
        const auto [entry, added] = byFolder.try_emplace(folder, folders.size());
        if (added) {
            folders.push_back({folder, {}});
            mixed.push_back(false);
        }
        AlbumFolder& album = folders[entry->second];
        if (track->sAlbum.empty() || (!album.tracks.empty() && album.tracks.front()->sAlbum != track->sAlbum))
            mixed[entry->second] = true;
        album.tracks.push_back(track);
    }
    std::vector<AlbumFolder> albums;
    for (std::size_t i = 0; i < folders.size(); ++i)
        if (!mixed[i])
            albums.push_back(std::move(folders[i]));
    return albums;
}

bool writeFileWhole(const fs::path& path, const std::string& bytes, std::string& error)
{
    try {
        sonarchive::writeUnderTemporaryName(path, true, 0666, [&bytes](int fd, const fs::path&) {
            for (std::size_t done = 0; done < bytes.size();) {
                const ssize_t put = ::write(fd, bytes.data() + done, bytes.size() - done);
                if (put < 0 && errno == EINTR)
                    continue;
                if (put <= 0)
                    throw std::system_error(put < 0 ? errno : ENOSPC, std::generic_category());
                done += static_cast<std::size_t>(put);
            }
            return true;
        });
        return true;
    } catch (const sonarchive::Error& e) {
        error = "cannot write " + path.string() + (e.number() ? ": " + std::string(std::strerror(e.number())) : "");
    } catch (const std::system_error& e) {
        error = "cannot write " + path.string() + ": " + std::strerror(e.code().value());
    }
    return false;
}

AlbumCoverResult writeAlbumCovers(const std::vector<AlbumFolder>& folders, const sonarchive::ArtworkDatabase& covers,
                                  const std::function<std::string(const sonarchive::Cover&)>& encode, bool replace)
{
    AlbumCoverResult result;
    for (const AlbumFolder& album : folders) {
        std::optional<sonarchive::Cover> cover;
        for (const TrackInfo* track : album.tracks)
            if ((cover = covers.cover(*track)))
                break;
        if (!cover)
            continue;
        const fs::path path = album.folder / kAlbumCoverName;
        std::error_code ec;
        if (!replace && fs::exists(path, ec)) {
            ++result.kept;
            continue;
        }
        std::string error;
        try {
            if (writeFileWhole(path, encode(*cover), error)) {
                ++result.written;
                continue;
            }
        } catch (const std::exception& e) {
            error = "cannot make " + path.string() + ": " + e.what();
        }
        result.failures.push_back(error);
    }
    return result;
}

CopyTagger::CoverLookup embeddedCovers(const CopyPlan& plan, const sonarchive::ArtworkDatabase& covers,
                                       std::function<std::string(const sonarchive::Cover&)> encode)
{
    // The tracks of an album link to one picture: its bytes are made once.
    auto made = std::make_shared<std::map<std::pair<std::int32_t, std::int64_t>, std::string>>();
    return [&plan, &covers, encode = std::move(encode), made](std::size_t item) -> std::string {
        if (item >= plan.itemInfos().size())
            return {};
        const sonarchive::TrackInfo& track = plan.itemInfo(item);
        if (!covers.hasCover(track))
            return {};
        const auto key = track.iArtworkID != 0 ? std::make_pair(track.iArtworkID, std::int64_t(0)) : std::make_pair(0, track.iDatabaseID);
        if (const auto found = made->find(key); found != made->end())
            return found->second;
        const std::optional<sonarchive::Cover> cover = covers.cover(track);
        std::string bytes = cover ? encode(*cover) : std::string();
        made->emplace(key, bytes);
        return bytes;
    };
}

}  // namespace trackcopy
