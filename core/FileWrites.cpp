#include "FileWrites.h"

#include "Error.h"

#include <cerrno>
#include <unistd.h>

namespace sonarchive {

namespace {

std::function<void(const char*)>& faultHook()
{
    static std::function<void(const char*)> hook;
    return hook;
}

// A write that wrote nothing is a full device.
[[noreturn]] void failWrite(ssize_t wrote, const std::string& name)
{
    throw systemError(wrote == 0 ? ENOSPC : errno, "cannot write " + name);
}

}  // namespace

void setFileFaultHook(std::function<void(const char* step)> hook)
{
    faultHook() = std::move(hook);
}

void fileFaultPoint(const char* step)
{
    if (faultHook())
        faultHook()(step);
}

void writeAll(int fd, std::string_view bytes, const std::string& name)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        fileFaultPoint("write");
        const ssize_t wrote = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            failWrite(wrote, name);
        done += static_cast<std::size_t>(wrote);
    }
}

void writeAllAt(int fd, std::string_view bytes, std::int64_t offset, const std::string& name)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        fileFaultPoint("write");
        const ssize_t wrote = ::pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(offset) + static_cast<off_t>(done));
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            failWrite(wrote, name);
        done += static_cast<std::size_t>(wrote);
    }
}

}  // namespace sonarchive
