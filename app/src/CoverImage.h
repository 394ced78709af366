#pragma once

#include <sonarchive/Artwork.h>

#include <QImage>

#include <string>

namespace tracklift {

// A cover from the device as an image of its own.
QImage coverImage(const sonarchive::Cover& cover);

// A cover as the bytes of a JPEG file, written by Qt's image writer. Throws
// std::runtime_error when the writer fails.
std::string coverJpegBytes(const sonarchive::Cover& cover);

}  // namespace tracklift
