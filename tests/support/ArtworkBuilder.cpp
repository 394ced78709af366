#include "ArtworkBuilder.h"

#include "TempDir.h"

#include <algorithm>

namespace testsupport {

namespace {

std::string le16(std::int32_t value)
{
    return std::string{static_cast<char>(value & 0xFF), static_cast<char>(value >> 8 & 0xFF)};
}

void put(std::string& bytes, std::size_t offset, const std::string& value)
{
    if (bytes.size() < offset + value.size())
        bytes.resize(offset + value.size(), '\0');
    bytes.replace(offset, value.size(), value);
}

// A chunk's header: its magic, header size and (at +8) its total size or count.
std::string head(const char* magic, std::int32_t headerSize, std::int32_t sizeOrCount)
{
    std::string h(static_cast<std::size_t>(headerSize), '\0');
    put(h, 0, magic);
    put(h, 4, le32(headerSize));
    put(h, 8, le32(sizeOrCount));
    return h;
}

std::string defaultFile(const PictureFixture& p)
{
    return p.file.empty() ? ":F" + std::to_string(p.formatId) + "_1.ithmb" : p.file;
}

// The name's path below the artwork folder: its elements joined with "/".
std::string storedPath(const std::string& name)
{
    std::string path;
    std::size_t start = 0;
    while (start <= name.size()) {
        const std::size_t end = std::min(name.find(':', start), name.size());
        if (end > start)
            path += (path.empty() ? "" : "/") + name.substr(start, end - start);
        start = end + 1;
    }
    return path;
}

// The picture's bytes: the quadrants, each row padded to rowBytes with 0xAB.
std::string pixels(const PictureFixture& p, const Quadrants& colours)
{
    if (p.raw)
        return *p.raw;
    const std::uint32_t rowBytes = p.rowBytes ? p.rowBytes : p.width * 2u;
    std::string bytes;
    bytes.reserve(std::size_t(rowBytes) * p.height);
    for (int y = 0; y < p.height; ++y) {
        std::string row(rowBytes, '\xAB');
        for (int x = 0; x < p.width; ++x) {
            const int quadrant = (y >= p.height / 2 ? 2 : 0) + (x >= p.width / 2 ? 1 : 0);
            put(row, std::size_t(x) * 2, le16(colours[static_cast<std::size_t>(quadrant)]));
        }
        bytes += row;
    }
    return bytes;
}

std::string nameRecord(const PictureFixture& p)
{
    const std::string name = defaultFile(p);
    std::string text;
    if (p.nameEncoding == 2)
        for (char c : name)
            text += std::string{c, '\0'};
    else
        text = name;
    std::string record = head("mhod", 24, static_cast<std::int32_t>(36 + text.size()));
    put(record, 12, le16(3));
    put(record, 24, le32(static_cast<std::int32_t>(text.size())));
    put(record, 28, le32(p.nameEncoding));
    record.resize(36);  // the text starts at +36
    return record + text;
}

// A thumbnail container: an image data record of type 2 holding the thumbnail record.
std::string thumbnailContainer(const ArtworkFixture& f, const PictureFixture& p, std::uint32_t offset, std::uint32_t size)
{
    const std::string name = p.named ? nameRecord(p) : std::string();
    std::string thumbnail = head("mhni", f.thumbnailHeaderSize, static_cast<std::int32_t>(f.thumbnailHeaderSize + name.size()));
    put(thumbnail, 12, le32(p.named ? 1 : 0));
    put(thumbnail, 16, le32(p.formatId));
    put(thumbnail, 20, le32(static_cast<std::int32_t>(offset)));
    put(thumbnail, 24, le32(static_cast<std::int32_t>(size)));
    put(thumbnail, 28, le16(p.verticalPadding));
    put(thumbnail, 30, le16(p.horizontalPadding));
    put(thumbnail, 32, le16(p.height));
    put(thumbnail, 34, le16(p.width));
    std::string container = head("mhod", 24, static_cast<std::int32_t>(24 + thumbnail.size() + name.size()));
    put(container, 12, le16(2));
    return container + thumbnail + name;
}

std::string section(std::int32_t type, const std::string& content)
{
    std::string h = head("mhsd", 96, static_cast<std::int32_t>(96 + content.size()));
    put(h, 12, le32(type));
    return h + content;
}

}  // namespace

ArtworkFiles buildArtwork(const ArtworkFixture& fixture)
{
    ArtworkFiles files;
    const std::size_t listStart = std::size_t(fixture.databaseHeaderSize) + 96;
    std::string items;
    for (const ImageFixture& image : fixture.images) {
        files.imageAt.push_back(static_cast<std::int64_t>(listStart + 92 + items.size()));
        std::string children;
        auto& thumbnails = files.thumbnailAt.emplace_back();
        auto& offsets = files.pictureAt.emplace_back();
        for (const PictureFixture& p : image.pictures) {
            std::string& file = files.pictureFiles[storedPath(defaultFile(p))];
            const std::string bytes = pixels(p, image.colours);
            offsets.push_back(static_cast<std::uint32_t>(file.size()));
            thumbnails.push_back(files.imageAt.back() + fixture.imageHeaderSize + static_cast<std::int64_t>(children.size()) + 24);
            children += thumbnailContainer(fixture, p, static_cast<std::uint32_t>(file.size()),
                                           p.size.value_or(static_cast<std::uint32_t>(bytes.size())));
            file += bytes;
        }
        std::string item = head("mhii", fixture.imageHeaderSize, static_cast<std::int32_t>(fixture.imageHeaderSize + children.size()));
        put(item, 12, le32(static_cast<std::int32_t>(image.pictures.size())));
        put(item, 16, le32(image.imageId));
        put(item, 20, le64(image.songId));
        put(item, 48, le32(40000));
        items += item + children;
    }
    const std::string images = section(1, head("mhli", 92, static_cast<std::int32_t>(fixture.images.size())) + items);
    const std::string albums = section(2, head("mhla", 92, 0));
    const std::string fileList = section(3, head("mhlf", 92, 0));
    const std::string body = images + albums + fileList;
    std::string database = head("mhfd", fixture.databaseHeaderSize, static_cast<std::int32_t>(fixture.databaseHeaderSize + body.size()));
    put(database, 20, le32(3));
    files.database = database + body;
    return files;
}

void installArtwork(const std::filesystem::path& driveRoot, const ArtworkFiles& files, bool upperCase)
{
    const auto name = [upperCase](std::string text) {
        if (upperCase)
            std::transform(text.begin(), text.end(), text.begin(), [](char c) { return c >= 'a' && c <= 'z' ? char(c - 32) : c; });
        return text;
    };
    const std::filesystem::path folder = driveRoot / "iPod_Control" / name("Artwork");
    writeFile(folder / name("ArtworkDB"), files.database);
    for (const auto& [file, bytes] : files.pictureFiles)
        writeFile(folder / name(file), bytes);
}

PictureFixture picture(std::int32_t formatId, std::uint16_t width, std::uint16_t height)
{
    return {.formatId = formatId, .width = width, .height = height};
}

std::vector<PictureFixture> nanoFormats()
{
    return {picture(1028, 100, 100), picture(1029, 200, 200)};
}

std::vector<PictureFixture> smallFormats()
{
    return {picture(1027, 100, 100), picture(1031, 42, 42)};
}

std::vector<PictureFixture> albumFormats()
{
    return {picture(1055, 128, 128), picture(1068, 128, 128), picture(1060, 320, 320), picture(1061, 56, 56)};
}

void linkArtwork(TrackFixture& track, std::int64_t databaseId, std::uint8_t hasArtwork, std::optional<std::int32_t> imageId)
{
    track.patches[112] = le64(databaseId);
    track.patches[164] = std::string(1, static_cast<char>(hasArtwork));
    if (imageId)
        track.patches[352] = le32(*imageId);
}

std::string le64(std::int64_t value)
{
    return le32(static_cast<std::int32_t>(value & 0xFFFFFFFF)) + le32(static_cast<std::int32_t>(value >> 32));
}

}  // namespace testsupport
