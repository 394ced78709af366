#include "clsSonarchive.h"

namespace sonarchive {

// Media analysis is not built yet: no file is analysed.
bool clsSonarchive::SetTrackInfo(const std::u16string&, TrackInfo&)
{
    return false;
}

}  // namespace sonarchive
