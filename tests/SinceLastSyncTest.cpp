// What the device recorded since its last sync ("Play Counts", the On-The-Go
// files): merged into what a load shows, folded into the records by a write and
// then set aside, never stopping a load when damaged.
#include "TestDevice.h"

#include <gtest/gtest.h>

using namespace sonarchive;
using namespace testsupport;
namespace fs = std::filesystem;

namespace {

constexpr std::int64_t kMarch2024 = 1709294400;  // 2024-03-01 12:00:00 UTC
constexpr std::int64_t kJune2023 = 1685620800;   // 2023-06-01 12:00:00 UTC

// Tracks 11, 12, 13 with what the last sync recorded: 5, 0 and 2 plays, 2 stars
// for the first, a last play in June 2023 for the third, 3 skips for the second.
// The fields are set for every track (other software's headers are full of
// data otherwise), as far as an early device's short headers reach (156 bytes
// for odd ids, 160 for even ones).
std::vector<TrackFixture> syncedTracks(bool early = false)
{
    std::vector<TrackFixture> tracks = {makeTrack(11, u"One"), makeTrack(12, u"Two"), makeTrack(13, u"Three")};
    const std::int32_t lastPlayed[] = {0, 0, static_cast<std::int32_t>(deviceClock(kJune2023))};
    const std::int32_t bookmark[] = {0, 0, 9000};
    const std::int32_t skips[] = {0, 3, 0};
    const char rating[] = {'\x28', 0, 0};  // 40
    for (std::size_t i = 0; i < tracks.size(); ++i) {
        TrackFixture& t = tracks[i];
        t.patches[31] = std::string(1, rating[i]);
        t.patches[88] = le32(lastPlayed[i]);
        t.patches[108] = le32(bookmark[i]);
        const std::int32_t headerSize = early ? (t.id % 2 ? 156 : 160) : 1000;
        if (headerSize >= 160)
            t.patches[156] = le32(skips[i]);
        if (headerSize >= 164)
            t.patches[160] = le32(0);  // last skipped
    }
    tracks[0].playCount = 5;
    tracks[2].playCount = 2;
    return tracks;
}

// The device played track 11 three times (and rated it 4 stars), skipped 13
// twice, left 12 alone.
std::vector<PlayCountFixture> devicePlays()
{
    return {{.plays = 3, .lastPlayed = deviceClock(kMarch2024), .bookmarkMs = 61000, .rating = 80, .unknown16 = 7},
            {},
            {.skips = 2, .lastSkipped = deviceClock(kMarch2024 + 60)}};
}

struct Seen {
    std::int32_t plays, recent, rating, skips, bookmark;
    std::int64_t lastPlayed, lastSkipped;
    friend bool operator==(const Seen&, const Seen&) = default;
    friend std::ostream& operator<<(std::ostream& out, const Seen& s)
    {
        return out << "{plays " << s.plays << ", recent " << s.recent << ", rating " << s.rating << ", skips " << s.skips
                   << ", bookmark " << s.bookmark << ", last played " << s.lastPlayed << ", last skipped " << s.lastSkipped << "}";
    }
};

Seen seen(const TrackInfo& i)
{
    return {i.iPlayCount, i.iRecentPlays, i.iRating, i.iSkipCount, i.iBookmarkMs, i.iLastPlayed, i.iLastSkipped};
}

Seen seen(const clsSonarchive& db, std::int32_t id) { return seen(db.GetTrackInfo(id)); }

bool exists(const TestDevice& d, const std::string& name) { return fs::exists(d.file().parent_path() / name); }

}  // namespace

TEST(SinceLastSync, EveryEntrySizeMergesWhatItHolds)
{
    // Entry sizes as devices write them: 12 (plays, last played, bookmark), 16 (+ rating),
    // 20 (+ a field kept), 28 (+ skips and last skipped).
    const Seen synced11{5, 0, 40, 0, 0, 0, 0};
    const Seen synced13{2, 0, 0, 0, 9000, kJune2023, 0};
    const std::vector<std::tuple<std::int32_t, Seen, Seen, Seen>> cases = {
        {12, {8, 3, 40, 0, 61000, kMarch2024, 0}, {0, 0, 0, 3, 0, 0, 0}, synced13},
        {16, {8, 3, 80, 0, 61000, kMarch2024, 0}, {0, 0, 0, 3, 0, 0, 0}, {2, 0, 0, 0, 9000, kJune2023, 0}},
        {20, {8, 3, 80, 0, 61000, kMarch2024, 0}, {0, 0, 0, 3, 0, 0, 0}, {2, 0, 0, 0, 9000, kJune2023, 0}},
        {28, {8, 3, 80, 0, 61000, kMarch2024, 0}, {0, 0, 0, 3, 0, 0, 0}, {2, 0, 0, 2, 9000, kJune2023, kMarch2024 + 60}},
    };
    for (const auto& [entrySize, one, two, three] : cases) {
        SCOPED_TRACE(entrySize);
        TestDevice d;
        d.install(typicalDatabase(syncedTracks()));
        installBesideDatabase(d.dir.path(), "Play Counts", playCountsFile(entrySize, devicePlays()));
        ASSERT_TRUE(d.reload());
        EXPECT_EQ(seen(d.db, 11), one);
        EXPECT_EQ(seen(d.db, 12), two);
        EXPECT_EQ(seen(d.db, 13), three);
        EXPECT_TRUE(d.db.loadWarnings().empty());
        // Every client sees the same values, the records stay as the file holds them.
        d.db.forEachTrackInfo([&](const TrackInfo& info) {
            if (info.iTrackID == 11) {
                EXPECT_EQ(seen(info), one);
            }
        });
        EXPECT_EQ(d.db.GetAllTracks().m_mhlt.m_mhit[0].iPlayCount, 5);
        ASSERT_TRUE(d.db.deviceNotes().playCounts);
        EXPECT_EQ(d.db.deviceNotes().playCounts->entrySize, entrySize);
        EXPECT_EQ(d.db.deviceNotes().playCounts->entries[0].unknown16, entrySize >= 20 ? 7u : 0u);
    }
    TestDevice none;
    ASSERT_TRUE(none.load(typicalDatabase(syncedTracks())));
    EXPECT_EQ(seen(none.db, 11), synced11);
    EXPECT_FALSE(none.db.deviceNotes().playCounts);
}

TEST(SinceLastSync, DamagedFilesAreIgnoredWithAWarningNamingTheByte)
{
    const std::string good = playCountsFile(16, devicePlays());
    std::string badMagic = good;
    badMagic[0] = 'X';
    std::string headerPastEnd = good;
    headerPastEnd.replace(4, 4, le32(100000));
    std::string tooMany = good;
    tooMany.replace(12, 4, le32(1000000));
    const std::vector<std::pair<std::string, std::string>> cases = {
        {badMagic, "iPod_Control/iTunes/Play Counts: at byte 0: not a notes file (no \"mhdp\" head); the file was ignored"},
        {headerPastEnd, "iPod_Control/iTunes/Play Counts: at byte 4: header size 100000 (the file has 144 bytes); the file was ignored"},
        {tooMany, "iPod_Control/iTunes/Play Counts: at byte 12: entry count 1000000 (more than the 48 bytes after the header can "
                  "hold); the file was ignored"},
        {good.substr(0, 10), "iPod_Control/iTunes/Play Counts: at byte 0: not a notes file (no \"mhdp\" head); the file was ignored"},
    };
    for (const auto& [bytes, warning] : cases) {
        TestDevice d;
        d.install(typicalDatabase(syncedTracks()));
        installBesideDatabase(d.dir.path(), "Play Counts", bytes);
        installBesideDatabase(d.dir.path(), "OTGPlaylistInfo", "mhpo" + le32(20) + le32(4) + le32(50) + le32(0));
        ASSERT_TRUE(d.reload());
        EXPECT_EQ(seen(d.db, 11), (Seen{5, 0, 40, 0, 0, 0, 0}));
        ASSERT_EQ(d.db.loadWarnings().size(), 2u);
        EXPECT_EQ(d.db.loadWarnings()[0], warning);
        EXPECT_EQ(d.db.loadWarnings()[1], "iPod_Control/iTunes/OTGPlaylistInfo: at byte 12: entry count 50 (more than the 0 bytes "
                                          "after the header can hold); the file was ignored");
        EXPECT_EQ(d.db.playlists().size(), 1u);
        EXPECT_TRUE(d.host.prompts.empty());
    }
}

TEST(SinceLastSync, ACountThatDisagreesCoversTheTracksItCan)
{
    TestDevice d;
    d.install(typicalDatabase(syncedTracks()));
    installBesideDatabase(d.dir.path(), "PLAY COUNTS", playCountsFile(28, {{.plays = 1}, {.plays = 4}}));
    ASSERT_TRUE(d.reload());
    EXPECT_EQ(d.db.GetTrackInfo(12).iPlayCount, 4);
    EXPECT_EQ(d.db.GetTrackInfo(13).iPlayCount, 2);
    EXPECT_EQ(d.db.loadWarnings(), std::vector<std::string>{"iPod_Control/iTunes/PLAY COUNTS holds 2 entries for 3 tracks; the "
                                                            "tracks after the first 2 show what the last sync recorded"});

    TestDevice more;
    more.install(typicalDatabase({makeTrack(11, u"One")}));
    installBesideDatabase(more.dir.path(), "play counts", playCountsFile(12, {{.plays = 1}, {.plays = 9}}));
    ASSERT_TRUE(more.reload());
    EXPECT_EQ(more.db.GetTrackInfo(11).iPlayCount, 1);
    ASSERT_EQ(more.db.loadWarnings().size(), 1u);
    // Entries past the tracks are counted, not kept.
    EXPECT_EQ(more.db.deviceNotes().playCounts->entryCount, 2);
    EXPECT_EQ(more.db.deviceNotes().playCounts->entries.size(), 1u);
    // A track added after the load is none of the entries'.
    TrackInfo added{.sTitle = u"New", .sFiletype = u"MP3", .iFileSize = 10};
    const std::int32_t id = more.db.AddTrack(u"", added, true, (more.dir.path() / "iPod_Control/Music/F00/NEW.mp3").u16string(), true);
    ASSERT_GT(id, 0);
    EXPECT_EQ(more.db.GetTrackInfo(id).iPlayCount, 0);
}

TEST(SinceLastSync, OnTheGoPlaylistsFollowTheDatabasesInFileOrder)
{
    TestDevice d;
    DatabaseFixture db = typicalDatabase(syncedTracks());
    std::get<PlaylistSection>(db.sections[2]).playlists.push_back({.title = u"Mine", .trackIds = {12}});
    d.install(db);
    installBesideDatabase(d.dir.path(), "OTGPlaylistInfo", onTheGoFile({2, 0, 2, 3}));
    installBesideDatabase(d.dir.path(), "otgplaylistinfo_1", onTheGoFile({1}));
    installBesideDatabase(d.dir.path(), "OTGPlaylistInfo_3", onTheGoFile({0}));  // after a gap: not read
    ASSERT_TRUE(d.reload());
    const std::vector<PlaylistView> views = d.db.playlists();
    ASSERT_EQ(views.size(), 4u);
    EXPECT_EQ(views[2], (PlaylistView{2, u"On-The-Go 1", PlaylistKind::OnTheGo, {13, 11, 13}}));
    EXPECT_EQ(views[3], (PlaylistView{3, u"On-The-Go 2", PlaylistKind::OnTheGo, {12}}));
    EXPECT_STREQ(playlistKindName(views[2].kind), "onthego");
    EXPECT_EQ(d.db.loadWarnings(), std::vector<std::string>{"iPod_Control/iTunes/OTGPlaylistInfo: 1 entry names a track past the "
                                                            "3 of the track list (entry 4); left out of the playlist"});
    ASSERT_EQ(d.db.deviceNotes().onTheGo.size(), 2u);
    EXPECT_EQ(d.db.deviceNotes().onTheGo[0].trackIndices, (std::vector<std::uint32_t>{2, 0, 2, 3}));  // as read
    EXPECT_EQ(d.db.deviceNotes().onTheGo[1].fileName, "otgplaylistinfo_1");

    // The entry left out names no track added since, in the list nor in a write.
    TrackInfo added{.sTitle = u"New", .sFiletype = u"MP3", .iFileSize = 10};
    ASSERT_GT(d.db.AddTrack(u"", added, true, (d.dir.path() / "iPod_Control/Music/F00/NEW.mp3").u16string(), true), 0);
    EXPECT_EQ(d.db.playlists()[2].trackIds, (std::vector<std::int32_t>{13, 11, 13}));
    ASSERT_TRUE(d.db.writeDatabase()) << d.db.lastFailure().message;
    ASSERT_TRUE(d.reload());
    EXPECT_EQ(d.db.playlists()[2], (PlaylistView{2, u"On-The-Go 1", PlaylistKind::Normal, {13, 11, 13}}));
}

TEST(SinceLastSync, WhatAWriteCannotPlaceOrRenameStaysBesideTheDatabase)
{
    // No playlist section to hold the On-The-Go list: its file stays for a later sync.
    TestDevice bare;
    DatabaseFixture tracksOnly = typicalDatabase(syncedTracks());
    tracksOnly.sections.resize(1);
    bare.install(tracksOnly);
    installBesideDatabase(bare.dir.path(), "Play Counts", playCountsFile(28, devicePlays()));
    installBesideDatabase(bare.dir.path(), "OTGPlaylistInfo", onTheGoFile({2, 0}));
    ASSERT_TRUE(bare.reload());
    ASSERT_TRUE(bare.db.writeDatabase()) << bare.db.lastFailure().message;
    EXPECT_TRUE(exists(bare, "Play Counts.bak"));
    EXPECT_TRUE(exists(bare, "OTGPlaylistInfo"));
    ASSERT_TRUE(bare.reload());
    EXPECT_EQ(bare.db.GetTrackInfo(11).iPlayCount, 8);
    ASSERT_EQ(bare.db.playlists().size(), 1u);
    EXPECT_EQ(bare.db.playlists()[0].kind, PlaylistKind::OnTheGo);

    // A file that can't be renamed is named; the others are still set aside.
    TestDevice d;
    d.install(typicalDatabase(syncedTracks()));
    installBesideDatabase(d.dir.path(), "Play Counts", playCountsFile(28, devicePlays()));
    installBesideDatabase(d.dir.path(), "OTGPlaylistInfo", onTheGoFile({1}));
    writeFile(d.file().parent_path() / "Play Counts.bak" / "inside", "a folder in the way");
    ASSERT_TRUE(d.reload());
    EXPECT_FALSE(d.db.writeDatabase());
    EXPECT_NE(d.db.lastFailure().message.find("the new database is in place, but iPod_Control/iTunes/Play Counts could not be renamed"),
              std::string::npos)
        << d.db.lastFailure().message;
    EXPECT_TRUE(exists(d, "Play Counts"));
    EXPECT_TRUE(exists(d, "OTGPlaylistInfo.bak"));
}

TEST(SinceLastSync, AWriteFoldsTheNotesInAndSetsTheFilesAside)
{
    const std::vector<std::pair<const char*, DatabaseFixture>> shapes = {
        {"typical", typicalDatabase(syncedTracks())},
        {"device", deviceShape(syncedTracks())},
        {"other software", otherSoftwareShape(syncedTracks())},
        {"early device", earlyDeviceShape(syncedTracks(true))},
    };
    for (const auto& [name, db] : shapes) {
        SCOPED_TRACE(name);
        TestDevice d;
        d.install(db);
        const std::string counts = playCountsFile(28, devicePlays());
        installBesideDatabase(d.dir.path(), "Play Counts", counts);
        installBesideDatabase(d.dir.path(), "OTGPlaylistInfo", onTheGoFile({2, 0, 2}));
        installBesideDatabase(d.dir.path(), "Play Counts.bak", "an older one");
        ASSERT_TRUE(d.reload());
        const std::vector<PlaylistView> before = d.db.playlists();
        const Seen one = seen(d.db, 11);
        const Seen three = seen(d.db, 13);

        ASSERT_TRUE(d.db.writeDatabase()) << d.db.lastFailure().message;
        EXPECT_FALSE(exists(d, "Play Counts"));
        EXPECT_FALSE(exists(d, "OTGPlaylistInfo"));
        EXPECT_EQ(readFile(d.file().parent_path() / "Play Counts.bak"), counts);
        EXPECT_TRUE(exists(d, "OTGPlaylistInfo.bak"));

        // Read again, the database alone says the same: nothing counted twice.
        ASSERT_TRUE(d.reload());
        const bool early = std::string(name) == "early device";
        EXPECT_EQ(seen(d.db, 11), (Seen{8, 0, 80, 0, 61000, kMarch2024, 0}));
        // An early device's 156-byte header (odd ids) has no room for skips.
        EXPECT_EQ(seen(d.db, 13), early ? (Seen{2, 0, 0, 0, 9000, kJune2023, 0}) : (Seen{2, 0, 0, 2, 9000, kJune2023, kMarch2024 + 60}));
        EXPECT_EQ(three.skips, 2);
        EXPECT_EQ(one.plays, 8);
        // The On-The-Go list is a playlist of the database now, in every playlist section.
        std::vector<PlaylistView> after = d.db.playlists();
        ASSERT_EQ(after.size(), before.size());
        EXPECT_EQ(after.back(), (PlaylistView{before.back().index, u"On-The-Go 1", PlaylistKind::Normal, {13, 11, 13}}));
        for (const MHSD_P& section : {d.db.GetAllPlayLists(), d.db.GetAllPodcasts()}) {
            if (section.sID.empty())
                continue;
            const MHYP& otg = section.m_mhlp.m_mhyp.at(static_cast<std::size_t>(section.m_mhlp.iNumberOfPlaylists - 1));
            EXPECT_EQ(otg.m_mhod_s.sString, u"On-The-Go 1");
            EXPECT_EQ(otg.iPlaylistItemsCount, 3);
            EXPECT_EQ(otg.m_mhip[0].iChildCount, early ? 0 : 1);  // items as its neighbours' are
        }
        EXPECT_TRUE(d.db.loadWarnings().empty());
    }
}

TEST(SinceLastSync, AFailedOrRefusedWriteSetsNothingAsideAndCountsNothingTwice)
{
    TestDevice d;
    d.install(typicalDatabase(syncedTracks()));
    installBesideDatabase(d.dir.path(), "Play Counts", playCountsFile(16, devicePlays()));
    ASSERT_TRUE(d.reload());
    const std::string before = d.bytes();
    {
        const FailingStep full("write", std::system_error(std::make_error_code(std::errc::no_space_on_device), "device full"));
        EXPECT_FALSE(d.db.writeDatabase());
    }
    EXPECT_EQ(d.bytes(), before);
    EXPECT_TRUE(exists(d, "Play Counts"));
    EXPECT_FALSE(exists(d, "Play Counts.bak"));
    EXPECT_EQ(d.db.GetTrackInfo(11).iPlayCount, 8);
    // Tried again, the notes are folded once.
    ASSERT_TRUE(d.db.writeDatabase());
    ASSERT_TRUE(d.reload());
    EXPECT_EQ(d.db.GetTrackInfo(11).iPlayCount, 8);

    // A signed database would change: refused, the files stay.
    TestDevice s;
    DatabaseFixture signedDb = typicalDatabase(syncedTracks());
    signHeader(signedDb);
    s.install(signedDb);
    installBesideDatabase(s.dir.path(), "Play Counts", playCountsFile(16, devicePlays()));
    ASSERT_TRUE(s.reload());
    const std::string signedBytes = s.bytes();
    EXPECT_FALSE(s.db.writeDatabase());
    EXPECT_EQ(s.db.lastFailure().code, FailureCode::Signed);
    EXPECT_EQ(s.bytes(), signedBytes);
    EXPECT_TRUE(exists(s, "Play Counts"));
}

TEST(SinceLastSync, ARewriteWithoutNotesIsByteForByteAndAResetSetsThemAside)
{
    TestDevice d;
    d.install(otherSoftwareShape(syncedTracks()));
    const std::string before = d.bytes();
    ASSERT_TRUE(d.reload());
    ASSERT_TRUE(d.db.writeDatabase());
    EXPECT_EQ(d.bytes(), before);

    installBesideDatabase(d.dir.path(), "Play Counts", playCountsFile(12, devicePlays()));
    installBesideDatabase(d.dir.path(), "OTGPlaylistInfo", onTheGoFile({0}));
    ASSERT_TRUE(d.reload());
    ASSERT_TRUE(d.db.ResetiPodDB());
    EXPECT_FALSE(exists(d, "Play Counts"));
    EXPECT_TRUE(exists(d, "Play Counts.bak"));
    EXPECT_TRUE(exists(d, "OTGPlaylistInfo.bak"));
    ASSERT_TRUE(d.reload());
    EXPECT_TRUE(d.db.playlists().size() <= 1u);
}

TEST(Playlists, ANewPlaylistGoesIntoEveryPlaylistSection)
{
    TestDevice d;
    d.install(otherSoftwareShape(syncedTracks()));
    ASSERT_TRUE(d.reload());
    const std::optional<std::int32_t> added = d.db.addPlaylist(u"Mix", {13, 11});
    ASSERT_TRUE(added);
    const std::int32_t index = *added;
    ASSERT_TRUE(d.db.writeDatabase());
    ASSERT_TRUE(d.reload());
    const MHSD_P playlists = d.db.GetAllPlayLists();
    const MHSD_P podcasts = d.db.GetAllPodcasts();
    const MHYP& inPlaylists = playlists.m_mhlp.m_mhyp.back();
    const MHYP& inPodcasts = podcasts.m_mhlp.m_mhyp.back();
    for (const MHYP* p : {&inPlaylists, &inPodcasts}) {
        EXPECT_EQ(p->m_mhod_s.sString, u"Mix");
        EXPECT_EQ(p->iHeaderSize, 184);
        ASSERT_EQ(p->iPlaylistItemsCount, 2);
        EXPECT_EQ(p->m_mhip[0].iTrackID, 13);
        EXPECT_EQ(p->m_mhip[1].iTrackID, 11);
        EXPECT_EQ(p->m_mhod_poe[1].iPosition, 2);
    }
    EXPECT_EQ(inPlaylists.sPerPlayListID, inPodcasts.sPerPlayListID);
    EXPECT_EQ(playlists.m_mhlp.iNumberOfPlaylists, index + 1);
}

TEST(SinceLastSync, ANotesFileTheDiskCannotReadIsKeptApartAndNeverReplaced)
{
    TestDevice d;
    d.install(typicalDatabase(syncedTracks()));
    const fs::path folder = d.file().parent_path();
    fs::create_directory(folder / "Play Counts");  // opens, but can't be read as a file
    writeFile(folder / "Play Counts" / "inside", "kept");
    installBesideDatabase(d.dir.path(), "Play Counts.bak", "an older one");
    ASSERT_TRUE(d.reload());
    ASSERT_EQ(d.db.loadWarnings().size(), 1u);
    EXPECT_NE(d.db.loadWarnings()[0].find("; the file was ignored and will be kept"), std::string::npos) << d.db.loadWarnings()[0];
    EXPECT_EQ(d.db.GetTrackInfo(11).iPlayCount, 5);

    ASSERT_TRUE(d.db.writeDatabase()) << d.db.lastFailure().message;
    EXPECT_EQ(readFile(folder / "Play Counts.bak"), "an older one");
    EXPECT_EQ(readFile(folder / "Play Counts.1.bak" / "inside"), "kept");
    EXPECT_FALSE(exists(d, "Play Counts"));
}
