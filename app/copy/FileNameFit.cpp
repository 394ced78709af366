#include "FileNameFit.h"

#include <algorithm>

namespace tracklift {

namespace {

void appendCodePoint(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

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

std::string utf8(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;
        }
        appendCodePoint(out, c);
    }
    return out;
}

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
    suffix += fitStem(utf8(extension), "", kMaxFileNameBytes - 1);
    // Without an extension the trailing "." is dropped when copying, so it takes no room.
    const std::string_view counted = extension.empty() ? std::string_view() : std::string_view(suffix);
    return fitStem(utf8(cleanedTitle), counted) + suffix;
}

}  // namespace tracklift
