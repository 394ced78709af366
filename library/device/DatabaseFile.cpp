#include "DatabaseFile.h"

#include "Error.h"
#include "FileWrites.h"
#include "RetryingRead.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace sonarchive {

namespace fs = std::filesystem;

namespace {

// Three tries, a short pause between them: long enough for a sector that fails
// once, short enough that a dead disk is reported soon.
ReadRetry deviceRetry()
{
    return {.attempts = 3, .pause = std::chrono::milliseconds(200), .again = {}};
}

// The failure of a file that is there and can't be read, in the system's words.
[[noreturn]] void failUnreadable(const Error& e)
{
    throw Error(FailureCode::Unreadable, e.what(), e.number());
}

// The failure a test asked for at the step "open" or "read" (setFileFaultHook); 0 for none.
int faultAt(const char* step)
{
    try {
        fileFaultPoint(step);
    } catch (const std::system_error& e) {
        return e.code().value();
    }
    return 0;
}

}  // namespace

bool deviceFolderExists(const fs::path& folder)
{
    for (int tried = 1;; ++tried) {
        struct stat info {};
        if (::stat(folder.c_str(), &info) == 0)
            return S_ISDIR(info.st_mode);
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR)
            return false;
        if (tried >= deviceRetry().attempts || !isRetryableReadError(error))
            failUnreadable(systemError(error, "cannot read the folder " + folder.string()));
        std::this_thread::sleep_for(deviceRetry().pause);
    }
}

DeviceFile::DeviceFile(const fs::path& path) : m_path(path)
{
    const auto open = [](const fs::path& file) {
        if (const int error = faultAt("open")) {
            errno = error;
            return -1;
        }
        return ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    };
    try {
        m_fd = FileDescriptor(openRetrying(path, deviceRetry(), "cannot open " + path.string(), open));
    } catch (const Error& e) {
        if (e.number() == ENOENT)
            throw Error(FailureCode::NotFound, "there is no file at " + path.string(), ENOENT);
        if (e.number() == ENOTDIR)
            throw Error(FailureCode::NotConnected, "there is no file at " + path.string(), ENOTDIR);
        failUnreadable(e);
    }
    struct stat info {};
    if (::fstat(m_fd.get(), &info) != 0)
        failUnreadable(systemError(errno, "cannot size " + path.string()));
    if (S_ISDIR(info.st_mode))
        throw Error(FailureCode::Io, path.string() + " is a folder", EISDIR);
    m_size = static_cast<std::uint64_t>(info.st_size);
}

std::size_t DeviceFile::read(char* buffer, std::size_t count, std::uint64_t offset)
{
    const ReadFunction read = [](int file, char* into, std::size_t size, std::uint64_t at) -> ssize_t {
        if (const int error = faultAt("read")) {
            errno = error;
            return -1;
        }
        return ::pread(file, into, size, static_cast<off_t>(at));
    };
    try {
        return readRetrying(m_fd.get(), buffer, count, offset, deviceRetry(), "cannot read " + m_path.string(), read);
    } catch (const Error& e) {
        failUnreadable(e);
    }
}

bool DeviceFile::readExactly(char* buffer, std::size_t count, std::uint64_t offset)
{
    for (std::size_t done = 0; done < count;) {
        const std::size_t got = read(buffer + done, count - done, offset + done);
        if (got == 0)
            return false;
        done += got;
    }
    return true;
}

std::shared_ptr<const ByteBuffer> readDatabaseFile(const fs::path& path)
{
    std::optional<DeviceFile> file;
    try {
        file.emplace(path);
    } catch (const Error& e) {
        if (e.code() != FailureCode::NotFound && e.code() != FailureCode::NotConnected && e.code() != FailureCode::Io)
            throw;
        const std::string what = e.code() == FailureCode::Io ? "the database path " + path.string() + " is a folder"
                                                             : "there is no database file at " + path.string();
        throw Error(e.code(), what, e.number());
    }
    // Read straight into uninitialised storage: the file is the largest thing a load holds.
    auto data = std::make_shared<ByteBuffer>(static_cast<std::size_t>(file->size()));
    if (!file->readExactly(data->data(), data->size(), 0))
        throw Error(FailureCode::Unreadable, "the database file " + path.string() + " became shorter while it was read", EIO);
    return data;
}

}  // namespace sonarchive
