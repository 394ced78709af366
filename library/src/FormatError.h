#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace sonarchive {

// A database file that cannot be decoded: a read outside the data, an impossible
// size or count. Carries the offset where decoding stopped.
class FormatError : public std::runtime_error {
public:
    FormatError(const std::string& what, std::int64_t offset)
        : std::runtime_error(what + " at offset " + std::to_string(offset)), m_offset(offset)
    {
    }
    std::int64_t offset() const { return m_offset; }

private:
    std::int64_t m_offset;
};

}  // namespace sonarchive
