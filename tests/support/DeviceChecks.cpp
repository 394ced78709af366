#include "DeviceChecks.h"

#include "DatabaseBuilder.h"

namespace testsupport {

std::string sizeMismatch(const std::string& image)
{
    if (image.size() < 24 || image.compare(0, 4, "mhbd") != 0)
        return "no database header";
    if (static_cast<std::size_t>(readI32(image, 8)) != image.size())
        return "file size field " + std::to_string(readI32(image, 8)) + " for " + std::to_string(image.size()) + " bytes";
    std::size_t pos = static_cast<std::size_t>(readI32(image, 4));
    const std::int32_t sections = readI32(image, 20);
    for (std::int32_t s = 0; s < sections; ++s) {
        const std::size_t start = pos;
        const auto header = static_cast<std::size_t>(readI32(image, start + 4));
        const auto total = static_cast<std::size_t>(readI32(image, start + 8));
        const std::int32_t type = readI32(image, start + 12);
        const std::size_t end = start + total;
        if (end > image.size())
            return "section " + std::to_string(type) + " runs past the file";
        const std::size_t list = start + header;
        const std::int32_t count = readI32(image, list + 8);
        std::size_t at = list + static_cast<std::size_t>(readI32(image, list + 4));
        for (std::int32_t i = 0; (type == 1 || type == 2 || type == 3) && i < count; ++i)
            at += static_cast<std::size_t>(readI32(image, at + 8));  // a track's or a playlist's total size
        if ((type == 1 || type == 2 || type == 3) && at != end)
            return "section " + std::to_string(type) + ": its records end at " + std::to_string(at) + ", its size says " +
                   std::to_string(end);
        pos = end;
    }
    if (pos != image.size())
        return "sections end at " + std::to_string(pos) + " of " + std::to_string(image.size());
    return {};
}

}  // namespace testsupport
