#include "DatabaseFile.h"

#include "Error.h"
#include "FileDescriptor.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace sonarchive {

namespace fs = std::filesystem;

std::shared_ptr<const ByteBuffer> readDatabaseFile(const fs::path& path)
{
    std::error_code ec;
    const auto status = fs::status(path, ec);
    if (ec || !fs::exists(status)) {
        const bool parentMissing = ec && ec != std::errc::no_such_file_or_directory;
        throw Error(parentMissing ? FailureCode::NotConnected : FailureCode::NotFound,
                    "there is no database file at " + path.string(), ENOENT);
    }
    if (fs::is_directory(status))
        throw Error(FailureCode::Io, "the database path " + path.string() + " is a folder", EISDIR);

    // Read straight into uninitialised storage: the file is the largest thing a load holds.
    const FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.isOpen())
        throw systemError(errno, "cannot open " + path.string());
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0)
        throw systemError(errno, "cannot size " + path.string());
    auto data = std::make_shared<ByteBuffer>(static_cast<std::size_t>(info.st_size));
    std::size_t done = 0;
    while (done < data->size()) {
        const ssize_t got = ::read(fd.get(), data->data() + done, data->size() - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw systemError(errno, "cannot read " + path.string());
        if (got == 0)
            throw Error(FailureCode::Io, "the database file " + path.string() + " became shorter while it was read", EIO);
        done += static_cast<std::size_t>(got);
    }
    return data;
}

}  // namespace sonarchive
