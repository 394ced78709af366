#include "FaultyDevice.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace testsupport {

namespace fs = std::filesystem;

namespace {

constexpr const char* kPython = "/usr/bin/python3";

// True when `folder` is a mount point of its own now.
bool isMounted(const fs::path& folder)
{
    std::ifstream mounts("/proc/self/mountinfo");
    std::string line;
    while (std::getline(mounts, line)) {
        std::istringstream fields(line);
        std::string id, parent, device, root, point;
        fields >> id >> parent >> device >> root >> point;
        if (point == folder.string())
            return true;
    }
    return false;
}

}  // namespace

FaultyDevice::FaultyDevice(const fs::path& backing)
    : m_mountPoint(m_dir.path() / "ipod"), m_rules(m_dir.path() / "rules.json")
{
    fs::create_directory(m_mountPoint);
    writeFile(m_rules, "{}");
    if (::access("/dev/fuse", R_OK | W_OK) != 0) {
        m_whyNot = "no usable /dev/fuse here, so no failing disk can be mounted";
        return;
    }
    if (::access(kPython, X_OK) != 0 || std::system((std::string(kPython) + " -c 'import fusepy' 2>/dev/null").c_str()) != 0) {
        m_whyNot = "Debian's python3-fusepy is not installed, so no failing disk can be mounted";
        return;
    }
    const fs::path log = m_dir.path() / "faultyfs.log";
    m_pid = ::fork();
    if (m_pid == 0) {
        const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out >= 0) {
            ::dup2(out, STDOUT_FILENO);
            ::dup2(out, STDERR_FILENO);
        }
        ::execl(kPython, kPython, "-W", "ignore", SONARCHIVE_FAULTYFS, backing.c_str(), m_mountPoint.c_str(), m_rules.c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    for (int i = 0; i < 200 && !m_mounted; ++i) {
        if (::waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
            m_pid = -1;
            break;
        }
        m_mounted = isMounted(m_mountPoint);
        if (!m_mounted)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (!m_mounted) {
        std::string said;
        try {
            said = readFile(log);
        } catch (const std::exception&) {
        }
        m_whyNot = "the failing disk could not be mounted (not permitted here?): " + said;
        stop();
    }
}

FaultyDevice::~FaultyDevice()
{
    stop();
}

void FaultyDevice::setRules(const std::string& json)
{
    // Whole and at once: written beside, then renamed into place.
    const fs::path next = m_rules.string() + ".next";
    writeFile(next, json);
    fs::rename(next, m_rules);
}

void FaultyDevice::unmount()
{
    if (isMounted(m_mountPoint) && ::umount2(m_mountPoint.c_str(), MNT_DETACH) != 0)
        (void)std::system(("fusermount3 -u -z '" + m_mountPoint.string() + "' 2>/dev/null").c_str());
}

void FaultyDevice::stop()
{
    unmount();
    if (m_pid <= 0)
        return;
    // Unmounted, the file system ends by itself; one that hangs is stopped.
    for (int i = 0; i < 40; ++i) {
        if (::waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
            m_pid = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ::kill(m_pid, SIGKILL);
    ::waitpid(m_pid, nullptr, 0);
    m_pid = -1;
}

}  // namespace testsupport
