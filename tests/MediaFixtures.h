#pragma once

// Hand-built bytes of ID3 tags and MPEG audio frames for the media tests.

#include <cstdint>
#include <optional>
#include <string>

namespace mediafixtures {

inline std::string be32(std::uint32_t v)
{
    return {char(v >> 24), char(v >> 16 & 0xFF), char(v >> 8 & 0xFF), char(v & 0xFF)};
}

inline std::string syncsafe(std::uint32_t v)
{
    return {char(v >> 21 & 0x7F), char(v >> 14 & 0x7F), char(v >> 7 & 0x7F), char(v & 0x7F)};
}

// "ID3", version, revision 0, flags, syncsafe size of the body.
inline std::string id3Header(int version, int flags, std::size_t bodySize)
{
    return std::string("ID3") + char(version) + '\0' + char(flags) + syncsafe(static_cast<std::uint32_t>(bodySize));
}

inline std::string id3Tag(int version, const std::string& body, int flags = 0)
{
    return id3Header(version, flags, body.size()) + body;
}

// Version 2.2 frame: 3-letter id, 3-byte length.
inline std::string frame22(const std::string& id, const std::string& content)
{
    const auto n = content.size();
    return id + char(n >> 16 & 0xFF) + char(n >> 8 & 0xFF) + char(n & 0xFF) + content;
}

// Version 2.3 frame: plain length.
inline std::string frame23(const std::string& id, const std::string& content, int formatFlags = 0)
{
    return id + be32(static_cast<std::uint32_t>(content.size())) + '\0' + char(formatFlags) + content;
}

// Version 2.4 frame: syncsafe length (or plain when asked, as some writers do).
inline std::string frame24(const std::string& id, const std::string& content, int formatFlags = 0, bool plainLength = false)
{
    const auto n = static_cast<std::uint32_t>(content.size());
    return id + (plainLength ? be32(n) : syncsafe(n)) + '\0' + char(formatFlags) + content;
}

// A text frame's content: encoding byte then the text bytes.
inline std::string text(const std::string& bytes, int encoding = 0)
{
    return char(encoding) + bytes;
}

// The 128-byte ID3v1 block.
inline std::string id3v1(const std::string& title, const std::string& artist, const std::string& album, const std::string& year,
                         const std::string& comment30, unsigned char genre)
{
    std::string block = "TAG";
    const auto field = [&](const std::string& value, std::size_t size) {
        std::string f = value.substr(0, size);
        f.resize(size, '\0');
        block += f;
    };
    field(title, 30);
    field(artist, 30);
    field(album, 30);
    field(year, 4);
    field(comment30, 30);
    block += char(genre);
    return block;
}

// A 4-byte MPEG audio frame header. version: 0 MPEG-2.5, 2 MPEG-2, 3 MPEG-1;
// layer: 1, 2 or 3; channelMode 3 is mono.
inline std::string mpegHeader(int version, int layer, int bitrateIndex, int sampleRateIndex, int channelMode = 0)
{
    const int layerBits = 4 - layer;
    return {char(0xFF), char(0xE0 | version << 3 | layerBits << 1 | 1), char(bitrateIndex << 4 | sampleRateIndex << 2),
            char(channelMode << 6)};
}

inline std::string le32(std::uint32_t v)
{
    return {char(v & 0xFF), char(v >> 8 & 0xFF), char(v >> 16 & 0xFF), char(v >> 24)};
}

inline std::string le16(std::uint32_t v)
{
    return {char(v & 0xFF), char(v >> 8 & 0xFF)};
}

// A RIFF WAVE file: "fmt " (format tag, channels, rate, byte rate, block
// align, bits) and "data" with `dataBytes` zero bytes.
inline std::string waveFile(std::uint32_t rate, std::uint32_t channels, std::uint32_t bits, std::uint32_t dataBytes,
                            std::uint32_t formatTag = 1, std::optional<std::uint32_t> byteRate = std::nullopt)
{
    const std::uint32_t rateBytes = byteRate.value_or(rate * channels * bits / 8);
    const std::string fmt = "fmt " + le32(16) + le16(formatTag) + le16(channels) + le32(rate) + le32(rateBytes) +
                            le16(channels * bits / 8) + le16(bits);
    const std::string data = "data" + le32(dataBytes) + std::string(dataBytes, '\0');
    return "RIFF" + le32(static_cast<std::uint32_t>(4 + fmt.size() + data.size())) + "WAVE" + fmt + data;
}

// An AIFF file: "COMM" (channels, frames, bits, the rate as an 80-bit extended
// number) and "SSND" with the sample bytes; `compression` makes it AIFF-C.
inline std::string aiffFile(std::uint32_t rate, std::uint32_t channels, std::uint32_t bits, std::uint32_t frames,
                            const std::string& compression = "")
{
    // rate = mantissa * 2^(exponent - 16383 - 63), with the mantissa's top bit set.
    int shift = 0;
    while ((static_cast<std::uint64_t>(rate) << shift) < (1ULL << 63))
        ++shift;
    const std::uint64_t mantissa = static_cast<std::uint64_t>(rate) << shift;
    const std::uint32_t exponent = static_cast<std::uint32_t>(16383 + 63 - shift);
    std::string extended = {char(exponent >> 8), char(exponent & 0xFF)};
    extended += be32(static_cast<std::uint32_t>(mantissa >> 32)) + be32(static_cast<std::uint32_t>(mantissa));
    std::string comm = std::string{char(channels >> 8), char(channels & 0xFF)} + be32(frames) +
                       std::string{char(bits >> 8), char(bits & 0xFF)} + extended;
    if (!compression.empty())
        comm += compression + std::string(1, '\0') + std::string(1, '\0');  // type, then an empty name (padded)
    const std::string sound(frames * channels * bits / 8, '\0');
    const std::string chunks = "COMM" + be32(static_cast<std::uint32_t>(comm.size())) + comm + "SSND" +
                               be32(static_cast<std::uint32_t>(8 + sound.size())) + std::string(8, '\0') + sound;
    return "FORM" + be32(static_cast<std::uint32_t>(4 + chunks.size())) + (compression.empty() ? "AIFF" : "AIFC") + chunks;
}

}  // namespace mediafixtures
