#include "DatabaseBuilder.h"
#include "ScriptedHost.h"
#include "TempDir.h"

#include <clsSonarchive.h>

#include <gtest/gtest.h>

using namespace sonarchive;
using namespace testsupport;

namespace {

struct Device {
    TempDir dir;
    ScriptedHost host;
    clsSonarchive db;

    Device() { db.setUserInterfaceHost(&host); db.initlaize(0, u"Tracklift", dir.root()); }
    void install(const DatabaseFixture& fixture) { installDatabase(dir.path(), buildDatabase(fixture)); }
};

}  // namespace

TEST(LoadiPodDB, DecodesTracksStringsAndPlaylists)
{
    Device d;
    d.install(typicalDatabase({makeTrack(10, u"One"), makeTrack(11, u"Two", u"Other")}));
    ASSERT_TRUE(d.db.LoadiPodDB());
    EXPECT_TRUE(d.host.prompts.empty());

    const MHSD_T tracks = d.db.GetAllTracks();
    ASSERT_EQ(tracks.m_mhlt.iNumberOfllTracks, 2);
    EXPECT_EQ(tracks.m_mhlt.m_mhit[1].iUniqueID, 11);
    EXPECT_EQ(tracks.m_mhlt.m_mhit[1].sFiletype, u"MP3 ");
    EXPECT_EQ(tracks.m_mhlt.m_mhit[1].m_mhod[0].sString, u"Two");

    const TrackInfo info = d.db.GetTrackInfo(11);
    EXPECT_EQ(info.sTitle, u"Two");
    EXPECT_EQ(info.sArtist, u"Other");
    EXPECT_EQ(info.sTrackType, u"3PM");
    EXPECT_EQ(info.sYear, u"1999");
    EXPECT_EQ(info.sLocation, d.dir.root() + u"iPod_Control/Music/F00/ABCD.mp3");

    EXPECT_EQ(d.db.GetAllPlayLists().m_mhlp.m_mhyp.at(0).m_mhod_s.sString, u"iPod");
    EXPECT_EQ(d.db.GetAllPodcasts().m_mhlp.m_mhyp.at(0).m_mhip.at(1).iTrackID, 11);
}
