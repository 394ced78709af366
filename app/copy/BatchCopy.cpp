#include "BatchCopy.h"

#include "FileNameFit.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace tracklift {

namespace {

std::string errorText(int error)
{
    return std::strerror(error);
}

// Closes a descriptor when it goes out of scope.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : m_fd(fd) {}
    ~FileDescriptor() { reset(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }
    int release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    void reset()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd;
};

// A fresh file beside the destination that no one else uses.
FileDescriptor createTemporary(const fs::path& folder, fs::path& path)
{
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        path = folder / (".tracklift-partial-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return FileDescriptor(fd);
    }
    errno = EEXIST;
    return FileDescriptor(-1);
}

bool writeAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

}  // namespace

BatchCopy::BatchCopy(std::vector<CopyItem> items) : m_items(std::move(items)) {}

fs::path BatchCopy::normalisedDestination(const fs::path& destination)
{
    std::string name = destination.filename().string();
    while (!name.empty() && name.back() == '.')
        name.pop_back();
    if (name.empty())
        name = "iPodFile";
    return destination.parent_path() / name;
}

fs::path BatchCopy::keepBothName(const fs::path& destination)
{
    const std::string stem = destination.stem().string();
    const std::string extension = destination.extension().string();
    std::error_code ec;
    fs::path candidate;
    for (unsigned n = 2; n < 100000; ++n) {
        const std::string suffix = " (" + std::to_string(n) + ")" + extension;
        candidate = destination.parent_path() / (fitStem(stem, suffix) + suffix);
        if (!fs::exists(fs::symlink_status(candidate, ec)))
            break;
    }
    return candidate;
}

CopyResult BatchCopy::run(CopyObserver& observer, const std::atomic<bool>& cancel)
{
    CopyResult result;
    CopyProgress progress;
    progress.fileCount = m_items.size();
    std::vector<std::uint64_t> sizes;
    sizes.reserve(m_items.size());
    for (const CopyItem& item : m_items) {
        std::error_code ec;
        const auto size = fs::file_size(item.source, ec);
        sizes.push_back(ec ? 0 : size);
        progress.totalBytes += sizes.back();
    }

    bool replaceAll = false;
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        const CopyItem& item = m_items[i];
        progress.fileIndex = i;
        progress.fileBytes = sizes[i];
        progress.fileBytesDone = 0;
        const std::uint64_t bytesBefore = progress.bytesDone;
        if (cancel.load()) {
            result.cancelled = true;
            result.skipped += m_items.size() - i;
            break;
        }
        fs::path destination = normalisedDestination(item.destination);
        progress.current = destination;
        observer.progress(progress);

        std::error_code ec;
        if (fs::exists(fs::symlink_status(destination, ec)) && !replaceAll) {
            const ReplaceAnswer answer = observer.askReplace(destination);
            if (answer == ReplaceAnswer::Cancel) {
                result.cancelled = true;
                result.skipped += m_items.size() - i;
                break;
            }
            if (answer == ReplaceAnswer::No) {
                ++result.skipped;
                progress.bytesDone = bytesBefore + sizes[i];
                continue;
            }
            if (answer == ReplaceAnswer::YesToAll)
                replaceAll = true;
            if (answer == ReplaceAnswer::KeepBoth)
                destination = keepBothName(destination);
            progress.current = destination;
        }

        std::string reason;
        FileOutcome outcome = FileOutcome::Failed;
        fs::create_directories(destination.parent_path(), ec);
        if (ec)
            reason = "cannot create the folder " + destination.parent_path().string() + ": " + ec.message();
        else
            outcome = copyOne(item.source, destination, progress, observer, cancel, reason);

        if (outcome == FileOutcome::Copied) {
            ++result.copied;
        } else if (outcome == FileOutcome::Cancelled) {
            result.cancelled = true;
            result.skipped += m_items.size() - i;
            break;
        } else {
            CopyFailure failure{{item.source, destination}, reason};
            observer.failed(failure);
            result.failures.push_back(std::move(failure));
        }
        progress.bytesDone = bytesBefore + sizes[i];
    }
    return result;
}

BatchCopy::FileOutcome BatchCopy::copyOne(const fs::path& source, const fs::path& destination, CopyProgress& progress,
                                          CopyObserver& observer, const std::atomic<bool>& cancel,
                                          std::string& reason)
{
    FileDescriptor in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info {};
    if (in.get() < 0 || ::fstat(in.get(), &info) != 0) {
        reason = "cannot read " + source.string() + ": " + errorText(errno);
        return FileOutcome::Failed;
    }
    if (S_ISDIR(info.st_mode)) {
        reason = "cannot read " + source.string() + ": " + errorText(EISDIR);
        return FileOutcome::Failed;
    }

    fs::path temporary;
    FileDescriptor out = createTemporary(destination.parent_path(), temporary);
    if (out.get() < 0) {
        reason = "cannot write in " + destination.parent_path().string() + ": " + errorText(errno);
        return FileOutcome::Failed;
    }
    const std::uint64_t bytesBefore = progress.bytesDone;
    auto abandon = [&](const std::string& why) {
        out.reset();
        ::unlink(temporary.c_str());
        reason = why;
    };

    // In-kernel copy where the file systems allow it, plain reads and writes otherwise.
    bool kernelCopy = true;
    std::string buffer;
    for (;;) {
        if (cancel.load()) {
            abandon("cancelled");
            return FileOutcome::Cancelled;
        }
        ssize_t copied = -1;
        if (kernelCopy) {
            copied = ::copy_file_range(in.get(), nullptr, out.get(), nullptr, kChunkBytes, 0);
            if (copied < 0 && progress.fileBytesDone == 0 &&
                (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP || errno == EBADF)) {
                kernelCopy = false;
                continue;
            }
            if (copied < 0 && errno == EINTR)
                continue;
            if (copied < 0) {
                abandon("cannot copy " + source.string() + " to " + destination.string() + ": " + errorText(errno));
                return FileOutcome::Failed;
            }
        } else {
            if (buffer.empty())
                buffer.resize(1u << 20);
            copied = ::read(in.get(), buffer.data(), buffer.size());
            if (copied < 0 && errno == EINTR)
                continue;
            if (copied < 0) {
                abandon("cannot read " + source.string() + ": " + errorText(errno));
                return FileOutcome::Failed;
            }
            if (copied > 0 && !writeAll(out.get(), buffer.data(), static_cast<std::size_t>(copied))) {
                abandon("cannot write " + destination.string() + ": " + errorText(errno));
                return FileOutcome::Failed;
            }
        }
        if (copied == 0)
            break;
        progress.fileBytesDone += static_cast<std::uint64_t>(copied);
        progress.bytesDone = bytesBefore + progress.fileBytesDone;
        observer.progress(progress);
    }

    if (::close(out.release()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        reason = "cannot write " + destination.string() + ": " + errorText(error);
        return FileOutcome::Failed;
    }
    if (::rename(temporary.c_str(), destination.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        reason = "cannot write " + destination.string() + ": " + errorText(error);
        return FileOutcome::Failed;
    }
    return FileOutcome::Copied;
}

}  // namespace tracklift
