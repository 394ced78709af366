#include "DiskInventory.h"

#include <sonarchive/ByteText.h>

namespace sonarchive {

std::u16string diskPartitionReference(std::uint32_t disk, std::uint32_t partition)
{
    return fromUtf8("\\\\localhost\\root\\cimv2:Win32_DiskPartition.DeviceID=\"Disk #" + std::to_string(disk)
                    + ", Partition #" + std::to_string(partition) + "\"");
}

std::u16string logicalDiskReference(std::u16string_view deviceId)
{
    std::u16string text = u"\\\\localhost\\root\\cimv2:Win32_LogicalDisk.DeviceID=\"";
    for (const char16_t c : deviceId) {
        if (c == u'\\' || c == u'"')
            text += u'\\';
        text += c;
    }
    text += u'"';
    return text;
}

std::u16string logicalDiskIdentifier(std::u16string_view dependent)
{
    // The class part before the value holds no '="', so the first one opens the value.
    // (Searching for the last "=" instead would cut a mount point that has one.)
    const auto open = dependent.find(u"=\"");
    if (open == std::u16string_view::npos)
        return {};
    std::u16string value;
    for (std::size_t i = open + 2; i < dependent.size(); ++i) {
        const char16_t c = dependent[i];
        if (c == u'"')
            return value;
        if (c == u'\\' && i + 1 < dependent.size())
            ++i;
        value += dependent[i];
    }
    return {};  // no closing quote
}

}  // namespace sonarchive
