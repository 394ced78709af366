#include "ByteReader.h"

#include <algorithm>

namespace sonarchive {

void ByteReader::failShort(std::size_t count, const char* what) const
{
    fail("the file ends inside a " + std::string(what) + " of " + std::to_string(count) + " bytes");
}

std::int16_t ByteReader::i16le()
{
    const auto b = take(2, "16-bit field");
    return static_cast<std::int16_t>(static_cast<std::uint8_t>(b[0]) | static_cast<std::uint8_t>(b[1]) << 8);
}


std::int64_t ByteReader::i64le()
{
    const auto b = take(8, "64-bit field");
    const std::uint64_t low = u32Of(b.data());
    const std::uint64_t high = u32Of(b.data() + 4);
    return static_cast<std::int64_t>(low | high << 32);
}

std::u16string ByteReader::magic()
{
    const auto b = take(4, "magic");
    std::u16string out;
    for (char c : b)
        out.push_back(static_cast<char16_t>(static_cast<std::uint8_t>(c)));
    return out;
}

std::u16string ByteReader::reversedCode()
{
    const auto b = take(4, "file type code");
    std::u16string out;
    for (auto it = b.rbegin(); it != b.rend(); ++it)
        out.push_back(static_cast<char16_t>(static_cast<std::uint8_t>(*it)));
    return out;
}


std::string_view ByteReader::clipped(std::int64_t pos, std::int64_t count) const
{
    const auto size = static_cast<std::int64_t>(m_data.size());
    if (pos < 0 || pos >= size || count <= 0)
        return {};
    return m_data.substr(static_cast<std::size_t>(pos), static_cast<std::size_t>(std::min(count, size - pos)));
}

std::u16string ByteReader::utf16leClipped(std::int64_t pos, std::int64_t byteCount) const
{
    std::u16string out;
    utf16leClipped(pos, byteCount, out);
    return out;
}

void ByteReader::utf16leClipped(std::int64_t pos, std::int64_t byteCount, std::u16string& out) const
{
    const std::string_view b = clipped(pos, byteCount);
    out.resize((b.size() + 1) / 2);
    for (std::size_t i = 0; i + 1 < b.size(); i += 2)
        out[i / 2] = static_cast<char16_t>(static_cast<std::uint8_t>(b[i]) | static_cast<std::uint8_t>(b[i + 1]) << 8);
    if (b.size() % 2)
        out.back() = static_cast<char16_t>(static_cast<std::uint8_t>(b.back()));
}

}  // namespace sonarchive
