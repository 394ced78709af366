#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>

namespace sonarchive {

struct CopyProgress {
    // After each chunk: the share done, 0 to 100.
    std::function<void(std::int16_t percent)> progress;
    // Lets the caller's user interface run; called after each chunk.
    std::function<void()> pumpMessages;
    // Asked after each chunk; true stops the copy.
    std::function<bool()> cancelRequested;
};

enum class CopyOutcome { Copied, Cancelled };

// Copies `source` to the new file `destination` in large chunks, never
// replacing a file that is there. A copy that fails or is cancelled leaves no
// destination file behind. Throws std::system_error on failure.
CopyOutcome copyFileInChunks(const std::filesystem::path& source, const std::filesystem::path& destination,
                             const CopyProgress& callbacks);

}  // namespace sonarchive
