#pragma once

#include "ByteSource.h"

#include <cstdint>
#include <string>

namespace sonarchive {

// What the header of an uncompressed audio file says: read from its chunks,
// without any search for MPEG frames.
struct PcmInfo {
    std::int32_t sampleRateHz = 0;
    std::int32_t bitrateKbps = 0;  // sample rate x channels x bits per sample, in kbit/s
    std::int32_t lengthMs = 0;     // the sample data's playing time, rounded down; 0 when the rate is unknown
    std::string unplayable;        // the compression, when the samples are compressed in a way the device can't play
};

// RIFF "WAVE": the "fmt " and "data" chunks. False when the bytes are not a
// WAVE file or lack either chunk.
bool AnalyseWave(const ByteSource& source, PcmInfo& info);

// "FORM" "AIFF" or "AIFC": the "COMM" and "SSND" chunks. False when the bytes
// are not such a file or lack the "COMM" chunk.
bool AnalyseAiff(const ByteSource& source, PcmInfo& info);

}  // namespace sonarchive
