#pragma once

#include <filesystem>
#include <functional>
#include <string_view>

namespace sonarchive {

// Replaces `target` with `bytes` so that at every moment either the old or the
// new file is there whole: the new file is written beside the old one, flushed
// to the device, then renamed over it. On failure the old file is untouched and
// the temporary file is gone. Throws std::system_error.
void replaceFileAtomically(const std::filesystem::path& target, std::string_view bytes);

// For tests: called before each step ("create", "write", "sync", "rename");
// it may throw to simulate a failing device.
void setFileFaultHook(std::function<void(const char* step)> hook);

}  // namespace sonarchive
