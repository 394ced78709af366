#pragma once

#include "DatabaseBuilder.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

// Builds the device's artwork database ("ArtworkDB") and its picture files
// (".ithmb") for tests, independently of the library's reader. Pictures are
// RGB565, little-endian; each is drawn as four quadrants of the image's
// colours (top left, top right, bottom left, bottom right), so a test can tell
// images apart and find a wrong row length or byte order at the corners.

// Colours of the quadrants, as RGB565.
using Quadrants = std::array<std::uint16_t, 4>;
inline constexpr Quadrants kPrimaries = {0xF800, 0x07E0, 0x001F, 0xFFFF};  // red, green, blue, white

struct PictureFixture {
    std::int32_t formatId = 1029;
    std::uint16_t width = 200;
    std::uint16_t height = 200;
    std::uint32_t rowBytes = 0;          // 0: width x 2; more pads each row with 0xAB bytes
    std::optional<std::uint32_t> size;   // the size the record gives; default: rowBytes x height
    std::string file;                    // the name record's text; default ":F<format>_1.ithmb"
    std::int32_t nameEncoding = 2;       // 2 UTF-16LE, 1 UTF-8
    bool named = true;                   // false: no name record at all
    std::int16_t verticalPadding = 0, horizontalPadding = 0;
    std::optional<std::string> raw;      // the picture's bytes as they are (photo formats)
};

struct ImageFixture {
    std::int32_t imageId = 100;
    std::int64_t songId = 0;
    Quadrants colours = kPrimaries;
    std::vector<PictureFixture> pictures;
};

struct ArtworkFixture {
    std::vector<ImageFixture> images;
    std::int32_t databaseHeaderSize = 132;
    std::int32_t imageHeaderSize = 152;
    std::int32_t thumbnailHeaderSize = 76;
};

// The files of an artwork fixture, and where the builder put its records.
struct ArtworkFiles {
    std::string database;
    std::map<std::string, std::string> pictureFiles;  // path below the artwork folder ("F1029_1.ithmb") -> bytes
    std::vector<std::int64_t> imageAt;                // where each image item starts in the database
    std::vector<std::vector<std::int64_t>> thumbnailAt;    // where each thumbnail record starts
    std::vector<std::vector<std::uint32_t>> pictureAt;     // where each picture starts in its file
};

ArtworkFiles buildArtwork(const ArtworkFixture& fixture);

// Writes the database and picture files into iPod_Control/Artwork below the drive root;
// with `upperCase` the names of the Artwork folder, the database and the picture
// files in capitals.
void installArtwork(const std::filesystem::path& driveRoot, const ArtworkFiles& files, bool upperCase = false);

// Pictures of the formats the devices keep covers in.
PictureFixture picture(std::int32_t formatId, std::uint16_t width, std::uint16_t height);

// The layouts the devices write:
// one image per track with pictures 1028 100x100 and 1029 200x200;
std::vector<PictureFixture> nanoFormats();
// one image per track with pictures 1027 100x100 and 1031 42x42;
std::vector<PictureFixture> smallFormats();
// one image per album with pictures 1055 and 1068 128x128, 1060 320x320, 1061 56x56.
std::vector<PictureFixture> albumFormats();

// Links a track to its cover: its database identifier (offset 112), its
// artwork flag (offset 164: 1 has a cover, 2 has none) and, when given, the
// image id at offset 352 (the track header must hold it).
void linkArtwork(TrackFixture& track, std::int64_t databaseId, std::uint8_t hasArtwork = 1,
                 std::optional<std::int32_t> imageId = std::nullopt);

// RGB565 of 8-bit channels (the top bits of each).
constexpr std::uint16_t rgb565(int r, int g, int b)
{
    return static_cast<std::uint16_t>((r >> 3) << 11 | (g >> 2) << 5 | (b >> 3));
}

std::string le64(std::int64_t value);

}  // namespace testsupport
