#include "LibraryLocation.h"

#include <dlfcn.h>

// Where the install puts the library's data, relative to the library's folder;
// the build sets it from the install folders.
#ifndef SONARCHIVE_DATA_FROM_LIBRARY
#define SONARCHIVE_DATA_FROM_LIBRARY "../../share/sonarchive"
#endif

namespace sonarchive {

std::filesystem::path libraryFolder()
{
    Dl_info where{};
    if (::dladdr(reinterpret_cast<void*>(&libraryFolder), &where) == 0 || !where.dli_fname || !*where.dli_fname)
        return {};
    std::error_code ec;
    std::filesystem::path file = std::filesystem::weakly_canonical(std::filesystem::path(where.dli_fname), ec);
    if (ec)
        file = std::filesystem::absolute(std::filesystem::path(where.dli_fname), ec);
    return file.parent_path();
}

std::filesystem::path libraryDataFile(const std::filesystem::path& folder, std::string_view name)
{
    std::error_code ec;
    const std::filesystem::path beside = folder / name;
    if (std::filesystem::is_regular_file(beside, ec))
        return beside;
    return (folder / SONARCHIVE_DATA_FROM_LIBRARY / name).lexically_normal();
}

std::filesystem::path libraryDataFile(std::string_view name)
{
    return libraryDataFile(libraryFolder(), name);
}

}  // namespace sonarchive
