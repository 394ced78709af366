#pragma once

#include <filesystem>
#include <string_view>

namespace sonarchive {

// The folder that holds the loaded library file (the executable itself when the
// library's code is linked in statically). The converter may live there.
std::filesystem::path libraryFolder();

// A file the library ships with, such as the template database: beside the
// library in the build tree, else in the library's data folder of the prefix it
// is installed under (<prefix>/share/sonarchive for <prefix>/lib/<arch>). When
// neither holds it, the installed place, for the message that it is missing.
std::filesystem::path libraryDataFile(std::string_view name);

// The same from a given library folder.
std::filesystem::path libraryDataFile(const std::filesystem::path& folder, std::string_view name);

}  // namespace sonarchive
