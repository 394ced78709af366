#pragma once

#include <filesystem>
#include <string>

namespace bench {

// The device of the measurements: the one in SONARCHIVE_BENCH_DEVICE when it is
// set (a real iPod's mount folder, say), else a temporary device holding the
// builder's large database (40,000 tracks shaped as other software writes them,
// about 76 MB), made once per process.
const std::filesystem::path& bigDevice();

// Its database file.
std::filesystem::path bigDatabaseFile();

// Whether the device is one the environment named (then nothing may be written to it).
bool deviceFromEnvironment();

}  // namespace bench
