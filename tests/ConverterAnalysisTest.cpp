#include "TempDir.h"

#include <ConverterAnalysis.h>
#include <Error.h>
#include <PipeRunner.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <tuple>
#include <utility>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

using namespace sonarchive;
using namespace std::string_literals;
using namespace testsupport;
namespace fs = std::filesystem;

namespace {

// What the converter (5.1) printed for files made for these tests; banners cut.
const char* const kMp4H264Aac = R"(/usr/bin/ffmpeg -i "/tmp/v.mp4" -analyzeduration 30000
ffmpeg version 5.1.9-0+deb12u1 Copyright (c) 2000-2026 the FFmpeg developers
  built with gcc 12 (Debian 12.2.0-14+deb12u1)
Trailing option(s) found in the command: may be ignored.
Input #0, mov,mp4,m4a,3gp,3g2,mj2, from 'v.mp4':
  Metadata:
    major_brand     : isom
    minor_version   : 512
    compatible_brands: isomiso2avc1mp41
    encoder         : Lavf59.27.100
  Duration: 00:00:02.00, start: 0.000000, bitrate: 104 kb/s
  Stream #0:0[0x1](und): Video: h264 (High 4:4:4 Predictive) (avc1 / 0x31637661), yuv444p(progressive), 160x120 [SAR 1:1 DAR 4:3], 25 kb/s, 10 fps, 10 tbr, 10240 tbn (default)
    Metadata:
      handler_name    : VideoHandler
      vendor_id       : [0][0][0][0]
      encoder         : Lavc59.37.100 libx264
  Stream #0:1[0x2](und): Audio: aac (LC) (mp4a / 0x6134706D), 44100 Hz, mono, fltp, 69 kb/s (default)
    Metadata:
      handler_name    : SoundHandler
      vendor_id       : [0][0][0][0]
At least one output file must be specified
)";

const char* const kMp4H264Mp3 =
    "Input #0, mov,mp4,m4a,3gp,3g2,mj2, from 'vmp3.mp4':\r\n"
    "  Duration: 00:00:02.00, start: 0.000000, bitrate: 98 kb/s\r\n"
    "  Stream #0:0[0x1](und): Video: h264 (High 4:4:4 Predictive) (avc1 / 0x31637661), yuv444p(progressive), 160x120 "
    "[SAR 1:1 DAR 4:3], 25 kb/s, 10 fps, 10 tbr, 10240 tbn (default)\r\n"
    "  Stream #0:1[0x2](und): Audio: mp3 (mp4a / 0x6134706D), 44100 Hz, mono, fltp, 64 kb/s (default)\r\n"
    "At least one output file must be specified\r\n";

const char* const kAdts = R"(Trailing option(s) found in the command: may be ignored.
[aac @ 0x55e8cd84f900] Estimating duration from bitrate, this may be inaccurate
Input #0, aac, from 'a.aac':
  Duration: 00:00:02.03, bitrate: 98 kb/s
  Stream #0:0: Audio: aac (LC), 22050 Hz, mono, fltp, 98 kb/s
At least one output file must be specified
)";

const char* const kMpeg1 = R"(Input #0, mpeg, from 'v.mpg':
  Duration: 00:00:02.01, start: 0.529089, bitrate: 627 kb/s
  Stream #0:0[0x1e0]: Video: mpeg1video, yuv420p(tv), 160x120 [SAR 1:1 DAR 4:3], 104857 kb/s, 25 fps, 25 tbr, 90k tbn
  Stream #0:1[0x1c0]: Audio: mp2, 44100 Hz, mono, s16p, 384 kb/s
)";

const char* const kRawH264 = R"(Input #0, h264, from 'raw.h264':
  Duration: N/A, bitrate: N/A
  Stream #0:0: Video: h264 (High 4:4:4 Predictive), yuv444p(progressive), 160x120 [SAR 1:1 DAR 4:3], 10 fps, 10 tbr, 1200k tbn
)";

const char* const kJunk = R"([mov,mp4,m4a,3gp,3g2,mj2 @ 0x56021fb4f900] Format mov,mp4,m4a,3gp,3g2,mj2 detected only with low score of 1, misdetection possible!
[mov,mp4,m4a,3gp,3g2,mj2 @ 0x56021fb4f900] moov atom not found
junk.mp4: Invalid data found when processing input
)";

struct Capture {
    ConverterInfo info;
    std::vector<std::u16string> errors;
    bool analyse(std::string_view text)
    {
        return analyseConverterCapture(text, info, [this](const std::u16string& e) { errors.push_back(e); });
    }
};

// The video and the audio codec, to compare both at once.
std::pair<std::u16string, std::u16string> codecs(const ConverterInfo& info)
{
    return {info.videoCodec, info.audioCodec};
}

fs::path script(const TempDir& dir, const std::string& name, const std::string& body)
{
    const fs::path path = dir.path() / name;
    writeFile(path, "#!/bin/sh\n" + body);
    ::chmod(path.c_str(), 0755);
    return path;
}

}  // namespace

TEST(ConverterOutput, H264WithAacIsSupportedAndWithMp3IsNot)
{
    Capture c;
    ASSERT_TRUE(c.analyse(kMp4H264Aac));
    EXPECT_EQ(codecs(c.info), std::pair(u"h264"s, u"aac"s));
    EXPECT_EQ(std::tie(c.info.lengthMs, c.info.bitrateKbps, c.info.sampleRateHz), std::tuple(2000, 104, 44100));
    EXPECT_TRUE(c.info.isSupported);
    EXPECT_TRUE(c.errors.empty());

    ASSERT_TRUE(c.analyse(kMp4H264Mp3));
    EXPECT_EQ(std::tie(c.info.audioCodec, c.info.bitrateKbps), std::tuple(u"mp3"s, 98));
    EXPECT_FALSE(c.info.isSupported);

    // What the last capture shows decides, not why an earlier one was refused.
    ASSERT_TRUE(c.analyse(kMp4H264Aac));
    EXPECT_TRUE(c.info.isSupported);
    EXPECT_EQ(c.info.unplayable, "");
}

TEST(ConverterOutput, AudioOnlyAndMpegStreams)
{
    Capture aac;
    ASSERT_TRUE(aac.analyse(kAdts));
    EXPECT_EQ(codecs(aac.info), std::pair(u""s, u"aac"s));
    EXPECT_EQ(aac.info.sampleRateHz, 22050);
    EXPECT_EQ(aac.info.lengthMs, 2000);  // tenths only
    EXPECT_TRUE(aac.info.isSupported);

    Capture mpeg;
    mpeg.info.isSupported = true;
    ASSERT_TRUE(mpeg.analyse(kMpeg1));
    EXPECT_EQ(codecs(mpeg.info), std::pair(u"mpeg1video"s, u"mp2"s));
    EXPECT_EQ(mpeg.info.bitrateKbps, 627);
    EXPECT_FALSE(mpeg.info.isSupported);

    // The content decides, whatever the name: MPEG-1 video is no film the device plays.
    Capture other;
    other.info.isSupported = true;
    ASSERT_TRUE(other.analyse(kMpeg1));
    EXPECT_FALSE(other.info.isSupported);
    EXPECT_EQ(other.info.unplayable, "mpeg1video video with mp2 audio");
}

TEST(ConverterOutput, FailureTokensAndMissingDuration)
{
    Capture unknown;
    unknown.info.isSupported = true;
    EXPECT_FALSE(unknown.analyse("Input #0\n/tmp/x.mp4: Unknown format\n  Stream #0:0: Video: h264, yuv420p\n"));
    EXPECT_TRUE(unknown.info.isSupported);
    EXPECT_EQ(unknown.info.videoCodec, u"");

    Capture junk;
    EXPECT_FALSE(junk.analyse(kJunk));
    Capture codec;
    EXPECT_FALSE(codec.analyse("[mpegts @ 0x1] x\njunk.mp4: could not find codec parameters\n"));

    Capture raw;
    EXPECT_FALSE(raw.analyse(kRawH264));
    EXPECT_EQ(raw.info.lengthMs, 0);
    EXPECT_EQ(raw.info.bitrateKbps, 0);
}

TEST(ConverterOutput, DurationAndBitrateRules)
{
    Capture c;
    c.info.bitrateKbps = 55;
    ASSERT_TRUE(c.analyse("  Duration: 00:03:25.45, start: 0.000000, bitrate: N/A\n"));
    EXPECT_EQ(c.info.lengthMs, 205400);
    EXPECT_EQ(c.info.bitrateKbps, 0);  // no value parsed yet in this analysis

    ASSERT_TRUE(c.analyse("  Duration: 01:00:00.00, start: 0, bitrate: 1411 kb/s\n  Other: x, BitRate: N/A\n"));
    EXPECT_EQ(c.info.lengthMs, 3600000);
    EXPECT_EQ(c.info.bitrateKbps, 1411);

    // A duration line without "," keeps the duration parsed before.
    ASSERT_TRUE(c.analyse("  Duration: 00:00:09.00\n"));
    EXPECT_EQ(c.info.lengthMs, 3600000);
    // ... of this file only: the next file's analysis has none to keep, which fails it.
    Capture next;
    EXPECT_FALSE(next.analyse("  Duration: 00:00:09.00\n"));
    EXPECT_EQ(next.info.lengthMs, 0);

    EXPECT_FLOAT_EQ(ParseClockText(u"00:03:25.45"), 205.4f);
    EXPECT_EQ(ParseClockText(u"N/A"), 0.0f);
    EXPECT_THROW(ParseClockText(u"00:xx:25.4"), Error);
}

TEST(ConverterOutput, RunTimeFailuresAreShownAndTheParseGoesOn)
{
    Capture c;
    ASSERT_TRUE(c.analyse("  Stream #0:0: Audio: aac\n  Stream #0:1: Audio: pcm_s16le, ?? Hz\n"
                          "  Stream #0:2: Audio: mp3, 32000 Hz\n  Duration: 00:00:01.00, x\n"));
    EXPECT_EQ(c.errors, (std::vector<std::u16string>{u"Error occured while parsing media file\r\n9:Subscript out of range",
                                                     u"Error occured while parsing media file\r\n13:Type mismatch"}));
    EXPECT_EQ(c.info.audioCodec, u"mp3");
    EXPECT_EQ(c.info.sampleRateHz, 32000);
    EXPECT_EQ(c.info.lengthMs, 1000);
}

TEST(PipeRunner, CapturesBothStreamsAfterTheCommandLineWithArgumentsUntouched)
{
    TempDir dir;
    const fs::path echo = script(dir, "echo-args", "printf 'out:%s\\n' \"$2\"\nprintf 'err\\n' >&2\nsleep 0.3\n");
    const std::string awkward = "it's a \"$HOME\" `x` name;.mp4";
    int pumps = 0;
    const fs::path capture = dir.path() / "capture.txt";
    ASSERT_TRUE(RunPiped("the command line", {echo.string(), "-i", awkward}, capture, {}, [&] { ++pumps; }));
    EXPECT_EQ(readFile(capture), "the command line\nout:" + awkward + "\nerr\n");
    EXPECT_GE(pumps, 5);  // at least every 40 ms over 0.3 s
}

TEST(PipeRunner, MissingConverterIsError12003)
{
    TempDir dir;
    try {
        RunPiped("x", {(dir.path() / "ffmpeg").string()}, dir.path() / "c.txt", {}, {});
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.code(), FailureCode::Media);
        EXPECT_EQ(e.number(), 12003);
        EXPECT_STREQ(e.what(), "Could not create piped process. LastError 2");
    }
    EXPECT_FALSE(fs::exists(dir.path() / "c.txt"));

    std::vector<std::u16string> shown;
    ConverterSetup setup{dir.path() / "ffmpeg", dir.path() / "analyse.txt", {}, [&](const std::u16string& t) { shown.push_back(t); }};
    ConverterInfo info;
    EXPECT_FALSE(AnalyseWithConverter(dir.path() / "a.mp4", info, setup));
    EXPECT_EQ(shown, std::vector<std::u16string>{u"Error occured while parsing media file\r\n12003:Could not create piped process. LastError 2"});
}

TEST(PipeRunner, HungConverterIsEndedAfterTheTimeout)
{
    TempDir dir;
    // The script's own child keeps the pipe open too; both must go.
    const fs::path hang = script(dir, "ffmpeg", "echo '  Duration: 00:00:05.00, x'\nsleep 600 &\nsleep 600\n");
    std::vector<std::u16string> shown;
    ConverterSetup setup{hang, dir.path() / "analyse.txt", {}, [&](const std::u16string& t) { shown.push_back(t); },
                         std::chrono::milliseconds(500)};
    ConverterInfo info;
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(AnalyseWithConverter(dir.path() / "a.mp4", info, setup));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(info.lengthMs, 0);
    EXPECT_FALSE(fs::exists(setup.captureFile));
}

TEST(PipeRunner, FakeConverterEndToEnd)
{
    TempDir dir;
    writeFile(dir.path() / "sample.txt", kMp4H264Aac);
    const fs::path fake = script(dir, "ffmpeg", "cat '" + (dir.path() / "sample.txt").string() + "' >&2\nexit 1\n");
    writeFile(dir.path() / "movie.mov", std::string(12345, 'm'));
    ConverterSetup setup{fake, dir.path() / "analyse-1.txt", {}, {}};
    ConverterInfo info;
    ASSERT_TRUE(AnalyseWithConverter(dir.path() / "movie.mov", info, setup));
    EXPECT_EQ(info.fileSize, 12345u);
    EXPECT_TRUE(info.isSupported);
    EXPECT_EQ(info.videoCodec, u"h264");
    EXPECT_FALSE(fs::exists(setup.captureFile));

    // The size field is unsigned 32-bit: a file of 3 GiB (sparse) keeps its size
    // in the field's bits; one of 4 GiB has none, which is shown, and the size kept.
    std::vector<std::u16string> shown;
    setup.showError = [&](const std::u16string& t) { shown.push_back(t); };
    fs::resize_file(dir.path() / "movie.mov", 3ULL << 30);
    ASSERT_TRUE(AnalyseWithConverter(dir.path() / "movie.mov", info, setup));
    EXPECT_EQ(info.fileSize, 3ULL << 30);
    EXPECT_TRUE(shown.empty());
    info.fileSize = 12345;
    fs::resize_file(dir.path() / "movie.mov", 4ULL << 30);
    ASSERT_TRUE(AnalyseWithConverter(dir.path() / "movie.mov", info, setup));
    EXPECT_EQ(info.fileSize, 12345u);
    EXPECT_EQ(shown, std::vector<std::u16string>{u"Error occured while parsing media file\r\n6:Overflow: the file is 4,294,967,296 bytes, "
                                                 u"and the iPod's database holds only files smaller than 4 GiB (4,294,967,296 bytes)"});
}

TEST(ConverterLocation, CaptureGoesBesideTheLibraryOnlyWhenWritable)
{
    TempDir dir;
    const std::string pid = std::to_string(::getpid());
    EXPECT_EQ(captureFileFor(dir.path()), dir.path() / ("analyse-" + pid + ".txt"));
    const fs::path readOnly = dir.path() / "ro";
    fs::create_directory(readOnly);
    ::chmod(readOnly.c_str(), 0555);
    if (::access(readOnly.c_str(), W_OK) != 0) {  // not when running as root
        ::setenv("XDG_CACHE_HOME", (dir.path() / "cache").c_str(), 1);
        EXPECT_EQ(captureFileFor(readOnly), dir.path() / "cache" / "sonarchive" / ("analyse-" + pid + ".txt"));
        EXPECT_TRUE(fs::is_directory(dir.path() / "cache" / "sonarchive"));
    }
    ::chmod(readOnly.c_str(), 0755);

    const fs::path beside = script(dir, "ffmpeg", "exit 0\n");
    EXPECT_EQ(findConverter(dir.path()), beside);
}
