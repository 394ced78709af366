#pragma once

#include <sonarchive/TrackRecords.h>

namespace sonarchive {

// A string record in the usual layout: a 24-byte header, then the text right
// after the 40 bytes of fields. Records of other layouts (URLs, chapter data)
// are carried as the bytes they were read from.
inline bool hasStandardLayout(const MHOD_S& record)
{
    return record.iHeaderSize == 24 && static_cast<std::int64_t>(record.iTotalSize) == 40 + static_cast<std::int64_t>(record.iLength);
}

}  // namespace sonarchive
