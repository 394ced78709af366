#include "DatabaseBuilder.h"
#include "DeviceChecks.h"
#include "RecordingEvents.h"
#include "ScriptedHost.h"
#include "TempDir.h"

#include <clsSonarchive.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <tuple>

using namespace sonarchive;
using namespace std::string_literals;
using namespace testsupport;
namespace fs = std::filesystem;

namespace {

// A device folder with a library object pointed at it, nothing loaded yet, and
// its sources in another folder.
struct Device {
    TempDir dir;
    TempDir sources;
    ScriptedHost host;
    RecordingEvents events;
    clsSonarchive db;

    Device()
    {
        db.setUserInterfaceHost(&host);
        db.setEventListener(&events);
        db.initlaize(0, u"Test", dir.root());
    }
    fs::path databaseFile() const { return dir.path() / "iPod_Control/iTunes/Sonarchive"; }
    fs::path music() const { return dir.path() / "iPod_Control/Music"; }
    fs::path source(const std::string& name, const std::string& bytes = "media bytes")
    {
        writeFile(sources.path() / name, bytes);
        return sources.path() / name;
    }
    std::int32_t add(const fs::path& file, TrackInfo info)
    {
        return db.AddTrack(fromUtf8(file.string()), info, false, {}, true);
    }
    MHIT track(std::size_t index) const { return db.GetAllTracks().m_mhlt.m_mhit.at(index); }
    std::int32_t trackCount() const { return db.GetAllTracks().m_mhlt.iNumberOfllTracks; }
    std::u16string location(const MHIT& t) const
    {
        for (const MHOD_S& r : t.m_mhod)
            if (r.iType == kMhodLocation)
                return r.sString;
        return {};
    }
    fs::path fileOf(const MHIT& t) const { return toUtf8(db.GetTrackInfo(t.iUniqueID).sLocation); }
    std::size_t filesBelowMusic() const
    {
        std::size_t n = 0;
        for (const auto& e : fs::recursive_directory_iterator(music()))
            n += e.is_regular_file() ? 1 : 0;
        return n;
    }
};

// A device reset to the template and loaded.
struct FreshDevice : Device {
    FreshDevice()
    {
        EXPECT_TRUE(db.ResetiPodDB());
        EXPECT_TRUE(db.LoadiPodDB());
    }
};

TrackInfo mp3Info(const std::u16string& title = u"Song")
{
    return {.sTitle = title, .sAlbum = u"Album", .sArtist = u"Artist", .sComposer = u"Composer", .sGenre = u"Jazz",
            .sYear = u"2021", .sFiletype = u"MP3", .iFileSize = 11, .iTrackTimLength = 3000, .iType = 1,
            .iBitrateInKbs = 128, .iSampleRateInHz = 48000, .iStartTime = 5, .iStopTime = 7, .iSkipWhenShuffle = 1,
            .iRememberPlayBackPos = 1, .IsVBR = 255, .isFileSupported = true};
}

// The start every record shares: its four-letter name and its header size.
template <typename Record>
void expectStart(const Record& record, const std::u16string& id, std::int32_t headerSize)
{
    EXPECT_EQ(record.sID, id);
    EXPECT_EQ(record.iHeaderSize, headerSize) << toUtf8(id);
}

bool matches(const std::u16string& text, const char* pattern)
{
    return std::regex_match(toUtf8(text), std::regex(pattern));
}

}  // namespace

TEST(AddTrack, EachFileGetsAFolderOfItsOwnWithIdenticalBytes)
{
    FreshDevice d;
    const std::string first(5000, 'x'), second = "second file";
    EXPECT_EQ(d.add(d.source("one.mp3", first), mp3Info()), 1);
    EXPECT_EQ(d.add(d.source("two.mp3", second), mp3Info()), 2);
    ASSERT_EQ(d.trackCount(), 2);
    EXPECT_TRUE(d.host.prompts.empty());

    // An empty music folder gives A00 and a five-letter name; then A01 is free and names have four letters.
    EXPECT_TRUE(matches(d.location(d.track(0)), ":iPod_Control:Music:A00:[A-Z]{5}\\.MP3")) << toUtf8(d.location(d.track(0)));
    EXPECT_TRUE(matches(d.location(d.track(1)), ":iPod_Control:Music:A01:[A-Z]{4}\\.MP3")) << toUtf8(d.location(d.track(1)));
    EXPECT_EQ(readFile(d.fileOf(d.track(0))), first);
    EXPECT_EQ(readFile(d.fileOf(d.track(1))), second);

    // Both tracks carry the same library id, taken for the first.
    EXPECT_NE(d.track(0).iDB_ID, 0);
    EXPECT_EQ(d.track(1).iDB_ID, d.track(0).iDB_ID);
    EXPECT_EQ(d.track(1).iDB_ID2, d.track(0).iDB_ID);

    // The copy is announced, then its progress follows up to 100.
    ASSERT_GE(d.events.current.size(), 2u);
    EXPECT_EQ(d.events.current.front(), std::make_pair(std::u16string(u"Copying File one.mp3"), std::int16_t(-1)));
    EXPECT_EQ(d.events.current.back(), std::make_pair(std::u16string(u"Copying File two.mp3"), std::int16_t(100)));
}

TEST(AddTrack, TheFirstFreeFolderNameIsUsed)
{
    FreshDevice d;
    for (int n = 0; n < 50; ++n)
        fs::create_directories(d.music() / ("F" + std::string(n < 10 ? "0" : "") + std::to_string(n)));
    fs::create_directories(d.music() / "a00");  // names are compared without regard to case
    ASSERT_EQ(d.add(d.source("one.mp3"), mp3Info()), 1);
    EXPECT_TRUE(matches(d.location(d.track(0)), ":iPod_Control:Music:A01:[A-Z]{4}\\.MP3")) << toUtf8(d.location(d.track(0)));
}

TEST(AddTrack, NewTrackRecordAndPlaylistItemsHoldTheirValues)
{
    FreshDevice d;
    TrackInfo info = mp3Info();
    info.sComment.clear();  // an empty kind is left out
    ASSERT_EQ(d.add(d.source("one.mp3"), info), 1);
    const MHIT t = d.track(0);
    expectStart(t, u"mhit", 328);
    EXPECT_EQ(std::tie(t.iUniqueID, t.iVisible, t.iPlayCount), std::tuple(1, 1, 0));
    // The file: its type code, kinds, size and length, then its year and rates.
    EXPECT_EQ(std::tie(t.sFiletype, t.iType1, t.iType2, t.iTrackSize, t.iTrackTimeLength), std::tuple(u"MP3 "s, 255, 1, 11, 3000));
    EXPECT_EQ(t.sTrackYear, std::string("\xE5\x07\0\0", 4));  // 2021 as every reader of the field expects it
    EXPECT_EQ(std::tie(t.iBitrate, t.iSampleRate, t.iSampleRate2), std::tuple(128, 1572864000, 1572864000));
    EXPECT_EQ(std::tie(t.iStartTime, t.iStopTime, t.iSkipWhenShuffle, t.iRememPlaybackPos), std::tuple(5, 7, 1, 1));
    // What every new track record holds.
    EXPECT_EQ(std::tie(t.iUnk1, t.iUnk3, t.iHasArtwork, t.iMovieFileFlag, t.iMediaType, t.iGaplessTrackFlag),
              std::tuple(-1, 12, 2, 0, 1, 1));

    std::vector<std::int32_t> kinds;
    std::int32_t total = 328;
    for (const MHOD_S& r : t.m_mhod) {
        kinds.push_back(r.iType);
        expectStart(r, u"mhod", 24);
        EXPECT_EQ(r.iLength, static_cast<std::int32_t>(2 * r.sString.size()));
        EXPECT_EQ(r.iTotalSize, r.iLength + 40);
        EXPECT_EQ(std::tie(r.iPosition, r.iUnk3), std::tuple(1, 1));
        total += r.iTotalSize;
    }
    EXPECT_EQ(kinds, (std::vector<std::int32_t>{1, 3, 4, 12, 5, 2}));
    EXPECT_EQ(t.iNumberOfMHODS, 6);
    EXPECT_EQ(t.iTotalSize, total);

    for (const MHSD_P& section : {d.db.GetAllPlayLists(), d.db.GetAllPodcasts()}) {
        const MHYP& list = section.m_mhlp.m_mhyp.at(0);
        ASSERT_EQ(list.iPlaylistItemsCount, 1);
        const MHIP& item = list.m_mhip.at(0);
        expectStart(item, u"mhip", 76);
        EXPECT_EQ(std::tie(item.iTotalSize, item.iChildCount, item.iGroupID, item.iTrackID), std::tuple(120, 1, 1, 1));
        const MHOD_POE& data = list.m_mhod_poe.at(0);
        expectStart(data, u"mhod", 24);
        EXPECT_EQ(std::tie(data.iTotalSize, data.iType), std::tuple(44, 100));
        EXPECT_GE(data.iPosition, 1);
        EXPECT_LE(data.iPosition, 4999);
        EXPECT_EQ(data.sUnk3, std::string(16, '\0'));
    }
    EXPECT_EQ(sizeMismatch(d.db.assembleDatabase()), "");
}

TEST(AddTrack, TitleFallsBackToTheFileNameAndTextsAreCut)
{
    FreshDevice d;
    TrackInfo untitled = mp3Info(u"");
    ASSERT_EQ(d.add(d.source("My Song.mp3"), untitled), 1);
    EXPECT_EQ(d.track(0).m_mhod.at(0).sString, u"My Song");

    TrackInfo longTitle = mp3Info(std::u16string(600, u't'));
    longTitle.sArtist = std::u16string(499, u'a') + u"\U0001F3B5";  // the cut never splits a pair
    ASSERT_EQ(d.add(d.source("two.mp3"), longTitle), 2);
    EXPECT_EQ(d.track(1).m_mhod.at(0).sString, std::u16string(500, u't'));
    EXPECT_EQ(d.track(1).m_mhod.at(0).iLength, 1000);
    EXPECT_EQ(d.track(1).m_mhod.at(2).sString, std::u16string(499, u'a'));
}

TEST(AddTrack, FileTypeCodesHaveFourCharacters)
{
    FreshDevice d;
    TrackInfo wav = mp3Info();
    wav.sFiletype = u"WAV";
    TrackInfo aiff = mp3Info();
    aiff.sFiletype = u"AIFF";
    ASSERT_EQ(d.add(d.source("a.wav"), wav), 1);
    ASSERT_EQ(d.add(d.source("b.aiff"), aiff), 2);
    EXPECT_EQ(d.track(0).sFiletype, u"WAV ");
    EXPECT_EQ(d.track(0).iType2, 0);
    EXPECT_TRUE(matches(d.location(d.track(0)), ":iPod_Control:Music:A00:[A-Z]{5}\\.WAV"));
    EXPECT_EQ(d.track(1).sFiletype, u"AIFF");
}

TEST(AddTrack, SampleRateThatDoesNotFitIsRefusedBeforeAnythingIsCopied)
{
    FreshDevice d;
    TrackInfo info = mp3Info();
    info.iSampleRateInHz = 96000;
    const fs::path file = d.source("hires.mp3");
    EXPECT_EQ(d.add(file, info), 0);
    ASSERT_EQ(d.host.prompts.size(), 1u);
    const std::u16string prefix = u"Error while adding " + fromUtf8(file.string()) + u"\r\nOverflow";
    EXPECT_EQ(d.host.prompts[0].text.substr(0, prefix.size()), prefix);
    EXPECT_EQ(d.host.prompts[0].icon, MessageIcon::Critical);
    EXPECT_EQ(d.trackCount(), 0);
    EXPECT_EQ(d.db.GetAllPlayLists().m_mhlp.m_mhyp.at(0).iPlaylistItemsCount, 0);
    EXPECT_FALSE(fs::exists(d.music()) && d.filesBelowMusic() != 0);
}

TEST(AddTrack, FileAlreadyOnTheDeviceKeepsItsPlace)
{
    FreshDevice d;
    writeFile(d.music() / "F03/ABCD.mp3", "on the device");
    TrackInfo info = mp3Info();
    const std::u16string onDevice = d.dir.root() + u"iPod_Control/Music/F03/ABCD.mp3";
    EXPECT_EQ(d.db.AddTrack(onDevice, info, true, onDevice, true), 1);
    EXPECT_EQ(d.location(d.track(0)), u":iPod_Control:Music:F03:ABCD.mp3");
    EXPECT_TRUE(d.events.current.empty());
    EXPECT_EQ(d.filesBelowMusic(), 1u);

    // A path that is not below the drive root cannot be a location on the device.
    const fs::path elsewhere = d.source("x.mp3");
    EXPECT_EQ(d.db.AddTrack(fromUtf8(elsewhere.string()), info, true, fromUtf8(elsewhere.string()), true), 0);
    ASSERT_EQ(d.host.prompts.size(), 1u);
    EXPECT_EQ(d.host.prompts[0].text.substr(0, 19), u"Error while adding ");
    EXPECT_EQ(d.trackCount(), 1);
}

TEST(AddTrack, ModificationRebuildsTheStringRecordsOfThatTrack)
{
    FreshDevice d;
    ASSERT_EQ(d.add(d.source("one.mp3"), mp3Info(u"Old")), 1);
    ASSERT_EQ(d.add(d.source("two.mp3"), mp3Info(u"Other")), 2);
    const MHIT before = d.track(0);
    const std::u16string path = d.db.GetTrackInfo(1).sLocation;

    TrackInfo changed{.sTitle = u"New title", .sGenre = u"Rock", .sYear = u"1999-12-31",  // a date keeps its year
                      .iStartTime = 42, .iRememberPlayBackPos = 1};
    EXPECT_EQ(d.db.AddTrack(u"", changed, true, path, true, 1), 1);
    const MHIT after = d.track(0);
    EXPECT_EQ(d.trackCount(), 2);
    ASSERT_EQ(after.m_mhod.size(), 3u);
    EXPECT_EQ(after.m_mhod[0].sString, u"New title");
    EXPECT_EQ(after.m_mhod[1].iType, kMhodGenre);
    EXPECT_EQ(after.m_mhod[2].sString, d.location(before));
    EXPECT_EQ(after.iStartTime, 42);
    EXPECT_EQ(after.sTrackYear, std::string("\xCF\x07\0\0", 4));
    EXPECT_EQ(after.iSampleRate, before.iSampleRate);  // the rest of the record stays
    EXPECT_EQ(after.iTotalSize, 328 + 40 + 18 + 40 + 8 + 40 + static_cast<std::int32_t>(2 * d.location(before).size()));
    EXPECT_EQ(d.db.GetAllPlayLists().m_mhlp.m_mhyp.at(0).iPlaylistItemsCount, 2);
    EXPECT_EQ(sizeMismatch(d.db.assembleDatabase()), "");

    // An identifier no track has changes nothing and says so.
    EXPECT_EQ(d.db.AddTrack(u"", changed, true, path, true, 77), 0);
    ASSERT_EQ(d.host.prompts.size(), 1u);
    EXPECT_EQ(d.host.prompts[0].text.substr(0, 21), u"Error while adding \r\n");
}

TEST(AddTrack, CancelledCopyLeavesNothingBehind)
{
    FreshDevice d;
    ASSERT_EQ(d.add(d.source("first.mp3"), mp3Info()), 1);
    const std::string big(10 << 20, 'b');  // several chunks
    d.events.onCurrent = [&](const std::u16string&, std::int16_t percent) {
        if (percent > 0 && percent < 100)
            d.db.CancelUpdate();
    };
    EXPECT_EQ(d.add(d.source("big.mp3", big), mp3Info()), 0);
    EXPECT_TRUE(d.host.prompts.empty());
    EXPECT_EQ(d.trackCount(), 1);  // the track added before stays
    EXPECT_EQ(d.db.GetAllPlayLists().m_mhlp.m_mhyp.at(0).iPlaylistItemsCount, 1);
    EXPECT_EQ(d.db.GetAllPodcasts().m_mhlp.m_mhyp.at(0).iPlaylistItemsCount, 1);
    EXPECT_EQ(d.filesBelowMusic(), 1u);
    EXPECT_FALSE(fs::exists(d.music() / "A01"));
    EXPECT_GT(d.host.pumps, 0);

    // The next copy starts afresh.
    d.events.onCurrent = nullptr;
    EXPECT_EQ(d.add(d.source("after.mp3"), mp3Info()), 2);
}

TEST(AddTrack, FailedCopyAddsNothingAndSaysWhy)
{
    FreshDevice d;
    const fs::path file = d.source("shrinking.mp3", std::string(10 << 20, 's'));
    d.events.onCurrent = [&](const std::u16string&, std::int16_t percent) {
        if (percent > 0 && percent < 100)
            fs::resize_file(file, 1 << 20);  // the source ends before the copy does
    };
    EXPECT_EQ(d.add(file, mp3Info()), 0);
    ASSERT_EQ(d.host.prompts.size(), 1u);
    const std::u16string prefix = u"Error while adding " + fromUtf8(file.string()) + u"\r\n";
    EXPECT_EQ(d.host.prompts[0].text.substr(0, prefix.size()), prefix);
    EXPECT_GT(d.host.prompts[0].text.size(), prefix.size());
    EXPECT_EQ(d.host.prompts[0].icon, MessageIcon::Critical);
    EXPECT_EQ(d.trackCount(), 0);
    EXPECT_EQ(d.db.GetAllPodcasts().m_mhlp.m_mhyp.at(0).iPlaylistItemsCount, 0);
    EXPECT_EQ(d.filesBelowMusic(), 0u);
    EXPECT_FALSE(fs::exists(d.music() / "A00"));

    // A music folder that cannot hold folders: nothing is copied either.
    d.events.onCurrent = nullptr;
    fs::remove_all(d.music());
    writeFile(d.music(), "not a folder");
    EXPECT_EQ(d.add(d.source("next.mp3"), mp3Info()), 0);
    EXPECT_EQ(d.host.prompts.size(), 2u);
    EXPECT_EQ(d.trackCount(), 0);

    // A missing source file.
    fs::remove(d.music());
    EXPECT_EQ(d.add(d.sources.path() / "missing.mp3", mp3Info()), 0);
    EXPECT_EQ(d.host.prompts.size(), 3u);
    EXPECT_EQ(d.filesBelowMusic(), 0u);
}

TEST(AddTrack, UnsupportedFileIsRefusedQuietly)
{
    FreshDevice d;
    TrackInfo info;
    EXPECT_EQ(d.db.AddTrack(fromUtf8(d.source("notes.txt").string()), info), -2);
    EXPECT_TRUE(d.host.prompts.empty());
    EXPECT_EQ(d.trackCount(), 0);
}

TEST(AddTrack, WithoutALoadTheDevicesOwnDatabaseIsUsed)
{
    Device d;
    installDatabase(d.dir.path(), buildDatabase(typicalDatabase({makeTrack(5, u"Five"), makeTrack(9, u"Nine")})));
    const std::string before = readFile(d.databaseFile());
    EXPECT_EQ(d.add(d.source("new.mp3", "bytes"), mp3Info()), 10);
    EXPECT_EQ(d.trackCount(), 3);
    EXPECT_EQ(d.db.GetTrackInfo(5).sTitle, u"Five");
    EXPECT_EQ(readFile(d.databaseFile()), before);
    EXPECT_TRUE(d.host.prompts.empty());

    // A deleted highest track frees its identifier; the next add counts from the rest.
    std::int32_t ten = 10;
    d.db.DeleteTrack(ten);
    EXPECT_EQ(d.add(d.source("again.mp3", "bytes"), mp3Info()), 10);
}

TEST(AddTrack, WithoutADatabaseTheUserIsAskedAndDecliningAddsNothing)
{
    Device d;
    fs::create_directories(d.databaseFile().parent_path());
    EXPECT_EQ(d.add(d.source("new.mp3", "bytes"), mp3Info()), 0);
    ASSERT_EQ(d.host.prompts.size(), 1u);  // the reader's reset question, declined
    EXPECT_FALSE(fs::exists(d.databaseFile()));
    EXPECT_FALSE(fs::exists(d.music()));
}

TEST(AddTrack, DevicePathsBelowARelativeDriveRoot)
{
    FreshDevice d;
    writeFile(d.music() / "F01/WXYZ.mp3", "on the device");
    clsSonarchive relative;
    ScriptedHost host;
    relative.setUserInterfaceHost(&host);
    const std::string root = fs::relative(d.dir.path()).string() + "/";
    relative.initlaize(0, u"Test", fromUtf8(root));
    ASSERT_TRUE(relative.LoadiPodDB());
    TrackInfo info = mp3Info();
    const std::u16string onDevice = fromUtf8(root + "iPod_Control/Music/F01/WXYZ.mp3");
    ASSERT_EQ(relative.AddTrack(onDevice, info, true, onDevice, true), 1);
    EXPECT_EQ(relative.GetAllTracks().m_mhlt.m_mhit.at(0).m_mhod.back().sString, u":iPod_Control:Music:F01:WXYZ.mp3");
    EXPECT_TRUE(host.prompts.empty());
}

TEST(AddTrack, WhenEveryFolderNameIsTakenAFileGoesIntoAnExistingFolder)
{
    FreshDevice d;
    for (char letter = 'A'; letter <= 'Z'; ++letter)
        for (int n = 0; n < 100; ++n)
            fs::create_directories(d.music() / (std::string(1, letter) + char('0' + n / 10) + char('0' + n % 10)));
    ASSERT_EQ(d.add(d.source("one.mp3", "bytes"), mp3Info()), 1);
    EXPECT_TRUE(matches(d.location(d.track(0)), ":iPod_Control:Music:[A-Z][0-9]{2}:[A-Z]{5}\\.MP3")) << toUtf8(d.location(d.track(0)));
    EXPECT_EQ(readFile(d.fileOf(d.track(0))), "bytes");
}

TEST(AddTrack, TheLibraryIdOfTheFirstTrackThatHasOneIsTaken)
{
    Device d;
    TrackFixture withId = makeTrack(2, u"Two");
    withId.patches[112] = le32(0x1234567) + le32(0x89);
    installDatabase(d.dir.path(), buildDatabase(typicalDatabase({makeTrack(1, u"One"), withId})));
    ASSERT_TRUE(d.db.LoadiPodDB());
    ASSERT_EQ(d.add(d.source("new.mp3", "bytes"), mp3Info()), 3);
    EXPECT_EQ(d.track(2).iDB_ID, 0x0000008901234567);
}
