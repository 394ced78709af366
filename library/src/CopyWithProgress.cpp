#include "CopyWithProgress.h"
#include "FileDescriptor.h"

#include <cerrno>
#include <memory>
#include <string>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sonarchive {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kChunk = 4 << 20;  // large enough for full speed, small enough to stay responsive

[[noreturn]] void fail(int error, const std::string& what)
{
    throw std::system_error(error, std::generic_category(), what);
}


// One chunk from `in` to `out`: in the kernel where the file systems allow,
// else through the buffer. Returns the bytes copied, 0 at the end of the source.
std::size_t copyChunk(int in, int out, std::unique_ptr<char[]>& buffer, bool& inKernel)
{
    if (inKernel) {
        const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, kChunk, 0);
        if (n >= 0)
            return static_cast<std::size_t>(n);
        if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP && errno != EPERM)
            fail(errno, "cannot copy");
        inKernel = false;  // not between these file systems: copy through memory
    }
    if (!buffer)
        buffer = std::make_unique_for_overwrite<char[]>(kChunk);
    ssize_t got;
    do
        got = ::read(in, buffer.get(), kChunk);
    while (got < 0 && errno == EINTR);
    if (got < 0)
        fail(errno, "cannot read the source file");
    for (ssize_t done = 0; done < got;) {
        const ssize_t put = ::write(out, buffer.get() + done, static_cast<std::size_t>(got - done));
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            fail(put < 0 ? errno : ENOSPC, "cannot write the copy");
        done += put;
    }
    return static_cast<std::size_t>(got);
}

}  // namespace

CopyOutcome copyFileInChunks(const fs::path& source, const fs::path& destination, const CopyProgress& callbacks)
{
    FileDescriptor in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0)
        fail(errno, "cannot open " + source.string());
    struct stat info {};
    if (::fstat(in.get(), &info) != 0)
        fail(errno, "cannot examine " + source.string());
    if (!S_ISREG(info.st_mode))
        fail(EINVAL, source.string() + " is not a file");
    const auto total = static_cast<std::uint64_t>(info.st_size);

    FileDescriptor out(::open(destination.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
    if (out.get() < 0)
        fail(errno, "cannot create " + destination.string());

    // From here on the destination is ours: it goes again unless the copy completes.
    bool complete = false;
    struct Cleanup {
        const fs::path& path;
        const bool& complete;
        ~Cleanup()
        {
            if (!complete) {
                std::error_code ec;
                fs::remove(path, ec);
            }
        }
    } cleanup{destination, complete};

    std::unique_ptr<char[]> buffer;
    bool inKernel = true;
    std::uint64_t done = 0;
    for (;;) {
        const std::size_t n = copyChunk(in.get(), out.get(), buffer, inKernel);
        done += n;
        if (n == 0 && done < total)
            fail(EIO, source.string() + " ended early");
        if (callbacks.progress)
            callbacks.progress(static_cast<std::int16_t>(total == 0 ? 100 : std::min<std::uint64_t>(done * 100 / total, 100)));
        if (callbacks.pumpMessages)
            callbacks.pumpMessages();
        if (n == 0 || done >= total)
            break;
        if (callbacks.cancelRequested && callbacks.cancelRequested()) {
            out.close();
            return CopyOutcome::Cancelled;
        }
    }
    if (out.close() != 0)
        fail(errno, "cannot finish " + destination.string());
    complete = true;
    return CopyOutcome::Copied;
}

}  // namespace sonarchive
