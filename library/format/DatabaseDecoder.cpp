// Decoding the database file: one walk over its chunks by their declared sizes,
// every size and count checked once. A walk either decodes each chunk into its
// record or, given no record, only checks it: the index of a load and the full
// decode find exactly the same damage, with the same words.

#include "ByteReader.h"
#include "DatabaseCodec.h"
#include "FieldCodec.h"

namespace sonarchive {

namespace {

using File = std::shared_ptr<const ByteBuffer>;

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
std::size_t withRoomToAdd(std::size_t count) { return count + count / 16 + 16; }

// Resizes a list to a count read from the file: entries beyond it are dropped,
// earlier ones are reused (their strings keep their room); a count of zero
// leaves the list as it was.
template <typename T>
void fitList(std::vector<T>& list, std::int32_t count)
{
    if (count > 0 && list.size() > static_cast<std::size_t>(count))
        list.resize(static_cast<std::size_t>(count));
}

template <typename T>
T* entry(std::vector<T>* list, std::size_t index)
{
    if (!list)
        return nullptr;
    if (list->size() <= index)
        list->resize(index + 1);
    return &(*list)[index];
}

RawBytes slice(const File& file, std::int64_t start, std::int64_t size)
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

// A 32-bit field of a chunk's own bytes; a field the chunk ends inside keeps
// the bytes it has, one past the end reads 0.
std::int32_t fieldAt(const ByteReader& r, std::int64_t start, std::int64_t taken, std::int64_t offset)
{
    if (taken >= offset + 4)  // the usual case: the whole field is the chunk's
        return r.i32At(start + offset);
    const std::string_view own = r.clipped(start + offset, taken - offset);
    std::uint32_t value = 0;
    for (std::size_t i = std::min<std::size_t>(own.size(), 4); i-- > 0;)
        value = value << 8 | static_cast<std::uint8_t>(own[i]);
    return static_cast<std::int32_t>(value);
}

// What the walk itself needs of a chunk's fixed fields: the 32-bit fields at 8,
// 12 and 16 (sizes, counts, the identifier).
struct Head {
    std::int32_t at8 = 0, at12 = 0, at16 = 0;
};

// The fixed fields of the chunk at the reader's position, of which it owns
// `ownBytes`: decoded into `record` when one is given, otherwise only checked
// to lie in the file. Leaves the reader after them.
template <const auto& Fields, typename Record>
Head fixedFields(ByteReader& r, Record* record, std::int64_t ownBytes, const char* chunk)
{
    const std::int64_t start = r.pos();
    const std::int64_t taken = requireOwnBytes(r, ownBytes, fixedSize(Fields), chunk);
    if (record)
        readOwnFields<Fields>(r, *record, ownBytes, chunk);
    else
        r.seek(start + taken);
    return {fieldAt(r, start, taken, 8), fieldAt(r, start, taken, 12), fieldAt(r, start, taken, 16)};
}

// A string record: ten 32-bit fields and its UTF-16 text.
void walkStringRecord(ByteReader& r, const File& file, MHOD_S* record)
{
    const std::int64_t start = r.pos();
    const std::int32_t total = recordSizeHere(r, "a string record", "string record size");
    const std::int64_t taken = requireOwnBytes(r, total, fixedSize(kMHOD_SFields), "string record");
    const std::int32_t length = checkedSize(start, fieldAt(r, start, taken, 28), 0, "string record text length");
    if (record) {
        readOwnFields<kMHOD_SFields>(r, *record, total, "string record");
        r.utf16leClipped(start + 40, length, record->sString);
        // Records of other layouts keep their bytes so a rewrite reproduces them;
        // the usual ones are written again from their fields.
        record->sAllMHOD = hasStandardLayout(*record) ? RawBytes() : slice(file, start, total);
    }
    r.seek(start + taken);  // where a failure to reach the next record is reported
    r.seek(start + total);
}

// One track record and its string records; returns its identifier.
std::int32_t walkTrack(ByteReader& r, const File& file, MHIT* track)
{
    const std::int64_t start = r.pos();
    const std::int32_t headerSize = headerSizeHere(r, "a track record", "track header size");
    const Head head = fixedFields<kMHITFields>(r, track, headerSize, "track record");
    checkedSize(start, head.at8, 0, "track record size");
    const std::int32_t strings = checkedCount(r, start, head.at12, "track string record count");
    r.seek(start + headerSize);
    std::vector<MHOD_S>* records = track ? &track->m_mhod : nullptr;
    if (track) {
        track->sAllData = slice(file, start, head.at8);
        fitList(*records, strings);
        records->reserve(plausibleCount(r, strings, 40));
    }
    for (std::int32_t j = 0; j < strings; ++j)
        walkStringRecord(r, file, entry(records, static_cast<std::size_t>(j)));
    return head.at16;
}

// A data record of a playlist after its title, held whole; its head is decoded.
void walkPlaylistRecord(ByteReader& r, const File& file, MHOD_PCD* record)
{
    const std::int64_t start = r.pos();
    const std::int32_t total = recordSizeHere(r, "a playlist record", "playlist record size");
    if (record) {
        record->sID = r.magic();
        record->iHeaderSize = r.i32le();
        record->iTotalSize = r.i32le();
        record->iType = 0;
        record->sAllMHOD = slice(file, start, total);
    }
    r.seek(start + 12);
    if (total >= 16) {  // a fourth field when the record has room for it
        const std::int32_t type = r.i32le();
        if (record)
            record->iType = type;
    }
    r.seek(start + total);
}

// A playlist item and as many data records as it says (none included): the
// first is decoded, any further ones are held whole. The next item follows the last.
void walkPlaylistItem(ByteReader& r, const File& file, MHIP* item, MHOD_POE* record)
{
    const std::int64_t start = r.pos();
    const std::int32_t headerSize = headerSizeHere(r, "a playlist item", "item header size");
    const std::int32_t children = checkedCount(r, start, fixedFields<kMHIPFields>(r, item, headerSize, "playlist item").at12,
                                               "item record count");
    r.seek(start + headerSize);
    if (item) {
        item->sHeaderData = slice(file, start, headerSize);
        item->sMoreRecords = RawBytes();
        *record = MHOD_POE();
    }
    std::int64_t moreStart = -1;
    for (std::int32_t c = 0; c < children; ++c) {
        const std::int64_t recordStart = r.pos();
        const std::int32_t total = recordSizeHere(r, "an item record", "item record size");
        if (c == 0) {
            fixedFields<kMHOD_POEFields>(r, record, total, "item record");
            if (record)
                record->sAllMHOD = slice(file, recordStart, total);
        } else if (moreStart < 0) {
            moreStart = recordStart;
        }
        r.seek(recordStart + total);
    }
    if (item && moreStart >= 0)
        item->sMoreRecords = slice(file, moreStart, r.pos() - moreStart);
}

// One playlist with its data records and items. The first data record is the
// title, decoded as a string record whatever its kind. With `eachItem` the items
// are not kept in the playlist but handed over one at a time, once its header
// and data records are decoded.
void walkPlaylist(ByteReader& r, const File& file, MHYP* pl, const PlaylistItemVisitor* eachItem = nullptr)
{
    const std::int64_t start = r.pos();
    const std::int32_t headerSize = headerSizeHere(r, "a playlist", "playlist header size");
    const Head head = fixedFields<kMHYPFields>(r, pl, headerSize, "playlist");
    checkedSize(start, head.at8, 0, "playlist size");
    const std::int32_t children = checkedCount(r, start, head.at12, "playlist record count");
    const std::int32_t items = checkedCount(r, start, head.at16, "playlist item count");
    r.seek(start + headerSize);
    const bool keepItems = pl && !eachItem;
    if (pl) {
        pl->sAllData = slice(file, start, head.at8);
        fitList(pl->m_mhod_pcd, children - 1);
        if (!keepItems) {
            pl->m_mhip = {};
            pl->m_mhod_poe = {};
        } else {
            fitList(pl->m_mhip, items);
            fitList(pl->m_mhod_poe, items);
            pl->m_mhip.reserve(withRoomToAdd(plausibleCount(r, items, 24)));
            pl->m_mhod_poe.reserve(withRoomToAdd(plausibleCount(r, items, 24)));
        }
    }
    for (std::int32_t c = 0; c < children; ++c) {
        if (c == 0)
            walkStringRecord(r, file, pl ? &pl->m_mhod_s : nullptr);
        else
            walkPlaylistRecord(r, file, entry(pl ? &pl->m_mhod_pcd : nullptr, static_cast<std::size_t>(c - 1)));
    }
    MHIP item;
    MHOD_POE record;
    for (std::int32_t k = 0; k < items; ++k) {
        const auto at = static_cast<std::size_t>(k);
        if (eachItem) {
            walkPlaylistItem(r, file, &item, &record);
            (*eachItem)(item, record);
        } else {
            walkPlaylistItem(r, file, entry(keepItems ? &pl->m_mhip : nullptr, at), entry(keepItems ? &pl->m_mhod_poe : nullptr, at));
        }
    }
}

// The 16-byte section header shared by every section kind.
void readSectionHeader(ByteReader& r, const File& file, SectionHead& s)
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
template <typename List>
std::int32_t readListHeader(ByteReader& r, const File& file, List& list, std::int32_t& count, RawBytes& raw, const char* what)
{
    const std::int64_t start = r.pos();
    list.sID = r.magic();
    list.iHeaderSize = checkedSize(start, r.i32le(), kSmallestChunk, (std::string(what) + " header size").c_str());
    count = checkedCount(r, start, r.i32le(), (std::string(what) + " entry count").c_str());
    raw = slice(file, start, list.iHeaderSize);
    r.seek(start + list.iHeaderSize);
    return count;
}

// With an index, each track is checked as a full decode would check it, and only located.
void walkTrackSection(ByteReader& r, const File& file, MHSD_T& section, DatabaseIndex* index)
{
    readSectionHeader(r, file, section);
    MHLT& list = section.m_mhlt;
    const std::int32_t count = readListHeader(r, file, list, list.iNumberOfllTracks, list.sAllHeader, "track list");
    if (!index) {
        fitList(list.m_mhit, count);
        list.m_mhit.reserve(withRoomToAdd(plausibleCount(r, count, 64)));
        for (std::int32_t i = 0; i < count; ++i)
            walkTrack(r, file, entry(&list.m_mhit, static_cast<std::size_t>(i)));
        return;
    }
    // A second track section replaces the first, as it does in the records.
    list.m_mhit.clear();
    index->tracks.clear();
    index->ids.clear();
    index->firstOfId.clear();
    index->tracks.reserve(plausibleCount(r, count, 64));
    index->ids.reserve(index->tracks.capacity());
    index->firstOfId.reserve(index->tracks.capacity());
    for (std::int32_t i = 0; i < count; ++i) {
        index->tracks.push_back(r.pos());
        const std::int32_t id = walkTrack(r, file, nullptr);
        index->ids.push_back(id);
        index->firstOfId.try_emplace(id, static_cast<std::size_t>(i));
    }
}

void walkPlaylistSection(ByteReader& r, const File& file, MHSD_P& section, std::vector<std::int64_t>* offsets)
{
    readSectionHeader(r, file, section);
    MHLP& list = section.m_mhlp;
    const std::int32_t count = readListHeader(r, file, list, list.iNumberOfPlaylists, list.sHeaderData, "playlist list");
    if (offsets) {
        list.m_mhyp.clear();
        offsets->clear();  // a second section of the kind replaces the first, as in the records
    } else
        fitList(list.m_mhyp, count);
    for (std::int32_t p = 0; p < count; ++p) {
        if (offsets)
            offsets->push_back(r.pos());
        walkPlaylist(r, file, entry(offsets ? nullptr : &list.m_mhyp, static_cast<std::size_t>(p)));
    }
}

// Sections held whole: album lists, new playlists, and kinds the library does
// not know (written by newer software), kept so the sections after them are still read.
void keepWholeSection(ByteReader& r, const File& file, DatabaseRecords& db, std::int32_t type)
{
    const std::int64_t start = r.pos();
    const std::int32_t total = checkedSize(start, r.i32At(start + 8, "a section header"), kSectionHead, "section size");
    const auto fill = [&](SectionHead& section) {
        section.iTotalSize = total;
        section.sID = u"mhsd";
        section.iType = type;
        section.sAllData = slice(file, start, total);
    };
    if (type == 4) {
        fill(db.albumLists);
        db.sectionOrder.push_back({SectionSlot::AlbumLists});
    } else if (type == 5) {
        fill(db.newPlaylists);
        db.sectionOrder.push_back({SectionSlot::NewPlaylists});
    } else {
        db.sectionOrder.push_back({SectionSlot::Other, db.otherSections.size()});
        db.otherSections.push_back(slice(file, start, total));
    }
    r.seek(start + total);
}

void walkDatabase(const File& file, DatabaseRecords& db, DatabaseIndex* index)
{
    ByteReader r(file->view());
    MHBD& h = db.header;
    const std::int32_t headerSize = headerSizeHere(r, "the database header", "database header size");
    readOwnFields<kMHBDFields>(r, h, headerSize, "database header");
    checkedSize(0, h.iTotalSize, 0, "database size");
    r.seek(h.iHeaderSize);
    checkedCount(r, 0, h.iNumberOfMHSD, "section count");
    h.sHeaderData = slice(file, 0, h.iHeaderSize);
    h.sAllData = slice(file, 0, h.iTotalSize);
    if (r.clipped(r.pos(), 4) != "mhsd")
        r.fail("no section (\"mhsd\") where the database header ends");

    // Slots of sections this file does not have stay empty, whatever a file read before held.
    for (SectionHead* slot : {static_cast<SectionHead*>(&db.tracks), static_cast<SectionHead*>(&db.playlists),
                              static_cast<SectionHead*>(&db.podcasts)})
        slot->sID.clear();
    db.albumLists = MHSD_A();
    db.newPlaylists = MHSD_NP();
    db.otherSections.clear();
    db.sectionOrder.clear();
    for (std::int32_t s = 0; s < h.iNumberOfMHSD; ++s) {
        const std::int32_t type = r.i32At(r.pos() + 12, "a section header");
        if (type == 1) {
            walkTrackSection(r, file, db.tracks, index);
            db.sectionOrder.push_back({SectionSlot::Tracks});
        } else if (type == 2 || type == 3) {
            walkPlaylistSection(r, file, type == 2 ? db.playlists : db.podcasts,
                                index ? (type == 2 ? &index->playlists : &index->podcasts) : nullptr);
            db.sectionOrder.push_back({type == 2 ? SectionSlot::Playlists : SectionSlot::Podcasts});
        } else {
            keepWholeSection(r, file, db, type);
        }
    }
    db.end = r.pos();
}

}  // namespace

void decodeDatabase(const std::shared_ptr<const ByteBuffer>& file, DatabaseRecords& into)
{
    walkDatabase(file, into, nullptr);
}

void indexDatabase(const std::shared_ptr<const ByteBuffer>& file, DatabaseRecords& heads, DatabaseIndex& index)
{
    index = DatabaseIndex();
    walkDatabase(file, heads, &index);
}

void decodeTrackAt(const std::shared_ptr<const ByteBuffer>& file, std::int64_t offset, MHIT& into)
{
    ByteReader r(file->view());
    r.seek(offset);
    walkTrack(r, file, &into);
}

void decodePlaylistAt(const std::shared_ptr<const ByteBuffer>& file, std::int64_t offset, MHYP& into)
{
    ByteReader r(file->view());
    r.seek(offset);
    walkPlaylist(r, file, &into);
}

void decodePlaylistAt(const std::shared_ptr<const ByteBuffer>& file, std::int64_t offset, MHYP& head,
                      const std::function<void(const MHYP&)>& onHead, const PlaylistItemVisitor& eachItem)
{
    ByteReader r(file->view());
    r.seek(offset);
    // The head is complete once its data records are walked: the first item is where it is handed over.
    bool headGiven = false;
    const PlaylistItemVisitor items = [&](const MHIP& item, const MHOD_POE& record) {
        if (!headGiven) {
            onHead(head);
            headGiven = true;
        }
        eachItem(item, record);
    };
    walkPlaylist(r, file, &head, &items);
    if (!headGiven)
        onHead(head);
}

}  // namespace sonarchive
