#include "TestDevice.h"

#include <clsSonarchive.h>

#include <gtest/gtest.h>

using namespace sonarchive;
using namespace testsupport;

namespace {

using Device = TestDevice;

const MHIT& trackAt(const MHSD_T& section, std::size_t i) { return section.m_mhlt.m_mhit.at(i); }

}  // namespace

TEST(LoadiPodDB, DecodesTracksStringsAndPlaylists)
{
    Device d;
    d.install(typicalDatabase({makeTrack(10, u"One"), makeTrack(11, u"Two", u"Other")}));
    ASSERT_TRUE(d.db.LoadiPodDB());
    EXPECT_TRUE(d.host.prompts.empty());

    const MHSD_T tracks = d.db.GetAllTracks();
    ASSERT_EQ(tracks.m_mhlt.iNumberOfllTracks, 2);
    EXPECT_EQ(trackAt(tracks, 1).iUniqueID, 11);
    EXPECT_EQ(trackAt(tracks, 1).sFiletype, u"MP3 ");
    EXPECT_EQ(trackAt(tracks, 1).m_mhod[0].sString, u"Two");
    EXPECT_EQ(trackAt(tracks, 1).sAllData.size(), static_cast<std::size_t>(trackAt(tracks, 1).iTotalSize));

    const TrackInfo info = d.db.GetTrackInfo(11);
    EXPECT_EQ(info.sTitle, u"Two");
    EXPECT_EQ(info.sArtist, u"Other");
    EXPECT_EQ(info.sTrackType, u"3PM");
    EXPECT_EQ(info.sYear, bytesToText(std::string("\xCF\x07\0\0", 4)));  // the field's bytes, as they stand
    EXPECT_EQ(trackYear(info), 1999);
    EXPECT_EQ(info.sLocation, d.dir.root() + u"iPod_Control/Music/F00/ABCD.mp3");

    EXPECT_EQ(d.db.GetAllPlayLists().m_mhlp.m_mhyp.at(0).m_mhod_s.sString, u"iPod");
    EXPECT_EQ(d.db.GetAllPodcasts().m_mhlp.m_mhyp.at(0).m_mhip.at(1).iTrackID, 11);
}

TEST(LoadiPodDB, ShortHeadersOddLengthsAndForeignRecordsKeepTheWalkInStep)
{
    Device d;
    auto shortHeader = makeTrack(1, u"Short");
    shortHeader.headerSize = 156;  // an early device's header: the fields past it read as zero
    auto odd = makeTrack(2, u"Odd");
    odd.strings[0].length = 5;     // the last character holds a single byte
    auto foreign = makeTrack(3, u"Foreign");
    foreign.strings.insert(foreign.strings.begin(), StringFixture{.raw = "mhod" + le32(24) + le32(34) + le32(15) + std::string(18, '\x7f')});
    auto bare = makeTrack(4, u"Bare");
    bare.strings.clear();
    d.install(typicalDatabase({shortHeader, odd, foreign, bare, makeTrack(5, u"After")}));

    ASSERT_TRUE(d.db.LoadiPodDB());
    const MHSD_T s = d.db.GetAllTracks();
    EXPECT_EQ(trackAt(s, 0).m_mhod.at(0).sString, u"Short");
    EXPECT_EQ(trackAt(s, 0).iSkipCount, 0);  // offset 156 is the first string record's, not the track's
    EXPECT_EQ(trackAt(s, 0).iBookmarkTime, 0);
    EXPECT_EQ(trackAt(s, 0).iTrackSize, 4000000);
    EXPECT_EQ(d.db.GetTrackInfo(2).sTitle, std::u16string(u"Od") + u'd');
    EXPECT_EQ(trackAt(s, 1).m_mhod.at(0).sString.size(), 3u);
    EXPECT_EQ(trackAt(s, 2).m_mhod.at(0).iType, 15);
    EXPECT_EQ(d.db.GetTrackInfo(3).sTitle, u"Foreign");
    EXPECT_EQ(trackAt(s, 3).iNumberOfMHODS, 0);
    EXPECT_EQ(d.db.GetTrackInfo(5).sTitle, u"After");
}

TEST(LoadiPodDB, TextRunningPastTheEndIsCutWhereTheFileEnds)
{
    Device d;
    auto last = makeTrack(1, u"Tail");
    last.strings = {{.type = 1, .text = u"Tail", .length = 400, .totalSize = 48}};
    DatabaseFixture db;
    db.sections = {TrackSection{.tracks = {last}}};
    const std::string bytes = buildDatabase(db);  // the file ends four characters into the text
    d.installBytes(bytes);
    ASSERT_TRUE(d.db.LoadiPodDB());
    EXPECT_EQ(d.db.GetTrackInfo(1).sTitle, u"Tail");
}

TEST(LoadiPodDB, ASizePointingPastTheEndIsDamage)
{
    Device d;
    auto last = makeTrack(1, u"Tail");
    last.strings = {{.type = 1, .text = u"Tail", .totalSize = 4000}};
    DatabaseFixture db;
    db.sections = {TrackSection{.tracks = {last}}};
    const std::string bytes = buildDatabase(db);
    d.installBytes(bytes.substr(0, bytes.size() - 3900));  // the record says 4,000 bytes; the file ends first
    EXPECT_FALSE(d.db.LoadiPodDB());
}

TEST(LoadiPodDB, ReloadKeepsExactlyTheNewTrackCountAndResetsMarks)
{
    Device d;
    d.install(typicalDatabase({makeTrack(1, u"A"), makeTrack(2, u"B"), makeTrack(3, u"C")}));
    ASSERT_TRUE(d.db.LoadiPodDB());
    d.install(typicalDatabase({makeTrack(9, u"Z")}));
    ASSERT_TRUE(d.db.LoadiPodDB());
    const MHSD_T s = d.db.GetAllTracks();
    EXPECT_EQ(s.m_mhlt.m_mhit.size(), 1u);
    EXPECT_EQ(d.db.GetTrackInfo(9).sTitle, u"Z");
    EXPECT_THROW((void)d.db.GetTrackInfo(1), std::out_of_range);
}

TEST(LoadiPodDB, SectionMixesFillOnlyTheirSlots)
{
    Device d;
    DatabaseFixture db;
    db.sections = {TrackSection{.tracks = {makeTrack(1, u"A")}},
                   PlaylistSection{.type = 3, .playlists = {PlaylistFixture{.title = u"Casts", .trackIds = {1}}}}};
    d.install(db);
    ASSERT_TRUE(d.db.LoadiPodDB());
    EXPECT_TRUE(d.db.GetAllPlayLists().sID.empty());
    EXPECT_EQ(d.db.GetAllPodcasts().m_mhlp.m_mhyp.at(0).m_mhod_s.sString, u"Casts");
}

// Found by fuzzing: a file with a second track or playlist section showed its
// readers the tracks and playlists of both, while the records (and so a write)
// hold the second alone.
TEST(LoadiPodDB, ASecondSectionOfAKindReplacesTheFirstForEveryReader)
{
    Device d;
    DatabaseFixture db;
    db.sections = {TrackSection{.tracks = {makeTrack(1, u"A"), makeTrack(2, u"B")}},
                   PlaylistSection{.playlists = {PlaylistFixture{.title = u"First", .master = 1, .trackIds = {1, 2}}}},
                   TrackSection{.tracks = {makeTrack(7, u"Seven")}},
                   PlaylistSection{.playlists = {PlaylistFixture{.title = u"Second", .master = 1, .trackIds = {7}}}}};
    d.install(db);
    ASSERT_TRUE(d.db.LoadiPodDB());
    std::vector<std::u16string> titles;
    d.db.forEachTrackInfo([&](const TrackInfo& info) { titles.push_back(info.sTitle); });
    EXPECT_EQ(titles, std::vector<std::u16string>{u"Seven"});
    EXPECT_THROW((void)d.db.GetTrackInfo(1), std::out_of_range);
    const std::vector<PlaylistView> shown = d.db.playlists();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].name, u"Second");
    EXPECT_EQ(shown[0].trackIds, std::vector<std::int32_t>{7});
    // The records agree.
    EXPECT_EQ(d.db.GetAllTracks().m_mhlt.m_mhit.size(), 1u);
    EXPECT_EQ(d.db.GetAllPlayLists().m_mhlp.m_mhyp.size(), 1u);
}

TEST(LoadiPodDB, SectionsOfNewerKindsAreSteppedOverAndKept)
{
    Device d;
    DatabaseFixture db = typicalDatabase({makeTrack(1, u"A")});
    db.sections.push_back(OpaqueSection{.type = 4, .content = std::string(40, 'a')});
    db.sections.push_back(OpaqueSection{.type = 6, .content = std::string(20, 'b')});
    db.sections.push_back(OpaqueSection{.type = 10, .content = std::string(8, 'c')});
    db.sections.push_back(OpaqueSection{.type = 5, .content = std::string(24, 'd')});
    d.install(db);
    ASSERT_TRUE(d.db.LoadiPodDB());
    EXPECT_EQ(d.db.GetAllAlbumPlayLists().sAllData.size(), 96u + 40u);
    EXPECT_EQ(d.db.GetAllNewPlayLists().iType, 5);
    EXPECT_EQ(d.db.GetAllNewPlayLists().sAllData.view().substr(96), std::string(24, 'd'));
    ASSERT_EQ(d.db.otherSections().size(), 2u);
    EXPECT_EQ(d.db.otherSections()[1].view().substr(96), std::string(8, 'c'));
}

TEST(LoadiPodDB, PlaylistRecordsAndItemsFollowTheCounts)
{
    Device d;
    PlaylistFixture untitled{.title = std::nullopt, .trackIds = {1, 2}};
    PlaylistFixture withExtras{.title = u"Mix", .extraRecords = {"mhod" + le32(24) + le32(32) + le32(50) + std::string(16, 'x')},
                               .trackIds = {2}};
    DatabaseFixture db;
    db.sections = {TrackSection{.tracks = {makeTrack(1, u"A"), makeTrack(2, u"B")}},
                   PlaylistSection{.type = 2, .playlists = {untitled, withExtras}}};
    d.install(db);
    ASSERT_TRUE(d.db.LoadiPodDB());
    const MHSD_P p = d.db.GetAllPlayLists();
    const MHYP& first = p.m_mhlp.m_mhyp.at(0);
    EXPECT_EQ(first.iChildsCount, 0);
    EXPECT_EQ(first.m_mhip.at(1).iTrackID, 2);
    const MHYP& second = p.m_mhlp.m_mhyp.at(1);
    EXPECT_EQ(second.m_mhod_s.sString, u"Mix");
    ASSERT_EQ(second.m_mhod_pcd.size(), 1u);
    EXPECT_EQ(second.m_mhod_pcd[0].iType, 50);
    EXPECT_EQ(second.m_mhod_pcd[0].sAllMHOD.size(), 32u);
    EXPECT_EQ(second.m_mhod_poe.at(0).iPosition, 1);
    EXPECT_EQ(second.m_mhod_poe.at(0).sAllMHOD.size(), 44u);
}

TEST(LoadiPodDB, AnItemHasAsManyDataRecordsAsItsCountSays)
{
    Device d;
    PlaylistFixture two{.title = u"Two", .trackIds = {1, 2}, .itemChildCount = 2};
    PlaylistFixture none{.title = u"None", .trackIds = {2, 1}, .itemChildCount = 0};
    DatabaseFixture db;
    db.sections = {TrackSection{.tracks = {makeTrack(1, u"A"), makeTrack(2, u"B")}},
                   PlaylistSection{.type = 2, .playlists = {two, none, PlaylistFixture{.title = u"After", .trackIds = {1}}}}};
    d.install(db);
    ASSERT_TRUE(d.db.LoadiPodDB());
    const MHSD_P p = d.db.GetAllPlayLists();
    const MHYP& first = p.m_mhlp.m_mhyp.at(0);
    EXPECT_EQ(first.m_mhip.at(0).iChildCount, 2);
    EXPECT_EQ(first.m_mhip.at(1).iTrackID, 2);
    EXPECT_EQ(first.m_mhod_poe.at(1).iPosition, 2);
    EXPECT_EQ(first.m_mhip.at(1).sMoreRecords.size(), 44u);  // the second record, kept whole
    const MHYP& second = p.m_mhlp.m_mhyp.at(1);
    EXPECT_EQ(second.m_mhip.at(0).iTrackID, 2);
    EXPECT_EQ(second.m_mhip.at(1).iTrackID, 1);  // right after the first item's header
    EXPECT_TRUE(second.m_mhod_poe.at(1).sID.empty());
    EXPECT_EQ(p.m_mhlp.m_mhyp.at(2).m_mhod_s.sString, u"After");
    EXPECT_EQ(p.m_mhlp.m_mhyp.at(2).m_mhip.at(0).iTrackID, 1);
}

TEST(GetTrackInfo, FollowsTheRecordsInOrder)
{
    Device d;
    auto twice = makeTrack(1, u"First title", u"A", u"B", u":iPod_Control:Music:F00:");
    twice.strings.push_back({.type = 1, .text = u"Second title"});
    twice.vbr = 1;
    auto duplicate = makeTrack(1, u"Duplicate id");
    d.install(typicalDatabase({twice, duplicate}));
    ASSERT_TRUE(d.db.LoadiPodDB());
    const TrackInfo info = d.db.GetTrackInfo(1);
    EXPECT_EQ(info.sTitle, u"Second title");
    EXPECT_EQ(info.IsVBR, 1);
    EXPECT_EQ(info.sLocation, d.dir.root() + u"iPod_Control/Music/F00/");
    EXPECT_EQ(info.iFileSize, 4000000);
    EXPECT_EQ(info.iTrackTimLength, 250000);
}

TEST(GetTrackInfo, FindsFilesWhoseFoldersDifferInLetterCase)
{
    Device d;
    d.install(typicalDatabase({makeTrack(1, u"A", u"X", u"Y", u":iPod_Control:Music:F07:ABCD.mp3")}));
    writeFile(d.dir.path() / "iPod_Control/Music/f07/abcd.MP3", "audio");
    ASSERT_TRUE(d.db.LoadiPodDB());
    EXPECT_EQ(d.db.GetTrackInfo(1).sLocation, d.dir.root() + u"iPod_Control/Music/f07/abcd.MP3");
}

TEST(LibraryObject, StartsEmptyAndKeepsTheDriveItIsGiven)
{
    clsSonarchive db;
    EXPECT_EQ(db.GetAllTracks().m_mhlt.iNumberOfllTracks, 0);
    EXPECT_FALSE(db.iPodShuffle());
    db.initlaize(0, u"Tracklift", u"/no/such/drive/");
    EXPECT_EQ(db.iPodDriveLetter(), u"/no/such/drive/");
    db.setiPodShuffle(true);
    EXPECT_TRUE(db.iPodShuffle());
    EXPECT_THROW((void)db.GetTrackInfo(5), std::out_of_range);
}

TEST(LibraryObject, AccessorsHandOutIndependentCopies)
{
    Device d;
    d.install(typicalDatabase({makeTrack(1, u"A")}));
    ASSERT_TRUE(d.db.LoadiPodDB());
    MHSD_T copy = d.db.GetAllTracks();
    copy.m_mhlt.m_mhit[0].m_mhod[0].sString = u"changed";
    copy.m_mhlt.m_mhit[0].sAllData = RawBytes(std::string("x"));
    EXPECT_EQ(d.db.GetTrackInfo(1).sTitle, u"A");
    EXPECT_GT(d.db.GetAllTracks().m_mhlt.m_mhit[0].sAllData.size(), 1u);
}

// The repair questions, their exact texts, and what each answer leads to.
namespace {
const std::u16string kCorrupted = u"iPod DB is Corrupted";
const std::u16string kReset = u"Do you want to reset the iPod DB?\r\nClick Yes to load an empty DB.";
}

TEST(LoadiPodDBRepair, MissingDriveSaysNotConnected)
{
    ScriptedHost host;
    clsSonarchive db;
    db.setUserInterfaceHost(&host);
    db.initlaize(0, u"Tracklift", u"/no/such/drive/");
    EXPECT_FALSE(db.LoadiPodDB());
    ASSERT_EQ(host.prompts.size(), 1u);
    EXPECT_EQ(host.prompts[0].text, u"iPod is Not Connected or Not set as disk use");
    EXPECT_EQ(host.prompts[0].title, u"iPod is Not connected");
    EXPECT_EQ(host.prompts[0].buttons, MessageButtons::OK);
    EXPECT_EQ(host.prompts[0].icon, MessageIcon::Exclamation);
}

TEST(LoadiPodDBRepair, MissingDatabaseWithMusicOffersRebuildThenReset)
{
    Device d;
    std::filesystem::create_directories(d.dir.path() / "iPod_Control/Music");  // no iTunes folder
    EXPECT_FALSE(d.db.LoadiPodDB());
    ASSERT_EQ(d.host.prompts.size(), 2u);
    EXPECT_EQ(d.host.prompts[0].text,
              u"iPod DB is not found, Do you want to rebuild the DB(Using all existing Audio/Video files in the iPod)?");
    EXPECT_EQ(d.host.prompts[1].text, u"iPod DB is Corrupted,Do you want to reset the iPod DB?\r\nClick Yes to load an empty DB.");
    for (const auto& p : d.host.prompts) {
        EXPECT_EQ(p.title, kCorrupted);
        EXPECT_EQ(p.buttons, MessageButtons::YesNo);
        EXPECT_EQ(p.icon, MessageIcon::Exclamation);
    }
}

TEST(LoadiPodDBRepair, MissingDatabaseWithoutMusicOffersOnlyReset)
{
    Device d;
    std::filesystem::create_directories(d.dir.path() / "iPod_Control/iTunes");
    EXPECT_FALSE(d.db.LoadiPodDB());
    ASSERT_EQ(d.host.prompts.size(), 1u);
    EXPECT_EQ(d.host.prompts[0].text,
              u"The specified drive is either not the iPod Drive or corrupted iPod drive.\r\n" + kReset);
    EXPECT_FALSE(std::filesystem::exists(d.file()));
}

TEST(LoadiPodDBRepair, CorruptDatabaseWithMusicOffersRebuildThenReset)
{
    Device d;
    d.installBytes("mhbd" + le32(104) + std::string(200, '\0'));  // no section where the first should be
    const std::string before = readFile(d.file());
    EXPECT_FALSE(d.db.LoadiPodDB());
    ASSERT_EQ(d.host.prompts.size(), 2u);
    EXPECT_EQ(d.host.prompts[0].text,
              u"iPod DB is corrupted, Do you want to rebuild the DB(Using all existing Audio files in the iPod)?");
    EXPECT_EQ(d.host.prompts[1].text, kReset);
    EXPECT_EQ(readFile(d.file()), before);  // a failed load touches nothing
}

TEST(LoadiPodDBRepair, CorruptDatabaseWithoutMusicOffersReset)
{
    Device d;
    d.installBytes("junk");
    std::filesystem::remove_all(d.dir.path() / "iPod_Control/Music");
    EXPECT_FALSE(d.db.LoadiPodDB());
    ASSERT_EQ(d.host.prompts.size(), 1u);
    EXPECT_EQ(d.host.prompts[0].text, kReset);
    EXPECT_EQ(d.host.prompts[0].title, kCorrupted);
}

// Damaged files fail cleanly as "corrupted", quickly and without huge allocations.
TEST(LoadiPodDBRepair, ImpossibleSizesAndCountsAreFormatFailures)
{
    const auto good = buildDatabase(typicalDatabase({makeTrack(1, u"A"), makeTrack(2, u"B")}));
    const std::size_t trackList = 104 + 96;
    const std::size_t firstTrack = trackList + 92;
    const std::vector<std::pair<std::size_t, std::int32_t>> damages = {
        {20, 0x7fffffff},              // section count
        {trackList + 8, 0x7fffffff},   // track count
        {trackList + 8, -3},           // negative track count
        {firstTrack + 4, 0},           // a track header that does not advance
        {firstTrack + 4, -388},        // negative track header size
        {firstTrack + 12, 50000000},   // string record count
        {firstTrack + 388 + 8, 0},     // a string record that does not advance
        {firstTrack + 388 + 28, -2},   // negative text length
        {104 + 4, -96},                // negative section header size
    };
    for (const auto& [offset, value] : damages) {
        SCOPED_TRACE(offset);
        Device d;
        std::string bytes = good;
        bytes.replace(offset, 4, le32(value));
        d.installBytes(bytes);
        EXPECT_FALSE(d.db.LoadiPodDB());
        ASSERT_EQ(d.host.prompts.size(), 2u);
        EXPECT_EQ(d.host.prompts[0].text.substr(0, 23), u"iPod DB is corrupted, D");
    }
    for (std::size_t cut : {good.size() - 1, firstTrack + 100, std::size_t{50}}) {
        Device d;
        d.installBytes(good.substr(0, cut));
        EXPECT_FALSE(d.db.LoadiPodDB()) << cut;
    }
}
