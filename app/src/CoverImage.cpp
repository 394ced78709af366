#include "CoverImage.h"

#include <QBuffer>
#include <QImageWriter>

#include <stdexcept>

namespace tracklift {

QImage coverImage(const sonarchive::Cover& cover)
{
    if (cover.width <= 0 || cover.height <= 0 || cover.rgb.size() != std::size_t(cover.width) * cover.height * 3)
        return {};
    // Over the cover's own pixels, then copied, so the image outlives them.
    return QImage(cover.rgb.data(), cover.width, cover.height, cover.width * 3, QImage::Format_RGB888).copy();
}

std::string coverJpegBytes(const sonarchive::Cover& cover)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(90);
    if (!writer.write(coverImage(cover)))
        throw std::runtime_error("the picture could not be made into JPEG: " + writer.errorString().toStdString());
    return bytes.toStdString();
}

}  // namespace tracklift
