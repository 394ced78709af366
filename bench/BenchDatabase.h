#pragma once

#include <filesystem>
#include <string>

namespace bench {

// The big device of the measurements: 40,000 tracks with 7 string records each
// and 20 playlists (a master playlist of every track plus 19 of 2,000), about 50 MB.
std::string bigDatabaseImage();

// A device folder holding that database, made once per process.
const std::filesystem::path& bigDevice();

}  // namespace bench
