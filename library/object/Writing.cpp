// Writing the device database: the records encoded section by section in the
// order the file held them, the new file put in place whole, and the messages
// a failure calls for. The old file stays until the new one is complete.

#include "AtomicFile.h"
#include "RecordEdits.h"
#include "DatabaseBackup.h"
#include "ByteConverters.h"
#include "Error.h"
#include "clsSonarchive.h"

#include <algorithm>
#include <fstream>
#include <optional>

namespace sonarchive {

namespace fs = std::filesystem;

namespace {

// The slots in the library's own order, for sections a file did not have.
constexpr SectionSlot kSlotOrder[] = {SectionSlot::Tracks, SectionSlot::Podcasts, SectionSlot::Playlists,
                                      SectionSlot::AlbumLists, SectionSlot::NewPlaylists};

// The sections in the order the file held them; a slot read twice holds the
// last one read and goes where the first stood. Slots the file did not have
// follow in the library's own order.
std::vector<SectionPlace> writingOrder(const DatabaseRecords& db)
{
    std::vector<SectionPlace> order = db.sectionOrder;
    for (SectionSlot slot : kSlotOrder)
        order.push_back({slot});
    for (std::size_t i = 0; i < db.otherSections.size(); ++i)
        order.push_back({SectionSlot::Other, i});
    std::vector<SectionPlace> once;
    for (const SectionPlace& place : order) {
        const bool already = std::any_of(once.begin(), once.end(), [&](const SectionPlace& d) {
            return d.slot == place.slot && (place.slot != SectionSlot::Other || d.otherIndex == place.otherIndex);
        });
        if (!already)
            once.push_back(place);
    }
    return once;
}

const char16_t* sectionName(SectionSlot slot)
{
    return slot == SectionSlot::Tracks ? u"MHSD_T" : u"MHSD_P";
}

}  // namespace

void clsSonarchive::WriteMHBD(ImageBuffer& image)
{
    iFilePos = static_cast<std::int32_t>(encodeDatabaseHeader(image, m_db.header) + 1);
}

void clsSonarchive::WriteMHSD_T(ImageBuffer& image)
{
    const std::size_t count = trackCount();
    const std::int64_t end = encodeTrackSection(image, iFilePos - 1, m_db.tracks, [&](const auto& visit) {
        for (std::size_t i = 0; i < count; ++i)
            visit(trackAt(i));
    });
    iFilePos = static_cast<std::int32_t>(end + 1);
}

void clsSonarchive::WriteMHSD_P(ImageBuffer& image, const MHSD_P& section)
{
    if (!m_index) {
        const std::int64_t end = encodePlaylistSection(image, iFilePos - 1, section,
                                                       [&](const auto& visit) { forEachPlaylist(section, visit); });
        iFilePos = static_cast<std::int32_t>(end + 1);
        return;
    }
    // Straight from the loaded file, one item at a time: a master playlist holds
    // an item for every track.
    std::int64_t pos = encodePlaylistSectionHead(image, iFilePos - 1, section);
    for (const std::int64_t offset : &section == &m_db.playlists ? m_index->playlists : m_index->podcasts) {
        std::optional<PlaylistEncoder> encoder;
        decodePlaylistAt(
            m_loadedImage, offset, m_scratchPlaylist, [&](const MHYP& head) { encoder.emplace(image, pos, head); },
            [&](const MHIP& item, const MHOD_POE& record) { encoder->item(item, record); });
        pos = encoder->finish();
    }
    iFilePos = static_cast<std::int32_t>(pos + 1);
}

bool clsSonarchive::writeSection(ImageBuffer& image, SectionPlace place)
{
    const auto whole = [&](const SectionHead& section) {
        if (section.sAllData.empty())
            return false;
        iFilePos = static_cast<std::int32_t>(encodeWholeSection(image, iFilePos - 1, section.sAllData, section.iTotalSize) + 1);
        return true;
    };
    switch (place.slot) {
    case SectionSlot::Tracks:
        if (m_db.tracks.sID.empty())
            return false;
        WriteMHSD_T(image);
        return true;
    case SectionSlot::Podcasts:
    case SectionSlot::Playlists: {
        const MHSD_P& section = place.slot == SectionSlot::Playlists ? m_db.playlists : m_db.podcasts;
        if (section.sID.empty())
            return false;
        WriteMHSD_P(image, section);
        return true;
    }
    case SectionSlot::AlbumLists: return whole(m_db.albumLists);
    case SectionSlot::NewPlaylists: return whole(m_db.newPlaylists);
    case SectionSlot::Other: {
        if (place.otherIndex >= m_db.otherSections.size())
            return false;
        const RawBytes& bytes = m_db.otherSections[place.otherIndex];
        iFilePos = static_cast<std::int32_t>(encodeWholeSection(image, iFilePos - 1, bytes, static_cast<std::int64_t>(bytes.size())) + 1);
        return true;
    }
    }
    return false;
}

std::string clsSonarchive::assembleDatabase()
{
    ImageBuffer image;
    assembleInto(image);
    return std::string(image.view());
}

void clsSonarchive::assembleInto(ImageBuffer& image)
{
    image.reserve(static_cast<std::size_t>(std::max(m_db.header.iTotalSize, 0)) + 4096);
    WriteMHBD(image);
    std::int32_t sections = 0;
    for (const SectionPlace& place : writingOrder(m_db)) {
        const bool decoded = place.slot == SectionSlot::Tracks || place.slot == SectionSlot::Playlists || place.slot == SectionSlot::Podcasts;
        try {
            if (decoded)
                fileFaultPoint(toUtf8(sectionName(place.slot)).c_str());
            if (writeSection(image, place))
                ++sections;
        } catch (const std::exception&) {
            if (decoded)
                m_failedSection = sectionName(place.slot);
            throw;
        }
    }
    finishDatabaseHeader(image, sections);
}

int signatureSchemeOf(std::string_view header)
{
    if (header.size() < 50)
        return 0;
    return static_cast<std::uint8_t>(header[48]) | static_cast<std::uint8_t>(header[49]) << 8;
}

int clsSonarchive::signatureScheme() const
{
    return m_databaseLoaded ? signatureSchemeOf(m_db.header.sHeaderData.view()) : 0;
}

void clsSonarchive::writeOrFail()
{
    const fs::path path = databasePath();
    std::error_code ec;
    if (!fs::is_regular_file(path, ec))
        throw Error(FailureCode::NotFound, "there is no database file to replace at " + path.string(), ENOENT);
    if (!m_databaseLoaded || m_db.header.sHeaderData.empty())
        throw Error(FailureCode::NotLoaded, "no database has been loaded whole, so there is nothing to write", EINVAL);

    // The device checks a keyed signature in a signed header; the key comes from
    // its serial number, which the library does not know. Only the bytes it was
    // loaded with still carry a valid signature, so such a file is assembled
    // whole first and compared.
    if (signatureScheme() != 0 && !m_allowUnsignedWrite) {
        ImageBuffer image;
        assembleInto(image);
        if (!m_loadedImage || m_loadedImage->view() != image.view())
            throw Error(FailureCode::Signed,
                        "the database is signed by the iPod's own software, and a changed database would need a new "
                        "signature that cannot be made here: the iPod would show no music, so nothing was written",
                        EPERM);
        keepDatabaseBackup(path, templateDatabase());
        replaceFileAtomically(path, image.view());
        return;
    }
    // Any other goes to the new file as it is assembled.
    keepDatabaseBackup(path, templateDatabase());
    replaceFileAtomically(path, [&](int fd, const std::string& name) {
        ImageBuffer image(fd, name);
        assembleInto(image);
        image.finish();
    });
}

bool clsSonarchive::writeDatabase()
{
    m_lastFailure = {};
    m_failedSection.clear();
    try {
        foldSinceLastSync();
        writeOrFail();
    } catch (const std::exception& e) {
        m_lastFailure = failureOf(e);
        if (m_lastFailure.code == FailureCode::None)
            m_lastFailure.code = FailureCode::Other;
        showWriteFailure();
        return false;
    }
    // The notes are in the new database now: read again, they would count twice.
    try {
        m_sinceSync.setAside();
        m_sinceSync.clear();
        return true;
    } catch (const std::exception& e) {
        m_lastFailure = failureOf(e);
        message(fromUtf8(m_lastFailure.message), {}, MessageButtons::OK, MessageIcon::Critical);
        return false;
    }
}

// The message a failed write shows: the section's own when a section failed
// (the whole write is abandoned, so the old file stays), else the writer's.
void clsSonarchive::showWriteFailure() const
{
    const std::u16string number = fromUtf8(std::to_string(m_lastFailure.number ? m_lastFailure.number : EIO));
    if (!m_failedSection.empty()) {
        message(u"Error Occured while writing Database[" + m_failedSection + u"].\r\n" + number + u":" + fromUtf8(m_lastFailure.message),
                {}, MessageButtons::OK, MessageIcon::None);
    } else if (m_lastFailure.code == FailureCode::Signed) {
        message(u"This iPod's database is signed by the iPod's own software. The changed database would need a new "
                u"signature, which cannot be made here, and without it the iPod would show no music.\r\n"
                u"Nothing was written.",
                {}, MessageButtons::OK, MessageIcon::Critical);
    } else {
        message(u"Error occured while writting iPod DB.\r\nErr Number:" + number + u"," + fromUtf8(m_lastFailure.message), {},
                MessageButtons::OK, MessageIcon::Critical);
    }
}

// The interface's write returns nothing, as it always has; writeDatabase() tells.
void clsSonarchive::WriteiPodDB()
{
    writeDatabase();
}

// Always false, as the interface has always answered; a failure reaches the caller.
bool clsSonarchive::Write_FileSize(const std::u16string& sFilePath)
{
    const fs::path path = toUtf8(sFilePath);
    const auto length = fs::file_size(path);  // throws filesystem_error when the file is missing
    std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
    if (!file)
        throw systemError(errno ? errno : EIO, "cannot open " + path.string());
    const std::string bytes = LongToBytes(static_cast<std::int32_t>(length));
    file.seekp(8);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!file)
        throw systemError(errno ? errno : EIO, "cannot write " + path.string());
    return false;
}

void clsSonarchive::foldSinceLastSync()
{
    const DeviceNotes& notes = m_sinceSync.notes();
    if (m_sinceSync.folded() || (!notes.playCounts && notes.onTheGo.empty()))
        return;
    ensureRecords();
    // The On-The-Go lists name places in the track list as it was loaded.
    std::vector<PlaylistView> lists;
    for (const OnTheGoFile& list : notes.onTheGo)
        lists.push_back(onTheGoView(list, 0));
    const auto tracks = validEntries(m_db.tracks.m_mhlt.m_mhit, m_db.tracks.m_mhlt.iNumberOfllTracks);
    for (std::size_t position = 0; position < tracks.size(); ++position)
        if (tracks[position].iUniqueID != -1)
            m_sinceSync.fold(position, tracks[position]);
    m_sinceSync.setFolded();
    // A database without playlists has no place for them: the files stay for a later sync.
    if (!hasMasterPlaylist(m_db.playlists))
        m_sinceSync.keepOnTheGoFiles();
    else
        for (PlaylistView& list : lists)
            appendPlaylist(std::move(list.name), list.trackIds);
}

}  // namespace sonarchive
