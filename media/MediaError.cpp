#include "MediaError.h"

#include <cstring>
#include <new>

namespace sonarchive {

MediaError MediaError::fromErrno(int code)
{
    return MediaError(code, std::strerror(code));
}

MediaError MediaError::fileTooLarge(std::uint64_t bytes)
{
    std::string digits = std::to_string(bytes);
    for (std::ptrdiff_t i = static_cast<std::ptrdiff_t>(digits.size()) - 3; i > 0; i -= 3)
        digits.insert(static_cast<std::size_t>(i), 1, ',');
    return MediaError(kOverflow, "Overflow: the file is " + digits +
                                     " bytes, and the iPod's database holds only files smaller than 4 GiB (4,294,967,296 bytes)");
}

MediaError toMediaError(const std::exception& e)
{
    if (const auto* media = dynamic_cast<const MediaError*>(&e))
        return *media;
    if (dynamic_cast<const std::bad_alloc*>(&e))
        return MediaError(MediaError::kOutOfMemory, "Out of memory");
    return MediaError(MediaError::kInvalidCall, e.what());  // anything else
}

}  // namespace sonarchive
