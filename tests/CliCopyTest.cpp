#include "ArtworkBuilder.h"
#include "DatabaseBuilder.h"
#include "TagReadBack.h"
#include "TempDir.h"
#include "ToolRun.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <initializer_list>
#include <map>
#include <utility>

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

ToolRun copyDevice(const fs::path& device, const fs::path& folder, const std::string& arguments)
{
    return runCommand(std::string(SONARCHIVE_CLI) + " copy '" + device.string() + "' '" + folder.string() + "' " + arguments);
}

// A device with three tracks and their files.
struct Device {
    TempDir dir;
    TempDir out;

    Device()
    {
        std::vector<TrackFixture> tracks = {
            makeTrack(1, u"AC/DC: Live?", u"Band/Name", u"First", u":iPod_Control:Music:F00:AAAA.mp3"),
            makeTrack(2, u"Second", u"", u"", u":iPod_Control:Music:F01:BBBB.m4a"),
            makeTrack(3, u"..", u"..", u"Third", u":iPod_Control:Music:F02:CCCC"),
        };
        installDatabase(dir.path(), buildDatabase(typicalDatabase(tracks)));
        writeFile(dir.path() / "iPod_Control/Music/F00/AAAA.mp3", "one");
        writeFile(dir.path() / "iPod_Control/Music/F01/BBBB.m4a", "two");
        writeFile(dir.path() / "iPod_Control/Music/F02/CCCC", "three");
    }

    ToolRun copy(const std::string& arguments) const { return copyDevice(dir.path(), out.path(), arguments); }
    std::string file(const std::string& relative) const { return readFile(out.path() / relative); }
    // Checks each file below the output folder against the bytes it should hold.
    void expectFiles(std::initializer_list<std::pair<const char*, const char*>> files) const
    {
        for (const auto& [relative, bytes] : files)
            EXPECT_EQ(file(relative), bytes) << relative;
    }
};

}  // namespace

TEST(CliCopy, CopiesEveryTrackUnderItsCleanedTitle)
{
    Device d;
    const ToolRun run = d.copy("--all");
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    // ".." + "." with its trailing dots dropped leaves no name: the fallback name.
    d.expectFiles({{"ACDC Live.mp3", "one"}, {"Second.m4a", "two"}, {"iPodFile", "three"}});
}

TEST(CliCopy, NamePatternCleansEachFieldAndStaysInsideTheFolder)
{
    Device d;
    const ToolRun run = d.copy("--ids 1 2 3 --name '{artist}/{album}/{id} {title}'");
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    // An artist ".." must not lead out of the folder.
    d.expectFiles({{"BandName/First/1 ACDC Live.mp3", "one"}, {"Unknown/Unknown/2 Second.m4a", "two"}, {"iPodFile/Third/3 ", "three"}});
}

TEST(CliCopy, ExistingFilesAreSkippedReplacedOrKeptBoth)
{
    Device d;
    writeFile(d.out.path() / "Second.m4a", "old");
    ToolRun run = d.copy("--ids 2");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(d.file("Second.m4a"), "old");
    EXPECT_NE(run.errors.find("exists, skipped"), std::string::npos);

    run = d.copy("--ids 2 --keep-both");
    d.expectFiles({{"Second.m4a", "old"}, {"Second (2).m4a", "two"}});

    run = d.copy("--ids 2 --overwrite");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(d.file("Second.m4a"), "two");
}

TEST(CliCopy, UnknownIdsFailButTheOthersAreCopied)
{
    Device d;
    const ToolRun run = d.copy("--ids 42 1");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.errors.find("no track with id 42"), std::string::npos);
    EXPECT_EQ(d.file("ACDC Live.mp3"), "one");
}

TEST(CliCopy, UsageErrors)
{
    Device d;
    EXPECT_EQ(d.copy("").exitCode, 2);
    EXPECT_EQ(d.copy("--all --ids 1").exitCode, 2);
    EXPECT_EQ(d.copy("--all --name '{artist}/{nope}'").exitCode, 2);
    EXPECT_EQ(d.copy("--all --overwrite --keep-both").exitCode, 2);
    EXPECT_TRUE(fs::is_empty(d.out.path()));
}

namespace {

// Three tracks on a device with playlists, and the tool's output.
struct PlaylistDevice : Device {
    PlaylistDevice()
    {
        std::vector<TrackFixture> tracks = {makeTrack(1, u"One", u"Ann", u"Alpha", u":iPod_Control:Music:F00:AAAA.mp3"),
                                            makeTrack(2, u"Two", u"", u"Beta", u":iPod_Control:Music:F01:BBBB.m4a"),
                                            makeTrack(3, u"Three", u"Cy", u"Alpha", u":iPod_Control:Music:F02:CCCC.mp3")};
        tracks[0].lengthMs = 61500;
        tracks[1].lengthMs = 1499;
        DatabaseFixture db = typicalDatabase(tracks);
        auto& lists = std::get<PlaylistSection>(db.sections[2]).playlists;
        lists.push_back({.title = u"Road: trip", .trackIds = {3, 1, 3, 42}});
        lists.push_back({.title = u"Quiet", .extraRecords = {playlistDataRecord(50, 132)}, .trackIds = {2}});
        installDatabase(dir.path(), buildDatabase(db));
        writeFile(dir.path() / "iPod_Control/Music/F02/CCCC.mp3", "three");
    }
    std::string tool(const std::string& arguments, const std::string& afterRoot = {}) const
    {
        const ToolRun run = runCommand(std::string(SONARCHIVE_CLI) + " " + arguments + " '" + dir.path().string() + "' " + afterRoot + " 2>&1");
        return run.out;
    }
};

}  // namespace

TEST(CliPlaylists, ListsEachPlaylistWithItsKindCountAndName)
{
    PlaylistDevice d;
    EXPECT_EQ(d.tool("playlists"), "0\tmaster\t3\tiPod\n1\tnormal\t3\tRoad: trip\n2\tsmart\t1\tQuiet\n");
    EXPECT_EQ(d.tool("playlists --json"),
              "[\n  {\n    \"index\": 0,\n    \"name\": \"iPod\",\n    \"kind\": \"master\",\n    \"ids\": [\n      1,\n      2,\n      3\n"
              "    ]\n  },\n  {\n    \"index\": 1,\n    \"name\": \"Road: trip\",\n    \"kind\": \"normal\",\n    \"ids\": [\n"
              "      3,\n      1,\n      3\n    ]\n  },\n  {\n    \"index\": 2,\n    \"name\": \"Quiet\",\n    \"kind\": \"smart\",\n"
              "    \"ids\": [\n      2\n    ]\n  }\n]\n");
}

TEST(CliPlaylists, ANewPlaylistIsWrittenWithItsTracksInOrder)
{
    PlaylistDevice d;
    EXPECT_EQ(d.tool("new-playlist", "'Late Night' 3 2 3"), "3\n");
    EXPECT_EQ(d.tool("playlists"), "0\tmaster\t3\tiPod\n1\tnormal\t3\tRoad: trip\n2\tsmart\t1\tQuiet\n3\tnormal\t3\tLate Night\n");
    EXPECT_EQ(d.tool("new-playlist", "Nope 3 9"), "sonarchive: cannot make the playlist: no track with identifier 9\n");
    EXPECT_EQ(d.tool("playlists").find("Nope"), std::string::npos);
}

TEST(CliCopy, APlaylistIsCopiedInItsOrderWithItsM3u8)
{
    PlaylistDevice d;
    const ToolRun run = d.copy("--playlist 'Road: trip' --m3u --name '{playlist}/{index:02} {artist} - {title}'");
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_NE(run.errors.find(", 1 playlist file written"), std::string::npos) << run.errors;
    d.expectFiles({{"Road trip/01 Cy - Three.mp3", "three"}, {"Road trip/02 Ann - One.mp3", "one"}});
    EXPECT_EQ(d.file("Road trip.m3u8"), "#EXTM3U\n"
                                        "#EXTINF:250,Cy - Three\nRoad trip/01 Cy - Three.mp3\n"
                                        "#EXTINF:62,Ann - One\nRoad trip/02 Ann - One.mp3\n"
                                        "#EXTINF:250,Cy - Three\nRoad trip/01 Cy - Three.mp3\n");

    // By index too; a file already there keeps its entry.
    const ToolRun again = d.copy("--playlist 2 --playlist 1 --m3u --skip-existing");
    EXPECT_EQ(again.exitCode, 0) << again.errors;
    EXPECT_NE(again.errors.find(", 2 playlist files written"), std::string::npos) << again.errors;
    EXPECT_EQ(d.file("Quiet.m3u8"), "#EXTM3U\n#EXTINF:1,Two\nTwo.m4a\n");
    EXPECT_EQ(d.file("Road trip.m3u8"), "#EXTM3U\n#EXTINF:250,Cy - Three\nThree.mp3\n#EXTINF:62,Ann - One\nOne.mp3\n"
                                        "#EXTINF:250,Cy - Three\nThree.mp3\n");
    EXPECT_EQ(d.copy("--playlist Nowhere").exitCode, 1);
    EXPECT_EQ(d.copy("--all --name '{index} {title}'").exitCode, 2);
}

TEST(CliCopy, UpdateCopiesOnlyWhatChangedAndFiltersNarrowTheTracks)
{
    PlaylistDevice d;
    EXPECT_EQ(d.copy("--all --m3u --album alpha").exitCode, 0);
    d.expectFiles({{"One.mp3", "one"}, {"Three.mp3", "three"}});
    EXPECT_FALSE(fs::exists(d.out.path() / "Two.m4a"));
    EXPECT_EQ(d.file("Quiet.m3u8"), "#EXTM3U\n");  // its one track was left out by the filter
    EXPECT_FALSE(fs::exists(d.out.path() / "iPod.m3u8"));

    writeFile(d.dir.path() / "iPod_Control/Music/F00/AAAA.mp3", "one, longer now");
    writeFile(d.out.path() / "Three.mp3", "THREE");  // the same size: left as it is
    const ToolRun update = d.copy("--all --update --artist a");
    EXPECT_EQ(update.exitCode, 0) << update.errors;
    d.expectFiles({{"One.mp3", "one, longer now"}, {"Three.mp3", "THREE"}});
    EXPECT_NE(update.errors.find("copied 1 of 1 file"), std::string::npos) << update.errors;
    EXPECT_EQ(d.copy("--all --update --overwrite").exitCode, 2);
}

TEST(CliCopy, TwoTracksOfOneNameAreBothKept)
{
    PlaylistDevice d;
    const ToolRun run = d.copy("--playlist 'Road: trip' --m3u --name '{album}' --tags none");
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_EQ(run.errors.find("exists"), std::string::npos) << run.errors;
    EXPECT_NE(run.errors.find("copied 2 of 2 files"), std::string::npos) << run.errors;
    // Three comes first in the playlist and takes the name; One, of the same album, the next.
    d.expectFiles({{"Alpha.mp3", "three"}, {"Alpha (2).mp3", "one"}});
    EXPECT_EQ(d.file("Road trip.m3u8"), "#EXTM3U\n#EXTINF:250,Cy - Three\nAlpha.mp3\n#EXTINF:62,Ann - One\nAlpha (2).mp3\n"
                                        "#EXTINF:250,Cy - Three\nAlpha.mp3\n");

    // Copied again, both were there before: the choices for existing files apply to both.
    const ToolRun again = d.copy("--playlist 'Road: trip' --name '{album}' --tags none");
    EXPECT_EQ(again.exitCode, 0);
    EXPECT_NE(again.errors.find("Alpha.mp3 exists, skipped"), std::string::npos) << again.errors;
    EXPECT_NE(again.errors.find("Alpha (2).mp3 exists, skipped"), std::string::npos) << again.errors;
}

namespace {

std::string le32(std::int32_t value)
{
    return testsupport::le32(value);
}

// A device whose tracks have real media made with ffmpeg: a tagged MP3, an
// untagged M4A and a raw AAC file, the first rated and played.
struct MediaDevice {
    TempDir dir;
    TempDir out;
    std::vector<TrackFixture> tracks;

    MediaDevice()
    {
        TrackFixture harbour = makeTrack(1, u"Harbour", u"The Lanterns", u"First Album", u":iPod_Control:Music:F00:AAAA.mp3");
        harbour.patches = {{31, std::string(1, '\x50')}, {44, le32(2)}, {48, le32(10)}, {92, le32(1)}, {96, le32(2)}};
        harbour.playCount = 17;
        harbour.strings.push_back({.type = 12, .text = u"Cole"});
        tracks = {harbour, makeTrack(2, u"Tide", u"The Lanterns", u"First Album", u":iPod_Control:Music:F01:BBBB.m4a"),
                  makeTrack(3, u"Chime", u"", u"", u":iPod_Control:Music:F02:CCCC.aac")};
        install();
        const std::string tone = "-f lavfi -i sine=duration=1 ";
        make("F00/AAAA.mp3", tone + "-metadata title=\"File Title\" -metadata artist=\"File Artist\" -c:a libmp3lame -b:a 64k");
        make("F01/BBBB.m4a", tone + "-c:a aac -b:a 64k -map_metadata -1");
        make("F02/CCCC.aac", tone + "-c:a aac -b:a 64k -f adts");
    }
    void install() const { installDatabase(dir.path(), buildDatabase(typicalDatabase(tracks))); }
    void make(const std::string& file, const std::string& options) const
    {
        const fs::path path = dir.path() / "iPod_Control/Music" / file;
        fs::create_directories(path.parent_path());
        const std::string command = "ffmpeg -nostdin -hide_banner -loglevel error -y " + options + " '" + path.string() + "'";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }
    fs::path device(const std::string& file) const { return dir.path() / "iPod_Control/Music" / file; }
    ToolRun copy(const std::string& arguments) const { return copyDevice(dir.path(), out.path(), arguments); }
};

}  // namespace

TEST(CliCopy, CopiesCarryTheDatabasesTagsRatingAndPlayCount)
{
    MediaDevice d;
    ToolRun run = d.copy("--all");
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    const std::string out = d.out.path().string();
    EXPECT_EQ(run.errors, "sonarchive: copied without tags: " + out + "/Chime.aac (no tags can be written into a .aac file)\n"
                          "copied 3 of 3 files to " + out + ", copied without tags: 1\n");

    // fill: the file's own title and artist stay; what it lacks comes from the database.
    const ReadBack harbour(d.out.path() / "Harbour.mp3");
    EXPECT_EQ(harbour.common(), (std::map<std::string, std::string>{
                                    {"TITLE", "File Title"}, {"ARTIST", "File Artist"}, {"ALBUM", "First Album"},
                                    {"GENRE", "Rock"}, {"COMPOSER", "Cole"}, {"DATE", "1999"}, {"TRACKNUMBER", "2/10"},
                                    {"DISCNUMBER", "1/2"}}));
    EXPECT_EQ(harbour.userTexts.at("FMPS_Rating"), "0.8");
    EXPECT_EQ(harbour.userTexts.at("FMPS_Playcount"), "17");
    EXPECT_EQ(harbour.popularimeters, (std::vector{std::make_tuple(std::string("Windows Media Player 9 Series"), 196, 17u)}));
    const ReadBack tide(d.out.path() / "Tide.m4a");
    EXPECT_EQ(tide.field("TITLE"), "Tide");
    EXPECT_EQ(tide.field("ARTIST"), "The Lanterns");
    EXPECT_EQ(tide.userTexts.count("FMPS_Rating"), 0u);  // unrated
    EXPECT_TRUE(readFile(d.out.path() / "Chime.aac") == readFile(d.device("F02/CCCC.aac")));

    // db: the database's values replace the file's.
    run = d.copy("--all --tags db --overwrite");
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_EQ(ReadBack(d.out.path() / "Harbour.mp3").field("TITLE"), "Harbour");
    EXPECT_EQ(ReadBack(d.out.path() / "Harbour.mp3").field("ARTIST"), "The Lanterns");

    // none: the device files byte for byte.
    run = d.copy("--all --tags none --overwrite");
    EXPECT_EQ(run.errors, "copied 3 of 3 files to " + out + "\n");
    EXPECT_TRUE(readFile(d.out.path() / "Harbour.mp3") == readFile(d.device("F00/AAAA.mp3")));
    EXPECT_TRUE(readFile(d.out.path() / "Tide.m4a") == readFile(d.device("F01/BBBB.m4a")));

    EXPECT_EQ(d.copy("--all --tags some").exitCode, 2);
}

TEST(CliCopy, UpdateSkipsTaggedCopiesUntilTheirTrackChanges)
{
    MediaDevice d;
    ASSERT_EQ(d.copy("--all").exitCode, 0);
    const std::string out = d.out.path().string();
    ToolRun run = d.copy("--all --update");
    EXPECT_EQ(run.errors, "copied 0 of 3 files to " + out + ", 3 skipped\n");

    // Played once more on the device: that copy is made again, with the new count.
    d.tracks[0].playCount = 18;
    d.install();
    run = d.copy("--all --update");
    EXPECT_EQ(run.errors, "copied 1 of 3 files to " + out + ", 2 skipped\n");
    EXPECT_EQ(ReadBack(d.out.path() / "Harbour.mp3").userTexts.at("FMPS_Playcount"), "18");

    // Another mode makes the tagged copies again; the AAC file, copied as it is, stays.
    run = d.copy("--all --update --tags db");
    EXPECT_EQ(run.errors, "copied 2 of 3 files to " + out + ", 1 skipped\n");
}

TEST(CliCopy, CopiesWithTagsCarryTheAlbumsCoverWhenTheyHaveNoPictureOfTheirOwn)
{
    MediaDevice d;
    linkArtwork(d.tracks[0], 0x1234567890, 1);
    linkArtwork(d.tracks[1], 0x1234567890, 1);
    d.install();
    installArtwork(d.dir.path(), buildArtwork({.images = {{.imageId = 9, .songId = 0x1234567890, .pictures = nanoFormats()}}}));

    const ToolRun run = d.copy("--ids 1 2");
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    for (const char* copy : {"Harbour.mp3", "Tide.m4a"}) {
        const ReadBack tags(d.out.path() / copy);
        ASSERT_EQ(tags.pictures.size(), 1u) << copy;
        EXPECT_EQ(tags.pictures[0].substr(0, 3), std::string("\xFF\xD8\xFF", 3)) << copy;  // a JPEG
    }
    // Without tags, nothing is added.
    const ToolRun plain = d.copy("--ids 1 --tags none --overwrite");
    EXPECT_EQ(plain.exitCode, 0) << plain.errors;
    EXPECT_TRUE(readFile(d.out.path() / "Harbour.mp3") == readFile(d.device("F00/AAAA.mp3")));
}

TEST(CliCopy, AnUpdateGivesTheAlbumsCoverToCopiesMadeBeforeTheTrackHadOne)
{
    MediaDevice d;
    ASSERT_EQ(d.copy("--ids 1 2").exitCode, 0);
    EXPECT_TRUE(ReadBack(d.out.path() / "Harbour.mp3").pictures.empty());

    linkArtwork(d.tracks[0], 0x1234567890, 1);
    linkArtwork(d.tracks[1], 0x1234567890, 1);
    d.install();
    installArtwork(d.dir.path(), buildArtwork({.images = {{.imageId = 9, .songId = 0x1234567890, .pictures = nanoFormats()}}}));
    const std::string out = d.out.path().string();
    ToolRun run = d.copy("--ids 1 2 --update");
    EXPECT_EQ(run.errors, "copied 2 of 2 files to " + out + "\n");
    for (const char* copy : {"Harbour.mp3", "Tide.m4a"})
        EXPECT_EQ(ReadBack(d.out.path() / copy).pictures.size(), 1u) << copy;
    run = d.copy("--ids 1 2 --update");
    EXPECT_EQ(run.errors, "copied 0 of 2 files to " + out + ", 2 skipped\n");
}
