#pragma once

#include <sonarchive/Export.h>

#include <cstdint>
#include <filesystem>
#include <functional>

namespace sonarchive {

// The one chunked file copy: in the kernel (copy_file_range) where the file
// systems allow it, through memory otherwise, interrupted calls retried.
struct FileCopyCallbacks {
    // After each chunk: the bytes of the file copied so far, and its size.
    std::function<void(std::uint64_t done, std::uint64_t total)> progress;
    // Asked after each chunk; true stops the copy.
    std::function<bool()> cancelled;
    // copyReplacing only: called when every byte is in the new file, before it
    // gets its name: the open file and its temporary name. It may change the
    // file; what it throws leaves the destination as it was and no temporary file.
    std::function<void(int fd, const std::filesystem::path& temporary)> complete;
};

enum class FileCopyOutcome { Copied, Cancelled };

inline constexpr std::size_t kFileCopyChunk = 4u << 20;  // full speed, yet a responsive window between chunks

// Copies the regular file `source` to `destination`, which must not exist yet
// (an existing file is never touched). A copy that fails or is cancelled leaves
// no destination file. Throws sonarchive::Error, in plain words for a read-only
// or full destination.
SONARCHIVE_EXPORT FileCopyOutcome copyToNewFile(const std::filesystem::path& source, const std::filesystem::path& destination,
                                                const FileCopyCallbacks& callbacks = {});

// Copies `source` over `destination`, whether it exists or not: the copy is
// written beside it under a temporary name and renamed into place when whole,
// so a failure or a cancellation leaves the destination as it was and no
// temporary file.
SONARCHIVE_EXPORT FileCopyOutcome copyReplacing(const std::filesystem::path& source, const std::filesystem::path& destination,
                                                const FileCopyCallbacks& callbacks = {});

}  // namespace sonarchive
