// Covers for 2,000 albums, as a copy with covers reads them: the artwork
// database loaded, then each album's cover read and decoded from one picture
// file of about 60 MB (the album layout: a 128x128 picture of format 1055 per
// album in F1055_1.ithmb, and a 56x56 one in F1061_1.ithmb beside it).
#include "ArtworkBuilder.h"
#include "TempDir.h"

#include <sonarchive/Artwork.h>

#include <benchmark/benchmark.h>

#include <filesystem>

using namespace sonarchive;
namespace fs = std::filesystem;

namespace {

constexpr int kAlbums = 2000;

struct ArtworkDevice {
    testsupport::TempDir dir;
    std::vector<TrackInfo> albums;  // one track of each album, linked by image id

    ArtworkDevice()
    {
        testsupport::ArtworkFixture artwork;
        for (int i = 0; i < kAlbums; ++i) {
            const auto colour = static_cast<std::uint16_t>(i * 37);
            artwork.images.push_back({.imageId = 1000 + i, .songId = 500000 + i, .colours = {colour, 0xF800, 0x07E0, colour},
                                      .pictures = {testsupport::picture(1055, 128, 128), testsupport::picture(1061, 56, 56)}});
            TrackInfo track;
            track.iTrackID = i + 1;
            track.iHasArtwork = 1;
            track.iArtworkID = 1000 + i;
            albums.push_back(track);
        }
        testsupport::installArtwork(dir.path(), testsupport::buildArtwork(artwork));
    }
    double pictureFileMegabytes() const { return static_cast<double>(fs::file_size(dir.path() / "iPod_Control/Artwork/F1055_1.ithmb")) / 1e6; }
};

const ArtworkDevice& device()
{
    static const ArtworkDevice made;
    return made;
}

void AlbumCovers(benchmark::State& state)
{
    const ArtworkDevice& d = device();
    for (auto _ : state) {
        const ArtworkDatabase covers = ArtworkDatabase::load(d.dir.path());
        std::size_t pixels = 0;
        for (const TrackInfo& album : d.albums) {
            const std::optional<Cover> cover = covers.cover(album);
            if (!cover || cover->width != 128) {
                state.SkipWithError("a cover was not read");
                break;
            }
            pixels += cover->rgb.size() / 3;
        }
        benchmark::DoNotOptimize(pixels);
    }
    state.counters["albums"] = kAlbums;
    state.counters["ithmb_MB"] = d.pictureFileMegabytes();
}
BENCHMARK(AlbumCovers)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
