// The writer: turns the in-memory database back into the device file. The file
// is assembled in memory with positioned writes and then replaces the old file
// atomically, so a failure never leaves the device without its database.

#include "AtomicFile.h"
#include "DatabaseBackup.h"
#include "Error.h"
#include "FieldCodec.h"
#include "StringRecordLayout.h"
#include "clsSonarchive.h"

#include <cstring>
#include <fstream>
#include <system_error>

namespace sonarchive {

namespace fs = std::filesystem;

namespace {

// The bytes a chunk header starts from: those it was read from, cut or padded
// with zeros to its size; zeros for chunks the library made.
void writeBase(ImageBuffer& image, std::int64_t pos, const RawBytes& read, std::int32_t size)
{
    if (size <= 0)
        return;
    const std::string_view bytes = read.view().substr(0, static_cast<std::size_t>(size));
    char* out = image.at(pos, static_cast<std::size_t>(size));
    if (!bytes.empty())
        std::memcpy(out, bytes.data(), bytes.size());
    std::memset(out + bytes.size(), 0, static_cast<std::size_t>(size) - bytes.size());
}

// The text as UTF-16LE, at most `limit` bytes of it (all when limit < 0).
void writeUtf16le(ImageBuffer& image, std::int64_t pos, const std::u16string& text, std::int64_t limit)
{
    std::size_t bytes = text.size() * 2;
    if (limit >= 0 && static_cast<std::int64_t>(bytes) > limit)
        bytes = static_cast<std::size_t>(limit);
    if (bytes == 0)
        return;
    char* out = image.at(pos, bytes);
    for (std::size_t i = 0; i < bytes; ++i)
        out[i] = static_cast<char>(i % 2 ? text[i / 2] >> 8 : text[i / 2] & 0xFF);
}

// A string record: from its fields and text when it has the standard layout (or
// was made here); otherwise exactly the bytes it was read from.
void writeStringRecord(ImageBuffer& image, std::int64_t pos, const MHOD_S& record)
{
    if (!hasStandardLayout(record) && !record.sAllMHOD.empty()) {
        // Its own bytes: the fields' encoding would say the same where they lie
        // inside the record, and a record shorter than its fields owns no more.
        writeFields(image, pos, record, kMHOD_SFields, record.iTotalSize);
        image.write(pos, record.sAllMHOD.view());
        return;
    }
    writeFields(image, pos, record, kMHOD_SFields, record.iTotalSize);
    writeUtf16le(image, pos + 40, record.sString, record.iTotalSize >= 40 ? record.iTotalSize - 40 : -1);
}

void writeSectionHeader(ImageBuffer& image, std::int64_t pos, const SectionHead& section)
{
    writeBase(image, pos, section.sHeaderData, section.iHeaderSize);
    image.write(pos, "mhsd");
    image.write(pos + 4, LongToBytes(section.iHeaderSize));
    image.write(pos + 8, LongToBytes(section.iTotalSize));
    image.write(pos + 12, LongToBytes(section.iType));
}

void writeListHeader(ImageBuffer& image, std::int64_t pos, const std::u16string& id, std::int32_t headerSize,
                     std::int32_t count, const RawBytes& read)
{
    writeBase(image, pos, read, headerSize);
    std::string magic;
    for (char16_t c : id.substr(0, 4))
        magic.push_back(static_cast<char>(c & 0xFF));
    magic.resize(4, '\0');
    image.write(pos, magic);
    image.write(pos + 4, LongToBytes(headerSize));
    image.write(pos + 8, LongToBytes(count));
}

std::u16string errorText(const std::string& text)
{
    return fromUtf8(text);
}

// A section writer that failed: its message names the section.
class SectionWriteError : public Error {
public:
    SectionWriteError(const std::u16string& section, const Failure& cause)
        : Error(cause.code == FailureCode::None ? FailureCode::Other : cause.code, cause.message, cause.number), m_section(section)
    {
    }
    const std::u16string& section() const { return m_section; }

private:
    std::u16string m_section;
};


}  // namespace

void clsSonarchive::WriteMHBD(ImageBuffer& image)
{
    image.write(0, m_MHBD.sHeaderData.view());
    iFilePos = m_MHBD.iHeaderSize + 1;
}

void clsSonarchive::WriteMHSD_T(ImageBuffer& image)
{
    // Records not decoded yet are written straight from the file, one at a time.
    const MHSD_T& section = m_index ? m_index->tracksHead : m_MHSD_T;
    const std::int64_t start = iFilePos - 1;
    writeSectionHeader(image, start, section);

    const MHLT& list = section.m_mhlt;
    const std::int64_t listStart = start + section.iHeaderSize;
    writeListHeader(image, listStart, list.sID, list.iHeaderSize, list.iNumberOfllTracks - iDeletedTracks, list.sAllHeader);
    std::int32_t written = 0;

    std::int64_t pos = listStart + list.iHeaderSize;
    const auto writeTrack = [&](const MHIT& track) {
        if (track.iUniqueID == -1)
            return;
        writeBase(image, pos, track.sAllData, track.iHeaderSize);
        writeFields(image, pos, track, kMHITFields, track.iHeaderSize);
        std::int64_t recordPos = pos + track.iHeaderSize;
        for (const MHOD_S& record : validEntries(track.m_mhod, track.iNumberOfMHODS)) {
            writeStringRecord(image, recordPos, record);
            recordPos += record.iTotalSize;
        }
        pos = recordPos;
        iFilePos = static_cast<std::int32_t>(pos + 1);
        ++written;
    };
    if (m_index) {
        for (const std::int64_t offset : m_index->tracks) {
            decodeTrackAt(offset, m_scratchTrack);
            writeTrack(m_scratchTrack);
        }
    } else {
        for (const MHIT& track : validEntries(list.m_mhit, list.iNumberOfllTracks))
            writeTrack(track);
    }
    // The count of the tracks really written: the same as the stored count less
    // the deletions, unless the file itself held tracks with the deletion mark.
    if (list.iHeaderSize >= 12)
        image.write(listStart + 8, LongToBytes(written));
    iFilePos = static_cast<std::int32_t>(pos + 1);
}

void clsSonarchive::WriteMHSD_P(ImageBuffer& image, const MHSD_P& section, const std::vector<std::int64_t>* offsets)
{
    const std::int64_t start = iFilePos - 1;
    writeSectionHeader(image, start, section);

    const MHLP& list = section.m_mhlp;
    const std::int64_t listStart = start + section.iHeaderSize;
    writeListHeader(image, listStart, list.sID, list.iHeaderSize, list.iNumberOfPlaylists, list.sHeaderData);

    std::int64_t pos = listStart + list.iHeaderSize;
    MHYP header;  // only the fixed fields are written from it
    const auto writePlaylist = [&](const MHYP& playlist) {
        writeBase(image, pos, playlist.sAllData, playlist.iHeaderSize);
        forEachField(kMHYPFields, [&](const auto& field) { header.*(field.member) = playlist.*(field.member); });
        header.iPlaylistItemsCount = playlist.iPlaylistItemsCount - playlist.iMHYPs2Delete;
        writeFields(image, pos, header, kMHYPFields, playlist.iHeaderSize);

        std::int64_t recordPos = pos + playlist.iHeaderSize;
        for (std::int32_t c = 0; c < playlist.iChildsCount; ++c) {
            if (c == 0) {
                writeStringRecord(image, recordPos, playlist.m_mhod_s);
                recordPos += playlist.m_mhod_s.iTotalSize;
                continue;
            }
            const MHOD_PCD& record = playlist.m_mhod_pcd.at(static_cast<std::size_t>(c - 1));
            // The head the reader decodes, as far as the record reaches, then the record as read over it.
            const std::string head = textToBytes(record.sID).substr(0, 4) + std::string(4 - std::min<std::size_t>(record.sID.size(), 4), '\0') +
                                     LongToBytes(record.iHeaderSize) + LongToBytes(record.iTotalSize) + LongToBytes(record.iType);
            image.write(recordPos, std::string_view(head).substr(0, static_cast<std::size_t>(std::max(record.iTotalSize, 0))));
            image.write(recordPos, record.sAllMHOD.view());
            recordPos += record.iTotalSize;
        }

        const std::size_t items = validEntries(playlist.m_mhip, std::min<std::int64_t>(playlist.iPlaylistItemsCount, playlist.m_mhod_poe.size())).size();
        std::int32_t itemsWritten = 0;
        for (std::size_t j = 0; j < items; ++j) {
            const MHIP& item = playlist.m_mhip[j];
            if (item.iTrackID == -1)
                continue;
            ++itemsWritten;
            writeBase(image, recordPos, item.sHeaderData, item.iHeaderSize);
            writeFields(image, recordPos, item, kMHIPFields, item.iHeaderSize);
            recordPos += item.iHeaderSize;
            // Its data records: none for items of early devices, the first from
            // its fields, any further ones as they were read.
            if (item.iChildCount > 0) {
                const MHOD_POE& data = playlist.m_mhod_poe[j];
                writeBase(image, recordPos, data.sAllMHOD, data.iTotalSize);
                writeFields(image, recordPos, data, kMHOD_POEFields, data.iTotalSize);
                recordPos += data.iTotalSize;
                image.write(recordPos, item.sMoreRecords.view());
                recordPos += static_cast<std::int64_t>(item.sMoreRecords.size());
            }
        }
        if (playlist.iHeaderSize >= 20)  // as for tracks: the items really written
            image.write(pos + 16, LongToBytes(itemsWritten));
        pos = recordPos;
        iFilePos = static_cast<std::int32_t>(pos + 1);
    };
    if (offsets) {
        for (const std::int64_t offset : *offsets) {
            decodePlaylistAt(offset, m_scratchPlaylist);
            writePlaylist(m_scratchPlaylist);
        }
    } else {
        for (const MHYP& playlist : validEntries(list.m_mhyp, list.iNumberOfPlaylists))
            writePlaylist(playlist);
    }
    iFilePos = static_cast<std::int32_t>(pos + 1);
}

std::string clsSonarchive::assembleDatabase()
{
    ImageBuffer image;
    assembleInto(image);
    return std::string(image.view());
}

void clsSonarchive::assembleInto(ImageBuffer& image)
{
    image.reserve(static_cast<std::size_t>(std::max(m_MHBD.iTotalSize, 0)) + 4096);
    WriteMHBD(image);
    std::int32_t sections = 0;

    // Sections held whole (album lists, new playlists, kinds the library does
    // not know) go back as they were read.
    const auto writeWhole = [&](const RawBytes& bytes, std::int64_t totalSize) {
        image.write(iFilePos - 1, bytes.view());
        image.write(iFilePos - 1, "mhsd");  // what the reader took it for, whatever the file said
        iFilePos += static_cast<std::int32_t>(totalSize);
    };
    const auto writeSlot = [&](SectionPlace place) {
        const auto decoded = [&](const char16_t* name, const auto& write) {
            try {
                fileFaultPoint(toUtf8(name).c_str());
                write();
            } catch (const std::exception& e) {
                throw SectionWriteError(name, failureOf(e));
            }
        };
        switch (place.slot) {
        case SectionSlot::Tracks:
            if ((m_index ? m_index->tracksHead : m_MHSD_T).sID.empty())
                return false;
            decoded(u"MHSD_T", [&] { WriteMHSD_T(image); });
            return true;
        case SectionSlot::Podcasts:
            if ((m_index ? m_index->podcastsHead : m_podcasts).sID.empty())
                return false;
            decoded(u"MHSD_P", [&] {
                WriteMHSD_P(image, m_index ? m_index->podcastsHead : m_podcasts, m_index ? &m_index->podcasts : nullptr);
            });
            return true;
        case SectionSlot::Playlists:
            if ((m_index ? m_index->playlistsHead : m_playlists).sID.empty())
                return false;
            decoded(u"MHSD_P", [&] {
                WriteMHSD_P(image, m_index ? m_index->playlistsHead : m_playlists, m_index ? &m_index->playlists : nullptr);
            });
            return true;
        case SectionSlot::AlbumLists:
            if (m_MHSD_A.sAllData.empty())
                return false;
            writeWhole(m_MHSD_A.sAllData, m_MHSD_A.iTotalSize);
            return true;
        case SectionSlot::NewPlaylists:
            if (m_MHSD_NP.sAllData.empty())
                return false;
            writeWhole(m_MHSD_NP.sAllData, m_MHSD_NP.iTotalSize);
            return true;
        case SectionSlot::Other:
            if (place.otherIndex >= m_otherSections.size())
                return false;
            writeWhole(m_otherSections[place.otherIndex], static_cast<std::int64_t>(m_otherSections[place.otherIndex].size()));
            return true;
        }
        return false;
    };

    // In the order the file held them; a slot read twice holds the last one read
    // and goes where the first stood. Sections the file did not have follow in
    // the library's own order: tracks, podcasts, playlists, album lists, new playlists.
    std::vector<SectionPlace> order = m_sectionOrder;
    for (SectionSlot slot : {SectionSlot::Tracks, SectionSlot::Podcasts, SectionSlot::Playlists, SectionSlot::AlbumLists,
                             SectionSlot::NewPlaylists})
        order.push_back({slot});
    for (std::size_t i = 0; i < m_otherSections.size(); ++i)
        order.push_back({SectionSlot::Other, i});
    std::vector<SectionPlace> done;
    for (const SectionPlace& place : order) {
        const bool already = std::any_of(done.begin(), done.end(), [&](const SectionPlace& d) {
            return d.slot == place.slot && (place.slot != SectionSlot::Other || d.otherIndex == place.otherIndex);
        });
        if (already)
            continue;
        done.push_back(place);
        if (writeSlot(place))
            ++sections;
    }

    // Other readers reject a file whose section count disagrees with its sections.
    image.write(20, LongToBytes(sections));
    image.write(8, LongToBytes(static_cast<std::int32_t>(image.size())));
}

int signatureSchemeOf(std::string_view header)
{
    if (header.size() < 50)
        return 0;
    return static_cast<std::uint8_t>(header[48]) | static_cast<std::uint8_t>(header[49]) << 8;
}

int clsSonarchive::signatureScheme() const
{
    return m_databaseLoaded ? signatureSchemeOf(m_MHBD.sHeaderData.view()) : 0;
}

void clsSonarchive::writeOrFail()
{
    const fs::path path = databasePath();
    std::error_code ec;
    if (!fs::is_regular_file(path, ec))
        throw Error(FailureCode::NotFound, "there is no database file to replace at " + path.string(), ENOENT);
    if (!m_databaseLoaded || m_MHBD.sHeaderData.empty())
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
    try {
        writeOrFail();
        return true;
    } catch (const SectionWriteError& e) {
        // The section's own message; the whole write is abandoned, so the old file stays.
        m_lastFailure = e.failure();
        message(u"Error Occured while writing Database[" + e.section() + u"].\r\n" +
                    errorText(std::to_string(e.number() ? e.number() : EIO) + ":" + e.what()),
                {}, MessageButtons::OK, MessageIcon::None);
    } catch (const std::exception& e) {
        m_lastFailure = failureOf(e);
        if (m_lastFailure.code == FailureCode::Signed) {
            message(u"This iPod's database is signed by the iPod's own software. The changed database would need a new "
                    u"signature, which cannot be made here, and without it the iPod would show no music.\r\n"
                    u"Nothing was written.",
                    {}, MessageButtons::OK, MessageIcon::Critical);
        } else {
            message(u"Error occured while writting iPod DB.\r\nErr Number:" +
                        errorText(std::to_string(m_lastFailure.number ? m_lastFailure.number : EIO)) + u"," +
                        errorText(m_lastFailure.message),
                    {}, MessageButtons::OK, MessageIcon::Critical);
        }
    }
    return false;
}

void clsSonarchive::WriteiPodDB()
{
    writeDatabase();
}

bool clsSonarchive::Write_FileSize(const std::u16string& sFilePath)
{
    const fs::path path = toUtf8(sFilePath);
    const auto length = fs::file_size(path);  // throws filesystem_error when the file is missing
    std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
    if (!file)
        throw std::system_error(errno, std::generic_category(), "cannot open " + path.string());
    const std::string bytes = LongToBytes(static_cast<std::int32_t>(length));
    file.seekp(8);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!file)
        throw std::system_error(errno ? errno : EIO, std::generic_category(), "cannot write " + path.string());
    return false;
}

}  // namespace sonarchive
