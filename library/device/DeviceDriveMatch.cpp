#include "DeviceDriveMatch.h"

#include "AsciiCase.h"

#include <algorithm>
#include <optional>

namespace sonarchive {

namespace {

// The disk number at the end of a disk drive's name ("\\.\PHYSICALDRIVE12" -> 12).
std::optional<std::uint64_t> diskNumberOf(std::u16string_view name)
{
    std::size_t start = name.size();
    while (start > 0 && name[start - 1] >= u'0' && name[start - 1] <= u'9')
        --start;
    const std::size_t digits = name.size() - start;
    if (digits == 0 || digits > 18)
        return std::nullopt;
    std::uint64_t number = 0;
    for (std::size_t i = start; i < name.size(); ++i)
        number = number * 10 + static_cast<std::uint64_t>(name[i] - u'0');
    return number;
}

std::u16string asciiText(const std::string& text)
{
    return std::u16string(text.begin(), text.end());
}

}  // namespace

DeviceDriveMatch matchDeviceDrive(const DiskInventory& inventory)
{
    DeviceDriveMatch match;
    for (const DiskDrive& drive : inventory.diskDrives()) {
        if (drive.Caption != kDeviceCaption)
            continue;
        match.deviceFound = true;
        const std::optional<std::uint64_t> disk = diskNumberOf(drive.Name);
        if (!disk)
            continue;
        // The whole number with the comma after it: "Disk #1," never matches disk 12.
        const std::u16string reference = u"Disk #" + asciiText(std::to_string(*disk)) + u",";
        for (const LogicalDiskToPartition& association : inventory.logicalDiskToPartitions()) {
            if (!containsAsciiNoCase(association.Antecedent, reference))
                continue;
            const std::u16string volume = logicalDiskIdentifier(association.Dependent);
            if (volume.empty())
                continue;
            match.driveRoot = volume.back() == u'/' ? volume : volume + u'/';
        }
    }
    return match;
}

}  // namespace sonarchive
