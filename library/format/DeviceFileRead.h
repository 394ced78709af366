#pragma once

#include <sonarchive/Failure.h>
#include <sonarchive/RawBytes.h>

#include <filesystem>
#include <memory>
#include <string>

namespace sonarchive {

// Reads a file of the device whole, as a failing disk allows: each open and
// read that fails is tried again where it failed, a few times with a short
// pause. A file that is not there fails as NotFound (NotConnected when its
// folder is gone); one that is there but can't be read as Unreadable, with the
// system's reason. Nothing is ever written.
std::shared_ptr<const ByteBuffer> readDeviceFile(const std::filesystem::path& path);

// Whether a folder of the device is there: true or false when the disk said
// so, a throw (Unreadable) when it could not be read.
bool deviceFolderExists(const std::filesystem::path& folder);

// What the user is told when the database could not be read: that the disk
// failed, the system's reason, and that nothing was changed.
std::u16string unreadableDatabaseMessage(const Failure& failure);

}  // namespace sonarchive
