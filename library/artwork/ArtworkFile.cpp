#include "ArtworkFile.h"

#include "ByteReader.h"
#include "Error.h"

#include <sonarchive/ByteText.h>

namespace sonarchive {

namespace {

// Header sizes that hold the fields read from each kind of chunk.
constexpr std::int32_t kDatabaseHeader = 24;
constexpr std::int32_t kSectionHeader = 16;
constexpr std::int32_t kListHeader = 12;
constexpr std::int32_t kImageHeader = 52;
constexpr std::int32_t kDataHeader = 14;
constexpr std::int32_t kThumbnailHeader = 36;
constexpr std::int32_t kNameTextAt = 36;

constexpr std::int32_t kImageSection = 1;
constexpr std::int16_t kThumbnailContainer = 2;
constexpr std::int16_t kFileName = 3;
constexpr std::int32_t kUtf8 = 1;
constexpr std::int32_t kUtf16 = 2;

// Where a chunk starts, where its content starts and where the next one starts.
struct Chunk {
    std::int64_t start = 0;
    std::int64_t content = 0;
    std::int64_t end = 0;
};

std::int32_t i32At(ByteReader& r, std::int64_t at)
{
    r.seek(at);
    return r.i32le();
}

std::int16_t i16At(ByteReader& r, std::int64_t at)
{
    r.seek(at);
    return r.i16le();
}

void expectMagic(ByteReader& r, std::int64_t start, std::string_view magic, const std::string& what)
{
    r.seek(start);
    if (r.span(4, "magic") != magic)
        ByteReader::failAt(start, "expected \"" + std::string(magic) + "\" (" + what + ")");
}

// A chunk with a total size at +8: its header holds at least `minHeader` bytes
// and it lies whole before `limit`.
Chunk readChunk(ByteReader& r, std::int64_t start, std::int64_t limit, std::string_view magic, std::int32_t minHeader,
                const std::string& what)
{
    expectMagic(r, start, magic, what);
    const std::int32_t header = r.i32le();
    const std::int32_t total = r.i32le();
    if (header < minHeader)
        ByteReader::failAt(start, what + " header size " + std::to_string(header));
    if (total < header || total > limit - start)
        ByteReader::failAt(start, what + " size " + std::to_string(total) + " (" + groupedNumber(limit - start) +
                                      " bytes are left for it)");
    return {start, start + header, start + total};
}

// A count of chunks that each take at least a chunk head from the bytes between `from` and `limit`.
std::int32_t checkedCount(std::int32_t count, std::int64_t at, std::int64_t from, std::int64_t limit, const std::string& what)
{
    if (count < 0 || static_cast<std::int64_t>(count) * kListHeader > limit - from)
        ByteReader::failAt(at, what + " " + std::to_string(count) + " (more than the " + groupedNumber(limit - from) +
                                   " bytes left can hold)");
    return count;
}

// The picture file named below a thumbnail: the first name record of its children.
void readFileName(ByteReader& r, const Chunk& thumbnail, std::int32_t children, ThumbnailRecord& out)
{
    std::int64_t at = thumbnail.content;
    for (std::int32_t i = 0; i < children; ++i) {
        const Chunk record = readChunk(r, at, thumbnail.end, "mhod", kDataHeader, "file name record");
        at = record.end;
        if (i16At(r, record.start + 12) != kFileName || out.nameEncoding != 0)
            continue;
        if (record.end - record.start < kNameTextAt)
            ByteReader::failAt(record.start, "file name record size " + std::to_string(record.end - record.start));
        const std::int32_t length = i32At(r, record.start + 24);
        const std::int32_t encoding = i32At(r, record.start + 28);
        if (length < 0 || length > record.end - record.start - kNameTextAt)
            ByteReader::failAt(record.start + 24, "file name length " + std::to_string(length) + " runs past its record");
        r.seek(record.start + kNameTextAt);
        out.nameEncoding = encoding;
        if (encoding == kUtf16)
            out.fileName = toUtf8(r.utf16leClipped(record.start + kNameTextAt, length));
        else if (encoding == kUtf8)
            out.fileName = r.bytes(static_cast<std::size_t>(length), "file name");
    }
}

ThumbnailRecord readThumbnail(ByteReader& r, std::int64_t start, std::int64_t limit)
{
    const Chunk chunk = readChunk(r, start, limit, "mhni", kThumbnailHeader, "thumbnail");
    ThumbnailRecord t;
    t.recordAt = start;
    const std::int32_t children = checkedCount(i32At(r, start + 12), start + 12, chunk.content, chunk.end, "thumbnail children");
    t.formatId = i32At(r, start + 16);
    t.offset = static_cast<std::uint32_t>(i32At(r, start + 20));
    t.size = static_cast<std::uint32_t>(i32At(r, start + 24));
    t.verticalPadding = i16At(r, start + 28);
    t.horizontalPadding = i16At(r, start + 30);
    t.height = static_cast<std::uint16_t>(i16At(r, start + 32));
    t.width = static_cast<std::uint16_t>(i16At(r, start + 34));
    readFileName(r, chunk, children, t);
    return t;
}

ImageRecord readImage(ByteReader& r, const Chunk& item)
{
    ImageRecord image;
    const std::int32_t children = checkedCount(i32At(r, item.start + 12), item.start + 12, item.content, item.end, "image children");
    image.imageId = i32At(r, item.start + 16);
    r.seek(item.start + 20);
    image.songId = r.i64le();
    image.sourceSize = i32At(r, item.start + 48);
    std::int64_t at = item.content;
    for (std::int32_t i = 0; i < children; ++i) {
        const Chunk record = readChunk(r, at, item.end, "mhod", kDataHeader, "image data record");
        if (i16At(r, record.start + 12) == kThumbnailContainer)
            image.thumbnails.push_back(readThumbnail(r, record.content, record.end));
        at = record.end;
    }
    return image;
}

void readImageList(ByteReader& r, const Chunk& section, std::vector<ImageRecord>& images)
{
    const std::int64_t list = section.content;
    expectMagic(r, list, "mhli", "image list");
    const std::int32_t header = i32At(r, list + 4);
    if (header < kListHeader || header > section.end - list)
        ByteReader::failAt(list, "image list header size " + std::to_string(header));
    const std::int32_t count = checkedCount(i32At(r, list + 8), list + 8, list + header, section.end, "image count");
    std::int64_t at = list + header;
    for (std::int32_t i = 0; i < count; ++i) {
        const Chunk item = readChunk(r, at, section.end, "mhii", kImageHeader, "image item");
        images.push_back(readImage(r, item));
        at = item.end;
    }
}

}  // namespace

std::vector<ImageRecord> readArtworkImages(std::string_view file)
{
    ByteReader r(file);
    const Chunk database = readChunk(r, 0, static_cast<std::int64_t>(file.size()), "mhfd", kDatabaseHeader, "artwork database");
    const std::int32_t sections = checkedCount(i32At(r, 20), 20, database.content, database.end, "section count");
    std::vector<ImageRecord> images;
    std::int64_t at = database.content;
    for (std::int32_t i = 0; i < sections; ++i) {
        const Chunk section = readChunk(r, at, database.end, "mhsd", kSectionHeader, "section");
        if (i32At(r, section.start + 12) == kImageSection)
            readImageList(r, section, images);
        at = section.end;
    }
    return images;
}

}  // namespace sonarchive
