#pragma once

#include <sonarchive/TrackRecords.h>

#include <algorithm>
#include <cstdint>
#include <optional>

namespace sonarchive {

// What adding a track needs to know about the tracks already there: the highest
// identifier and the library id of the first track that has one. Scanned once
// after a load and kept current as tracks are appended or deleted, so adding a
// track to a large database does not walk every track again.
class TrackIdentity {
public:
    void invalidate() { m_valid = false; }

    void build(const MHLT& list)
    {
        m_highestID = 0;
        m_libraryID.reset();
        const std::int64_t count = std::min<std::int64_t>(list.iNumberOfllTracks, static_cast<std::int64_t>(list.m_mhit.size()));
        for (std::int64_t i = 0; i < count; ++i) {
            const MHIT& track = list.m_mhit[static_cast<std::size_t>(i)];
            m_highestID = std::max(m_highestID, track.iUniqueID);
            if (!m_libraryID && track.iDB_ID != 0)
                m_libraryID = track.iDB_ID;
        }
        m_valid = true;
    }

    // The highest identifier above 0 among the tracks, 0 when there is none.
    std::int32_t highestID(const MHLT& list)
    {
        if (!m_valid)
            build(list);
        return m_highestID;
    }

    // The first non-zero library id of the tracks in list order, if any.
    std::optional<std::int64_t> libraryID(const MHLT& list)
    {
        if (!m_valid)
            build(list);
        return m_libraryID;
    }

    // A track was appended after every other.
    void added(std::int32_t id, std::int64_t libraryId)
    {
        if (!m_valid)
            return;
        m_highestID = std::max(m_highestID, id);
        if (!m_libraryID && libraryId != 0)
            m_libraryID = libraryId;
    }

    // A track lost its identifier (deleted in memory): only the highest matters.
    void removed(std::int32_t id)
    {
        if (m_valid && id == m_highestID)
            m_valid = false;
    }

private:
    bool m_valid = false;
    std::int32_t m_highestID = 0;
    std::optional<std::int64_t> m_libraryID;
};

}  // namespace sonarchive
