// The tags written into copies, on media made with ffmpeg at test time and read
// back through TagLib: fill and db, ratings and play counts in every form, the
// marker, covers, files that cannot be tagged, and the audio left as it was.

#include "FaultyDevice.h"
#include "TagReadBack.h"
#include "TempDir.h"

#include <BatchCopy.h>
#include <CopyTagger.h>
#include <TagFileStream.h>
#include <TagWriter.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <memory>
#include <sys/mount.h>

using namespace trackcopy;
using testsupport::ReadBack;
using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;
namespace fs = std::filesystem;

namespace {

std::string run(const std::string& command)
{
    std::string output;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe))
            output += buffer;
        ::pclose(pipe);
    }
    return output;
}

// ffmpeg's MD5 of the decoded streams ("a" audio, "v" video): the same for a copy
// whose tags changed and whose sound and pictures did not.
std::string streamMd5(const fs::path& file, const char* streams = "a")
{
    return run("ffmpeg -nostdin -hide_banner -loglevel error -i '" + file.string() + "' -map 0:" + streams + " -f md5 - 2>&1");
}

using Fields = std::map<std::string, std::string>;

std::uint32_t be32At(const std::string& bytes, std::size_t at)
{
    return std::uint32_t(std::uint8_t(bytes[at])) << 24 | std::uint32_t(std::uint8_t(bytes[at + 1])) << 16 |
           std::uint32_t(std::uint8_t(bytes[at + 2])) << 8 | std::uint8_t(bytes[at + 3]);
}

// The top-level atom `name` of an MP4 file's bytes, header included; empty when none.
std::string topAtom(const std::string& bytes, const std::string& name)
{
    for (std::size_t at = 0; at + 8 <= bytes.size();) {
        const std::size_t size = be32At(bytes, at);
        if (size < 8 || at + size > bytes.size())
            break;
        if (bytes.compare(at + 4, 4, name) == 0)
            return bytes.substr(at, size);
        at += size;
    }
    return {};
}

// The file without its moov/udta atom, as some encoders write them; moov must be last.
std::string withoutUserData(const std::string& bytes)
{
    const std::string moov = topAtom(bytes, "moov");
    const std::size_t moovAt = bytes.size() - moov.size();
    EXPECT_FALSE(moov.empty());
    EXPECT_EQ(bytes.compare(moovAt, moov.size(), moov), 0) << "moov is not the last atom";
    std::string kept = moov.substr(0, 8);
    for (std::size_t at = 8; at + 8 <= moov.size();) {
        const std::size_t size = be32At(moov, at);
        if (moov.compare(at + 4, 4, "udta") != 0)
            kept += moov.substr(at, size);
        at += size;
    }
    const std::uint32_t size = static_cast<std::uint32_t>(kept.size());
    kept.replace(0, 4, {char(size >> 24), char(size >> 16 & 0xFF), char(size >> 8 & 0xFF), char(size & 0xFF)});
    return bytes.substr(0, moovAt) + kept;
}

TrackTags databaseValues()
{
    TrackTags tags;
    tags.title = u"Titre de la base";
    tags.artist = u"DB Artist";
    tags.album = u"DB Album";
    tags.genre = u"DB Genre";
    tags.composer = u"DB Composer";
    tags.comment = u"DB Comment";
    tags.year = 1987;
    tags.track = 5;
    tags.trackCount = 9;
    tags.disc = 2;
    tags.discCount = 3;
    tags.rating = 80;
    tags.playCount = 17;
    return tags;
}

class CopyTags : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        media = new TempDir;
        const std::string tone = "-f lavfi -i sine=frequency=440:duration=1 ";
        const std::string fileTags = "-metadata title=\"File Title\" -metadata artist=\"File Artist\" -metadata album=\"File Album\" "
                                     "-metadata date=2004 -metadata track=3 ";
        make("tagged.mp3", tone + fileTags + "-c:a libmp3lame -b:a 64k");
        make("bare.mp3", tone + "-c:a libmp3lame -b:a 64k -id3v2_version 0");
        // Larger than what is edited in memory: its tags are written in place.
        make("long.mp3", "-f lavfi -i sine=frequency=440:duration=70 " + fileTags + "-c:a libmp3lame -b:a 160k");
        make("tagged.m4a", tone + fileTags + "-c:a aac -b:a 64k");
        make("bare.m4a", tone + "-c:a aac -b:a 64k -map_metadata -1 -fflags +bitexact");
        make("film.mp4", "-f lavfi -i testsrc=size=64x48:rate=10:duration=1 " + tone + "-c:v libx264 -c:a aac -shortest "
                         "-metadata title=\"File Title\"");
        make("tagged.wav", tone + "-ar 22050 -c:a pcm_s16le -metadata title=\"File Title\"");
        make("tagged.aiff", tone + "-ar 22050 -write_id3v2 1 " + fileTags);
        make("cover.jpg", "-f lavfi -i color=c=red:size=16x16 -frames:v 1");
        make("large-cover.jpg", "-f lavfi -i testsrc2=size=400x400 -frames:v 1 -q:v 1");
        make("raw.aac", tone + "-c:a aac -b:a 64k -f adts");
        // Larger than what is edited in memory, its index (moov) after the audio and
        // without user data (udta): the tags go in at the start of the index and
        // move the rest of it, which is shorter than they are.
        make("index-last.m4a", "-f lavfi -i sine=frequency=440:duration=45 -ac 2 -c:a aac -b:a 320k -fflags +bitexact "
                               "-map_metadata -1");
        writeFile(source("index-last.m4a"), withoutUserData(readFile(source("index-last.m4a"))));
        writeFile(media->path() / "junk.mp3", std::string(5000, '\x55'));
        writeFile(media->path() / "junk.m4a", "not a container at all");
    }
    static void TearDownTestSuite()
    {
        delete media;
        media = nullptr;
    }
    static void make(const std::string& name, const std::string& options)
    {
        const std::string command =
            "ffmpeg -nostdin -hide_banner -loglevel error -y " + options + " '" + (media->path() / name).string() + "'";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }
    static fs::path source(const std::string& name) { return media->path() / name; }

    // A copy of a source in this test's folder, tagged as told.
    fs::path tagged(const std::string& name, TagMode mode, const TrackTags& tags = databaseValues(),
                    TagWriteResult::Outcome expected = TagWriteResult::Outcome::Written)
    {
        const fs::path copy = m_dir.path() / (tagModeName(mode).data() + ("-" + name));
        fs::copy_file(source(name), copy, fs::copy_options::overwrite_existing);
        TagWriter writer(tags, mode);
        writer.setMarker("the marker of " + name);
        const TagWriteResult result = writer.write(copy, tagKindOf(copy));
        EXPECT_EQ(result.outcome, expected) << name << ": " << result.reason;
        return copy;
    }

    static TempDir* media;
    TempDir m_dir;
};

TempDir* CopyTags::media = nullptr;

const Fields kFilled = {{"TITLE", "File Title"},   {"ARTIST", "File Artist"},     {"ALBUM", "File Album"},
                        {"GENRE", "DB Genre"},     {"COMPOSER", "DB Composer"},   {"COMMENT", "DB Comment"},
                        {"DATE", "2004"},          {"TRACKNUMBER", "3/9"},        {"DISCNUMBER", "2/3"}};
const Fields kDatabase = {{"TITLE", "Titre de la base"}, {"ARTIST", "DB Artist"},    {"ALBUM", "DB Album"},
                          {"GENRE", "DB Genre"},         {"COMPOSER", "DB Composer"}, {"COMMENT", "DB Comment"},
                          {"DATE", "1987"},              {"TRACKNUMBER", "5/9"},      {"DISCNUMBER", "2/3"}};

}  // namespace

TEST_F(CopyTags, FillAddsOnlyWhatTheFileLacks)
{
    for (const char* name : {"tagged.mp3", "long.mp3", "tagged.m4a", "tagged.aiff"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(ReadBack(tagged(name, TagMode::Fill)).common(), kFilled);
    }
    // A WAV file's title is in its INFO list: the ID3v2 chunk takes it from there.
    const ReadBack wav(tagged("tagged.wav", TagMode::Fill));
    EXPECT_EQ(wav.field("TITLE"), "File Title");
    EXPECT_EQ(wav.field("ARTIST"), "DB Artist");
    EXPECT_EQ(wav.infoFields.at("TITLE"), "File Title");
    // A file without tags gets all of them.
    for (const char* name : {"bare.mp3", "bare.m4a"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(ReadBack(tagged(name, TagMode::Fill)).common(), kDatabase);
    }
}

TEST_F(CopyTags, DbReplacesTheFilesValuesWhereTheDatabaseHasOne)
{
    for (const char* name : {"tagged.mp3", "tagged.m4a", "tagged.aiff"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(ReadBack(tagged(name, TagMode::Database)).common(), kDatabase);
    }
    const ReadBack wav(tagged("tagged.wav", TagMode::Database));
    EXPECT_EQ(wav.field("TITLE"), "Titre de la base");
    EXPECT_EQ(wav.infoFields.at("TITLE"), "Titre de la base");  // no stale title left beside it

    // What the database lacks, the file keeps.
    TrackTags sparse = databaseValues();
    sparse.artist.clear();
    sparse.year = 0;
    sparse.track = 0;
    Fields expected = kDatabase;
    expected["ARTIST"] = "File Artist";
    expected["DATE"] = "2004";
    expected["TRACKNUMBER"] = "3/9";
    EXPECT_EQ(ReadBack(tagged("tagged.mp3", TagMode::Database, sparse)).common(), expected);
}

TEST_F(CopyTags, RatingAndPlayCountInEveryForm)
{
    for (const char* name : {"bare.mp3", "tagged.wav", "tagged.aiff"}) {
        SCOPED_TRACE(name);
        const ReadBack tags(tagged(name, TagMode::Fill));
        EXPECT_EQ(tags.userTexts, (Fields{{"FMPS_Rating", "0.8"}, {"FMPS_Playcount", "17"}, {"SONARCHIVE_COPY", "the marker of " + std::string(name)}}));
        ASSERT_EQ(tags.popularimeters.size(), 1u);
        EXPECT_EQ(tags.popularimeters[0], std::make_tuple(std::string("Windows Media Player 9 Series"), 196, 17u));
    }
    for (const char* name : {"bare.m4a", "film.mp4"}) {
        SCOPED_TRACE(name);
        const ReadBack tags(tagged(name, TagMode::Fill));
        EXPECT_EQ(tags.userTexts, (Fields{{"FMPS_Rating", "0.8"}, {"FMPS_Playcount", "17"}, {"SONARCHIVE_COPY", "the marker of " + std::string(name)}}));
    }

    // Each number of stars on the common scale; an unrated track gets no FMPS_Rating.
    const std::pair<int, std::tuple<std::string, int>> stars[] = {
        {0, {"", 0}}, {20, {"0.2", 1}}, {40, {"0.4", 64}}, {60, {"0.6", 128}}, {80, {"0.8", 196}}, {100, {"1", 255}}};
    for (const auto& [rating, expected] : stars) {
        TrackTags values = databaseValues();
        values.rating = rating;
        const ReadBack tags(tagged("bare.mp3", TagMode::Fill, values));
        EXPECT_EQ(std::make_tuple(tags.userTexts.count("FMPS_Rating") ? tags.userTexts.at("FMPS_Rating") : "",
                                  std::get<1>(tags.popularimeters.at(0))),
                  expected)
            << rating;
    }
}

TEST_F(CopyTags, FillKeepsARatingTheFileHasAndDbReplacesIt)
{
    // A copy rated elsewhere: two stars, 3 plays.
    TrackTags before = databaseValues();
    before.rating = 40;
    before.playCount = 3;
    const fs::path rated = tagged("bare.mp3", TagMode::Fill, before);
    fs::copy_file(rated, media->path() / "rated.mp3", fs::copy_options::overwrite_existing);

    const ReadBack filled(tagged("rated.mp3", TagMode::Fill));
    EXPECT_EQ(filled.userTexts.at("FMPS_Rating"), "0.4");
    EXPECT_EQ(filled.userTexts.at("FMPS_Playcount"), "3");
    EXPECT_EQ(filled.popularimeters, (std::vector{std::make_tuple(std::string("Windows Media Player 9 Series"), 64, 3u)}));

    const ReadBack replaced(tagged("rated.mp3", TagMode::Database));
    EXPECT_EQ(replaced.userTexts.at("FMPS_Rating"), "0.8");
    EXPECT_EQ(replaced.userTexts.at("FMPS_Playcount"), "17");
    EXPECT_EQ(replaced.popularimeters, (std::vector{std::make_tuple(std::string("Windows Media Player 9 Series"), 196, 17u)}));
}

TEST_F(CopyTags, TheSoundAndPicturesStayAsTheyWere)
{
    ASSERT_GT(fs::file_size(source("long.mp3")), 1u << 20);
    for (const char* name : {"tagged.mp3", "bare.mp3", "long.mp3", "tagged.m4a", "bare.m4a", "tagged.wav", "tagged.aiff"}) {
        for (const TagMode mode : {TagMode::Fill, TagMode::Database}) {
            SCOPED_TRACE(std::string(name) + " " + tagModeName(mode).data());
            const std::string before = streamMd5(source(name));
            ASSERT_EQ(before.rfind("MD5=", 0), 0u) << before;
            EXPECT_EQ(streamMd5(tagged(name, mode)), before);
        }
    }
    const fs::path film = tagged("film.mp4", TagMode::Database);
    EXPECT_EQ(streamMd5(film, "v"), streamMd5(source("film.mp4"), "v"));
    EXPECT_EQ(streamMd5(film, "a"), streamMd5(source("film.mp4"), "a"));
}

TEST_F(CopyTags, ACoverGoesOnlyIntoACopyWithoutAPicture)
{
    const std::string jpeg = readFile(source("cover.jpg"));
    ASSERT_EQ(jpeg.substr(0, 3), "\xFF\xD8\xFF");
    int asked = 0;
    const auto withCover = [&](const std::string& name, TagMode mode) {
        const fs::path copy = m_dir.path() / ("cover-" + name);
        fs::copy_file(source(name), copy, fs::copy_options::overwrite_existing);
        TagWriter writer(databaseValues(), mode);
        writer.setCover([&] {
            ++asked;
            return jpeg;
        });
        EXPECT_EQ(writer.write(copy, tagKindOf(copy)).outcome, TagWriteResult::Outcome::Written);
        return copy;
    };
    for (const char* name : {"bare.mp3", "bare.m4a", "tagged.aiff"})
        EXPECT_EQ(ReadBack(withCover(name, TagMode::Fill)).pictures, std::vector<std::string>{jpeg}) << name;
    EXPECT_EQ(asked, 3);

    // A copy with a picture of its own keeps it, in either mode, and no cover is looked up.
    fs::copy_file(withCover("bare.mp3", TagMode::Fill), media->path() / "pictured.mp3", fs::copy_options::overwrite_existing);
    asked = 0;
    EXPECT_EQ(ReadBack(withCover("pictured.mp3", TagMode::Database)).pictures, std::vector<std::string>{jpeg});
    EXPECT_EQ(asked, 0);
}

TEST_F(CopyTags, ALargeMp4GetsTagsLongerThanWhatFollowsThem)
{
    const std::string original = readFile(source("index-last.m4a"));
    ASSERT_GT(original.size(), std::size_t(TagFileStream::kInMemoryLimit));
    ASSERT_TRUE(ReadBack(source("index-last.m4a")).userTexts.empty());
    // A cover larger than the whole index after the place the tags go.
    const std::string jpeg = readFile(source("large-cover.jpg"));
    ASSERT_GT(jpeg.size(), topAtom(original, "moov").size());
    for (const bool withCover : {false, true}) {
        SCOPED_TRACE(withCover ? "with a cover" : "without a cover");
        const fs::path copy = m_dir.path() / "index-last.m4a";
        fs::copy_file(source("index-last.m4a"), copy, fs::copy_options::overwrite_existing);
        TagWriter writer(databaseValues(), TagMode::Fill);
        writer.setMarker("the marker");
        if (withCover)
            writer.setCover([&] { return jpeg; });
        const TagWriteResult result = writer.write(copy, TagKind::Mp4);
        EXPECT_EQ(result.outcome, TagWriteResult::Outcome::Written) << result.reason;
        const ReadBack tags(copy);
        EXPECT_EQ(tags.common(), kDatabase);
        EXPECT_EQ(tags.userTexts.count("SONARCHIVE_COPY") ? tags.userTexts.at("SONARCHIVE_COPY") : "", "the marker");
        EXPECT_TRUE(tags.pictures == (withCover ? std::vector<std::string>{jpeg} : std::vector<std::string>{}));
        const std::string written = readFile(copy);
        EXPECT_TRUE(topAtom(written, "mdat") == topAtom(original, "mdat"));
        EXPECT_EQ(streamMd5(copy), streamMd5(source("index-last.m4a")));
    }
}

TEST_F(CopyTags, ASaveTheDiskFailedUnderIsNeverCountedAsWritten)
{
    const fs::path backing = m_dir.path() / "disk";
    fs::create_directories(backing);
    fs::copy_file(source("long.mp3"), backing / "long.mp3");
    testsupport::FaultyDevice disk(backing);
    if (!disk.mounted())
        GTEST_SKIP() << disk.whyNot();
    // A bad sector near the end of a file edited in place, where older tags are looked for.
    const std::string before = readFile(backing / "long.mp3");
    ASSERT_GT(before.size(), std::size_t(TagFileStream::kInMemoryLimit));
    disk.setRules(R"({"files": {"long.mp3": {"eio_from": )" + std::to_string(before.size() - 1000) + "}}}");
    TagWriter writer(databaseValues(), TagMode::Database);
    writer.setMarker("the marker");
    const TagWriteResult result = writer.write(disk.root() / "long.mp3", TagKind::Mpeg);
    disk.setRules("{}");
    EXPECT_EQ(result.outcome, TagWriteResult::Outcome::Unchanged);
    EXPECT_EQ(result.reason, "the tags could not be saved: Input/output error");
    EXPECT_TRUE(readFile(backing / "long.mp3") == before);
}

TEST_F(CopyTags, FilesThatCannotBeTaggedStayByteForByte)
{
    for (const auto& [name, reason] : {std::pair{"junk.mp3", "no MPEG audio found in it"},
                                       std::pair{"junk.m4a", "it is not an MP4 file that can be read"},
                                       std::pair{"raw.aac", "no tags can be written into this kind of file"}}) {
        SCOPED_TRACE(name);
        const fs::path copy = m_dir.path() / name;
        fs::copy_file(source(name), copy);
        const TagWriteResult result = TagWriter(databaseValues(), TagMode::Database).write(copy, tagKindOf(copy));
        EXPECT_EQ(result.outcome, TagWriteResult::Outcome::Unchanged);
        EXPECT_EQ(result.reason, reason);
        EXPECT_TRUE(readFile(copy) == readFile(source(name)));
        EXPECT_EQ(TagWriter::marker(copy, tagKindOf(copy)), std::nullopt);
    }
}

TEST_F(CopyTags, TheMarkerIsReadBackAsWritten)
{
    for (const char* name : {"tagged.mp3", "bare.m4a", "tagged.wav", "tagged.aiff"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(TagWriter::marker(source(name), tagKindOf(source(name))), "");
        const fs::path copy = tagged(name, TagMode::Fill);
        EXPECT_EQ(TagWriter::marker(copy, tagKindOf(copy)), "the marker of " + std::string(name));
    }
}

namespace {

// Sends the replace question to "Yes" and can cancel after some bytes.
class Observer final : public CopyObserver {
public:
    void progress(const CopyProgress& p) override
    {
        if (cancelAt && p.bytesDone >= cancelAt)
            cancel = true;
    }
    ReplaceAnswer askReplace(const fs::path&) override { return ReplaceAnswer::Yes; }
    void untagged(const CopyFailure& note) override { notes.push_back(note.reason); }

    std::atomic<bool> cancel{false};
    std::uint64_t cancelAt = 0;
    std::vector<std::string> notes;
};

std::vector<std::string> namesIn(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

BatchCopy taggedBatch(std::vector<CopyItem> items, TagMode mode = TagMode::Fill)
{
    BatchCopy batch(std::move(items));
    batch.setFinisher(std::make_unique<CopyTagger>(mode, std::vector<TrackTags>(batch.items().size(), databaseValues())));
    return batch;
}

}  // namespace

TEST_F(CopyTags, ABatchTagsEachCopyAndSaysWhichItCouldNot)
{
    const fs::path out = m_dir.path() / "out";
    BatchCopy batch = taggedBatch({{source("bare.mp3"), out / "One.mp3"}, {source("raw.aac"), out / "Two.aac"},
                                   {source("junk.mp3"), out / "Three.mp3"}, {source("bare.m4a"), out / "Four.m4a"}});
    Observer observer;
    const CopyResult result = batch.run(observer, observer.cancel);
    EXPECT_EQ(result.copied, 4u);
    EXPECT_TRUE(result.failures.empty());
    ASSERT_EQ(result.untagged.size(), 2u);
    EXPECT_EQ(result.untagged[0].item.destination, out / "Two.aac");
    EXPECT_EQ(observer.notes, (std::vector<std::string>{"no tags can be written into a .aac file", "no MPEG audio found in it"}));
    EXPECT_EQ(ReadBack(out / "One.mp3").field("TITLE"), "Titre de la base");
    EXPECT_EQ(ReadBack(out / "Four.m4a").field("TITLE"), "Titre de la base");
    EXPECT_TRUE(readFile(out / "Two.aac") == readFile(source("raw.aac")));
    EXPECT_EQ(namesIn(out), (std::vector<std::string>{"Four.m4a", "One.mp3", "Three.mp3", "Two.aac"}));

    // The batch asks for the covers of the copies without a picture, by item.
    std::vector<std::size_t> asked;
    const std::string jpeg = readFile(source("cover.jpg"));
    auto* cover = dynamic_cast<CopyTagger*>(batch.finisher());
    cover->setCoverLookup([&](std::size_t item) {
        asked.push_back(item);
        return item == 0 ? jpeg : std::string();
    });
    EXPECT_EQ(batch.run(observer, observer.cancel).copied, 4u);
    EXPECT_EQ(asked, (std::vector<std::size_t>{0, 3}));
    EXPECT_EQ(ReadBack(out / "One.mp3").pictures, std::vector<std::string>{jpeg});
    EXPECT_TRUE(ReadBack(out / "Four.m4a").pictures.empty());

    // The marker names the source, its size, the mode, the values and that the copy holds a picture.
    const auto* tagger = dynamic_cast<const CopyTagger*>(batch.finisher());
    const std::string marker = *TagWriter::marker(out / "One.mp3", TagKind::Mpeg);
    EXPECT_EQ(marker, tagger->markerOf(0, source("bare.mp3"), fs::file_size(source("bare.mp3"))) + "; cover");
    EXPECT_EQ(marker.rfind("source bare.mp3, " + std::to_string(fs::file_size(source("bare.mp3"))) + " bytes; tags fill; values ", 0), 0u);
    EXPECT_EQ(*TagWriter::marker(out / "Four.m4a", TagKind::Mp4), tagger->markerOf(3, source("bare.m4a"), fs::file_size(source("bare.m4a"))));
}

TEST_F(CopyTags, UpdatingSkipsTaggedCopiesOfUnchangedTracksAndRedoesTheOthers)
{
    const fs::path out = m_dir.path() / "out";
    const std::vector<CopyItem> items = {{source("bare.mp3"), out / "One.mp3"}, {source("raw.aac"), out / "Two.aac"},
                                         {source("tagged.m4a"), out / "Three.m4a"}};
    Observer observer;
    EXPECT_EQ(taggedBatch(items).run(observer, observer.cancel).copied, 3u);

    BatchCopy again = taggedBatch(items);
    again.setSkipSameSize(true);
    CopyResult result = again.run(observer, observer.cancel);
    EXPECT_EQ(result.skipped, 3u);

    // Another mode, or changed values of one track: those copies are made again.
    std::vector<TrackTags> values(3, databaseValues());
    values[2].playCount = 18;
    BatchCopy changed(items);
    changed.setFinisher(std::make_unique<CopyTagger>(TagMode::Fill, values));
    changed.setSkipSameSize(true);
    result = changed.run(observer, observer.cancel);
    EXPECT_EQ(result.copied, 1u);
    EXPECT_EQ(result.items[2].outcome, ItemOutcome::Copied);
    EXPECT_EQ(ReadBack(out / "Three.m4a").userTexts.at("FMPS_Playcount"), "18");

    BatchCopy otherMode = taggedBatch(items, TagMode::Database);
    otherMode.setSkipSameSize(true);
    result = otherMode.run(observer, observer.cancel);
    EXPECT_EQ(result.copied, 2u);  // the AAC file, copied as it is, stays
    EXPECT_EQ(result.items[1].outcome, ItemOutcome::Skipped);

    // An untagged copy of a file that takes tags is made again with them.
    fs::copy_file(source("bare.mp3"), out / "One.mp3", fs::copy_options::overwrite_existing);
    result = otherMode.run(observer, observer.cancel);
    EXPECT_EQ(result.copied, 1u);
    EXPECT_EQ(result.items[0].outcome, ItemOutcome::Copied);
}

TEST_F(CopyTags, AnUpdateWithCoversRetagsCopiesMadeWithoutOneAndThenLeavesThemBe)
{
    // A source with a picture of its own.
    const std::string ownPicture = readFile(source("cover.jpg")), cover = readFile(source("large-cover.jpg"));
    const fs::path pictured = m_dir.path() / "pictured.mp3";
    fs::copy_file(source("bare.mp3"), pictured);
    TagWriter own(databaseValues(), TagMode::Fill);
    own.setCover([&] { return ownPicture; });
    ASSERT_EQ(own.write(pictured, TagKind::Mpeg).outcome, TagWriteResult::Outcome::Written);

    // Copies made without covers to put in: their markers are those copies carried before
    // markers told of pictures.
    const fs::path out = m_dir.path() / "out";
    const std::vector<CopyItem> items = {{source("bare.mp3"), out / "One.mp3"}, {source("bare.m4a"), out / "Two.m4a"},
                                         {pictured, out / "Three.mp3"}};
    Observer observer;
    BatchCopy first = taggedBatch(items);
    EXPECT_EQ(first.run(observer, observer.cancel).copied, 3u);
    const auto* tagger = dynamic_cast<const CopyTagger*>(first.finisher());
    EXPECT_EQ(*TagWriter::marker(out / "One.mp3", TagKind::Mpeg), tagger->markerOf(0, source("bare.mp3"), fs::file_size(source("bare.mp3"))));

    const auto update = [&](const std::string& coverBytes) {
        BatchCopy batch = taggedBatch(items);
        batch.setSkipSameSize(true);
        dynamic_cast<CopyTagger*>(batch.finisher())->setCoverLookup([&coverBytes](std::size_t) { return coverBytes; });
        return batch.run(observer, observer.cancel);
    };
    // No cover to put in yet: they are current.
    EXPECT_EQ(update("").skipped, 3u);
    // A cover now: the copies without a picture are made again with it; the
    // one with its own picture stays.
    CopyResult result = update(cover);
    EXPECT_EQ(result.copied, 2u);
    EXPECT_EQ(result.items[2].outcome, ItemOutcome::Skipped);
    EXPECT_EQ(ReadBack(out / "One.mp3").pictures, std::vector<std::string>{cover});
    EXPECT_EQ(ReadBack(out / "Two.m4a").pictures, std::vector<std::string>{cover});
    EXPECT_EQ(ReadBack(out / "Three.mp3").pictures, std::vector<std::string>{ownPicture});
    // Done once: the next update has nothing to do, nor one after the cover is gone.
    EXPECT_EQ(update(cover).skipped, 3u);
    EXPECT_EQ(update("").skipped, 3u);
}

namespace {

// A small file system of its own, for a really full disk; only where the test
// may mount (as root on Linux).
class SmallVolume {
public:
    SmallVolume(const fs::path& where, std::uint64_t bytes)
        : m_where(where),
          m_mounted(::mount("tmpfs", where.c_str(), "tmpfs", 0, ("size=" + std::to_string(bytes)).c_str()) == 0)
    {
    }
    ~SmallVolume()
    {
        if (m_mounted)
            ::umount2(m_where.c_str(), MNT_DETACH);
    }
    bool mounted() const { return m_mounted; }

private:
    fs::path m_where;
    bool m_mounted;
};

}  // namespace

// An MP3 of `seconds` that leaves 60 bytes free in its last page (its comment
// makes it so): its plain copy fits on a disk of its pages, its tags do not.
fs::path tightMp3(const fs::path& folder, int seconds)
{
    const fs::path tight = folder / ("tight" + std::to_string(seconds) + ".mp3");
    const auto make = [&](std::size_t commentBytes) {
        const std::string command = "ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i sine=duration=" +
                                    std::to_string(seconds) + " -c:a libmp3lame -b:a 128k -metadata comment=" +
                                    std::string(commentBytes, 'c') + " '" + tight.string() + "'";
        EXPECT_EQ(std::system(command.c_str()), 0);
        return fs::file_size(tight);
    };
    const std::uint64_t first = make(1);
    make(1 + (4096 + 4036 - first % 4096) % 4096);
    return tight;
}

TEST_F(CopyTags, AFullDiskLeavesNoFileUnderAFinalName)
{
    for (const int seconds : {1, 70}) {  // edited in memory, and in place
        SCOPED_TRACE(seconds);
        const fs::path tight = tightMp3(m_dir.path(), seconds);
        const std::uint64_t size = fs::file_size(tight);
        ASSERT_EQ(size % 4096, 4036u);
        const fs::path disk = m_dir.path() / ("disk" + std::to_string(seconds));
        fs::create_directories(disk);
        SmallVolume volume(disk, size + 60);
        if (!volume.mounted())
            GTEST_SKIP() << "mounting a small file system needs privileges this run does not have";

        Observer observer;
        const CopyResult result = taggedBatch({{tight, disk / "One.mp3"}, {tight, disk / "Two.mp3"}}).run(observer, observer.cancel);
        EXPECT_EQ(result.copied, 0u);
        ASSERT_EQ(result.failures.size(), 2u);
        EXPECT_EQ(result.failures[0].reason, "there is no room left for the copy at " + (disk / "One.mp3").string() + " (No space left on device)");
        EXPECT_EQ(result.failures[1].reason, "there is no room left for the copy at " + (disk / "Two.mp3").string() + " (No space left on device)");
        EXPECT_TRUE(namesIn(disk).empty());

        // Without tags the copy fits, and then a second one does not.
        Observer plain;
        const CopyResult plainResult = BatchCopy({{tight, disk / "One.mp3"}, {tight, disk / "Two.mp3"}}).run(plain, plain.cancel);
        EXPECT_EQ(plainResult.copied, 1u);
        ASSERT_EQ(plainResult.failures.size(), 1u);
        EXPECT_EQ(plainResult.failures[0].reason,
                  "there is no room left for the copy at " + (disk / "Two.mp3").string() + " (No space left on device)");
        EXPECT_EQ(namesIn(disk), std::vector<std::string>{"One.mp3"});
    }
}

TEST_F(CopyTags, ACancelledCopyLeavesNoFileUnderAFinalName)
{
    // A WAV file of more than one chunk, cancelled after its first chunk.
    const fs::path big = m_dir.path() / "big.wav";
    ASSERT_EQ(std::system(("ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i sine=duration=30 -ar 48000 -ac 2 "
                           "-c:a pcm_s16le '" + big.string() + "'")
                              .c_str()),
              0);
    ASSERT_GT(fs::file_size(big), BatchCopy::kChunkBytes);
    const fs::path out = m_dir.path() / "out";
    Observer observer;
    observer.cancelAt = fs::file_size(source("bare.mp3")) + BatchCopy::kChunkBytes;
    const CopyResult result =
        taggedBatch({{source("bare.mp3"), out / "One.mp3"}, {big, out / "Big.wav"}, {source("bare.mp3"), out / "Three.mp3"}})
            .run(observer, observer.cancel);
    EXPECT_TRUE(result.cancelled);
    EXPECT_EQ(result.copied, 1u);
    EXPECT_EQ(namesIn(out), std::vector<std::string>{"One.mp3"});
    EXPECT_EQ(ReadBack(out / "One.mp3").field("TITLE"), "Titre de la base");
}
