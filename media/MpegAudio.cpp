#include "MpegAudio.h"

#include "ID3Tags.h"
#include "MediaError.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

namespace sonarchive {

namespace {

// Bit rates in kbit/s by bit-rate index; index 0 (free format) and 15 give 0.
constexpr std::int32_t kMpeg1Rates[3][16] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},  // Layer I
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},     // Layer II
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},      // Layer III
};
// MPEG-2 and MPEG-2.5 (low sampling frequencies).
constexpr std::int32_t kLowRates[3][16] = {
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},  // Layer I
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},       // Layers II and III
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
};

std::uint32_t bigEndian32(const std::string& bytes, std::size_t at)
{
    return static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[at])) << 24 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[at + 1])) << 16 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[at + 2])) << 8 | static_cast<std::uint8_t>(bytes[at + 3]);
}

// Nearest integer, halves to even, as a 32-bit value; `frame` is where the
// values came from.
std::int32_t roundToInt32(double value, std::int64_t frame)
{
    if (std::isnan(value) || std::isinf(value))
        throw mediaerror::divisionByZero(frame);
    const double rounded = std::nearbyint(value);  // the default rounding mode takes halves to even
    if (rounded < std::numeric_limits<std::int32_t>::min() || rounded > std::numeric_limits<std::int32_t>::max())
        throw mediaerror::overflow(frame);
    return static_cast<std::int32_t>(rounded);
}

double divide(double a, double b, std::int64_t frame)
{
    if (b == 0)
        throw mediaerror::divisionByZero(frame);
    return a / b;
}

}  // namespace

std::int64_t ID3v2Length(const ByteSource& source, std::int64_t position)
{
    const std::string header = source.readPadded(position, 10);
    if (header.compare(0, 3, "ID3") != 0)
        return 0;
    std::int64_t length = static_cast<std::int64_t>(ReadTagInteger(std::string_view(header).substr(6, 4), true)) + 10;
    if (static_cast<std::uint8_t>(header[3]) >= 4 && (static_cast<std::uint8_t>(header[5]) & 0x10) != 0)
        length += 10;  // footer
    return length;
}

namespace {

constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;

// 0x80 in each byte of `w` that is zero, nothing elsewhere (no borrow between bytes).
std::uint64_t zeroBytes(std::uint64_t w)
{
    return ~(((w & kLow7) + kLow7) | w | kLow7);
}

std::uint64_t load64(const char* at)
{
    std::uint64_t w;
    std::memcpy(&w, at, sizeof w);
    return w;
}

bool isSyncPair(const char* at)
{
    return static_cast<std::uint8_t>(at[0]) == 0xFF && (static_cast<std::uint8_t>(at[1]) & 0xE0) == 0xE0;
}

// First i < candidates with a sync pair at data[i], data[i + 1]; `size` >= candidates + 1.
std::int64_t firstSyncPair(const char* data, std::size_t candidates)
{
    static_assert(std::endian::native == std::endian::little);
    std::size_t i = 0;
    // Eight candidates at a time: bytes equal to 0xFF, followed by a byte whose top three bits are set.
    for (; i + 8 < candidates; i += 8) {
        const std::uint64_t ff = zeroBytes(~load64(data + i));
        if (ff == 0)
            continue;
        const std::uint64_t next = zeroBytes((load64(data + i + 1) & 0xE0E0E0E0E0E0E0E0ULL) ^ 0xE0E0E0E0E0E0E0E0ULL);
        if (const std::uint64_t match = ff & next)
            return static_cast<std::int64_t>(i + static_cast<std::size_t>(std::countr_zero(match) / 8));
    }
    for (; i < candidates; ++i)
        if (isSyncPair(data + i))
            return static_cast<std::int64_t>(i);
    return -1;
}

}  // namespace

std::int64_t findFrameSync(const ByteSource& source, std::int64_t from)
{
    constexpr std::int64_t kBlock = 1 << 20;
    const std::int64_t last = source.size() - 4;  // the last position with 4 bytes behind it
    for (std::int64_t blockStart = std::max<std::int64_t>(from, 0); blockStart <= last; blockStart += kBlock) {
        // One byte of overlap so a sync pair split between two blocks is seen.
        const std::string block = source.read(blockStart, kBlock + 1);
        const auto candidates = static_cast<std::size_t>(std::min<std::int64_t>(kBlock, last - blockStart + 1));
        if (block.size() < candidates + 1)
            break;  // the source shrank meanwhile
        if (const std::int64_t at = firstSyncPair(block.data(), candidates); at >= 0)
            return blockStart + at;
    }
    return -1;
}

namespace {

// What a frame header's four bytes say.
struct FrameHeader {
    bool mpeg1 = false;
    int version = 0;                // 0 MPEG-2.5, 2 MPEG-2, 3 MPEG-1
    int layer = 0;                  // 1, 2 or 3
    double samplesPerFrame = 0;
    std::int64_t sideInfo = 0;      // bytes between the header and a Xing header
    std::int32_t sampleRate = 0;
    int bitRateIndex = 0;
};

// False for a reserved version or layer.
bool decodeHeader(const std::string& header, FrameHeader& frame)
{
    const int b1 = static_cast<std::uint8_t>(header[1]), b2 = static_cast<std::uint8_t>(header[2]),
              b3 = static_cast<std::uint8_t>(header[3]);
    frame.version = b1 >> 3 & 3;  // 1 is reserved
    const int layerBits = b1 >> 1 & 3;  // 1 Layer III, 2 Layer II, 3 Layer I, 0 reserved
    if (frame.version == 1 || layerBits == 0)
        return false;
    frame.mpeg1 = frame.version == 3;
    frame.layer = 4 - layerBits;
    frame.samplesPerFrame = frame.layer == 1 ? 384 : frame.layer == 2 ? 1152 : frame.mpeg1 ? 1152 : 576;
    const bool mono = (b3 >> 6) == 3;
    frame.sideInfo = frame.mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17);
    static constexpr std::int32_t kSampleRates[4] = {44100, 48000, 32000, 0};
    frame.sampleRate = kSampleRates[b2 >> 2 & 3] / (frame.mpeg1 ? 1 : frame.version == 2 ? 2 : 4);
    frame.bitRateIndex = b2 >> 4;
    return true;
}

// The frame and byte counts of a Xing or "Info" header after the side
// information, replaced by those of a "VBRI" header 36 bytes into the frame.
std::pair<std::uint32_t, std::uint32_t> vbrCounts(const ByteSource& source, std::int64_t p, const FrameHeader& frame)
{
    std::uint32_t frames = 0, bytes = 0;
    const std::string xing = source.readPadded(p + 4 + frame.sideInfo, 16);
    if (xing.compare(0, 4, "Xing") == 0 || xing.compare(0, 4, "Info") == 0) {
        const int xingFlags = static_cast<std::uint8_t>(xing[7]);
        if ((xingFlags & 0x01) != 0) {
            frames = bigEndian32(xing, 8);
            if ((xingFlags & 0x02) != 0)
                bytes = bigEndian32(xing, 12);
        }
    }
    const std::string vbri = source.readPadded(p + 36, 18);
    if (vbri.compare(0, 4, "VBRI") == 0) {
        bytes = bigEndian32(vbri, 10);
        frames = bigEndian32(vbri, 14);
    }
    return {frames, bytes};
}

// Rate and length from the frame at `p`: the counts of a VBR header when it
// has both, else the bit-rate table and the bytes from the frame to the end of
// the file (an ID3v1 tag included).
void measure(const ByteSource& source, std::int64_t p, std::int64_t fileSize, const FrameHeader& frame, MpegInfo& info)
{
    info.sampleRateHz = frame.sampleRate;
    const auto [frames, bytes] = vbrCounts(source, p, frame);
    if (frames != 0 && bytes != 0) {
        info.isVbr = true;
        info.bitRateKbps = roundToInt32(double(bytes) / frames / frame.samplesPerFrame / 125 * frame.sampleRate, p);
        info.lengthSeconds = roundToInt32(divide(frames, frame.sampleRate, p) * frame.samplesPerFrame, p);
        return;
    }
    info.isVbr = false;
    const int layer = frame.layer - 1;
    info.bitRateKbps = frame.mpeg1 ? kMpeg1Rates[layer][frame.bitRateIndex] : kLowRates[layer][frame.bitRateIndex];
    info.lengthSeconds = roundToInt32(divide(double(fileSize - p), info.bitRateKbps * 125.0, p), p);
}

}  // namespace

bool AnalyseMpegAudio(const ByteSource& source, MpegInfo& info)
{
    const std::int64_t start = ID3v2Length(source, 0);
    const std::int64_t fileSize = source.size();
    if (fileSize < 4)
        return false;
    if (fileSize > static_cast<std::int64_t>(std::numeric_limits<std::uint32_t>::max()))
        throw mediaerror::fileTooLarge(static_cast<std::uint64_t>(fileSize));

    bool found = false;
    FrameHeader frame;
    if (const std::int64_t p = findFrameSync(source, start); p >= 0 && decodeHeader(source.readPadded(p, 4), frame)) {
        measure(source, p, fileSize, frame, info);
        found = true;
    }
    info.fileSize = static_cast<std::uint32_t>(fileSize);
    return found;
}

bool AnalyseMpegAudio(const std::filesystem::path& path, MpegInfo& info)
{
    const auto source = FileSource::open(path);
    return source && AnalyseMpegAudio(*source, info);
}

}  // namespace sonarchive
