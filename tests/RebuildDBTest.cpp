#include "DatabaseBuilder.h"
#include "DeviceChecks.h"
#include "MediaFixtures.h"
#include "RecordingEvents.h"
#include "ScriptedHost.h"
#include "TempDir.h"

#include <LibraryLocation.h>
#include <clsSonarchive.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

using namespace sonarchive;
using namespace testsupport;
namespace fs = std::filesystem;

namespace {

const std::u16string kMissingTemplate = u"Sonarchive file is missing, Please reinstall the application";

// One MPEG-1 Layer III frame header at 128 kbit/s and 44.1 kHz, then silence.
std::string mp3Bytes()
{
    return mediafixtures::mpegHeader(3, 3, 9, 0) + std::string(4000, '\0');
}

// A device holding a database of two tracks.
struct Device {
    TempDir dir;
    ScriptedHost host;
    RecordingEvents events;
    clsSonarchive db;
    std::string oldDatabase = buildDatabase(typicalDatabase({makeTrack(1, u"A"), makeTrack(2, u"B")}));

    Device()
    {
        clearCancelRequest();
        installDatabase(dir.path(), oldDatabase);
        db.setUserInterfaceHost(&host);
        db.setEventListener(&events);
        db.initlaize(0, u"Test", dir.root());
    }
    ~Device() { clearCancelRequest(); }
    fs::path music() const { return dir.path() / "iPod_Control/Music"; }
    fs::path file() const { return dir.path() / "iPod_Control/iTunes/Sonarchive"; }
    fs::path backup() const { return dir.path() / "iPod_Control/iTunes/Sonarchive.bak"; }
    static std::string templateBytes() { return readFile(clsSonarchive().templateDatabase()); }
    std::u16string path(const std::string& belowMusic) const { return fromUtf8((music() / belowMusic).string()); }
    std::vector<std::u16string> locations() const
    {
        std::vector<std::u16string> all;
        for (const MHIT& t : db.GetAllTracks().m_mhlt.m_mhit)
            for (const MHOD_S& r : t.m_mhod)
                if (r.iType == kMhodLocation)
                    all.push_back(r.sString);
        std::sort(all.begin(), all.end());
        return all;
    }
};

}  // namespace

TEST(ResetiPodDB, ReplacesTheDatabaseWithTheTemplateAndKeepsTheOldOne)
{
    Device d;
    ASSERT_TRUE(d.db.LoadiPodDB());
    EXPECT_TRUE(d.db.ResetiPodDB());
    EXPECT_EQ(readFile(d.file()), Device::templateBytes());
    EXPECT_EQ(readFile(d.backup()), d.oldDatabase);
    EXPECT_EQ(d.db.GetAllTracks().m_mhlt.iNumberOfllTracks, 2);  // memory is not reloaded
    EXPECT_TRUE(d.host.prompts.empty());

    // A second reset replaces only the template: the backup of the real database stays.
    EXPECT_TRUE(d.db.ResetiPodDB());
    EXPECT_EQ(readFile(d.backup()), d.oldDatabase);
}

// The template is found beside the library in the build tree, and in the data
// folder of an installed prefix seen from the library's folder there.
TEST(ResetiPodDB, TheTemplateIsFoundInTheBuildTreeAndOnceInstalled)
{
    EXPECT_TRUE(fs::is_regular_file(clsSonarchive().templateDatabase()));

    TempDir prefix;
    const fs::path libdir = prefix.path() / SONARCHIVE_INSTALL_LIBDIR;
    const fs::path installed = prefix.path() / SONARCHIVE_INSTALL_DATADIR / "sonarchive" / "Sonarchive";
    fs::create_directories(libdir);
    EXPECT_EQ(libraryDataFile(libdir, "Sonarchive"), installed);  // the place named when it is missing
    writeFile(installed, Device::templateBytes());
    EXPECT_EQ(libraryDataFile(libdir, "Sonarchive"), installed);
    writeFile(libdir / "Sonarchive", "beside");
    EXPECT_EQ(libraryDataFile(libdir, "Sonarchive"), libdir / "Sonarchive");
    EXPECT_EQ(libraryDataFile(libdir, "Other"), prefix.path() / SONARCHIVE_INSTALL_DATADIR / "sonarchive" / "Other");
}

TEST(ResetiPodDB, TheTemplateLoadsEmptyWithBothPlaylistSections)
{
    TempDir dir;
    ScriptedHost host;
    clsSonarchive db;
    db.setUserInterfaceHost(&host);
    db.initlaize(0, u"Test", dir.root());
    EXPECT_TRUE(db.ResetiPodDB());  // the folders are made
    EXPECT_TRUE(fs::is_directory(dir.path() / "iPod_Control/iTunes"));
    EXPECT_FALSE(fs::exists(dir.path() / "iPod_Control/iTunes/Sonarchive.bak"));
    ASSERT_TRUE(db.LoadiPodDB());
    EXPECT_EQ(db.GetAllTracks().m_mhlt.iNumberOfllTracks, 0);
    const MHSD_P playlists = db.GetAllPlayLists(), podcasts = db.GetAllPodcasts();
    EXPECT_EQ(playlists.iType, 2);
    EXPECT_EQ(podcasts.iType, 3);
    ASSERT_EQ(playlists.m_mhlp.iNumberOfPlaylists, 1);
    EXPECT_EQ(playlists.m_mhlp.m_mhyp[0].iIsMasterFLag, 1);
    EXPECT_FALSE(playlists.m_mhlp.m_mhyp[0].m_mhod_s.sString.empty());
    EXPECT_EQ(podcasts.m_mhlp.iNumberOfPlaylists, 1);
    // Written back unchanged, it is the same file.
    EXPECT_EQ(db.assembleDatabase(), readFile(dir.path() / "iPod_Control/iTunes/Sonarchive"));
    EXPECT_TRUE(host.prompts.empty());
}

TEST(ResetiPodDB, MissingTemplateOrDriveFails)
{
    Device d;
    d.db.setTemplateDatabase(d.dir.path() / "nowhere" / "Sonarchive");
    EXPECT_FALSE(d.db.ResetiPodDB());
    ASSERT_EQ(d.host.prompts.size(), 1u);
    EXPECT_EQ(d.host.prompts[0].text, kMissingTemplate);
    EXPECT_EQ(d.host.prompts[0].icon, MessageIcon::Critical);
    EXPECT_EQ(readFile(d.file()), d.oldDatabase);
    EXPECT_FALSE(fs::exists(d.backup()));

    clsSonarchive noDrive;
    ScriptedHost host;
    noDrive.setUserInterfaceHost(&host);
    EXPECT_FALSE(noDrive.ResetiPodDB());
    EXPECT_TRUE(host.prompts.empty());
    RecordingEvents events;
    noDrive.setEventListener(&events);
    EXPECT_FALSE(noDrive.ReBuildDB());
    EXPECT_EQ(events.rebuild, std::vector<std::u16string>{u"Rebuilding Failed."});
}

TEST(ResetiPodDB, CopyFailureIsShownWithItsNumber)
{
    Device d;
    fs::create_directories(d.backup() / "in the way");  // the old database cannot be kept
    EXPECT_FALSE(d.db.ResetiPodDB());
    ASSERT_EQ(d.host.prompts.size(), 1u);
    const std::u16string prefix = u"Error occured while copying iPod DB.\r\nError Number:";
    EXPECT_EQ(d.host.prompts[0].text.substr(0, prefix.size()), prefix);
    EXPECT_EQ(d.host.prompts[0].icon, MessageIcon::Critical);
    EXPECT_EQ(readFile(d.file()), d.oldDatabase);
}

TEST(ReBuildDB, EmptyMusicFolderLeavesTheTemplate)
{
    Device d;
    EXPECT_FALSE(d.db.ReBuildDB());
    EXPECT_EQ(d.events.rebuild, (std::vector<std::u16string>{u"Loading Current DB...", u"Retrieving Files..."}));
    EXPECT_EQ(readFile(d.file()), Device::templateBytes());
    EXPECT_EQ(readFile(d.backup()), d.oldDatabase);
    EXPECT_EQ(d.host.pumps, 10);
}

TEST(ReBuildDB, AddsTheKnownKindsFromEveryFolder)
{
    Device d;
    writeFile(d.music() / "top.MP3", mp3Bytes());
    writeFile(d.music() / "notes.txt", "text");
    writeFile(d.music() / "F00/song.ogg", "a kind the rebuild does not take");
    writeFile(d.music() / "F00/tone.wav", mediafixtures::waveFile(8000, 1, 8, 16000));
    writeFile(d.music() / "F00/Deeper/last.mp3", mp3Bytes());
    EXPECT_TRUE(d.db.ReBuildDB());
    EXPECT_TRUE(d.host.prompts.empty());

    // Every file is announced, a folder's own files before those of its subfolders.
    const std::vector<std::u16string> expectedFirst = {u"Loading Current DB...", u"Retrieving Files..."};
    ASSERT_EQ(d.events.rebuild.size(), 9u);
    EXPECT_EQ(std::vector<std::u16string>(d.events.rebuild.begin(), d.events.rebuild.begin() + 2), expectedFirst);
    std::vector<std::u16string> top(d.events.rebuild.begin() + 2, d.events.rebuild.begin() + 4);
    std::sort(top.begin(), top.end());
    EXPECT_EQ(top, (std::vector<std::u16string>{u"Adding File  " + d.path("notes.txt"), u"Adding File  " + d.path("top.MP3")}));
    std::vector<std::u16string> f00(d.events.rebuild.begin() + 4, d.events.rebuild.begin() + 6);
    std::sort(f00.begin(), f00.end());
    EXPECT_EQ(f00, (std::vector<std::u16string>{u"Adding File  " + d.path("F00/song.ogg"), u"Adding File  " + d.path("F00/tone.wav")}));
    EXPECT_EQ(d.events.rebuild[6], u"Adding File  " + d.path("F00/Deeper/last.mp3"));
    EXPECT_EQ(d.events.rebuild[7], u"Writting DB...");
    EXPECT_EQ(d.events.rebuild[8], u"DONE");
    EXPECT_EQ(d.host.pumps, 5 + 5 + 2 * 5);

    EXPECT_EQ(d.locations(), (std::vector<std::u16string>{u":iPod_Control:Music:F00:Deeper:last.mp3",
                                                          u":iPod_Control:Music:F00:tone.wav", u":iPod_Control:Music:top.MP3"}));
    // What was written is what a new load finds.
    clsSonarchive again;
    ScriptedHost host;
    again.setUserInterfaceHost(&host);
    again.initlaize(0, u"Test", d.dir.root());
    ASSERT_TRUE(again.LoadiPodDB());
    EXPECT_EQ(again.GetAllTracks().m_mhlt.iNumberOfllTracks, 3);
    EXPECT_EQ(again.GetAllPlayLists().m_mhlp.m_mhyp.at(0).iPlaylistItemsCount, 3);
    EXPECT_EQ(sizeMismatch(readFile(d.file())), "");
    EXPECT_EQ(readFile(d.backup()), d.oldDatabase);
}

TEST(ReBuildDB, ShuffleSkipsVideoFiles)
{
    Device d;
    d.db.setiPodShuffle(true);
    writeFile(d.music() / "F00/clip.mp4", "not looked at");
    writeFile(d.music() / "F00/tune.mp3", mp3Bytes());
    EXPECT_TRUE(d.db.ReBuildDB());
    EXPECT_TRUE(d.host.prompts.empty());  // the converter never ran
    EXPECT_EQ(d.locations(), std::vector<std::u16string>{u":iPod_Control:Music:F00:tune.mp3"});
}

TEST(ReBuildDB, CancelStopsBeforeTheNextFileAndWritesWhatWasAdded)
{
    Device d;
    writeFile(d.music() / "F00/a.mp3", mp3Bytes());
    writeFile(d.music() / "F00/b.mp3", mp3Bytes());
    writeFile(d.music() / "F00/c.mp3", mp3Bytes());
    d.events.onRebuild = [&](const std::u16string& status) {
        if (status.starts_with(u"Adding File"))
            d.db.CancelUpdate();
    };
    EXPECT_TRUE(d.db.ReBuildDB());
    ASSERT_EQ(d.events.rebuild.size(), 5u);
    EXPECT_EQ(d.events.rebuild[3], u"Writting DB...");
    EXPECT_EQ(d.events.rebuild[4], u"DONE");
    EXPECT_EQ(d.db.GetAllTracks().m_mhlt.iNumberOfllTracks, 1);

    clsSonarchive again;
    again.initlaize(0, u"Test", d.dir.root());
    ASSERT_TRUE(again.LoadiPodDB());
    EXPECT_EQ(again.GetAllTracks().m_mhlt.iNumberOfllTracks, 1);
}

TEST(ReBuildDB, AnEarlierCancellationDoesNotStopIt)
{
    Device d;
    writeFile(d.music() / "F00/a.mp3", mp3Bytes());
    d.db.CancelUpdate();
    EXPECT_TRUE(d.db.ReBuildDB());
    EXPECT_EQ(d.db.GetAllTracks().m_mhlt.iNumberOfllTracks, 1);
}

TEST(ReBuildDB, MissingTemplateLeavesTheDeviceUntouched)
{
    Device d;
    writeFile(d.music() / "F00/a.mp3", mp3Bytes());
    d.db.setTemplateDatabase(d.dir.path() / "nowhere" / "Sonarchive");
    EXPECT_FALSE(d.db.ReBuildDB());
    EXPECT_EQ(d.events.rebuild, std::vector<std::u16string>{u"Rebuilding Failed."});
    ASSERT_EQ(d.host.prompts.size(), 1u);
    EXPECT_EQ(d.host.prompts[0].text, kMissingTemplate);
    EXPECT_EQ(readFile(d.file()), d.oldDatabase);
    EXPECT_FALSE(fs::exists(d.backup()));
}

// The reader's repair answers now take effect.
TEST(ReBuildDB, ChosenFromTheReadersQuestionItRebuildsAndLoads)
{
    Device d;
    writeFile(d.file(), "damaged");
    writeFile(d.music() / "F00/a.mp3", mp3Bytes());
    d.host.answer(MessageResult::Yes);
    EXPECT_TRUE(d.db.LoadiPodDB());
    ASSERT_EQ(d.host.prompts.size(), 1u);
    EXPECT_EQ(d.db.GetAllTracks().m_mhlt.iNumberOfllTracks, 1);
    EXPECT_EQ(readFile(d.backup()), "damaged");
}

TEST(ReBuildDB, ResetChosenFromTheReadersQuestionLoadsTheEmptyDatabase)
{
    TempDir dir;
    fs::create_directories(dir.path() / "iPod_Control/iTunes");
    writeFile(dir.path() / "iPod_Control/iTunes/Sonarchive", "damaged");
    ScriptedHost host;
    clsSonarchive db;
    db.setUserInterfaceHost(&host);
    db.initlaize(0, u"Test", dir.root());
    host.answer(MessageResult::Yes);
    EXPECT_TRUE(db.LoadiPodDB());
    EXPECT_EQ(host.prompts.size(), 1u);
    EXPECT_EQ(db.GetAllTracks().m_mhlt.iNumberOfllTracks, 0);
    EXPECT_EQ(db.GetAllPlayLists().m_mhlp.iNumberOfPlaylists, 1);
    EXPECT_EQ(readFile(dir.path() / "iPod_Control/iTunes/Sonarchive.bak"), "damaged");
}
