#pragma once

#include <string_view>

namespace sonarchive {

// `text` without the characters of `blanks` at either end; empty when nothing
// else is there. A view into `text`.
template <typename Char>
constexpr std::basic_string_view<Char> trimmedView(std::basic_string_view<Char> text, std::basic_string_view<Char> blanks)
{
    const auto first = text.find_first_not_of(blanks);
    if (first == std::basic_string_view<Char>::npos)
        return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// The same for bytes and for UTF-16 text; by default only blanks (U+0020) go.
constexpr std::string_view trimmed(std::string_view text, std::string_view blanks = " ")
{
    return trimmedView(text, blanks);
}

constexpr std::u16string_view trimmed(std::u16string_view text, std::u16string_view blanks = u" ")
{
    return trimmedView(text, blanks);
}

}  // namespace sonarchive
