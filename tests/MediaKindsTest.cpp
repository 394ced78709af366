// What the device can play, told by the file's content: uncompressed audio
// read from its header, containers and codecs refused by name, the
// container's own tags and streams as the converter prints them.
#include "MediaFixtures.h"

#include <ConverterAnalysis.h>
#include <MediaFormat.h>
#include <PcmAudio.h>

#include <gtest/gtest.h>

using namespace sonarchive;
using namespace mediafixtures;

namespace {

PcmInfo wave(const std::string& bytes, bool expected = true)
{
    PcmInfo info;
    EXPECT_EQ(AnalyseWave(MemorySource(bytes), info), expected);
    return info;
}

PcmInfo aiff(const std::string& bytes, bool expected = true)
{
    PcmInfo info;
    EXPECT_EQ(AnalyseAiff(MemorySource(bytes), info), expected);
    return info;
}

std::string sniff(const std::string& bytes) { return unplayableFormat(MemorySource(bytes)); }

}  // namespace

TEST(WaveHeaders, RatesAndLengthComeFromTheFormatAndDataChunks)
{
    const PcmInfo cd = wave(waveFile(44100, 2, 16, 44100 * 4 * 3 / 2));  // 1.5 s
    EXPECT_EQ(cd.sampleRateHz, 44100);
    EXPECT_EQ(cd.bitrateKbps, 1411);
    EXPECT_EQ(cd.lengthMs, 1500);
    EXPECT_EQ(cd.unplayable, "");

    // A byte rate of 0 is worked out from the other fields; with none at all the length is 0, not a division by zero.
    EXPECT_EQ(wave(waveFile(8000, 1, 8, 4000, 1, 0)).lengthMs, 500);
    const PcmInfo empty = wave(waveFile(0, 0, 0, 100, 1, 0));
    EXPECT_EQ(empty.lengthMs, 0);
    EXPECT_EQ(empty.bitrateKbps, 0);

    // Chunks of odd size are padded; a data size past the end counts what is there.
    std::string padded = waveFile(8000, 1, 8, 8000);
    padded.insert(36, "LIST" + le32(3) + "abc" + std::string(1, '\0'));
    EXPECT_EQ(wave(padded).lengthMs, 1000);
    std::string cut = waveFile(8000, 1, 8, 8000);
    cut.resize(cut.size() - 4000);
    EXPECT_EQ(wave(cut).lengthMs, 500);

    EXPECT_EQ(wave(waveFile(22050, 1, 4, 1000, 0x11)).unplayable, "WAV compressed with format 17");
    EXPECT_EQ(wave(waveFile(48000, 2, 32, 384000, 3)).unplayable, "");  // floating-point samples
    wave("RIFF" + le32(4) + "WAVE", false);
    wave(std::string(10, 'x'), false);
}

TEST(AiffHeaders, RatesAndLengthComeFromTheCommonChunk)
{
    const PcmInfo one = aiff(aiffFile(22050, 2, 16, 33075));  // 1.5 s
    EXPECT_EQ(one.sampleRateHz, 22050);
    EXPECT_EQ(one.bitrateKbps, 706);
    EXPECT_EQ(one.lengthMs, 1500);
    EXPECT_EQ(aiff(aiffFile(44100, 1, 16, 44100, "NONE")).lengthMs, 1000);
    EXPECT_EQ(aiff(aiffFile(44100, 1, 16, 441, "sowt")).unplayable, "");
    EXPECT_EQ(aiff(aiffFile(44100, 1, 16, 441, "ima4")).unplayable, "AIFF-C compressed as ima4");

    std::string noRate = aiffFile(44100, 1, 16, 441);
    noRate.replace(12 + 8 + 8, 10, std::string(10, '\0'));  // the rate's 80 bits
    EXPECT_EQ(aiff(noRate).lengthMs, 0);
    aiff("FORM", false);
    aiff("FORM" + be32(4) + "AIFF", false);
}

TEST(UnplayableFormats, AreToldByTheirFirstBytes)
{
    EXPECT_EQ(sniff("fLaC" + std::string(40, '\0')), "FLAC");
    EXPECT_EQ(sniff(id3Tag(3, frame23("TIT2", text("x"))) + "fLaC" + std::string(40, '\0')), "FLAC");  // a tag in front
    EXPECT_EQ(sniff("OggS" + std::string(24, '\0') + "OpusHead" + std::string(20, '\0')), "Ogg Opus");
    EXPECT_EQ(sniff("OggS" + std::string(24, '\0') + "\x01vorbis" + std::string(20, '\0')), "Ogg Vorbis");
    EXPECT_EQ(sniff(std::string("\x30\x26\xB2\x75\x8E\x66\xCF\x11", 8) + std::string(40, 'w')), "WMA or WMV (ASF)");
    EXPECT_EQ(sniff("\x1A\x45\xDF\xA3" + std::string(20, '\0') + "webm"), "WebM");
    EXPECT_EQ(sniff("\x1A\x45\xDF\xA3" + std::string(20, '\0') + "matroska"), "Matroska");
    EXPECT_EQ(sniff("RIFF" + le32(100) + "AVI LIST"), "AVI");
    EXPECT_EQ(sniff(waveFile(8000, 1, 8, 10)), "");
    EXPECT_EQ(sniff(mpegHeader(3, 3, 9, 0) + std::string(400, '\0')), "");
    EXPECT_EQ(sniff(""), "");
    EXPECT_EQ(unplayableConverterFormat("matroska,webm"), "Matroska");
    EXPECT_EQ(unplayableConverterFormat("mov,mp4,m4a,3gp,3g2,mj2"), "");
    EXPECT_EQ(unplayableAudioCodec(u"opus"), "Opus");
    EXPECT_EQ(unplayableAudioCodec(u"alac"), "");
}

TEST(ConverterOutput, TheContainersTagsAndStreamsDecideWhatTheFileIs)
{
    // An MP4 with a cover picture: audio, its own tags (not its streams'), a continued comment.
    const char* const coverArt = "Input #0, mov,mp4,m4a,3gp,3g2,mj2, from 'c.mp4':\n"
                                 "  Metadata:\n"
                                 "    major_brand     : isom\n"
                                 "    title           : \xD0\x9F\xD1\x96\xD1\x81\xD0\xBD\xD1\x8F \xE6\x97\xA5\xE6\x9C\xAC\n"
                                 "    artist          : Ada\n"
                                 "    comment         : first line\n"
                                 "                    : second line\n"
                                 "    track           : 3/12\n"
                                 "  Duration: 00:00:01.00, start: 0.000000, bitrate: 96 kb/s\n"
                                 "  Stream #0:0[0x1](und): Audio: aac (LC) (mp4a / 0x6134706D), 44100 Hz, mono, fltp, 70 kb/s\n"
                                 "    Metadata:\n"
                                 "      title           : Stream title\n"
                                 "  Stream #0:1[0x0]: Video: mjpeg (Baseline), yuvj444p(pc), 64x48, 90k tbr, 90k tbn (attached pic)\n";
    ConverterInfo info;
    ASSERT_TRUE(analyseConverterCapture(coverArt, info, {}));
    EXPECT_FALSE(info.hasVideo);
    EXPECT_EQ(info.videoCodec, u"");
    EXPECT_TRUE(info.isSupported);
    EXPECT_EQ(info.formats, "mov,mp4,m4a,3gp,3g2,mj2");
    EXPECT_EQ(info.tags.title, u"Пісня 日本");
    EXPECT_EQ(info.tags.artist, u"Ada");
    EXPECT_EQ(info.tags.comment, u"first line\r\nsecond line");
    EXPECT_EQ(info.tags.track, u"3/12");
    EXPECT_EQ(info.tags.album, u"");

    const char* const opus = "Input #0, ogg, from 'o.mp4':\n"
                             "  Duration: 00:00:01.00, start: 0.000000, bitrate: 9 kb/s\n"
                             "  Stream #0:0: Audio: opus, 48000 Hz, mono, fltp\n";
    ConverterInfo refused;
    refused.isSupported = true;
    ASSERT_TRUE(analyseConverterCapture(opus, refused, {}));
    EXPECT_FALSE(refused.isSupported);
    EXPECT_EQ(refused.unplayable, "Ogg");

    const char* const alac = "Input #0, mov,mp4,m4a,3gp,3g2,mj2, from 'l.m4a':\n"
                             "  Duration: 00:00:01.00, start: 0.000000, bitrate: 700 kb/s\n"
                             "  Stream #0:0[0x1](und): Audio: alac (alac / 0x63616C61), 44100 Hz, stereo, s16p, 690 kb/s\n";
    ConverterInfo lossless;
    ASSERT_TRUE(analyseConverterCapture(alac, lossless, {}));
    EXPECT_TRUE(lossless.isSupported);
}
