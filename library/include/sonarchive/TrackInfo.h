#pragma once

#include <cstdint>
#include <string>

namespace sonarchive {

// The flat record that describes one track across the library interface.
struct TrackInfo {
    std::u16string sTitle;
    std::u16string sAlbum;
    std::u16string sArtist;
    std::u16string sComposer;
    std::u16string sGenre;
    std::u16string sYear;      // from a loaded track: its four year bytes, one character per byte
    std::u16string sComment;
    std::u16string sFiletype;  // as the analysis sets it, such as "MP3"
    std::u16string sLocation;  // full path of the media file
    std::u16string sVolume;
    std::int32_t iFileSize = 0;
    std::int32_t iTrackTimLength = 0;
    std::int32_t iType = 0;    // 1 MPEG audio or AIFF, 2 analysed by the converter
    std::int32_t iBitrateInKbs = 0;
    std::int32_t iSampleRateInHz = 0;
    std::int32_t iStartTime = 0;
    std::int32_t iStopTime = 0;
    std::uint8_t iSkipWhenShuffle = 0;
    std::uint8_t iRememberPlayBackPos = 0;
    std::uint8_t IsMovie = 0;
    std::uint8_t IsVBR = 0;
    std::int32_t iPlayCount = 0;
    std::u16string sTrackType;  // file type code in file byte order, blanks trimmed
    std::int32_t iTrackID = 0;
    std::u16string sVideoCodec;
    std::u16string sAudioCodec;
    bool isFileSupported = false;
    // Beyond the record as it first was: the track's number on its album and its
    // disc number (the track record's fields at offsets 44 and 92; 0 when unknown).
    std::int32_t iTrackNumber = 0;
    std::int32_t iDiscNumber = 0;

    friend bool operator==(const TrackInfo&, const TrackInfo&) = default;
};

}  // namespace sonarchive
