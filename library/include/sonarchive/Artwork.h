#pragma once

#include <sonarchive/Export.h>
#include "TrackInfo.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sonarchive {

// A cover as 8-bit RGB: `width` x `height` pixels, row after row, three bytes
// a pixel (red, green, blue), no padding.
struct Cover {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;

    friend bool operator==(const Cover&, const Cover&) = default;
};

// Something of the device's artwork that was left out: the file, the byte
// where reading stopped in it (-1 when the file as a whole is at fault) and
// plain words, such as "at byte 1,024: image item size 9 (...)".
struct ArtworkWarning {
    std::string file;
    std::int64_t offset = -1;
    std::string message;
};

// The covers the device keeps for its tracks in iPod_Control/Artwork: the
// artwork database names, for each image, pictures of several sizes in the
// picture files beside it. A track's cover is the largest picture of its
// image, decoded from the device's 16-bit pixels.
//
// A missing artwork database means no covers. A damaged database, a missing or
// damaged picture file, or pictures that are not 16 bits a pixel never make a
// load fail: what they hold is left out and a warning says where, once for
// each file (and once for each picture format skipped).
//
// One object is used from one thread at a time.
class SONARCHIVE_EXPORT ArtworkDatabase {
public:
    ArtworkDatabase();  // no covers
    ~ArtworkDatabase();
    ArtworkDatabase(ArtworkDatabase&&) noexcept;
    ArtworkDatabase& operator=(ArtworkDatabase&&) noexcept;

    // Reads iPod_Control/Artwork/ArtworkDB below the drive root, path elements
    // in any letter case. Never throws for what the device holds.
    static ArtworkDatabase load(const std::filesystem::path& driveRoot);
    // The same from the database's bytes, as if read from `databaseFile`;
    // picture files are still looked for below the drive root.
    static ArtworkDatabase decode(std::string_view bytes, const std::filesystem::path& driveRoot,
                                  const std::string& databaseFile = "ArtworkDB");

    // The number of images in the database.
    std::size_t imageCount() const;

    // Whether the track has a cover: its artwork flag says so (1), and it links
    // to an image with a picture that can be read. The link is the image id the
    // track record holds at offset 352 (TrackInfo::iArtworkID), else the image
    // whose song id is the track's database identifier.
    bool hasCover(const TrackInfo& track) const;

    // The track's cover, read from its picture file now; none when it has no
    // cover or its picture can't be read (a warning then says why).
    std::optional<Cover> cover(const TrackInfo& track) const;

    // The warnings gathered since the last call.
    std::vector<ArtworkWarning> takeWarnings();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace sonarchive
