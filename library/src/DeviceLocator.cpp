#include "clsSonarchive.h"

namespace sonarchive {

// Drive detection is not built yet: no drive is found.
void clsSonarchive::DetectiPodDrive(std::int32_t, const std::u16string&)
{
    siPodDrive.clear();
}

std::u16string clsSonarchive::GetiPodDriveString(std::int32_t, const std::u16string&, bool)
{
    siPodDrive.clear();
    return siPodDrive;
}

}  // namespace sonarchive
