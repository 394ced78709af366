#pragma once

#include "ByteConverters.h"
#include "ByteReader.h"
#include "ImageBuffer.h"

#include <sonarchive/RecordFields.h>

#include <algorithm>
#include <cstring>
#include <type_traits>

namespace sonarchive {

// Decodes the fixed part of a chunk at the reader's position, field by field.
template <typename Record, typename Fields>
void readFields(ByteReader& reader, Record& record, const Fields& fields)
{
    forEachField(fields, [&](const auto& field) {
        auto& value = record.*(field.member);
        using T = std::remove_cvref_t<decltype(value)>;
        if constexpr (std::is_same_v<T, std::u16string>)
            value = field.kind == FieldKind::Reversed ? reader.reversedCode() : reader.magic();
        else if constexpr (std::is_same_v<T, std::string>)
            value = reader.bytes(static_cast<std::size_t>(field.width));
        else if constexpr (sizeof(T) == 1)
            value = reader.u8();
        else if constexpr (sizeof(T) == 2)
            value = reader.i16le();
        else if constexpr (sizeof(T) == 4)
            value = reader.i32le();
        else
            value = reader.i64le();
    });
}

// Encodes the fixed part of a chunk at `pos`, field by field, each at its own
// offset, little-endian: a byte string shorter than its width is followed by
// zero bytes, a longer one is cut where the next field starts.
template <typename Record, typename Fields>
void writeFields(ImageBuffer& image, std::int64_t pos, const Record& record, const Fields& fields)
{
    char* out = image.at(pos, static_cast<std::size_t>(fixedSize(fields)));
    forEachField(fields, [&](const auto& field) {
        const auto& value = record.*(field.member);
        using T = std::remove_cvref_t<decltype(value)>;
        const auto width = static_cast<std::size_t>(field.width);
        if constexpr (std::is_same_v<T, std::u16string>) {
            for (std::size_t i = 0; i < width; ++i) {
                const std::size_t from = field.kind == FieldKind::Reversed ? width - 1 - i : i;
                out[i] = from < value.size() ? static_cast<char>(value[from] & 0xFF) : '\0';
            }
        } else if constexpr (std::is_same_v<T, std::string>) {
            const std::size_t n = std::min(width, value.size());
            std::memcpy(out, value.data(), n);
            std::memset(out + n, 0, width - n);
        } else {
            using Unsigned = std::make_unsigned_t<T>;
            const auto bits = static_cast<std::uint64_t>(static_cast<Unsigned>(value));
            for (std::size_t i = 0; i < width; ++i)
                out[i] = static_cast<char>(bits >> (8 * i) & 0xFF);
        }
        out += width;
    });
}

}  // namespace sonarchive
