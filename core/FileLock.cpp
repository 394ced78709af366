#include "FileLock.h"

#include "FileDescriptor.h"

#include <cerrno>
#include <string>
#include <system_error>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

namespace sonarchive {

namespace fs = std::filesystem;

bool markInUse(int fd)
{
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        return errno != EWOULDBLOCK;
    }
    return true;
}

void removeUnheldFiles(const fs::path& folder, std::string_view prefix)
{
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path path = it->path();
        if (!path.filename().string().starts_with(prefix) || it->is_symlink(ec) || !it->is_regular_file(ec))
            continue;
        const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
        if (!file.isOpen() || ::flock(file.get(), LOCK_EX | LOCK_NB) != 0)
            continue;
        // Held by us now: removed only if the name still means the file locked.
        struct stat opened {}, named {};
        if (::fstat(file.get(), &opened) == 0 && ::lstat(path.c_str(), &named) == 0 && opened.st_dev == named.st_dev &&
            opened.st_ino == named.st_ino)
            (void)::unlink(path.c_str());
    }
}

}  // namespace sonarchive
