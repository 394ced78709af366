#include "FileCopy.h"

#include "Error.h"
#include "FileDescriptor.h"

#include <atomic>
#include <cerrno>
#include <memory>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sonarchive {

namespace fs = std::filesystem;

namespace {

[[noreturn]] void fail(int error, const std::string& what)
{
    throw systemError(error, what);
}

// Errors that say only that the kernel can't copy between these descriptors.
bool kernelCopyUnsupported(int error)
{
    return error == EXDEV || error == ENOSYS || error == EINVAL || error == EOPNOTSUPP || error == EPERM || error == EBADF;
}

class ChunkCopier {
public:
    ChunkCopier(int in, int out) : m_in(in), m_out(out) {}

    // One chunk; the bytes copied, 0 at the end of the source.
    std::size_t next()
    {
        while (m_inKernel) {
            const ssize_t n = ::copy_file_range(m_in, nullptr, m_out, nullptr, kFileCopyChunk, 0);
            if (n >= 0)
                return static_cast<std::size_t>(n);
            if (errno == EINTR)
                continue;
            if (!kernelCopyUnsupported(errno))
                fail(errno, "cannot copy the file");
            m_inKernel = false;  // the file offsets stand where the kernel left them
        }
        if (!m_buffer)
            m_buffer = std::make_unique_for_overwrite<char[]>(kFileCopyChunk);
        ssize_t got;
        do
            got = ::read(m_in, m_buffer.get(), kFileCopyChunk);
        while (got < 0 && errno == EINTR);
        if (got < 0)
            fail(errno, "cannot read the source file");
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::write(m_out, m_buffer.get() + done, static_cast<std::size_t>(got - done));
            if (put < 0 && errno == EINTR)
                continue;
            if (put <= 0)
                fail(put < 0 ? errno : ENOSPC, "cannot write the copy");
            done += put;
        }
        return static_cast<std::size_t>(got);
    }

private:
    int m_in;
    int m_out;
    bool m_inKernel = true;
    std::unique_ptr<char[]> m_buffer;
};

FileDescriptor openSource(const fs::path& source, std::uint64_t& size)
{
    FileDescriptor in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    if (!in.isOpen())
        fail(errno, "cannot open " + source.string());
    struct stat info {};
    if (::fstat(in.get(), &info) != 0)
        fail(errno, "cannot examine " + source.string());
    if (!S_ISREG(info.st_mode))
        fail(S_ISDIR(info.st_mode) ? EISDIR : EINVAL, source.string() + " is not a file");
    size = static_cast<std::uint64_t>(info.st_size);
    return in;
}

// Copies every byte; false when cancelled.
bool copyContents(int in, int out, std::uint64_t total, const fs::path& source, const FileCopyCallbacks& callbacks)
{
    ChunkCopier copier(in, out);
    std::uint64_t done = 0;
    for (;;) {
        if (callbacks.cancelled && callbacks.cancelled())
            return false;
        const std::size_t n = copier.next();
        done += n;
        if (n == 0 && done < total)
            fail(EIO, source.string() + " ended early");
        if (callbacks.progress)
            callbacks.progress(done, total);
        if (n == 0 || done >= total)
            return true;
    }
}

// Removes a file unless told it is complete.
struct RemoveUnlessKept {
    const fs::path& path;
    bool kept = false;
    ~RemoveUnlessKept()
    {
        if (!kept)
            ::unlink(path.c_str());
    }
};

}  // namespace

FileCopyOutcome copyToNewFile(const fs::path& source, const fs::path& destination, const FileCopyCallbacks& callbacks)
{
    std::uint64_t total = 0;
    const FileDescriptor in = openSource(source, total);
    FileDescriptor out(::open(destination.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
    if (!out.isOpen())
        fail(errno, "cannot create " + destination.string());
    RemoveUnlessKept cleanup{destination};  // from here on the destination is ours

    if (!copyContents(in.get(), out.get(), total, source, callbacks))
        return FileCopyOutcome::Cancelled;
    if (out.close() != 0)
        fail(errno, "cannot finish " + destination.string());
    cleanup.kept = true;
    return FileCopyOutcome::Copied;
}

namespace {

FileCopyOutcome copyBeside(const fs::path& source, const fs::path& destination, const FileCopyCallbacks& callbacks)
{
    std::uint64_t total = 0;
    const FileDescriptor in = openSource(source, total);

    // A fresh file beside the destination that no one else uses.
    static std::atomic<unsigned> counter{0};
    fs::path temporary;
    FileDescriptor out;
    for (int attempt = 0; attempt < 100 && !out.isOpen(); ++attempt) {
        // A short name of its own: the destination's may already be as long as names get.
        temporary = destination.parent_path() / (".sonarchive-copy-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        out = FileDescriptor(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (!out.isOpen() && errno != EEXIST)
            break;
    }
    if (!out.isOpen())
        fail(errno, "cannot write in " + destination.parent_path().string());
    RemoveUnlessKept cleanup{temporary};

    if (!copyContents(in.get(), out.get(), total, source, callbacks))
        return FileCopyOutcome::Cancelled;
    if (callbacks.complete)
        callbacks.complete(out.get(), temporary);
    if (out.close() != 0)
        fail(errno, "cannot write " + destination.string());
    if (::rename(temporary.c_str(), destination.c_str()) != 0)
        fail(errno, "cannot write " + destination.string());
    cleanup.kept = true;
    return FileCopyOutcome::Copied;
}

}  // namespace

FileCopyOutcome copyReplacing(const fs::path& source, const fs::path& destination, const FileCopyCallbacks& callbacks)
{
    try {
        return copyBeside(source, destination, callbacks);
    } catch (const Error& e) {
        // The plain words for a full or read-only disk speak of the iPod; here the
        // copy is written elsewhere, so they name the file.
        if (e.code() == FailureCode::NoSpace)
            throw Error(e.code(), "cannot write " + destination.string() + ": there is no room left on the disk", e.number());
        if (e.code() == FailureCode::ReadOnly)
            throw Error(e.code(), "cannot write " + destination.string() + ": the disk is read-only", e.number());
        throw;
    }
}

}  // namespace sonarchive
