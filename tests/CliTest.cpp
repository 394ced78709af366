// The command-line tool end to end, on devices built in temporary folders.
#include "ArtworkBuilder.h"
#include "DatabaseBuilder.h"
#include "MediaFixtures.h"
#include "TempDir.h"
#include "ToolRun.h"

#include <sonarchive/ByteText.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>


using namespace testsupport;
namespace fs = std::filesystem;

namespace {

using Result = ToolRun;

// Runs the tool with standard input not a terminal; its errors are dropped, or
// joined to the output.
Result run(const std::string& arguments, bool withErrors = false)
{
    return runCommand(std::string(SONARCHIVE_CLI) + " " + arguments + (withErrors ? " 2>&1" : ""));
}

std::string quoted(const std::filesystem::path& path) { return "'" + path.string() + "'"; }

}  // namespace

TEST(Cli, ListsTracksAsJsonWithTheFieldNames)
{
    TempDir dir;
    const auto device = dir.path() / "My iPod";
    installDatabase(device, buildDatabase(typicalDatabase({makeTrack(5, u"\u00c9t\u00e9", u"Claire"), makeTrack(6, u"Two")})));
    const Result r = run("list " + quoted(device) + " --json");
    ASSERT_EQ(r.exitCode, 0);
    const auto tracks = nlohmann::json::parse(r.out);
    ASSERT_EQ(tracks.size(), 2u);
    EXPECT_EQ(tracks[0]["sTitle"], "\u00c9t\u00e9");
    EXPECT_EQ(tracks[0]["iTrackID"], 5);
    EXPECT_EQ(tracks[0]["sTrackType"], "3PM");
    EXPECT_EQ(tracks[1]["sLocation"], device.string() + "/iPod_Control/Music/F00/ABCD.mp3");
    EXPECT_EQ(tracks[0]["year"], 1999);
    EXPECT_EQ(tracks[0]["hasCover"], false);
    EXPECT_EQ(tracks[0].size(), 36u);
}

TEST(Cli, JsonIsStreamedExactlyAsTheDocumentWouldBeDumped)
{
    TempDir dir;
    std::u16string awkward = u"Quote \" back\\slash \t tab \u0001 bell\u001f \u00e9\u65e5 \U0001F3B5 /";
    awkward.push_back(u'\xD800');  // a lone surrogate
    installDatabase(dir.path(), buildDatabase(typicalDatabase({makeTrack(5, awkward, u"\r\n"), makeTrack(6, u"Two")})));
    const Result r = run("list " + quoted(dir.path()) + " --json");
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, nlohmann::ordered_json::parse(r.out).dump(2) + "\n");
    EXPECT_EQ(nlohmann::json::parse(r.out)[0]["sArtist"], "\r\n");

    TempDir empty;
    installDatabase(empty.path(), buildDatabase(typicalDatabase({})));
    EXPECT_EQ(run("list " + quoted(empty.path()) + " --json").out, "[]\n");
}

TEST(Cli, DumpsEveryRecord)
{
    TempDir dir;
    installDatabase(dir.path(), buildDatabase(typicalDatabase({makeTrack(5, u"A")})));
    const Result r = run("dump " + quoted(dir.path()) + " --json");
    ASSERT_EQ(r.exitCode, 0);
    const auto db = nlohmann::json::parse(r.out);
    EXPECT_EQ(db["MHBD"]["sID"], "mhbd");
    EXPECT_EQ(db["MHSD_T"]["m_mhlt"]["m_mhit"][0]["iUniqueID"], 5);
    EXPECT_EQ(db["MHSD_T"]["m_mhlt"]["m_mhit"][0]["sFiletype"], "MP3 ");
    EXPECT_EQ(db["MHSD_T"]["m_mhlt"]["m_mhit"][0].size(), 86u);
    EXPECT_EQ(db["playlists"]["m_mhlp"]["m_mhyp"][0]["m_mhod_s"]["sString"], "iPod");
}

TEST(Cli, ModifiesAndDeletesThenWritesOnce)
{
    TempDir dir;
    installDatabase(dir.path(), buildDatabase(typicalDatabase({makeTrack(5, u"A"), makeTrack(6, u"B")})));
    EXPECT_EQ(run("modify " + quoted(dir.path()) + " 6 --title 'New title' --year 1987 --skip-when-shuffle 1").exitCode, 0);
    EXPECT_EQ(run("delete " + quoted(dir.path()) + " 5").exitCode, 0);
    const auto tracks = nlohmann::json::parse(run("list " + quoted(dir.path()) + " --json").out);
    ASSERT_EQ(tracks.size(), 1u);
    EXPECT_EQ(tracks[0]["sTitle"], "New title");
    EXPECT_EQ(tracks[0]["year"], 1987);
    EXPECT_EQ(tracks[0]["sYear"], std::string("\xC3\x83\x07\0\0", 5));  // the field's bytes C3 07 00 00, one character each
    EXPECT_EQ(tracks[0]["iSkipWhenShuffle"], 1);
    EXPECT_EQ(run("rewrite " + quoted(dir.path())).exitCode, 0);
}

TEST(Cli, ExitStatusTellsFailureFromMisuse)
{
    TempDir dir;
    EXPECT_EQ(run("list " + quoted(dir.path() / "nothing")).exitCode, 1);
    installDatabase(dir.path(), buildDatabase(typicalDatabase({makeTrack(5, u"A")})));
    EXPECT_EQ(run("delete " + quoted(dir.path()) + " 77").exitCode, 1);
    EXPECT_EQ(run("modify " + quoted(dir.path()) + " 5 --year 12345").exitCode, 2);
    EXPECT_EQ(run("list").exitCode, 2);
    EXPECT_EQ(run("frobnicate").exitCode, 2);
}

// What the manual page is made from: the version, and a usage line naming the
// tool rather than the path it was started by.
TEST(Cli, VersionAndHelpNeedNoCommand)
{
    const Result version = run("--version");
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "sonarchive " SONARCHIVE_VERSION "\n");
    const Result help = run("--help");
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("Usage: sonarchive [OPTIONS] SUBCOMMAND"), std::string::npos) << help.out;
    EXPECT_NE(help.out.find("--version"), std::string::npos);
    EXPECT_EQ(run("--version list").exitCode, 0);  // answered before the command's own arguments are missed
}

TEST(Cli, ListsThousandsOfTracksWithTheirRealSizesAndYears)
{
    std::vector<TrackFixture> tracks;
    for (std::int32_t id = 1; id <= 4000; ++id) {
        TrackFixture t = makeTrack(id, u"Song", u"Artist", u"Album");
        t.year = yearBytes(1950 + id % 70);
        t.patches[31] = std::string(1, static_cast<char>(id % 6 * 20));  // 0 to 5 stars
        if (id % 100 == 0)
            t.trackSize = static_cast<std::int32_t>(0x80000000u + static_cast<std::uint32_t>(id));  // a film of 2 GiB and more
        tracks.push_back(std::move(t));
    }
    TempDir dir;
    installDatabase(dir.path(), buildDatabase(otherSoftwareShape(std::move(tracks), {.playlists = 10})));
    const Result r = run("list " + quoted(dir.path()) + " --json");
    ASSERT_EQ(r.exitCode, 0);
    const auto all = nlohmann::json::parse(r.out);
    ASSERT_EQ(all.size(), 4000u);
    for (std::size_t i = 0; i < all.size(); ++i) {
        const std::int64_t id = all[i]["iTrackID"];
        ASSERT_EQ(all[i]["year"], 1950 + id % 70) << id;
        ASSERT_EQ(all[i]["rating"], id % 6 * 20) << id;
        ASSERT_EQ(all[i]["iFileSize"], id % 100 == 0 ? 0x80000000LL + id : 4000000) << id;
    }
    const Result text = run("list " + quoted(dir.path()));
    EXPECT_EQ(text.out.substr(0, text.out.find('\n')),
              "1\tSong\tArtist\tAlbum\t1951\t" + dir.path().string() + "/iPod_Control/Music/F00/ABCD.mp3\t0\t\u2605\u2606\u2606\u2606\u2606");
}

TEST(Cli, AFailureSaysWhy)
{
    TempDir dir;
    const std::string whole = buildDatabase(typicalDatabase({makeTrack(1, u"A"), makeTrack(2, u"B"), makeTrack(3, u"C")}));
    installDatabase(dir.path(), whole.substr(0, 1200));
    const Result r = run("list " + quoted(dir.path()), true);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("sonarchive: the iPod database of " + dir.path().string() +
                         "/ could not be loaded: at byte 976: the file ends inside a track record (304 bytes of fields, 224 left)\n"),
              std::string::npos)
        << r.out;
}

TEST(Cli, ASignedDatabaseIsWrittenOnlyWhenAllowed)
{
    TempDir dir;
    DatabaseFixture db = typicalDatabase({makeTrack(1, u"A"), makeTrack(2, u"B")});
    signHeader(db, 3);
    installDatabase(dir.path(), buildDatabase(db));
    const auto file = dir.path() / "iPod_Control/iTunes/Sonarchive";
    const std::string original = readFile(file);

    const auto dump = nlohmann::json::parse(run("dump " + quoted(dir.path())).out);
    EXPECT_EQ(dump["signed"], true);
    EXPECT_EQ(dump["signatureScheme"], 3);
    EXPECT_EQ(run("rewrite " + quoted(dir.path())).exitCode, 0);  // unchanged: its signature holds

    const Result refused = run("delete " + quoted(dir.path()) + " 1", true);
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.out.find("sonarchive: the database was not written: the database is signed by the iPod's own software"),
              std::string::npos) << refused.out;
    EXPECT_NE(refused.out.find("(--allow-unsigned writes it all the same)"), std::string::npos);
    EXPECT_EQ(readFile(file), original);

    EXPECT_EQ(run("delete " + quoted(dir.path()) + " 1 --allow-unsigned").exitCode, 0);
    EXPECT_EQ(nlohmann::json::parse(run("list " + quoted(dir.path()) + " --json").out).size(), 1u);

    const Result reset = run("reset " + quoted(dir.path()));
    EXPECT_EQ(reset.exitCode, 0);
    EXPECT_NE(reset.out.find("the iPod's own desktop software will have to sign the new one"), std::string::npos) << reset.out;
}

TEST(Cli, ListsADeviceWhoseFoldersAreInCapitals)
{
    TempDir dir;
    std::filesystem::create_directories(dir.path() / "IPOD_CONTROL/ITUNES");
    std::filesystem::create_directories(dir.path() / "IPOD_CONTROL/MUSIC/F00");
    writeFile(dir.path() / "IPOD_CONTROL/ITUNES/Sonarchive", buildDatabase(typicalDatabase({makeTrack(1, u"Caps")})));
    writeFile(dir.path() / "IPOD_CONTROL/MUSIC/F00/ABCD.MP3", "x");
    const Result r = run("list " + quoted(dir.path()));
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "1\tCaps\tArtist\tAlbum\t1999\t" + dir.path().string() + "/IPOD_CONTROL/MUSIC/F00/ABCD.MP3\t0\t\n");
}

TEST(Cli, ProbeTellsWhatAFileHoldsAndWhyTheDeviceCannotPlayIt)
{
    TempDir dir;
    writeFile(dir.path() / "tone.wav", mediafixtures::waveFile(8000, 1, 16, 24000));  // 1.5 s
    writeFile(dir.path() / "song.mp3", "fLaC" + std::string(60, '\0'));
    const auto probed = nlohmann::json::parse(run("probe --json " + quoted(dir.path() / "tone.wav") + " " + quoted(dir.path() / "song.mp3")).out);
    ASSERT_EQ(probed.size(), 2u);
    EXPECT_EQ(probed[0]["iTrackTimLength"], 1500);
    EXPECT_EQ(probed[0]["iSampleRateInHz"], 8000);
    EXPECT_EQ(probed[0]["isFileSupported"], true);
    EXPECT_EQ(probed[0]["iTrackNumber"], 0);
    EXPECT_EQ(probed[0]["unplayable"], "");
    EXPECT_EQ(probed[1]["isFileSupported"], false);
    EXPECT_EQ(probed[1]["unplayable"], (dir.path() / "song.mp3").string() + " cannot be played on the iPod: FLAC");

    installDatabase(dir.path() / "ipod", buildDatabase(typicalDatabase({makeTrack(1, u"A")})));
    const Result added = run("add " + quoted(dir.path() / "ipod") + " " + quoted(dir.path() / "song.mp3"), true);
    EXPECT_EQ(added.exitCode, 1);
    EXPECT_NE(added.out.find("sonarchive: " + (dir.path() / "song.mp3").string() + " cannot be played on the iPod: FLAC\n"),
              std::string::npos) << added.out;
    EXPECT_EQ(nlohmann::json::parse(run("list --json " + quoted(dir.path() / "ipod")).out).size(), 1u);
}

// A device played since its last sync: two plays and four stars for "Night",
// an On-The-Go list of Day, Night, Day.
TEST(Cli, ShowsCopiesAndFoldsWhatTheDeviceRecordedSinceItsLastSync)
{
    TempDir dir;
    const fs::path device = dir.path() / "ipod";
    std::vector<TrackFixture> tracks = {makeTrack(7, u"Day", u"Sun", u"Light", u":iPod_Control:Music:F00:DAY.mp3"),
                                        makeTrack(8, u"Night", u"Moon", u"Dark", u":iPod_Control:Music:F00:NIGHT.mp3")};
    tracks[1].playCount = 3;
    installDatabase(device, buildDatabase(typicalDatabase(tracks)));
    writeFile(device / "iPod_Control/Music/F00/DAY.mp3", "day");
    writeFile(device / "iPod_Control/Music/F00/NIGHT.mp3", "night");
    const std::uint32_t when = deviceClock(1709294400);
    installBesideDatabase(device, "Play Counts",
                          playCountsFile(28, {{}, {.plays = 2, .lastPlayed = when, .bookmarkMs = 1500, .rating = 80, .skips = 1}}));
    installBesideDatabase(device, "OTGPlaylistInfo", onTheGoFile({0, 1, 0}));
    installBesideDatabase(device, "OTGPlaylistInfo_1", "mhpo");

    const Result list = run("list " + quoted(device) + " --json", true);
    ASSERT_EQ(list.exitCode, 0);
    EXPECT_EQ(list.out.substr(0, list.out.find('\n')), "sonarchive: warning: iPod_Control/iTunes/OTGPlaylistInfo_1: at byte 0: "
                                                        "not a notes file (no \"mhpo\" head); the file was ignored");
    const auto night = nlohmann::json::parse(run("list " + quoted(device) + " --json").out)[1];
    EXPECT_EQ(std::tie(night["iPlayCount"], night["recentPlays"], night["rating"], night["lastPlayed"], night["skipCount"],
                       night["bookmarkMs"]),
              std::make_tuple(5, 2, 80, 1709294400, 1, 1500));
    const std::string text = run("list " + quoted(device)).out;
    EXPECT_NE(text.find("7\tDay\tSun\tLight\t1999\t/"), std::string::npos) << text;
    EXPECT_NE(text.find(".mp3\t0\t\n8\tNight\tMoon\tDark\t1999\t/"), std::string::npos) << text;
    EXPECT_NE(text.find(".mp3\t5\t\u2605\u2605\u2605\u2605\u2606\n"), std::string::npos) << text;

    const auto lists = nlohmann::json::parse(run("playlists " + quoted(device) + " --json").out);
    ASSERT_EQ(lists.size(), 2u);
    EXPECT_EQ(lists[1], nlohmann::json::parse(R"({"index": 1, "name": "On-The-Go 1", "kind": "onthego", "ids": [7, 8, 7]})"));
    const auto dump = nlohmann::json::parse(run("dump " + quoted(device)).out)["sinceLastSync"];
    EXPECT_EQ(dump["playCounts"]["entrySize"], 28);
    EXPECT_EQ(dump["playCounts"]["entries"][1]["lastPlayed"], when);
    EXPECT_EQ(dump["onTheGo"][0]["trackIndices"], nlohmann::json::parse("[0, 1, 0]"));

    // Copied by the On-The-Go list's name, with stars and plays in the names, four stars or more.
    const fs::path out = dir.path() / "out";
    EXPECT_EQ(run("copy " + quoted(device) + " " + quoted(out) + " --playlist 'On-The-Go 1' --m3u --min-rating 4 "
                  "--name '{rating} stars/{plays} {title}'").exitCode, 0);
    EXPECT_EQ(readFile(out / "4 stars/5 Night.mp3"), "night");
    EXPECT_FALSE(fs::exists(out / "0 stars"));
    EXPECT_EQ(readFile(out / "On-The-Go 1.m3u8"), "#EXTM3U\n#EXTINF:250,Moon - Night\n4 stars/5 Night.mp3\n");

    // A write folds it in once and sets the files aside.
    EXPECT_EQ(run("rewrite " + quoted(device)).exitCode, 0);
    EXPECT_TRUE(fs::exists(device / "iPod_Control/iTunes/Play Counts.bak"));
    EXPECT_TRUE(fs::exists(device / "iPod_Control/iTunes/OTGPlaylistInfo.bak"));
    EXPECT_TRUE(fs::exists(device / "iPod_Control/iTunes/OTGPlaylistInfo_1.bak"));
    EXPECT_EQ(nlohmann::json::parse(run("list " + quoted(device) + " --json").out)[1]["iPlayCount"], 5);
    const auto folded = nlohmann::json::parse(run("playlists " + quoted(device) + " --json").out);
    EXPECT_EQ(folded[1], nlohmann::json::parse(R"({"index": 1, "name": "On-The-Go 1", "kind": "normal", "ids": [7, 8, 7]})"));
}

// Covers from the device's artwork database: listed, written as PNG or JPEG,
// and damage reported in one line that names the file and the byte.
TEST(Cli, CoversAreListedAndWrittenAndDamageIsOneWarning)
{
    TempDir dir;
    const auto device = dir.path() / "ipod";
    TrackFixture withCover = makeTrack(1, u"One"), without = makeTrack(2, u"Two");
    linkArtwork(withCover, 0x1234567890, 1);
    linkArtwork(without, 77, 2);
    installDatabase(device, buildDatabase(typicalDatabase({withCover, without})));
    const ArtworkFiles artwork = buildArtwork({.images = {{.imageId = 9, .songId = 0x1234567890, .pictures = nanoFormats()}}});
    installArtwork(device, artwork);

    const auto listed = nlohmann::json::parse(run("list " + quoted(device) + " --json").out);
    EXPECT_EQ(listed[0]["hasCover"], true);
    EXPECT_EQ(listed[1]["hasCover"], false);

    const Result png = run("cover " + quoted(device) + " 1 " + quoted(dir.path() / "one.png"));
    EXPECT_EQ(png.exitCode, 0);
    EXPECT_EQ(png.out, (dir.path() / "one.png").string() + ": the 200x200 cover of track 1\n");
    EXPECT_EQ(readFile(dir.path() / "one.png").substr(0, 8), "\x89PNG\r\n\x1a\n");
    ASSERT_EQ(run("cover " + quoted(device) + " 1 " + quoted(dir.path() / "one.JPG")).exitCode, 0);
    EXPECT_EQ(readFile(dir.path() / "one.JPG").substr(0, 3), "\xFF\xD8\xFF");

    EXPECT_EQ(run("cover " + quoted(device) + " 2 " + quoted(dir.path() / "two.png"), true).out, "sonarchive: track 2 has no cover\n");
    EXPECT_EQ(run("cover " + quoted(device) + " 2 " + quoted(dir.path() / "two.png")).exitCode, 1);
    EXPECT_EQ(run("cover " + quoted(device) + " 1 " + quoted(dir.path() / "one.gif")).exitCode, 2);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "two.png"));

    // The large picture's file cut short: the smaller one is shown, with one warning.
    const auto large = device / "iPod_Control/Artwork/F1029_1.ithmb";
    std::filesystem::resize_file(large, 1000);
    const Result shortFile = run("cover " + quoted(device) + " 1 " + quoted(dir.path() / "small.png"), true);
    EXPECT_EQ(shortFile.exitCode, 0);
    EXPECT_EQ(shortFile.out, "sonarchive: warning: " + large.string() +
                                 ": at byte 0: a picture of 80,000 bytes runs past the end of the file (1,000 bytes); the covers "
                                 "stored past its end are left out\n" +
                                 (dir.path() / "small.png").string() + ": the 100x100 cover of track 1\n");

    // A damaged database: the tracks are listed all the same, without covers.
    std::string database = artwork.database;
    database.replace(static_cast<std::size_t>(artwork.imageAt[0]) + 4, 4, le32(3));
    writeFile(device / "iPod_Control/Artwork/ArtworkDB", database);
    const Result damaged = run("list " + quoted(device) + " --json", true);
    EXPECT_EQ(damaged.exitCode, 0);
    const std::string warning = "sonarchive: warning: " + (device / "iPod_Control/Artwork/ArtworkDB").string() + ": at byte " +
                                std::to_string(artwork.imageAt[0]) + ": image item header size 3; covers are left out\n";
    ASSERT_EQ(damaged.out.substr(0, warning.size()), warning);
    const auto tracks = nlohmann::json::parse(damaged.out.substr(warning.size()));
    ASSERT_EQ(tracks.size(), 2u);
    EXPECT_EQ(tracks[0]["hasCover"], false);
}

TEST(Cli, ABackupOfADeviceWithoutADatabaseSaysThereIsNothingToBackUp)
{
    TempDir dir;
    const fs::path device = dir.path() / "iPod";
    fs::create_directories(device / "iPod_Control/iTunes");
    fs::create_directories(device / "iPod_Control/Music");
    const Result r = runCommand(std::string(SONARCHIVE_CLI) + " backup " + quoted(device) + " " + quoted(dir.path() / "backups"));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.errors, "sonarchive: nothing to back up: " + (device / "iPod_Control/iTunes").string() + " holds no iPod database\n");
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(fs::exists(dir.path() / "backups"));
}
