#include "MediaFixtures.h"
#include "ScriptedHost.h"
#include "TempDir.h"

#include <LibraryLocation.h>
#include <clsSonarchive.h>

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <tuple>

#include <unistd.h>

using namespace sonarchive;
using namespace std::string_literals;
using namespace testsupport;
using namespace mediafixtures;
namespace fs = std::filesystem;

namespace {

struct Analyser {
    ScriptedHost host;
    clsSonarchive db;
    Analyser() { db.setUserInterfaceHost(&host); }
    TrackInfo analyse(const fs::path& path, TrackInfo info = {}, bool expected = true)
    {
        EXPECT_EQ(db.SetTrackInfo(fromUtf8(path.string()), info), expected) << path;
        return info;
    }
};

// Media made once for all tests of this file with the system's converter.
class RealMedia : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir = new TempDir;
        const std::string tags = "-metadata title=\"Ωmega 日本\" -metadata artist=Artist -metadata album=Album "
                                 "-metadata date=2021 -metadata genre=Jazz -metadata composer=Composer ";
        const std::string tone = "-f lavfi -i sine=frequency=440:duration=2 ";
        const std::string picture = "-f lavfi -i testsrc=size=64x48:rate=10:duration=2 ";
        make("v23.mp3", tone + tags + "-id3v2_version 3 -c:a libmp3lame -b:a 128k -write_xing 0");
        make("v24.mp3", tone + tags + "-id3v2_version 4 -c:a libmp3lame -b:a 128k");
        make("vbr.mp3", tone + "-c:a libmp3lame -q:a 4");
        make("tone.aac", tone + "-c:a aac -b:a 96k");
        make("tone.m4a", tone + "-c:a aac");
        make("movie.mp4", picture + tone + "-c:v libx264 -c:a aac -shortest");
        make("mp3movie.mp4", picture + tone + "-c:v libx264 -c:a libmp3lame -shortest");
        make("silence.wav", "-f lavfi -i anullsrc=r=44100:cl=mono -t 2");
    }
    static void TearDownTestSuite()
    {
        delete dir;
        dir = nullptr;
    }
    static void make(const std::string& name, const std::string& options)
    {
        const std::string command = "ffmpeg -nostdin -hide_banner -loglevel error -y " + options + " '" + (dir->path() / name).string() + "'";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }
    static double probedSeconds(const std::string& name)
    {
        const std::string command = "ffprobe -v error -show_entries format=duration -of default=nw=1:nk=1 '" + (dir->path() / name).string() + "'";
        std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), &::pclose);
        std::array<char, 64> text{};
        if (!pipe || !std::fgets(text.data(), text.size(), pipe.get()))
            return -1;
        return std::atof(text.data());
    }
    static fs::path file(const std::string& name) { return dir->path() / name; }
    static std::int32_t sizeOf(const std::string& name) { return static_cast<std::int32_t>(fs::file_size(file(name))); }
    void expectLength(const TrackInfo& info, const std::string& name)
    {
        EXPECT_LE(std::abs(info.iTrackTimLength / 1000.0 - probedSeconds(name)), 1.0) << name << " " << info.iTrackTimLength;
    }

    static TempDir* dir;
    Analyser a;
};

TempDir* RealMedia::dir = nullptr;

}  // namespace

TEST_F(RealMedia, Mp3WithId3v23AndConstantRate)
{
    const TrackInfo info = a.analyse(file("v23.mp3"));
    EXPECT_EQ(std::tie(info.sTitle, info.sArtist, info.sAlbum, info.sYear, info.sGenre, info.sComposer),
              std::tuple(u"Ωmega 日本"s, u"Artist"s, u"Album"s, u"2021"s, u"Jazz"s, u"Composer"s));
    EXPECT_EQ(std::tie(info.iBitrateInKbs, info.iSampleRateInHz, info.IsVBR), std::tuple(128, 44100, 0));
    EXPECT_EQ(info.iFileSize, sizeOf("v23.mp3"));
    EXPECT_EQ(std::tie(info.iType, info.sFiletype), std::tuple(1, u"MP3"s));
    EXPECT_TRUE(info.isFileSupported);
    expectLength(info, "v23.mp3");
    EXPECT_TRUE(a.host.prompts.empty());
}

TEST_F(RealMedia, Mp3WithId3v24AndEncoderHeaders)
{
    // The encoder writes an "Info" header into constant-rate files: its counts are used.
    const TrackInfo cbr = a.analyse(file("v24.mp3"));
    EXPECT_EQ(cbr.sTitle, u"Ωmega 日本");
    EXPECT_EQ(cbr.sYear, u"2021");
    EXPECT_EQ(cbr.IsVBR, 255);
    EXPECT_NEAR(cbr.iBitrateInKbs, 128, 2);
    expectLength(cbr, "v24.mp3");

    const TrackInfo vbr = a.analyse(file("vbr.mp3"));
    EXPECT_EQ(vbr.IsVBR, 255);
    EXPECT_EQ(vbr.iSampleRateInHz, 44100);
    EXPECT_GT(vbr.iBitrateInKbs, 0);
    EXPECT_EQ(vbr.sTitle, u"vbr.mp3");
    expectLength(vbr, "vbr.mp3");
}

TEST_F(RealMedia, ContainersGoThroughTheConverter)
{
    TrackInfo aac = a.analyse(file("tone.aac"));
    EXPECT_EQ(aac.sAudioCodec, u"aac");
    EXPECT_EQ(aac.iSampleRateInHz, 44100);
    EXPECT_GT(aac.iBitrateInKbs, 0);
    EXPECT_EQ(aac.iFileSize, sizeOf("tone.aac"));
    EXPECT_EQ(std::tie(aac.iType, aac.IsMovie, aac.sFiletype), std::tuple(1, 0, u"AAC"s));  // audio: no video stream
    EXPECT_TRUE(aac.isFileSupported);
    expectLength(aac, "tone.aac");

    const TrackInfo movie = a.analyse(file("movie.mp4"));
    EXPECT_EQ(std::tie(movie.sVideoCodec, movie.sAudioCodec), std::tuple(u"h264"s, u"aac"s));
    EXPECT_TRUE(movie.isFileSupported);
    EXPECT_EQ(movie.sFiletype, u"MP4");
    EXPECT_EQ(movie.sTitle, u"movie.mp4");
    EXPECT_EQ(movie.iFileSize, sizeOf("movie.mp4"));
    expectLength(movie, "movie.mp4");

    const TrackInfo mp3Movie = a.analyse(file("mp3movie.mp4"));
    EXPECT_EQ(mp3Movie.sAudioCodec, u"mp3");
    EXPECT_FALSE(mp3Movie.isFileSupported);
    EXPECT_EQ(mp3Movie.iType, 2);
    EXPECT_TRUE(a.host.prompts.empty());
    // The capture is gone after each analysis.
    EXPECT_FALSE(fs::exists(libraryFolder() / ("analyse-" + std::to_string(::getpid()) + ".txt")));
}

TEST_F(RealMedia, OtherExtensionsKeepTheCallersFields)
{
    writeFile(file("tone.xyz"), "some bytes");
    const TrackInfo caller{.sComposer = u"old", .sFiletype = u"XYZ", .sLocation = u"/somewhere", .iType = 7};
    const TrackInfo other = a.analyse(file("tone.xyz"), caller);
    EXPECT_EQ(std::tie(other.iType, other.sFiletype, other.sLocation), std::tuple(7, u"XYZ"s, u"/somewhere"s));
    EXPECT_EQ(other.sComposer, u"");
    EXPECT_EQ(other.sTitle, u"tone.xyz");
    EXPECT_FALSE(other.isFileSupported);

    // A WAV file's header gives its rates and length: 44,100 Hz mono, 16 bits, 2 s.
    const TrackInfo wav = a.analyse(file("silence.wav"));
    EXPECT_EQ(std::tie(wav.iBitrateInKbs, wav.iSampleRateInHz, wav.iTrackTimLength), std::tuple(706, 44100, 2000));
    EXPECT_EQ(wav.iFileSize, sizeOf("silence.wav"));
    EXPECT_EQ(std::tie(wav.sFiletype, wav.iType), std::tuple(u"WAV"s, 1));
    EXPECT_TRUE(wav.isFileSupported);
}

TEST(SetTrackInfo, MergesId3v2OverId3v1)
{
    TempDir dir;
    Analyser a;
    // ID3v2 with an empty title and its own artist; ID3v1 with both.
    const std::string v2 = id3Tag(3, frame23("TIT2", text("")) + frame23("TPE1", text("Two")));
    writeFile(dir.path() / "both.Mp3", v2 + mpegHeader(3, 3, 9, 0) + std::string(15996, '\0') + id3v1("One Title", "One", "Alb", "1990", "", 8));
    const TrackInfo info = a.analyse(dir.path() / "both.Mp3");
    EXPECT_EQ(std::tie(info.sTitle, info.sArtist, info.sAlbum, info.sGenre), std::tuple(u"One Title"s, u"Two"s, u"Alb"s, u"Jazz"s));
    EXPECT_EQ(std::tie(info.sFiletype, info.iBitrateInKbs), std::tuple(u"MP3"s, 128));
    EXPECT_EQ(info.iTrackTimLength, 1000);  // 16128 bytes from the frame at 16000 bytes a second

    // An AIFF file's header gives its length: 44,100 frames at 22,050 Hz, stereo, 16 bits.
    writeFile(dir.path() / "song.aiff", aiffFile(22050, 2, 16, 44100));
    const TrackInfo aiff = a.analyse(dir.path() / "song.aiff");
    EXPECT_EQ(std::tie(aiff.iTrackTimLength, aiff.iSampleRateInHz, aiff.iBitrateInKbs), std::tuple(2000, 22050, 706));
    EXPECT_EQ(aiff.iFileSize, static_cast<std::int32_t>(fs::file_size(dir.path() / "song.aiff")));
    EXPECT_EQ(std::tie(aiff.iType, aiff.sFiletype, aiff.sTitle), std::tuple(1, u"AIFF"s, u"song.aiff"s));
    EXPECT_TRUE(aiff.isFileSupported);

    // Four bytes are no AIFF file: no fixed ten minutes, and not added.
    writeFile(dir.path() / "short.aiff", "FORM");
    const TrackInfo cut = a.analyse(dir.path() / "short.aiff");
    EXPECT_EQ(cut.iTrackTimLength, 0);
    EXPECT_FALSE(cut.isFileSupported);
}

TEST(SetTrackInfo, ZeroBitRateIsReported)
{
    TempDir dir;
    Analyser a;
    writeFile(dir.path() / "free.mp3", mpegHeader(3, 3, 0, 0) + std::string(1000, '\0'));
    TrackInfo info = a.analyse(dir.path() / "free.mp3", {}, false);
    ASSERT_EQ(a.host.prompts.size(), 1u);
    EXPECT_EQ(a.host.prompts[0].text, u"Error occured while retrieving File Information.\r\n11:Division by zero");
    EXPECT_EQ(a.host.prompts[0].icon, MessageIcon::Critical);
    EXPECT_EQ(a.host.prompts[0].buttons, MessageButtons::OK);
    EXPECT_EQ(info.sTitle, u"free.mp3");  // written before the failure
    // The caller reads the same failure: a media one, at the frame it came from.
    const Failure failure = a.db.lastFailure();
    EXPECT_EQ(std::tie(failure.code, failure.number, failure.message, failure.offset),
              std::tuple(FailureCode::Media, 11, "Division by zero"s, 0));
}
