#include "LibraryLocation.h"

#include <dlfcn.h>

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

}  // namespace sonarchive
