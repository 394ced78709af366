#include "ArtworkBuilder.h"
#include "TempDir.h"

#include <AlbumCovers.h>
#include <BatchCopy.h>
#include <CopyPlan.h>
#include <CoverEncoding.h>
#include <sonarchive/ByteText.h>

#include <gtest/gtest.h>

#include <cstdio>

#include <jpeglib.h>
#include <png.h>

using namespace trackcopy;
using namespace testsupport;
using sonarchive::ArtworkDatabase;
using sonarchive::Cover;
using sonarchive::TrackInfo;
namespace fs = std::filesystem;

namespace {

class Overwrite final : public CopyObserver {
public:
    ReplaceAnswer askReplace(const fs::path&) override { return ReplaceAnswer::Yes; }
};

// Decodes JPEG bytes with libjpeg into 8-bit RGB.
Cover decodeJpeg(const std::string& bytes)
{
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    Cover cover{static_cast<int>(info.output_width), static_cast<int>(info.output_height), {}};
    cover.rgb.resize(std::size_t(cover.width) * cover.height * 3);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = cover.rgb.data() + std::size_t(info.output_scanline) * cover.width * 3;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return cover;
}

Cover decodePng(const std::string& bytes)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    EXPECT_TRUE(png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()));
    image.format = PNG_FORMAT_RGB;
    Cover cover{static_cast<int>(image.width), static_cast<int>(image.height), {}};
    cover.rgb.resize(PNG_IMAGE_SIZE(image));
    EXPECT_TRUE(png_image_finish_read(&image, nullptr, cover.rgb.data(), 0, nullptr));
    return cover;
}

// A cover of four quadrants: red, green, blue, white.
Cover quadrants(int size)
{
    Cover c{size, size, std::vector<std::uint8_t>(std::size_t(size) * size * 3)};
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const int q = (y >= size / 2 ? 2 : 0) + (x >= size / 2 ? 1 : 0);
            const std::uint8_t rgb[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
            std::copy(rgb[q], rgb[q] + 3, c.rgb.begin() + (std::ptrdiff_t(y) * size + x) * 3);
        }
    return c;
}

// The colour in the middle of each quadrant, within `slack` of what it should be.
void expectQuadrantColours(const Cover& cover, int slack)
{
    const int q = cover.width / 4;
    const std::vector<std::pair<int, int>> centres = {{q, q}, {3 * q, q}, {q, 3 * q}, {3 * q, 3 * q}};
    const int expected[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
    for (int i = 0; i < 4; ++i)
        for (int channel = 0; channel < 3; ++channel) {
            const int value = cover.rgb[(std::size_t(centres[i].second) * cover.width + centres[i].first) * 3 + channel];
            EXPECT_NEAR(value, expected[i][channel], slack) << "quadrant " << i << " channel " << channel;
        }
}

TrackInfo track(std::int32_t id, const std::u16string& album, const fs::path& source, std::int64_t databaseId, std::uint8_t hasArtwork)
{
    TrackInfo t;
    t.iTrackID = id;
    t.sTitle = u"Track " + fromNumber(id);
    t.sArtist = u"Artist";
    t.sAlbum = album;
    t.sLocation = source.u16string();
    t.iDatabaseID = databaseId;
    t.iHasArtwork = hasArtwork;
    return t;
}

}  // namespace

TEST(CoverEncoding, PngKeepsEveryPixelAndJpegKeepsTheColours)
{
    const Cover cover = quadrants(64);
    const Cover png = decodePng(encodePng(cover));
    EXPECT_EQ(png, cover);
    const Cover jpeg = decodeJpeg(encodeJpeg(cover));
    ASSERT_EQ(jpeg.width, 64);
    ASSERT_EQ(jpeg.height, 64);
    expectQuadrantColours(jpeg, 8);
    EXPECT_THROW(encodeJpeg(Cover{}), std::runtime_error);
    EXPECT_THROW(encodePng(Cover{2, 2, {1, 2, 3}}), std::runtime_error);
}

// Tracks copied into folders by artist and album: each album's folder gets its
// cover, folders of several albums (or tracks without one) don't.
TEST(AlbumCovers, EachFolderOfOneAlbumGetsTheCoverOfItsFirstTrackWithOne)
{
    TempDir dir;
    const fs::path device = dir.path() / "device";
    installArtwork(device, buildArtwork({.images = {{.imageId = 1, .songId = 11, .pictures = {picture(1029, 64, 64)}},
                                                    {.imageId = 2, .songId = 21, .pictures = {picture(1029, 64, 64)}},
                                                    {.imageId = 3, .songId = 31, .pictures = {picture(1029, 64, 64)}}}}));
    ArtworkDatabase covers = ArtworkDatabase::load(device);
    for (int i = 1; i <= 6; ++i)
        writeFile(dir.path() / ("src/" + std::to_string(i) + ".mp3"), std::string(100, 'a'));
    const auto source = [&](int i) { return dir.path() / ("src/" + std::to_string(i) + ".mp3"); };
    const std::vector<TrackInfo> tracks = {
        track(1, u"First", source(1), 10, 2),  // no cover of its own: the next track's is taken
        track(2, u"First", source(2), 11, 1),
        track(3, u"Second", source(3), 20, 1),  // flagged, but no image: the album has no cover
        track(4, u"", source(4), 21, 1),         // no album
        track(5, u"Third", source(5), 31, 1),
        track(6, u"Fourth", source(6), 99, 2),
    };
    PlanOptions options{.destination = dir.path() / "out"};
    std::string error;
    options.pattern = TrackNamePattern::parse("{album}/{title}", error);
    const CopyPlan plan = CopyPlan::forAll(tracks, {}, options);
    std::atomic<bool> cancel{false};
    Overwrite observer;
    const CopyResult result = BatchCopy(plan.items()).run(observer, cancel);
    ASSERT_EQ(result.copied, 6u);

    const std::vector<AlbumFolder> albums = albumFolders(plan, result);
    ASSERT_EQ(albums.size(), 4u);  // First, Second, Third, Fourth; not Unknown
    EXPECT_EQ(albums[0].folder, dir.path() / "out/First");
    EXPECT_EQ(albums[0].tracks.size(), 2u);

    const AlbumCoverResult written = writeAlbumCovers(albums, covers, [](const Cover& c) { return encodeJpeg(c); }, false);
    EXPECT_EQ(written.written, 2u);
    EXPECT_TRUE(written.failures.empty());
    for (const char* album : {"First", "Third"}) {
        SCOPED_TRACE(album);
        const Cover cover = decodeJpeg(readFile(dir.path() / "out" / album / "cover.jpg"));
        EXPECT_EQ(cover.width, 64);
        expectQuadrantColours(cover, 8);
    }
    for (const char* folder : {"Second", "Unknown", "Fourth"})
        EXPECT_FALSE(fs::exists(dir.path() / "out" / folder / "cover.jpg")) << folder;
    EXPECT_TRUE(fs::exists(dir.path() / "out/Unknown/Track 4.mp3"));
    // Nothing is left beside them.
    std::size_t files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(dir.path() / "out"))
        files += entry.is_regular_file() ? 1 : 0;
    EXPECT_EQ(files, 8u);
}

TEST(AlbumCovers, AFlatCopyOfTwoAlbumsHasNoCoverAndAnExistingCoverStaysUnlessReplaced)
{
    TempDir dir;
    installArtwork(dir.path(), buildArtwork({.images = {{.imageId = 1, .songId = 1, .pictures = {picture(1029, 32, 32)}},
                                                        {.imageId = 2, .songId = 2, .pictures = {picture(1029, 32, 32)}}}}));
    ArtworkDatabase covers = ArtworkDatabase::load(dir.path());
    writeFile(dir.path() / "a.mp3", "a");
    writeFile(dir.path() / "b.mp3", "b");
    const std::vector<TrackInfo> tracks = {track(1, u"One", dir.path() / "a.mp3", 1, 1), track(2, u"Two", dir.path() / "b.mp3", 2, 1)};
    std::atomic<bool> cancel{false};
    Overwrite observer;

    const CopyPlan flat = CopyPlan::forAll(tracks, {}, {.destination = dir.path() / "flat"});
    const CopyResult flatResult = BatchCopy(flat.items()).run(observer, cancel);
    EXPECT_TRUE(albumFolders(flat, flatResult).empty());

    // One album's track alone in the folder: an existing cover.jpg is kept, or replaced when asked.
    const CopyPlan one = CopyPlan::forTracks(tracks, {2}, {.destination = dir.path() / "one"});
    const CopyResult oneResult = BatchCopy(one.items()).run(observer, cancel);
    const auto albums = albumFolders(one, oneResult);
    ASSERT_EQ(albums.size(), 1u);
    writeFile(dir.path() / "one/cover.jpg", "the user's own");
    const auto encode = [](const Cover& c) { return encodeJpeg(c); };
    const AlbumCoverResult kept = writeAlbumCovers(albums, covers, encode, false);
    EXPECT_EQ(kept.kept, 1u);
    EXPECT_EQ(readFile(dir.path() / "one/cover.jpg"), "the user's own");
    const AlbumCoverResult replaced = writeAlbumCovers(albums, covers, encode, true);
    EXPECT_EQ(replaced.written, 1u);
    EXPECT_EQ(decodeJpeg(readFile(dir.path() / "one/cover.jpg")).width, 32);

    // An encoder that fails leaves no file and says so.
    fs::remove(dir.path() / "one/cover.jpg");
    const AlbumCoverResult failed =
        writeAlbumCovers(albums, covers, [](const Cover&) -> std::string { throw std::runtime_error("no encoder"); }, false);
    ASSERT_EQ(failed.failures.size(), 1u);
    EXPECT_EQ(failed.failures[0], "cannot make " + (dir.path() / "one/cover.jpg").string() + ": no encoder");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path() / "one"), fs::directory_iterator()), 1);
}

TEST(AlbumCovers, APictureFileIsWrittenWholeUnderAnyNameTheDiskTakes)
{
    TempDir dir;
    // A name as long as names get: the file is written under a short name of its own first.
    const fs::path longest = dir.path() / (std::string(251, 'c') + ".jpg");
    std::string error;
    ASSERT_TRUE(writeFileWhole(longest, "first", error)) << error;
    EXPECT_EQ(readFile(longest), "first");
    ASSERT_TRUE(writeFileWhole(longest, "second", error)) << error;
    EXPECT_EQ(readFile(longest), "second");

    // A failure says why, and leaves nothing behind.
    const fs::path nowhere = dir.path() / "missing" / "cover.jpg";
    EXPECT_FALSE(writeFileWhole(nowhere, "bytes", error));
    EXPECT_EQ(error, "cannot write " + nowhere.string() + ": No such file or directory");
    fs::create_directories(dir.path() / "folder" / "cover.jpg");  // a folder where the file would go
    EXPECT_FALSE(writeFileWhole(dir.path() / "folder" / "cover.jpg", "bytes", error));
    EXPECT_EQ(error, "cannot write " + (dir.path() / "folder" / "cover.jpg").string() + ": Is a directory");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path() / "folder"), fs::directory_iterator()), 1);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);
}
