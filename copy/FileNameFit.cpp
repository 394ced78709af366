#include "FileNameFit.h"

#include <sonarchive/ByteText.h>

#include <algorithm>

namespace trackcopy {

namespace {

// Length of the UTF-8 sequence starting with `lead` (1 for stray bytes).
std::size_t sequenceLength(unsigned char lead)
{
    if (lead >= 0xF0 && lead < 0xF8)
        return 4;
    if (lead >= 0xE0)
        return lead < 0xF0 ? 3 : 1;
    if (lead >= 0xC0)
        return 2;
    return 1;
}

}  // namespace

std::string fitStem(std::string_view stem, std::string_view suffix, std::size_t limit)
{
    const std::size_t budget = suffix.size() < limit ? limit - suffix.size() : 0;
    std::string out;
    for (std::size_t i = 0; i < stem.size();) {
        const std::size_t length = std::min(sequenceLength(static_cast<unsigned char>(stem[i])), stem.size() - i);
        if (stem[i] == '\0') {
            ++i;
            continue;
        }
        if (out.size() + length > budget)
            break;
        out.append(stem.substr(i, length));
        i += length;
    }
    return out;
}

std::string trackFileName(const std::u16string& cleanedTitle, const std::u16string& extension)
{
    std::string suffix = ".";
    suffix += fitStem(sonarchive::toUtf8(extension), "", kMaxFileNameBytes - 1);
    // Without an extension the trailing "." is dropped when copying, so it takes no room.
    const std::string_view counted = extension.empty() ? std::string_view() : std::string_view(suffix);
    return fitStem(sonarchive::toUtf8(cleanedTitle), counted) + suffix;
}

}  // namespace trackcopy
