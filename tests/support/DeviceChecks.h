#pragma once

#include <string>

namespace testsupport {

// Checks that every size field of a database image describes exactly the bytes
// it spans: sections chain to the end of the file, tracks and playlists to the
// end of their section. Returns an empty text when they do, else what is wrong.
std::string sizeMismatch(const std::string& image);

}  // namespace testsupport
