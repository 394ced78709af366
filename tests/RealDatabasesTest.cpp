// Databases as the devices' own software and other software write them: every
// shape reads, rewrites byte for byte, and takes edits with exactly the
// expected change; signed databases, failed and killed writes, damaged files,
// upper-case folders and read-only or full devices.
#include "DeviceChecks.h"
#include "TestDevice.h"

#include <AtomicFile.h>
#include <clsSonarchive.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <fstream>
#include <system_error>
#include <unistd.h>

using namespace sonarchive;
using namespace testsupport;
namespace fs = std::filesystem;

namespace {

std::vector<TrackFixture> someTracks(int count)
{
    std::vector<TrackFixture> tracks;
    for (int i = 1; i <= count; ++i)
        tracks.push_back(makeTrack(i, u"Track " + std::u16string(1, static_cast<char16_t>(u'0' + i)), u"Artist",
                                   u"Album", u":iPod_Control:Music:F0" + std::u16string(1, static_cast<char16_t>(u'0' + i)) + u":T.mp3"));
    return tracks;
}

std::vector<int> sectionTypes(const std::string& f)
{
    std::vector<int> order;
    for (std::size_t pos = static_cast<std::size_t>(readI32(f, 4)); pos + 16 <= f.size(); pos += static_cast<std::size_t>(readI32(f, pos + 8)))
        order.push_back(readI32(f, pos + 12));
    return order;
}

std::size_t filesIn(const fs::path& folder)
{
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder))
        ++n;
    return n;
}

// Adds a file already in the device's folders (written with `bytes`), as a
// rebuild does; returns the new track's identifier.
std::int32_t addOnDevice(TestDevice& d, const std::string& relative, TrackInfo info, const std::string& bytes = "bytes")
{
    writeFile(d.dir.path() / relative, bytes);
    return d.db.AddTrack(u"", info, true, fromUtf8((d.dir.path() / relative).string()), true);
}

struct Shape {
    const char* name;
    DatabaseFixture db;
};

std::vector<Shape> everyShape()
{
    DatabaseFixture signedOne = otherSoftwareShape(someTracks(3));
    signHeader(signedOne);
    return {{"typical", typicalDatabase(someTracks(3))},
            {"device", deviceShape(someTracks(4))},
            {"other software", otherSoftwareShape(someTracks(6), {.playlists = 5, .albumListBytes = 5000, .podcastEpisodes = 3})},
            {"early device", earlyDeviceShape(someTracks(5))},
            {"signed", signedOne},
            {"empty", typicalDatabase({})}};
}

}  // namespace

TEST(RealDatabases, ARewriteWithoutEditsReproducesEveryShape)
{
    for (const Shape& shape : everyShape()) {
        SCOPED_TRACE(shape.name);
        TestDevice d;
        d.install(shape.db);
        const std::string original = d.bytes();
        ASSERT_TRUE(d.reload());
        EXPECT_TRUE(d.db.writeDatabase());
        EXPECT_TRUE(d.host.prompts.empty());
        EXPECT_EQ(d.bytes(), original);
        EXPECT_FALSE(d.db.lastFailure());
    }
}

TEST(RealDatabases, SectionsStayInTheOrderTheFileHeldThemThroughEdits)
{
    for (auto [db, order] : {std::pair{deviceShape(someTracks(3)), std::vector<int>{4, 1, 3, 2, 5}},
                             std::pair{otherSoftwareShape(someTracks(3)), std::vector<int>{1, 3, 2, 4, 8, 6, 10, 5}}}) {
        TestDevice d;
        d.install(db);
        ASSERT_EQ(sectionTypes(d.bytes()), order);
        ASSERT_TRUE(d.reload());
        d.deleteTrack(2);
        ASSERT_TRUE(d.db.writeDatabase());
        EXPECT_EQ(sectionTypes(d.bytes()), order);
        EXPECT_EQ(sizeMismatch(d.bytes()), "");
        ASSERT_TRUE(d.reload());
        EXPECT_EQ(d.db.GetAllTracks().m_mhlt.iNumberOfllTracks, 2);
    }
}

TEST(RealDatabases, ADatabaseTheLibraryMakesKeepsItsOwnOrder)
{
    TestDevice d;
    ASSERT_TRUE(d.db.ResetiPodDB());
    ASSERT_TRUE(d.reload());
    ASSERT_GT(addOnDevice(d, "iPod_Control/Music/F00/NEW.mp3", {.sTitle = u"New"}), 0);
    ASSERT_TRUE(d.db.writeDatabase());
    EXPECT_EQ(sectionTypes(d.bytes()), (std::vector<int>{1, 3, 2}));
}

TEST(RealDatabases, OtherSoftwaresShapeReadsEveryTrackPlaylistAndPodcast)
{
    TestDevice d;
    d.install(otherSoftwareShape(someTracks(6), {.playlists = 4, .albumListBytes = 3000, .podcastEpisodes = 2}));
    ASSERT_TRUE(d.reload());
    const MHSD_T tracks = d.db.GetAllTracks();
    ASSERT_EQ(tracks.m_mhlt.iNumberOfllTracks, 6);
    EXPECT_EQ(tracks.m_mhlt.m_mhit[0].iHeaderSize, 584);
    const TrackInfo info = d.db.GetTrackInfo(4);
    EXPECT_EQ(info.sTitle, u"Track 4");
    EXPECT_EQ(trackYear(info), 1999);
    EXPECT_EQ(d.db.GetAllPlayLists().m_mhlp.iNumberOfPlaylists, 5);
    EXPECT_EQ(d.db.GetAllPlayLists().m_mhlp.m_mhyp[3].m_mhod_pcd.size(), 2u);  // a smart playlist's rules
    const MHSD_P podcastSection = d.db.GetAllPodcasts();
    const MHYP& podcasts = podcastSection.m_mhlp.m_mhyp.at(1);
    ASSERT_EQ(podcasts.iPlaylistItemsCount, 3);
    EXPECT_EQ(podcasts.m_mhip[0].iPodCastGroupFlag, 256);
    EXPECT_EQ(podcasts.m_mhip[0].iTrackID, 0);
    EXPECT_EQ(podcasts.m_mhod_poe[0].iType, 1);  // the group's title record
    EXPECT_EQ(podcasts.m_mhip[2].iTrackID, 2);
    EXPECT_EQ(d.db.GetAllAlbumPlayLists().iTotalSize, 96 + 3000);
    EXPECT_EQ(d.db.otherSections().size(), 3u);
}

TEST(EarlyDevices, ShortTrackHeadersAndItemsWithoutRecordsLoadAndList)
{
    TestDevice d;
    d.install(earlyDeviceShape(someTracks(4)));
    ASSERT_TRUE(d.reload());
    EXPECT_TRUE(d.host.prompts.empty());
    const MHSD_T tracks = d.db.GetAllTracks();
    ASSERT_EQ(tracks.m_mhlt.iNumberOfllTracks, 4);
    for (std::int32_t id = 1; id <= 4; ++id) {
        const TrackInfo info = d.db.GetTrackInfo(id);
        EXPECT_EQ(info.sTitle, u"Track " + std::u16string(1, static_cast<char16_t>(u'0' + id)));
        EXPECT_EQ(info.sArtist, u"Artist");
        EXPECT_EQ(info.sAlbum, u"Album");
        EXPECT_EQ(info.sGenre, u"Rock");
        EXPECT_EQ(info.iFileSize, 4000000);
        EXPECT_EQ(info.iSkipWhenShuffle, 0);  // offset 165 lies past both header sizes
    }
    const MHIT& shortest = tracks.m_mhlt.m_mhit[0];
    EXPECT_EQ(shortest.iHeaderSize, 156);
    EXPECT_EQ(shortest.iSkipCount, 0);   // offset 156: the first string record's, not the track's
    EXPECT_EQ(tracks.m_mhlt.m_mhit[1].iSkipCount, 0);
    EXPECT_TRUE(d.db.GetAllPodcasts().sID.empty());
    const MHLP& lists = d.db.GetAllPlayLists().m_mhlp;
    ASSERT_EQ(lists.iNumberOfPlaylists, 2);
    ASSERT_EQ(lists.m_mhyp[0].iPlaylistItemsCount, 4);
    for (std::int32_t k = 0; k < 4; ++k) {
        EXPECT_EQ(lists.m_mhyp[0].m_mhip[static_cast<std::size_t>(k)].iTrackID, k + 1);
        EXPECT_EQ(lists.m_mhyp[0].m_mhip[static_cast<std::size_t>(k)].iTotalSize, 76);
    }
    EXPECT_EQ(lists.m_mhyp[1].m_mhod_s.sString, u"Favourites");
    EXPECT_EQ(lists.m_mhyp[1].m_mhip.at(1).iTrackID, 3);
}

TEST(EarlyDevices, DeletingAndModifyingChangeExactlyWhatTheyShould)
{
    TestDevice d;
    d.install(earlyDeviceShape(someTracks(4)));
    ASSERT_TRUE(d.reload());
    std::int32_t id = 3;
    d.db.DeleteTrack(id);
    ASSERT_TRUE(d.db.writeDatabase());
    auto kept = someTracks(4);
    kept.erase(kept.begin() + 2);
    EXPECT_EQ(d.bytes(), buildDatabase(earlyDeviceShape(kept)));

    ASSERT_TRUE(d.reload());
    TrackInfo info = d.db.GetTrackInfo(2);
    info.sTitle = u"Renamed";
    id = 2;
    d.db.ModifyTrack(id, info);
    ASSERT_TRUE(d.db.writeDatabase());
    // The title changes; the comment and composer records the track lacked are added, empty.
    kept[1].strings[0].text = u"Renamed";
    kept[1].strings.push_back({.type = kMhodComment});
    kept[1].strings.push_back({.type = kMhodComposer});
    EXPECT_EQ(d.bytes(), buildDatabase(earlyDeviceShape(kept)));
}

TEST(EarlyDevices, AnAddedTrackJoinsTheListsInTheirOwnLayout)
{
    TestDevice d;
    d.install(earlyDeviceShape(someTracks(2)));
    const std::string before = d.bytes();
    ASSERT_TRUE(d.reload());
    ASSERT_EQ(addOnDevice(d, "iPod_Control/Music/F09/NEW.mp3", {.sTitle = u"Added", .sYear = u"2001"}), 3);
    ASSERT_TRUE(d.db.writeDatabase());
    EXPECT_EQ(sizeMismatch(d.bytes()), "");

    ASSERT_TRUE(d.reload());
    EXPECT_EQ(d.db.GetTrackInfo(3).sTitle, u"Added");
    EXPECT_EQ(trackYear(d.db.GetTrackInfo(3)), 2001);
    EXPECT_EQ(d.db.GetTrackInfo(1).sTitle, u"Track 1");
    const MHYP master = d.db.GetAllPlayLists().m_mhlp.m_mhyp.at(0);
    ASSERT_EQ(master.iPlaylistItemsCount, 3);
    EXPECT_EQ(master.m_mhip[2].iTrackID, 3);
    EXPECT_EQ(master.m_mhip[2].iChildCount, 0);  // like its neighbours: no data record
    EXPECT_EQ(master.m_mhip[2].iTotalSize, 76);
    EXPECT_TRUE(d.db.GetAllPodcasts().sID.empty());  // no podcast section appears
    // The tracks that were there keep their bytes.
    const std::string after = d.bytes();
    const std::size_t firstTrack = 104 + 96 + 92;
    const std::size_t oldTracksEnd = firstTrack + static_cast<std::size_t>(readI32(before, firstTrack + 8)) +
                                     static_cast<std::size_t>(readI32(before, firstTrack + static_cast<std::size_t>(readI32(before, firstTrack + 8)) + 8));
    EXPECT_EQ(after.substr(firstTrack, oldTracksEnd - firstTrack), before.substr(firstTrack, oldTracksEnd - firstTrack));
}

TEST(SignedDatabases, AChangedSignedDatabaseIsNotWrittenUnlessAllowed)
{
    TestDevice d;
    DatabaseFixture db = otherSoftwareShape(someTracks(3));
    signHeader(db, 2);
    d.install(db);
    const std::string original = d.bytes();
    ASSERT_TRUE(d.reload());
    EXPECT_EQ(d.db.signatureScheme(), 2);
    EXPECT_TRUE(d.db.writeDatabase());  // unchanged, so its signature still holds

    d.deleteTrack(1);
    EXPECT_FALSE(d.db.writeDatabase());
    EXPECT_EQ(d.bytes(), original);
    EXPECT_EQ(filesIn(d.file().parent_path()), 2u);  // and the backup the first write kept
    EXPECT_EQ(readFile(d.file().string() + ".bak"), original);
    EXPECT_EQ(d.db.lastFailure().code, FailureCode::Signed);
    ASSERT_EQ(d.host.prompts.size(), 1u);
    EXPECT_EQ(d.host.prompts[0].icon, MessageIcon::Critical);
    EXPECT_EQ(d.host.prompts[0].text,
              u"This iPod's database is signed by the iPod's own software. The changed database would need a new signature, "
              u"which cannot be made here, and without it the iPod would show no music.\r\nNothing was written.");

    d.db.setAllowUnsignedWrite(true);
    EXPECT_TRUE(d.db.writeDatabase());
    const std::string written = d.bytes();
    EXPECT_LT(written.size(), original.size());
    // The header is kept, signature included; only the file's size differs.
    EXPECT_EQ(written.substr(12, 244 - 12), original.substr(12, 244 - 12));
    EXPECT_EQ(readI32(written, 8), static_cast<std::int32_t>(written.size()));
}

TEST(SignedDatabases, ResetRemembersThatTheReplacedDatabaseWasSigned)
{
    TestDevice d;
    DatabaseFixture db = typicalDatabase(someTracks(1));
    signHeader(db, 1);
    d.install(db);
    ASSERT_TRUE(d.db.ResetiPodDB());
    EXPECT_EQ(d.db.replacedSignatureScheme(), 1);
    ASSERT_TRUE(d.db.ResetiPodDB());  // now over the unsigned template
    EXPECT_EQ(d.db.replacedSignatureScheme(), 0);
}

TEST(WholeWrites, AFailingSectionAbandonsTheWholeWrite)
{
    for (const char* section : {"MHSD_T", "MHSD_P"}) {
        SCOPED_TRACE(section);
        TestDevice d;
        ASSERT_TRUE(d.load(typicalDatabase(someTracks(3))));
        const std::string before = d.bytes();
        d.deleteTrack(2);
        const FailingStep full(section, std::system_error(std::make_error_code(std::errc::no_space_on_device), "cannot place the section"));
        EXPECT_FALSE(d.db.writeDatabase());
        EXPECT_EQ(d.bytes(), before);
        EXPECT_EQ(filesIn(d.file().parent_path()), 2u);  // and the backup kept before the write began
        EXPECT_EQ(readFile(d.file().string() + ".bak"), before);
        ASSERT_EQ(d.host.prompts.size(), 1u);
        EXPECT_EQ(d.host.prompts[0].text, u"Error Occured while writing Database[" + fromUtf8(section) +
                                              u"].\r\n28:the iPod is full: there is no room left on it");
        EXPECT_EQ(d.host.prompts[0].buttons, MessageButtons::OK);
        EXPECT_EQ(d.db.lastFailure().code, FailureCode::NoSpace);
    }
}

TEST(WholeWrites, ReadOnlyAndFullDevicesAreNamedAndNothingChanges)
{
    for (auto [step, error, words] : {std::tuple{"create", EROFS, u"the iPod is mounted read-only, so nothing can be written to it"},
                                      std::tuple{"write", ENOSPC, u"the iPod is full: there is no room left on it"}}) {
        SCOPED_TRACE(step);
        TestDevice d;
        ASSERT_TRUE(d.load(typicalDatabase(someTracks(2))));
        const std::string before = d.bytes();
        d.deleteTrack(1);
        const FailingStep failing(step, std::system_error(error, std::generic_category(), "device"));
        EXPECT_FALSE(d.db.writeDatabase());
        EXPECT_EQ(d.bytes(), before);
        EXPECT_EQ(filesIn(d.file().parent_path()), 1u);
        ASSERT_EQ(d.host.prompts.size(), 1u);
        EXPECT_EQ(d.host.prompts[0].text, u"Error occured while writting iPod DB.\r\nErr Number:" +
                                              fromUtf8(std::to_string(error)) + u"," + words);
        EXPECT_EQ(d.db.lastFailure().message, toUtf8(words));
    }
}

TEST(WholeWrites, AKilledWriteKeepsTheOldDatabaseAndTheNextWriteClearsItsLeftovers)
{
    TestDevice d;
    ASSERT_TRUE(d.load(typicalDatabase(someTracks(2))));
    const std::string before = d.bytes();
    d.deleteTrack(1);
    // A backup of these bytes is there already, so each write renames only the database.
    writeFile(d.file().string() + ".bak", before);

    // A write killed outright, between writing its file and renaming it.
    for (int kill = 0; kill < 3; ++kill) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            setFileFaultHook([](const char* step) {
                if (std::string(step) == "rename")
                    _exit(9);  // no destructor runs, as with kill -9
            });
            d.db.writeDatabase();
            _exit(0);
        }
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_EQ(WEXITSTATUS(status), 9);
    }
    EXPECT_EQ(d.bytes(), before);
    // Each write cleared what the one before it left: one leftover remains beside the database and its backup.
    const fs::path folder = d.file().parent_path();
    ASSERT_EQ(filesIn(folder), 3u);

    // Files that are not leftovers stay: another name, and a write still running elsewhere.
    writeFile(folder / "Sonarchive.mine", "keep");
    writeFile(folder / "Other.sonarchive-partial-abcdef", "keep");
    const fs::path running = folder / "Sonarchive.sonarchive-partial-RUNING";
    writeFile(running, "in progress");
    const int held = ::open(running.c_str(), O_RDONLY);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);

    ASSERT_TRUE(d.db.writeDatabase());
    ::close(held);
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Other.sonarchive-partial-abcdef", "Sonarchive", "Sonarchive.bak", "Sonarchive.mine",
                                               "Sonarchive.sonarchive-partial-RUNING"}));
    ASSERT_TRUE(d.reload());
    EXPECT_EQ(d.db.GetAllTracks().m_mhlt.iNumberOfllTracks, 1);
}

namespace {

// A small file system of its own, mounted where a test wants a real full or
// read-only device; only where the test may mount (as root on Linux).
class SmallVolume {
public:
    explicit SmallVolume(const fs::path& where, const char* size)
        : m_where(where), m_mounted(::mount("tmpfs", where.c_str(), "tmpfs", 0, (std::string("size=") + size).c_str()) == 0)
    {
    }
    ~SmallVolume()
    {
        if (m_mounted)
            ::umount2(m_where.c_str(), MNT_DETACH);
    }
    bool mounted() const { return m_mounted; }
    bool makeReadOnly() { return ::mount(nullptr, m_where.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0; }

private:
    fs::path m_where;
    bool m_mounted;
};

}  // namespace

TEST(RealVolumes, FullAndReadOnlyDevicesRefuseEveryWriteInPlainWords)
{
    TestDevice d;
    SmallVolume volume(d.dir.path(), "96k");
    if (!volume.mounted())
        GTEST_SKIP() << "mounting a small file system needs privileges this run does not have";
    d.install(typicalDatabase(someTracks(2)));
    const std::string before = d.bytes();
    ASSERT_TRUE(d.reload());
    TempDir sources;
    writeFile(sources.path() / "long.mp3", std::string(200 * 1024, 'a'));

    // Full: the copy stops, and no part of it stays.
    TrackInfo info;
    info.sFiletype = u"MP3";
    EXPECT_EQ(d.db.AddTrack(fromUtf8((sources.path() / "long.mp3").string()), info, false, {}, true), 0);
    EXPECT_EQ(d.db.lastFailure().code, FailureCode::NoSpace);
    ASSERT_EQ(d.host.prompts.size(), 1u);
    EXPECT_EQ(d.host.prompts[0].text, u"Error while adding " + fromUtf8((sources.path() / "long.mp3").string()) +
                                          u"\r\nthe iPod is full: there is no room left on it");
    EXPECT_EQ(filesIn(d.dir.path() / "iPod_Control/Music"), 0u);
    EXPECT_EQ(d.db.GetAllTracks().m_mhlt.iNumberOfllTracks, 2);

    // Full: a database that no longer fits beside the old one is not written.
    writeFile(d.dir.path() / "filler", "");
    {
        std::ofstream filler(d.dir.path() / "filler", std::ios::binary);
        const std::string block(4096, 'f');
        while (filler.write(block.data(), static_cast<std::streamsize>(block.size())))
            ;
    }
    fs::resize_file(d.dir.path() / "filler", fs::file_size(d.dir.path() / "filler") - 512);
    d.deleteTrack(1);
    EXPECT_FALSE(d.db.writeDatabase());
    EXPECT_EQ(d.db.lastFailure().code, FailureCode::NoSpace);
    EXPECT_EQ(d.bytes(), before);
    EXPECT_EQ(filesIn(d.file().parent_path()), 1u);
    fs::remove(d.dir.path() / "filler");

    // Read-only: nothing is written, nothing is left.
    ASSERT_TRUE(volume.makeReadOnly());
    d.host.prompts.clear();
    EXPECT_FALSE(d.db.writeDatabase());
    EXPECT_FALSE(d.db.ResetiPodDB());
    EXPECT_EQ(d.db.lastFailure().code, FailureCode::ReadOnly);
    EXPECT_EQ(d.db.AddTrack(fromUtf8((sources.path() / "long.mp3").string()), info, false, {}, true), 0);
    ASSERT_EQ(d.host.prompts.size(), 3u);
    EXPECT_EQ(d.host.prompts[0].text, u"Error occured while writting iPod DB.\r\nErr Number:30,the iPod is mounted read-only, "
                                          u"so nothing can be written to it");
    EXPECT_EQ(d.host.prompts[1].text, u"Error occured while copying iPod DB.\r\nError Number:30:the iPod is mounted read-only, "
                                          u"so nothing can be written to it");
    EXPECT_NE(d.host.prompts[2].text.find(u"read-only"), std::u16string::npos);
    EXPECT_EQ(d.bytes(), before);
    EXPECT_EQ(filesIn(d.file().parent_path()), 1u);
}

TEST(DamagedFiles, TheLoadFailureSaysWhichByteAndWhy)
{
    const std::string whole = buildDatabase(typicalDatabase(someTracks(3)));
    const std::size_t firstTrack = 104 + 96 + 92;
    const std::size_t thirdTrack = firstTrack + 2 * static_cast<std::size_t>(readI32(whole, firstTrack + 8));
    ASSERT_EQ(thirdTrack, 1672u);  // 388-byte headers and five string records each

    TestDevice cut;
    cut.installBytes(whole.substr(0, thirdTrack + 100));  // ends inside the third track's header
    EXPECT_FALSE(cut.reload());
    Failure failure = cut.db.lastFailure();
    EXPECT_EQ(failure.code, FailureCode::Format);
    EXPECT_EQ(failure.offset, 1672);
    EXPECT_EQ(failure.message, "at byte 1,672: the file ends inside a track record (304 bytes of fields, 100 left)");

    std::string zero = whole;
    zero.replace(thirdTrack + 4, 4, le32(0));
    TestDevice damaged;
    damaged.installBytes(zero);
    EXPECT_FALSE(damaged.reload());
    failure = damaged.db.lastFailure();
    EXPECT_EQ(failure.offset, 1672);
    EXPECT_EQ(failure.message, "at byte 1,672: track header size 0");
    // The repair questions are the usual ones.
    ASSERT_FALSE(damaged.host.prompts.empty());
    EXPECT_EQ(damaged.host.prompts[0].title, u"iPod DB is Corrupted");
}

TEST(UpperCaseFolders, EveryPathIsFoundWhateverItsLetterCase)
{
    TestDevice d;
    const fs::path control = d.dir.path() / "IPOD_CONTROL";
    fs::create_directories(control / "ITUNES");
    fs::create_directories(control / "MUSIC/F01");
    writeFile(control / "ITUNES/Sonarchive", buildDatabase(typicalDatabase({makeTrack(1, u"Loud", u"A", u"B", u":iPod_Control:Music:F01:ABCD.mp3")})));
    writeFile(control / "MUSIC/F01/ABCD.MP3", "mp3 bytes");

    ASSERT_TRUE(d.reload());
    EXPECT_EQ(toUtf8(d.db.GetTrackInfo(1).sLocation), (control / "MUSIC/F01/ABCD.MP3").string());

    // Adding picks a folder inside the device's own music folder.
    writeFile(d.dir.path() / "../upper-source.mp3", "new bytes");
    TrackInfo info;
    info.sTitle = u"Copied";
    info.sFiletype = u"MP3";
    const std::int32_t added = d.db.AddTrack(fromUtf8((d.dir.path() / "../upper-source.mp3").string()), info, false, {}, true);
    fs::remove(d.dir.path() / "../upper-source.mp3");
    ASSERT_GT(added, 0);
    EXPECT_EQ(readFile(toUtf8(d.db.GetTrackInfo(added).sLocation)), "new bytes");
    EXPECT_EQ(fs::path(toUtf8(d.db.GetTrackInfo(added).sLocation)).parent_path().parent_path(), control / "MUSIC");
    ASSERT_TRUE(d.db.writeDatabase());

    // Reset and rebuild use the same folders; no second iPod_Control appears.
    ASSERT_TRUE(d.db.ResetiPodDB());
    EXPECT_TRUE(fs::exists(control / "ITUNES/Sonarchive.bak"));
    ASSERT_TRUE(d.db.ReBuildDB());
    ASSERT_TRUE(d.reload());
    EXPECT_EQ(d.db.GetAllTracks().m_mhlt.iNumberOfllTracks, 2);
    EXPECT_EQ(filesIn(d.dir.path()), 1u);
    EXPECT_EQ(filesIn(control), 2u);
}

TEST(UpperCaseFolders, FoldersStillToBeMadeGoInsideTheOnesThatExist)
{
    TestDevice d;
    const fs::path control = d.dir.path() / "IPOD_CONTROL";
    fs::create_directories(control / "ITUNES");
    ASSERT_TRUE(d.db.ResetiPodDB());
    ASSERT_TRUE(d.reload());
    TempDir sources;
    writeFile(sources.path() / "song.mp3", "bytes");
    TrackInfo info;
    info.sFiletype = u"MP3";
    const std::int32_t id = d.db.AddTrack(fromUtf8((sources.path() / "song.mp3").string()), info, false, {}, true);
    ASSERT_GT(id, 0);
    EXPECT_EQ(fs::path(toUtf8(d.db.GetTrackInfo(id).sLocation)).parent_path().parent_path(), control / "Music");
    EXPECT_EQ(filesIn(d.dir.path()), 1u);
    EXPECT_EQ(filesIn(control / "ITUNES"), 1u);
}

TEST(LargeFiles, SizesOfTwoToFourGiBArePositiveAndLargerFilesAreRefused)
{
    TestDevice d;
    d.install(typicalDatabase(someTracks(1)));
    ASSERT_TRUE(d.reload());
    // 3 GiB, the bits of the unsigned field.
    const TrackInfo big{.sTitle = u"Film", .sFiletype = u"MP4", .iFileSize = static_cast<std::int32_t>(0xC0000000u)};
    const std::int32_t id = addOnDevice(d, "iPod_Control/Music/F05/BIG.mp4", big, "");
    ASSERT_GT(id, 0);
    EXPECT_EQ(trackFileSize(d.db.GetTrackInfo(id)), 0xC0000000u);

    TempDir sources;
    const fs::path huge = sources.path() / "huge.mp3";
    writeFile(huge, "");
    fs::resize_file(huge, 4ULL << 30);  // sparse
    TrackInfo info;
    EXPECT_EQ(d.db.AddTrack(fromUtf8(huge.string()), info), 0);
    EXPECT_EQ(d.db.lastFailure().code, FailureCode::TooLarge);
    ASSERT_EQ(d.host.prompts.size(), 1u);
    EXPECT_EQ(d.host.prompts[0].text, u"Error while adding " + fromUtf8(huge.string()) +
                                          u"\r\nthe file is 4,294,967,296 bytes, and the iPod's database holds only files "
                                          u"smaller than 4 GiB (4,294,967,296 bytes)");
    EXPECT_EQ(d.db.GetAllTracks().m_mhlt.iNumberOfllTracks, 2);
    EXPECT_EQ(filesIn(d.dir.path() / "iPod_Control/Music"), 1u);  // only F05: nothing was copied
}
