// The reader: decodes the device database file into the object's records and,
// when the file is missing or damaged, asks the user whether to rebuild or reset
// it (one the disk cannot read is only reported).

#include "ByteReader.h"
#include "DeviceFileRead.h"
#include "Error.h"
#include "FileDescriptor.h"
#include "FieldCodec.h"
#include "StringRecordLayout.h"
#include "clsSonarchive.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <new>
#include <system_error>

namespace sonarchive {

namespace fs = std::filesystem;

namespace {

// Every chunk starts with a magic, its header size and its total size; a size
// smaller than that head can't step over a real chunk and would let a tiny file
// describe millions of records.
constexpr std::int32_t kSmallestChunk = 12;
constexpr std::int32_t kSectionHead = 16;  // magic, header size, total size, type

// Sizes and counts are checked where their chunk starts, so a failure names the
// chunk's first byte.
std::int32_t checkedSize(std::int64_t chunkStart, std::int32_t value, std::int32_t minimum, const char* what)
{
    if (value < minimum)
        ByteReader::failAt(chunkStart, std::string(what) + " " + std::to_string(value));
    return value;
}

// A count of records that each take at least one chunk head from the bytes left.
std::int32_t checkedCount(const ByteReader& reader, std::int64_t chunkStart, std::int32_t value, const char* what)
{
    if (value < 0 || static_cast<std::int64_t>(value) * kSmallestChunk > reader.remaining() + kSmallestChunk)
        ByteReader::failAt(chunkStart, std::string(what) + " " + std::to_string(value) + " (more than the " +
                                           groupedNumber(reader.remaining()) + " bytes left can hold)");
    return value;
}

// Room to reserve for a list: the count, unless the bytes left could not hold
// that many records of a realistic size (the list then grows as records are read).
std::size_t plausibleCount(const ByteReader& reader, std::int32_t count, std::int64_t realisticSize)
{
    return static_cast<std::size_t>(std::min<std::int64_t>(count, reader.remaining() / realisticSize));
}

// Lists that adding tracks appends to get some room beyond what is read, so the
// first tracks added after a load don't move every record of a large list.
std::size_t withRoomToAdd(std::size_t count)
{
    return count + count / 16 + 16;
}

// Resizes a list to a count read from the file: entries beyond it are dropped,
// earlier ones are reused; a count of zero leaves the list as it was.
template <typename T>
void fitList(std::vector<T>& list, std::int32_t count)
{
    if (count > 0 && list.size() > static_cast<std::size_t>(count))
        list.resize(static_cast<std::size_t>(count));
}

template <typename T>
T& entry(std::vector<T>& list, std::size_t index)
{
    if (list.size() <= index)
        list.resize(index + 1);
    return list[index];
}

RawBytes slice(const std::shared_ptr<const ByteBuffer>& file, std::int64_t start, std::int64_t size)
{
    return RawBytes(file, static_cast<std::size_t>(start), static_cast<std::size_t>(std::max<std::int64_t>(size, 0)));
}

// The header size of the chunk at the reader's position (offset 4), checked.
std::int32_t headerSizeHere(const ByteReader& r, const char* chunk, const char* what)
{
    return checkedSize(r.pos(), r.i32At(r.pos() + 4, chunk), kSmallestChunk, what);
}

// The total size of the record at the reader's position (offset 8), checked.
std::int32_t recordSizeHere(const ByteReader& r, const char* chunk, const char* what)
{
    return checkedSize(r.pos(), r.i32At(r.pos() + 8, chunk), kSmallestChunk, what);
}

// The ten 32-bit fields of a string record and its UTF-16 text.
void readStringRecord(ByteReader& reader, const std::shared_ptr<const ByteBuffer>& file, MHOD_S& record)
{
    const std::int64_t start = reader.pos();
    const std::int32_t total = recordSizeHere(reader, "a string record", "string record size");
    readOwnFields(reader, record, kMHOD_SFields, total, "string record");
    checkedSize(start, record.iLength, 0, "string record text length");
    record.sString = reader.utf16leClipped(start + 40, record.iLength);
    // Records of other layouts keep their bytes so a rewrite reproduces them;
    // the usual ones are written again from their fields.
    if (!hasStandardLayout(record))
        record.sAllMHOD = slice(file, start, record.iTotalSize);
    else
        record.sAllMHOD = RawBytes();
    reader.seek(start + record.iTotalSize);
}

// The 16-byte section header shared by every section kind.
void readSectionHeader(ByteReader& r, const std::shared_ptr<const ByteBuffer>& file, SectionHead& s)
{
    const std::int64_t start = r.pos();
    s.sID = r.magic();
    s.iHeaderSize = checkedSize(start, r.i32le(), kSmallestChunk, "section header size");
    s.iTotalSize = checkedSize(start, r.i32le(), 0, "section size");
    s.iType = r.i32le();
    s.sHeaderData = slice(file, start, s.iHeaderSize);
    s.sAllData = slice(file, start, s.iTotalSize);
    r.seek(start + s.iHeaderSize);
}

// A list header ("mhlt", "mhlp"): magic, header size, count; then on to the first entry.
void readListHeader(ByteReader& r, const std::shared_ptr<const ByteBuffer>& file, std::u16string& id,
                    std::int32_t& headerSize, std::int32_t& count, RawBytes& raw, const char* what)
{
    const std::int64_t start = r.pos();
    id = r.magic();
    headerSize = checkedSize(start, r.i32le(), kSmallestChunk, (std::string(what) + " header size").c_str());
    count = checkedCount(r, start, r.i32le(), (std::string(what) + " entry count").c_str());
    raw = slice(file, start, headerSize);
    r.seek(start + headerSize);
}

}  // namespace

namespace {

// One track record and its string records from the reader's position.
void readTrack(ByteReader& r, const std::shared_ptr<const ByteBuffer>& file, MHIT& track)
{
    const std::int64_t trackStart = r.pos();
    const std::int32_t headerSize = headerSizeHere(r, "a track record", "track header size");
    readOwnFields(r, track, kMHITFields, headerSize, "track record");
    checkedSize(trackStart, track.iTotalSize, 0, "track record size");
    checkedCount(r, trackStart, track.iNumberOfMHODS, "track string record count");
    track.sAllData = slice(file, trackStart, track.iTotalSize);
    r.seek(trackStart + track.iHeaderSize);

    fitList(track.m_mhod, track.iNumberOfMHODS);
    track.m_mhod.reserve(plausibleCount(r, track.iNumberOfMHODS, 40));
    for (std::int32_t j = 0; j < track.iNumberOfMHODS; ++j)
        readStringRecord(r, file, entry(track.m_mhod, static_cast<std::size_t>(j)));
}

// One playlist with its data records and items from the reader's position.
void readPlaylist(ByteReader& r, const std::shared_ptr<const ByteBuffer>& file, MHYP& pl)
{
    const std::int64_t start = r.pos();
    const std::int32_t headerSize = headerSizeHere(r, "a playlist", "playlist header size");
    readOwnFields(r, pl, kMHYPFields, headerSize, "playlist");
    checkedSize(start, pl.iTotlaSize, 0, "playlist size");
    checkedCount(r, start, pl.iChildsCount, "playlist record count");
    checkedCount(r, start, pl.iPlaylistItemsCount, "playlist item count");
    pl.sAllData = slice(file, start, pl.iTotlaSize);
    r.seek(start + pl.iHeaderSize);

    // The first data record is the title, decoded as a string record whatever
    // its kind; the others are held whole.
    fitList(pl.m_mhod_pcd, pl.iChildsCount - 1);
    for (std::int32_t c = 0; c < pl.iChildsCount; ++c) {
        if (c == 0) {
            readStringRecord(r, file, pl.m_mhod_s);
            continue;
        }
        const std::int64_t recordStart = r.pos();
        MHOD_PCD& record = entry(pl.m_mhod_pcd, static_cast<std::size_t>(c - 1));
        const std::int32_t total = recordSizeHere(r, "a playlist record", "playlist record size");
        record.sID = r.magic();
        record.iHeaderSize = r.i32le();
        record.iTotalSize = r.i32le();
        record.iType = total >= 16 ? r.i32le() : 0;
        record.sAllMHOD = slice(file, recordStart, record.iTotalSize);
        r.seek(recordStart + record.iTotalSize);
    }

    fitList(pl.m_mhip, pl.iPlaylistItemsCount);
    fitList(pl.m_mhod_poe, pl.iPlaylistItemsCount);
    pl.m_mhip.reserve(withRoomToAdd(plausibleCount(r, pl.iPlaylistItemsCount, 24)));
    pl.m_mhod_poe.reserve(withRoomToAdd(plausibleCount(r, pl.iPlaylistItemsCount, 24)));
    for (std::int32_t k = 0; k < pl.iPlaylistItemsCount; ++k) {
        const std::int64_t itemStart = r.pos();
        MHIP& item = entry(pl.m_mhip, static_cast<std::size_t>(k));
        const std::int32_t itemHeaderSize = headerSizeHere(r, "a playlist item", "item header size");
        readOwnFields(r, item, kMHIPFields, itemHeaderSize, "playlist item");
        checkedCount(r, itemStart, item.iChildCount, "item record count");
        item.sHeaderData = slice(file, itemStart, item.iHeaderSize);
        r.seek(itemStart + item.iHeaderSize);

        // As many data records as the item says, none included: the first is
        // decoded, any further ones are held whole. The next item follows the last.
        MHOD_POE& record = entry(pl.m_mhod_poe, static_cast<std::size_t>(k));
        record = MHOD_POE();
        item.sMoreRecords = RawBytes();
        std::int64_t moreStart = -1;
        for (std::int32_t c = 0; c < item.iChildCount; ++c) {
            const std::int64_t recordStart = r.pos();
            const std::int32_t total = recordSizeHere(r, "an item record", "item record size");
            if (c == 0) {
                readOwnFields(r, record, kMHOD_POEFields, total, "item record");
                record.sAllMHOD = slice(file, recordStart, total);
            } else if (moreStart < 0) {
                moreStart = recordStart;
            }
            r.seek(recordStart + total);
        }
        if (moreStart >= 0)
            item.sMoreRecords = slice(file, moreStart, r.pos() - moreStart);
    }
}

// The checks readTrack and readPlaylist make, in the same order and with the
// same words, without decoding anything: a load that keeps only an index finds
// exactly the damage a full read would. A field past a short header reads 0.
std::int32_t fieldAt(const ByteReader& r, std::int64_t start, std::int64_t taken, std::int64_t offset)
{
    // Byte by byte: a field the header ends inside keeps the bytes it has.
    const std::string_view own = r.clipped(start + offset, taken - offset);
    std::uint32_t value = 0;
    for (std::size_t i = std::min<std::size_t>(own.size(), 4); i-- > 0;)
        value = value << 8 | static_cast<std::uint8_t>(own[i]);
    return static_cast<std::int32_t>(value);
}

void scanStringRecord(ByteReader& r)
{
    const std::int64_t start = r.pos();
    const std::int32_t total = recordSizeHere(r, "a string record", "string record size");
    const std::int64_t taken = requireOwnBytes(r, total, fixedSize(kMHOD_SFields), "string record");
    checkedSize(start, fieldAt(r, start, taken, 28), 0, "string record text length");
    r.seek(start + taken);  // where a full read stands when it looks for the next record
    r.seek(start + total);
}

// A record head checked as a full read decodes it: the header size, the bytes
// its own fields take, and the 32-bit fields at 8, 12 and 16 (0 past a short header).
struct ScannedHead {
    std::int64_t start = 0;
    std::int32_t headerSize = 0;
    std::int32_t at8 = 0;
    std::int32_t at12 = 0;
    std::int32_t at16 = 0;
};

ScannedHead scanHead(ByteReader& r, std::int64_t fixed, const char* aChunk, const char* sizeWhat, const char* chunk)
{
    ScannedHead h;
    h.start = r.pos();
    h.headerSize = headerSizeHere(r, aChunk, sizeWhat);
    const std::int64_t taken = requireOwnBytes(r, h.headerSize, fixed, chunk);
    h.at8 = fieldAt(r, h.start, taken, 8);
    h.at12 = fieldAt(r, h.start, taken, 12);
    h.at16 = fieldAt(r, h.start, taken, 16);
    r.seek(h.start + taken);
    return h;
}

std::int32_t scanTrack(ByteReader& r)
{
    const ScannedHead h = scanHead(r, fixedSize(kMHITFields), "a track record", "track header size", "track record");
    checkedSize(h.start, h.at8, 0, "track record size");
    checkedCount(r, h.start, h.at12, "track string record count");
    r.seek(h.start + h.headerSize);
    for (std::int32_t j = 0; j < h.at12; ++j)
        scanStringRecord(r);
    return h.at16;
}

void scanPlaylist(ByteReader& r)
{
    const ScannedHead h = scanHead(r, fixedSize(kMHYPFields), "a playlist", "playlist header size", "playlist");
    const std::int32_t children = h.at12;
    const std::int32_t items = h.at16;
    checkedSize(h.start, h.at8, 0, "playlist size");
    checkedCount(r, h.start, children, "playlist record count");
    checkedCount(r, h.start, items, "playlist item count");
    r.seek(h.start + h.headerSize);
    for (std::int32_t c = 0; c < children; ++c) {
        if (c == 0) {
            scanStringRecord(r);
            continue;
        }
        const std::int64_t recordStart = r.pos();
        const std::int32_t size = recordSizeHere(r, "a playlist record", "playlist record size");
        r.seek(recordStart + 12);  // the head readPlaylist decodes: three fields, and a fourth when there is room
        if (size >= 16)
            (void)r.span(4, "32-bit field");
        r.seek(recordStart + size);
    }
    for (std::int32_t k = 0; k < items; ++k) {
        const ScannedHead item = scanHead(r, fixedSize(kMHIPFields), "a playlist item", "item header size", "playlist item");
        checkedCount(r, item.start, item.at12, "item record count");
        r.seek(item.start + item.headerSize);
        for (std::int32_t c = 0; c < item.at12; ++c) {
            const std::int64_t recordStart = r.pos();
            const std::int32_t size = recordSizeHere(r, "an item record", "item record size");
            if (c == 0)
                r.seek(recordStart + requireOwnBytes(r, size, fixedSize(kMHOD_POEFields), "item record"));
            r.seek(recordStart + size);
        }
    }
}

}  // namespace

void clsSonarchive::ReadTrackSection(ByteReader& r, const std::shared_ptr<const ByteBuffer>& file, MHSD_T& target, FileIndex* index)
{
    readSectionHeader(r, file, target);

    MHLT& list = target.m_mhlt;
    readListHeader(r, file, list.sID, list.iHeaderSize, list.iNumberOfllTracks, list.sAllHeader, "track list");

    if (index) {
        // Each track is checked as a full read would check it, and only located.
        index->tracks.clear();
        index->ids.clear();
        index->firstOfId.clear();
        index->tracks.reserve(plausibleCount(r, list.iNumberOfllTracks, 64));
        index->ids.reserve(index->tracks.capacity());
        index->firstOfId.reserve(index->tracks.capacity());
        for (std::int32_t i = 0; i < list.iNumberOfllTracks; ++i) {
            index->tracks.push_back(r.pos());
            const std::int32_t id = scanTrack(r);
            index->ids.push_back(id);
            index->firstOfId.try_emplace(id, static_cast<std::size_t>(i));
        }
        return;
    }
    fitList(list.m_mhit, list.iNumberOfllTracks);
    list.m_mhit.reserve(withRoomToAdd(plausibleCount(r, list.iNumberOfllTracks, 64)));
    for (std::int32_t i = 0; i < list.iNumberOfllTracks; ++i)
        readTrack(r, file, entry(list.m_mhit, static_cast<std::size_t>(i)));
}

void clsSonarchive::ReadPlaylistSection(ByteReader& r, const std::shared_ptr<const ByteBuffer>& file, MHSD_P& target,
                                        std::vector<std::int64_t>* offsets)
{
    readSectionHeader(r, file, target);

    MHLP& list = target.m_mhlp;
    readListHeader(r, file, list.sID, list.iHeaderSize, list.iNumberOfPlaylists, list.sHeaderData, "playlist list");

    if (offsets) {
        offsets->clear();
        for (std::int32_t p = 0; p < list.iNumberOfPlaylists; ++p) {
            offsets->push_back(r.pos());
            scanPlaylist(r);
        }
        return;
    }
    fitList(list.m_mhyp, list.iNumberOfPlaylists);
    for (std::int32_t p = 0; p < list.iNumberOfPlaylists; ++p)
        readPlaylist(r, file, entry(list.m_mhyp, static_cast<std::size_t>(p)));
}

void clsSonarchive::decodeDatabase(const std::shared_ptr<const ByteBuffer>& file, FileIndex* index)
{
    ByteReader r(file->view());
    MHBD& h = m_MHBD;
    const std::int32_t headerSize = headerSizeHere(r, "the database header", "database header size");
    readOwnFields(r, h, kMHBDFields, headerSize, "database header");
    checkedSize(0, h.iTotalSize, 0, "database size");
    r.seek(h.iHeaderSize);
    checkedCount(r, 0, h.iNumberOfMHSD, "section count");
    h.sHeaderData = slice(file, 0, h.iHeaderSize);
    h.sAllData = slice(file, 0, h.iTotalSize);

    if (r.clipped(r.pos(), 4) != "mhsd")
        r.fail("no section (\"mhsd\") where the database header ends");

    m_otherSections.clear();
    m_sectionOrder.clear();
    // With an index, the track and playlist sections are only checked and located.
    for (std::int32_t s = 0; s < h.iNumberOfMHSD; ++s) {
        const std::int64_t start = r.pos();
        const std::int32_t type = r.i32At(start + 12, "a section header");
        const std::int32_t total = r.i32At(start + 8, "a section header");
        switch (type) {
        case 1:
            ReadTrackSection(r, file, index ? index->tracksHead : m_MHSD_T, index);
            m_sectionOrder.push_back({SectionSlot::Tracks});
            break;
        case 2:
            ReadPlaylistSection(r, file, index ? index->playlistsHead : m_playlists, index ? &index->playlists : nullptr);
            if (index)
                index->hasPlaylistSection = true;
            m_sectionOrder.push_back({SectionSlot::Playlists});
            break;
        case 3:
            ReadPlaylistSection(r, file, index ? index->podcastsHead : m_podcasts, index ? &index->podcasts : nullptr);
            m_sectionOrder.push_back({SectionSlot::Podcasts});
            break;
        case 4:
        case 5: {
            checkedSize(start, total, kSectionHead, "section size");
            auto fill = [&](auto& section) {
                section.iTotalSize = total;
                section.sID = u"mhsd";
                section.iType = type;
                section.sAllData = slice(file, start, total);
            };
            if (type == 4)
                fill(m_MHSD_A);
            else
                fill(m_MHSD_NP);
            m_sectionOrder.push_back({type == 4 ? SectionSlot::AlbumLists : SectionSlot::NewPlaylists});
            r.seek(start + total);
            break;
        }
        default:
            // Sections of other kinds (written by newer software) are kept whole and
            // stepped over, so the sections after them are still read.
            checkedSize(start, total, kSectionHead, "section size");
            m_sectionOrder.push_back({SectionSlot::Other, m_otherSections.size()});
            m_otherSections.push_back(slice(file, start, total));
            r.seek(start + total);
            break;
        }
    }
    iFilePos = static_cast<std::int32_t>(r.pos() + 1);
}

bool clsSonarchive::decodeImage(const std::shared_ptr<const ByteBuffer>& image, bool indexOnly)
{
    tracksChanged();
    try {
        iFilePos = 1;
        m_databaseLoaded = false;
        m_index.reset();
        auto index = indexOnly ? std::make_unique<FileIndex>() : nullptr;
        decodeDatabase(image, index.get());
        tracksChanged();
        m_index = std::move(index);
        m_loadedImage = image;
        m_databaseLoaded = true;
        return true;
    } catch (const std::exception& e) {
        m_lastFailure = failureOf(e);
        tracksChanged();
        return false;
    }
}

void clsSonarchive::decodeTrackAt(std::int64_t offset, MHIT& into) const
{
    ByteReader r(m_loadedImage->view());
    r.seek(offset);
    readTrack(r, m_loadedImage, into);
}

void clsSonarchive::decodePlaylistAt(std::int64_t offset, MHYP& into) const
{
    ByteReader r(m_loadedImage->view());
    r.seek(offset);
    readPlaylist(r, m_loadedImage, into);
}

void clsSonarchive::ensureRecords()
{
    if (!m_index)
        return;
    const std::int32_t filePos = iFilePos;
    decodeDatabase(m_loadedImage);  // the index was made from these bytes, so this cannot fail
    iFilePos = filePos;
    for (MHSD_P* section : {&m_playlists, &m_podcasts})
        for (MHYP& playlist : section->m_mhlp.m_mhyp)
            playlist.iMHYPs2Delete = 0;
    m_index.reset();
    tracksChanged();
}

std::unique_ptr<clsSonarchive> clsSonarchive::decodedCopy() const
{
    auto copy = std::make_unique<clsSonarchive>();
    copy->m_MHSD_T = m_MHSD_T;
    copy->m_playlists = m_playlists;
    copy->m_podcasts = m_podcasts;
    copy->m_loadedImage = m_loadedImage;
    if (m_index)
        copy->decodeDatabase(m_loadedImage);
    return copy;
}

bool clsSonarchive::LoadiPodDB()
{
    m_paths.clear();
    tracksChanged();
    m_databaseLoaded = false;
    m_loadedImage.reset();
    m_index.reset();
    m_lastFailure = {};
    LoadFailure failure = LoadFailure::Other;
    try {
        std::error_code ec;
        if (siPodDrive.empty() || !fs::is_directory(fs::path(toUtf8(siPodDrive)), ec))
            throw Error(FailureCode::NotConnected, "the drive " + toUtf8(siPodDrive) + " is not there", ENOENT);
        if (!deviceFolderExists(devicePath(u"iPod_Control/iTunes")))
            throw Error(FailureCode::NotFound, "the drive has no iPod_Control/iTunes folder", ENOENT);

        const auto file = readDeviceFile(databasePath());
        iFilePos = 1;
        m_index.reset();
        auto index = std::make_unique<FileIndex>();
        try {
            decodeDatabase(file, index.get());
        } catch (const std::exception&) {
            // The records hold what could be decoded before the damage, as a full read leaves them.
            try {
                iFilePos = 1;
                decodeDatabase(file);
            } catch (const std::exception&) {
            }
            throw;
        }
        iDeletedTracks = 0;
        tracksChanged();
        m_index = std::move(index);
        m_loadedImage = file;
        m_databaseLoaded = true;
        return true;
    } catch (const std::exception& e) {
        m_lastFailure = failureOf(e);
        // A file the disk could not read is not a damaged one; format failures and
        // lack of memory are "other" failures.
        failure = m_lastFailure.code == FailureCode::NotConnected ? LoadFailure::PathNotFound
                  : m_lastFailure.code == FailureCode::NotFound   ? LoadFailure::FileNotFound
                  : m_lastFailure.code == FailureCode::Unreadable ? LoadFailure::Unreadable
                                                                  : LoadFailure::Other;
    }
    tracksChanged();
    return recoverFromLoadFailure(failure);
}

bool clsSonarchive::recoverFromLoadFailure(LoadFailure failure)
{
    const std::u16string title = u"iPod DB is Corrupted";
    const std::u16string resetQuestion = u"Do you want to reset the iPod DB?\r\nClick Yes to load an empty DB.";
    std::error_code ec;
    const bool musicFolder = fs::is_directory(devicePath(u"iPod_Control/Music"), ec);
    const auto ask = [&](const std::u16string& prompt) {
        return message(prompt, title, MessageButtons::YesNo, MessageIcon::Exclamation) == MessageResult::Yes;
    };

    switch (failure) {
    case LoadFailure::Unreadable:
        // A repair would replace a database that may be intact and read on the next try.
        message(unreadableDatabaseMessage(m_lastFailure), u"iPod Disk Error", MessageButtons::OK, MessageIcon::Critical);
        return false;
    case LoadFailure::PathNotFound:
        message(u"iPod is Not Connected or Not set as disk use", u"iPod is Not connected", MessageButtons::OK,
                MessageIcon::Exclamation);
        return false;
    case LoadFailure::FileNotFound:
        if (musicFolder) {
            if (ask(u"iPod DB is not found, Do you want to rebuild the DB(Using all existing Audio/Video files in the iPod)?"))
                return ReBuildDB();
            return ask(u"iPod DB is Corrupted,Do you want to reset the iPod DB?\r\nClick Yes to load an empty DB.") && resetThenLoad();
        }
        return ask(u"The specified drive is either not the iPod Drive or corrupted iPod drive.\r\n" + resetQuestion) &&
               resetThenLoad();
    case LoadFailure::Other:
        if (musicFolder) {
            if (ask(u"iPod DB is corrupted, Do you want to rebuild the DB(Using all existing Audio files in the iPod)?"))
                return ReBuildDB();
            return ask(resetQuestion) && resetThenLoad();
        }
        return ask(resetQuestion) && resetThenLoad();
    }
    return false;
}

bool clsSonarchive::resetThenLoad()
{
    return RestoreDatabaseFile() && LoadiPodDB();
}

}  // namespace sonarchive
