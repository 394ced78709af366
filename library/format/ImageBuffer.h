#pragma once

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>

namespace sonarchive {

// The new database file, assembled in memory with positioned writes: writing
// past the end grows it with zero bytes, and a later write over earlier bytes
// replaces them, exactly as positioned writes into a new file would.
class ImageBuffer {
public:
    void write(std::int64_t pos, std::string_view bytes)
    {
        if (!bytes.empty())
            std::memcpy(at(pos, bytes.size()), bytes.data(), bytes.size());
    }
    // Room for `count` bytes at `pos`, grown with zeros; the place to write them.
    char* at(std::int64_t pos, std::size_t count)
    {
        if (pos < 0 || pos + static_cast<std::int64_t>(count) > kLimit)
            throw std::out_of_range("database record placed outside the file: offset " + std::to_string(pos));
        const auto end = static_cast<std::size_t>(pos) + count;
        if (end > m_data.size())
            m_data.resize(end, '\0');
        return m_data.data() + pos;
    }
    void reserve(std::size_t size) { m_data.reserve(size); }
    std::int64_t size() const { return static_cast<std::int64_t>(m_data.size()); }
    const std::string& bytes() const { return m_data; }
    std::string& bytes() { return m_data; }

private:
    static constexpr std::int64_t kLimit = 0x7fffffff;  // sizes are 32-bit fields
    std::string m_data;
};

}  // namespace sonarchive
