#include "AtomicFile.h"

#include "Error.h"
#include "FileLock.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace sonarchive {

namespace fs = std::filesystem;

namespace {

[[noreturn]] void fail(const std::string& what)
{
    throw systemError(errno, what);
}

// Removes the temporary file unless the replacement went through.
struct TemporaryFile {
    std::string path;
    int fd = -1;
    bool kept = false;
    ~TemporaryFile()
    {
        if (!kept && !path.empty())
            ::unlink(path.c_str());
        if (fd >= 0)
            ::close(fd);
    }
};

}  // namespace

void removeLeftoverPartialFiles(const fs::path& target)
{
    // A writer holds its file locked: only a file nobody holds is a leftover.
    removeUnheldFiles(target.parent_path(), target.filename().string() + std::string(kPartialFileMark));
}

void replaceFileAtomically(const fs::path& target, std::string_view bytes)
{
    replaceFileAtomically(target, [&](int fd, const std::string& name) { writeAll(fd, bytes, name); });
}

void replaceFileAtomically(const fs::path& target, const std::function<void(int fd, const std::string& name)>& produce)
{
    struct stat old {};
    const bool hadOld = ::stat(target.c_str(), &old) == 0;
    removeLeftoverPartialFiles(target);

    TemporaryFile temp;
    fileFaultPoint("create");
    temp.path = target.string() + std::string(kPartialFileMark) + "XXXXXX";
    temp.fd = ::mkostemp(temp.path.data(), O_CLOEXEC);
    if (temp.fd < 0) {
        temp.path.clear();
        fail("cannot create a file beside " + target.string());
    }
    (void)markInUse(temp.fd);  // ours alone until it is renamed or removed
    if (hadOld)
        (void)::fchmod(temp.fd, old.st_mode & 07777);  // keep the old file's permissions where the file system has them

    produce(temp.fd, temp.path);
    fileFaultPoint("sync");
    if (::fsync(temp.fd) != 0)
        fail("cannot flush " + temp.path + " to the device");

    fileFaultPoint("rename");
    if (::rename(temp.path.c_str(), target.c_str()) != 0)
        fail("cannot replace " + target.string());
    temp.kept = true;  // the data is flushed, so closing can't lose any of it

    // Make the rename itself durable.
    const int dir = ::open(target.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        (void)::fsync(dir);
        ::close(dir);
    }
}

}  // namespace sonarchive
