#pragma once

#include <sonarchive/RawBytes.h>

#include <filesystem>
#include <memory>

namespace sonarchive {

// The database file read whole, into memory the records can share, as a
// failing disk allows: each open and read that fails is tried again where it
// failed, a few times with a short pause. Throws Error: NotFound (or
// NotConnected when a folder above it is gone) for a file that is not there,
// Unreadable with the system's reason for one that is there but can't be read.
std::shared_ptr<const ByteBuffer> readDatabaseFile(const std::filesystem::path& path);

// Whether a folder of the device is there: true or false when the disk says
// so, a throw (Unreadable) when it could not be read.
bool deviceFolderExists(const std::filesystem::path& folder);

}  // namespace sonarchive
