#include "clsSonarchive.h"

#include <stdexcept>

namespace sonarchive {

bool clsSonarchive::ModifyTrack(std::int32_t&, TrackInfo&)
{
    throw std::logic_error("track editing is not available in this build");
}

void clsSonarchive::DeleteTrack(std::int32_t&)
{
    throw std::logic_error("track editing is not available in this build");
}

}  // namespace sonarchive
