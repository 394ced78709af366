#pragma once

#include "ByteConverters.h"
#include "ByteReader.h"
#include "ImageBuffer.h"

#include <sonarchive/RecordFields.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <type_traits>
#include <utility>

namespace sonarchive {

// Decoding and encoding the fixed part of a chunk from its field table. The
// table is a template argument, so every field's offset and width are constants
// and each field is one load or store.

// The offset of every field of a table, in order.
template <const auto& Fields>
inline constexpr auto kFieldOffsets = [] {
    std::array<int, std::tuple_size_v<std::remove_cvref_t<decltype(Fields)>>> offsets{};
    std::size_t i = 0;
    int at = 0;
    forEachField(Fields, [&](const auto& field) {
        offsets[i++] = at;
        at += field.width;
    });
    return offsets;
}();

template <const auto& Fields>
inline constexpr std::size_t kFieldCount = std::tuple_size_v<std::remove_cvref_t<decltype(Fields)>>;

// One field from the bytes of its chunk's fixed part. Texts and byte strings are
// assigned in place, so a record decoded again keeps the room its strings had.
template <const auto& Fields, std::size_t I, typename Record>
void decodeField(const char* bytes, Record& record)
{
    constexpr auto& field = std::get<I>(Fields);
    constexpr int at = kFieldOffsets<Fields>[I];
    constexpr auto width = static_cast<std::size_t>(field.width);
    auto& value = record.*(field.member);
    using T = std::remove_cvref_t<decltype(value)>;
    if constexpr (std::is_same_v<T, std::u16string>) {
        value.resize(width);
        for (std::size_t i = 0; i < width; ++i)
            value[i] = static_cast<char16_t>(static_cast<std::uint8_t>(bytes[at + (field.kind == FieldKind::Reversed ? width - 1 - i : i)]));
    } else if constexpr (std::is_same_v<T, std::string>) {
        value.assign(bytes + at, width);
    } else {
        static_assert(width == sizeof(T), "an integer field is as wide as its type");
        std::uint64_t bits = 0;
        for (std::size_t i = sizeof(T); i-- > 0;)
            bits = bits << 8 | static_cast<std::uint8_t>(bytes[at + i]);
        value = static_cast<T>(static_cast<std::make_unsigned_t<T>>(bits));
    }
}

// One field into the bytes of its chunk's fixed part: a byte string shorter
// than its width is followed by zero bytes, a longer one is cut where the next
// field starts.
template <const auto& Fields, std::size_t I, typename Record>
void encodeField(char* out, const Record& record)
{
    constexpr auto& field = std::get<I>(Fields);
    constexpr int at = kFieldOffsets<Fields>[I];
    constexpr auto width = static_cast<std::size_t>(field.width);
    const auto& value = record.*(field.member);
    using T = std::remove_cvref_t<decltype(value)>;
    if constexpr (std::is_same_v<T, std::u16string>) {
        for (std::size_t i = 0; i < width; ++i) {
            const std::size_t from = field.kind == FieldKind::Reversed ? width - 1 - i : i;
            out[at + i] = from < value.size() ? static_cast<char>(value[from] & 0xFF) : '\0';
        }
    } else if constexpr (std::is_same_v<T, std::string>) {
        const std::size_t n = std::min(width, value.size());
        std::memcpy(out + at, value.data(), n);
        std::memset(out + at + n, 0, width - n);
    } else {
        const auto bits = static_cast<std::uint64_t>(static_cast<std::make_unsigned_t<T>>(value));
        for (std::size_t i = 0; i < sizeof(T); ++i)
            out[at + i] = static_cast<char>(bits >> (8 * i) & 0xFF);
    }
}

// Decodes the fixed part of a chunk at the reader's position: the bytes are
// checked once, then each field is taken at its own offset.
template <const auto& Fields, typename Record>
void readFields(ByteReader& reader, Record& record)
{
    const char* bytes = reader.span(static_cast<std::size_t>(fixedSize(Fields)), "chunk header").data();
    [&]<std::size_t... I>(std::index_sequence<I...>) { (decodeField<Fields, I>(bytes, record), ...); }(
        std::make_index_sequence<kFieldCount<Fields>>{});
}

// The largest fixed part of any chunk (the track record's).
inline constexpr std::size_t kLargestFixedPart = 304;

// The bytes of fields a chunk that owns `ownBytes` holds, checked to lie in the file.
inline std::int64_t requireOwnBytes(const ByteReader& reader, std::int64_t ownBytes, std::int64_t fixed, const char* chunk)
{
    const std::int64_t taken = std::clamp<std::int64_t>(ownBytes, 0, fixed);
    if (reader.remaining() < taken)
        reader.fail("the file ends inside a " + std::string(chunk) + " (" + std::to_string(taken) + " bytes of fields, " +
                    std::to_string(reader.remaining()) + " left)");
    return taken;
}

// Decodes the fixed part of a chunk from the bytes the chunk owns (its header,
// or the whole record for data records), `ownBytes` of them from the reader's
// position. A chunk shorter than its fields leaves the remaining fields zero:
// the bytes after it belong to the next chunk. Leaves the reader after the
// bytes decoded.
template <const auto& Fields, typename Record>
void readOwnFields(ByteReader& reader, Record& record, std::int64_t ownBytes, const char* chunk)
{
    constexpr auto fixed = static_cast<std::int64_t>(fixedSize(Fields));
    const std::int64_t taken = requireOwnBytes(reader, ownBytes, fixed, chunk);
    if (taken == fixed) {
        readFields<Fields>(reader, record);
        return;
    }
    const std::int64_t start = reader.pos();
    std::array<char, kLargestFixedPart> padded{};
    const std::string_view own = reader.clipped(start, taken);
    std::memcpy(padded.data(), own.data(), own.size());
    ByteReader fieldsOnly(std::string_view(padded.data(), static_cast<std::size_t>(fixed)));
    readFields<Fields>(fieldsOnly, record);
    reader.seek(start + taken);
}

// Encodes the fixed part of a chunk at `pos`, each field at its own offset,
// little-endian. A chunk that owns fewer bytes than its fields (`ownBytes`,
// when given) gets only those: a short header is written back exactly as
// short as it was read.
template <const auto& Fields, typename Record>
void writeFields(ImageBuffer& image, std::int64_t pos, const Record& record, std::int64_t ownBytes = -1)
{
    constexpr auto fixed = static_cast<std::size_t>(fixedSize(Fields));
    const bool whole = ownBytes < 0 || ownBytes >= static_cast<std::int64_t>(fixed);
    std::array<char, kLargestFixedPart> shortCopy{};
    char* out = whole ? image.at(pos, fixed) : shortCopy.data();
    [&]<std::size_t... I>(std::index_sequence<I...>) { (encodeField<Fields, I>(out, record), ...); }(
        std::make_index_sequence<kFieldCount<Fields>>{});
    if (!whole && ownBytes > 0)
        image.write(pos, std::string_view(out, static_cast<std::size_t>(ownBytes)));
}

}  // namespace sonarchive
