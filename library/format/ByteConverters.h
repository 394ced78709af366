#pragma once

#include <cstdint>
#include <string>

namespace sonarchive {

// Little-endian bytes of a value, as the database file holds it.
std::string CurToBytes(const std::int64_t& value);   // 8 bytes; the file's 64-bit field as it is
std::string LongToBytes(const std::int32_t& value);  // 4 bytes
std::string IntToBytes(const std::int16_t& value);   // 2 bytes
std::string ByteToBytes(const std::uint8_t& value);  // 1 byte

}  // namespace sonarchive
