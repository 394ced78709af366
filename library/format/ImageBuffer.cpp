#include "ImageBuffer.h"

#include "Error.h"
#include "FileWrites.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace sonarchive {

ImageBuffer::ImageBuffer(int fd, std::string name, std::size_t window) : m_fd(fd), m_name(std::move(name))
{
    moveTo(std::max<std::size_t>(window, 1));
}

ImageBuffer::~ImageBuffer()
{
    releaseLargeBlock(m_block);
}

void ImageBuffer::write(std::int64_t pos, std::string_view bytes)
{
    if (bytes.empty())
        return;
    // A block larger than the window, appended (a section held whole): straight
    // to the file, not through the window.
    if (streamed() && bytes.size() > m_block.size && pos == m_size) {
        applyPatch();
        if (pos + static_cast<std::int64_t>(bytes.size()) > kLimit)
            throw Error(FailureCode::TooLarge, "database record placed outside the file: offset " + std::to_string(pos));
        flushTo(m_size);
        writeAll(m_fd, bytes, m_name);
        m_size += static_cast<std::int64_t>(bytes.size());
        m_windowStart = m_size;
        return;
    }
    std::memcpy(at(pos, bytes.size()), bytes.data(), bytes.size());
}

char* ImageBuffer::at(std::int64_t pos, std::size_t count)
{
    applyPatch();
    if (pos < 0 || pos + static_cast<std::int64_t>(count) > kLimit)
        throw Error(FailureCode::TooLarge, "database record placed outside the file: offset " + std::to_string(pos));
    const std::int64_t end = pos + static_cast<std::int64_t>(count);
    if (!streamed()) {
        if (static_cast<std::size_t>(end) > m_block.size)
            moveTo(std::max(static_cast<std::size_t>(end), m_block.size * 2));
        // Mapped storage is zero beyond what was written (the image never shrinks).
        if (end > m_size && !m_block.mapped)
            std::memset(m_block.data + m_size, 0, static_cast<std::size_t>(end - m_size));
        m_size = std::max(m_size, end);
        return m_block.data + pos;
    }
    if (pos < m_windowStart) {
        // Behind the window, already in the file: kept until its place is written.
        if (end > m_windowStart)
            makeRoom(m_windowStart, static_cast<std::size_t>(end - m_windowStart));
        m_size = std::max(m_size, end);
        m_patch.assign(count, '\0');
        m_patchAt = pos;
        return m_patch.data();
    }
    makeRoom(pos, count);
    if (end > m_size) {  // the window holds what it held before beyond the image's end: zero it
        const std::int64_t from = std::max(m_size, m_windowStart) - m_windowStart;
        std::memset(m_block.data + from, 0, static_cast<std::size_t>(end - m_windowStart - from));
        m_size = end;
    }
    return m_block.data + (pos - m_windowStart);
}

void ImageBuffer::reserve(std::size_t size)
{
    if (!streamed() && size > m_block.size)
        moveTo(size);
}

void ImageBuffer::finish()
{
    if (!streamed())
        return;
    applyPatch();
    flushTo(m_size);
}

void ImageBuffer::applyPatch()
{
    if (m_patchAt < 0)
        return;
    const std::int64_t pos = m_patchAt;
    m_patchAt = -1;
    const auto inFile = static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(m_patch.size()), m_windowStart - pos));
    writeAllAt(m_fd, std::string_view(m_patch.data(), inFile), pos, m_name);
    if (inFile < m_patch.size())  // the part that reaches into the window
        std::memcpy(m_block.data, m_patch.data() + inFile, m_patch.size() - inFile);
}

// The window covers [pos, pos + count) afterwards: what lies before pos goes to
// the file, and a gap past the image's end is written as zeros.
void ImageBuffer::makeRoom(std::int64_t pos, std::size_t count)
{
    const auto capacity = static_cast<std::int64_t>(m_block.size);
    if (pos + static_cast<std::int64_t>(count) <= m_windowStart + capacity)
        return;
    flushTo(std::min(pos, m_size));
    if (pos > m_size) {
        static const std::string zeros(1 << 16, '\0');
        for (std::int64_t left = pos - m_size; left > 0; left -= static_cast<std::int64_t>(zeros.size()))
            writeAll(m_fd, std::string_view(zeros).substr(0, static_cast<std::size_t>(std::min<std::int64_t>(left, zeros.size()))), m_name);
        m_size = pos;
        m_windowStart = pos;
    }
    if (count > m_block.size)
        moveTo(count);
}

void ImageBuffer::flushTo(std::int64_t end)
{
    const auto used = static_cast<std::size_t>(m_size - m_windowStart);
    const auto shift = static_cast<std::size_t>(end - m_windowStart);
    if (shift == 0)
        return;
    writeAll(m_fd, std::string_view(m_block.data, shift), m_name);
    std::memmove(m_block.data, m_block.data + shift, used - shift);
    m_windowStart = end;
}

void ImageBuffer::moveTo(std::size_t capacity)
{
    const LargeBlock block = allocateLargeBlock(capacity);
    const auto used = static_cast<std::size_t>(m_size - m_windowStart);
    if (used)
        std::memcpy(block.data, m_block.data, used);
    if (!block.mapped)
        std::memset(block.data + used, 0, block.size - used);
    releaseLargeBlock(m_block);
    m_block = block;
}

}  // namespace sonarchive
