#pragma once

#include "FileWrites.h"

#include <filesystem>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace sonarchive {

// Replaces `target` with `bytes` so that at every moment either the old or the
// new file is there whole: the new file is written beside the old one, flushed
// to the device, then renamed over it. On failure the old file is untouched and
// the temporary file is gone. Throws sonarchive::Error, in plain words for a
// read-only or full device.
//
// The temporary file is named "<target>.sonarchive-partial-XXXXXX" and locked
// while it is written. One that a killed write left behind (power loss, kill -9)
// is removed by the next replacement of the same target; files of any other name
// and those another writer still holds are never touched.
void replaceFileAtomically(const std::filesystem::path& target, std::string_view bytes);
// The same with the new file written by `produce`, given the temporary file's
// descriptor and name (writeAll/writeAllAt write to it).
void replaceFileAtomically(const std::filesystem::path& target,
                           const std::function<void(int fd, const std::string& name)>& produce);

// The part of a temporary file's name after the target's own name.
inline constexpr std::string_view kPartialFileMark = ".sonarchive-partial-";

// Removes the temporary files that killed replacements of `target` left.
void removeLeftoverPartialFiles(const std::filesystem::path& target);

}  // namespace sonarchive
