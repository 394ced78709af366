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
    // Beyond the record as it first was: the album's track and disc counts (offsets
    // 48 and 96), and what the device recorded of the track. The device notes plays,
    // skips, ratings and bookmarks since its last sync in a file beside the database;
    // these are the record's values merged with those notes, as a person sees them
    // on the device. iPlayCount above is the merged count too.
    std::int32_t iTrackCount = 0;
    std::int32_t iDiscCount = 0;
    std::int32_t iRating = 0;         // 0-100, 20 per star
    std::int64_t iLastPlayed = 0;     // Unix seconds; 0 when never played
    std::int64_t iLastSkipped = 0;    // Unix seconds; 0 when never skipped
    std::int32_t iSkipCount = 0;
    std::int32_t iBookmarkMs = 0;     // where playback resumes, in milliseconds
    std::int32_t iRecentPlays = 0;    // plays since the last sync (already in iPlayCount)
    // The track's cover in the device's artwork database: its 64-bit database
    // identifier (offset 112), the image it links to (the 32-bit field at offset
    // 352 when the header holds it, else 0) and its artwork flag (offset 164: 1
    // when it has a cover).
    std::int64_t iDatabaseID = 0;
    std::int32_t iArtworkID = 0;
    std::uint8_t iHasArtwork = 0;

    friend bool operator==(const TrackInfo&, const TrackInfo&) = default;
};

}  // namespace sonarchive
