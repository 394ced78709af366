#include "AtomicFile.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace sonarchive {

namespace {

std::function<void(const char*)>& faultHook()
{
    static std::function<void(const char*)> hook;
    return hook;
}

void step(const char* name)
{
    if (faultHook())
        faultHook()(name);
}

[[noreturn]] void fail(const std::string& what)
{
    throw std::system_error(errno, std::generic_category(), what);
}

// Removes the temporary file unless the replacement went through.
struct TemporaryFile {
    std::string path;
    int fd = -1;
    bool kept = false;
    ~TemporaryFile()
    {
        if (fd >= 0)
            ::close(fd);
        if (!kept && !path.empty())
            ::unlink(path.c_str());
    }
};

}  // namespace

void setFileFaultHook(std::function<void(const char* step)> hook)
{
    faultHook() = std::move(hook);
}

void replaceFileAtomically(const std::filesystem::path& target, std::string_view bytes)
{
    struct stat old {};
    const bool hadOld = ::stat(target.c_str(), &old) == 0;

    TemporaryFile temp;
    step("create");
    temp.path = target.string() + ".XXXXXX";
    temp.fd = ::mkostemp(temp.path.data(), O_CLOEXEC);
    if (temp.fd < 0) {
        temp.path.clear();
        fail("cannot create a file beside " + target.string());
    }
    if (hadOld)
        (void)::fchmod(temp.fd, old.st_mode & 07777);  // keep the old file's permissions where the file system has them

    std::size_t done = 0;
    while (done < bytes.size()) {
        step("write");
        const ssize_t wrote = ::write(temp.fd, bytes.data() + done, bytes.size() - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            fail("cannot write " + temp.path);
        done += static_cast<std::size_t>(wrote);
    }
    step("sync");
    if (::fsync(temp.fd) != 0)
        fail("cannot flush " + temp.path + " to the device");
    const int fd = temp.fd;
    temp.fd = -1;
    if (::close(fd) != 0)
        fail("cannot close " + temp.path);

    step("rename");
    if (::rename(temp.path.c_str(), target.c_str()) != 0)
        fail("cannot replace " + target.string());
    temp.kept = true;

    // Make the rename itself durable.
    const int dir = ::open(target.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        (void)::fsync(dir);
        ::close(dir);
    }
}

}  // namespace sonarchive
