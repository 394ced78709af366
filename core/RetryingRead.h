#pragma once

#include <sonarchive/Export.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/types.h>

namespace sonarchive {

// Reads from a device whose disk may be failing. A sector that fails once
// often reads on the next try, so a failed read is tried again from where it
// failed, a few times with a short pause, before it counts. A device that is
// gone (unplugged, its bus reset) is not tried again.

// Reads `size` bytes at `offset` into `buffer`: the bytes read, 0 at the end,
// -1 with errno set on failure. The system's pread unless a test puts another in.
using ReadFunction = std::function<ssize_t(int fd, char* buffer, std::size_t size, std::uint64_t offset)>;

struct ReadRetry {
    int attempts = 3;                        // tries of one read in all
    std::chrono::milliseconds pause{250};    // between two tries
    // Asked before each further try with the error of the last one; false gives
    // up at once (the caller knows the device is gone or the user cancelled).
    std::function<bool(int error)> again;
};

// Errors that say the device itself is gone rather than one file unreadable.
SONARCHIVE_EXPORT bool isDeviceGoneError(int error);

// Errors worth another try: those of a failing medium, not of a wrong request
// or of a device that is gone.
bool isRetryableReadError(int error);

// Reads up to `size` bytes at `offset`: what one read that worked gave, 0 at
// the end of the file. A failed read is tried again as `retry` says (an
// interrupted one at once); throws systemError(error, what) with the last
// error when no try worked.
std::size_t readRetrying(int fd, char* buffer, std::size_t size, std::uint64_t offset, const ReadRetry& retry,
                         const std::string& what, const ReadFunction& read = {});

// Opens `path` read-only, trying again as `retry` says. Throws systemError(error, what).
// `open` stands in for the system's open (a descriptor, or -1 with errno set).
int openRetrying(const std::filesystem::path& path, const ReadRetry& retry, const std::string& what,
                 const std::function<int(const std::filesystem::path&)>& open = {});

}  // namespace sonarchive
