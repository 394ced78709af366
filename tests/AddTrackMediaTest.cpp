// Adding real media made with the system's converter, writing, and loading again.

#include "DeviceChecks.h"
#include "MediaFixtures.h"
#include "ScriptedHost.h"
#include "TempDir.h"

#include <clsSonarchive.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <tuple>

using namespace sonarchive;
using namespace testsupport;
namespace fs = std::filesystem;

namespace {

class RealMedia : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir = new TempDir;
        const std::string tone = "-f lavfi -i sine=frequency=440:duration=1 ";
        const std::string picture = "-f lavfi -i testsrc=size=64x48:rate=10:duration=1 ";
        make("alpha.mp3", tone + "-metadata title=Alpha -metadata artist=Ada -metadata album=First -metadata date=2020 "
                                 "-metadata genre=Jazz -metadata composer=Cole -ar 48000 -c:a libmp3lame -b:a 128k -write_xing 0");
        make("beta.mp3", tone + "-metadata title=Beta -metadata artist=Bo -metadata album=Second -c:a libmp3lame -b:a 64k");
        make("gamma.aac", tone + "-c:a aac -b:a 64k");
        make("delta.mp4", picture + tone + "-c:v libx264 -c:a aac -shortest");
        make("mp3video.mp4", picture + tone + "-c:v libx264 -c:a libmp3lame -shortest");
        const std::string tags = "-metadata title=\"Пісня 日本\" -metadata artist=\"Ада\" -metadata album=Alb -metadata genre=Jazz "
                                 "-metadata date=2004 -metadata comment=Note -metadata composer=Cole -metadata track=3/12 "
                                 "-metadata disc=1/2 ";
        make("song.m4a", tone + tags + "-c:a aac");
        make("book.m4b", tone + "-metadata title=Chapters -c:a aac -f ipod");
        make("cover.mp4", tone + "-f lavfi -i testsrc=size=64x48:duration=1 -map 0 -map 1 -c:a aac -c:v mjpeg "
                                 "-disposition:v attached_pic -frames:v 1");
        make("tone.wav", "-f lavfi -i sine=duration=1.5 -ar 22050 -c:a pcm_s16le");
        make("tone.aiff", "-f lavfi -i sine=duration=1.5 -ar 22050 -ac 2");
        make("sound.flac", tone + "-c:a flac");
        make("voice.ogg", tone + "-c:a libopus");
        fs::copy_file(file("sound.flac"), file("disguised.mp3"));
        // A free-format frame: its bit rate is unknown and the length cannot be worked out.
        writeFile(dir->path() / "broken.mp3", mediafixtures::mpegHeader(3, 3, 0, 0) + std::string(2000, '\0'));
    }
    static void TearDownTestSuite()
    {
        delete dir;
        dir = nullptr;
    }
    static void make(const std::string& name, const std::string& options)
    {
        const std::string command =
            "ffmpeg -nostdin -hide_banner -loglevel error -y " + options + " '" + (dir->path() / name).string() + "'";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }
    static fs::path file(const std::string& name) { return dir->path() / name; }
    static std::u16string path(const std::string& name) { return fromUtf8(file(name).string()); }

    struct Session {
        ScriptedHost host;
        clsSonarchive db;
        explicit Session(const std::u16string& root)
        {
            db.setUserInterfaceHost(&host);
            db.initlaize(0, u"Test", root);
        }
    };

    static TempDir* dir;
};

TempDir* RealMedia::dir = nullptr;

std::vector<std::int32_t> itemIds(const MHSD_P& section)
{
    const MHYP& list = section.m_mhlp.m_mhyp.at(0);
    std::vector<std::int32_t> ids;
    for (std::int32_t k = 0; k < list.iPlaylistItemsCount; ++k)
        if (list.m_mhip.at(static_cast<std::size_t>(k)).iTrackID != -1)
            ids.push_back(list.m_mhip[static_cast<std::size_t>(k)].iTrackID);
    std::sort(ids.begin(), ids.end());
    return ids;
}

}  // namespace

TEST_F(RealMedia, AddedTracksSurviveAWriteAndALoad)
{
    TempDir device;
    const std::vector<std::string> names = {"alpha.mp3", "beta.mp3", "gamma.aac", "delta.mp4"};
    {
        Session s(device.root());
        ASSERT_TRUE(s.db.ResetiPodDB());
        for (std::size_t i = 0; i < names.size(); ++i) {
            TrackInfo info;
            EXPECT_EQ(s.db.AddTrack(path(names[i]), info), static_cast<std::int32_t>(i + 1)) << names[i];
        }
        s.db.WriteiPodDB();
        EXPECT_TRUE(s.host.prompts.empty());
    }

    Session s(device.root());
    ASSERT_TRUE(s.db.LoadiPodDB());
    const MHSD_T tracks = s.db.GetAllTracks();
    ASSERT_EQ(tracks.m_mhlt.iNumberOfllTracks, 4);
    for (std::size_t i = 0; i < names.size(); ++i) {
        SCOPED_TRACE(names[i]);
        TrackInfo expected;  // what the analysis says of the source
        ASSERT_TRUE(s.db.SetTrackInfo(path(names[i]), expected));
        const MHIT& t = tracks.m_mhlt.m_mhit[i];
        const TrackInfo got = s.db.GetTrackInfo(t.iUniqueID);
        EXPECT_EQ(t.iUniqueID, static_cast<std::int32_t>(i + 1));
        const auto texts = [](const TrackInfo& info) {
            return std::tie(info.sTitle, info.sArtist, info.sAlbum, info.sGenre, info.sComposer, info.sComment);
        };
        EXPECT_EQ(texts(got), texts(expected));
        EXPECT_EQ(trackYear(got), trackYear(expected));
        EXPECT_EQ(got.sYear, bytesToText(yearField(expected.sYear)));
        EXPECT_EQ(t.sFiletype, expected.sFiletype + u" ");
        EXPECT_EQ(got.iFileSize, static_cast<std::int32_t>(fs::file_size(file(names[i]))));
        EXPECT_EQ(got.iFileSize, expected.iFileSize);
        EXPECT_EQ(got.iTrackTimLength, expected.iTrackTimLength);
        EXPECT_EQ(got.iBitrateInKbs, expected.iBitrateInKbs);
        EXPECT_EQ(t.iSampleRate, expected.iSampleRateInHz * 32768);
        EXPECT_EQ(t.iMediaType, expected.iType);
        EXPECT_EQ(t.iMovieFileFlag, expected.IsMovie);
        EXPECT_EQ(t.iDB_ID, tracks.m_mhlt.m_mhit[0].iDB_ID);
        EXPECT_EQ(readFile(toUtf8(got.sLocation)), readFile(file(names[i])));
    }
    EXPECT_EQ(s.db.GetTrackInfo(1).sTitle, u"Alpha");
    EXPECT_EQ(s.db.GetTrackInfo(1).sArtist, u"Ada");
    EXPECT_EQ(tracks.m_mhlt.m_mhit[0].iSampleRate, 1572864000);
    EXPECT_EQ(tracks.m_mhlt.m_mhit[0].iBitrate, 128);
    EXPECT_EQ(tracks.m_mhlt.m_mhit[2].iMediaType, 1);  // AAC alone is audio
    EXPECT_EQ(tracks.m_mhlt.m_mhit[3].iMediaType, 2);  // the MP4 with a picture stream is a film
    EXPECT_EQ(s.db.GetTrackInfo(3).sTitle, u"gamma.aac");  // no title tag: the analysis gives the file name
    EXPECT_EQ(itemIds(s.db.GetAllPlayLists()), (std::vector<std::int32_t>{1, 2, 3, 4}));
    EXPECT_EQ(itemIds(s.db.GetAllPodcasts()), (std::vector<std::int32_t>{1, 2, 3, 4}));

    // Delete one, modify another, and the next load sees exactly that.
    const fs::path betaOnDevice = toUtf8(s.db.GetTrackInfo(2).sLocation);
    std::int32_t beta = 2;
    s.db.DeleteTrack(beta);
    TrackInfo gamma = s.db.GetTrackInfo(3);
    gamma.sTitle = u"Gamma";
    gamma.sArtist = u"Gus";
    EXPECT_EQ(s.db.AddTrack(u"", gamma, true, gamma.sLocation, true, 3), 3);
    s.db.WriteiPodDB();
    EXPECT_TRUE(s.host.prompts.empty());
    EXPECT_FALSE(fs::exists(betaOnDevice));
    EXPECT_EQ(sizeMismatch(readFile(device.path() / "iPod_Control/iTunes/Sonarchive")), "");

    Session after(device.root());
    ASSERT_TRUE(after.db.LoadiPodDB());
    EXPECT_EQ(after.db.GetAllTracks().m_mhlt.iNumberOfllTracks, 3);
    EXPECT_THROW(after.db.GetTrackInfo(2), std::out_of_range);
    EXPECT_EQ(after.db.GetTrackInfo(3).sTitle, u"Gamma");
    EXPECT_EQ(after.db.GetTrackInfo(3).sArtist, u"Gus");
    EXPECT_EQ(after.db.GetTrackInfo(3).sLocation, gamma.sLocation);
    EXPECT_EQ(after.db.GetTrackInfo(4).sTitle, u"delta.mp4");
    EXPECT_EQ(itemIds(after.db.GetAllPlayLists()), (std::vector<std::int32_t>{1, 3, 4}));
    EXPECT_EQ(itemIds(after.db.GetAllPodcasts()), (std::vector<std::int32_t>{1, 3, 4}));
}

TEST_F(RealMedia, FailedAnalysisAddsNothing)
{
    TempDir device;
    Session s(device.root());
    ASSERT_TRUE(s.db.ResetiPodDB());
    ASSERT_TRUE(s.db.LoadiPodDB());
    TrackInfo info;
    ASSERT_EQ(s.db.AddTrack(path("alpha.mp3"), info), 1);
    // The same record again, still holding the first file's values.
    EXPECT_EQ(s.db.AddTrack(path("broken.mp3"), info), 0);
    ASSERT_EQ(s.host.prompts.size(), 1u);
    EXPECT_EQ(s.host.prompts[0].text, u"Error occured while retrieving File Information.\r\n11:Division by zero");
    EXPECT_EQ(s.db.AddTrack(path("mp3video.mp4"), info), -2);
    EXPECT_EQ(s.db.GetAllTracks().m_mhlt.iNumberOfllTracks, 1);
}

TEST_F(RealMedia, RebuildAddsOnlyFilesWhoseAnalysisSucceeded)
{
    TempDir device;
    const fs::path music = device.path() / "iPod_Control/Music";
    fs::create_directories(music / "F01");
    fs::copy_file(file("delta.mp4"), music / "good.mp4");
    fs::copy_file(file("mp3video.mp4"), music / "F01/video.mp4");
    fs::copy_file(file("broken.mp3"), music / "F01/broken.mp3");
    Session s(device.root());
    ASSERT_TRUE(s.db.ReBuildDB());
    const MHSD_T tracks = s.db.GetAllTracks();
    ASSERT_EQ(tracks.m_mhlt.iNumberOfllTracks, 1);
    const TrackInfo only = s.db.GetTrackInfo(tracks.m_mhlt.m_mhit[0].iUniqueID);
    EXPECT_EQ(only.sLocation, fromUtf8((music / "good.mp4").string()));
    EXPECT_EQ(only.iFileSize, static_cast<std::int32_t>(fs::file_size(music / "good.mp4")));
    EXPECT_EQ(tracks.m_mhlt.m_mhit[0].iMediaType, 2);
}

TEST_F(RealMedia, FilesPeopleHaveAreAddedByWhatTheyHold)
{
    TempDir device;
    Session s(device.root());
    ASSERT_TRUE(s.db.ResetiPodDB());
    ASSERT_TRUE(s.db.LoadiPodDB());
    const auto add = [&](const std::string& name) {
        TrackInfo info;
        const std::int32_t id = s.db.AddTrack(path(name), info);
        EXPECT_GT(id, 0) << name;
        return id > 0 ? s.db.GetAllTracks().m_mhlt.m_mhit.back() : MHIT{};
    };

    // An M4A: the container's tags, non-Latin texts intact, its own type code and extension.
    const MHIT song = add("song.m4a");
    const TrackInfo songInfo = s.db.GetTrackInfo(song.iUniqueID);
    EXPECT_EQ(songInfo.sTitle, u"Пісня 日本");
    EXPECT_EQ(songInfo.sArtist, u"Ада");
    EXPECT_EQ(songInfo.sAlbum, u"Alb");
    EXPECT_EQ(songInfo.sGenre, u"Jazz");
    EXPECT_EQ(songInfo.sComment, u"Note");
    EXPECT_EQ(songInfo.sComposer, u"Cole");
    EXPECT_EQ(trackYear(songInfo), 2004);
    EXPECT_EQ(song.iTrackNumber, 3);
    EXPECT_EQ(song.iDiscNumber, 1);
    EXPECT_EQ(song.sFiletype, u"M4A ");
    EXPECT_EQ(song.iMediaType, 1);
    EXPECT_EQ(song.iMovieFileFlag, 0);
    EXPECT_EQ(fs::path(toUtf8(songInfo.sLocation)).extension(), ".M4A");
    EXPECT_EQ(readFile(toUtf8(songInfo.sLocation)), readFile(file("song.m4a")));

    const MHIT book = add("book.m4b");
    EXPECT_EQ(book.sFiletype, u"M4B ");
    EXPECT_EQ(s.db.GetTrackInfo(book.iUniqueID).sTitle, u"Chapters");

    // A cover picture makes no film; a picture stream does.
    const MHIT cover = add("cover.mp4");
    EXPECT_EQ(cover.iMediaType, 1);
    EXPECT_EQ(cover.iMovieFileFlag, 0);
    const MHIT film = add("delta.mp4");
    EXPECT_EQ(film.iMediaType, 2);
    EXPECT_EQ(film.iMovieFileFlag, 1);

    // WAV and AIFF: lengths and rates from their headers (1.5 s at 22,050 Hz).
    const MHIT wav = add("tone.wav");
    EXPECT_EQ(wav.iTrackTimeLength, 1500);
    EXPECT_EQ(wav.iBitrate, 353);
    EXPECT_EQ(wav.iSampleRate, 22050 * 32768);
    EXPECT_EQ(wav.sFiletype, u"WAV ");
    const MHIT aiff = add("tone.aiff");
    EXPECT_EQ(aiff.iTrackTimeLength, 1500);
    EXPECT_EQ(aiff.iBitrate, 706);
    EXPECT_EQ(aiff.sFiletype, u"AIFF");
    EXPECT_TRUE(s.host.prompts.empty());
}

TEST_F(RealMedia, WhatTheDeviceCannotPlayIsRefusedByItsContent)
{
    TempDir device;
    Session s(device.root());
    ASSERT_TRUE(s.db.ResetiPodDB());
    ASSERT_TRUE(s.db.LoadiPodDB());
    const fs::path music = device.path() / "iPod_Control/Music";
    for (const auto& [name, format] : {std::pair{"sound.flac", "FLAC"}, std::pair{"disguised.mp3", "FLAC"},
                                       std::pair{"voice.ogg", "Ogg Opus"}}) {
        SCOPED_TRACE(name);
        s.host.prompts.clear();
        TrackInfo info;
        EXPECT_EQ(s.db.AddTrack(path(name), info), -2);
        ASSERT_EQ(s.host.prompts.size(), 1u);
        EXPECT_EQ(s.host.prompts[0].text, path(name) + u" cannot be played on the iPod: " + fromUtf8(format));
        EXPECT_EQ(s.db.lastFailure().code, FailureCode::Unsupported);
    }
    EXPECT_EQ(s.db.GetAllTracks().m_mhlt.iNumberOfllTracks, 0);
    EXPECT_TRUE(!fs::exists(music) || fs::is_empty(music));  // nothing was copied
}

TEST_F(RealMedia, RebuildFindsM4aAndM4bFilesAndTitlesThemFromTheirTags)
{
    TempDir device;
    const fs::path music = device.path() / "iPod_Control/Music/F02";
    fs::create_directories(music);
    fs::copy_file(file("song.m4a"), music / "ABCD.m4a");
    fs::copy_file(file("book.m4b"), music / "EFGH.M4B");
    Session s(device.root());
    ASSERT_TRUE(s.db.ReBuildDB());
    std::vector<std::u16string> titles;
    for (const MHIT& t : s.db.GetAllTracks().m_mhlt.m_mhit)
        titles.push_back(s.db.GetTrackInfo(t.iUniqueID).sTitle);
    std::sort(titles.begin(), titles.end());
    EXPECT_EQ(titles, (std::vector<std::u16string>{u"Chapters", u"Пісня 日本"}));
}
