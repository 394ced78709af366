#pragma once

#include <sonarchive/TrackRecords.h>

#include <algorithm>
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace sonarchive {

// Where the tracks with each identifier stand among the valid entries of the
// track list, so looking tracks up one by one stays linear overall. Built on
// first use after invalidate(); edits keep it current with moved()/added().
class TrackIndex {
public:
    void invalidate() { m_valid = false; }

    // Index of the first track with the identifier, or -1.
    std::int64_t find(const MHLT& list, std::int32_t id)
    {
        build(list);
        const auto it = m_slots.find(id);
        return it == m_slots.end() ? -1 : it->second.first;
    }

    // The track at `index` changed its identifier from `from` to `to`.
    void moved(std::int64_t index, std::int32_t from, std::int32_t to)
    {
        if (!m_valid)
            return;
        remove(index, from);
        add(index, to);
    }

    // A track was appended at `index`.
    void added(std::int64_t index, std::int32_t id)
    {
        if (m_valid)
            add(index, id);
    }

private:
    struct Slots {
        std::int64_t first = -1;
        std::vector<std::int64_t> rest;  // later occurrences, in order; empty for almost every id
    };

    void build(const MHLT& list)
    {
        if (m_valid)
            return;
        m_slots.clear();
        const std::int64_t count = std::min<std::int64_t>(list.iNumberOfllTracks, static_cast<std::int64_t>(list.m_mhit.size()));
        m_slots.reserve(static_cast<std::size_t>(std::max<std::int64_t>(count, 0)));
        for (std::int64_t i = 0; i < count; ++i)
            add(i, list.m_mhit[static_cast<std::size_t>(i)].iUniqueID);
        m_valid = true;
    }

    void add(std::int64_t index, std::int32_t id)
    {
        auto [it, inserted] = m_slots.try_emplace(id);
        Slots& s = it->second;
        if (inserted) {
            s.first = index;
        } else if (index < s.first) {
            s.rest.insert(s.rest.begin(), s.first);
            s.first = index;
        } else {
            s.rest.insert(std::upper_bound(s.rest.begin(), s.rest.end(), index), index);
        }
    }

    void remove(std::int64_t index, std::int32_t id)
    {
        const auto it = m_slots.find(id);
        if (it == m_slots.end())
            return;
        Slots& s = it->second;
        if (s.first == index) {
            if (s.rest.empty()) {
                m_slots.erase(it);
                return;
            }
            s.first = s.rest.front();
            s.rest.erase(s.rest.begin());
        } else {
            std::erase(s.rest, index);
        }
    }

    bool m_valid = false;
    std::unordered_map<std::int32_t, Slots> m_slots;
};

}  // namespace sonarchive
