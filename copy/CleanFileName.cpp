#include "CleanFileName.h"

#include <algorithm>
#include <string_view>

namespace trackcopy {

std::u16string CleanFileName(const std::u16string& name)
{
    try {
        std::u16string cleaned = name;
        for (const char16_t removed : std::u16string_view(u"\\/*:\"<>|?"))
            cleaned.erase(std::remove(cleaned.begin(), cleaned.end(), removed), cleaned.end());
        if (cleaned.find_first_not_of(u' ') == std::u16string::npos)
            return u"iPodFile";
        return cleaned;
    } catch (...) {
        return u"iPodFile";  // any failure along the way gives the fallback name
    }
}

}  // namespace trackcopy
