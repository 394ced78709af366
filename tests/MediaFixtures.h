#pragma once

// Hand-built bytes of ID3 tags and MPEG audio frames for the media tests.

#include <cstdint>
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

}  // namespace mediafixtures
