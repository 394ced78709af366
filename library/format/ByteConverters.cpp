#include "ByteConverters.h"

namespace sonarchive {

namespace {
std::string littleEndian(std::uint64_t value, int width)
{
    std::string out(static_cast<std::size_t>(width), '\0');
    for (int i = 0; i < width; ++i)
        out[static_cast<std::size_t>(i)] = static_cast<char>(value >> (8 * i) & 0xFF);
    return out;
}
}  // namespace

std::string CurToBytes(const std::int64_t& value) { return littleEndian(static_cast<std::uint64_t>(value), 8); }
std::string LongToBytes(const std::int32_t& value) { return littleEndian(static_cast<std::uint32_t>(value), 4); }
std::string IntToBytes(const std::int16_t& value) { return littleEndian(static_cast<std::uint16_t>(value), 2); }
std::string ByteToBytes(const std::uint8_t& value) { return littleEndian(value, 1); }

}  // namespace sonarchive
