#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sonarchive {

// The device keeps its own copy of every cover in iPod_Control/Artwork: the
// artwork database "ArtworkDB" (a chunk file like the track database) says
// which pictures each image has and where they lie in the picture files
// (".ithmb"). All integers are little-endian.
//
//   mhfd  +4 header size, +8 total size, +20 number of sections
//   mhsd  +4 header size, +8 total size, +12 type (1 images, 2 albums, 3 files);
//         its list header at section start + header size
//   mhli  +4 header size, +8 number of image items
//   mhii  +4 header size, +8 total size, +12 children, +16 image id (32-bit),
//         +20 song id (64-bit: a track's database identifier), +48 source size
//   mhod  +4 header size, +8 total size, +12 type (16-bit); type 2 holds a
//         thumbnail record right after its header
//   mhni  +4 header size, +8 total size, +12 children, +16 format id,
//         +20 offset in the picture file, +24 size there, +28 vertical and
//         +30 horizontal padding (16-bit signed), +32 height, +34 width (16-bit)
//   mhod  type 3 below a thumbnail names its picture file: +24 length in
//         bytes, +28 encoding (1 UTF-8, 2 UTF-16LE), the text from +36, such
//         as ":F1029_1.ithmb" (below iPod_Control/Artwork, colon-separated)

// One stored picture of an image.
struct ThumbnailRecord {
    std::int32_t formatId = 0;  // such as 1029
    std::uint32_t offset = 0;   // where the picture starts in its file
    std::uint32_t size = 0;     // its bytes there
    std::int16_t verticalPadding = 0;
    std::int16_t horizontalPadding = 0;
    std::uint16_t height = 0;
    std::uint16_t width = 0;
    std::string fileName;        // the picture file's name, UTF-8 (":F1029_1.ithmb")
    std::int32_t nameEncoding = 0;  // of the name record; 0 when there is none
    std::int64_t recordAt = 0;   // where the thumbnail record starts in the database
};

// An image item: one cover and its stored pictures.
struct ImageRecord {
    std::int32_t imageId = 0;
    std::int64_t songId = 0;
    std::int32_t sourceSize = 0;
    std::vector<ThumbnailRecord> thumbnails;
};

// The image items of an artwork database, in file order. Sections of other
// types are stepped over by their sizes. Throws FormatError at the first
// damage, naming its byte.
std::vector<ImageRecord> readArtworkImages(std::string_view file);

}  // namespace sonarchive
