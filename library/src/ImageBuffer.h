#pragma once

#include <cstdint>
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
        if (pos < 0 || pos + static_cast<std::int64_t>(bytes.size()) > kLimit)
            throw std::out_of_range("database record placed outside the file: offset " + std::to_string(pos));
        const auto end = static_cast<std::size_t>(pos) + bytes.size();
        if (end > m_data.size())
            m_data.resize(end, '\0');
        m_data.replace(static_cast<std::size_t>(pos), bytes.size(), bytes);
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
