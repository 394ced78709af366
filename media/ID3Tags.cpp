#include "ID3Tags.h"

#include "Blanks.h"

#include <sonarchive/ByteText.h>

#include <algorithm>
#include <array>
#include <vector>

namespace sonarchive {

namespace {

constexpr std::u16string_view kGenreText =
    u"Blues#Classic Rock#Country#Dance#Disco#Funk#Grunge#Hip-Hop#Jazz#Metal#New Age#Oldies#Other#Pop#R&B#Rap#"
    u"Reggae#Rock#Techno#Industrial#Alternative#Ska#Death Metal#Pranks#Soundtrack#Euro-Techno#Ambient#Trip-Hop#"
    u"Vocal#Jazz+Funk#Fusion#Trance#Classical#Instrumental#Acid#House#Game#Sound Clip#Gospel#Noise#AlternRock#"
    u"Bass#Soul#Punk#Space#Meditative#Instrumental Pop#Instrumental Rock#Ethnic#Gothic#Darkwave#Techno-Industrial#"
    u"Electronic#Pop-Folk#Eurodance#Dream#Southern Rock#Comedy#Cult#Gangsta#Top 40#Christian Rap#Pop/Funk#Jungle#"
    u"Native American#Cabaret#New Wave#Psychadelic#Rave#Showtunes#Trailer#Lo-Fi#Tribal#Acid Punk#Acid Jazz#Polka#"
    u"Retro#Musical#Rock & Roll#Hard Rock#Folk#Folk-Rock#National Folk#Swing#Fast Fusion#Bebob#Latin#Revival#"
    u"Celtic#Bluegrass#Avantgarde#Gothic Rock#Progressive Rock#Psychedelic Rock#Symphonic Rock#Slow Rock#Big Band#"
    u"Chorus#Easy Listening#Acoustic#Humour#Speech#Chanson#Opera#Chamber Music#Sonata#Symphony#Booty Bass#Primus#"
    u"Porn Groove#Satire#Slow Jam#Club#Tango#Samba#Folklore#Ballad#Power Ballad#Rhythmic Soul#Freestyle#Duet#"
    u"Punk Rock#Drum Solo#A capella#Euro-House#Dance Hall#Goa#Drum & Bass#Club-House#Hardcore#Terror#Indie#"
    u"BritPop#Negerpunk#Polsk Punk#Beat#Christian Gangsta#Heavy Metal#Black Metal#Crossover#Contemporary C#"
    u"Christian Rock#Merengue#Salsa#Thrash Metal#Anime#JPop#SynthPop";

// Split once on first use; lives for the life of the process.
const std::vector<std::u16string>& genreTable()
{
    static const std::vector<std::u16string> table = [] {
        std::vector<std::u16string> names;
        std::size_t from = 0;
        while (true) {
            const auto at = kGenreText.find(u'#', from);
            names.emplace_back(kGenreText.substr(from, at == std::u16string_view::npos ? std::u16string_view::npos : at - from));
            if (at == std::u16string_view::npos)
                break;
            from = at + 1;
        }
        return names;
    }();
    return table;
}

std::uint8_t byteAt(std::string_view bytes, std::int64_t i)
{
    return i >= 0 && i < static_cast<std::int64_t>(bytes.size()) ? static_cast<std::uint8_t>(bytes[static_cast<std::size_t>(i)]) : 0;
}

// A stretch of `bytes`, clipped to what is there.
std::string_view slice(std::string_view bytes, std::int64_t from, std::int64_t count)
{
    const auto size = static_cast<std::int64_t>(bytes.size());
    if (from < 0 || from >= size || count <= 0)
        return {};
    return bytes.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(std::min(count, size - from)));
}

std::uint32_t plainInteger(std::string_view bytes, std::int64_t at)
{
    return static_cast<std::uint32_t>(byteAt(bytes, at)) << 24 | static_cast<std::uint32_t>(byteAt(bytes, at + 1)) << 16 |
           static_cast<std::uint32_t>(byteAt(bytes, at + 2)) << 8 | byteAt(bytes, at + 3);
}

// A CR is dropped and a LF becomes CR LF.
std::u16string withLineBreaks(std::u16string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    for (char16_t c : text) {
        if (c == u'\r')
            continue;
        if (c == u'\n')
            out += u'\r';
        out += c;
    }
    return out;
}

std::u16string latin1(std::string_view bytes)
{
    std::u16string out(bytes.size(), u'\0');
    std::transform(bytes.begin(), bytes.end(), out.begin(), [](char b) { return static_cast<char16_t>(static_cast<std::uint8_t>(b)); });
    return out;
}

// An ID3v1 field: cut at its first zero byte, blanks stripped from both ends.
std::u16string fixedField(std::string_view block, std::size_t from, std::size_t count)
{
    const std::string_view bytes = block.substr(from, count);
    return withLineBreaks(latin1(trimmedBlanks(bytes.substr(0, bytes.find('\0')))));
}

// Where the comment text starts: after the description and its terminator.
std::size_t commentStart(std::string_view content, int encoding)
{
    constexpr std::size_t kDescription = 4;  // encoding byte and 3-byte language
    if (encoding == 1 || encoding == 2) {
        for (std::size_t i = kDescription; i + 1 < content.size(); i += 2)
            if (content[i] == '\0' && content[i + 1] == '\0')
                return i + 2;
        return content.size();
    }
    const auto zero = content.find('\0', kDescription);
    return zero == std::string_view::npos ? content.size() : zero + 1;
}

bool keptFrame(std::string_view id)
{
    static constexpr std::array<std::string_view, 21> kKept{"TPE1", "TP1", "TALB", "TAL", "TIT2", "TT2", "TYER", "TYE", "TDRC",
                                                            "TCON", "TCO", "COMM", "COM", "COM ", "TCOM", "TCM", "TRCK", "TRK",
                                                            "TPOS", "TPA", "SEEK"};
    return std::find(kKept.begin(), kKept.end(), id) != kKept.end();
}

// Stores one frame's text by its id; returns the "SEEK" offset when it is one.
std::int64_t storeFrame(std::string_view id, const std::u16string& text, TagFields& fields)
{
    if (id == "TPE1" || id == "TP1")
        fields.artist = text;
    else if (id == "TALB" || id == "TAL")
        fields.album = text;
    else if (id == "TIT2" || id == "TT2")
        fields.title = text;
    else if (id == "TYER" || id == "TYE")
        fields.year = text;
    else if (id == "TDRC")
        fields.year = text.substr(0, 4);
    else if (id == "TCON" || id == "TCO")
        fields.genre = RefineGenre(text);
    else if (id == "COMM" || id == "COM" || id == "COM ")
        fields.comment = text;
    else if (id == "TCOM" || id == "TCM")
        fields.composer = text;
    else if (id == "TRCK" || id == "TRK")
        fields.track = text;
    else if (id == "TPOS" || id == "TPA")
        fields.disc = text;
    else if (id == "SEEK" && !text.empty())
        return std::stoll(toUtf8(text));  // decimal text of a 32-bit value made by DecodeFrameText
    return -1;
}

}  // namespace

void ClearTagFields(TagFields& fields)
{
    fields = TagFields{};
}

std::u16string GenreName(std::int64_t number)
{
    const auto& table = genreTable();
    return number >= 0 && number < static_cast<std::int64_t>(table.size()) ? table[static_cast<std::size_t>(number)] : std::u16string();
}

std::u16string RefineGenre(const std::u16string& text)
{
    const auto open = text.find(u'(');
    if (open == std::u16string::npos)
        return text;
    const auto close = text.find(u')', open + 1);
    if (close == std::u16string::npos)
        return text;
    const std::u16string inner = text.substr(open + 1, close - open - 1);
    if (!inner.empty() && inner.size() <= 9 && std::all_of(inner.begin(), inner.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; })) {
        std::int64_t n = 0;
        for (char16_t c : inner)
            n = n * 10 + (c - u'0');
        return GenreName(n);
    }
    if (inner == u"RX")
        return u"Remix";
    if (inner == u"CR")
        return u"Cover";
    return text;
}

std::uint32_t ReadTagInteger(std::string_view fourBytes, bool syncsafeAllowed)
{
    const std::uint32_t b0 = byteAt(fourBytes, 0), b1 = byteAt(fourBytes, 1), b2 = byteAt(fourBytes, 2), b3 = byteAt(fourBytes, 3);
    if (syncsafeAllowed && ((b0 | b1 | b2 | b3) & 0x80) == 0)
        return b0 << 21 | b1 << 14 | b2 << 7 | b3;
    return b0 << 24 | b1 << 16 | b2 << 8 | b3;
}

std::size_t RemoveUnsync(std::string& buffer)
{
    std::size_t out = 0;
    for (std::size_t in = 0; in < buffer.size(); ++in) {
        if (buffer[in] == '\0' && in > 0 && static_cast<std::uint8_t>(buffer[in - 1]) == 0xFF)
            continue;
        buffer[out++] = buffer[in];
    }
    return buffer.size() - out;
}

bool IsFrameId(std::string_view fourBytes)
{
    if (fourBytes.size() < 4)
        return false;
    return std::all_of(fourBytes.begin(), fourBytes.begin() + 4,
                       [](char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '\0'; });
}

std::u16string BytesToText(std::string_view bytes, int encoding, bool stopAtZero)
{
    std::u16string text;
    switch (encoding) {
    case 0:
        text = latin1(stopAtZero ? bytes.substr(0, bytes.find('\0')) : bytes);
        break;
    case 3:
        text = fromUtf8(stopAtZero ? bytes.substr(0, bytes.find('\0')) : bytes);
        break;
    case 1:
    case 2: {
        bool bigEndian = encoding == 2;
        std::size_t i = 0;
        if (encoding == 1 && bytes.size() >= 2) {
            const auto m0 = static_cast<std::uint8_t>(bytes[0]), m1 = static_cast<std::uint8_t>(bytes[1]);
            if ((m0 == 0xFF && m1 == 0xFE) || (m0 == 0xFE && m1 == 0xFF)) {
                bigEndian = m0 == 0xFE;
                i = 2;
            }
            // Without a mark the units are taken as little-endian from the start.
        }
        for (; i + 1 < bytes.size(); i += 2) {
            const auto hi = static_cast<std::uint8_t>(bytes[bigEndian ? i : i + 1]);
            const auto lo = static_cast<std::uint8_t>(bytes[bigEndian ? i + 1 : i]);
            const auto unit = static_cast<char16_t>(hi << 8 | lo);
            if (stopAtZero && unit == 0)
                break;
            text += unit;
        }
        break;
    }
    default:
        return {};
    }
    return withLineBreaks(text);
}

std::u16string DecodeFrameText(std::string_view content, std::string_view frameId)
{
    if (content.empty())
        return {};
    const int encoding = static_cast<std::uint8_t>(content[0]);
    if (frameId.substr(0, 1) == "T")
        return BytesToText(content.substr(1), encoding, true);
    if (frameId == "COM " || frameId == "COMM" || frameId == "COM")
        return BytesToText(content.substr(commentStart(content, encoding)), encoding, true);
    if (frameId == "SEEK" && content.size() >= 4)
        return fromUtf8(std::to_string(plainInteger(content, 0)));
    return {};
}

bool ReadID3v1(const ByteSource& source, TagFields& fields)
{
    const std::int64_t size = source.size();
    if (size < 128)
        return false;
    const std::string block = source.readPadded(size - 128, 128);
    if (block.compare(0, 3, "TAG") != 0)
        return false;
    ClearTagFields(fields);
    fields.title = fixedField(block, 3, 30);
    fields.artist = fixedField(block, 33, 30);
    fields.album = fixedField(block, 63, 30);
    fields.year = fixedField(block, 93, 4);
    const bool v11 = block[125] == '\0' && block[126] != '\0';  // byte 126 is then the track number
    fields.comment = fixedField(block, 97, v11 ? 28 : 30);
    fields.genre = GenreName(static_cast<std::uint8_t>(block[127]));
    return true;
}

bool ReadID3v1(const std::filesystem::path& path, TagFields& fields)
{
    const auto source = FileSource::open(path);
    return source && ReadID3v1(*source, fields);
}

namespace {

// The 10-byte header of an ID3v2 tag.
struct TagHeader {
    int version = 0;             // the major version: 2, 3 or 4
    bool unsync = false;         // unsynchronised as a whole
    bool extended = false;       // an extended header precedes the frames (versions 3 and 4)
    std::int64_t size = 0;       // the bytes after the header, a footer included
    std::int64_t footerLength = 0;
};

// False for a major version other than 2, 3 or 4.
bool readTagHeader(std::string_view bytes, TagHeader& header)
{
    header.version = byteAt(bytes, 3);
    if (header.version < 2 || header.version > 4)
        return false;
    const int flags = byteAt(bytes, 5);
    header.size = ReadTagInteger(bytes.substr(6, 4), true);
    header.unsync = (flags & 0x80) != 0;
    header.extended = (flags & 0x40) != 0 && header.version >= 3;
    if (header.version == 4 && (flags & 0x10) != 0) {
        header.size += 10;
        header.footerLength = 10;
    }
    return true;
}

// What exists of the tag after its header: a tag that claims more than the file
// holds is read as far as the file goes. Versions 2 and 3 are unsynchronised as
// a whole, and the size shrinks by the bytes that removes.
std::string readTagBody(const ByteSource& source, std::int64_t position, TagHeader& header)
{
    std::string tag = source.read(position + 10, header.size);
    if (header.version <= 3 && header.unsync) {
        const std::size_t removed = RemoveUnsync(tag);
        tag.resize(tag.size() - removed);
        header.size -= static_cast<std::int64_t>(removed);
    }
    return tag;
}

// Where the frames start, after any extended header; `update` is set when that
// header marks the tag as adding to the fields of an earlier one.
std::int64_t framesStart(std::string_view tag, const TagHeader& header, bool& update)
{
    update = false;
    if (!header.extended)
        return 0;
    if (header.version == 3)
        return static_cast<std::int64_t>(plainInteger(tag, 0)) + 4;
    update = (byteAt(tag, 5) & 0x40) != 0;
    return ReadTagInteger(slice(tag, 0, 4), true);
}

// Version 2.2: a 3-letter id and a 3-byte length per frame.
void readFrames22(std::string_view tag, TagFields& fields)
{
    const auto available = static_cast<std::int64_t>(tag.size());
    for (std::int64_t p = 0; p <= available - 6;) {
        const std::string_view id = slice(tag, p, 3);
        const std::int64_t length = byteAt(tag, p + 3) << 16 | byteAt(tag, p + 4) << 8 | byteAt(tag, p + 5);
        p += 6;
        if (id == std::string_view("\0\0\0", 3) || p + length > available)
            return;  // padding, or a frame running past the tag
        if (keptFrame(id))
            storeFrame(id, DecodeFrameText(slice(tag, p, length), id), fields);
        p += length;
    }
}

// The length of a 2.3/2.4 frame whose content starts at `p`, or -1 when it runs
// past `end`. Some writers put plain lengths into 2.4 tags: when the syncsafe
// reading does not land on a further frame id, the length is read plainly.
std::int64_t frameLength(std::string_view tag, std::int64_t p, std::int64_t end, std::string_view lengthBytes, int version)
{
    std::int64_t length = ReadTagInteger(lengthBytes, version == 4);
    if (p + length > end)
        return -1;
    if (p + length <= end - 4 && !IsFrameId(slice(tag, p + length, 4))) {
        length = ReadTagInteger(lengthBytes, false);
        if (p + length > end)
            return -1;
    }
    return length;
}

// A 2.3/2.4 frame's text by its format flags: empty when it is compressed or
// encrypted; a group id and a data length indicator come before the content.
std::u16string frameText(std::string_view frame, std::string_view id, int formatFlags, const TagHeader& header)
{
    std::int64_t prefix = 0;
    bool skipped = false;
    if (header.version == 3) {
        skipped = (formatFlags & 0xC0) != 0;          // compressed or encrypted
        prefix += (formatFlags & 0x20) != 0 ? 1 : 0;  // group id
    } else {
        prefix += (formatFlags & 0x40) != 0 ? 1 : 0;  // group id
        skipped = (formatFlags & 0x0C) != 0;
        prefix += (formatFlags & 0x01) != 0 ? 4 : 0;  // data length indicator
    }
    if (skipped)
        return {};
    std::string bytes(frame);
    std::size_t removed = 0;
    if (header.version == 4 && ((formatFlags & 0x02) != 0 || header.unsync))
        removed = RemoveUnsync(bytes);
    const std::int64_t contentLength = static_cast<std::int64_t>(frame.size()) - prefix - static_cast<std::int64_t>(removed);
    return DecodeFrameText(slice(bytes, prefix, contentLength), id);
}

// Versions 2.3 and 2.4: a 4-letter id, a 4-byte length and 2 flag bytes per
// frame. Returns the offset the last "SEEK" frame gives, or -1.
std::int64_t readFrames23(std::string_view tag, std::int64_t p, const TagHeader& header, TagFields& fields)
{
    std::int64_t seek = -1;
    const std::int64_t end = static_cast<std::int64_t>(tag.size()) - header.footerLength;
    while (p <= end - 10) {
        const std::string_view id = slice(tag, p, 4);
        const std::string_view lengthBytes = slice(tag, p + 4, 4);
        const int formatFlags = byteAt(tag, p + 9);
        p += 10;
        if (id == std::string_view("\0\0\0\0", 4))
            break;  // padding
        const std::int64_t length = frameLength(tag, p, end, lengthBytes, header.version);
        if (length < 0)
            break;
        if (keptFrame(id)) {
            if (const std::int64_t offset = storeFrame(id, frameText(slice(tag, p, length), id, formatFlags, header), fields);
                offset >= 0)
                seek = offset;
        }
        p += length;
    }
    return seek;
}

}  // namespace

std::int64_t ParseID3v2Tag(const ByteSource& source, std::int64_t position, TagFields& fields)
{
    TagHeader header;
    if (!readTagHeader(source.readPadded(position, 10), header))
        return -1;
    const std::string tag = readTagBody(source, position, header);
    bool update = false;
    const std::int64_t start = framesStart(tag, header, update);
    if (!update)
        ClearTagFields(fields);
    if (header.version == 2) {
        readFrames22(tag, fields);
        return -1;
    }
    const std::int64_t seek = readFrames23(tag, start, header, fields);
    return seek >= 0 ? position + 10 + header.size + seek : -1;
}

bool ReadID3v2(const ByteSource& source, TagFields& fields)
{
    bool found = false;
    std::int64_t position = 0;
    while (position >= 0 && source.read(position, 3) == "ID3") {
        found = true;
        const std::int64_t next = ParseID3v2Tag(source, position, fields);
        if (next <= position)
            break;  // no further tag (a chain only ever moves forward)
        position = next;
    }
    if (found)
        return true;

    // A tag that only a footer at the end announces, possibly before an ID3v1 tag.
    std::int64_t end = source.size();
    if (end >= 128 && source.read(end - 128, 3) == "TAG")
        end -= 128;
    const std::string footer = source.readPadded(std::max<std::int64_t>(end - 10, 0), 10);
    if (footer.compare(0, 3, "3DI") != 0)
        return false;
    const std::int64_t size = ReadTagInteger(std::string_view(footer).substr(6, 4), true);
    const std::int64_t start = (end - 10) - size - 10;
    if (start < 0 || source.read(start, 3) != "ID3")
        return false;
    ParseID3v2Tag(source, start, fields);
    return true;
}

bool ReadID3v2(const std::filesystem::path& path, TagFields& fields)
{
    const auto source = FileSource::open(path);
    return source && ReadID3v2(*source, fields);
}

}  // namespace sonarchive
