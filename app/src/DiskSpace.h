#pragma once

#include <QString>

#include <cstdint>
#include <functional>

namespace tracklift {

// Size and free bytes of the volume holding a folder; both 0 when the query fails.
struct VolumeFigures {
    std::uint64_t total = 0;
    std::uint64_t free = 0;
};

VolumeFigures queryVolume(const QString& root);

using VolumeQuery = std::function<VolumeFigures(const QString& root)>;

}  // namespace tracklift
