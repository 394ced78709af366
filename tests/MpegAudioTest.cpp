#include "MediaFixtures.h"

#include <Error.h>
#include <MpegAudio.h>

#include <gtest/gtest.h>

#include <random>

using namespace sonarchive;
using namespace mediafixtures;

namespace {

// `size` bytes of zeros with `bytes` placed at `at`.
std::string fileWith(std::size_t size, std::size_t at, const std::string& bytes)
{
    std::string file(size, '\0');
    file.replace(at, bytes.size(), bytes);
    return file;
}

MpegInfo analyse(const std::string& bytes, bool expected = true)
{
    MpegInfo info;
    EXPECT_EQ(AnalyseMpegAudio(MemorySource(bytes), info), expected);
    return info;
}

}  // namespace

TEST(MpegAudio, ConstantRateLengthFromTheFileSize)
{
    const MpegInfo info = analyse(fileWith(4'000'000, 0, mpegHeader(3, 3, 9, 0)));  // MPEG-1 Layer III 128 kbit/s
    EXPECT_EQ(info, (MpegInfo{128, 44100, false, 250, 4'000'000}));
}

TEST(MpegAudio, SkipsTheLeadingId3v2Tag)
{
    // A stray sync inside the tag is not seen; the stretch counted starts at the frame.
    std::string file = id3Header(3, 0, 1000) + std::string(1000, '\0');
    file.replace(500, 2, "\xFF\xFF");
    file += mpegHeader(3, 3, 9, 0) + std::string(16000 * 3 - 4, '\0');
    EXPECT_EQ(ID3v2Length(MemorySource(file), 0), 1010);
    const MpegInfo info = analyse(file);
    EXPECT_EQ(info.lengthSeconds, 3);
    EXPECT_EQ(info.fileSize, 1010 + 48000);
}

TEST(MpegAudio, VersionsLayersAndRates)
{
    EXPECT_EQ(analyse(fileWith(1000, 0, mpegHeader(3, 1, 4, 1))).bitRateKbps, 128);  // MPEG-1 Layer I
    EXPECT_EQ(analyse(fileWith(1000, 0, mpegHeader(3, 1, 4, 1))).sampleRateHz, 48000);
    EXPECT_EQ(analyse(fileWith(1000, 0, mpegHeader(3, 2, 4, 2))).bitRateKbps, 64);  // MPEG-1 Layer II
    EXPECT_EQ(analyse(fileWith(1000, 0, mpegHeader(3, 2, 4, 2))).sampleRateHz, 32000);
    EXPECT_EQ(analyse(fileWith(1000, 0, mpegHeader(2, 3, 8, 0))).bitRateKbps, 64);  // MPEG-2 Layer III
    EXPECT_EQ(analyse(fileWith(1000, 0, mpegHeader(2, 3, 8, 0))).sampleRateHz, 22050);
    EXPECT_EQ(analyse(fileWith(1000, 0, mpegHeader(2, 1, 9, 1))).bitRateKbps, 144);  // MPEG-2 Layer I
    EXPECT_EQ(analyse(fileWith(1000, 0, mpegHeader(0, 3, 1, 0))).sampleRateHz, 11025);  // MPEG-2.5
    EXPECT_EQ(analyse(fileWith(1000, 0, mpegHeader(0, 3, 1, 0))).bitRateKbps, 8);
}

TEST(MpegAudio, XingHeaderGivesAverageRateWithHalvesToEven)
{
    // MPEG-1 stereo: the header sits 32 bytes after the frame header. 400 bytes per
    // 1152-sample frame at 44100 Hz is 122.5 kbit/s exactly.
    const std::string xing = "Xing" + be32(3) + be32(1000) + be32(400000);
    const std::string frame = mpegHeader(3, 3, 9, 0) + std::string(32, '\0') + xing;
    EXPECT_EQ(analyse(fileWith(50000, 100, frame)), (MpegInfo{122, 44100, true, 26, 50000}));

    // Without the byte count flag the counts are not used.
    const std::string framesOnly = mpegHeader(3, 3, 9, 0) + std::string(32, '\0') + "Xing" + be32(1) + be32(1000) + be32(400000);
    EXPECT_FALSE(analyse(fileWith(50000, 100, framesOnly)).isVbr);
}

TEST(MpegAudio, InfoHeaderOfAMonoFrame)
{
    const std::string info = "Info" + be32(3) + be32(1000) + be32(400000);
    const std::string frame = mpegHeader(3, 3, 9, 0, 3) + std::string(17, '\0') + info;
    const MpegInfo result = analyse(fileWith(50000, 0, frame));
    EXPECT_TRUE(result.isVbr);
    EXPECT_EQ(result.bitRateKbps, 122);
}

TEST(MpegAudio, VbriHeaderReplacesXingCounts)
{
    // MPEG-2 Layer III 22050 Hz: 400 frames of 576 samples, 50000 bytes.
    const std::string vbri = "VBRI" + std::string(6, '\0') + be32(50000) + be32(400);
    std::string frame = mpegHeader(2, 3, 8, 0, 3) + std::string(9, '\0') + "Xing" + be32(3) + be32(7) + be32(7);
    frame.resize(36, '\0');
    frame += vbri;
    EXPECT_EQ(analyse(fileWith(60000, 0, frame)), (MpegInfo{38, 22050, true, 10, 60000}));
}

TEST(MpegAudio, FirstSyncWinsEvenInJunk)
{
    // 0xFF 0xE0 reads as MPEG-2.5 with a reserved layer: no result, size still kept.
    std::string file = fileWith(20000, 100, "\xFF\xE0");
    file.replace(5000, 4, mpegHeader(3, 3, 9, 0));
    const MpegInfo info = analyse(file, false);
    EXPECT_EQ(info, (MpegInfo{0, 0, false, 0, 20000}));
}

TEST(MpegAudio, BufferedSearchFindsWhatAByteWalkFinds)
{
    // A sync pair split across the 1 MiB reading blocks, and one at the last position.
    const std::size_t boundary = 1 << 20;
    EXPECT_EQ(findFrameSync(MemorySource(fileWith(boundary + 100, boundary - 1, "\xFF\xFB")), 0), std::int64_t(boundary - 1));
    EXPECT_EQ(findFrameSync(MemorySource(fileWith(3 * boundary, 2 * boundary + 7, "\xFF\xE2")), 5), std::int64_t(2 * boundary + 7));
    EXPECT_EQ(findFrameSync(MemorySource(fileWith(100, 96, "\xFF\xFB")), 0), 96);
    EXPECT_EQ(findFrameSync(MemorySource(fileWith(100, 97, "\xFF\xFB")), 0), -1);
    EXPECT_EQ(findFrameSync(MemorySource(fileWith(100, 10, "\xFF\x1F\xFF\xFB")), 0), 12);

    // Random bytes dense in 0xFF and near-syncs, against the byte-by-byte walk.
    std::mt19937 random(7);
    for (int round = 0; round < 300; ++round) {
        std::string bytes(random() % 200, '\0');
        for (char& b : bytes) {
            const auto r = random() % 4;
            b = static_cast<char>(r == 0 ? 0xFF : r == 1 ? 0xC0 | (random() % 64) : random() % 256);
        }
        const std::int64_t from = bytes.empty() ? 0 : static_cast<std::int64_t>(random() % bytes.size());
        std::int64_t expected = -1;
        for (std::int64_t p = from; p + 4 <= static_cast<std::int64_t>(bytes.size()); ++p)
            if (static_cast<unsigned char>(bytes[p]) == 0xFF && (static_cast<unsigned char>(bytes[p + 1]) & 0xE0) == 0xE0) {
                expected = p;
                break;
            }
        ASSERT_EQ(findFrameSync(MemorySource(bytes), from), expected) << round;
    }
}

TEST(MpegAudio, FailuresAndErrors)
{
    analyse(std::string(5000, '\x11'), false);
    MpegInfo tiny;
    tiny.fileSize = 77;
    EXPECT_FALSE(AnalyseMpegAudio(MemorySource("\xFF\xFB"), tiny));
    EXPECT_EQ(tiny.fileSize, 77);

    // Free format (bit rate index 0) on the constant-rate path.
    MpegInfo info;
    try {
        AnalyseMpegAudio(MemorySource(fileWith(1000, 0, mpegHeader(3, 3, 0, 0))), info);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), 11);
        EXPECT_STREQ(e.what(), "Division by zero");
    }
    // A VBR header with a reserved sample rate.
    const std::string frame = mpegHeader(3, 3, 9, 3) + std::string(32, '\0') + "Xing" + be32(3) + be32(10) + be32(1000);
    EXPECT_THROW(AnalyseMpegAudio(MemorySource(fileWith(1000, 0, frame)), info), Error);

    // A media failure, at the offset of the frame it came from.
    try {
        AnalyseMpegAudio(MemorySource(fileWith(1000, 300, mpegHeader(3, 3, 0, 0))), info);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.code(), FailureCode::Media);
        EXPECT_EQ(e.offset(), 300);
    }
}
