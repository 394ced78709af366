#include "ByteSource.h"

#include "MediaError.h"

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sonarchive {

std::string ByteSource::readPadded(std::int64_t pos, std::int64_t count) const
{
    std::string bytes = read(pos, count);
    bytes.resize(static_cast<std::size_t>(std::max<std::int64_t>(count, 0)), '\0');
    return bytes;
}

std::string MemorySource::read(std::int64_t pos, std::int64_t count) const
{
    const auto size = static_cast<std::int64_t>(m_data.size());
    if (pos < 0 || count <= 0 || pos >= size)
        return {};
    return std::string(m_data.substr(static_cast<std::size_t>(pos), static_cast<std::size_t>(std::min(count, size - pos))));
}

std::unique_ptr<FileSource> FileSource::open(const std::filesystem::path& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<FileSource>(new FileSource(fd, static_cast<std::int64_t>(st.st_size)));
}

FileSource::~FileSource()
{
    ::close(m_fd);
}

std::string FileSource::read(std::int64_t pos, std::int64_t count) const
{
    if (pos < 0 || count <= 0 || pos >= m_size)
        return {};
    std::string bytes(static_cast<std::size_t>(std::min(count, m_size - pos)), '\0');
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pread(m_fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(pos) + static_cast<off_t>(done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw mediaerror::fromErrno(errno);
        }
        if (n == 0)
            break;  // the file shrank meanwhile
        done += static_cast<std::size_t>(n);
    }
    bytes.resize(done);
    return bytes;
}

}  // namespace sonarchive
