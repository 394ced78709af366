// Gives the tracks of a demo device covers, as the device's own software keeps
// them: a picture for each album (drawn here), stored in the artwork database
// as one image per track of the album, 100x100 and 200x200, linked by the
// track's database identifier, and the tracks' artwork flags set. Tracks
// without an album get none. Tracks added by the library share one database
// identifier; each track with a cover gets one of its own, as the device's
// software gives them.
//   make-demo-covers DEVICE_ROOT
#include "ArtworkBuilder.h"
#include "TempDir.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iostream>
#include <map>
#include <string>
#include <vector>

using namespace testsupport;

namespace {

std::int32_t i32(const std::string& bytes, std::size_t at)
{
    return readI32(bytes, at);
}

struct DemoTrack {
    std::size_t recordAt = 0;
    std::u16string album;
};

// The tracks of the device's database: where each record starts and its album
// (string record of kind 3).
std::vector<DemoTrack> tracksOf(const std::string& db)
{
    std::vector<DemoTrack> tracks;
    std::size_t section = static_cast<std::size_t>(i32(db, 4));
    for (std::int32_t s = 0, sections = i32(db, 20); s < sections; ++s) {
        if (i32(db, section + 12) == 1) {
            const std::size_t list = section + static_cast<std::size_t>(i32(db, section + 4));
            std::size_t track = list + static_cast<std::size_t>(i32(db, list + 4));
            for (std::int32_t t = 0, count = i32(db, list + 8); t < count; ++t) {
                DemoTrack demo{track, {}};
                std::size_t record = track + static_cast<std::size_t>(i32(db, track + 4));
                for (std::int32_t r = 0, records = i32(db, track + 12); r < records; ++r) {
                    if (i32(db, record + 12) == 3)
                        for (std::int32_t k = 0; k + 1 < i32(db, record + 28); k += 2)
                            demo.album.push_back(static_cast<char16_t>(static_cast<std::uint8_t>(db.at(record + 40 + k)) |
                                                                       static_cast<std::uint8_t>(db.at(record + 41 + k)) << 8));
                    record += static_cast<std::size_t>(i32(db, record + 8));
                }
                tracks.push_back(std::move(demo));
                track += static_cast<std::size_t>(i32(db, track + 8));
            }
        }
        section += static_cast<std::size_t>(i32(db, section + 8));
    }
    return tracks;
}

struct Colour {
    double r, g, b;
};

Colour mix(Colour a, Colour b, double t)
{
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

// An album's picture: a sky of two colours over a disc of light with rings,
// in RGB565 as the device stores it.
std::string drawCover(std::size_t album, int size)
{
    static const Colour skies[][2] = {{{0.98, 0.55, 0.24}, {0.45, 0.10, 0.35}}, {{0.20, 0.55, 0.85}, {0.05, 0.12, 0.35}},
                                      {{0.95, 0.25, 0.55}, {0.15, 0.05, 0.30}}, {{0.55, 0.80, 0.55}, {0.10, 0.30, 0.25}},
                                      {{0.98, 0.85, 0.35}, {0.80, 0.25, 0.15}}, {{0.70, 0.75, 0.85}, {0.20, 0.22, 0.35}}};
    const Colour* sky = skies[album % 6];
    const Colour light = {1.0, 0.96, 0.88};
    std::string bytes;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const double u = (x + 0.5) / size, v = (y + 0.5) / size;
            Colour c = mix(sky[0], sky[1], v);
            const double d = std::hypot(u - 0.5, v - 0.46 - 0.04 * double(album % 3));
            if (d < 0.27)
                c = mix(light, c, 0.15 + 0.25 * (std::fmod(d * (14 + 2 * double(album)), 1.0) < 0.5 ? 1 : 0));
            if (v > 0.78)
                c = mix(c, {0.05, 0.05, 0.08}, 0.65);
            const auto channel = [](double value, int bits) {
                return static_cast<int>(std::lround(std::clamp(value, 0.0, 1.0) * ((1 << bits) - 1)));
            };
            const int pixel = channel(c.r, 5) << 11 | channel(c.g, 6) << 5 | channel(c.b, 5);
            bytes.push_back(static_cast<char>(pixel & 0xFF));
            bytes.push_back(static_cast<char>(pixel >> 8));
        }
    return bytes;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: make-demo-covers DEVICE_ROOT\n";
        return 2;
    }
    const std::filesystem::path root = argv[1];
    const std::filesystem::path file = root / "iPod_Control/iTunes/Sonarchive";
    try {
        std::string db = readFile(file);
        std::map<std::u16string, std::size_t> albums;  // album -> its picture
        ArtworkFixture artwork;
        for (const DemoTrack& track : tracksOf(db)) {
            if (track.album.empty())
                continue;
            const std::size_t album = albums.try_emplace(track.album, albums.size()).first->second;
            PictureFixture small = picture(1028, 100, 100), large = picture(1029, 200, 200);
            small.raw = drawCover(album, 100);
            large.raw = drawCover(album, 200);
            const std::int64_t databaseId = 0x5A17000000000000 + static_cast<std::int64_t>(artwork.images.size());
            artwork.images.push_back({.imageId = static_cast<std::int32_t>(100 + artwork.images.size()), .songId = databaseId,
                                      .pictures = {small, large}});
            db.replace(track.recordAt + 112, 8, le64(databaseId));
            db.at(track.recordAt + 164) = 1;  // the track has a cover
        }
        installArtwork(root, buildArtwork(artwork));
        writeFile(file, db);
        std::cout << artwork.images.size() << " tracks of " << albums.size() << " albums have covers\n";
    } catch (const std::exception& e) {
        std::cerr << "make-demo-covers: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
