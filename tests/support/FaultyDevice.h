#pragma once

#include "TempDir.h"

#include <filesystem>
#include <string>
#include <sys/types.h>

namespace testsupport {

// A device folder shown through a fault-injecting file system (faultyfs.py
// beside this file, on FUSE): it reads like the folder until told to fail
// reads of chosen files with EIO, to stall them, or to go away as a pulled
// iPod does. Mounting needs /dev/fuse, Debian's python3-fusepy and the right
// to mount; where one is missing, mounted() is false and whyNot() says which,
// for the test's skip message.
class FaultyDevice {
public:
    explicit FaultyDevice(const std::filesystem::path& backing);
    ~FaultyDevice();
    FaultyDevice(const FaultyDevice&) = delete;
    FaultyDevice& operator=(const FaultyDevice&) = delete;

    bool mounted() const { return m_mounted; }
    const std::string& whyNot() const { return m_whyNot; }
    // Where the device is mounted: the drive root to hand the programs.
    const std::filesystem::path& root() const { return m_mountPoint; }

    // Replaces the rules at once (faultyfs.py describes them), for example
    // R"({"files": {"iPod_Control/iTunes/Sonarchive": {"eio": 1}}})". The
    // file system's counters start again.
    void setRules(const std::string& json);
    // The mount goes away (lazily, as after a pulled cable): the mount folder
    // is empty again and files open on it fail.
    void unmount();

private:
    void stop();

    TempDir m_dir;
    std::filesystem::path m_mountPoint;
    std::filesystem::path m_rules;
    pid_t m_pid = -1;
    bool m_mounted = false;
    std::string m_whyNot;
};

}  // namespace testsupport
