#include "FileCopy.h"

#include "FileDescriptor.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sonarchive {

namespace fs = std::filesystem;

FileCopyError::FileCopyError(Step step, const Error& error)
    : Error(error.code(), error.what(), error.number(), error.offset()), m_step(step)
{
}

FileCopyError::~FileCopyError() = default;

namespace {

using Step = FileCopyError::Step;

[[noreturn]] void fail(Step step, int error, const std::string& what)
{
    throw FileCopyError(step, systemError(error, what));
}

// Copies chunk by chunk at explicit offsets, so a failed read is tried again
// from where it failed.
class ChunkCopier {
public:
    ChunkCopier(int in, int out, const fs::path& source, const FileCopyCallbacks& callbacks)
        : m_in(in), m_out(out), m_source(source), m_callbacks(callbacks), m_inKernel(!callbacks.read)
    {
    }

    // One chunk; the bytes copied, 0 at the end of the source.
    std::size_t next()
    {
        while (m_inKernel) {
            auto inAt = static_cast<loff_t>(m_offset), outAt = static_cast<loff_t>(m_offset);
            const ssize_t n = ::copy_file_range(m_in, &inAt, m_out, &outAt, kFileCopyChunk, 0);
            if (n >= 0) {
                writeBehind(static_cast<std::size_t>(n));
                return static_cast<std::size_t>(n);
            }
            if (errno == EINTR)
                continue;
            // Unsupported, or failed: through memory from here on, where a failed
            // read is tried again and told apart from a failed write.
            m_inKernel = false;
        }
        if (!m_buffer)
            m_buffer = std::make_unique_for_overwrite<char[]>(kFileCopyChunk);
        std::size_t got = 0;
        try {
            got = readRetrying(m_in, m_buffer.get(), kFileCopyChunk, m_offset, m_callbacks.retry,
                               "cannot read " + m_source.string(), m_callbacks.read);
        } catch (const Error& e) {
            throw FileCopyError(Step::ReadSource, e);
        }
        for (std::size_t done = 0; done < got;) {
            const ssize_t put = ::pwrite(m_out, m_buffer.get() + done, got - done, static_cast<off_t>(m_offset + done));
            if (put < 0 && errno == EINTR)
                continue;
            if (put <= 0)
                fail(Step::WriteCopy, put < 0 ? errno : ENOSPC, "cannot write the copy");
            done += static_cast<std::size_t>(put);
        }
        writeBehind(got);
        return got;
    }

private:
    // The chunk just written starts on its way to the disk while the next one is
    // read, so flushing the whole copy at its end waits for little.
    void writeBehind(std::size_t written)
    {
        if (written > 0)
            (void)::sync_file_range(m_out, static_cast<off64_t>(m_offset), static_cast<off64_t>(written), SYNC_FILE_RANGE_WRITE);
        m_offset += written;
    }

    int m_in;
    int m_out;
    const fs::path& m_source;
    const FileCopyCallbacks& m_callbacks;
    bool m_inKernel;
    std::uint64_t m_offset = 0;
    std::unique_ptr<char[]> m_buffer;
};

FileDescriptor openSource(const fs::path& source, const ReadRetry& retry, std::uint64_t& size)
{
    FileDescriptor in;
    try {
        in = FileDescriptor(openRetrying(source, retry, "cannot open " + source.string()));
    } catch (const Error& e) {
        throw FileCopyError(Step::OpenSource, e);
    }
    struct stat info {};
    if (::fstat(in.get(), &info) != 0)
        fail(Step::OpenSource, errno, "cannot examine " + source.string());
    if (!S_ISREG(info.st_mode))
        fail(Step::OpenSource, S_ISDIR(info.st_mode) ? EISDIR : EINVAL, source.string() + " is not a file");
    size = static_cast<std::uint64_t>(info.st_size);
    return in;
}

// Copies every byte; false when cancelled, which a read that kept the copy
// waiting honours as soon as it returns, the last one too.
bool copyContents(int in, int out, std::uint64_t total, const fs::path& source, const FileCopyCallbacks& callbacks)
{
    const auto cancelled = [&] { return callbacks.cancelled && callbacks.cancelled(); };
    ChunkCopier copier(in, out, source, callbacks);
    std::uint64_t done = 0;
    for (;;) {
        if (cancelled())
            return false;
        const std::size_t n = copier.next();
        done += n;
        if (n == 0 && done < total)
            fail(Step::ReadSource, EIO, source.string() + " ended before its " + std::to_string(total) + " bytes");
        if (callbacks.progress)
            callbacks.progress(done, total);
        if (n == 0 || done >= total)
            return !cancelled();
    }
}

// Removes a file unless told it is complete.
struct RemoveUnlessKept {
    fs::path path;
    bool kept = false;
    ~RemoveUnlessKept()
    {
        if (!kept && !path.empty())
            ::unlink(path.c_str());
    }
};

// Gives the file its name without ever replacing another.
int renameNoReplace(const fs::path& from, const fs::path& to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return -1;
    // A file system without the flag: look, then rename.
    struct stat info {};
    if (::lstat(to.c_str(), &info) == 0) {
        errno = EEXIST;
        return -1;
    }
    return ::rename(from.c_str(), to.c_str());
}

FileCopyOutcome copyThroughTemporary(const fs::path& source, const fs::path& destination, bool replace, unsigned mode,
                                     const FileCopyCallbacks& callbacks)
{
    std::uint64_t total = 0;
    const FileDescriptor in = openSource(source, callbacks.retry, total);
    const bool copied = writeUnderTemporaryName(destination, replace, mode, [&](int out, const fs::path& temporary) {
        if (!copyContents(in.get(), out, total, source, callbacks))
            return false;
        if (callbacks.complete)
            callbacks.complete(out, temporary);
        return true;
    }) == FileCopyOutcome::Copied;
    return copied ? FileCopyOutcome::Copied : FileCopyOutcome::Cancelled;
}

}  // namespace

FileCopyOutcome writeUnderTemporaryName(const fs::path& destination, bool replace, unsigned mode,
                                        const std::function<bool(int fd, const fs::path& temporary)>& write)
{
    // A fresh file beside the destination that no one else uses, with a short
    // name of its own: the destination's may already be as long as names get.
    static std::atomic<unsigned> counter{0};
    RemoveUnlessKept temporary;
    FileDescriptor out;
    for (int attempt = 0; attempt < 100 && !out.isOpen(); ++attempt) {
        temporary.path = destination.parent_path() / (".sonarchive-copy-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        out = FileDescriptor(::open(temporary.path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
        if (!out.isOpen() && errno != EEXIST)
            break;
    }
    if (!out.isOpen()) {
        temporary.path.clear();
        fail(Step::WriteCopy, errno, "cannot write in " + destination.parent_path().string());
    }

    if (!write(out.get(), temporary.path))
        return FileCopyOutcome::Cancelled;
    if (::fsync(out.get()) != 0 || out.close() != 0)
        fail(Step::WriteCopy, errno, "cannot write " + destination.string());
    if ((replace ? ::rename(temporary.path.c_str(), destination.c_str()) : renameNoReplace(temporary.path, destination)) != 0)
        fail(Step::WriteCopy, errno, "cannot create " + destination.string());
    temporary.kept = true;
    return FileCopyOutcome::Copied;
}

FileCopyOutcome copyToNewFile(const fs::path& source, const fs::path& destination, const FileCopyCallbacks& callbacks)
{
    // An existing destination fails before anything is read.
    struct stat info {};
    if (::lstat(destination.c_str(), &info) == 0)
        fail(Step::WriteCopy, EEXIST, "cannot create " + destination.string());
    return copyThroughTemporary(source, destination, false, 0644, callbacks);
}

FileCopyOutcome copyReplacing(const fs::path& source, const fs::path& destination, const FileCopyCallbacks& callbacks)
{
    return copyThroughTemporary(source, destination, true, 0666, callbacks);
}

}  // namespace sonarchive
