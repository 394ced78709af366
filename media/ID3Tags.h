#pragma once

#include "ByteSource.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace sonarchive {

// The descriptive texts of an audio file, as the ID3v1 or the ID3v2 reader
// found them; empty where nothing was found.
struct TagFields {
    std::u16string artist;
    std::u16string album;
    std::u16string title;
    std::u16string year;
    std::u16string genre;
    std::u16string comment;
    std::u16string composer;
    std::u16string track;  // "3" or "3/12"
    std::u16string disc;   // "1" or "1/2"

    friend bool operator==(const TagFields&, const TagFields&) = default;
};

void ClearTagFields(TagFields& fields);

// The 128-byte tag at the end of the file. False (fields untouched) when the file
// cannot be opened, is shorter than 128 bytes or has no "TAG" there.
bool ReadID3v1(const std::filesystem::path& path, TagFields& fields);
bool ReadID3v1(const ByteSource& source, TagFields& fields);

// ID3v2.2/2.3/2.4 tags at the start of the file (following "SEEK" frames from one
// tag to the next), or one found through its footer at the end. True when a tag
// was parsed.
bool ReadID3v2(const std::filesystem::path& path, TagFields& fields);
bool ReadID3v2(const ByteSource& source, TagFields& fields);

// Parses the tag whose 10-byte header starts at `position`; returns the position
// of a further tag announced by a "SEEK" frame, or -1.
std::int64_t ParseID3v2Tag(const ByteSource& source, std::int64_t position, TagFields& fields);

// The text of one frame's content (encoding byte first) for the frames we keep.
std::u16string DecodeFrameText(std::string_view content, std::string_view frameId);

// Text of the given ID3v2 encoding: 0 ISO-8859-1, 1 UTF-16 with byte-order mark,
// 2 UTF-16 big-endian, 3 UTF-8; anything else gives empty text. CR is dropped and
// LF becomes CR LF.
std::u16string BytesToText(std::string_view bytes, int encoding, bool stopAtZero);

// Big-endian 32-bit value; read as a 28-bit syncsafe value when allowed and none
// of the four bytes has its top bit set.
std::uint32_t ReadTagInteger(std::string_view fourBytes, bool syncsafeAllowed);

// Removes every 0x00 that directly follows a 0xFF, compacting in place; returns
// how many bytes went. The buffer keeps its length.
std::size_t RemoveUnsync(std::string& buffer);

// 'A'-'Z', '0'-'9' or 0 in each of the four bytes.
bool IsFrameId(std::string_view fourBytes);

// "(17)", "(17)Rock" -> "Rock"; "(RX)" -> "Remix"; "(CR)" -> "Cover"; else unchanged.
std::u16string RefineGenre(const std::u16string& text);
// The genre table entry for 0..147, else empty.
std::u16string GenreName(std::int64_t number);

}  // namespace sonarchive
