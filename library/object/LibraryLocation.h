#pragma once

#include <filesystem>

namespace sonarchive {

// The folder that holds the loaded library file (the executable itself when the
// library's code is linked in statically). Its companions live there: the
// converter and the template database.
std::filesystem::path libraryFolder();

}  // namespace sonarchive
