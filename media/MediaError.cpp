#include "MediaError.h"

#include <cstring>
#include <new>

namespace sonarchive {

MediaError MediaError::fromErrno(int code)
{
    return MediaError(code, std::strerror(code));
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
