#include "DatabaseBuilder.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <initializer_list>
#include <utility>
#include <sys/wait.h>

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

struct CopyRun {
    int exitCode = -1;
    std::string errors;
};

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

    CopyRun copy(const std::string& arguments) const
    {
        const fs::path errors = out.path().parent_path() / (out.path().filename().string() + ".err");
        const std::string command = std::string(SONARCHIVE_CLI) + " copy '" + dir.path().string() + "' '" + out.path().string() +
                                    "' " + arguments + " </dev/null >/dev/null 2>'" + errors.string() + "'";
        const int status = std::system(command.c_str());
        CopyRun run{WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(errors)};
        fs::remove(errors);
        return run;
    }
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
    const CopyRun run = d.copy("--all");
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    // ".." + "." with its trailing dots dropped leaves no name: the fallback name.
    d.expectFiles({{"ACDC Live.mp3", "one"}, {"Second.m4a", "two"}, {"iPodFile", "three"}});
}

TEST(CliCopy, NamePatternCleansEachFieldAndStaysInsideTheFolder)
{
    Device d;
    const CopyRun run = d.copy("--ids 1 2 3 --name '{artist}/{album}/{id} {title}'");
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    // An artist ".." must not lead out of the folder.
    d.expectFiles({{"BandName/First/1 ACDC Live.mp3", "one"}, {"Unknown/Unknown/2 Second.m4a", "two"}, {"iPodFile/Third/3 ", "three"}});
}

TEST(CliCopy, ExistingFilesAreSkippedReplacedOrKeptBoth)
{
    Device d;
    writeFile(d.out.path() / "Second.m4a", "old");
    CopyRun run = d.copy("--ids 2");
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
    const CopyRun run = d.copy("--ids 42 1");
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
        const fs::path output = out.path().parent_path() / (out.path().filename().string() + ".txt");
        std::system((std::string(SONARCHIVE_CLI) + " " + arguments + " '" + dir.path().string() + "' " + afterRoot + " >'" +
                     output.string() + "' 2>&1")
                        .c_str());
        const std::string text = readFile(output);
        fs::remove(output);
        return text;
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
    const CopyRun run = d.copy("--playlist 'Road: trip' --m3u --name '{playlist}/{index:02} {artist} - {title}'");
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_NE(run.errors.find(", 1 playlist file written"), std::string::npos) << run.errors;
    d.expectFiles({{"Road trip/01 Cy - Three.mp3", "three"}, {"Road trip/02 Ann - One.mp3", "one"}});
    EXPECT_EQ(d.file("Road trip.m3u8"), "#EXTM3U\n"
                                        "#EXTINF:250,Cy - Three\nRoad trip/01 Cy - Three.mp3\n"
                                        "#EXTINF:62,Ann - One\nRoad trip/02 Ann - One.mp3\n"
                                        "#EXTINF:250,Cy - Three\nRoad trip/01 Cy - Three.mp3\n");

    // By index too; a file already there keeps its entry.
    const CopyRun again = d.copy("--playlist 2 --playlist 1 --m3u --skip-existing");
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
    const CopyRun update = d.copy("--all --update --artist a");
    EXPECT_EQ(update.exitCode, 0) << update.errors;
    d.expectFiles({{"One.mp3", "one, longer now"}, {"Three.mp3", "THREE"}});
    EXPECT_NE(update.errors.find("copied 1 of 1 file"), std::string::npos) << update.errors;
    EXPECT_EQ(d.copy("--all --update --overwrite").exitCode, 2);
}
