#include <sonarchive/TrackValues.h>

#include <sonarchive/ByteText.h>

#include <algorithm>

namespace sonarchive {

namespace {

bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// The value of 1 to 4 leading ASCII digits and where they end; -1 when the text
// does not start with one to four digits.
int leadingDigits(std::u16string_view text, std::size_t& end)
{
    end = 0;
    int value = 0;
    while (end < text.size() && isDigit(text[end])) {
        if (end == 4)
            return -1;
        value = value * 10 + (text[end] - u'0');
        ++end;
    }
    return end == 0 ? -1 : value;
}

bool isByteText(std::u16string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char16_t c) { return c <= 0xFF; });
}

int integerYear(std::string_view bytes)
{
    if (bytes.size() != 4)
        return 0;
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = v << 8 | static_cast<std::uint8_t>(bytes[static_cast<std::size_t>(i)]);
    return v >= 1 && v <= 9999 ? static_cast<int>(v) : 0;
}

}  // namespace

int trackYear(std::string_view yearBytes)
{
    if (const int year = integerYear(yearBytes))
        return year;
    const std::u16string text = bytesToText(yearBytes);
    std::size_t end = 0;
    const int digits = leadingDigits(text, end);
    if (digits < 0 || !std::all_of(text.begin() + static_cast<std::ptrdiff_t>(end), text.end(), [](char16_t c) { return c == 0; }))
        return 0;
    return digits;
}

int trackYear(const TrackInfo& info)
{
    // Read as the library would store it, so text and bytes agree.
    return trackYear(yearField(info.sYear));
}

std::string yearField(std::u16string_view year)
{
    const auto asInteger = [](std::uint32_t v) {
        return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8 & 0xFF), static_cast<char>(v >> 16 & 0xFF),
                           static_cast<char>(v >> 24 & 0xFF)};
    };
    // A track's own four bytes, passed back, stay exactly as they are.
    if (year.size() == 4 && isByteText(year) && integerYear(textToBytes(year)))
        return textToBytes(year);

    std::u16string_view text = year;
    while (!text.empty() && (text.back() == u'\0' || text.back() == u' '))
        text.remove_suffix(1);
    while (!text.empty() && text.front() == u' ')
        text.remove_prefix(1);
    if (text.empty())
        return asInteger(0);
    std::size_t end = 0;
    const int digits = leadingDigits(text, end);
    const bool dateGoesOn = end < text.size() && (text[end] == u'-' || text[end] == u'/' || text[end] == u'.' ||
                                                  text[end] == u'T' || text[end] == u' ');
    if (digits >= 0 && (end == text.size() || dateGoesOn))
        return asInteger(static_cast<std::uint32_t>(digits));
    if (year.size() == 4 && isByteText(year))
        return textToBytes(year);
    return asInteger(0);
}

namespace {
constexpr std::int64_t kSecondsFrom1904To1970 = 2082844800;
}

std::int64_t unixTimeOf(std::uint32_t deviceTime)
{
    return deviceTime == 0 ? 0 : static_cast<std::int64_t>(deviceTime) - kSecondsFrom1904To1970;
}

std::uint32_t deviceTimeOf(std::int64_t unixTime)
{
    const std::int64_t device = unixTime + kSecondsFrom1904To1970;
    return unixTime == 0 || device <= 0 || device > 0xFFFFFFFFll ? 0 : static_cast<std::uint32_t>(device);
}

std::int64_t unixTimeOf(std::string_view fourBytes)
{
    if (fourBytes.size() != 4)
        return 0;
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = v << 8 | static_cast<std::uint8_t>(fourBytes[static_cast<std::size_t>(i)]);
    return unixTimeOf(v);
}

}  // namespace sonarchive
