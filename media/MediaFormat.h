#pragma once

#include "ByteSource.h"

#include <string>

namespace sonarchive {

// The name of a container or codec the device cannot play, told by the file's
// first bytes (after any ID3v2 tag): "FLAC", "Ogg Vorbis", "Ogg Opus", "WMA or
// WMV (ASF)", "Matroska", "WebM", "AVI", "Monkey's Audio", "WavPack",
// "Musepack". Empty when the bytes name none of them.
std::string unplayableFormat(const ByteSource& source);

// The same for a format the converter names in its "Input #0, <formats>, from"
// line ("flac", "ogg", "matroska,webm", ...); empty for one the device plays or
// that is not known here.
std::string unplayableConverterFormat(const std::string& formats);

// The same for an audio codec the converter names ("vorbis", "opus", "flac",
// "wmav2", ...) of a file without video; empty for AAC, Apple Lossless and MP3.
std::string unplayableAudioCodec(const std::u16string& codec);

}  // namespace sonarchive
