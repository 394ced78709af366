#pragma once

#include <string>
#include <string_view>

namespace sonarchive {

// A text without the characters of `blanks` at its ends.
template <typename Char>
std::basic_string<Char> trimmedBlanks(std::basic_string_view<Char> text, std::basic_string_view<Char> blanks)
{
    const auto first = text.find_first_not_of(blanks);
    if (first == std::basic_string_view<Char>::npos)
        return {};
    return std::basic_string<Char>(text.substr(first, text.find_last_not_of(blanks) - first + 1));
}

// A text without the blanks (spaces) at its ends.
inline std::u16string trimmedBlanks(std::u16string_view text) { return trimmedBlanks(text, std::u16string_view(u" ")); }
inline std::string trimmedBlanks(std::string_view text) { return trimmedBlanks(text, std::string_view(" ")); }

}  // namespace sonarchive
