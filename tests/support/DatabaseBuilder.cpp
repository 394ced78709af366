#include "DatabaseBuilder.h"

#include "TempDir.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace testsupport {

namespace {

class Bytes {
public:
    explicit Bytes(std::size_t size, std::uint32_t seed = 0) : m_data(size, '\0')
    {
        std::uint32_t state = seed;
        for (char& c : m_data) {
            if (!seed)
                break;
            state = state * 1664525u + 1013904223u;
            c = static_cast<char>(state >> 24);
        }
    }
    void put(std::size_t offset, const std::string& bytes)
    {
        if (offset + bytes.size() > m_data.size())
            m_data.resize(offset + bytes.size(), '\0');
        std::memcpy(m_data.data() + offset, bytes.data(), bytes.size());
    }
    void put32(std::size_t offset, std::int32_t v) { put(offset, le32(v)); }
    void put16(std::size_t offset, std::int16_t v)
    {
        put(offset, std::string{static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)});
    }
    void put8(std::size_t offset, std::uint8_t v) { put(offset, std::string(1, static_cast<char>(v))); }
    // What every record starts with: its four-letter name, its header size and
    // its total size (in a list header: the count of what follows).
    void start(const char* magic, std::int32_t headerSize, std::int32_t sizeOrCount)
    {
        put(0, magic);
        put32(4, headerSize);
        put32(8, sizeOrCount);
    }
    const std::string& str() const { return m_data; }
    // The first `size` bytes: a header shorter than its fixed fields is cut.
    std::string first(std::int32_t size) const { return m_data.substr(0, static_cast<std::size_t>(size)); }

private:
    std::string m_data;
};

std::string utf16le(const std::u16string& text)
{
    std::string out;
    for (char16_t c : text) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
    }
    return out;
}

// A header of `headerSize` bytes that starts as every record does.
Bytes header(const char* magic, std::int32_t headerSize, std::int32_t sizeOrCount, std::uint32_t seed = 0)
{
    Bytes h(static_cast<std::size_t>(headerSize), seed);
    h.start(magic, headerSize, sizeOrCount);
    return h;
}

std::string buildString(const StringFixture& s)
{
    if (!s.raw.empty())
        return s.raw;
    const std::string text = utf16le(s.text);
    const auto total = s.totalSize.value_or(static_cast<std::int32_t>(40 + text.size()));
    Bytes b(static_cast<std::size_t>(std::max(total, 40)));
    b.start("mhod", s.headerSize, total);
    b.put32(12, s.type);
    b.put32(16, s.unk1);
    b.put32(20, s.unk2);
    b.put32(24, s.position);
    b.put32(28, s.length.value_or(static_cast<std::int32_t>(text.size())));
    b.put32(32, s.unk3);
    b.put32(36, s.unk4);
    b.put(40, text);
    return b.first(std::max(total, 40));
}

std::string buildTrack(const TrackFixture& t)
{
    std::string strings;
    for (const auto& s : t.strings)
        strings += buildString(s);
    Bytes h = header("mhit", t.headerSize, t.totalSize.value_or(static_cast<std::int32_t>(t.headerSize + strings.size())), t.fillSeed);
    h.put32(12, t.stringCount.value_or(static_cast<std::int32_t>(t.strings.size())));
    h.put(24, std::string(t.fileType.rbegin(), t.fileType.rend()));
    h.put(52, t.year);
    for (const auto& [offset, value] : {std::pair{16, t.id}, {36, t.trackSize}, {40, t.lengthMs}, {56, t.bitrate}, {60, t.sampleRate},
                                        {68, t.startTime}, {72, t.stopTime}, {80, t.playCount}})
        h.put32(offset, value);
    for (const auto& [offset, value] : {std::pair{28, t.vbr}, {165, t.skipWhenShuffle}, {166, t.rememberPosition}, {177, t.movie}})
        h.put8(offset, value);
    for (const auto& [offset, bytes] : t.patches)
        h.put(static_cast<std::size_t>(offset), bytes);
    // A header shorter than its fixed fields is cut: the strings follow at headerSize.
    return h.first(t.headerSize) + strings;
}

std::string buildPlaylist(const PlaylistFixture& p)
{
    std::string records;
    std::int32_t childCount = 0;
    if (p.title) {
        StringFixture title;
        title.type = 1;
        title.text = *p.title;
        records += buildString(title);
        ++childCount;
    }
    for (const auto& extra : p.extraRecords) {
        records += extra;
        ++childCount;
    }
    std::string items;
    std::int32_t position = 0;
    const std::int32_t recordsPerItem = p.itemChildCount.value_or(1);
    for (std::int32_t id : p.trackIds) {
        Bytes item = header("mhip", p.itemHeaderSize, p.itemHeaderSize + recordsPerItem * p.itemRecordSize, p.fillSeed);
        item.put32(12, recordsPerItem);
        item.put32(24, id);
        ++position;
        std::string itemRecords;
        for (std::int32_t r = 0; r < recordsPerItem; ++r) {
            Bytes record(static_cast<std::size_t>(p.itemRecordSize), p.fillSeed ? p.fillSeed + 7 : 0);
            record.start("mhod", 24, p.itemRecordSize);
            record.put32(12, 100);
            record.put32(24, position);
            itemRecords += record.first(p.itemRecordSize);
        }
        items += item.first(p.itemHeaderSize) + itemRecords;
    }
    for (const auto& raw : p.rawItems)
        items += raw;
    Bytes h = header("mhyp", p.headerSize, static_cast<std::int32_t>(p.headerSize + records.size() + items.size()), p.fillSeed);
    h.put32(12, childCount);
    h.put32(16, static_cast<std::int32_t>(p.trackIds.size() + p.rawItems.size()));
    h.put8(20, p.master);
    h.put16(40, static_cast<std::int16_t>(childCount));
    h.put16(42, p.podcastFlag);
    return h.first(p.headerSize) + records + items;
}

std::string sectionHeader(std::int32_t headerSize, std::size_t contentSize, std::int32_t type)
{
    Bytes h = header("mhsd", headerSize, static_cast<std::int32_t>(headerSize + contentSize));
    h.put32(12, type);
    return h.first(headerSize);
}

std::string listHeader(const char* magic, std::int32_t headerSize, std::int32_t count)
{
    return header(magic, headerSize, count).first(headerSize);
}

std::string buildSection(const SectionFixture& section)
{
    if (const auto* t = std::get_if<TrackSection>(&section)) {
        std::string content = listHeader("mhlt", t->listHeaderSize, t->trackCount.value_or(static_cast<std::int32_t>(t->tracks.size())));
        for (const auto& track : t->tracks)
            content += buildTrack(track);
        return sectionHeader(t->headerSize, content.size(), 1) + content;
    }
    if (const auto* p = std::get_if<PlaylistSection>(&section)) {
        std::string content = listHeader("mhlp", p->listHeaderSize, static_cast<std::int32_t>(p->playlists.size()));
        for (const auto& playlist : p->playlists)
            content += buildPlaylist(playlist);
        return sectionHeader(p->headerSize, content.size(), p->type) + content;
    }
    const auto& o = std::get<OpaqueSection>(section);
    return sectionHeader(o.headerSize, o.content.size(), o.type) + o.content;
}

}  // namespace

std::string buildDatabase(const DatabaseFixture& fixture)
{
    std::string sections;
    for (const auto& section : fixture.sections)
        sections += buildSection(section);
    Bytes h = header("mhbd", fixture.headerSize, static_cast<std::int32_t>(fixture.headerSize + sections.size()), fixture.fillSeed);
    h.put32(12, 1);
    h.put32(16, fixture.version);
    h.put32(20, fixture.sectionCount.value_or(static_cast<std::int32_t>(fixture.sections.size())));
    for (const auto& [offset, bytes] : fixture.patches)
        h.put(static_cast<std::size_t>(offset), bytes);
    return h.first(fixture.headerSize) + sections;
}

void installDatabase(const std::filesystem::path& driveRoot, const std::string& bytes)
{
    std::filesystem::create_directories(driveRoot / "iPod_Control/Music");
    writeFile(driveRoot / "iPod_Control/iTunes/Sonarchive", bytes);
}

TrackFixture makeTrack(std::int32_t id, const std::u16string& title, const std::u16string& artist,
                       const std::u16string& album, const std::u16string& location)
{
    TrackFixture t;
    t.id = id;
    t.trackSize = 4000000;
    t.lengthMs = 250000;
    t.bitrate = 128;
    t.sampleRate = 44100 << 16;
    t.year = yearBytes(1999);  // as devices keep it: CF 07 00 00
    t.strings = {{.type = 1, .text = title}, {.type = 2, .text = location}, {.type = 3, .text = album},
                 {.type = 4, .text = artist}, {.type = 5, .text = u"Rock"}};
    return t;
}

DatabaseFixture typicalDatabase(const std::vector<TrackFixture>& tracks)
{
    DatabaseFixture db;
    PlaylistFixture master;
    master.title = u"iPod";
    master.master = 1;
    for (const auto& t : tracks)
        master.trackIds.push_back(t.id);
    db.sections = {TrackSection{.tracks = tracks}, PlaylistSection{.type = 3, .playlists = {master}},
                   PlaylistSection{.type = 2, .playlists = {master}}};
    return db;
}

DatabaseFixture deviceShape(const std::vector<TrackFixture>& tracks)
{
    DatabaseFixture db = typicalDatabase(tracks);
    db.headerSize = 188;
    db.sections.insert(db.sections.begin(), OpaqueSection{.type = 4, .content = std::string(300, 'A')});
    db.sections.push_back(OpaqueSection{.type = 5, .content = std::string(120, 'N')});
    return db;
}

DatabaseFixture otherSoftwareShape(std::vector<TrackFixture> tracks, const OtherSoftwareShape& shape)
{
    std::uint32_t seed = 0x5eed;
    for (auto& t : tracks) {
        t.headerSize = 584;
        t.fillSeed = ++seed;
    }
    PlaylistFixture master{.title = u"iPod", .master = 1, .headerSize = 184, .itemHeaderSize = 76};
    for (const auto& t : tracks)
        master.trackIds.push_back(t.id);
    PlaylistSection playlists{.type = 2, .playlists = {master}};
    for (int k = 0; k < shape.playlists; ++k) {
        PlaylistFixture p{.title = u"Playlist " + std::u16string(1, static_cast<char16_t>(u'A' + k % 26)) +
                                   (k >= 26 ? std::u16string(1, static_cast<char16_t>(u'0' + k / 26)) : std::u16string()),
                          .headerSize = 184};
        if (k % 3 == 2)  // a smart playlist: its rules ride along as data records
            p.extraRecords = {playlistDataRecord(50, 132), playlistDataRecord(51, 160)};
        for (std::size_t i = static_cast<std::size_t>(k); i < tracks.size(); i += static_cast<std::size_t>(k + 2))
            p.trackIds.push_back(tracks[i].id);
        playlists.playlists.push_back(std::move(p));
    }

    PlaylistFixture podcastMaster = master;
    PlaylistFixture podcasts{.title = u"Podcasts", .headerSize = 184, .podcastFlag = 1};
    const int episodes = std::min<int>(shape.podcastEpisodes, static_cast<int>(tracks.size()));
    if (episodes > 0) {
        podcasts.rawItems.push_back(podcastGroupItem(9000, u"A Podcast"));
        for (int e = 0; e < episodes; ++e)
            podcasts.rawItems.push_back(podcastEpisodeItem(tracks[static_cast<std::size_t>(e)].id, 9000, e + 1));
    }
    PlaylistSection podcastSection{.type = 3, .playlists = {podcastMaster, podcasts}};

    std::string albumList(shape.albumListBytes, '\0');
    for (std::size_t i = 0; i < albumList.size(); ++i)
        albumList[i] = static_cast<char>("mhla album list "[i % 16]);
    DatabaseFixture db;
    db.headerSize = 244;
    db.version = 0x75;
    db.fillSeed = 0xab;
    db.sections = {TrackSection{.tracks = std::move(tracks)}, podcastSection, playlists,
                   OpaqueSection{.type = 4, .content = std::move(albumList)},
                   OpaqueSection{.type = 8, .content = std::string(200, '8')},
                   OpaqueSection{.type = 6, .content = std::string(64, '6')},
                   OpaqueSection{.type = 10, .content = std::string(48, 'X')},
                   OpaqueSection{.type = 5, .content = std::string(96, '5')}};
    // The undecoded header bytes carry data, but no signature.
    db.patches[48] = std::string(2, '\0');
    return db;
}

DatabaseFixture largeDatabase(int count)
{
    std::vector<TrackFixture> tracks;
    tracks.reserve(static_cast<std::size_t>(std::max(count, 0)));
    for (std::int32_t id = 1; id <= count; ++id) {
        const std::u16string n = fromNumber(id);
        TrackFixture t = makeTrack(id, u"Track " + n, u"Artist " + fromNumber(id % 500), u"Album " + fromNumber(id % 3000),
                                   u":iPod_Control:Music:F" + fromNumber(id % 50) + u":T" + n + u".mp3");
        t.year = yearBytes(1950 + id % 75);
        t.strings.push_back({.type = 8, .text = u"Ripped from the CD, track " + fromNumber(id % 20 + 1)});
        if (id % 1000 == 0)
            t.trackSize = static_cast<std::int32_t>(0x80000000u + static_cast<std::uint32_t>(id) * 1000u);
        tracks.push_back(std::move(t));
    }
    return otherSoftwareShape(std::move(tracks), {.playlists = 49, .albumListBytes = 8600000, .podcastEpisodes = 20});
}

DatabaseFixture earlyDeviceShape(std::vector<TrackFixture> tracks)
{
    for (auto& t : tracks)
        t.headerSize = t.id % 2 ? 156 : 160;
    PlaylistFixture master{.title = u"iPod", .master = 1, .itemChildCount = 0};
    PlaylistFixture favourites{.title = u"Favourites", .itemChildCount = 0};
    for (const auto& t : tracks) {
        master.trackIds.push_back(t.id);
        if (t.id % 2)
            favourites.trackIds.push_back(t.id);
    }
    DatabaseFixture db;
    db.headerSize = 104;
    db.version = 0x09;
    db.sections = {TrackSection{.tracks = std::move(tracks)}, PlaylistSection{.type = 2, .playlists = {master, favourites}}};
    return db;
}

void signHeader(DatabaseFixture& db, std::int16_t scheme)
{
    db.headerSize = std::max(db.headerSize, 244);
    db.patches[48] = std::string{static_cast<char>(scheme & 0xFF), static_cast<char>(scheme >> 8 & 0xFF)};
    std::string signature(20 + 46, '\0');
    for (std::size_t i = 0; i < signature.size(); ++i)
        signature[i] = static_cast<char>(0x91 + i * 37);
    db.patches[88] = signature.substr(0, 20);
    db.patches[114] = signature.substr(20);
}

std::string podcastGroupItem(std::int32_t groupId, const std::u16string& title)
{
    StringFixture name{.type = 1, .text = title};
    const std::string record = buildString(name);
    Bytes item = header("mhip", 76, static_cast<std::int32_t>(76 + record.size()));
    item.put32(12, 1);
    item.put16(16, 256);  // a group header
    item.put32(20, groupId);
    item.put32(24, 0);    // no track
    return item.str() + record;
}

std::string podcastEpisodeItem(std::int32_t trackId, std::int32_t groupId, std::int32_t position)
{
    Bytes item = header("mhip", 76, 76 + 44);
    item.put32(12, 1);
    item.put32(20, groupId + position);
    item.put32(24, trackId);
    item.put(32, le32(groupId));  // the group it belongs to
    Bytes record(44);
    record.start("mhod", 24, 44);
    record.put32(12, 100);
    record.put32(24, position);
    return item.str() + record.str();
}

std::string playlistDataRecord(std::int32_t type, std::size_t size)
{
    Bytes record(size, static_cast<std::uint32_t>(type));
    record.start("mhod", 24, static_cast<std::int32_t>(size));
    record.put32(12, type);
    return record.str();
}

std::u16string fromNumber(std::int64_t value)
{
    const std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
}

std::string yearBytes(std::int32_t year)
{
    return le32(year);
}

std::int32_t readI32(const std::string& bytes, std::size_t offset)
{
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = v << 8 | static_cast<std::uint8_t>(bytes.at(offset + static_cast<std::size_t>(i)));
    return static_cast<std::int32_t>(v);
}

std::string le32(std::int32_t value)
{
    const auto v = static_cast<std::uint32_t>(value);
    return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8 & 0xFF), static_cast<char>(v >> 16 & 0xFF),
                       static_cast<char>(v >> 24 & 0xFF)};
}

std::string playCountsFile(std::int32_t entrySize, const std::vector<PlayCountFixture>& entries, std::int32_t headerSize)
{
    std::string out = "mhdp" + le32(headerSize) + le32(entrySize) + le32(static_cast<std::int32_t>(entries.size()));
    out.resize(static_cast<std::size_t>(headerSize), '\0');
    for (const PlayCountFixture& e : entries) {
        std::string entry;
        for (const std::uint32_t field : {e.plays, e.lastPlayed, e.bookmarkMs, e.rating, e.unknown16, e.skips, e.lastSkipped})
            entry += le32(static_cast<std::int32_t>(field));
        entry.resize(static_cast<std::size_t>(entrySize), '\0');
        out += entry;
    }
    return out;
}

std::string onTheGoFile(const std::vector<std::uint32_t>& trackIndices, std::int32_t headerSize)
{
    std::string out = "mhpo" + le32(headerSize) + le32(4) + le32(static_cast<std::int32_t>(trackIndices.size()));
    out.resize(static_cast<std::size_t>(headerSize), '\0');
    for (const std::uint32_t index : trackIndices)
        out += le32(static_cast<std::int32_t>(index));
    return out;
}

void installBesideDatabase(const std::filesystem::path& driveRoot, const std::string& name, const std::string& bytes)
{
    writeFile(driveRoot / "iPod_Control/iTunes" / name, bytes);
}

std::uint32_t deviceClock(std::int64_t unixSeconds)
{
    return static_cast<std::uint32_t>(unixSeconds + 2082844800);
}

}  // namespace testsupport
