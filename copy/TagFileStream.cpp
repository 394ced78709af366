#include "TagFileStream.h"

#include <algorithm>
#include <cerrno>
#include <limits>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace trackcopy {

namespace {

constexpr std::size_t kMoveChunk = 1u << 20;

}  // namespace

TagFileStream::TagFileStream(const std::filesystem::path& path, Access access)
    : m_path(path.string()), m_writable(access == Access::ReadWrite)
{
    m_fd = ::open(m_path.c_str(), (m_writable ? O_RDWR : O_RDONLY) | O_CLOEXEC);
    if (m_fd < 0) {
        m_error = errno;
        return;
    }
    struct stat info {};
    if (::fstat(m_fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        m_error = errno ? errno : EINVAL;
        ::close(m_fd);
        m_fd = -1;
        return;
    }
    m_size = static_cast<long>(info.st_size);
    if (m_writable && m_size <= kInMemoryLimit) {
        m_bytes.resize(static_cast<std::size_t>(m_size));
        m_inMemory = getAt(m_bytes.data(), m_bytes.size(), 0);
        if (!m_inMemory)
            m_bytes.clear();
    }
}

TagFileStream::~TagFileStream()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void TagFileStream::fail(int error)
{
    if (!m_error)
        m_error = error ? error : EIO;
}

bool TagFileStream::getAt(char* data, std::size_t size, long offset)
{
    if (m_inMemory) {
        if (offset < 0 || offset + static_cast<long>(size) > m_size)
            return false;
        std::copy_n(m_bytes.data() + offset, size, data);
        return true;
    }
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = ::pread(m_fd, data + done, size - done, static_cast<off_t>(offset) + static_cast<off_t>(done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            fail(errno);
            return false;
        }
        if (got == 0)
            return false;
        done += static_cast<std::size_t>(got);
    }
    return true;
}

bool TagFileStream::putAt(const char* data, std::size_t size, long offset)
{
    if (m_error || !m_writable || offset < 0 || offset > m_size) {  // a write never leaves a hole
        fail(m_writable ? EINVAL : EBADF);
        return false;
    }
    if (m_inMemory) {
        const std::size_t end = static_cast<std::size_t>(offset) + size;
        if (end > m_bytes.size())
            m_bytes.resize(end, '\0');
        std::copy_n(data, size, m_bytes.data() + offset);
        m_size = std::max(m_size, static_cast<long>(end));
        changedInMemory(static_cast<std::size_t>(offset), end);
        return true;
    }
    return putOnDisk(data, size, offset);
}

bool TagFileStream::putOnDisk(const char* data, std::size_t size, long offset)
{
    m_written = true;
    std::size_t done = 0;
    while (done < size) {
        const ssize_t put = ::pwrite(m_fd, data + done, size - done, static_cast<off_t>(offset) + static_cast<off_t>(done));
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0) {
            fail(put < 0 ? errno : ENOSPC);
            return false;
        }
        done += static_cast<std::size_t>(put);
    }
    m_size = std::max(m_size, offset + static_cast<long>(size));
    return true;
}

TagLib::FileName TagFileStream::name() const
{
    return m_path.c_str();
}

TagLib::ByteVector TagFileStream::readBlock(unsigned long length)
{
    if (m_fd < 0 || m_position >= m_size)
        return {};
    const unsigned long available = static_cast<unsigned long>(m_size - m_position);
    const unsigned long wanted = std::min({length, available, static_cast<unsigned long>(std::numeric_limits<unsigned int>::max())});
    if (m_inMemory) {
        TagLib::ByteVector bytes(m_bytes.data() + m_position, static_cast<unsigned int>(wanted));
        m_position += static_cast<long>(wanted);
        return bytes;
    }
    TagLib::ByteVector bytes(static_cast<unsigned int>(wanted), '\0');
    std::size_t done = 0;
    while (done < wanted) {
        const ssize_t got = ::pread(m_fd, bytes.data() + done, wanted - done, static_cast<off_t>(m_position) + static_cast<off_t>(done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            if (got < 0)
                fail(errno);
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    bytes.resize(static_cast<unsigned int>(done));
    m_position += static_cast<long>(done);
    return bytes;
}

void TagFileStream::writeBlock(const TagLib::ByteVector& data)
{
    if (putAt(data.data(), data.size(), m_position))
        m_position += static_cast<long>(data.size());
}

bool TagFileStream::moveTail(long from, long to)
{
    const long tail = std::max(0L, m_size - from);
    if (tail == 0 || from == to)
        return true;
    std::vector<char> buffer(static_cast<std::size_t>(std::min<long>(tail, kMoveChunk)));
    const long chunk = static_cast<long>(buffer.size());
    if (to > from) {  // forward: from the end, so that nothing is overwritten before it is moved
        // The file first grows to its new size: the last bytes may go past its
        // end, where a write that would leave a hole is refused.
        truncate(m_size + (to - from));
        if (m_error)
            return false;
        for (long end = from + tail; end > from;) {
            const long begin = std::max(from, end - chunk);
            const auto size = static_cast<std::size_t>(end - begin);
            if (!getAt(buffer.data(), size, begin) || !putAt(buffer.data(), size, begin + (to - from)))
                return false;
            end = begin;
        }
    } else {
        for (long begin = from; begin < from + tail;) {
            const auto size = static_cast<std::size_t>(std::min(chunk, from + tail - begin));
            if (!getAt(buffer.data(), size, begin) || !putAt(buffer.data(), size, begin - (from - to)))
                return false;
            begin += static_cast<long>(size);
        }
    }
    return true;
}

void TagFileStream::insert(const TagLib::ByteVector& data, unsigned long start, unsigned long replace)
{
    if (m_inMemory && !m_error && m_writable) {
        const auto at = std::min(static_cast<std::size_t>(start), m_bytes.size());
        m_bytes.replace(at, std::min(static_cast<std::size_t>(replace), m_bytes.size() - at), data.data(), data.size());
        m_size = static_cast<long>(m_bytes.size());
        m_position = static_cast<long>(at + data.size());
        changedInMemory(at, data.size() == replace ? at + data.size() : std::string::npos);
        return;
    }
    const long at = static_cast<long>(start);
    const long size = static_cast<long>(data.size());
    const long replaced = static_cast<long>(replace);
    if (size > replaced && !moveTail(at + replaced, at + size))
        return;
    if (!putAt(data.data(), data.size(), at))
        return;
    m_position = at + size;
    if (size < replaced)
        removeBlock(static_cast<unsigned long>(at + size), static_cast<unsigned long>(replaced - size));
}

void TagFileStream::removeBlock(unsigned long start, unsigned long length)
{
    if (m_inMemory && !m_error && m_writable) {
        const auto at = std::min(static_cast<std::size_t>(start), m_bytes.size());
        m_bytes.erase(at, std::min(static_cast<std::size_t>(length), m_bytes.size() - at));
        m_size = static_cast<long>(m_bytes.size());
        changedInMemory(at, std::string::npos);
        return;
    }
    const long from = static_cast<long>(start + length);
    const long to = static_cast<long>(start);
    const long newSize = std::max(to, m_size - static_cast<long>(length));
    if (moveTail(from, to))
        truncate(newSize);
}

void TagFileStream::changedInMemory(std::size_t from, std::size_t to)
{
    m_dirtyFrom = std::min(m_dirtyFrom, from);
    m_dirtyTo = std::max(m_dirtyTo, to);  // npos: to the end, wherever that is now
}

bool TagFileStream::flush()
{
    if (!m_inMemory || m_dirtyFrom == std::string::npos)
        return !m_error;
    const std::size_t from = std::min(m_dirtyFrom, m_bytes.size());
    const std::size_t to = std::min(m_dirtyTo, m_bytes.size());
    const bool resized = m_dirtyTo == std::string::npos;
    m_dirtyFrom = std::string::npos;
    m_dirtyTo = 0;
    if (to > from && !putOnDisk(m_bytes.data() + from, to - from, static_cast<long>(from)))
        return false;
    if (resized && ::ftruncate(m_fd, static_cast<off_t>(m_bytes.size())) != 0) {
        m_written = true;
        fail(errno);
        return false;
    }
    return true;
}

bool TagFileStream::readOnly() const
{
    return !m_writable;
}

bool TagFileStream::isOpen() const
{
    return m_fd >= 0;
}

void TagFileStream::seek(long offset, Position p)
{
    const long base = p == Beginning ? 0 : p == Current ? m_position : m_size;
    m_position = std::max(0L, base + offset);
}

long TagFileStream::tell() const
{
    return m_position;
}

long TagFileStream::length()
{
    return m_size;
}

void TagFileStream::truncate(long length)
{
    if (m_error || !m_writable) {
        fail(EBADF);
        return;
    }
    if (m_inMemory) {
        const std::size_t before = m_bytes.size();
        m_bytes.resize(static_cast<std::size_t>(std::max(0L, length)), '\0');
        m_size = static_cast<long>(m_bytes.size());
        changedInMemory(std::min(before, m_bytes.size()), std::string::npos);
        return;
    }
    m_written = true;
    if (::ftruncate(m_fd, static_cast<off_t>(length)) != 0) {
        fail(errno);
        return;
    }
    m_size = length;
}

}  // namespace trackcopy
