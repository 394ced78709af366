#pragma once

#include "ByteConverters.h"
#include "ByteReader.h"
#include "ImageBuffer.h"

#include <sonarchive/RecordFields.h>

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
// offset: a byte string shorter than its width is followed by zero bytes, a
// longer one is cut where the next field starts.
template <typename Record, typename Fields>
void writeFields(ImageBuffer& image, std::int64_t pos, const Record& record, const Fields& fields)
{
    forEachField(fields, [&](const auto& field) {
        const auto& value = record.*(field.member);
        using T = std::remove_cvref_t<decltype(value)>;
        std::string bytes;
        if constexpr (std::is_same_v<T, std::u16string>) {
            for (char16_t c : value)
                bytes.push_back(static_cast<char>(c & 0xFF));
            if (field.kind == FieldKind::Reversed)
                bytes.assign(bytes.rbegin(), bytes.rend());
        } else if constexpr (std::is_same_v<T, std::string>) {
            bytes = value;
        } else if constexpr (sizeof(T) == 1) {
            bytes = ByteToBytes(value);
        } else if constexpr (sizeof(T) == 2) {
            bytes = IntToBytes(value);
        } else if constexpr (sizeof(T) == 4) {
            bytes = LongToBytes(value);
        } else {
            bytes = CurToBytes(value);
        }
        bytes.resize(static_cast<std::size_t>(field.width), '\0');
        image.write(pos, bytes);
        pos += field.width;
    });
}

}  // namespace sonarchive
