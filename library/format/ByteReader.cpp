#include "ByteReader.h"

#include <algorithm>

namespace sonarchive {

std::string_view ByteReader::take(std::size_t count, const char* what)
{
    if (m_pos < 0 || static_cast<std::uint64_t>(remaining()) < count)
        fail("the file ends inside a " + std::string(what) + " of " + std::to_string(count) + " bytes");
    std::string_view out = m_data.substr(static_cast<std::size_t>(m_pos), count);
    m_pos += static_cast<std::int64_t>(count);
    return out;
}

std::int16_t ByteReader::i16le()
{
    const auto b = take(2, "16-bit field");
    return static_cast<std::int16_t>(static_cast<std::uint8_t>(b[0]) | static_cast<std::uint8_t>(b[1]) << 8);
}

static std::uint32_t u32Of(std::string_view b)
{
    return static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[0])) |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[1])) << 8 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[2])) << 16 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[3])) << 24;
}

std::int32_t ByteReader::i32le()
{
    return static_cast<std::int32_t>(u32Of(take(4, "32-bit field")));
}

std::int64_t ByteReader::i64le()
{
    const auto b = take(8, "64-bit field");
    const std::uint64_t low = u32Of(b.substr(0, 4));
    const std::uint64_t high = u32Of(b.substr(4, 4));
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

std::int32_t ByteReader::i32At(std::int64_t pos, const char* what) const
{
    if (pos < 0 || pos + 4 > static_cast<std::int64_t>(m_data.size()))
        failAt(m_pos, std::string("the file ends inside ") + what);
    return static_cast<std::int32_t>(u32Of(m_data.substr(static_cast<std::size_t>(pos), 4)));
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
    const std::string_view b = clipped(pos, byteCount);
    std::u16string out;
    out.resize((b.size() + 1) / 2);
    for (std::size_t i = 0; i + 1 < b.size(); i += 2)
        out[i / 2] = static_cast<char16_t>(static_cast<std::uint8_t>(b[i]) | static_cast<std::uint8_t>(b[i + 1]) << 8);
    if (b.size() % 2)
        out.back() = static_cast<char16_t>(static_cast<std::uint8_t>(b.back()));
    return out;
}

}  // namespace sonarchive
