#include "ArtworkBuilder.h"
#include "TestDevice.h"

#include <Error.h>
#include <ThumbnailPixels.h>

#include <gtest/gtest.h>

#include <array>

using namespace sonarchive;
using namespace testsupport;

namespace {

using Rgb = std::array<int, 3>;

// Quadrant colours whose 8-bit values are worked out by hand: each 5- or 6-bit
// channel repeats its top bits below itself.
constexpr Quadrants kGreys = {0x8410, 0x0841, 0x1234, 0xFFE0};
constexpr Rgb kGrey = {132, 130, 132};    // 0x8410: 16, 32, 16
constexpr Rgb kDark = {8, 8, 8};          // 0x0841: 1, 2, 1
constexpr Rgb kSteel = {16, 69, 165};     // 0x1234: 2, 17, 20
constexpr Rgb kYellow = {255, 255, 0};    // 0xFFE0
constexpr Rgb kRed = {255, 0, 0}, kGreen = {0, 255, 0}, kBlue = {0, 0, 255}, kWhite = {255, 255, 255};

Rgb pixelAt(const Cover& c, int x, int y)
{
    const std::size_t at = (std::size_t(y) * c.width + x) * 3;
    return {c.rgb.at(at), c.rgb.at(at + 1), c.rgb.at(at + 2)};
}

// The corners and the four pixels around the middle: a wrong row length or
// byte order shows at one of them.
void expectQuadrants(const std::optional<Cover>& cover, int size, const std::array<Rgb, 4>& colours)
{
    ASSERT_TRUE(cover);
    ASSERT_EQ(cover->width, size);
    ASSERT_EQ(cover->height, size);
    ASSERT_EQ(cover->rgb.size(), std::size_t(size) * size * 3);
    const int last = size - 1, half = size / 2;
    EXPECT_EQ(pixelAt(*cover, 0, 0), colours[0]);
    EXPECT_EQ(pixelAt(*cover, half - 1, half - 1), colours[0]);
    EXPECT_EQ(pixelAt(*cover, last, 0), colours[1]);
    EXPECT_EQ(pixelAt(*cover, half, half - 1), colours[1]);
    EXPECT_EQ(pixelAt(*cover, 0, last), colours[2]);
    EXPECT_EQ(pixelAt(*cover, half - 1, half), colours[2]);
    EXPECT_EQ(pixelAt(*cover, last, last), colours[3]);
    EXPECT_EQ(pixelAt(*cover, half, half), colours[3]);
}

const std::array<Rgb, 4> kPrimaryColours = {kRed, kGreen, kBlue, kWhite};
const std::array<Rgb, 4> kGreyColours = {kGrey, kDark, kSteel, kYellow};

// Database identifiers with the high bits set, as devices give them.
constexpr std::int64_t kIdA = 0x7EDCBA9876543210;
constexpr std::int64_t kIdB = -0x0123456789ABCDEF;
constexpr std::int64_t kIdC = 0x0000000100000002;

TrackFixture trackWithArt(std::int32_t id, std::int64_t databaseId, std::uint8_t hasArtwork = 1,
                          std::optional<std::int32_t> imageId = std::nullopt, const std::u16string& album = u"Album")
{
    TrackFixture t = makeTrack(id, u"Track " + fromNumber(id), u"Artist", album);
    linkArtwork(t, databaseId, hasArtwork, imageId);
    return t;
}

// A device with these tracks and artwork, loaded, and its covers read.
struct CoverDevice {
    TestDevice device;
    ArtworkFiles files;
    ArtworkDatabase covers;

    CoverDevice(const std::vector<TrackFixture>& tracks, const ArtworkFixture& artwork, bool upperCase = false)
        : files(buildArtwork(artwork))
    {
        EXPECT_TRUE(device.load(typicalDatabase(tracks)));
        installArtwork(device.dir.path(), files, upperCase);
        reread();
    }
    void reread() { covers = ArtworkDatabase::load(device.dir.path()); }
    TrackInfo track(std::int32_t id) const { return device.db.GetTrackInfo(id); }
    std::optional<Cover> cover(std::int32_t id) const { return covers.cover(track(id)); }
    std::filesystem::path artworkFile(const std::string& name) const { return device.dir.path() / "iPod_Control/Artwork" / name; }
    std::string path(const std::string& name) const { return artworkFile(name).string(); }
};

void expectWarnings(ArtworkDatabase& covers, const std::vector<ArtworkWarning>& expected)
{
    const std::vector<ArtworkWarning> warnings = covers.takeWarnings();
    ASSERT_EQ(warnings.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(warnings[i].file, expected[i].file) << i;
        EXPECT_EQ(warnings[i].offset, expected[i].offset) << i;
        EXPECT_EQ(warnings[i].message, expected[i].message) << i;
    }
}

}  // namespace

TEST(Covers, OnePicturePerTrackLinkedBySongIdGivesTheLargest)
{
    // 1028 100x100 comes first in each image, 1029 200x200 after it.
    CoverDevice d({trackWithArt(1, kIdA), trackWithArt(2, kIdB), trackWithArt(3, kIdC)},
                  {.images = {{.imageId = 100, .songId = kIdA, .colours = kPrimaries, .pictures = nanoFormats()},
                              {.imageId = 101, .songId = kIdB, .colours = kGreys, .pictures = nanoFormats()}}});
    EXPECT_EQ(d.covers.imageCount(), 2u);
    EXPECT_EQ(d.track(1).iArtworkID, 0);
    EXPECT_TRUE(d.covers.hasCover(d.track(1)));
    expectQuadrants(d.cover(1), 200, kPrimaryColours);
    expectQuadrants(d.cover(2), 200, kGreyColours);
    // Flagged as having a cover, but no image carries its song id.
    EXPECT_FALSE(d.covers.hasCover(d.track(3)));
    EXPECT_FALSE(d.cover(3));
    expectWarnings(d.covers, {});
}

TEST(Covers, SmallFormatsInCapitalLetterFoldersGiveTheLargestListedFirst)
{
    // 1027 100x100 then 1031 42x42, on a device whose names are all capitals.
    CoverDevice d({trackWithArt(1, kIdA), trackWithArt(2, kIdB)},
                  {.images = {{.imageId = 64, .songId = kIdB, .colours = kGreys, .pictures = smallFormats()},
                              {.imageId = 65, .songId = kIdA, .colours = kPrimaries, .pictures = smallFormats()}}},
                  true);
    ASSERT_TRUE(std::filesystem::exists(d.device.dir.path() / "iPod_Control/ARTWORK/F1031_1.ITHMB"));
    expectQuadrants(d.cover(1), 100, kPrimaryColours);
    expectQuadrants(d.cover(2), 100, kGreyColours);
    expectWarnings(d.covers, {});
}

TEST(Covers, AnAlbumSharesOneImageLinkedThroughTheTrackRecord)
{
    // Images name the album's first track as their song, the others link by image id;
    // track 4's link wins over image 300 that carries its song id.
    CoverDevice d({trackWithArt(1, kIdA, 1, 200), trackWithArt(2, kIdB, 1, 200), trackWithArt(3, kIdC, 1, 201, u"Other"),
                   trackWithArt(4, 44, 1, 201, u"Other"), trackWithArt(5, 55, 2, 200)},
                  {.images = {{.imageId = 200, .songId = kIdA, .colours = kPrimaries, .pictures = albumFormats()},
                              {.imageId = 201, .songId = kIdC, .colours = kGreys, .pictures = albumFormats()},
                              {.imageId = 300, .songId = 44, .colours = kPrimaries, .pictures = {picture(1061, 56, 56)}}}});
    EXPECT_EQ(d.track(2).iArtworkID, 200);
    for (std::int32_t id : {1, 2}) {
        SCOPED_TRACE(id);
        expectQuadrants(d.cover(id), 320, kPrimaryColours);
    }
    for (std::int32_t id : {3, 4}) {
        SCOPED_TRACE(id);
        expectQuadrants(d.cover(id), 320, kGreyColours);
    }
    // Linked to the album's image but flagged as without a cover.
    EXPECT_FALSE(d.covers.hasCover(d.track(5)));
    EXPECT_FALSE(d.cover(5));
}

TEST(Covers, PaddedRowsHoldSizeOverHeightBytes)
{
    PictureFixture padded = picture(1029, 200, 200);
    padded.rowBytes = 416;
    PictureFixture odd = picture(1031, 42, 42);
    odd.rowBytes = 90;
    CoverDevice d({trackWithArt(1, kIdA), trackWithArt(2, kIdB)},
                  {.images = {{.imageId = 1, .songId = kIdA, .colours = kGreys, .pictures = {picture(1028, 100, 100), padded}},
                              {.imageId = 2, .songId = kIdB, .colours = kPrimaries, .pictures = {odd}}}});
    expectQuadrants(d.cover(1), 200, kGreyColours);
    expectQuadrants(d.cover(2), 42, kPrimaryColours);
}

TEST(Covers, TracksFlaggedWithoutArtHaveNoCoverWhateverTheImagesSay)
{
    CoverDevice d({trackWithArt(1, kIdA, 2), trackWithArt(2, kIdB, 0), makeTrack(3, u"Plain")},
                  {.images = {{.imageId = 1, .songId = kIdA, .pictures = nanoFormats()},
                              {.imageId = 2, .songId = kIdB, .pictures = nanoFormats()},
                              {.imageId = 3, .songId = 0, .pictures = nanoFormats()}}});
    for (std::int32_t id : {1, 2, 3}) {
        EXPECT_FALSE(d.covers.hasCover(d.track(id))) << id;
        EXPECT_FALSE(d.cover(id)) << id;
    }
}

TEST(Covers, ADeviceWithoutArtworkHasNoCoversAndNoWarnings)
{
    TestDevice device;
    ASSERT_TRUE(device.load(typicalDatabase({trackWithArt(1, kIdA)})));
    ArtworkDatabase covers = ArtworkDatabase::load(device.dir.path());
    EXPECT_EQ(covers.imageCount(), 0u);
    EXPECT_FALSE(covers.cover(device.db.GetTrackInfo(1)));
    EXPECT_TRUE(covers.takeWarnings().empty());
    EXPECT_FALSE(ArtworkDatabase().hasCover(device.db.GetTrackInfo(1)));
}

// A damaged database leaves every track without a cover and says where it is damaged.
TEST(Covers, ADamagedDatabaseGivesNoCoversAndOneWarningNamingTheByte)
{
    const ArtworkFixture artwork{.images = {{.imageId = 1, .songId = kIdA, .pictures = nanoFormats()},
                                            {.imageId = 2, .songId = kIdB, .pictures = nanoFormats()}}};
    const ArtworkFiles good = buildArtwork(artwork);
    const auto second = static_cast<std::size_t>(good.imageAt[1]);
    const auto at = [](std::int64_t offset) { return "at byte " + groupedNumber(offset) + ": "; };
    struct Damage {
        std::size_t at;
        std::string bytes;
        std::int64_t offset;
        std::string message;
    };
    const std::vector<Damage> damages = {
        {second + 4, le32(8), good.imageAt[1], at(good.imageAt[1]) + "image item header size 8"},
        {second + 8, le32(0x7fffffff), good.imageAt[1],
         at(good.imageAt[1]) + "image item size 2147483647 (" + groupedNumber(readI32(good.database, second + 8)) +
             " bytes are left for it)"},
        {second + 12, le32(-1), good.imageAt[1] + 12, at(good.imageAt[1] + 12) + "image children -1 (more than the "},
        {second, "mhxx", good.imageAt[1], at(good.imageAt[1]) + "expected \"mhii\" (image item)"},
        {static_cast<std::size_t>(good.thumbnailAt[1][1]) + 4, le32(2), good.thumbnailAt[1][1],
         at(good.thumbnailAt[1][1]) + "thumbnail header size 2"},
        {20, le32(4000), 20, "at byte 20: section count 4000"},
    };
    for (const Damage& damage : damages) {
        SCOPED_TRACE(damage.at);
        ArtworkFiles files = good;
        files.database.replace(damage.at, damage.bytes.size(), damage.bytes);
        CoverDevice d({trackWithArt(1, kIdA), trackWithArt(2, kIdB)}, {});
        installArtwork(d.device.dir.path(), files);
        d.reread();
        EXPECT_EQ(d.covers.imageCount(), 0u);
        EXPECT_FALSE(d.cover(1));
        const std::vector<ArtworkWarning> warnings = d.covers.takeWarnings();
        ASSERT_EQ(warnings.size(), 1u);
        EXPECT_EQ(warnings[0].file, d.path("ArtworkDB"));
        EXPECT_EQ(warnings[0].offset, damage.offset);
        EXPECT_EQ(warnings[0].message.substr(0, damage.message.size()), damage.message);
        EXPECT_TRUE(warnings[0].message.ends_with("; covers are left out")) << warnings[0].message;
    }
    // Cut short: the database's own size runs past the end.
    CoverDevice cut({trackWithArt(1, kIdA)}, {});
    installArtwork(cut.device.dir.path(), {.database = good.database.substr(0, second + 30)});
    cut.reread();
    expectWarnings(cut.covers, {{cut.path("ArtworkDB"), 0,
                                 "at byte 0: artwork database size " + std::to_string(good.database.size()) + " (" +
                                     groupedNumber(static_cast<std::int64_t>(second + 30)) + " bytes are left for it); covers are left out"}});
}

// A picture that can't be read gives way to the next largest of its image.
TEST(Covers, MissingAndShortPictureFilesFallBackToSmallerPictures)
{
    const std::vector<TrackFixture> tracks = {trackWithArt(1, kIdA), trackWithArt(2, kIdB)};
    const ArtworkFixture artwork{.images = {{.imageId = 1, .songId = kIdA, .colours = kPrimaries, .pictures = nanoFormats()},
                                            {.imageId = 2, .songId = kIdB, .colours = kGreys, .pictures = nanoFormats()}}};

    CoverDevice missing(tracks, artwork);
    std::filesystem::remove(missing.artworkFile("F1029_1.ithmb"));
    missing.reread();
    expectQuadrants(missing.cover(1), 100, kPrimaryColours);
    expectQuadrants(missing.cover(2), 100, kGreyColours);
    expectWarnings(missing.covers,
                   {{missing.path("F1029_1.ithmb"), -1, "the picture file is missing; the covers stored in it are left out"}});

    // Cut inside the second image's large picture: the first still has its own.
    CoverDevice shortFile(tracks, artwork);
    const std::uint32_t second = shortFile.files.pictureAt[1][1];
    std::filesystem::resize_file(shortFile.artworkFile("F1029_1.ithmb"), second + 1000);
    shortFile.reread();
    expectQuadrants(shortFile.cover(1), 200, kPrimaryColours);
    expectQuadrants(shortFile.cover(2), 100, kGreyColours);
    expectWarnings(shortFile.covers, {{shortFile.path("F1029_1.ithmb"), second,
                                       "at byte 80,000: a picture of 80,000 bytes runs past the end of the file (81,000 bytes); "
                                       "the covers stored past its end are left out"}});

    // Cut after the database was read: the cover can't be had, and the warning says where.
    CoverDevice later(tracks, artwork);
    std::filesystem::resize_file(later.artworkFile("F1029_1.ithmb"), second + 1000);
    EXPECT_FALSE(later.cover(2));
    expectQuadrants(later.cover(1), 200, kPrimaryColours);
    expectWarnings(later.covers, {{later.path("F1029_1.ithmb"), second,
                                   "at byte 80,000: cannot read a picture: the file became shorter while it was read"}});
}

TEST(Covers, PicturesThatAreNot16BitsAPixelAreSkippedWithOneWarning)
{
    // A photo format: 720x480 in 1.5 bytes a pixel, larger than the covers beside it.
    PictureFixture photo = picture(1019, 720, 480);
    photo.raw = std::string(720 * 480 * 3 / 2, '\x10');
    CoverDevice d({trackWithArt(1, kIdA), trackWithArt(2, kIdB)},
                  {.images = {{.imageId = 1, .songId = kIdA, .colours = kGreys, .pictures = {photo, picture(1028, 100, 100)}},
                              {.imageId = 2, .songId = kIdB, .pictures = {picture(1028, 100, 100), photo}}}});
    expectQuadrants(d.cover(1), 100, kGreyColours);
    expectQuadrants(d.cover(2), 100, kPrimaryColours);
    const std::int64_t first = d.files.thumbnailAt[0][0];
    expectWarnings(d.covers, {{d.path("ArtworkDB"), first,
                               "at byte " + groupedNumber(first) +
                                   ": pictures of format 1019 (720x480 in 518,400 bytes) are not 16 bits a pixel and are skipped"}});
}

// A name record can only point below the artwork folder; unnamed pictures and
// names in unknown encodings are skipped.
TEST(Covers, PictureFileNamesAreKeptInsideTheArtworkFolder)
{
    PictureFixture outside = picture(1029, 200, 200);
    outside.file = ":..:iTunes:F1029_1.ithmb";
    PictureFixture unnamed = picture(1060, 320, 320);
    unnamed.named = false;
    PictureFixture encoded = picture(1061, 56, 56);
    encoded.nameEncoding = 7;
    PictureFixture utf8 = picture(1028, 100, 100);
    utf8.nameEncoding = 1;
    utf8.file = "::F1028_1.ithmb:";
    CoverDevice d({trackWithArt(1, kIdA)},
                  {.images = {{.imageId = 1, .songId = kIdA, .colours = kGreys, .pictures = {outside, unnamed, encoded, utf8}}}});
    // The name that leads outside is not followed, though the file is there.
    ASSERT_TRUE(std::filesystem::exists(d.device.dir.path() / "iPod_Control/iTunes/F1029_1.ithmb"));
    expectQuadrants(d.cover(1), 100, kGreyColours);
    const auto at = [&](std::size_t k) { return "at byte " + groupedNumber(d.files.thumbnailAt[0][k]) + ": "; };
    expectWarnings(d.covers,
                   {{d.path("ArtworkDB"), d.files.thumbnailAt[0][0],
                     at(0) + "the picture file name \":..:iTunes:F1029_1.ithmb\" names no file inside iPod_Control/Artwork/; its pictures are skipped"},
                    {d.path("ArtworkDB"), d.files.thumbnailAt[0][1], at(1) + "a thumbnail names no picture file; it is skipped"},
                    {d.path("ArtworkDB"), d.files.thumbnailAt[0][2], at(2) + "a picture file name in an unknown encoding (7) is skipped"}});
}

TEST(Covers, RowsDecodeFromLittleEndianRgb565)
{
    const std::string bytes("\x00\xF8"  // red
                            "\x34\x12"  // 0x1234: red 2, green 17, blue 20
                            "\xAB\xAB"  // padding
                            "\x41\x08"  // 0x0841: 1, 2, 1
                            "\xFF\xFF"  // white
                            "\xAB\xAB",  // padding
                            12);
    const Cover cover = decodeRgb565(bytes, 2, 2);
    EXPECT_EQ(cover.rgb, (std::vector<std::uint8_t>{255, 0, 0, 16, 69, 165, 8, 8, 8, 255, 255, 255}));
    EXPECT_THROW(decodeRgb565(bytes.substr(0, 7), 2, 2), FormatError);
    EXPECT_FALSE(holds16BitPixels(7, 2, 2));
    EXPECT_FALSE(holds16BitPixels(100, 0, 2));
    EXPECT_TRUE(holds16BitPixels(8, 2, 2));
}
