#include "CoverEncoding.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include <jpeglib.h>
#include <png.h>

namespace trackcopy {

using sonarchive::Cover;

namespace {

void checkCover(const Cover& cover)
{
    if (cover.width <= 0 || cover.height <= 0 || cover.rgb.size() != std::size_t(cover.width) * cover.height * 3)
        throw std::runtime_error("no picture to encode");
}

// libjpeg reports errors through this; it must not return, so it jumps back to
// the encoder with the library's words.
struct JpegErrors {
    jpeg_error_mgr manager;
    std::jmp_buf back;
    char message[JMSG_LENGTH_MAX];
};

extern "C" void jpegFailed(j_common_ptr info)
{
    auto* errors = reinterpret_cast<JpegErrors*>(info->err);
    (*info->err->format_message)(info, errors->message);
    std::longjmp(errors->back, 1);
}

// The encoding itself holds only plain values, so jumping out of it skips no destructor.
bool jpegInto(const Cover& cover, int quality, unsigned char*& data, unsigned long& size, JpegErrors& errors)
{
    jpeg_compress_struct info{};
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = jpegFailed;
    if (setjmp(errors.back)) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &data, &size);
    info.image_width = static_cast<JDIMENSION>(cover.width);
    info.image_height = static_cast<JDIMENSION>(cover.height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    const auto stride = static_cast<std::size_t>(cover.width) * 3;
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(cover.rgb.data() + info.next_scanline * stride);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

extern "C" void pngWrite(png_structp png, png_bytep data, png_size_t length)
{
    static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), length);
}

extern "C" void pngFlush(png_structp) {}

extern "C" void pngFailed(png_structp png, png_const_charp message)
{
    std::snprintf(static_cast<char*>(png_get_error_ptr(png)), 200, "%s", message);
    png_longjmp(png, 1);
}

bool pngInto(const Cover& cover, std::string& out, char* message)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, message, pngFailed, nullptr);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, &out, pngWrite, pngFlush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(cover.width), static_cast<png_uint_32>(cover.height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const auto stride = static_cast<std::size_t>(cover.width) * 3;
    for (int y = 0; y < cover.height; ++y)
        png_write_row(png, cover.rgb.data() + std::size_t(y) * stride);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

std::string encodeJpeg(const Cover& cover, int quality)
{
    checkCover(cover);
    unsigned char* data = nullptr;
    unsigned long size = 0;
    JpegErrors errors{};
    const bool encoded = jpegInto(cover, quality, data, size, errors);
    std::string out = encoded ? std::string(reinterpret_cast<const char*>(data), size) : std::string();
    std::free(data);
    if (!encoded)
        throw std::runtime_error(std::string("the JPEG encoder failed: ") + errors.message);
    return out;
}

std::string encodePng(const Cover& cover)
{
    checkCover(cover);
    std::string out;
    char message[200] = "out of memory";
    if (!pngInto(cover, out, message))
        throw std::runtime_error(std::string("the PNG encoder failed: ") + message);
    return out;
}

}  // namespace trackcopy
