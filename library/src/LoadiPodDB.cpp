// The reader: decodes the device database file into the object's records and,
// when the file cannot be read, asks the user whether to rebuild or reset it.

#include "ByteReader.h"
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

class LoadFailureError : public std::runtime_error {
public:
    enum class Kind { PathNotFound, FileNotFound };
    LoadFailureError(Kind kind, const std::string& what) : std::runtime_error(what), m_kind(kind) {}
    Kind kind() const { return m_kind; }

private:
    Kind m_kind;
};

std::shared_ptr<const ByteBuffer> readWholeFile(const fs::path& path)
{
    std::error_code ec;
    const auto status = fs::status(path, ec);
    if (ec || !fs::exists(status)) {
        const bool parentMissing = ec && ec != std::errc::no_such_file_or_directory;
        throw LoadFailureError(parentMissing ? LoadFailureError::Kind::PathNotFound : LoadFailureError::Kind::FileNotFound,
                               "no database file at " + path.string());
    }
    if (fs::is_directory(status))
        throw std::runtime_error("the database path is a folder");

    // Read straight into uninitialised storage: the file is the largest thing a load holds.
    const FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.isOpen())
        throw std::runtime_error("cannot open " + path.string() + ": " + std::strerror(errno));
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0)
        throw std::runtime_error("cannot size " + path.string());
    auto data = std::make_shared<ByteBuffer>(static_cast<std::size_t>(info.st_size));
    std::size_t done = 0;
    while (done < data->size()) {
        const ssize_t got = ::read(fd.get(), data->data() + done, data->size() - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            throw std::runtime_error("short read of " + path.string() + (got < 0 ? std::string(": ") + std::strerror(errno) : ""));
        done += static_cast<std::size_t>(got);
    }
    return data;
}

std::int32_t checkedSize(ByteReader& reader, std::int32_t value, std::int32_t minimum, const char* what)
{
    if (value < minimum)
        reader.fail(std::string("impossible ") + what + " " + std::to_string(value));
    return value;
}

// A count of records that each take at least one chunk head from the bytes left.
std::int32_t checkedCount(ByteReader& reader, std::int32_t value, const char* what)
{
    if (value < 0 || static_cast<std::int64_t>(value) * kSmallestChunk > reader.remaining() + kSmallestChunk)
        reader.fail(std::string("impossible ") + what + " " + std::to_string(value));
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

// The ten 32-bit fields of a string record and its UTF-16 text.
void readStringRecord(ByteReader& reader, const std::shared_ptr<const ByteBuffer>& file, MHOD_S& record)
{
    const std::int64_t start = reader.pos();
    readFields(reader, record, kMHOD_SFields);
    checkedSize(reader, record.iTotalSize, kSmallestChunk, "string record size");
    checkedSize(reader, record.iLength, 0, "text length");
    record.sString = reader.utf16leClipped(start + 40, record.iLength);
    // Records of other layouts keep their bytes so a rewrite reproduces them;
    // the usual ones are written again from their fields.
    if (!hasStandardLayout(record))
        record.sAllMHOD = RawBytes(file, static_cast<std::size_t>(start), static_cast<std::size_t>(record.iTotalSize));
    else
        record.sAllMHOD = RawBytes();
    reader.seek(start + record.iTotalSize);
}

void readTrackFields(ByteReader& r, MHIT& t)
{
    readFields(r, t, kMHITFields);
    checkedSize(r, t.iHeaderSize, kSmallestChunk, "track header size");
    checkedSize(r, t.iTotalSize, 0, "track size");
    checkedCount(r, t.iNumberOfMHODS, "string record count");
}

// The 16-byte section header shared by every section kind.
void readSectionHeader(ByteReader& r, const std::shared_ptr<const ByteBuffer>& file, SectionHead& s)
{
    const std::int64_t start = r.pos();
    s.sID = r.magic();
    s.iHeaderSize = checkedSize(r, r.i32le(), kSmallestChunk, "section header size");
    s.iTotalSize = checkedSize(r, r.i32le(), 0, "section size");
    s.iType = r.i32le();
    s.sHeaderData = RawBytes(file, static_cast<std::size_t>(start), static_cast<std::size_t>(s.iHeaderSize));
    s.sAllData = RawBytes(file, static_cast<std::size_t>(start), static_cast<std::size_t>(s.iTotalSize));
    r.seek(start + s.iHeaderSize);
}

// A list header ("mhlt", "mhlp"): magic, header size, count; then on to the first entry.
void readListHeader(ByteReader& r, const std::shared_ptr<const ByteBuffer>& file, std::u16string& id,
                    std::int32_t& headerSize, std::int32_t& count, RawBytes& raw)
{
    const std::int64_t start = r.pos();
    id = r.magic();
    headerSize = checkedSize(r, r.i32le(), kSmallestChunk, "list header size");
    count = checkedCount(r, r.i32le(), "list entry count");
    raw = RawBytes(file, static_cast<std::size_t>(start), static_cast<std::size_t>(headerSize));
    r.seek(start + headerSize);
}

}  // namespace

void clsSonarchive::ReadTrackSection(ByteReader& r, const std::shared_ptr<const ByteBuffer>& file)
{
    readSectionHeader(r, file, m_MHSD_T);

    MHLT& list = m_MHSD_T.m_mhlt;
    readListHeader(r, file, list.sID, list.iHeaderSize, list.iNumberOfllTracks, list.sAllHeader);

    fitList(list.m_mhit, list.iNumberOfllTracks);
    list.m_mhit.reserve(withRoomToAdd(plausibleCount(r, list.iNumberOfllTracks, 64)));
    for (std::int32_t i = 0; i < list.iNumberOfllTracks; ++i) {
        const std::int64_t trackStart = r.pos();
        MHIT& track = entry(list.m_mhit, static_cast<std::size_t>(i));
        readTrackFields(r, track);
        track.sAllData = RawBytes(file, static_cast<std::size_t>(trackStart), static_cast<std::size_t>(track.iTotalSize));
        r.seek(trackStart + track.iHeaderSize);

        fitList(track.m_mhod, track.iNumberOfMHODS);
        track.m_mhod.reserve(plausibleCount(r, track.iNumberOfMHODS, 40));
        for (std::int32_t j = 0; j < track.iNumberOfMHODS; ++j)
            readStringRecord(r, file, entry(track.m_mhod, static_cast<std::size_t>(j)));
    }
}

void clsSonarchive::ReadPlaylistSection(ByteReader& r, const std::shared_ptr<const ByteBuffer>& file, MHSD_P& target)
{
    readSectionHeader(r, file, target);

    MHLP& list = target.m_mhlp;
    readListHeader(r, file, list.sID, list.iHeaderSize, list.iNumberOfPlaylists, list.sHeaderData);

    fitList(list.m_mhyp, list.iNumberOfPlaylists);
    for (std::int32_t p = 0; p < list.iNumberOfPlaylists; ++p) {
        const std::int64_t start = r.pos();
        MHYP& pl = entry(list.m_mhyp, static_cast<std::size_t>(p));
        readFields(r, pl, kMHYPFields);
        checkedSize(r, pl.iHeaderSize, kSmallestChunk, "playlist header size");
        checkedSize(r, pl.iTotlaSize, 0, "playlist size");
        checkedCount(r, pl.iChildsCount, "playlist record count");
        checkedCount(r, pl.iPlaylistItemsCount, "playlist item count");
        pl.sAllData = RawBytes(file, static_cast<std::size_t>(start), static_cast<std::size_t>(pl.iTotlaSize));
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
            record.sID = r.magic();
            record.iHeaderSize = r.i32le();
            record.iTotalSize = checkedSize(r, r.i32le(), kSmallestChunk, "playlist record size");
            record.iType = r.i32le();
            record.sAllMHOD = RawBytes(file, static_cast<std::size_t>(recordStart), static_cast<std::size_t>(record.iTotalSize));
            r.seek(recordStart + record.iTotalSize);
        }

        fitList(pl.m_mhip, pl.iPlaylistItemsCount);
        fitList(pl.m_mhod_poe, pl.iPlaylistItemsCount);
        pl.m_mhip.reserve(withRoomToAdd(plausibleCount(r, pl.iPlaylistItemsCount, 24)));
        pl.m_mhod_poe.reserve(withRoomToAdd(plausibleCount(r, pl.iPlaylistItemsCount, 24)));
        for (std::int32_t k = 0; k < pl.iPlaylistItemsCount; ++k) {
            const std::int64_t itemStart = r.pos();
            MHIP& item = entry(pl.m_mhip, static_cast<std::size_t>(k));
            readFields(r, item, kMHIPFields);
            checkedSize(r, item.iHeaderSize, kSmallestChunk, "item header size");
            item.sHeaderData = RawBytes(file, static_cast<std::size_t>(itemStart), static_cast<std::size_t>(item.iHeaderSize));
            r.seek(itemStart + item.iHeaderSize);

            // Exactly one data record follows each item, whatever iChildCount says.
            const std::int64_t recordStart = r.pos();
            MHOD_POE& record = entry(pl.m_mhod_poe, static_cast<std::size_t>(k));
            readFields(r, record, kMHOD_POEFields);
            checkedSize(r, record.iTotalSize, kSmallestChunk, "item record size");
            record.sAllMHOD = RawBytes(file, static_cast<std::size_t>(recordStart), static_cast<std::size_t>(record.iTotalSize));
            r.seek(recordStart + record.iTotalSize);
        }
    }
}

void clsSonarchive::decodeDatabase(const std::shared_ptr<const ByteBuffer>& file)
{
    ByteReader r(file->view());
    MHBD& h = m_MHBD;
    readFields(r, h, kMHBDFields);
    checkedSize(r, h.iHeaderSize, kSmallestChunk, "database header size");
    checkedSize(r, h.iTotalSize, 0, "database size");
    checkedCount(r, h.iNumberOfMHSD, "section count");
    h.sHeaderData = RawBytes(file, 0, static_cast<std::size_t>(h.iHeaderSize));
    h.sAllData = RawBytes(file, 0, static_cast<std::size_t>(h.iTotalSize));

    r.seek(h.iHeaderSize);
    if (r.clipped(r.pos(), 4) != "mhsd")
        r.fail("no section after the database header");

    m_otherSections.clear();
    for (std::int32_t s = 0; s < h.iNumberOfMHSD; ++s) {
        const std::int64_t start = r.pos();
        const std::int32_t type = r.i32At(start + 12);
        const std::int32_t total = r.i32At(start + 8);
        switch (type) {
        case 1:
            ReadTrackSection(r, file);
            break;
        case 2:
            ReadPlaylistSection(r, file, m_playlists);
            break;
        case 3:
            ReadPlaylistSection(r, file, m_podcasts);
            break;
        case 4:
        case 5: {
            checkedSize(r, total, kSectionHead, "section size");
            auto fill = [&](auto& section) {
                section.iTotalSize = total;
                section.sID = u"mhsd";
                section.iType = type;
                section.sAllData = RawBytes(file, static_cast<std::size_t>(start), static_cast<std::size_t>(total));
            };
            if (type == 4)
                fill(m_MHSD_A);
            else
                fill(m_MHSD_NP);
            r.seek(start + total);
            break;
        }
        default:
            // Sections of other kinds (written by newer software) are kept whole and
            // stepped over, so the sections after them are still read.
            checkedSize(r, total, kSectionHead, "section size");
            m_otherSections.emplace_back(file, static_cast<std::size_t>(start), static_cast<std::size_t>(total));
            r.seek(start + total);
            break;
        }
    }
    iFilePos = static_cast<std::int32_t>(r.pos() + 1);
}

bool clsSonarchive::decodeImage(const std::shared_ptr<const ByteBuffer>& image)
{
    tracksChanged();
    try {
        iFilePos = 1;
        m_databaseLoaded = false;
        decodeDatabase(image);
        tracksChanged();
        m_databaseLoaded = true;
        return true;
    } catch (const std::exception&) {
        tracksChanged();
        return false;
    }
}

bool clsSonarchive::LoadiPodDB()
{
    m_paths.clear();
    tracksChanged();
    m_databaseLoaded = false;
    LoadFailure failure = LoadFailure::Other;
    try {
        std::error_code ec;
        if (siPodDrive.empty() || !fs::is_directory(fs::path(toUtf8(siPodDrive)), ec))
            throw LoadFailureError(LoadFailureError::Kind::PathNotFound, "the drive is not there");
        if (!fs::is_directory(devicePath(u"iPod_Control/iTunes"), ec))
            throw LoadFailureError(LoadFailureError::Kind::FileNotFound, "no iPod_Control/iTunes folder");

        const auto file = readWholeFile(databasePath());
        iFilePos = 1;
        decodeDatabase(file);

        iDeletedTracks = 0;
        for (MHSD_P* section : {&m_playlists, &m_podcasts})
            for (MHYP& playlist : section->m_mhlp.m_mhyp)
                playlist.iMHYPs2Delete = 0;
        tracksChanged();
        m_trackIds.build(m_MHSD_T.m_mhlt);  // once here, so adding tracks never scans them all
        m_databaseLoaded = true;
        return true;
    } catch (const LoadFailureError& e) {
        failure = e.kind() == LoadFailureError::Kind::PathNotFound ? LoadFailure::PathNotFound : LoadFailure::FileNotFound;
    } catch (const std::exception&) {
        failure = LoadFailure::Other;  // format failures, read errors, lack of memory
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
