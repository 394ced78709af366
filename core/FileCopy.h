#pragma once

#include "Error.h"
#include "FileDescriptor.h"
#include "RetryingRead.h"

#include <sonarchive/Export.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string_view>
#include <utility>
#include <vector>

namespace sonarchive {

// The one chunked file copy: in the kernel (copy_file_range) where the file
// systems allow it, through memory otherwise, interrupted calls retried. A
// read of the source that fails is tried again from where it failed, as
// `retry` says, before the copy fails.
struct FileCopyCallbacks {
    // After each chunk: the bytes of the file copied so far, and its size.
    std::function<void(std::uint64_t done, std::uint64_t total)> progress;
    // Asked after each chunk; true stops the copy.
    std::function<bool()> cancelled;
    // How failed opens and reads of the source are tried again.
    ReadRetry retry;
    // Reads the source (the system's pread when empty; the copy then goes
    // through memory). Tests put a failing or slow one in.
    ReadFunction read;
    // Called when every byte is in the new file, before it gets its name: the
    // open file and its temporary name. It may change the file; a throw fails
    // the copy.
    std::function<void(int fd, const std::filesystem::path& temporary)> complete;
};

enum class FileCopyOutcome { Copied, Cancelled };

inline constexpr std::size_t kFileCopyChunk = 4u << 20;  // full speed, yet a responsive window between chunks

// A copy that failed, with the step that failed; the error number and the
// plain words are those of systemError().
class SONARCHIVE_EXPORT FileCopyError : public Error {
public:
    enum class Step { OpenSource, ReadSource, WriteCopy };
    FileCopyError(Step step, const Error& error);
    ~FileCopyError() override;
    Step step() const { return m_step; }

private:
    Step m_step;
};

// Writes a new file under a temporary name in the folder of `destination`
// through `write` (given the open file and its name) and, once `write` answers
// true, flushes it to the disk and gives it the name of `destination`: over a
// file of that name when `replace` is set, never over one otherwise. So no
// failure, cancellation, kill or power cut leaves a file under that name that
// is not whole, and only a kill leaves the temporary file (".sonarchive-copy-...",
// marked in use while it is written and named: see removeLeftoverCopies).
// Throws FileCopyError (step WriteCopy) for its own failures.
SONARCHIVE_EXPORT FileCopyOutcome writeUnderTemporaryName(const std::filesystem::path& destination, bool replace,
                                                          unsigned mode,
                                                          const std::function<bool(int fd, const std::filesystem::path& temporary)>& write);

// Copies the regular file `source` to `destination`, which must not exist yet
// (an existing file is never touched). A copy that fails or is cancelled leaves
// no destination file. Throws FileCopyError, in plain words for a read-only or
// full destination.
SONARCHIVE_EXPORT FileCopyOutcome copyToNewFile(const std::filesystem::path& source, const std::filesystem::path& destination,
                                                const FileCopyCallbacks& callbacks = {});

// Copies `source` over `destination`, whether it exists or not: a failure or a
// cancellation leaves the destination as it was.
SONARCHIVE_EXPORT FileCopyOutcome copyReplacing(const std::filesystem::path& source, const std::filesystem::path& destination,
                                                const FileCopyCallbacks& callbacks = {});

// A complete copy not yet flushed to its disk nor given its name: the file,
// still open, under its temporary name in the destination's folder. A batch of
// copies keeps them so and names them together (nameCopies), so that its disk
// is flushed once for many files rather than once for each.
struct UnnamedCopy {
    FileDescriptor file;  // open, so that a failed write of its data is still told
    FileDescriptor lock;  // marks the temporary file in use until it has its name
    std::filesystem::path temporary;
    std::filesystem::path destination;
    bool replace = true;
};

// copyReplacing that stops short of flushing and naming the copy: on success
// `unnamed` holds it. Cancelled or failed, nothing is left.
SONARCHIVE_EXPORT FileCopyOutcome copyUnnamed(const std::filesystem::path& source, const std::filesystem::path& destination,
                                              const FileCopyCallbacks& callbacks, UnnamedCopy& unnamed);

// Flushes the copies to their disks (each disk once) and gives each its name,
// in order, as writeUnderTemporaryName would have. A copy whose data could not
// be written, or that could not be named, loses its temporary file; its index
// and error are returned.
SONARCHIVE_EXPORT std::vector<std::pair<std::size_t, FileCopyError>> nameCopies(std::vector<UnnamedCopy>& copies);

// Removes the temporary files of copies that are not to be named.
SONARCHIVE_EXPORT void discardCopies(std::vector<UnnamedCopy>& copies) noexcept;

// How the names of the temporary files of copies begin.
inline constexpr std::string_view kCopyTemporaryMark = ".sonarchive-copy-";

// Removes from `folder` the temporary files of copies that a killed process
// left: those no running copy holds marked in use.
SONARCHIVE_EXPORT void removeLeftoverCopies(const std::filesystem::path& folder);

}  // namespace sonarchive
