#pragma once

#include <filesystem>
#include <string_view>

namespace sonarchive {

// Files a writer keeps under a temporary name are marked in use by an advisory
// lock (flock) held as long as the writer needs them, so that the leftovers of
// a killed writer can be told from the files of one still at work.

// Marks the open file as in use until its descriptor is closed. False when
// another process holds it (it may be about to remove it); true also where the
// file system keeps no locks, as nothing can then be told of it either way.
bool markInUse(int fd);

// Removes the regular files of `folder` whose names begin with `prefix` and
// that no process holds (see markInUse). Files of other names, symbolic links,
// and files still held are never touched; a file that cannot be looked at is
// left alone.
void removeUnheldFiles(const std::filesystem::path& folder, std::string_view prefix);

}  // namespace sonarchive
