#pragma once

#include "FileDescriptor.h"

#include <sonarchive/RawBytes.h>

#include <cstdint>
#include <filesystem>
#include <memory>

namespace sonarchive {

// A file of the device open for reading as a failing disk allows: each open and
// read that fails is tried again where it failed, a few times with a short
// pause. Failures are Errors: NotFound (NotConnected when a folder above it is
// gone) for a file that is not there, Unreadable with the system's reason for
// one that is there but can't be read. Nothing is ever written.
class DeviceFile {
public:
    explicit DeviceFile(const std::filesystem::path& path);

    std::uint64_t size() const { return m_size; }
    // Up to `count` bytes at `offset`: what one read gave, 0 at the end.
    std::size_t read(char* buffer, std::size_t count, std::uint64_t offset);
    // All `count` bytes at `offset`; false when the file ends before.
    bool readExactly(char* buffer, std::size_t count, std::uint64_t offset);

private:
    std::filesystem::path m_path;
    FileDescriptor m_fd;
    std::uint64_t m_size = 0;
};

// The database file read whole, into memory the records can share.
std::shared_ptr<const ByteBuffer> readDatabaseFile(const std::filesystem::path& path);

// Whether a folder of the device is there: true or false when the disk says
// so, a throw (Unreadable) when it could not be read.
bool deviceFolderExists(const std::filesystem::path& folder);

}  // namespace sonarchive
