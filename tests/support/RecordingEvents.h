#pragma once

#include <sonarchive/clsSonarchiveEvents.h>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

// Records the library's events; a test may act on each one as it comes.
class RecordingEvents final : public sonarchive::clsSonarchiveEvents {
public:
    void CurrentStatus(const std::u16string& sStatus, std::int16_t iPercent) override
    {
        current.emplace_back(sStatus, iPercent);
        if (onCurrent)
            onCurrent(sStatus, iPercent);
    }
    void RebuildStatus(const std::u16string& sStatus) override
    {
        rebuild.push_back(sStatus);
        if (onRebuild)
            onRebuild(sStatus);
    }

    std::vector<std::pair<std::u16string, std::int16_t>> current;
    std::vector<std::u16string> rebuild;
    std::function<void(const std::u16string&, std::int16_t)> onCurrent;
    std::function<void(const std::u16string&)> onRebuild;
};

}  // namespace testsupport
