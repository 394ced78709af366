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

namespace sonarchive {

// Decodes the fixed part of a chunk at the reader's position, field by field:
// the bytes are checked once, then each field is taken at its own offset.
// Texts and byte strings are assigned in place, so a record decoded again keeps
// the room its strings had.
template <typename Record, typename Fields>
void readFields(ByteReader& reader, Record& record, const Fields& fields)
{
    const std::string_view bytes = reader.span(static_cast<std::size_t>(fixedSize(fields)), "chunk header");
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(bytes[i]); };
    std::size_t at = 0;
    forEachField(fields, [&](const auto& field) {
        auto& value = record.*(field.member);
        using T = std::remove_cvref_t<decltype(value)>;
        const auto width = static_cast<std::size_t>(field.width);
        if constexpr (std::is_same_v<T, std::u16string>) {
            value.resize(width);
            for (std::size_t i = 0; i < width; ++i)
                value[i] = static_cast<char16_t>(byte(at + (field.kind == FieldKind::Reversed ? width - 1 - i : i)));
        } else if constexpr (std::is_same_v<T, std::string>) {
            value.assign(bytes.data() + at, width);
        } else {
            // An integer field is as wide as its type (the tables are checked for it).
            std::uint64_t bits = 0;
            for (std::size_t i = sizeof(T); i-- > 0;)
                bits = bits << 8 | byte(at + i);
            value = static_cast<T>(static_cast<std::make_unsigned_t<T>>(bits));
        }
        at += width;
    });
}

// The largest fixed part of any chunk (the track record's).
inline constexpr std::size_t kLargestFixedPart = 304;

// Decodes the fixed part of a chunk from the bytes the chunk owns (its header,
// or the whole record for data records), `ownBytes` of them from the reader's
// position. A chunk shorter than its fields leaves the remaining fields zero:
// the bytes after it belong to the next chunk. Leaves the reader after the
// bytes decoded.
// The bytes of fields a chunk that owns `ownBytes` holds, checked to lie in the file.
inline std::int64_t requireOwnBytes(const ByteReader& reader, std::int64_t ownBytes, std::int64_t fixed, const char* chunk)
{
    const std::int64_t taken = std::clamp<std::int64_t>(ownBytes, 0, fixed);
    if (reader.remaining() < taken)
        reader.fail("the file ends inside a " + std::string(chunk) + " (" + std::to_string(taken) + " bytes of fields, " +
                    std::to_string(reader.remaining()) + " left)");
    return taken;
}

template <typename Record, typename Fields>
void readOwnFields(ByteReader& reader, Record& record, const Fields& fields, std::int64_t ownBytes, const char* chunk)
{
    const auto fixed = static_cast<std::int64_t>(fixedSize(fields));
    const std::int64_t taken = requireOwnBytes(reader, ownBytes, fixed, chunk);
    if (taken == fixed) {
        readFields(reader, record, fields);
        return;
    }
    const std::int64_t start = reader.pos();
    std::array<char, kLargestFixedPart> padded{};
    const std::string_view own = reader.clipped(start, taken);
    std::memcpy(padded.data(), own.data(), own.size());
    ByteReader fieldsOnly(std::string_view(padded.data(), static_cast<std::size_t>(fixed)));
    readFields(fieldsOnly, record, fields);
    reader.seek(start + taken);
}

// Encodes the fixed part of a chunk at `pos`, field by field, each at its own
// offset, little-endian: a byte string shorter than its width is followed by
// zero bytes, a longer one is cut where the next field starts. A chunk that owns
// fewer bytes than its fields (`ownBytes`, when given) gets only those: a short
// header is written back exactly as short as it was read.
template <typename Record, typename Fields>
void writeFields(ImageBuffer& image, std::int64_t pos, const Record& record, const Fields& fields, std::int64_t ownBytes = -1)
{
    const auto fixed = static_cast<std::size_t>(fixedSize(fields));
    const bool whole = ownBytes < 0 || ownBytes >= static_cast<std::int64_t>(fixed);
    std::array<char, kLargestFixedPart> shortCopy{};
    char* out = whole ? image.at(pos, fixed) : shortCopy.data();
    char* const begin = out;
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
            for (std::size_t i = 0; i < sizeof(T); ++i)
                out[i] = static_cast<char>(bits >> (8 * i) & 0xFF);
        }
        out += width;
    });
    if (!whole && ownBytes > 0)
        image.write(pos, std::string_view(begin, static_cast<std::size_t>(ownBytes)));
}

}  // namespace sonarchive
