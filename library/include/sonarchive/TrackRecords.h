#pragma once

#include "RawBytes.h"

#include <cstdint>
#include <string>
#include <vector>

namespace sonarchive {

// Records of the track side of the device database. Field names and order follow
// the chunk layouts: "text" fields are UTF-16 (std::u16string), byte strings are the
// file's raw bytes (std::string or RawBytes), integers keep the file's width.

// Database header ("mhbd") at file offset 0.
struct MHBD {
    std::u16string sID;
    std::int32_t iHeaderSize = 0;
    std::int32_t iTotalSize = 0;
    std::int32_t iUnk1 = 0;
    std::int32_t iVersion = 0;
    std::int32_t iNumberOfMHSD = 0;
    std::string sID2;          // 8 bytes
    std::int16_t iUnk2 = 0;
    std::string sUnk3;         // 8 bytes
    std::int16_t iUnk4 = 0;
    std::string iUnk5;         // 20 bytes, a byte string despite its name
    std::int16_t iLanguageID = 0;
    std::string sLibraryID;    // 8 bytes
    std::string sHash;         // 20 bytes
    RawBytes sHeaderData;      // the first iHeaderSize bytes of the file
    RawBytes sAllData;         // the first iTotalSize bytes of the file
};

// String record ("mhod") below a track; also the title record of a playlist.
struct MHOD_S {
    std::u16string sID;
    std::int32_t iHeaderSize = 0;
    std::int32_t iTotalSize = 0;
    std::int32_t iType = 0;
    std::int32_t iUnk1 = 0;
    std::int32_t iUnk2 = 0;
    std::int32_t iPosition = 0;
    std::int32_t iLength = 0;
    std::int32_t iUnk3 = 0;
    std::int32_t iUnk4 = 0;
    std::u16string sString;    // UTF-16LE text of iLength bytes
    RawBytes sAllMHOD;         // the record as read; empty for records the library creates
};

// String record kinds the library interprets.
enum MhodType : std::int32_t {
    kMhodTitle = 1,
    kMhodLocation = 2,
    kMhodAlbum = 3,
    kMhodArtist = 4,
    kMhodGenre = 5,
    kMhodComment = 8,
    kMhodComposer = 12,
};

// Track record ("mhit"): the 84 decoded fields of its first 304 bytes, then the raw copy.
struct MHIT {
    std::u16string sID;
    std::int32_t iHeaderSize = 0;
    std::int32_t iTotalSize = 0;
    std::int32_t iNumberOfMHODS = 0;
    std::int32_t iUniqueID = 0;
    std::int32_t iVisible = 0;
    std::u16string sFiletype;  // readable order ("MP3 "); reversed in the file
    std::uint8_t iType1 = 0;
    std::uint8_t iType2 = 0;
    std::uint8_t iFlag1 = 0;
    std::uint8_t iStartRating = 0;
    std::string sLastModifiedTime;  // 4 bytes
    std::int32_t iTrackSize = 0;
    std::int32_t iTrackTimeLength = 0;
    std::int32_t iTrackNumber = 0;
    std::int32_t iTotalTracksNumber = 0;
    std::string sTrackYear;    // 4 bytes
    std::int32_t iBitrate = 0;
    std::int32_t iSampleRate = 0;
    std::int32_t iVolume = 0;
    std::int32_t iStartTime = 0;
    std::int32_t iStopTime = 0;
    std::int32_t iSoundCheck = 0;
    std::int32_t iPlayCount = 0;
    std::int32_t iPlayCount2 = 0;
    std::string sLastPlayedTime;  // 4 bytes
    std::int32_t iDiscNumber = 0;
    std::int32_t iTotalDisks = 0;
    std::int32_t iUserID = 0;
    std::string sDateAdded;    // 4 bytes
    std::int32_t iBookmarkTime = 0;
    std::int64_t iDB_ID = 0;
    std::uint8_t iCheck = 0;
    std::uint8_t iApplicationRating = 0;
    std::int16_t iBPM = 0;
    std::int16_t iArtworkCount = 0;
    std::int16_t iUnk1 = 0;
    std::int32_t iArtworkSize = 0;
    std::int32_t iUnk2 = 0;
    std::int32_t iSampleRate2 = 0;
    std::string sDateReleased;  // 4 bytes
    std::int16_t iUnk3 = 0;
    std::int16_t iExplicitFlasg = 0;
    std::int32_t iUnk4 = 0;
    std::int32_t iUnk5 = 0;
    std::int32_t iSkipCount = 0;
    std::string sLastSkipped;  // 4 bytes
    std::uint8_t iHasArtwork = 0;
    std::uint8_t iSkipWhenShuffle = 0;
    std::uint8_t iRememPlaybackPos = 0;
    std::uint8_t iFlag2 = 0;
    std::int64_t iDB_ID2 = 0;
    std::uint8_t iLyricsFlag = 0;
    std::uint8_t iMovieFileFlag = 0;
    std::uint8_t iPlayedMark = 0;
    std::uint8_t iUnk6 = 0;
    std::int32_t iUnk7 = 0;
    std::int32_t iPreGap = 0;
    std::int64_t iSampleCount = 0;
    std::int32_t iUnk8 = 0;
    std::int32_t iPostGap = 0;
    std::int32_t iUnk9 = 0;
    std::int32_t iMediaType = 0;
    std::int32_t iSeasonNumber = 0;
    std::int32_t iEpisodeNumber = 0;
    std::int32_t iUnk10 = 0;
    std::int32_t iUnk11 = 0;
    std::int32_t iUnk12 = 0;
    std::int32_t iUnk13 = 0;
    std::int32_t iUnk14 = 0;
    std::int32_t iUnk15 = 0;
    std::int32_t iUnk16 = 0;
    std::int32_t iGaplessData = 0;
    std::int32_t iUnk17 = 0;
    std::int16_t iGaplessTrackFlag = 0;
    std::int16_t iGaplessAlbumFlag = 0;
    std::string sUnk18;        // 20 bytes
    std::int32_t iUnk19 = 0;
    std::int32_t iUnk20 = 0;
    std::int32_t iUnk21 = 0;
    std::int32_t iUnk22 = 0;
    std::int16_t iUnk23 = 0;
    std::int16_t iAlbumID = 0;
    std::int32_t iMHIILink = 0;
    RawBytes sAllData;         // the whole record, header and string records
    std::vector<MHOD_S> m_mhod;
};

// Track list header ("mhlt").
struct MHLT {
    std::u16string sID;
    std::int32_t iHeaderSize = 0;
    std::int32_t iNumberOfllTracks = 0;  // valid entries of m_mhit
    RawBytes sAllHeader;
    std::vector<MHIT> m_mhit;
    std::int32_t iTracks2Delete = 0;
};

// The fields every section record starts with ("mhsd").
struct SectionHead {
    std::u16string sID;
    std::int32_t iHeaderSize = 0;
    std::int32_t iTotalSize = 0;
    std::int32_t iType = 0;
    RawBytes sHeaderData;  // the section header, iHeaderSize bytes
    RawBytes sAllData;     // the whole section, iTotalSize bytes
};

// Track section (section type 1).
struct MHSD_T : SectionHead {
    MHLT m_mhlt;
};

// Sections held as opaque blocks: album lists (type 4), new-style playlists (type 5).
struct MHSD_A : SectionHead {};
struct MHSD_NP : SectionHead {};

}  // namespace sonarchive
