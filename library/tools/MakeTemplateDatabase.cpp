// Writes the empty database that reset and rebuild put on a device: no tracks,
// a playlist section with the master playlist and a podcast section with one
// playlist, so tracks can be added to both. Run at build time.

#include <cstdint>
#include <fstream>
#include <iostream>
#include <string>

namespace {

class Chunk {
public:
    explicit Chunk(const char* magic, std::size_t headerSize) : m_bytes(headerSize, '\0') { m_bytes.replace(0, 4, magic); }

    void put32(std::size_t offset, std::int32_t value)
    {
        const auto v = static_cast<std::uint32_t>(value);
        for (std::size_t i = 0; i < 4; ++i)
            m_bytes[offset + i] = static_cast<char>(v >> (8 * i) & 0xFF);
    }
    void put16(std::size_t offset, std::int16_t value)
    {
        const auto v = static_cast<std::uint16_t>(value);
        m_bytes[offset] = static_cast<char>(v & 0xFF);
        m_bytes[offset + 1] = static_cast<char>(v >> 8);
    }
    void put8(std::size_t offset, std::uint8_t value) { m_bytes[offset] = static_cast<char>(value); }
    void putBytes(std::size_t offset, const std::string& bytes) { m_bytes.replace(offset, bytes.size(), bytes); }
    void append(const std::string& bytes) { m_bytes += bytes; }
    std::size_t size() const { return m_bytes.size(); }
    const std::string& bytes() const { return m_bytes; }

private:
    std::string m_bytes;
};

// A title record: 24-byte header, 40 bytes of fields, then the UTF-16LE text.
std::string titleRecord(const std::string& asciiTitle)
{
    std::string text;
    for (char c : asciiTitle) {
        text.push_back(c);
        text.push_back('\0');
    }
    Chunk record("mhod", 40);
    record.put32(4, 24);
    record.put32(8, static_cast<std::int32_t>(40 + text.size()));
    record.put32(12, 1);                                    // kind: title
    record.put32(24, 1);                                    // position
    record.put32(28, static_cast<std::int32_t>(text.size()));
    record.put32(32, 1);
    record.append(text);
    return record.bytes();
}

// The master playlist of a section, titled, without items.
std::string masterPlaylist(bool podcastSection)
{
    const std::string title = titleRecord("iPod");
    Chunk playlist("mhyp", 108);
    playlist.put32(4, 108);
    playlist.put32(8, static_cast<std::int32_t>(108 + title.size()));
    playlist.put32(12, 1);                                  // data records: the title
    playlist.put32(16, 0);                                  // items
    playlist.put8(20, 1);                                   // master playlist
    playlist.putBytes(28, std::string("\x53\x6f\x6e\x61\x72\x63\x68\x76", 8));  // persistent id
    playlist.put16(40, 1);
    playlist.put16(42, podcastSection ? 1 : 0);
    playlist.append(title);
    return playlist.bytes();
}

std::string section(std::int32_t type, const std::string& content)
{
    Chunk header("mhsd", 96);
    header.put32(4, 96);
    header.put32(8, static_cast<std::int32_t>(96 + content.size()));
    header.put32(12, type);
    header.append(content);
    return header.bytes();
}

std::string playlistSection(std::int32_t type)
{
    Chunk list("mhlp", 92);
    list.put32(4, 92);
    list.put32(8, 1);
    list.append(masterPlaylist(type == 3));
    return section(type, list.bytes());
}

std::string templateDatabase()
{
    Chunk tracks("mhlt", 92);
    tracks.put32(4, 92);
    tracks.put32(8, 0);

    // Sections in the order the library writes them: tracks, podcasts, playlists.
    const std::string sections = section(1, tracks.bytes()) + playlistSection(3) + playlistSection(2);

    Chunk header("mhbd", 104);
    header.put32(4, 104);
    header.put32(8, static_cast<std::int32_t>(104 + sections.size()));
    header.put32(12, 1);
    header.put32(16, 0x19);                                 // database version
    header.put32(20, 3);                                    // sections
    header.putBytes(24, std::string("\x01\x23\x45\x67\x89\xab\xcd\xef", 8));  // database id
    header.put16(32, 2);
    header.putBytes(64, "en");                              // language
    header.append(sections);
    return header.bytes();
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: make-template-database OUTPUT\n";
        return 2;
    }
    const std::string bytes = templateDatabase();
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        std::cerr << "make-template-database: cannot write " << argv[1] << '\n';
        return 1;
    }
    return 0;
}
