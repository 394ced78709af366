#include "RetryingRead.h"

#include "Error.h"

#include <cerrno>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

namespace sonarchive {

bool isDeviceGoneError(int error)
{
    return error == ENODEV || error == ENOTCONN || error == ENXIO || error == ESTALE || error == ECONNABORTED ||
           error == ESHUTDOWN || error == ENOMEDIUM;
}

bool isRetryableReadError(int error)
{
    return error == EIO || error == EAGAIN || error == ETIMEDOUT || error == EBUSY || error == EREMOTEIO ||
           error == ENOMEM || error == ENOBUFS;
}

namespace {

// Runs `attempt` (a system call: -1 with errno on failure) until it works or
// `retry` gives up; the last error when it did.
template <typename Attempt>
auto withRetries(const ReadRetry& retry, Attempt attempt, int& error)
{
    for (int tried = 0;;) {
        const auto result = attempt();
        if (result >= 0)
            return result;
        error = errno;
        if (error == EINTR)
            continue;
        ++tried;
        if (tried >= retry.attempts || !isRetryableReadError(error) || (retry.again && !retry.again(error)))
            return result;
        std::this_thread::sleep_for(retry.pause);
    }
}

}  // namespace

std::size_t readRetrying(int fd, char* buffer, std::size_t size, std::uint64_t offset, const ReadRetry& retry,
                         const std::string& what, const ReadFunction& read)
{
    int error = 0;
    const ssize_t got = withRetries(
        retry,
        [&] {
            return read ? read(fd, buffer, size, offset) : ::pread(fd, buffer, size, static_cast<off_t>(offset));
        },
        error);
    if (got < 0)
        throw systemError(error, what);
    return static_cast<std::size_t>(got);
}

int openRetrying(const std::filesystem::path& path, const ReadRetry& retry, const std::string& what,
                 const std::function<int(const std::filesystem::path&)>& open)
{
    int error = 0;
    const int fd = withRetries(
        retry, [&] { return open ? open(path) : ::open(path.c_str(), O_RDONLY | O_CLOEXEC); }, error);
    if (fd < 0)
        throw systemError(error, what);
    return fd;
}

}  // namespace sonarchive
