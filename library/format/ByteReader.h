#pragma once

#include "Error.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace sonarchive {

// Checked little-endian reads over the loaded file. Every read checks the bytes
// left and throws FormatError with the offset; positions are zero-based here.
class ByteReader {
public:
    explicit ByteReader(std::string_view data) : m_data(data) {}

    std::size_t size() const { return m_data.size(); }
    std::int64_t pos() const { return m_pos; }
    // Moves to where a size says the next chunk starts; a place beyond the end
    // of the data is a damaged size, not a chunk.
    void seek(std::int64_t pos)
    {
        if (pos < 0 || pos > static_cast<std::int64_t>(m_data.size()))
            fail("a size points to byte " + groupedNumber(pos) + ", past the end of the file");
        m_pos = pos;
    }
    std::int64_t remaining() const { return m_pos < static_cast<std::int64_t>(m_data.size()) ? static_cast<std::int64_t>(m_data.size()) - m_pos : 0; }

    std::uint8_t u8() { return static_cast<std::uint8_t>(take(1, "8-bit field")[0]); }
    std::int16_t i16le();
    std::int32_t i32le() { return static_cast<std::int32_t>(u32Of(take(4, "32-bit field").data())); }
    std::int64_t i64le();
    std::string bytes(std::size_t count, const char* what = "byte string") { return std::string(take(count, what)); }
    // The next `count` bytes as they stand, checked and stepped over.
    std::string_view span(std::size_t count, const char* what) { return take(count, what); }
    std::u16string magic();                     // 4 ASCII bytes as text
    std::u16string reversedCode();              // 4 bytes, reversed, as text

    // Reads at an absolute position without moving; `what` names the chunk for the failure.
    std::int32_t i32At(std::int64_t pos, const char* what = "a chunk") const
    {
        if (pos < 0 || pos + 4 > static_cast<std::int64_t>(m_data.size()))
            failAt(m_pos, std::string("the file ends inside ") + what);
        return static_cast<std::int32_t>(u32Of(m_data.data() + pos));
    }

    // Up to `count` bytes from `pos`, fewer when the data ends first (never throws).
    std::string_view clipped(std::int64_t pos, std::int64_t count) const;
    // UTF-16LE text of up to `byteCount` bytes at `pos`, fewer when the data ends first;
    // an odd final byte becomes a character of its own.
    std::u16string utf16leClipped(std::int64_t pos, std::int64_t byteCount) const;
    // The same into `out`, reusing its room.
    void utf16leClipped(std::int64_t pos, std::int64_t byteCount, std::u16string& out) const;

    // The little-endian 32-bit value of four bytes.
    static std::uint32_t u32Of(const char* b)
    {
        return static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[0])) |
               static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[1])) << 8 |
               static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[2])) << 16 |
               static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[3])) << 24;
    }

    [[noreturn]] void fail(const std::string& reason) const { throw FormatError(reason, m_pos); }
    [[noreturn]] static void failAt(std::int64_t offset, const std::string& reason) { throw FormatError(reason, offset); }

private:
    std::string_view take(std::size_t count, const char* what)
    {
        if (m_pos < 0 || static_cast<std::uint64_t>(remaining()) < count)
            failShort(count, what);
        const std::string_view out = m_data.substr(static_cast<std::size_t>(m_pos), count);
        m_pos += static_cast<std::int64_t>(count);
        return out;
    }
    [[noreturn]] void failShort(std::size_t count, const char* what) const;

    std::string_view m_data;
    std::int64_t m_pos = 0;
};

}  // namespace sonarchive
