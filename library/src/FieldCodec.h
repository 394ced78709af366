#pragma once

#include "ByteReader.h"

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

}  // namespace sonarchive
