#pragma once

#include <string>
#include <string_view>

namespace sonarchive {

// A text without the blanks (spaces) at its ends.
template <typename Char>
std::basic_string<Char> trimmedBlanks(std::basic_string_view<Char> text)
{
    const auto first = text.find_first_not_of(Char(' '));
    if (first == std::basic_string_view<Char>::npos)
        return {};
    return std::basic_string<Char>(text.substr(first, text.find_last_not_of(Char(' ')) - first + 1));
}

inline std::u16string trimmedBlanks(const std::u16string& text) { return trimmedBlanks(std::u16string_view(text)); }
inline std::string trimmedBlanks(const std::string& text) { return trimmedBlanks(std::string_view(text)); }

}  // namespace sonarchive
