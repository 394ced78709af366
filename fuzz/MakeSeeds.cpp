// Writes a handful of databases of different shapes, made by the test builder,
// as the starting corpus of the reader fuzzers.
#include "ArtworkBuilder.h"
#include "DatabaseBuilder.h"
#include "TempDir.h"

#include <iostream>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: fuzz_make_seeds FOLDER\n";
        return 2;
    }
    using namespace testsupport;
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);

    auto track = makeTrack(7, u"Title", u"Artist", u"Album", u":iPod_Control:Music:F01:ABCD.mp3");
    auto shortHeader = makeTrack(8, u"Short");
    shortHeader.headerSize = 156;
    auto bare = makeTrack(9, u"Bare");
    bare.strings.clear();

    DatabaseFixture typical = typicalDatabase({track, shortHeader, bare});
    writeFile(folder / "typical.db", buildDatabase(typical));

    DatabaseFixture mixed = typical;
    mixed.sections.push_back(OpaqueSection{.type = 4, .content = std::string(40, 'a')});
    mixed.sections.push_back(OpaqueSection{.type = 8, .content = std::string(20, 'b')});
    mixed.sections.push_back(OpaqueSection{.type = 5, .content = std::string(24, 'c')});
    writeFile(folder / "mixed.db", buildDatabase(mixed));

    writeFile(folder / "device.db", buildDatabase(deviceShape({track, bare})));
    writeFile(folder / "other-software.db", buildDatabase(otherSoftwareShape({track, shortHeader, bare}, {.playlists = 3, .albumListBytes = 64})));
    writeFile(folder / "early-device.db", buildDatabase(earlyDeviceShape({track, shortHeader})));
    DatabaseFixture signedOne = typicalDatabase({track});
    signHeader(signedOne);
    writeFile(folder / "signed.db", buildDatabase(signedOne));

    DatabaseFixture empty;
    empty.sections = {TrackSection{}, PlaylistSection{.type = 2, .playlists = {PlaylistFixture{.master = 1}}}};
    writeFile(folder / "empty.db", buildDatabase(empty));

    // Artwork databases: one image per track, and one per album of four formats.
    writeFile(folder / "artwork-per-track.db",
              buildArtwork({.images = {{.imageId = 100, .songId = 7, .pictures = smallFormats()}}}).database);
    writeFile(folder / "artwork-per-album.db",
              buildArtwork({.images = {{.imageId = 200, .songId = 8, .pictures = albumFormats()},
                                       {.imageId = 201, .songId = 9, .pictures = {picture(1061, 56, 56)}}}}).database);
    return 0;
}
