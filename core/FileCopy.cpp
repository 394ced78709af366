#include "FileCopy.h"

#include "FileDescriptor.h"
#include "FileLock.h"

#include <algorithm>
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
    // A whole chunk just written starts on its way to the disk while the next
    // one is read, so flushing a large copy at its end waits for little. A small
    // file, one chunk or less, is left to the flush.
    void writeBehind(std::size_t written)
    {
        if (written == kFileCopyChunk)
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

// A fresh file beside `destination` that no one else uses, with a short name of
// its own (the destination's may already be as long as names get), written
// through `write`. Empty when `write` says the copy was cancelled.
struct Temporary {
    FileDescriptor lock;  // marks the file in use until it has its name (closed last)
    RemoveUnlessKept name;
    FileDescriptor file;
};

// Marks a fresh temporary file in use, through a descriptor of its own that
// stays open after the file is written and closed, until it has its name.
// False when a removal of leftovers in the folder took the file first.
bool holdTemporary(Temporary& temporary)
{
    temporary.lock = FileDescriptor(::open(temporary.name.path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (!temporary.lock.isOpen())
        return errno != ENOENT;  // one that cannot be read back (its mode) is written unmarked
    struct stat info {};
    return markInUse(temporary.lock.get()) && (::fstat(temporary.lock.get(), &info) != 0 || info.st_nlink > 0);
}

bool writeTemporary(const fs::path& destination, unsigned mode, const std::function<bool(int fd, const fs::path& temporary)>& write,
                    Temporary& temporary)
{
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100 && !temporary.file.isOpen(); ++attempt) {
        static const std::string prefix = std::string(kCopyTemporaryMark) + std::to_string(::getpid()) + "-";
        temporary.name.path = destination.parent_path() / (prefix + std::to_string(counter++));
        temporary.file = FileDescriptor(::open(temporary.name.path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
        if (!temporary.file.isOpen() && errno != EEXIST)
            break;
        if (temporary.file.isOpen() && !holdTemporary(temporary)) {  // taken away: another name
            temporary.file.reset();
            temporary.lock.reset();
            errno = EEXIST;
        }
    }
    if (!temporary.file.isOpen()) {
        temporary.name.path.clear();
        fail(Step::WriteCopy, errno, "cannot write in " + destination.parent_path().string());
    }
    return write(temporary.file.get(), temporary.name.path);
}

// Gives a flushed temporary file the destination's name.
void nameTemporary(const fs::path& temporary, const fs::path& destination, bool replace)
{
    if ((replace ? ::rename(temporary.c_str(), destination.c_str()) : renameNoReplace(temporary, destination)) != 0)
        fail(Step::WriteCopy, errno, "cannot create " + destination.string());
}

// Writes the source's bytes into the open temporary file, then lets `complete` finish it.
std::function<bool(int, const fs::path&)> contentsOf(const fs::path& source, const FileCopyCallbacks& callbacks,
                                                      FileDescriptor& in, std::uint64_t& total)
{
    in = openSource(source, callbacks.retry, total);
    return [&source, &callbacks, &in, &total](int out, const fs::path& temporary) {
        if (!copyContents(in.get(), out, total, source, callbacks))
            return false;
        if (callbacks.complete)
            callbacks.complete(out, temporary);
        return true;
    };
}

FileCopyOutcome copyThroughTemporary(const fs::path& source, const fs::path& destination, bool replace, unsigned mode,
                                     const FileCopyCallbacks& callbacks)
{
    FileDescriptor in;
    std::uint64_t total = 0;
    return writeUnderTemporaryName(destination, replace, mode, contentsOf(source, callbacks, in, total));
}

}  // namespace

FileCopyOutcome writeUnderTemporaryName(const fs::path& destination, bool replace, unsigned mode,
                                        const std::function<bool(int fd, const fs::path& temporary)>& write)
{
    Temporary temporary;
    if (!writeTemporary(destination, mode, write, temporary))
        return FileCopyOutcome::Cancelled;
    if (::fsync(temporary.file.get()) != 0 || temporary.file.close() != 0)
        fail(Step::WriteCopy, errno, "cannot write " + destination.string());
    nameTemporary(temporary.name.path, destination, replace);
    temporary.name.kept = true;
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

FileCopyOutcome copyUnnamed(const fs::path& source, const fs::path& destination, const FileCopyCallbacks& callbacks,
                            UnnamedCopy& unnamed)
{
    FileDescriptor in;
    std::uint64_t total = 0;
    Temporary temporary;
    if (!writeTemporary(destination, 0666, contentsOf(source, callbacks, in, total), temporary))
        return FileCopyOutcome::Cancelled;
    unnamed.file = std::move(temporary.file);
    unnamed.lock = std::move(temporary.lock);
    unnamed.temporary = temporary.name.path;
    unnamed.destination = destination;
    unnamed.replace = true;
    temporary.name.kept = true;
    return FileCopyOutcome::Copied;
}

std::vector<std::pair<std::size_t, FileCopyError>> nameCopies(std::vector<UnnamedCopy>& copies)
{
    // Each disk flushed once. The flush of a disk reports a failed write of any
    // file on it since the file it is asked through was opened: asked through
    // the oldest copy, it speaks for them all. Only when it fails is each copy
    // flushed by itself, to tell which ones lost their data.
    std::vector<std::pair<dev_t, bool>> disks;  // and whether its flush worked
    std::vector<bool> flushed(copies.size(), false);
    for (std::size_t i = 0; i < copies.size(); ++i) {
        struct stat info {};
        if (!copies[i].file.isOpen() || ::fstat(copies[i].file.get(), &info) != 0)
            continue;
        auto disk = std::find_if(disks.begin(), disks.end(), [&](const auto& d) { return d.first == info.st_dev; });
        if (disk == disks.end())
            disk = disks.insert(disks.end(), {info.st_dev, ::syncfs(copies[i].file.get()) == 0});
        flushed[i] = disk->second;
    }
    std::vector<std::pair<std::size_t, FileCopyError>> failures;
    for (std::size_t i = 0; i < copies.size(); ++i) {
        UnnamedCopy& copy = copies[i];
        RemoveUnlessKept temporary{copy.temporary};
        try {
            if ((!flushed[i] && ::fsync(copy.file.get()) != 0) || copy.file.close() != 0)
                fail(Step::WriteCopy, errno, "cannot write " + copy.destination.string());
            nameTemporary(copy.temporary, copy.destination, copy.replace);
            temporary.kept = true;
        } catch (const FileCopyError& e) {
            failures.emplace_back(i, e);
        }
    }
    copies.clear();
    return failures;
}

void discardCopies(std::vector<UnnamedCopy>& copies) noexcept
{
    for (UnnamedCopy& copy : copies) {
        copy.file.reset();
        if (!copy.temporary.empty())
            ::unlink(copy.temporary.c_str());
        copy.lock.reset();
    }
    copies.clear();
}

void removeLeftoverCopies(const fs::path& folder)
{
    removeUnheldFiles(folder, kCopyTemporaryMark);
}

}  // namespace sonarchive
