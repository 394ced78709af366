#pragma once

#include "PlaylistRecords.h"
#include "TrackRecords.h"

#include <cstdint>
#include <string>
#include <tuple>
#include <type_traits>

namespace sonarchive {

// The fixed-width fields of each chunk, in file order, with their names and
// widths: one table that decoding, encoding and dumping all walk, so the three
// can never disagree about a layout. Use forEachField() to visit them.

enum class FieldKind {
    Integer,   // little-endian; 32/16-bit signed, 8-bit unsigned, 64-bit as its 8 bytes
    Bytes,     // raw bytes of a fixed width
    Magic,     // 4 ASCII bytes held as text
    Reversed,  // 4 bytes held as text in reverse order (the file type code)
};

template <typename Record, typename T>
struct Field {
    using Value = T;
    const char* name;
    T Record::*member;
    int width;
    FieldKind kind;
};

// The fixed part of MHBD in file order.
inline constexpr auto kMHBDFields = std::make_tuple(
    Field<MHBD, std::u16string>{"sID", &MHBD::sID, 4, FieldKind::Magic},
    Field<MHBD, std::int32_t>{"iHeaderSize", &MHBD::iHeaderSize, 4, FieldKind::Integer},
    Field<MHBD, std::int32_t>{"iTotalSize", &MHBD::iTotalSize, 4, FieldKind::Integer},
    Field<MHBD, std::int32_t>{"iUnk1", &MHBD::iUnk1, 4, FieldKind::Integer},
    Field<MHBD, std::int32_t>{"iVersion", &MHBD::iVersion, 4, FieldKind::Integer},
    Field<MHBD, std::int32_t>{"iNumberOfMHSD", &MHBD::iNumberOfMHSD, 4, FieldKind::Integer},
    Field<MHBD, std::string>{"sID2", &MHBD::sID2, 8, FieldKind::Bytes},
    Field<MHBD, std::int16_t>{"iUnk2", &MHBD::iUnk2, 2, FieldKind::Integer},
    Field<MHBD, std::string>{"sUnk3", &MHBD::sUnk3, 8, FieldKind::Bytes},
    Field<MHBD, std::int16_t>{"iUnk4", &MHBD::iUnk4, 2, FieldKind::Integer},
    Field<MHBD, std::string>{"iUnk5", &MHBD::iUnk5, 20, FieldKind::Bytes},
    Field<MHBD, std::int16_t>{"iLanguageID", &MHBD::iLanguageID, 2, FieldKind::Integer},
    Field<MHBD, std::string>{"sLibraryID", &MHBD::sLibraryID, 8, FieldKind::Bytes},
    Field<MHBD, std::string>{"sHash", &MHBD::sHash, 20, FieldKind::Bytes});

// The fixed part of MHIT in file order.
inline constexpr auto kMHITFields = std::make_tuple(
    Field<MHIT, std::u16string>{"sID", &MHIT::sID, 4, FieldKind::Magic},
    Field<MHIT, std::int32_t>{"iHeaderSize", &MHIT::iHeaderSize, 4, FieldKind::Integer},
    Field<MHIT, std::int32_t>{"iTotalSize", &MHIT::iTotalSize, 4, FieldKind::Integer},
    Field<MHIT, std::int32_t>{"iNumberOfMHODS", &MHIT::iNumberOfMHODS, 4, FieldKind::Integer},
    Field<MHIT, std::int32_t>{"iUniqueID", &MHIT::iUniqueID, 4, FieldKind::Integer},
    Field<MHIT, std::int32_t>{"iVisible", &MHIT::iVisible, 4, FieldKind::Integer},
    Field<MHIT, std::u16string>{"sFiletype", &MHIT::sFiletype, 4, FieldKind::Reversed},
    Field<MHIT, std::uint8_t>{"iType1", &MHIT::iType1, 1, FieldKind::Integer},
    Field<MHIT, std::uint8_t>{"iType2", &MHIT::iType2, 1, FieldKind::Integer},
    Field<MHIT, std::uint8_t>{"iFlag1", &MHIT::iFlag1, 1, FieldKind::Integer},
    Field<MHIT, std::uint8_t>{"iStartRating", &MHIT::iStartRating, 1, FieldKind::Integer},
    Field<MHIT, std::string>{"sLastModifiedTime", &MHIT::sLastModifiedTime, 4, FieldKind::Bytes},
    Field<MHIT, std::int32_t>{"iTrackSize", &MHIT::iTrackSize, 4, FieldKind::Integer},
    Field<MHIT, std::int32_t>{"iTrackTimeLength", &MHIT::iTrackTimeLength, 4, FieldKind::Integer},
    Field<MHIT, std::int32_t>{"iTrackNumber", &MHIT::iTrackNumber, 4, FieldKind::Integer},
    Field<MHIT, std::int32_t>{"iTotalTracksNumber", &MHIT::iTotalTracksNumber, 4, FieldKind::Integer},
    Field<MHIT, std::string>{"sTrackYear", &MHIT::sTrackYear, 4, FieldKind::Bytes},
    Field<MHIT, std::int32_t>{"iBitrate", &MHIT::iBitrate, 4, FieldKind::Integer},
    Field<MHIT, std::int32_t>{"iSampleRate", &MHIT::iSampleRate, 4, FieldKind::Integer},
    Field<MHIT, std::int32_t>{"iVolume", &MHIT::iVolume, 4, FieldKind::Integer},
    Field<MHIT, std::int32_t>{"iStartTime", &MHIT::iStartTime, 4, FieldKind::Integer},
    Field<MHIT, std::int32_t>{"iStopTime", &MHIT::iStopTime, 4, FieldKind::Integer},
    Field<MHIT, std::int32_t>{"iSoundCheck", &MHIT::iSoundCheck, 4, FieldKind::Integer},
    Field<MHIT, std::int32_t>{"iPlayCount", &MHIT::iPlayCount, 4, FieldKind::Integer},
    Field<MHIT, std::int32_t>{"iPlayCount2", &MHIT::iPlayCount2, 4, FieldKind::Integer},
    Field<MHIT, std::string>{"sLastPlayedTime", &MHIT::sLastPlayedTime, 4, FieldKind::Bytes},
    Field<MHIT, std::int32_t>{"iDiscNumber", &MHIT::iDiscNumber, 4, FieldKind::Integer},
    Field<MHIT, std::int32_t>{"iTotalDisks", &MHIT::iTotalDisks, 4, FieldKind::Integer},
    Field<MHIT, std::int32_t>{"iUserID", &MHIT::iUserID, 4, FieldKind::Integer},
    Field<MHIT, std::string>{"sDateAdded", &MHIT::sDateAdded, 4, FieldKind::Bytes},
    Field<MHIT, std::int32_t>{"iBookmarkTime", &MHIT::iBookmarkTime, 4, FieldKind::Integer},
    Field<MHIT, std::int64_t>{"iDB_ID", &MHIT::iDB_ID, 8, FieldKind::Integer},
    Field<MHIT, std::uint8_t>{"iCheck", &MHIT::iCheck, 1, FieldKind::Integer},
    Field<MHIT, std::uint8_t>{"iApplicationRating", &MHIT::iApplicationRating, 1, FieldKind::Integer},
    Field<MHIT, std::int16_t>{"iBPM", &MHIT::iBPM, 2, FieldKind::Integer},
    Field<MHIT, std::int16_t>{"iArtworkCount", &MHIT::iArtworkCount, 2, FieldKind::Integer},
    Field<MHIT, std::int16_t>{"iUnk1", &MHIT::iUnk1, 2, FieldKind::Integer},
    Field<MHIT, std::int32_t>{"iArtworkSize", &MHIT::iArtworkSize, 4, FieldKind::Integer},
    Field<MHIT, std::int32_t>{"iUnk2", &MHIT::iUnk2, 4, FieldKind::Integer},
    Field<MHIT, std::int32_t>{"iSampleRate2", &MHIT::iSampleRate2, 4, FieldKind::Integer},
    Field<MHIT, std::string>{"sDateReleased", &MHIT::sDateReleased, 4, FieldKind::Bytes},
    Field<MHIT, std::int16_t>{"iUnk3", &MHIT::iUnk3, 2, FieldKind::Integer},
    Field<MHIT, std::int16_t>{"iExplicitFlasg", &MHIT::iExplicitFlasg, 2, FieldKind::Integer},
    Field<MHIT, std::int32_t>{"iUnk4", &MHIT::iUnk4, 4, FieldKind::Integer},
    Field<MHIT, std::int32_t>{"iUnk5", &MHIT::iUnk5, 4, FieldKind::Integer},
    Field<MHIT, std::int32_t>{"iSkipCount", &MHIT::iSkipCount, 4, FieldKind::Integer},
    Field<MHIT, std::string>{"sLastSkipped", &MHIT::sLastSkipped, 4, FieldKind::Bytes},
    Field<MHIT, std::uint8_t>{"iHasArtwork", &MHIT::iHasArtwork, 1, FieldKind::Integer},
    Field<MHIT, std::uint8_t>{"iSkipWhenShuffle", &MHIT::iSkipWhenShuffle, 1, FieldKind::Integer},
    Field<MHIT, std::uint8_t>{"iRememPlaybackPos", &MHIT::iRememPlaybackPos, 1, FieldKind::Integer},
    Field<MHIT, std::uint8_t>{"iFlag2", &MHIT::iFlag2, 1, FieldKind::Integer},
    Field<MHIT, std::int64_t>{"iDB_ID2", &MHIT::iDB_ID2, 8, FieldKind::Integer},
    Field<MHIT, std::uint8_t>{"iLyricsFlag", &MHIT::iLyricsFlag, 1, FieldKind::Integer},
    Field<MHIT, std::uint8_t>{"iMovieFileFlag", &MHIT::iMovieFileFlag, 1, FieldKind::Integer},
    Field<MHIT, std::uint8_t>{"iPlayedMark", &MHIT::iPlayedMark, 1, FieldKind::Integer},
    Field<MHIT, std::uint8_t>{"iUnk6", &MHIT::iUnk6, 1, FieldKind::Integer},
    Field<MHIT, std::int32_t>{"iUnk7", &MHIT::iUnk7, 4, FieldKind::Integer},
    Field<MHIT, std::int32_t>{"iPreGap", &MHIT::iPreGap, 4, FieldKind::Integer},
    Field<MHIT, std::int64_t>{"iSampleCount", &MHIT::iSampleCount, 8, FieldKind::Integer},
    Field<MHIT, std::int32_t>{"iUnk8", &MHIT::iUnk8, 4, FieldKind::Integer},
    Field<MHIT, std::int32_t>{"iPostGap", &MHIT::iPostGap, 4, FieldKind::Integer},
    Field<MHIT, std::int32_t>{"iUnk9", &MHIT::iUnk9, 4, FieldKind::Integer},
    Field<MHIT, std::int32_t>{"iMediaType", &MHIT::iMediaType, 4, FieldKind::Integer},
    Field<MHIT, std::int32_t>{"iSeasonNumber", &MHIT::iSeasonNumber, 4, FieldKind::Integer},
    Field<MHIT, std::int32_t>{"iEpisodeNumber", &MHIT::iEpisodeNumber, 4, FieldKind::Integer},
    Field<MHIT, std::int32_t>{"iUnk10", &MHIT::iUnk10, 4, FieldKind::Integer},
    Field<MHIT, std::int32_t>{"iUnk11", &MHIT::iUnk11, 4, FieldKind::Integer},
    Field<MHIT, std::int32_t>{"iUnk12", &MHIT::iUnk12, 4, FieldKind::Integer},
    Field<MHIT, std::int32_t>{"iUnk13", &MHIT::iUnk13, 4, FieldKind::Integer},
    Field<MHIT, std::int32_t>{"iUnk14", &MHIT::iUnk14, 4, FieldKind::Integer},
    Field<MHIT, std::int32_t>{"iUnk15", &MHIT::iUnk15, 4, FieldKind::Integer},
    Field<MHIT, std::int32_t>{"iUnk16", &MHIT::iUnk16, 4, FieldKind::Integer},
    Field<MHIT, std::int32_t>{"iGaplessData", &MHIT::iGaplessData, 4, FieldKind::Integer},
    Field<MHIT, std::int32_t>{"iUnk17", &MHIT::iUnk17, 4, FieldKind::Integer},
    Field<MHIT, std::int16_t>{"iGaplessTrackFlag", &MHIT::iGaplessTrackFlag, 2, FieldKind::Integer},
    Field<MHIT, std::int16_t>{"iGaplessAlbumFlag", &MHIT::iGaplessAlbumFlag, 2, FieldKind::Integer},
    Field<MHIT, std::string>{"sUnk18", &MHIT::sUnk18, 20, FieldKind::Bytes},
    Field<MHIT, std::int32_t>{"iUnk19", &MHIT::iUnk19, 4, FieldKind::Integer},
    Field<MHIT, std::int32_t>{"iUnk20", &MHIT::iUnk20, 4, FieldKind::Integer},
    Field<MHIT, std::int32_t>{"iUnk21", &MHIT::iUnk21, 4, FieldKind::Integer},
    Field<MHIT, std::int32_t>{"iUnk22", &MHIT::iUnk22, 4, FieldKind::Integer},
    Field<MHIT, std::int16_t>{"iUnk23", &MHIT::iUnk23, 2, FieldKind::Integer},
    Field<MHIT, std::int16_t>{"iAlbumID", &MHIT::iAlbumID, 2, FieldKind::Integer},
    Field<MHIT, std::int32_t>{"iMHIILink", &MHIT::iMHIILink, 4, FieldKind::Integer});

// The fixed part of MHOD_S in file order.
inline constexpr auto kMHOD_SFields = std::make_tuple(
    Field<MHOD_S, std::u16string>{"sID", &MHOD_S::sID, 4, FieldKind::Magic},
    Field<MHOD_S, std::int32_t>{"iHeaderSize", &MHOD_S::iHeaderSize, 4, FieldKind::Integer},
    Field<MHOD_S, std::int32_t>{"iTotalSize", &MHOD_S::iTotalSize, 4, FieldKind::Integer},
    Field<MHOD_S, std::int32_t>{"iType", &MHOD_S::iType, 4, FieldKind::Integer},
    Field<MHOD_S, std::int32_t>{"iUnk1", &MHOD_S::iUnk1, 4, FieldKind::Integer},
    Field<MHOD_S, std::int32_t>{"iUnk2", &MHOD_S::iUnk2, 4, FieldKind::Integer},
    Field<MHOD_S, std::int32_t>{"iPosition", &MHOD_S::iPosition, 4, FieldKind::Integer},
    Field<MHOD_S, std::int32_t>{"iLength", &MHOD_S::iLength, 4, FieldKind::Integer},
    Field<MHOD_S, std::int32_t>{"iUnk3", &MHOD_S::iUnk3, 4, FieldKind::Integer},
    Field<MHOD_S, std::int32_t>{"iUnk4", &MHOD_S::iUnk4, 4, FieldKind::Integer});

// The fixed part of MHYP in file order.
inline constexpr auto kMHYPFields = std::make_tuple(
    Field<MHYP, std::u16string>{"sID", &MHYP::sID, 4, FieldKind::Magic},
    Field<MHYP, std::int32_t>{"iHeaderSize", &MHYP::iHeaderSize, 4, FieldKind::Integer},
    Field<MHYP, std::int32_t>{"iTotlaSize", &MHYP::iTotlaSize, 4, FieldKind::Integer},
    Field<MHYP, std::int32_t>{"iChildsCount", &MHYP::iChildsCount, 4, FieldKind::Integer},
    Field<MHYP, std::int32_t>{"iPlaylistItemsCount", &MHYP::iPlaylistItemsCount, 4, FieldKind::Integer},
    Field<MHYP, std::uint8_t>{"iIsMasterFLag", &MHYP::iIsMasterFLag, 1, FieldKind::Integer},
    Field<MHYP, std::string>{"sUnk1", &MHYP::sUnk1, 3, FieldKind::Bytes},
    Field<MHYP, std::string>{"sTimeStamp", &MHYP::sTimeStamp, 4, FieldKind::Bytes},
    Field<MHYP, std::string>{"sPerPlayListID", &MHYP::sPerPlayListID, 8, FieldKind::Bytes},
    Field<MHYP, std::int32_t>{"iUnk2", &MHYP::iUnk2, 4, FieldKind::Integer},
    Field<MHYP, std::int16_t>{"iMHODCount", &MHYP::iMHODCount, 2, FieldKind::Integer},
    Field<MHYP, std::int16_t>{"iPodCastFlag", &MHYP::iPodCastFlag, 2, FieldKind::Integer},
    Field<MHYP, std::int32_t>{"iListSortOrder", &MHYP::iListSortOrder, 4, FieldKind::Integer});

// The fixed part of MHIP in file order.
inline constexpr auto kMHIPFields = std::make_tuple(
    Field<MHIP, std::u16string>{"sID", &MHIP::sID, 4, FieldKind::Magic},
    Field<MHIP, std::int32_t>{"iHeaderSize", &MHIP::iHeaderSize, 4, FieldKind::Integer},
    Field<MHIP, std::int32_t>{"iTotalSize", &MHIP::iTotalSize, 4, FieldKind::Integer},
    Field<MHIP, std::int32_t>{"iChildCount", &MHIP::iChildCount, 4, FieldKind::Integer},
    Field<MHIP, std::int16_t>{"iPodCastGroupFlag", &MHIP::iPodCastGroupFlag, 2, FieldKind::Integer},
    Field<MHIP, std::uint8_t>{"iUnk1", &MHIP::iUnk1, 1, FieldKind::Integer},
    Field<MHIP, std::uint8_t>{"iUnk2", &MHIP::iUnk2, 1, FieldKind::Integer},
    Field<MHIP, std::int32_t>{"iGroupID", &MHIP::iGroupID, 4, FieldKind::Integer},
    Field<MHIP, std::int32_t>{"iTrackID", &MHIP::iTrackID, 4, FieldKind::Integer},
    Field<MHIP, std::string>{"sTimeStamp", &MHIP::sTimeStamp, 4, FieldKind::Bytes},
    Field<MHIP, std::string>{"sPodCastGroupRefrence", &MHIP::sPodCastGroupRefrence, 4, FieldKind::Bytes});

// The fixed part of MHOD_POE in file order.
inline constexpr auto kMHOD_POEFields = std::make_tuple(
    Field<MHOD_POE, std::u16string>{"sID", &MHOD_POE::sID, 4, FieldKind::Magic},
    Field<MHOD_POE, std::int32_t>{"iHeaderSize", &MHOD_POE::iHeaderSize, 4, FieldKind::Integer},
    Field<MHOD_POE, std::int32_t>{"iTotalSize", &MHOD_POE::iTotalSize, 4, FieldKind::Integer},
    Field<MHOD_POE, std::int32_t>{"iType", &MHOD_POE::iType, 4, FieldKind::Integer},
    Field<MHOD_POE, std::int32_t>{"iUnk1", &MHOD_POE::iUnk1, 4, FieldKind::Integer},
    Field<MHOD_POE, std::int32_t>{"iUnk2", &MHOD_POE::iUnk2, 4, FieldKind::Integer},
    Field<MHOD_POE, std::int32_t>{"iPosition", &MHOD_POE::iPosition, 4, FieldKind::Integer},
    Field<MHOD_POE, std::string>{"sUnk3", &MHOD_POE::sUnk3, 16, FieldKind::Bytes});

template <typename Fields, typename Visitor>
constexpr void forEachField(const Fields& fields, Visitor&& visit)
{
    std::apply([&](const auto&... field) { (visit(field), ...); }, fields);
}

// Bytes the fixed part of a chunk takes in the file.
template <typename Fields>
constexpr int fixedSize(const Fields& fields)
{
    int size = 0;
    forEachField(fields, [&](const auto& field) { size += field.width; });
    return size;
}

// Every integer field is as wide as the type that holds it.
template <typename Fields>
constexpr bool integerWidthsMatch(const Fields& fields)
{
    bool match = true;
    forEachField(fields, [&](const auto& field) {
        using T = typename std::remove_cvref_t<decltype(field)>::Value;
        if constexpr (std::is_integral_v<T>)
            match = match && field.width == static_cast<int>(sizeof(T));
    });
    return match;
}

static_assert(integerWidthsMatch(kMHBDFields) && integerWidthsMatch(kMHITFields) && integerWidthsMatch(kMHOD_SFields) &&
              integerWidthsMatch(kMHYPFields) && integerWidthsMatch(kMHIPFields) && integerWidthsMatch(kMHOD_POEFields));
static_assert(fixedSize(kMHBDFields) == 94);
static_assert(fixedSize(kMHITFields) == 304);
static_assert(fixedSize(kMHOD_SFields) == 40);
static_assert(fixedSize(kMHYPFields) == 48);
static_assert(fixedSize(kMHIPFields) == 36);
static_assert(fixedSize(kMHOD_POEFields) == 44);

}  // namespace sonarchive
