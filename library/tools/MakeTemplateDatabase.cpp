// Writes the empty database that reset and rebuild put on a device: no tracks,
// a playlist section with the master playlist and a podcast section with one
// playlist, so tracks can be added to both. Run at build time; the library's
// own encoder writes it.

#include "DatabaseCodec.h"

#include <fstream>
#include <iostream>
#include <string>

namespace sonarchive {
namespace {

constexpr std::int32_t kSectionHeaderSize = 96;
constexpr std::int32_t kListHeaderSize = 92;
constexpr std::int32_t kPlaylistHeaderSize = 108;

MHBD header()
{
    MHBD h;
    h.sID = u"mhbd";
    h.iHeaderSize = 104;
    h.iUnk1 = 1;
    h.iVersion = 0x19;
    h.sID2 = std::string("\x01\x23\x45\x67\x89\xab\xcd\xef", 8);  // database id
    h.iUnk2 = 2;
    h.iLanguageID = 'e' | 'n' << 8;
    fillHeaderBytes(h);
    return h;
}

MHSD_T trackSection()
{
    MHSD_T section;
    section.sID = u"mhsd";
    section.iHeaderSize = kSectionHeaderSize;
    section.iType = 1;
    section.m_mhlt.sID = u"mhlt";
    section.m_mhlt.iHeaderSize = kListHeaderSize;
    section.iTotalSize = kSectionHeaderSize + kListHeaderSize;
    return section;
}

// A section of playlists holding its master playlist, titled, without items.
MHSD_P playlistSection(std::int32_t type)
{
    MHYP master;
    master.sID = u"mhyp";
    master.iHeaderSize = kPlaylistHeaderSize;
    master.m_mhod_s = makeStringRecord(kMhodTitle, u"iPod");
    master.iChildsCount = 1;
    master.iIsMasterFLag = 1;
    master.sPerPlayListID = "Sonarchv";  // persistent id
    master.iMHODCount = 1;
    master.iPodCastFlag = type == 3 ? 1 : 0;
    master.iTotlaSize = kPlaylistHeaderSize + master.m_mhod_s.iTotalSize;

    MHSD_P section;
    section.sID = u"mhsd";
    section.iHeaderSize = kSectionHeaderSize;
    section.iType = type;
    section.m_mhlp.sID = u"mhlp";
    section.m_mhlp.iHeaderSize = kListHeaderSize;
    section.m_mhlp.iNumberOfPlaylists = 1;
    section.m_mhlp.m_mhyp = {master};
    section.iTotalSize = kSectionHeaderSize + kListHeaderSize + master.iTotlaSize;
    return section;
}

// Sections in the order the library writes them: tracks, podcasts, playlists.
std::string templateDatabase()
{
    ImageBuffer image;
    std::int64_t at = encodeDatabaseHeader(image, header());
    at = encodeTrackSection(image, at, trackSection(), [](const auto&) {});
    for (const std::int32_t type : {3, 2}) {
        const MHSD_P section = playlistSection(type);
        at = encodePlaylistSection(image, at, section, [&](const auto& visit) { visit(section.m_mhlp.m_mhyp.front()); });
    }
    finishDatabaseHeader(image, 3);
    return std::string(image.view());
}

}  // namespace
}  // namespace sonarchive

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: make-template-database OUTPUT\n";
        return 2;
    }
    const std::string bytes = sonarchive::templateDatabase();
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        std::cerr << "make-template-database: cannot write " << argv[1] << '\n';
        return 1;
    }
    return 0;
}
