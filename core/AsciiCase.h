#pragma once

#include <algorithm>
#include <string>
#include <string_view>

namespace sonarchive {

// Case changes of the letters A-Z alone, for names that are ASCII by nature:
// file extensions, codec and container names, device folder names. Other
// characters stay as they are, whatever the locale.
template <typename Char>
constexpr Char asciiLower(Char c)
{
    return c >= Char('A') && c <= Char('Z') ? static_cast<Char>(c - Char('A') + Char('a')) : c;
}

template <typename Char>
constexpr Char asciiUpper(Char c)
{
    return c >= Char('a') && c <= Char('z') ? static_cast<Char>(c - Char('a') + Char('A')) : c;
}

template <typename Char>
std::basic_string<Char> lowerAscii(std::basic_string<Char> text)
{
    std::transform(text.begin(), text.end(), text.begin(), asciiLower<Char>);
    return text;
}

template <typename Char>
std::basic_string<Char> upperAscii(std::basic_string<Char> text)
{
    std::transform(text.begin(), text.end(), text.begin(), asciiUpper<Char>);
    return text;
}

// Whether `part` stands in `text`, A-Z matching a-z; an empty part always does.
inline bool containsAsciiNoCase(std::u16string_view text, std::u16string_view part)
{
    return part.empty()
        || std::search(text.begin(), text.end(), part.begin(), part.end(),
                       [](char16_t a, char16_t b) { return asciiLower(a) == asciiLower(b); })
            != text.end();
}

}  // namespace sonarchive
