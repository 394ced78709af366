#include <sonarchive/Artwork.h>

#include "ArtworkFile.h"
#include "DatabaseFile.h"
#include "DevicePathResolver.h"
#include "Error.h"
#include "ThumbnailPixels.h"

#include <cerrno>
#include <cstring>
#include <set>
#include <unordered_map>
#include <utility>

namespace sonarchive {

namespace fs = std::filesystem;

namespace {

const std::string kArtworkFolder = "iPod_Control/Artwork/";
const std::string kDatabaseName = "ArtworkDB";
constexpr std::int32_t kUtf8 = 1;
constexpr std::int32_t kUtf16 = 2;

std::string atByte(std::int64_t offset)
{
    return "at byte " + groupedNumber(offset) + ": ";
}

// `out.size()` bytes from `offset`, as a failing disk allows (each failed read
// tried again where it failed); false with the system's words in `error`.
bool readAt(DeviceFile& file, std::uint64_t offset, std::string& out, std::string& error)
{
    try {
        if (file.readExactly(out.data(), out.size(), offset))
            return true;
        error = "the file became shorter while it was read";
        return false;
    } catch (const Error& e) {
        error = std::strerror(e.number() ? e.number() : EIO);
        return false;
    }
}

// The whole file into `out`; false with the system's words in `error`.
bool readWholeFile(const std::string& path, std::string& out, std::string& error)
{
    try {
        DeviceFile file(path);
        out.resize(static_cast<std::size_t>(file.size()));
        return readAt(file, 0, out, error);
    } catch (const Error& e) {
        error = std::strerror(e.number() ? e.number() : EIO);
        return false;
    }
}

// A picture file's name (":F1029_1.ithmb") as a path below the artwork folder;
// empty when an element would lead elsewhere ("..", a "/" inside a name).
std::string pictureFilePath(const std::string& name)
{
    std::string relative;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find(':', start);
        if (end == std::string::npos)
            end = name.size();
        const std::string element = name.substr(start, end - start);
        if (element == "." || element == ".." || element.find_first_of(std::string("/\\\0", 3)) != std::string::npos)
            return {};
        if (!element.empty())
            relative += (relative.empty() ? "" : "/") + element;
        start = end + 1;
    }
    return relative.empty() ? std::string() : kArtworkFolder + relative;
}

}  // namespace

struct ArtworkDatabase::Impl {
    struct Picture {
        std::string file;  // the picture file's full path
        std::uint32_t offset = 0;
        std::uint32_t size = 0;
        std::uint16_t width = 0;
        std::uint16_t height = 0;
    };
    // A picture file as found on the device: its path and size, -1 when missing.
    struct PictureFile {
        std::string path;
        std::int64_t size = -1;
    };

    std::string root;
    std::string databaseFile;
    std::vector<std::optional<Picture>> pictures;  // the cover of each image
    std::unordered_map<std::int32_t, std::size_t> byImageId;
    std::unordered_map<std::int64_t, std::size_t> bySongId;
    std::unordered_map<std::string, PictureFile> files;  // by the name the database gives
    DevicePathResolver resolver;
    std::vector<ArtworkWarning> warnings;
    std::set<std::string> warned;

    void warn(const std::string& key, ArtworkWarning warning);
    void addImages(const std::vector<ImageRecord>& images);
    std::optional<Picture> choosePicture(const ImageRecord& image);
    bool usable(const ThumbnailRecord& thumbnail, PictureFile*& file);
    PictureFile* pictureFile(const ThumbnailRecord& thumbnail);
    const Picture* pictureOf(const TrackInfo& track) const;
    std::optional<Cover> read(const Picture& picture);
};

void ArtworkDatabase::Impl::warn(const std::string& key, ArtworkWarning warning)
{
    if (warned.insert(key).second)
        warnings.push_back(std::move(warning));
}

ArtworkDatabase::Impl::PictureFile* ArtworkDatabase::Impl::pictureFile(const ThumbnailRecord& thumbnail)
{
    if (thumbnail.nameEncoding == 0) {
        warn("unnamed", {databaseFile, thumbnail.recordAt, atByte(thumbnail.recordAt) + "a thumbnail names no picture file; it is skipped"});
        return nullptr;
    }
    if (thumbnail.nameEncoding != kUtf8 && thumbnail.nameEncoding != kUtf16) {
        const std::string encoding = std::to_string(thumbnail.nameEncoding);
        warn("encoding " + encoding, {databaseFile, thumbnail.recordAt, atByte(thumbnail.recordAt) +
                                                                            "a picture file name in an unknown encoding (" + encoding + ") is skipped"});
        return nullptr;
    }
    auto [it, added] = files.try_emplace(thumbnail.fileName);
    PictureFile& file = it->second;
    if (added) {
        const std::string relative = pictureFilePath(thumbnail.fileName);
        if (!relative.empty()) {
            file.path = resolver.resolveText(root, relative);
            std::error_code ec;
            const auto status = fs::status(file.path, ec);
            if (!ec && fs::is_regular_file(status))
                file.size = static_cast<std::int64_t>(fs::file_size(file.path, ec));
            if (ec)
                file.size = -1;
        }
    }
    if (file.path.empty()) {
        warn("name " + thumbnail.fileName, {databaseFile, thumbnail.recordAt, atByte(thumbnail.recordAt) + "the picture file name \"" +
                                                thumbnail.fileName + "\" names no file inside " + kArtworkFolder + "; its pictures are skipped"});
        return nullptr;
    }
    if (file.size < 0) {
        warn(file.path, {file.path, -1, "the picture file is missing; the covers stored in it are left out"});
        return nullptr;
    }
    return &file;
}

bool ArtworkDatabase::Impl::usable(const ThumbnailRecord& t, PictureFile*& file)
{
    if (!holds16BitPixels(t.size, t.width, t.height)) {
        warn("format " + std::to_string(t.formatId),
             {databaseFile, t.recordAt, atByte(t.recordAt) + "pictures of format " + std::to_string(t.formatId) + " (" + std::to_string(t.width) +
                                           "x" + std::to_string(t.height) + " in " + groupedNumber(t.size) +
                                           " bytes) are not 16 bits a pixel and are skipped"});
        return false;
    }
    file = pictureFile(t);
    if (!file)
        return false;
    if (std::uint64_t(t.offset) + t.size > static_cast<std::uint64_t>(file->size)) {
        warn(file->path, {file->path, t.offset, atByte(t.offset) + "a picture of " + groupedNumber(t.size) + " bytes runs past the end of the file (" +
                                                    groupedNumber(file->size) + " bytes); the covers stored past its end are left out"});
        return false;
    }
    return true;
}

// The largest picture of an image that can be read.
std::optional<ArtworkDatabase::Impl::Picture> ArtworkDatabase::Impl::choosePicture(const ImageRecord& image)
{
    std::optional<Picture> best;
    for (const ThumbnailRecord& t : image.thumbnails) {
        PictureFile* file = nullptr;
        if (!usable(t, file))
            continue;
        if (!best || std::uint64_t(t.width) * t.height > std::uint64_t(best->width) * best->height)
            best = Picture{file->path, t.offset, t.size, t.width, t.height};
    }
    return best;
}

void ArtworkDatabase::Impl::addImages(const std::vector<ImageRecord>& images)
{
    pictures.reserve(images.size());
    for (const ImageRecord& image : images) {
        byImageId.try_emplace(image.imageId, pictures.size());
        bySongId.try_emplace(image.songId, pictures.size());
        pictures.push_back(choosePicture(image));
    }
}

const ArtworkDatabase::Impl::Picture* ArtworkDatabase::Impl::pictureOf(const TrackInfo& track) const
{
    if (track.iHasArtwork != 1)
        return nullptr;
    std::size_t image = 0;
    if (const auto linked = byImageId.find(track.iArtworkID); track.iArtworkID != 0 && linked != byImageId.end())
        image = linked->second;
    else if (const auto own = bySongId.find(track.iDatabaseID); own != bySongId.end())
        image = own->second;
    else
        return nullptr;
    const std::optional<Picture>& picture = pictures[image];
    return picture ? &*picture : nullptr;
}

std::optional<Cover> ArtworkDatabase::Impl::read(const Picture& picture)
{
    std::optional<DeviceFile> file;
    try {
        file.emplace(picture.file);
    } catch (const Error& e) {
        warn(picture.file, {picture.file, -1, std::string("cannot open the picture file: ") + std::strerror(e.number() ? e.number() : EIO)});
        return std::nullopt;
    }
    std::string bytes(picture.size, '\0');
    std::string error;
    if (!readAt(*file, picture.offset, bytes, error)) {
        warn(picture.file, {picture.file, picture.offset, atByte(picture.offset) + "cannot read a picture: " + error});
        return std::nullopt;
    }
    try {
        return decodeRgb565(bytes, picture.width, picture.height);
    } catch (const FormatError& e) {
        const std::int64_t at = picture.offset + e.offset();
        warn(picture.file, {picture.file, at, atByte(at) + e.reason()});
        return std::nullopt;
    }
}

ArtworkDatabase::ArtworkDatabase() : m_impl(std::make_unique<Impl>()) {}
ArtworkDatabase::~ArtworkDatabase() = default;
ArtworkDatabase::ArtworkDatabase(ArtworkDatabase&&) noexcept = default;
ArtworkDatabase& ArtworkDatabase::operator=(ArtworkDatabase&&) noexcept = default;

ArtworkDatabase ArtworkDatabase::load(const fs::path& driveRoot)
{
    DevicePathResolver resolver;
    const std::string path = resolver.resolveText(driveRoot.string(), kArtworkFolder + kDatabaseName);
    std::error_code ec;
    if (!fs::exists(path, ec))
        return {};  // a device without covers
    std::string bytes, error;
    if (!readWholeFile(path, bytes, error)) {
        ArtworkDatabase none;
        none.m_impl->warn(path, {path, -1, "cannot read the artwork database: " + error + "; covers are left out"});
        return none;
    }
    return decode(bytes, driveRoot, path);
}

ArtworkDatabase ArtworkDatabase::decode(std::string_view bytes, const fs::path& driveRoot, const std::string& databaseFile)
{
    ArtworkDatabase db;
    Impl& impl = *db.m_impl;
    impl.root = driveRoot.string();
    impl.databaseFile = databaseFile;
    try {
        impl.addImages(readArtworkImages(bytes));
    } catch (const FormatError& e) {
        impl.pictures.clear();
        impl.byImageId.clear();
        impl.bySongId.clear();
        impl.warn(databaseFile, {databaseFile, e.offset(), std::string(e.what()) + "; covers are left out"});
    }
    return db;
}

std::size_t ArtworkDatabase::imageCount() const
{
    return m_impl->pictures.size();
}

bool ArtworkDatabase::hasCover(const TrackInfo& track) const
{
    return m_impl->pictureOf(track) != nullptr;
}

std::optional<Cover> ArtworkDatabase::cover(const TrackInfo& track) const
{
    const Impl::Picture* picture = m_impl->pictureOf(track);
    return picture ? m_impl->read(*picture) : std::nullopt;
}

std::vector<ArtworkWarning> ArtworkDatabase::takeWarnings()
{
    return std::exchange(m_impl->warnings, {});
}

}  // namespace sonarchive
