#pragma once

#include <sonarchive/RawBytes.h>

#include <filesystem>
#include <memory>

namespace sonarchive {

// The database file read whole, into memory the records can share. Throws
// Error: NotFound (or NotConnected when a folder above it is gone) for a file
// that is not there, Io with the system's reason for one that can't be read.
std::shared_ptr<const ByteBuffer> readDatabaseFile(const std::filesystem::path& path);

}  // namespace sonarchive
