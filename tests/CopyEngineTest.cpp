#include "TempDir.h"

#include <BatchCopy.h>
#include <CopyPlan.h>
#include <TrackNamePattern.h>
#include <sonarchive/ByteText.h>
#include <CleanFileName.h>
#include <FileNameFit.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <deque>
#include <system_error>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace trackcopy;
using testsupport::randomBytes;
using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;
namespace fs = std::filesystem;

namespace {

class Script final : public CopyObserver {
public:
    void progress(const CopyProgress& p) override
    {
        ++progressCalls;
        last = p;
        if (cancelAt && p.bytesDone >= cancelAt)
            cancel = true;
    }
    ReplaceAnswer askReplace(const fs::path& destination) override
    {
        asked.push_back(destination);
        if (answers.empty())
            return ReplaceAnswer::No;
        const auto a = answers.front();
        answers.pop_front();
        return a;
    }
    void failed(const CopyFailure& f) override { failures.push_back(f); }

    std::atomic<bool> cancel{false};
    std::uint64_t cancelAt = 0;
    std::deque<ReplaceAnswer> answers;
    std::vector<fs::path> asked;
    std::vector<CopyFailure> failures;
    CopyProgress last;
    int progressCalls = 0;
};

bool onlyExpectedFiles(const fs::path& folder, std::size_t count)
{
    std::size_t n = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().filename().string().starts_with(".sonarchive-copy-"))
            return false;
        ++n;
    }
    return n == count;
}

}  // namespace

TEST(BatchCopy, CopiesEachSourceToItsDestinationMakingFolders)
{
    TempDir dir;
    const std::string a = randomBytes(3 * 1024 * 1024 + 17, 1), b = randomBytes(0, 2), c = randomBytes(999, 3);
    writeFile(dir.path() / "src/a.mp3", a);
    writeFile(dir.path() / "src/b.wav", b);
    writeFile(dir.path() / "src/c", c);
    BatchCopy batch({{dir.path() / "src/a.mp3", dir.path() / "out/new/Song A.mp3"},
                     {dir.path() / "src/b.wav", dir.path() / "out/Song B.wav"},
                     {dir.path() / "src/c", dir.path() / "out/No Extension."}});
    Script script;
    const CopyResult result = batch.run(script, script.cancel);
    EXPECT_EQ(result.copied, std::size_t(3));
    EXPECT_TRUE(result.failures.empty());
    EXPECT_FALSE(result.cancelled);
    EXPECT_TRUE(readFile(dir.path() / "out/new/Song A.mp3") == a);
    EXPECT_TRUE(readFile(dir.path() / "out/Song B.wav") == b);
    EXPECT_TRUE(readFile(dir.path() / "out/No Extension") == c);  // the trailing "." is dropped
    EXPECT_TRUE(onlyExpectedFiles(dir.path() / "out", 3));
    EXPECT_EQ(script.last.totalBytes, std::uint64_t(a.size() + b.size() + c.size()));
    EXPECT_EQ(script.last.fileCount, std::size_t(3));
}

TEST(BatchCopy, CopiesAreReadableLikeOrdinaryFiles)
{
    TempDir dir;
    writeFile(dir.path() / "src", "x");
    Script script;
    BatchCopy({{dir.path() / "src", dir.path() / "dst"}}).run(script, script.cancel);
    struct stat info {};
    EXPECT_EQ(::stat((dir.path() / "dst").c_str(), &info), 0);
    EXPECT_TRUE(info.st_mode & S_IRUSR);
    EXPECT_TRUE(info.st_mode & S_IWUSR);
}

TEST(BatchCopy, FailuresAreReportedAndTheRestGoesOn)
{
    TempDir dir;
    writeFile(dir.path() / "good", "good");
    writeFile(dir.path() / "blocker", "a file where a folder should be");
    BatchCopy batch({{dir.path() / "missing.mp3", dir.path() / "out/one.mp3"},
                     {dir.path() / "good", dir.path() / "blocker/two.mp3"},
                     {dir.path() / "good", dir.path() / "out/three.mp3"}});
    Script script;
    const CopyResult result = batch.run(script, script.cancel);
    EXPECT_EQ(result.copied, std::size_t(1));
    EXPECT_EQ(result.failures.size(), std::size_t(2));
    EXPECT_EQ(script.failures.size(), std::size_t(2));
    EXPECT_TRUE(result.failures[0].reason.find("No such file or directory") != std::string::npos);
    EXPECT_TRUE(readFile(dir.path() / "out/three.mp3") == "good");
    EXPECT_TRUE(onlyExpectedFiles(dir.path() / "out", 1));
}

TEST(BatchCopy, ReplaceAnswers)
{
    TempDir dir;
    writeFile(dir.path() / "new", "new");
    for (const char* name : {"a.mp3", "b.mp3", "c.mp3", "d.mp3", "e.mp3"})
        writeFile(dir.path() / "out" / name, "old");
    writeFile(dir.path() / "out/c (2).mp3", "taken");
    std::vector<CopyItem> items;
    for (const char* name : {"a.mp3", "b.mp3", "c.mp3", "d.mp3", "e.mp3"})
        items.push_back({dir.path() / "new", dir.path() / "out" / name});
    Script script;
    script.answers = {ReplaceAnswer::Yes, ReplaceAnswer::No, ReplaceAnswer::KeepBoth, ReplaceAnswer::YesToAll};
    const CopyResult result = BatchCopy(items).run(script, script.cancel);
    EXPECT_EQ(script.asked.size(), std::size_t(4));  // e.mp3 is replaced without asking
    EXPECT_EQ(script.asked[2], dir.path() / "out/c.mp3");
    EXPECT_EQ(readFile(dir.path() / "out/a.mp3"), std::string("new"));
    EXPECT_EQ(readFile(dir.path() / "out/b.mp3"), std::string("old"));
    EXPECT_EQ(readFile(dir.path() / "out/c.mp3"), std::string("old"));
    EXPECT_EQ(readFile(dir.path() / "out/c (2).mp3"), std::string("taken"));
    EXPECT_EQ(readFile(dir.path() / "out/c (3).mp3"), std::string("new"));
    EXPECT_EQ(readFile(dir.path() / "out/d.mp3"), std::string("new"));
    EXPECT_EQ(readFile(dir.path() / "out/e.mp3"), std::string("new"));
    EXPECT_EQ(result.copied, std::size_t(4));
    EXPECT_EQ(result.skipped, std::size_t(1));
}

TEST(BatchCopy, CancelInTheReplacePromptStopsTheBatch)
{
    TempDir dir;
    writeFile(dir.path() / "new", "new");
    writeFile(dir.path() / "out/b.mp3", "old");
    Script script;
    script.answers = {ReplaceAnswer::Cancel};
    const CopyResult result = BatchCopy({{dir.path() / "new", dir.path() / "out/a.mp3"},
                                         {dir.path() / "new", dir.path() / "out/b.mp3"},
                                         {dir.path() / "new", dir.path() / "out/c.mp3"}})
                                  .run(script, script.cancel);
    EXPECT_TRUE(result.cancelled);
    EXPECT_EQ(result.copied, std::size_t(1));
    EXPECT_EQ(result.skipped, std::size_t(2));
    EXPECT_EQ(readFile(dir.path() / "out/b.mp3"), std::string("old"));
    EXPECT_FALSE(fs::exists(dir.path() / "out/c.mp3"));
}

TEST(BatchCopy, KeepBothNameFitsTheNameLimit)
{
    TempDir dir;
    const std::string stem(251, 'a');
    writeFile(dir.path() / (stem + ".mp3"), "x");
    const fs::path other = BatchCopy::keepBothName(dir.path() / (stem + ".mp3"));
    EXPECT_EQ(other.filename().string(), std::string(247, 'a') + " (2).mp3");
}

TEST(BatchCopy, CancelMidFileLeavesNoPartialFileAndKeepsTheOldOne)
{
    TempDir dir;
    const std::string big = randomBytes(3 * BatchCopy::kChunkBytes + 5, 4);
    writeFile(dir.path() / "big.mp4", big);
    writeFile(dir.path() / "out/first.mp4", "small");
    writeFile(dir.path() / "out/Movie.mp4", "the earlier copy");
    Script script;
    script.answers = {ReplaceAnswer::Yes};
    script.cancelAt = BatchCopy::kChunkBytes;  // after the first chunk of the big file
    const CopyResult result = BatchCopy({{dir.path() / "big.mp4", dir.path() / "out/Movie.mp4"},
                                         {dir.path() / "big.mp4", dir.path() / "out/never.mp4"}})
                                  .run(script, script.cancel);
    EXPECT_TRUE(result.cancelled);
    EXPECT_EQ(result.copied, std::size_t(0));
    EXPECT_EQ(readFile(dir.path() / "out/Movie.mp4"), std::string("the earlier copy"));
    EXPECT_FALSE(fs::exists(dir.path() / "out/never.mp4"));
    EXPECT_TRUE(onlyExpectedFiles(dir.path() / "out", 2));
}

TEST(CleanFileName, RemovesTheNineCharactersAndFallsBackWhenBlank)
{
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"AC/DC: Live?", u"ACDC Live"},
        {u"a\\b/c*d:e\"f<g>h|i?j", u"abcdefghij"},
        {u"/:*?", u"iPodFile"},
        {u"   ", u"iPodFile"},
        {u"", u"iPodFile"},
        {u" ? ", u"iPodFile"},
        {u" Song ", u" Song "},
        {u"Rock & Roll (Remix) [2001]..", u"Rock & Roll (Remix) [2001].."},
    };
    for (const auto& [title, cleaned] : cases)
        EXPECT_EQ(trackcopy::CleanFileName(title), cleaned) << sonarchive::toUtf8(title);
}

TEST(TrackFileName, ShortNamesAreUnchanged)
{
    EXPECT_EQ(trackFileName(u"ACDC Live", u"mp3"), "ACDC Live.mp3");
    EXPECT_EQ(trackFileName(u"No Extension", u""), "No Extension.");
}

TEST(TrackFileName, LongCyrillicTitleIsShortenedAtALetter)
{
    // 250 Cyrillic letters are 500 bytes of UTF-8; 251 bytes are left for them beside ".mp3".
    const std::string name = trackFileName(std::u16string(250, u'\u0416'), u"mp3");
    std::string expected;
    for (int i = 0; i < 125; ++i)
        expected += "\xD0\x96";
    EXPECT_EQ(name, expected + ".mp3");
}

TEST(TrackFileName, FourByteCharactersAreNotSplit)
{
    std::u16string title;
    for (int i = 0; i < 100; ++i)
        title += u"\U0001F3B5";  // a musical note: 4 bytes of UTF-8, 2 units of UTF-16
    const std::string name = trackFileName(title, u"m4a");
    EXPECT_EQ(name.size(), std::size_t(62 * 4 + 4));
    EXPECT_EQ(name.substr(0, 4), "\xF0\x9F\x8E\xB5");
    EXPECT_EQ(name.substr(244, 8), "\xF0\x9F\x8E\xB5.m4a");
}

TEST(TrackFileName, ExactFitIsKept)
{
    EXPECT_EQ(trackFileName(std::u16string(251, u'a'), u"mp3"), std::string(251, 'a') + ".mp3");
    EXPECT_EQ(trackFileName(std::u16string(252, u'a'), u"mp3").size(), kMaxFileNameBytes);
    // Without an extension the "." is dropped when copying, so it takes no room.
    EXPECT_EQ(trackFileName(std::u16string(300, u'a'), u""), std::string(255, 'a') + ".");
}

TEST(TrackFileName, NulAndLoneSurrogatesCannotReachTheFileSystem)
{
    EXPECT_EQ(fitStem(std::string("a\0b", 3), ".mp3"), "ab");
    EXPECT_EQ(trackFileName(std::u16string(1, u'\xD800') + u"x", u"mp3"), "\xEF\xBF\xBDx.mp3");
}

namespace {

sonarchive::TrackInfo track(std::int32_t id, const std::u16string& title, const std::u16string& artist, const std::u16string& location,
                            std::int32_t lengthMs = 61500)
{
    return {.sTitle = title, .sAlbum = u"Album", .sArtist = artist, .sGenre = u"Jazz", .sLocation = location,
            .iTrackTimLength = lengthMs, .iTrackID = id};
}

fs::path named(const std::string& pattern, const TrackNameFields& fields, const std::u16string& extension = u"mp3")
{
    std::string error;
    const auto parsed = TrackNamePattern::parse(pattern, error);
    EXPECT_TRUE(parsed) << error;
    return parsed ? parsed->path(fields, extension) : fs::path();
}

}  // namespace

TEST(TrackNamePattern, EveryFieldPaddedNumbersAndNoSeparatorLeftByAnEmptyField)
{
    const TrackNameFields f{.title = u"Song", .artist = u"Band", .album = u"LP", .genre = u"Rock", .composer = u"Writer",
                            .type = u"MP3", .year = 1999, .id = 52, .track = 3, .disc = 1, .playlist = u"Road: Trip", .index = 7};
    EXPECT_EQ(named("{artist}/{album}/{track:02} {title}", f), "Band/LP/03 Song.mp3");
    EXPECT_EQ(named("{genre}/{composer}/{year} {type} {id:05}", f), "Rock/Writer/1999 MP3 00052.mp3");
    EXPECT_EQ(named("{playlist}/{index:03} - {artist} - {title}", f), "Road Trip/007 - Band - Song.mp3");
    EXPECT_EQ(named("{disc}-{track:2} {title}", f), "1-03 Song.mp3");

    const TrackNameFields bare{.title = u"Alone"};
    // Empty fields: "Unknown" in a folder, left out with their separator in the file name.
    EXPECT_EQ(named("{artist}/{album}/{track:02} {title}", bare), "Unknown/Unknown/Alone.mp3");
    EXPECT_EQ(named("{artist} - {title}", bare), "Alone.mp3");
    EXPECT_EQ(named("{title} ({year})", bare), "Alone ().mp3");  // only separators go, not other text
    EXPECT_EQ(named("{artist} - {album} - {title}", bare), "Alone.mp3");
    EXPECT_EQ(named("{artist}", bare, u"m4a"), "iPodFile.m4a");

    std::string error;
    EXPECT_FALSE(TrackNamePattern::parse("{title:02}", error));
    EXPECT_EQ(error, "{title:02}: only a number field takes a width, such as {track:02}");
    EXPECT_FALSE(TrackNamePattern::parse("{nope}", error));
    EXPECT_TRUE(TrackNamePattern::parse("{index}", error)->usesPlaylist());
}

TEST(CopyPlan, EachTrackOnceAndPlaylistFilesWithEveryEntry)
{
    const std::vector<sonarchive::TrackInfo> tracks = {track(1, u"One", u"Ann", u"/ipod/F00/A.mp3"),
                                                       track(2, u"Two", u"", u"/ipod/F01/B.m4a", 1499),
                                                       track(3, u"Drei", u"Björk", u"/ipod/F02/C.mp3"),
                                                       track(4, u"Four", u"Ann", u"")};
    const std::vector<sonarchive::PlaylistView> playlists = {{0, u"iPod", sonarchive::PlaylistKind::Master, {1, 2, 3, 4}},
                                                             {1, u"Mix: A/B", sonarchive::PlaylistKind::Normal, {3, 1, 3, 2}},
                                                             {2, u"", sonarchive::PlaylistKind::Normal, {2}}};
    PlanOptions options;
    options.destination = "/out";
    std::string error;
    options.pattern = TrackNamePattern::parse("{playlist}/{index:02} {title}", error);
    options.playlistFiles = true;
    const CopyPlan plan = CopyPlan::forPlaylists(tracks, {playlists[1], playlists[2]}, options);
    // Each track once, named by the first playlist that holds it.
    ASSERT_EQ(plan.items().size(), 3u);
    EXPECT_EQ(plan.items()[0].destination, "/out/Mix AB/01 Drei.mp3");
    EXPECT_EQ(plan.items()[1].destination, "/out/Mix AB/02 One.mp3");
    EXPECT_EQ(plan.items()[2].destination, "/out/Mix AB/04 Two.m4a");
    EXPECT_EQ(plan.itemTracks(), (std::vector<std::int32_t>{3, 1, 2}));
    ASSERT_EQ(plan.playlistFiles().size(), 2u);
    EXPECT_EQ(plan.playlistFiles()[0].path, "/out/Mix AB.m3u8");
    EXPECT_EQ(plan.playlistFiles()[1].path, "/out/Playlist 3.m3u8");

    // Copied and already there: entries; failed: none.
    CopyResult result;
    result.items = {{ItemOutcome::Copied, "/out/Mix AB/01 Drei.mp3"},
                    {ItemOutcome::Skipped, "/out/Mix AB/02 One.mp3"},
                    {ItemOutcome::Failed, "/out/Mix AB/04 Two.m4a"}};
    EXPECT_EQ(plan.playlistText(plan.playlistFiles()[0], result),
              "#EXTM3U\n"
              "#EXTINF:62,Björk - Drei\nMix AB/01 Drei.mp3\n"
              "#EXTINF:62,Ann - One\nMix AB/02 One.mp3\n"
              "#EXTINF:62,Björk - Drei\nMix AB/01 Drei.mp3\n");
    result.items[2].outcome = ItemOutcome::Copied;
    EXPECT_EQ(plan.playlistText(plan.playlistFiles()[1], result), "#EXTM3U\n#EXTINF:1,Two\nMix AB/04 Two.m4a\n");

    // Everything, narrowed by artist; the master playlist gets no file; a track without a file is a problem.
    options.pattern.reset();
    options.artist = u"ann";
    const CopyPlan all = CopyPlan::forAll(tracks, playlists, options);
    ASSERT_EQ(all.items().size(), 1u);
    EXPECT_EQ(all.items()[0].destination, "/out/One.mp3");
    EXPECT_EQ(all.problems(), (std::vector<std::string>{"track 4 has no file"}));
    EXPECT_EQ(all.playlistFiles().size(), 2u);
    EXPECT_EQ(CopyPlan::forTracks(tracks, {9}, options).problems(), (std::vector<std::string>{"no track with id 9"}));
    EXPECT_EQ(CopyPlan::forTracks(tracks, {1, 1}, options).items().size(), 1u);  // a track named twice is copied once
}

TEST(BatchCopy, UpdatingSkipsCopiesOfTheSameSizeAndReplacesTheOthers)
{
    TempDir dir;
    writeFile(dir.path() / "same", "12345");
    writeFile(dir.path() / "changed", "123456");
    writeFile(dir.path() / "out/same.mp3", "abcde");
    writeFile(dir.path() / "out/changed.mp3", "abcde");
    Script script;
    script.answers = {ReplaceAnswer::Yes};
    BatchCopy batch({{dir.path() / "same", dir.path() / "out/same.mp3"}, {dir.path() / "changed", dir.path() / "out/changed.mp3"},
                     {dir.path() / "same", dir.path() / "out/new.mp3"}});
    batch.setSkipSameSize(true);
    const CopyResult result = batch.run(script, script.cancel);
    EXPECT_EQ(result.copied, 2u);
    EXPECT_EQ(result.skipped, 1u);
    EXPECT_EQ(readFile(dir.path() / "out/same.mp3"), "abcde");  // left as it was
    EXPECT_EQ(readFile(dir.path() / "out/changed.mp3"), "123456");
    EXPECT_EQ(readFile(dir.path() / "out/new.mp3"), "12345");
    EXPECT_EQ(script.asked, (std::vector<fs::path>{dir.path() / "out/changed.mp3"}));
    ASSERT_EQ(result.items.size(), 3u);
    EXPECT_EQ(result.items[0].outcome, ItemOutcome::Skipped);
    EXPECT_EQ(result.items[1].outcome, ItemOutcome::Copied);
}

TEST(BatchCopy, TracksOfOneNameAreAllKeptUnderNumberedNames)
{
    TempDir dir;
    for (const char* name : {"a", "b", "c", "d"})
        writeFile(dir.path() / name, name);
    const fs::path out = dir.path() / "out";
    // "song.mp3" is "Song.mp3" on the disks music is often copied to; "Song (2).mp3" is a title of its own.
    BatchCopy batch({{dir.path() / "a", out / "Song.mp3"}, {dir.path() / "b", out / "song.mp3"},
                     {dir.path() / "c", out / "Song (2).mp3"}, {dir.path() / "d", out / "Song.mp3."}});
    const std::vector<fs::path> planned = {out / "Song.mp3", out / "song (3).mp3", out / "Song (2).mp3", out / "Song (4).mp3"};
    EXPECT_EQ(batch.plannedDestinations(), planned);
    Script script;
    const CopyResult result = batch.run(script, script.cancel);
    EXPECT_TRUE(script.asked.empty());
    EXPECT_EQ(result.copied, 4u);
    for (std::size_t i = 0; i < planned.size(); ++i) {
        EXPECT_EQ(result.items[i].destination, planned[i]);
        EXPECT_EQ(readFile(planned[i]), std::string(1, static_cast<char>('a' + i)));
    }
}

TEST(BatchCopy, OnlyFilesThatWereThereBeforeMeetTheReplaceQuestion)
{
    TempDir dir;
    writeFile(dir.path() / "new", "new");
    const fs::path out = dir.path() / "out";
    writeFile(out / "Song.mp3", "old");
    writeFile(out / "Song (3).mp3", "old three");
    const std::vector<CopyItem> items = {{dir.path() / "new", out / "Song.mp3"}, {dir.path() / "new", out / "Song.mp3"},
                                         {dir.path() / "new", out / "Song (2).mp3"}};
    // The second track of that name goes to the next name ("Song (2)" is the third
    // track's own), which was there before too: both are asked about, and kept.
    Script script;
    CopyResult result = BatchCopy(items).run(script, script.cancel);
    EXPECT_EQ(script.asked, (std::vector<fs::path>{out / "Song.mp3", out / "Song (3).mp3"}));
    EXPECT_EQ(result.items[1].destination, out / "Song (3).mp3");
    EXPECT_EQ(readFile(out / "Song.mp3"), "old");
    EXPECT_EQ(readFile(out / "Song (3).mp3"), "old three");
    EXPECT_EQ(result.copied, 1u);

    // Keep Both: a name neither on the disk nor planned for another track.
    Script again;
    again.answers = {ReplaceAnswer::KeepBoth, ReplaceAnswer::Yes, ReplaceAnswer::Yes};
    result = BatchCopy(items).run(again, again.cancel);
    EXPECT_EQ(again.asked, (std::vector<fs::path>{out / "Song.mp3", out / "Song (3).mp3", out / "Song (2).mp3"}));
    EXPECT_EQ(result.items[0].destination, out / "Song (4).mp3");
    EXPECT_EQ(readFile(out / "Song.mp3"), "old");
    EXPECT_EQ(result.copied, 3u);
}

namespace {

// A finishing step that does what the test tells it, and records what it saw.
class Finisher final : public CopyFinisher {
public:
    enum class Act { Append, Decline, Spoil, FailFull };
    std::optional<std::string> finish(std::size_t item, const fs::path& source, const fs::path& temporary) override
    {
        seen.push_back({item, source, temporary, readFile(temporary), fs::exists(finals.at(item))});
        switch (act) {
        case Act::Append: writeFile(temporary, readFile(temporary) + "+tags"); return std::nullopt;
        case Act::Decline: return "cannot tag it";
        case Act::Spoil: writeFile(temporary, "half"); throw CopySpoiled("the save gave up");
        case Act::FailFull: throw std::system_error(ENOSPC, std::generic_category(), "cannot write the tags");
        }
        return std::nullopt;
    }
    bool isCurrentCopy(std::size_t item, const fs::path&, std::uint64_t, const fs::path& existing) override
    {
        return readFile(existing) == current.at(item);
    }

    struct Seen {
        std::size_t item;
        fs::path source, temporary;
        std::string bytes;
        bool finalNameExists;
    };
    Act act = Act::Append;
    std::vector<fs::path> finals;
    std::vector<std::string> current;
    std::vector<Seen> seen;
};

}  // namespace

TEST(BatchCopy, EachCopyIsFinishedUnderItsTemporaryNameBeforeItGetsItsOwn)
{
    TempDir dir;
    writeFile(dir.path() / "a", "alpha");
    const fs::path out = dir.path() / "out";
    BatchCopy batch({{dir.path() / "a", out / "A.mp3"}});
    auto finisher = std::make_unique<Finisher>();
    Finisher& f = *finisher;
    f.finals = {out / "A.mp3"};
    batch.setFinisher(std::move(finisher));
    Script script;
    CopyResult result = batch.run(script, script.cancel);
    ASSERT_EQ(f.seen.size(), 1u);
    EXPECT_EQ(f.seen[0].bytes, "alpha");  // complete
    EXPECT_FALSE(f.seen[0].finalNameExists);
    EXPECT_EQ(f.seen[0].temporary.parent_path(), out);
    EXPECT_NE(f.seen[0].temporary, out / "A.mp3");
    EXPECT_EQ(readFile(out / "A.mp3"), "alpha+tags");
    EXPECT_TRUE(result.untagged.empty());

    // Declined: copied as it is, with why; spoiled: made again as it is, with why.
    for (const auto act : {Finisher::Act::Decline, Finisher::Act::Spoil}) {
        f.act = act;
        script.answers = {ReplaceAnswer::Yes};
        result = batch.run(script, script.cancel);
        EXPECT_EQ(result.copied, 1u);
        ASSERT_EQ(result.untagged.size(), 1u);
        EXPECT_EQ(result.untagged[0].reason, act == Finisher::Act::Decline ? "cannot tag it" : "the save gave up");
        EXPECT_EQ(readFile(out / "A.mp3"), "alpha");
        EXPECT_TRUE(onlyExpectedFiles(out, 1));
    }

    // A full disk while finishing: the item fails, the earlier copy stays, nothing else is left.
    f.act = Finisher::Act::FailFull;
    writeFile(out / "A.mp3", "earlier copy");
    script.answers = {ReplaceAnswer::Yes};
    result = batch.run(script, script.cancel);
    ASSERT_EQ(result.failures.size(), 1u);
    EXPECT_EQ(result.failures[0].reason, "there is no room left for the copy at " + (out / "A.mp3").string() + " (No space left on device)");
    EXPECT_EQ(readFile(out / "A.mp3"), "earlier copy");
    EXPECT_TRUE(onlyExpectedFiles(out, 1));
}

TEST(BatchCopy, UpdatingAsksTheFinishingStepWhichCopiesAreCurrent)
{
    TempDir dir;
    writeFile(dir.path() / "a", "alpha");
    const fs::path out = dir.path() / "out";
    writeFile(out / "A.mp3", "alpha+tags");
    writeFile(out / "B.mp3", "alpha");  // the source's size, yet not what this batch makes
    BatchCopy batch({{dir.path() / "a", out / "A.mp3"}, {dir.path() / "a", out / "B.mp3"}});
    auto finisher = std::make_unique<Finisher>();
    finisher->finals = {out / "A.mp3", out / "B.mp3"};
    finisher->current = {"alpha+tags", "alpha+tags"};
    batch.setFinisher(std::move(finisher));
    batch.setSkipSameSize(true);
    Script script;
    script.answers = {ReplaceAnswer::Yes};
    const CopyResult result = batch.run(script, script.cancel);
    EXPECT_EQ(result.items[0].outcome, ItemOutcome::Skipped);
    EXPECT_EQ(result.items[1].outcome, ItemOutcome::Copied);
    EXPECT_EQ(readFile(out / "B.mp3"), "alpha+tags");
}

TEST(BatchCopy, CopiesAreNamedInGroupsAndOneThatCannotBeNamedFailsAlone)
{
    // More copies than are named at once, and a destination that a copy can't
    // replace (a folder) in the middle of the second group.
    TempDir dir;
    const std::size_t count = BatchCopy::kNamedTogether + 40;
    std::vector<CopyItem> items;
    for (std::size_t i = 0; i < count; ++i) {
        const std::string name = "t" + std::to_string(i) + ".mp3";
        writeFile(dir.path() / "src" / name, std::to_string(i));
        items.push_back({dir.path() / "src" / name, dir.path() / "out" / name, "Track " + std::to_string(i)});
    }
    const std::size_t blocked = BatchCopy::kNamedTogether + 7;
    fs::create_directories(dir.path() / "out" / ("t" + std::to_string(blocked) + ".mp3") / "inside");
    Script script;
    script.answers = {ReplaceAnswer::Yes};
    const CopyResult result = BatchCopy(items).run(script, script.cancel);
    EXPECT_EQ(result.copied, count - 1);
    ASSERT_EQ(result.failures.size(), 1u);
    EXPECT_EQ(result.failures[0].item.name, "Track " + std::to_string(blocked));
    EXPECT_EQ(result.failures[0].kind, FailureKind::Destination);
    EXPECT_EQ(result.items[blocked].outcome, ItemOutcome::Failed);
    EXPECT_EQ(readFile(dir.path() / "out/t0.mp3"), "0");
    EXPECT_EQ(readFile(dir.path() / "out" / ("t" + std::to_string(count - 1) + ".mp3")), std::to_string(count - 1));
    // Nothing is left under a temporary name.
    std::size_t files = 0;
    for (const auto& entry : fs::directory_iterator(dir.path() / "out"))
        files += entry.is_regular_file() ? 1 : 0;
    EXPECT_EQ(files, count - 1);
}

namespace {

// Whether some process holds the file marked in use (a lock of its own fails).
bool heldByAnother(const fs::path& file)
{
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

// Looks, while each later file is copied, at the temporary files of the copies
// waiting for their names in `folder`.
class WaitingCopies final : public CopyObserver {
public:
    explicit WaitingCopies(fs::path folder) : m_folder(std::move(folder)) {}
    void progress(const CopyProgress& p) override
    {
        if (p.fileIndex == 0)
            return;
        for (const auto& entry : fs::directory_iterator(m_folder)) {
            const std::string name = entry.path().filename().string();
            if (name.starts_with(".sonarchive-copy-" + std::to_string(::getpid()) + "-")) {
                ++seen;
                unheld += heldByAnother(entry.path()) ? 0 : 1;
            }
        }
    }
    ReplaceAnswer askReplace(const fs::path&) override { return ReplaceAnswer::No; }
    int seen = 0, unheld = 0;

private:
    fs::path m_folder;
};

}  // namespace

TEST(BatchCopy, TemporaryFilesOfKilledCopiesAreRemovedWhereTheBatchGoes)
{
    TempDir dir;
    const fs::path out = dir.path() / "out", elsewhere = dir.path() / "elsewhere";
    for (const fs::path& stale : {out / ".sonarchive-copy-4242-1", out / "sub/.sonarchive-copy-4242-2", elsewhere / ".sonarchive-copy-4242-3"})
        writeFile(stale, "left by a killed copy");
    writeFile(out / "notes.sonarchive-copy-7", "a file of the user's");
    // One that a running copy (this test) still holds.
    const fs::path held = out / ".sonarchive-copy-4243-0";
    writeFile(held, "being written");
    const int holder = ::open(held.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);

    writeFile(dir.path() / "a", "alpha");
    writeFile(dir.path() / "b", "beta");
    BatchCopy batch({{dir.path() / "a", out / "A.mp3"}, {dir.path() / "b", out / "B.mp3"}, {dir.path() / "a", out / "sub/C.mp3"}});
    WaitingCopies observer(out);
    std::atomic<bool> cancel{false};
    const CopyResult result = batch.run(observer, cancel);
    EXPECT_EQ(result.copied, 3u);
    // The copies waiting for their names were held all along.
    EXPECT_GT(observer.seen, 0);
    EXPECT_EQ(observer.unheld, 0);

    EXPECT_FALSE(fs::exists(out / ".sonarchive-copy-4242-1"));
    EXPECT_FALSE(fs::exists(out / "sub/.sonarchive-copy-4242-2"));
    EXPECT_EQ(readFile(held), "being written");
    EXPECT_EQ(readFile(out / "notes.sonarchive-copy-7"), "a file of the user's");
    EXPECT_TRUE(fs::exists(elsewhere / ".sonarchive-copy-4242-3"));  // a folder the batch does not go into
    ::close(holder);
}
