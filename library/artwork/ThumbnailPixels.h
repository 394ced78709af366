#pragma once

#include <sonarchive/Artwork.h>

#include <cstdint>
#include <string_view>

namespace sonarchive {

// Whether a picture of `size` bytes holds `width` x `height` pixels of 16
// bits: at least two bytes a pixel, any rest of a row being padding. Photo and
// TV formats hold fewer (or other) bytes and don't.
bool holds16BitPixels(std::uint32_t size, std::uint16_t width, std::uint16_t height);

// Decodes a cover picture: RGB565 pixels, little-endian, row after row, each
// row taking size / height bytes (the bytes past width x 2 are padding). Each
// 5- or 6-bit channel becomes 8 bits by repeating its top bits below it, so
// black stays 0 and full intensity becomes 255. Throws FormatError when
// `bytes` does not hold the rows.
Cover decodeRgb565(std::string_view bytes, std::uint16_t width, std::uint16_t height);

}  // namespace sonarchive
