#include "TestDevice.h"

#include <AtomicFile.h>
#include <clsSonarchive.h>

#include <gtest/gtest.h>

#include <random>

using namespace sonarchive;
using namespace testsupport;

namespace {

using Device = TestDevice;

// Sizes a reader other than ours relies on: each chunk's total covers exactly
// what follows it, counts match the chunks present, the header's total is the
// file's length.
void expectConsistent(const std::string& f)
{
    ASSERT_EQ(readI32(f, 8), static_cast<std::int32_t>(f.size()));
    std::size_t pos = static_cast<std::size_t>(readI32(f, 4));
    int sections = 0;
    while (pos < f.size()) {
        ASSERT_EQ(f.substr(pos, 4), "mhsd") << pos;
        const auto total = static_cast<std::size_t>(readI32(f, pos + 8));
        const int type = readI32(f, pos + 12);
        const std::size_t end = pos + total;
        std::size_t p = pos + static_cast<std::size_t>(readI32(f, pos + 4));
        if (type == 1) {
            const int tracks = readI32(f, p + 8);
            p += static_cast<std::size_t>(readI32(f, p + 4));
            for (int t = 0; t < tracks; ++t) {
                EXPECT_EQ(f.substr(p, 4), "mhit");
                const std::size_t trackEnd = p + static_cast<std::size_t>(readI32(f, p + 8));
                const int strings = readI32(f, p + 12);
                p += static_cast<std::size_t>(readI32(f, p + 4));
                for (int s = 0; s < strings; ++s)
                    p += static_cast<std::size_t>(readI32(f, p + 8));
                EXPECT_EQ(p, trackEnd);
            }
            EXPECT_EQ(p, end);
        } else if (type == 2 || type == 3) {
            const int playlists = readI32(f, p + 8);
            p += static_cast<std::size_t>(readI32(f, p + 4));
            for (int k = 0; k < playlists; ++k) {
                const std::size_t playlistEnd = p + static_cast<std::size_t>(readI32(f, p + 8));
                const int records = readI32(f, p + 12);
                const int items = readI32(f, p + 16);
                p += static_cast<std::size_t>(readI32(f, p + 4));
                for (int r = 0; r < records; ++r)
                    p += static_cast<std::size_t>(readI32(f, p + 8));
                for (int i = 0; i < items; ++i) {
                    EXPECT_EQ(f.substr(p, 4), "mhip");
                    const std::size_t itemEnd = p + static_cast<std::size_t>(readI32(f, p + 8));
                    p += static_cast<std::size_t>(readI32(f, p + 4));
                    p += static_cast<std::size_t>(readI32(f, p + 8));
                    EXPECT_EQ(p, itemEnd);
                }
                EXPECT_EQ(p, playlistEnd);
            }
            EXPECT_EQ(p, end);
        }
        pos = end;
        ++sections;
    }
    EXPECT_EQ(pos, f.size());
    EXPECT_EQ(readI32(f, 20), sections);
}

// Databases of many shapes: header sizes, odd texts, records of other layouts,
// undecoded header bytes full of data, extra playlist records, odd item sizes.
DatabaseFixture randomDatabase(std::uint32_t seed)
{
    std::mt19937 engine(seed);
    const auto rng = [&] { return static_cast<std::uint32_t>(engine()); };
    const auto pick = [&](std::initializer_list<int> values) { return *(values.begin() + rng() % values.size()); };
    const auto chance = [&](int percent) { return static_cast<int>(rng() % 100) < percent; };

    std::vector<TrackFixture> tracks;
    const int trackCount = pick({0, 1, 3, 12});
    for (int i = 0; i < trackCount; ++i) {
        TrackFixture t = makeTrack(100 + i, u"Title " + std::u16string(static_cast<std::size_t>(rng() % 9), u'x'));
        t.headerSize = pick({244, 304, 388, 420});
        t.fillSeed = chance(70) ? rng() | 1 : 0;
        if (chance(30))
            t.strings.push_back({.type = 15, .raw = "mhod" + le32(24) + le32(60) + le32(15) + std::string(44, 'u')});
        if (chance(30))
            t.strings.push_back({.type = 100, .text = u"odd", .length = 5, .totalSize = 45});
        if (chance(20))
            t.strings.clear();
        tracks.push_back(std::move(t));
    }
    DatabaseFixture db = typicalDatabase(tracks);
    db.fillSeed = chance(50) ? rng() | 1 : 0;
    db.headerSize = pick({104, 188});
    for (auto& section : db.sections) {
        if (auto* p = std::get_if<PlaylistSection>(&section)) {
            auto& master = p->playlists[0];
            master.fillSeed = chance(50) ? rng() | 1 : 0;
            master.itemHeaderSize = pick({76, 80});
            master.itemRecordSize = pick({44, 48});
            if (chance(50))
                master.extraRecords.push_back("mhod" + le32(24) + le32(28) + le32(52) + std::string(12, 's'));
            if (chance(40))
                p->playlists.push_back(PlaylistFixture{.title = std::nullopt, .trackIds = {100, 100}});
        }
    }
    if (chance(50))
        db.sections.push_back(OpaqueSection{.type = 4, .content = std::string(static_cast<std::size_t>(rng() % 64), 'a')});
    if (chance(50))
        db.sections.push_back(OpaqueSection{.type = 5, .content = std::string(static_cast<std::size_t>(rng() % 64), 'n')});
    if (chance(30))
        db.sections.push_back(OpaqueSection{.type = 6, .content = std::string(12, 'z')});
    return db;
}

}  // namespace

TEST(WriteiPodDB, ReproducesDatabasesOfManyShapesByteForByte)
{
    for (std::uint32_t seed = 1; seed <= 60; ++seed) {
        SCOPED_TRACE(seed);
        Device d;
        d.install(randomDatabase(seed));
        const std::string original = d.bytes();
        ASSERT_TRUE(d.reload());
        d.db.WriteiPodDB();
        ASSERT_TRUE(d.host.prompts.empty());
        ASSERT_EQ(d.bytes(), original);
        ASSERT_TRUE(d.reload());  // and once more from what it wrote
        d.db.WriteiPodDB();
        ASSERT_EQ(d.bytes(), original);
    }
}

TEST(WriteiPodDB, KeepsTheSectionsInTheOrderReadWithEachSectionsBytes)
{
    Device d;
    DatabaseFixture db = typicalDatabase({makeTrack(1, u"A")});
    db.sections.insert(db.sections.begin(), OpaqueSection{.type = 4, .content = "album lists"});
    db.sections.insert(db.sections.begin() + 2, OpaqueSection{.type = 8, .content = "newer kind"});
    std::swap(db.sections[3], db.sections[4]);  // playlists before podcasts
    db.sections.push_back(OpaqueSection{.type = 5, .content = "new playlists"});
    d.install(db);
    ASSERT_TRUE(d.reload());
    const MHSD_P playlists = d.db.GetAllPlayLists();
    d.db.WriteiPodDB();
    const std::string f = d.bytes();
    expectConsistent(f);

    std::vector<int> order;
    for (std::size_t pos = 104; pos < f.size(); pos += static_cast<std::size_t>(readI32(f, pos + 8)))
        order.push_back(readI32(f, pos + 12));
    EXPECT_EQ(order, (std::vector<int>{4, 1, 8, 2, 3, 5}));
    ASSERT_TRUE(d.reload());
    EXPECT_EQ(d.db.GetAllPlayLists().sAllData, playlists.sAllData);
    EXPECT_EQ(d.db.otherSections().at(0).view().substr(96), "newer kind");
}

TEST(WriteiPodDB, LeavesOutDeletedTracksAndItemsWithConsistentSizes)
{
    Device d;
    DatabaseFixture db = typicalDatabase({makeTrack(1, u"A"), makeTrack(2, u"B"), makeTrack(3, u"C")});
    auto& playlists = std::get<PlaylistSection>(db.sections[2]).playlists;
    playlists.push_back(PlaylistFixture{.title = u"Twice", .trackIds = {2, 3, 2}});
    d.install(db);
    ASSERT_TRUE(d.reload());

    std::int32_t id = 2;
    d.db.DeleteTrack(id);
    id = 3;
    d.db.DeleteTrack(id);
    EXPECT_EQ(d.db.GetAllPlayLists().m_mhlp.m_mhyp[1].iMHYPs2Delete, 3);
    EXPECT_EQ(d.db.GetAllPodcasts().m_mhlp.m_mhyp[0].iMHYPs2Delete, 2);
    d.db.WriteiPodDB();
    expectConsistent(d.bytes());

    ASSERT_TRUE(d.reload());
    const MHSD_T tracks = d.db.GetAllTracks();
    ASSERT_EQ(tracks.m_mhlt.iNumberOfllTracks, 1);
    EXPECT_EQ(tracks.m_mhlt.m_mhit[0].iUniqueID, 1);
    EXPECT_EQ(d.db.GetAllPlayLists().m_mhlp.m_mhyp[1].iPlaylistItemsCount, 0);
    EXPECT_EQ(d.db.GetAllPlayLists().m_mhlp.m_mhyp[0].m_mhip.at(0).iTrackID, 1);
    EXPECT_EQ(d.db.GetAllPodcasts().m_mhlp.m_mhyp[0].iPlaylistItemsCount, 1);
}

TEST(WriteiPodDB, MissingFileIsReportedAndNoFileIsCreated)
{
    Device d;
    d.install(typicalDatabase({makeTrack(1, u"A")}));
    ASSERT_TRUE(d.reload());
    std::filesystem::remove(d.file());
    d.db.WriteiPodDB();
    EXPECT_FALSE(std::filesystem::exists(d.file()));
    ASSERT_EQ(d.host.prompts.size(), 1u);
    EXPECT_EQ(d.host.prompts[0].text.substr(0, 51), u"Error occured while writting iPod DB.\r\nErr Number:2");
    EXPECT_EQ(d.host.prompts[0].icon, MessageIcon::Critical);
}

TEST(WriteiPodDB, RefusesToWriteWhenNothingWasLoaded)
{
    Device d;
    d.install(typicalDatabase({makeTrack(1, u"A")}));
    const std::string before = d.bytes();
    d.db.WriteiPodDB();
    EXPECT_EQ(d.bytes(), before);
    ASSERT_EQ(d.host.prompts.size(), 1u);
}

TEST(WriteiPodDB, AFailureAtAnyStepLeavesTheOldFileAndNoTemporaryFile)
{
    for (const char* failing : {"create", "write", "sync", "rename"}) {
        SCOPED_TRACE(failing);
        Device d;
        ASSERT_TRUE(d.load(typicalDatabase({makeTrack(1, u"A"), makeTrack(2, u"B")})));
        const std::string before = d.bytes();
        d.deleteTrack(1);
        const FailingStep full(failing, std::system_error(std::make_error_code(std::errc::no_space_on_device), "device full"));
        d.db.WriteiPodDB();
        EXPECT_EQ(d.bytes(), before);
        ASSERT_EQ(d.host.prompts.size(), 1u);
        EXPECT_NE(d.host.prompts[0].text.find(u"Err Number:28,"), std::u16string::npos);
        std::size_t files = 0;
        for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(d.file().parent_path()))
            ++files;
        EXPECT_EQ(files, 1u);
    }
}

TEST(WriteFileSize, StoresTheLengthAndRaisesErrorsToTheCaller)
{
    TempDir dir;
    writeFile(dir.path() / "f", std::string(40, '\0'));
    clsSonarchive db;
    EXPECT_FALSE(db.Write_FileSize(fromUtf8((dir.path() / "f").string())));
    EXPECT_EQ(readI32(readFile(dir.path() / "f"), 8), 40);
    EXPECT_ANY_THROW(db.Write_FileSize(fromUtf8((dir.path() / "missing").string())));
}

TEST(ModifyTrack, AppendsMissingRecordsInOrderAndKeepsSizesConsistent)
{
    Device d;
    auto track = makeTrack(1, u"Old");  // title, location, album, artist, genre
    track.strings.push_back({.type = 15, .raw = "mhod" + le32(20) + le32(56) + le32(15) + std::string(40, 'u')});
    d.install(typicalDatabase({track, makeTrack(2, u"Other")}));
    ASSERT_TRUE(d.reload());
    const std::int32_t sectionBefore = d.db.GetAllTracks().iTotalSize;
    const std::int32_t trackBefore = d.db.GetAllTracks().m_mhlt.m_mhit[0].iTotalSize;

    TrackInfo info = d.db.GetTrackInfo(1);
    info.sTitle = std::u16string(600, u'T');
    info.sComment = std::u16string(600, u'c');
    info.sComposer = u"Composer";
    info.sYear = u"2004";
    info.iStartTime = 1500;
    std::int32_t id = 1;
    EXPECT_FALSE(d.db.ModifyTrack(id, info));

    const MHSD_T s = d.db.GetAllTracks();
    const MHIT& t = s.m_mhlt.m_mhit[0];
    ASSERT_EQ(t.iNumberOfMHODS, 8);
    EXPECT_EQ(t.m_mhod[0].sString.size(), 600u);     // an existing title takes the whole text
    EXPECT_EQ(t.m_mhod[6].iType, kMhodComment);      // appended: comment, then composer
    EXPECT_EQ(t.m_mhod[6].sString.size(), 500u);     // cut when appended
    EXPECT_EQ(t.m_mhod[7].iType, kMhodComposer);
    std::int64_t total = t.iHeaderSize;
    for (const auto& r : t.m_mhod) {
        total += r.iTotalSize;
        if (r.iType == 15) {
            EXPECT_EQ(r.iTotalSize, 56);  // another layout keeps its bytes and size
            continue;
        }
        EXPECT_EQ(r.iHeaderSize, 24);
        EXPECT_EQ(r.iPosition, 1);
        EXPECT_EQ(r.iUnk3, 1);
        EXPECT_EQ(r.iTotalSize, 40 + 2 * static_cast<std::int32_t>(r.sString.size()));
    }
    EXPECT_EQ(t.iTotalSize, total);
    EXPECT_EQ(s.iTotalSize - sectionBefore, t.iTotalSize - trackBefore);

    d.db.WriteiPodDB();
    expectConsistent(d.bytes());
    ASSERT_TRUE(d.reload());
    const TrackInfo back = d.db.GetTrackInfo(1);
    EXPECT_EQ(back.sTitle.size(), 600u);
    EXPECT_EQ(back.sComposer, u"Composer");
    EXPECT_EQ(back.sYear, bytesToText(std::string("\xD4\x07\0\0", 4)));
    EXPECT_EQ(trackYear(back), 2004);
    EXPECT_EQ(back.iStartTime, 1500);
    EXPECT_NE(d.bytes().find("mhod" + le32(20) + le32(56) + le32(15) + std::string(40, 'u')), std::string::npos);
    EXPECT_EQ(d.db.GetTrackInfo(2).sTitle, u"Other");
}

TEST(ModifyTrack, UnknownTrackIsAnErrorAndChangesNothing)
{
    Device d;
    d.install(typicalDatabase({makeTrack(1, u"A")}));
    ASSERT_TRUE(d.reload());
    TrackInfo info;
    std::int32_t id = 77;
    EXPECT_THROW(d.db.ModifyTrack(id, info), std::out_of_range);
    EXPECT_EQ(d.db.GetTrackInfo(1).sTitle, u"A");
}

TEST(DeleteTrack, RemovesTheFileAndAFolderLeftEmptyOnly)
{
    Device d;
    const auto music = d.dir.path() / "iPod_Control/Music";
    d.install(typicalDatabase({makeTrack(1, u"A", u"X", u"Y", u":iPod_Control:Music:F01:AAAA.mp3"),
                               makeTrack(2, u"B", u"X", u"Y", u":iPod_Control:Music:F02:BBBB.mp3"),
                               makeTrack(3, u"C", u"X", u"Y", u":iPod_Control:Music:F02:CCCC.mp3")}));
    writeFile(music / "F01/AAAA.mp3", "a");
    writeFile(music / "F02/BBBB.mp3", "b");
    writeFile(music / "F02/CCCC.mp3", "c");
    std::filesystem::permissions(music / "F01/AAAA.mp3", std::filesystem::perms::owner_read);
    ASSERT_TRUE(d.reload());
    std::int32_t id = 1;
    d.db.DeleteTrack(id);
    EXPECT_FALSE(std::filesystem::exists(music / "F01"));
    id = 2;
    d.db.DeleteTrack(id);
    EXPECT_FALSE(std::filesystem::exists(music / "F02/BBBB.mp3"));
    EXPECT_TRUE(std::filesystem::exists(music / "F02/CCCC.mp3"));
    id = 99;  // no such track: nothing happens
    d.db.DeleteTrack(id);
    EXPECT_EQ(d.db.GetAllTracks().m_mhlt.m_mhit[2].iUniqueID, 3);
    id = -1;  // the deletion mark itself is no track
    d.db.DeleteTrack(id);
    EXPECT_TRUE(std::filesystem::exists(music));
    d.db.WriteiPodDB();
    expectConsistent(d.bytes());
}

TEST(DeleteTrack, NeverTouchesFilesOutsideTheDevicesControlFolder)
{
    TempDir outside;
    writeFile(outside.path() / "precious.txt", "keep me");
    Device d;
    const std::string rel = std::filesystem::relative(outside.path(), d.dir.path()).string();
    std::u16string escape = u":" + fromUtf8(rel) + u":precious.txt";
    for (auto& c : escape)
        if (c == u'/')
            c = u':';
    std::filesystem::create_directories(d.dir.path() / "iPod_Control/Music/F03");
    std::filesystem::create_symlink(outside.path() / "precious.txt", d.dir.path() / "iPod_Control/Music/F03/LINK.mp3");
    d.install(typicalDatabase({makeTrack(1, u"A", u"X", u"Y", escape),
                               makeTrack(2, u"B", u"X", u"Y", fromUtf8(":" + outside.path().string() + "/precious.txt")),
                               makeTrack(3, u"C", u"X", u"Y", u":iPod_Control:Music:F03:LINK.mp3"),
                               makeTrack(4, u"D", u"X", u"Y", u":iPod_Control:Music")}));
    ASSERT_TRUE(d.reload());
    for (std::int32_t id : {1, 2, 3, 4})
        d.db.DeleteTrack(id);
    EXPECT_EQ(readFile(outside.path() / "precious.txt"), "keep me");
    EXPECT_TRUE(std::filesystem::is_directory(d.dir.path() / "iPod_Control/Music"));
    EXPECT_EQ(d.db.GetAllTracks().m_mhlt.m_mhit[0].iUniqueID, -1);  // the tracks are still deleted
}

TEST(WriteiPodDB, RecordsCarryingTheDeletionMarkInTheFileLeaveConsistentCounts)
{
    Device d;
    DatabaseFixture db = typicalDatabase({makeTrack(1, u"A"), makeTrack(-1, u"Marked"), makeTrack(3, u"C")});
    std::get<PlaylistSection>(db.sections[2]).playlists[0].trackIds = {1, -1, 3};
    d.install(db);
    ASSERT_TRUE(d.reload());
    d.db.WriteiPodDB();
    ASSERT_TRUE(d.reload());
    const MHSD_T tracks = d.db.GetAllTracks();
    ASSERT_EQ(tracks.m_mhlt.iNumberOfllTracks, 2);
    EXPECT_EQ(tracks.m_mhlt.m_mhit[1].iUniqueID, 3);
    const MHSD_P playlists = d.db.GetAllPlayLists();
    const MHYP& master = playlists.m_mhlp.m_mhyp.at(0);
    ASSERT_EQ(master.iPlaylistItemsCount, 2);
    EXPECT_EQ(master.m_mhip[1].iTrackID, 3);
}
