#pragma once

#include "TrackRecords.h"

#include <cstdint>
#include <string>
#include <vector>

namespace sonarchive {

// Further data record of a playlist (every record after the title), held whole.
struct MHOD_PCD {
    std::u16string sID;
    std::int32_t iHeaderSize = 0;
    std::int32_t iTotalSize = 0;
    std::int32_t iType = 0;
    RawBytes sAllMHOD;
};

// Playlist item ("mhip").
struct MHIP {
    std::u16string sID;
    std::int32_t iHeaderSize = 0;
    std::int32_t iTotalSize = 0;
    std::int32_t iChildCount = 0;
    std::int16_t iPodCastGroupFlag = 0;
    std::uint8_t iUnk1 = 0;
    std::uint8_t iUnk2 = 0;
    std::int32_t iGroupID = 0;
    std::int32_t iTrackID = 0;  // the track's iUniqueID; -1 marks an item removed in memory
    std::string sTimeStamp;     // 4 bytes
    std::string sPodCastGroupRefrence;  // 4 bytes
    RawBytes sHeaderData;       // the item header as read (empty for items the library creates)
    RawBytes sMoreRecords;      // data records after the first, as read, for an item that has several
};

// The data record after an item (items of early devices have none: their
// iChildCount is 0 and this record stays empty).
struct MHOD_POE {
    std::u16string sID;
    std::int32_t iHeaderSize = 0;
    std::int32_t iTotalSize = 0;
    std::int32_t iType = 0;
    std::int32_t iUnk1 = 0;
    std::int32_t iUnk2 = 0;
    std::int32_t iPosition = 0;
    std::string sUnk3;         // 16 bytes
    RawBytes sAllMHOD;
};

// Playlist ("mhyp").
struct MHYP {
    std::u16string sID;
    std::int32_t iHeaderSize = 0;
    std::int32_t iTotlaSize = 0;
    std::int32_t iChildsCount = 0;
    std::int32_t iPlaylistItemsCount = 0;  // valid entries of m_mhip and m_mhod_poe
    std::uint8_t iIsMasterFLag = 0;
    std::string sUnk1;         // 3 bytes
    std::string sTimeStamp;    // 4 bytes
    std::string sPerPlayListID;  // 8 bytes
    std::int32_t iUnk2 = 0;
    std::int16_t iMHODCount = 0;
    std::int16_t iPodCastFlag = 0;
    std::int32_t iListSortOrder = 0;
    RawBytes sAllData;
    MHOD_S m_mhod_s;           // the title record
    std::vector<MHOD_PCD> m_mhod_pcd;
    std::vector<MHIP> m_mhip;
    std::vector<MHOD_POE> m_mhod_poe;
    std::int32_t iMHYPs2Delete = 0;
};

// Playlist list ("mhlp").
struct MHLP {
    std::u16string sID;
    std::int32_t iHeaderSize = 0;
    std::int32_t iNumberOfPlaylists = 0;
    RawBytes sHeaderData;
    std::vector<MHYP> m_mhyp;
};

// Playlist or podcast section (types 2 and 3).
struct MHSD_P : SectionHead {
    MHLP m_mhlp;
};

}  // namespace sonarchive
