#pragma once

#include <sonarchive/TrackRecords.h>

#include <algorithm>
#include <cstdint>
#include <unordered_map>

namespace sonarchive {

// Position of the first valid track with each identifier, built on first use
// after a change, so looking tracks up one by one stays linear overall.
class TrackIndex {
public:
    void invalidate() { m_valid = false; }

    // Index into list.m_mhit of the first track (among the valid entries) with
    // the identifier, or -1.
    std::int64_t find(const MHLT& list, std::int32_t id)
    {
        if (!m_valid) {
            m_first.clear();
            const std::int64_t count = std::min<std::int64_t>(list.iNumberOfllTracks, static_cast<std::int64_t>(list.m_mhit.size()));
            m_first.reserve(static_cast<std::size_t>(std::max<std::int64_t>(count, 0)));
            for (std::int64_t i = 0; i < count; ++i)
                m_first.try_emplace(list.m_mhit[static_cast<std::size_t>(i)].iUniqueID, i);
            m_valid = true;
        }
        const auto it = m_first.find(id);
        return it == m_first.end() ? -1 : it->second;
    }

private:
    bool m_valid = false;
    std::unordered_map<std::int32_t, std::int64_t> m_first;
};

}  // namespace sonarchive
