#include "PcmAudio.h"

#include <cmath>
#include <limits>

namespace sonarchive {

namespace {

std::uint32_t le(std::string_view b, std::size_t at, int width)
{
    std::uint32_t v = 0;
    for (int i = width - 1; i >= 0; --i)
        v = v << 8 | static_cast<std::uint8_t>(b[at + static_cast<std::size_t>(i)]);
    return v;
}

std::uint32_t be(std::string_view b, std::size_t at, int width)
{
    std::uint32_t v = 0;
    for (int i = 0; i < width; ++i)
        v = v << 8 | static_cast<std::uint8_t>(b[at + static_cast<std::size_t>(i)]);
    return v;
}

std::int32_t clamped(double value)
{
    if (!(value > 0))
        return 0;
    return value >= std::numeric_limits<std::int32_t>::max() ? std::numeric_limits<std::int32_t>::max()
                                                              : static_cast<std::int32_t>(value);
}

// Walks the chunks of a RIFF or IFF file from `pos`: each an id and a size, its
// content padded to an even length. `visit` gets the id, the content's position
// and its size clipped to the file; walking stops when it returns false.
template <typename Visit>
void walkChunks(const ByteSource& source, std::int64_t pos, bool bigEndian, Visit&& visit)
{
    const std::int64_t end = source.size();
    while (pos + 8 <= end) {
        const std::string head = source.read(pos, 8);
        const std::uint32_t declared = bigEndian ? be(head, 4, 4) : le(head, 4, 4);
        const std::int64_t content = pos + 8;
        const std::int64_t size = std::min<std::int64_t>(declared, end - content);
        if (!visit(head.substr(0, 4), content, size))
            return;
        pos = content + declared + (declared & 1);
    }
}

// The 80-bit IEEE extended number of an AIFF sample rate.
double extended(std::string_view b)
{
    const int exponent = static_cast<int>(be(b, 0, 2) & 0x7FFF);
    const std::uint64_t mantissa = static_cast<std::uint64_t>(be(b, 2, 4)) << 32 | be(b, 6, 4);
    if (exponent == 0 && mantissa == 0)
        return 0;
    if (exponent == 0x7FFF)
        return 0;  // infinity or not a number: no usable rate
    return std::ldexp(static_cast<double>(mantissa), exponent - 16383 - 63);
}

}  // namespace

bool AnalyseWave(const ByteSource& source, PcmInfo& info)
{
    const std::string riff = source.readPadded(0, 12);
    if (riff.compare(0, 4, "RIFF") != 0 || riff.compare(8, 4, "WAVE") != 0)
        return false;
    bool haveFormat = false;
    bool haveData = false;
    std::uint32_t byteRate = 0;
    std::int64_t dataBytes = 0;
    walkChunks(source, 12, false, [&](std::string_view id, std::int64_t content, std::int64_t size) {
        if (id == "fmt " && size >= 16) {
            const std::string f = source.readPadded(content, 40);
            const std::uint32_t format = le(f, 0, 2);
            const std::uint32_t channels = le(f, 2, 2);
            info.sampleRateHz = clamped(le(f, 4, 4));
            const std::uint32_t bits = le(f, 14, 2);
            byteRate = le(f, 8, 4);
            if (byteRate == 0)
                byteRate = static_cast<std::uint32_t>(std::min<std::uint64_t>(std::uint64_t(le(f, 4, 4)) * channels * bits / 8, 0xFFFFFFFFu));
            info.bitrateKbps = clamped(std::round(byteRate * 8.0 / 1000.0));
            // Plain integer or floating-point samples (also in the extensible form) play; compressed ones don't.
            const std::uint32_t subformat = format == 0xFFFE && size >= 40 ? le(f, 24, 2) : format;
            if (subformat != 1 && subformat != 3)
                info.unplayable = "WAV compressed with format " + std::to_string(subformat);
            haveFormat = true;
        } else if (id == "data") {
            dataBytes = size;
            haveData = true;
        }
        return !(haveFormat && haveData);
    });
    if (!haveFormat || !haveData)
        return false;
    info.lengthMs = byteRate ? clamped(std::floor(static_cast<double>(dataBytes) * 1000.0 / byteRate)) : 0;
    return true;
}

bool AnalyseAiff(const ByteSource& source, PcmInfo& info)
{
    const std::string form = source.readPadded(0, 12);
    const bool aifc = form.compare(8, 4, "AIFC") == 0;
    if (form.compare(0, 4, "FORM") != 0 || (form.compare(8, 4, "AIFF") != 0 && !aifc))
        return false;
    bool haveCommon = false;
    walkChunks(source, 12, true, [&](std::string_view id, std::int64_t content, std::int64_t size) {
        if (id != "COMM" || size < 18)
            return true;
        const std::string c = source.readPadded(content, 22);
        const std::uint32_t channels = be(c, 0, 2);
        const std::uint32_t frames = be(c, 2, 4);
        const std::uint32_t bits = be(c, 6, 2);
        const double rate = extended(std::string_view(c).substr(8, 10));
        info.sampleRateHz = clamped(std::round(rate));
        info.bitrateKbps = clamped(std::round(rate * channels * bits / 1000.0));
        info.lengthMs = rate > 0 ? clamped(std::floor(frames * 1000.0 / rate)) : 0;
        if (aifc && size >= 22) {
            const std::string compression = c.substr(18, 4);
            if (compression != "NONE" && compression != "sowt" && compression != "twos")
                info.unplayable = "AIFF-C compressed as " + compression;
        }
        haveCommon = true;
        return false;
    });
    return haveCommon;
}

}  // namespace sonarchive
