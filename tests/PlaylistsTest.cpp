// The read view of the playlists: file order, titles, kinds, and the tracks in
// item order with repeats kept and unknown or deleted ones left out.
#include "TestDevice.h"

#include <gtest/gtest.h>

using namespace sonarchive;
using namespace testsupport;

namespace {

std::vector<TrackFixture> tracks(std::initializer_list<std::int32_t> ids)
{
    std::vector<TrackFixture> out;
    for (std::int32_t id : ids)
        out.push_back(makeTrack(id, u"T" + fromNumber(id)));
    return out;
}

}  // namespace

TEST(Playlists, FollowTheFileWithRepeatsKeptAndUnknownOrDeletedTracksLeftOut)
{
    TestDevice d;
    DatabaseFixture db = typicalDatabase(tracks({52, 53, 54, 55}));
    auto& lists = std::get<PlaylistSection>(db.sections[2]).playlists;
    lists.push_back({.title = u"Road trip", .trackIds = {54, 52, 54, 99, -1, 53}});                        // repeats, unknown, deleted
    lists.push_back({.title = u"Recent", .extraRecords = {playlistDataRecord(50, 132), playlistDataRecord(51, 160)},
                     .trackIds = {55}});                                                                     // smart
    lists.push_back({.title = u"Shows", .trackIds = {53}, .podcastFlag = 1});
    lists.push_back({.title = std::nullopt, .trackIds = {52}});                                             // no title at all
    d.install(db);
    ASSERT_TRUE(d.reload());

    const std::vector<PlaylistView> views = d.db.playlists();
    ASSERT_EQ(views.size(), 5u);
    EXPECT_EQ(views[0], (PlaylistView{0, u"iPod", PlaylistKind::Master, {52, 53, 54, 55}}));
    EXPECT_EQ(views[1], (PlaylistView{1, u"Road trip", PlaylistKind::Normal, {54, 52, 54, 53}}));
    EXPECT_EQ(views[2], (PlaylistView{2, u"Recent", PlaylistKind::Smart, {55}}));
    EXPECT_EQ(views[3], (PlaylistView{3, u"Shows", PlaylistKind::Podcasts, {53}}));
    EXPECT_EQ(views[4], (PlaylistView{4, u"", PlaylistKind::Normal, {52}}));
    EXPECT_STREQ(playlistKindName(views[2].kind), "smart");

    // A track deleted in memory leaves every playlist at once.
    std::int32_t id = 54;
    d.db.DeleteTrack(id);
    EXPECT_EQ(d.db.playlists()[1].trackIds, (std::vector<std::int32_t>{52, 53}));
    EXPECT_EQ(d.db.playlists()[0].trackIds, (std::vector<std::int32_t>{52, 53, 55}));
}

TEST(Playlists, WithoutAPlaylistSectionComeFromThePodcastSectionWithoutGroupHeaders)
{
    TestDevice d;
    PlaylistFixture master{.title = u"iPod", .master = 1, .trackIds = {1, 2, 3}};
    PlaylistFixture podcasts{.title = u"Podcasts", .podcastFlag = 1};
    podcasts.rawItems = {podcastGroupItem(9000, u"A Show"), podcastEpisodeItem(2, 9000, 1), podcastEpisodeItem(3, 9000, 2),
                         podcastGroupItem(9100, u"Another"), podcastEpisodeItem(1, 9100, 1)};
    DatabaseFixture db;
    db.sections = {TrackSection{.tracks = tracks({1, 2, 3})}, PlaylistSection{.type = 3, .playlists = {master, podcasts}}};
    d.install(db);
    ASSERT_TRUE(d.reload());
    const std::vector<PlaylistView> views = d.db.playlists();
    ASSERT_EQ(views.size(), 2u);
    EXPECT_EQ(views[0].kind, PlaylistKind::Master);
    EXPECT_EQ(views[1], (PlaylistView{1, u"Podcasts", PlaylistKind::Podcasts, {2, 3, 1}}));
}

TEST(Playlists, NoneBeforeALoad)
{
    clsSonarchive db;
    EXPECT_TRUE(db.playlists().empty());
}

TEST(Playlists, ANewPlaylistIsWrittenAfterTheOthersInEveryShape)
{
    const std::vector<std::pair<const char*, DatabaseFixture>> shapes = {
        {"typical", typicalDatabase(tracks({52, 53, 54}))},
        {"device", deviceShape(tracks({52, 53, 54}))},
        {"other software", otherSoftwareShape(tracks({52, 53, 54}))},
        {"early device", earlyDeviceShape(tracks({52, 53, 54}))},
    };
    for (const auto& [name, db] : shapes) {
        SCOPED_TRACE(name);
        TestDevice d;
        d.install(db);
        ASSERT_TRUE(d.reload());
        const std::vector<PlaylistView> before = d.db.playlists();

        const std::optional<std::int32_t> added = d.db.addPlaylist(u"  Mix  ", {54, 52, 54});
        ASSERT_TRUE(added) << d.db.lastFailure().message;
        const std::int32_t index = *added;
        ASSERT_TRUE(d.db.writeDatabase()) << d.db.lastFailure().message;
        ASSERT_TRUE(d.reload());
        std::vector<PlaylistView> after = d.db.playlists();
        ASSERT_FALSE(after.empty());
        EXPECT_EQ(after.back(), (PlaylistView{index, u"Mix", PlaylistKind::Normal, {54, 52, 54}}));
        after.pop_back();
        EXPECT_EQ(after, before);
        EXPECT_EQ(d.db.GetTrackInfo(52).sTitle, u"T52");
    }
}

TEST(Playlists, ANewPlaylistOfAnUnknownTrackOrWithoutANameChangesNothing)
{
    TestDevice d;
    d.install(typicalDatabase(tracks({1, 2})));
    ASSERT_TRUE(d.reload());
    EXPECT_EQ(d.db.addPlaylist(u"Mix", {1, 7}), std::nullopt);
    EXPECT_EQ(d.db.lastFailure().message, "no track with identifier 7");
    EXPECT_EQ(d.db.addPlaylist(u"   ", {1}), std::nullopt);
    EXPECT_EQ(d.db.lastFailure().message, "a playlist needs a name");
    ASSERT_TRUE(d.db.writeDatabase());
    ASSERT_TRUE(d.reload());
    EXPECT_EQ(d.db.playlists().size(), 1u);  // the master playlist alone
}
