#pragma once

#include <sonarchive/Artwork.h>

#include <string>

namespace trackcopy {

// A cover as the bytes of an image file: JPEG (libjpeg-turbo) or PNG (libpng),
// 8-bit RGB. Throws std::runtime_error when the encoder fails or the cover is
// empty.
std::string encodeJpeg(const sonarchive::Cover& cover, int quality = 90);
std::string encodePng(const sonarchive::Cover& cover);

}  // namespace trackcopy
