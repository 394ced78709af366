#include "ThumbnailPixels.h"

#include "ByteReader.h"

#include <algorithm>
#include <limits>

namespace sonarchive {

bool holds16BitPixels(std::uint32_t size, std::uint16_t width, std::uint16_t height)
{
    return width > 0 && height > 0 && std::uint64_t(size) >= std::uint64_t(width) * height * 2;
}

Cover decodeRgb565(std::string_view bytes, std::uint16_t width, std::uint16_t height)
{
    if (!holds16BitPixels(static_cast<std::uint32_t>(std::min<std::size_t>(bytes.size(), std::numeric_limits<std::uint32_t>::max())), width, height))
        ByteReader::failAt(0, "a picture of " + std::to_string(bytes.size()) + " bytes can't hold " + std::to_string(width) + "x" +
                                  std::to_string(height) + " pixels of 16 bits");
    Cover cover;
    cover.width = width;
    cover.height = height;
    cover.rgb.resize(std::size_t(width) * height * 3);
    const std::size_t rowBytes = bytes.size() / height;
    ByteReader reader(bytes);
    std::uint8_t* out = cover.rgb.data();
    for (std::uint16_t y = 0; y < height; ++y) {
        const std::string_view row = reader.span(rowBytes, "picture row");
        for (std::size_t x = 0; x < width; ++x) {
            const unsigned pixel = static_cast<std::uint8_t>(row[2 * x]) | unsigned(static_cast<std::uint8_t>(row[2 * x + 1])) << 8;
            const unsigned red = pixel >> 11, green = pixel >> 5 & 0x3f, blue = pixel & 0x1f;
            *out++ = static_cast<std::uint8_t>(red << 3 | red >> 2);
            *out++ = static_cast<std::uint8_t>(green << 2 | green >> 4);
            *out++ = static_cast<std::uint8_t>(blue << 3 | blue >> 2);
        }
    }
    return cover;
}

}  // namespace sonarchive
