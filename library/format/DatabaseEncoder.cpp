// Encoding records into the database file: each chunk at the place the one
// before it ends, its fixed fields from the field tables, the bytes no field
// covers from what the chunk was read from.

#include "ByteConverters.h"
#include "DatabaseCodec.h"
#include "Error.h"
#include "FieldCodec.h"

#include <sonarchive/ByteText.h>
#include <sonarchive/ValidEntries.h>

#include <cstring>
#include <limits>

namespace sonarchive {

namespace {

constexpr std::int32_t kStringHeaderSize = 24;
constexpr std::int32_t kStringFieldsSize = fixedSize(kMHOD_SFields);

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

// A string record: from its fields and text when it has the usual layout (or was
// made here); otherwise exactly the bytes it was read from, over its fields (they
// say the same where they lie inside the record, and a record shorter than its
// fields owns no more).
void writeStringRecord(ImageBuffer& image, std::int64_t pos, const MHOD_S& record)
{
    writeFields<kMHOD_SFields>(image, pos, record, record.iTotalSize);
    if (!hasStandardLayout(record) && !record.sAllMHOD.empty()) {
        image.write(pos, record.sAllMHOD.view());
        return;
    }
    writeUtf16le(image, pos + kStringFieldsSize, record.sString,
                 record.iTotalSize >= kStringFieldsSize ? record.iTotalSize - kStringFieldsSize : -1);
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

// A track record and its string records; returns where the next track starts.
std::int64_t writeTrack(ImageBuffer& image, std::int64_t pos, const MHIT& track)
{
    writeBase(image, pos, track.sAllData, track.iHeaderSize);
    writeFields<kMHITFields>(image, pos, track, track.iHeaderSize);
    pos += track.iHeaderSize;
    for (const MHOD_S& record : validEntries(track.m_mhod, track.iNumberOfMHODS)) {
        writeStringRecord(image, pos, record);
        pos += record.iTotalSize;
    }
    return pos;
}

// A data record after the title, held whole: the head the reader decodes, as
// far as the record reaches, then the record as read over it.
std::int64_t writePlaylistRecord(ImageBuffer& image, std::int64_t pos, const MHOD_PCD& record)
{
    const std::string head = textToBytes(record.sID).substr(0, 4) + std::string(4 - std::min<std::size_t>(record.sID.size(), 4), '\0') +
                             LongToBytes(record.iHeaderSize) + LongToBytes(record.iTotalSize) + LongToBytes(record.iType);
    image.write(pos, std::string_view(head).substr(0, static_cast<std::size_t>(std::max(record.iTotalSize, 0))));
    image.write(pos, record.sAllMHOD.view());
    return pos + record.iTotalSize;
}

// An item and its data records: none for items of early devices, the first
// from its fields, any further ones as they were read.
std::int64_t writeItem(ImageBuffer& image, std::int64_t pos, const MHIP& item, const MHOD_POE& data)
{
    writeBase(image, pos, item.sHeaderData, item.iHeaderSize);
    writeFields<kMHIPFields>(image, pos, item, item.iHeaderSize);
    pos += item.iHeaderSize;
    if (item.iChildCount <= 0)
        return pos;
    writeBase(image, pos, data.sAllMHOD, data.iTotalSize);
    writeFields<kMHOD_POEFields>(image, pos, data, data.iTotalSize);
    pos += data.iTotalSize;
    image.write(pos, item.sMoreRecords.view());
    return pos + static_cast<std::int64_t>(item.sMoreRecords.size());
}

// A playlist with its title, data records and the items not marked deleted.
std::int64_t writePlaylist(ImageBuffer& image, std::int64_t pos, const MHYP& playlist)
{
    PlaylistEncoder encoder(image, pos, playlist);
    // Items and their records pair up: as many as both lists hold.
    const std::size_t items =
        validEntries(playlist.m_mhip, std::min<std::int64_t>(playlist.iPlaylistItemsCount, playlist.m_mhod_poe.size())).size();
    for (std::size_t j = 0; j < items; ++j)
        encoder.item(playlist.m_mhip[j], playlist.m_mhod_poe[j]);
    return encoder.finish();
}

}  // namespace

std::int64_t encodeTrackSection(ImageBuffer& image, std::int64_t at, const MHSD_T& section, const EachTrack& eachTrack)
{
    writeSectionHeader(image, at, section);
    const MHLT& list = section.m_mhlt;
    const std::int64_t listStart = at + section.iHeaderSize;
    writeListHeader(image, listStart, list.sID, list.iHeaderSize, list.iNumberOfllTracks, list.sAllHeader);
    std::int64_t pos = listStart + list.iHeaderSize;
    std::int32_t written = 0;
    eachTrack([&](const MHIT& track) {
        if (track.iUniqueID == -1)
            return;
        pos = writeTrack(image, pos, track);
        ++written;
    });
    // The count of the tracks really written: the same as the stored count less
    // the deletions, unless the file itself held tracks with the deletion mark.
    if (list.iHeaderSize >= 12)
        image.write(listStart + 8, LongToBytes(written));
    return pos;
}

PlaylistEncoder::PlaylistEncoder(ImageBuffer& image, std::int64_t at, const MHYP& playlist)
    : m_image(image), m_start(at), m_pos(at + playlist.iHeaderSize), m_headerSize(playlist.iHeaderSize)
{
    writeBase(image, at, playlist.sAllData, playlist.iHeaderSize);
    writeFields<kMHYPFields>(image, at, playlist, playlist.iHeaderSize);
    for (std::int32_t c = 0; c < playlist.iChildsCount; ++c) {
        if (c == 0) {
            writeStringRecord(image, m_pos, playlist.m_mhod_s);
            m_pos += playlist.m_mhod_s.iTotalSize;
        } else {
            m_pos = writePlaylistRecord(image, m_pos, playlist.m_mhod_pcd.at(static_cast<std::size_t>(c - 1)));
        }
    }
}

void PlaylistEncoder::item(const MHIP& item, const MHOD_POE& record)
{
    if (item.iTrackID == -1)
        return;
    m_pos = writeItem(m_image, m_pos, item, record);
    ++m_written;
}

std::int64_t PlaylistEncoder::finish()
{
    // The items really written: the count read less the deletion marks, unless
    // the file itself held items with the mark.
    if (m_headerSize >= 20)
        m_image.write(m_start + 16, LongToBytes(m_written));
    return m_pos;
}

std::int64_t encodePlaylistSectionHead(ImageBuffer& image, std::int64_t at, const MHSD_P& section)
{
    writeSectionHeader(image, at, section);
    const MHLP& list = section.m_mhlp;
    const std::int64_t listStart = at + section.iHeaderSize;
    writeListHeader(image, listStart, list.sID, list.iHeaderSize, list.iNumberOfPlaylists, list.sHeaderData);
    return listStart + list.iHeaderSize;
}

std::int64_t encodePlaylistSection(ImageBuffer& image, std::int64_t at, const MHSD_P& section, const EachPlaylist& eachPlaylist)
{
    std::int64_t pos = encodePlaylistSectionHead(image, at, section);
    eachPlaylist([&](const MHYP& playlist) { pos = writePlaylist(image, pos, playlist); });
    return pos;
}

std::int64_t encodeWholeSection(ImageBuffer& image, std::int64_t at, const RawBytes& bytes, std::int64_t totalSize)
{
    image.write(at, bytes.view());
    image.write(at, "mhsd");  // what the reader took it for, whatever the file said
    return at + totalSize;
}

std::int64_t encodeDatabaseHeader(ImageBuffer& image, const MHBD& header)
{
    image.write(0, header.sHeaderData.view());
    return header.iHeaderSize;
}

void fillHeaderBytes(MHBD& header)
{
    ImageBuffer bytes;
    writeFields<kMHBDFields>(bytes, 0, header);
    bytes.at(0, static_cast<std::size_t>(std::max(header.iHeaderSize, 0)));
    header.sHeaderData = RawBytes(bytes.view().substr(0, static_cast<std::size_t>(std::max(header.iHeaderSize, 0))));
}

void finishDatabaseHeader(ImageBuffer& image, std::int32_t sections)
{
    // Other readers reject a file whose section count disagrees with its sections.
    image.write(20, LongToBytes(sections));
    image.write(8, LongToBytes(static_cast<std::int32_t>(image.size())));
}

MHOD_S makeStringRecord(std::int32_t type, std::u16string text)
{
    MHOD_S record;
    record.iType = type;
    record.sString = std::move(text);
    fitStringRecord(record);
    return record;
}

void fitStringRecord(MHOD_S& record)
{
    record.sID = u"mhod";
    record.iHeaderSize = kStringHeaderSize;
    record.iPosition = 1;
    record.iUnk3 = 1;
    record.iLength = static_cast<std::int32_t>(record.sString.size() * 2);
    record.iTotalSize = record.iLength + kStringFieldsSize;
}

bool hasStandardLayout(const MHOD_S& record)
{
    return record.iHeaderSize == kStringHeaderSize &&
           static_cast<std::int64_t>(record.iTotalSize) == kStringFieldsSize + static_cast<std::int64_t>(record.iLength);
}

std::int32_t trackRecordSize(const MHIT& track)
{
    std::int64_t total = track.iHeaderSize;
    for (const MHOD_S& record : validEntries(track.m_mhod, track.iNumberOfMHODS))
        total += record.iTotalSize;
    if (total > std::numeric_limits<std::int32_t>::max())
        throw Error(FailureCode::TooLarge, "Overflow: the track record is too large");
    return static_cast<std::int32_t>(total);
}

}  // namespace sonarchive
