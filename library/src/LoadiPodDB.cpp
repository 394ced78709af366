// The reader: decodes the device database file into the object's records and,
// when the file cannot be read, asks the user whether to rebuild or reset it.

#include "ByteReader.h"
#include "clsSonarchive.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <new>
#include <system_error>

namespace sonarchive {

namespace fs = std::filesystem;

namespace {

// Every chunk starts with a magic, its header size and its total size; a size
// smaller than that head can't step over a real chunk and would let a tiny file
// describe millions of records.
constexpr std::int32_t kSmallestChunk = 12;

class LoadFailureError : public std::runtime_error {
public:
    enum class Kind { PathNotFound, FileNotFound };
    LoadFailureError(Kind kind, const std::string& what) : std::runtime_error(what), m_kind(kind) {}
    Kind kind() const { return m_kind; }

private:
    Kind m_kind;
};

std::shared_ptr<const std::string> readWholeFile(const fs::path& path)
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

    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot open " + path.string() + ": " + std::strerror(errno));
    auto data = std::make_shared<std::string>();
    const auto size = fs::file_size(path, ec);
    if (ec)
        throw std::runtime_error("cannot size " + path.string());
    data->resize(size);
    in.read(data->data(), static_cast<std::streamsize>(size));
    if (static_cast<std::uintmax_t>(in.gcount()) != size)
        throw std::runtime_error("short read of " + path.string());
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
void readStringRecord(ByteReader& reader, MHOD_S& record)
{
    const std::int64_t start = reader.pos();
    record.sID = reader.magic();
    record.iHeaderSize = reader.i32le();
    record.iTotalSize = checkedSize(reader, reader.i32le(), kSmallestChunk, "string record size");
    record.iType = reader.i32le();
    record.iUnk1 = reader.i32le();
    record.iUnk2 = reader.i32le();
    record.iPosition = reader.i32le();
    record.iLength = checkedSize(reader, reader.i32le(), 0, "text length");
    record.iUnk3 = reader.i32le();
    record.iUnk4 = reader.i32le();
    record.sString = reader.utf16leClipped(start + 40, record.iLength);
    reader.seek(start + record.iTotalSize);
}

void readTrackFields(ByteReader& r, MHIT& t)
{
    t.sID = r.magic();
    t.iHeaderSize = checkedSize(r, r.i32le(), kSmallestChunk, "track header size");
    t.iTotalSize = checkedSize(r, r.i32le(), 0, "track size");
    t.iNumberOfMHODS = checkedCount(r, r.i32le(), "string record count");
    t.iUniqueID = r.i32le();
    t.iVisible = r.i32le();
    t.sFiletype = r.reversedCode();
    t.iType1 = r.u8();
    t.iType2 = r.u8();
    t.iFlag1 = r.u8();
    t.iStartRating = r.u8();
    t.sLastModifiedTime = r.bytes(4);
    t.iTrackSize = r.i32le();
    t.iTrackTimeLength = r.i32le();
    t.iTrackNumber = r.i32le();
    t.iTotalTracksNumber = r.i32le();
    t.sTrackYear = r.bytes(4);
    t.iBitrate = r.i32le();
    t.iSampleRate = r.i32le();
    t.iVolume = r.i32le();
    t.iStartTime = r.i32le();
    t.iStopTime = r.i32le();
    t.iSoundCheck = r.i32le();
    t.iPlayCount = r.i32le();
    t.iPlayCount2 = r.i32le();
    t.sLastPlayedTime = r.bytes(4);
    t.iDiscNumber = r.i32le();
    t.iTotalDisks = r.i32le();
    t.iUserID = r.i32le();
    t.sDateAdded = r.bytes(4);
    t.iBookmarkTime = r.i32le();
    t.iDB_ID = r.i64le();
    t.iCheck = r.u8();
    t.iApplicationRating = r.u8();
    t.iBPM = r.i16le();
    t.iArtworkCount = r.i16le();
    t.iUnk1 = r.i16le();
    t.iArtworkSize = r.i32le();
    t.iUnk2 = r.i32le();
    t.iSampleRate2 = r.i32le();
    t.sDateReleased = r.bytes(4);
    t.iUnk3 = r.i16le();
    t.iExplicitFlasg = r.i16le();
    t.iUnk4 = r.i32le();
    t.iUnk5 = r.i32le();
    t.iSkipCount = r.i32le();
    t.sLastSkipped = r.bytes(4);
    t.iHasArtwork = r.u8();
    t.iSkipWhenShuffle = r.u8();
    t.iRememPlaybackPos = r.u8();
    t.iFlag2 = r.u8();
    t.iDB_ID2 = r.i64le();
    t.iLyricsFlag = r.u8();
    t.iMovieFileFlag = r.u8();
    t.iPlayedMark = r.u8();
    t.iUnk6 = r.u8();
    t.iUnk7 = r.i32le();
    t.iPreGap = r.i32le();
    t.iSampleCount = r.i64le();
    t.iUnk8 = r.i32le();
    t.iPostGap = r.i32le();
    t.iUnk9 = r.i32le();
    t.iMediaType = r.i32le();
    t.iSeasonNumber = r.i32le();
    t.iEpisodeNumber = r.i32le();
    t.iUnk10 = r.i32le();
    t.iUnk11 = r.i32le();
    t.iUnk12 = r.i32le();
    t.iUnk13 = r.i32le();
    t.iUnk14 = r.i32le();
    t.iUnk15 = r.i32le();
    t.iUnk16 = r.i32le();
    t.iGaplessData = r.i32le();
    t.iUnk17 = r.i32le();
    t.iGaplessTrackFlag = r.i16le();
    t.iGaplessAlbumFlag = r.i16le();
    t.sUnk18 = r.bytes(20);
    t.iUnk19 = r.i32le();
    t.iUnk20 = r.i32le();
    t.iUnk21 = r.i32le();
    t.iUnk22 = r.i32le();
    t.iUnk23 = r.i16le();
    t.iAlbumID = r.i16le();
    t.iMHIILink = r.i32le();
}

// The 16-byte section header shared by every section kind.
template <typename Section>
void readSectionHeader(ByteReader& r, const std::shared_ptr<const std::string>& file, Section& s)
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

}  // namespace

void clsSonarchive::ReadTrackSection(ByteReader& r, const std::shared_ptr<const std::string>& file)
{
    readSectionHeader(r, file, m_MHSD_T);

    MHLT& list = m_MHSD_T.m_mhlt;
    const std::int64_t listStart = r.pos();
    list.sID = r.magic();
    list.iHeaderSize = checkedSize(r, r.i32le(), kSmallestChunk, "track list header size");
    list.iNumberOfllTracks = checkedCount(r, r.i32le(), "track count");
    list.sAllHeader = RawBytes(file, static_cast<std::size_t>(listStart), static_cast<std::size_t>(list.iHeaderSize));
    r.seek(listStart + list.iHeaderSize);

    fitList(list.m_mhit, list.iNumberOfllTracks);
    for (std::int32_t i = 0; i < list.iNumberOfllTracks; ++i) {
        const std::int64_t trackStart = r.pos();
        MHIT& track = entry(list.m_mhit, static_cast<std::size_t>(i));
        readTrackFields(r, track);
        track.sAllData = RawBytes(file, static_cast<std::size_t>(trackStart), static_cast<std::size_t>(track.iTotalSize));
        r.seek(trackStart + track.iHeaderSize);

        fitList(track.m_mhod, track.iNumberOfMHODS);
        for (std::int32_t j = 0; j < track.iNumberOfMHODS; ++j)
            readStringRecord(r, entry(track.m_mhod, static_cast<std::size_t>(j)));
    }
}

void clsSonarchive::ReadPlaylistSection(ByteReader& r, const std::shared_ptr<const std::string>& file, MHSD_P& target)
{
    readSectionHeader(r, file, target);

    MHLP& list = target.m_mhlp;
    const std::int64_t listStart = r.pos();
    list.sID = r.magic();
    list.iHeaderSize = checkedSize(r, r.i32le(), kSmallestChunk, "playlist list header size");
    list.iNumberOfPlaylists = checkedCount(r, r.i32le(), "playlist count");
    list.sHeaderData = RawBytes(file, static_cast<std::size_t>(listStart), static_cast<std::size_t>(list.iHeaderSize));
    r.seek(listStart + list.iHeaderSize);

    fitList(list.m_mhyp, list.iNumberOfPlaylists);
    for (std::int32_t p = 0; p < list.iNumberOfPlaylists; ++p) {
        const std::int64_t start = r.pos();
        MHYP& pl = entry(list.m_mhyp, static_cast<std::size_t>(p));
        pl.sID = r.magic();
        pl.iHeaderSize = checkedSize(r, r.i32le(), kSmallestChunk, "playlist header size");
        pl.iTotlaSize = checkedSize(r, r.i32le(), 0, "playlist size");
        pl.iChildsCount = checkedCount(r, r.i32le(), "playlist record count");
        pl.iPlaylistItemsCount = checkedCount(r, r.i32le(), "playlist item count");
        pl.iIsMasterFLag = r.u8();
        pl.sUnk1 = r.bytes(3);
        pl.sTimeStamp = r.bytes(4);
        pl.sPerPlayListID = r.bytes(8);
        pl.iUnk2 = r.i32le();
        pl.iMHODCount = r.i16le();
        pl.iPodCastFlag = r.i16le();
        pl.iListSortOrder = r.i32le();
        pl.sAllData = RawBytes(file, static_cast<std::size_t>(start), static_cast<std::size_t>(pl.iTotlaSize));
        r.seek(start + pl.iHeaderSize);

        // The first data record is the title, decoded as a string record whatever
        // its kind; the others are held whole.
        fitList(pl.m_mhod_pcd, pl.iChildsCount - 1);
        for (std::int32_t c = 0; c < pl.iChildsCount; ++c) {
            if (c == 0) {
                readStringRecord(r, pl.m_mhod_s);
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
        for (std::int32_t k = 0; k < pl.iPlaylistItemsCount; ++k) {
            const std::int64_t itemStart = r.pos();
            MHIP& item = entry(pl.m_mhip, static_cast<std::size_t>(k));
            item.sID = r.magic();
            item.iHeaderSize = checkedSize(r, r.i32le(), kSmallestChunk, "item header size");
            item.iTotalSize = r.i32le();
            item.iChildCount = r.i32le();
            item.iPodCastGroupFlag = r.i16le();
            item.iUnk1 = r.u8();
            item.iUnk2 = r.u8();
            item.iGroupID = r.i32le();
            item.iTrackID = r.i32le();
            item.sTimeStamp = r.bytes(4);
            item.sPodCastGroupRefrence = r.bytes(4);
            r.seek(itemStart + item.iHeaderSize);

            // Exactly one data record follows each item, whatever iChildCount says.
            const std::int64_t recordStart = r.pos();
            MHOD_POE& record = entry(pl.m_mhod_poe, static_cast<std::size_t>(k));
            record.sID = r.magic();
            record.iHeaderSize = r.i32le();
            record.iTotalSize = checkedSize(r, r.i32le(), kSmallestChunk, "item record size");
            record.iType = r.i32le();
            record.iUnk1 = r.i32le();
            record.iUnk2 = r.i32le();
            record.iPosition = r.i32le();
            record.sUnk3 = r.bytes(16);
            record.sAllMHOD = RawBytes(file, static_cast<std::size_t>(recordStart), static_cast<std::size_t>(record.iTotalSize));
            r.seek(recordStart + record.iTotalSize);
        }
    }
}

void clsSonarchive::decodeDatabase(const std::shared_ptr<const std::string>& file)
{
    ByteReader r(*file);
    MHBD& h = m_MHBD;
    h.sID = r.magic();
    h.iHeaderSize = checkedSize(r, r.i32le(), kSmallestChunk, "database header size");
    h.iTotalSize = checkedSize(r, r.i32le(), 0, "database size");
    h.iUnk1 = r.i32le();
    h.iVersion = r.i32le();
    h.iNumberOfMHSD = checkedCount(r, r.i32le(), "section count");
    h.sID2 = r.bytes(8);
    h.iUnk2 = r.i16le();
    h.sUnk3 = r.bytes(8);
    h.iUnk4 = r.i16le();
    h.iUnk5 = r.bytes(20);
    h.iLanguageID = r.i16le();
    h.sLibraryID = r.bytes(8);
    h.sHash = r.bytes(20);
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
            checkedSize(r, total, kSmallestChunk, "section size");
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
            checkedSize(r, total, kSmallestChunk, "section size");
            m_otherSections.emplace_back(file, static_cast<std::size_t>(start), static_cast<std::size_t>(total));
            r.seek(start + total);
            break;
        }
    }
    iFilePos = static_cast<std::int32_t>(r.pos() + 1);
}

bool clsSonarchive::LoadiPodDB()
{
    m_paths.clear();
    tracksChanged();
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
