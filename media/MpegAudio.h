#pragma once

#include "ByteSource.h"

#include <cstdint>
#include <filesystem>

namespace sonarchive {

// What the first MPEG audio frame (and a Xing, "Info" or "VBRI" header in it)
// says about the stream.
struct MpegInfo {
    std::int32_t bitRateKbps = 0;    // average for a variable rate; 0 when unknown
    std::int32_t sampleRateHz = 0;   // 0 when unknown
    bool isVbr = false;              // a VBR header gave both a frame and a byte count
    std::int32_t lengthSeconds = 0;  // whole seconds
    std::uint32_t fileSize = 0;      // bytes (the database's field is unsigned 32-bit)

    friend bool operator==(const MpegInfo&, const MpegInfo&) = default;
};

// True when a frame header was found and decoded. False with `info` untouched
// when the file cannot be opened. Throws a media Error on a division by zero (a
// zero bit rate on the constant-rate path, a zero sample rate with a VBR header)
// and on values beyond 32 bits, both at the frame's offset, and an Io Error when
// the file cannot be read.
bool AnalyseMpegAudio(const std::filesystem::path& path, MpegInfo& info);
bool AnalyseMpegAudio(const ByteSource& source, MpegInfo& info);

// Bytes to skip at `position`: the length of an ID3v2 tag found there, else 0.
std::int64_t ID3v2Length(const ByteSource& source, std::int64_t position);

// First position p >= from with bytes 0xFF, 111xxxxx at p and p + 1 and p + 3 still
// inside the data; -1 when there is none. Reads the source in large blocks.
std::int64_t findFrameSync(const ByteSource& source, std::int64_t from);

}  // namespace sonarchive
