#pragma once

#include "CopyPlan.h"

#include <sonarchive/Artwork.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace trackcopy {

// A destination folder that holds the tracks of exactly one album after a
// copy, with those tracks in the order they were copied.
struct AlbumFolder {
    std::filesystem::path folder;
    std::vector<const sonarchive::TrackInfo*> tracks;
};

// The folders of a finished copy whose tracks (those copied, or left because
// their copy was there) all have one album, named. A folder holding tracks of
// two albums, or of none, has no album cover.
std::vector<AlbumFolder> albumFolders(const CopyPlan& plan, const CopyResult& result);

// The name of an album's cover file in its folder.
inline constexpr const char* kAlbumCoverName = "cover.jpg";

struct AlbumCoverResult {
    std::size_t written = 0;
    std::size_t kept = 0;  // a cover.jpg was there already
    std::vector<std::string> failures;
};

// Writes cover.jpg into each folder: the cover of its first track that has
// one, made into JPEG bytes by `encode`. A cover.jpg already there is replaced
// only when `replace` is set. Each file is written beside its place and renamed
// into it, so a failure leaves no half file.
AlbumCoverResult writeAlbumCovers(const std::vector<AlbumFolder>& folders, const sonarchive::ArtworkDatabase& covers,
                                  const std::function<std::string(const sonarchive::Cover&)>& encode, bool replace);

// The front cover each item of a plan gets in its copy (when the copy has no
// picture of its own): its track's cover from the device's artwork database,
// made into JPEG bytes by `encode` once for each picture (an album shares one);
// nothing for a track without one. `covers` must outlive the lookup.
CopyTagger::CoverLookup embeddedCovers(const CopyPlan& plan, const sonarchive::ArtworkDatabase& covers,
                                       std::function<std::string(const sonarchive::Cover&)> encode);

// Bytes into a file, written beside it under a short temporary name, flushed
// and renamed into place; false with the reason in `error` when that fails
// (nothing is left behind).
bool writeFileWhole(const std::filesystem::path& path, const std::string& bytes, std::string& error);

}  // namespace trackcopy
