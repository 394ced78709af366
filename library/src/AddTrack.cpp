#include "clsSonarchive.h"

namespace sonarchive {

// Adding tracks is not built yet: nothing is added.
std::int32_t clsSonarchive::AddTrack(const std::u16string&, TrackInfo&, bool, const std::u16string&, bool, std::int32_t)
{
    return 0;
}

}  // namespace sonarchive
