#pragma once

#include "DiskInventory.h"

#include <string>

namespace sonarchive {

// The disk-drive caption that marks the device.
inline constexpr std::u16string_view kDeviceCaption = u"Apple iPod USB Device";

struct DeviceDriveMatch {
    bool deviceFound = false;   // a disk with the device's caption exists
    std::u16string driveRoot;   // its mounted volume's root ("/media/IPOD/"), or empty
};

// Finds the device's drive root in the inventory. Every disk with the device's
// caption is followed to every mounted volume of its partitions; there is no early
// exit, so the last association enumerated wins.
DeviceDriveMatch matchDeviceDrive(const DiskInventory& inventory);

}  // namespace sonarchive
