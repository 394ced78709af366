#include "DeviceNotesCodec.h"

#include "ByteReader.h"

#include <algorithm>
#include <string>

namespace sonarchive {

namespace {

// The head both files share: magic, header size, entry size and entry count,
// checked against the bytes there are before anything is allocated.
struct NotesHead {
    std::int32_t headerSize = 0;
    std::int32_t entrySize = 0;
    std::int32_t entryCount = 0;
};

NotesHead readHead(ByteReader& r, const char* magic, std::int32_t smallestEntry)
{
    if (r.size() < 16 || r.clipped(0, 4) != magic)
        ByteReader::failAt(0, std::string("not a notes file (no \"") + magic + "\" head)");
    r.seek(4);
    NotesHead head;
    head.headerSize = r.i32le();
    head.entrySize = r.i32le();
    head.entryCount = r.i32le();
    const auto size = static_cast<std::int64_t>(r.size());
    if (head.headerSize < 16 || head.headerSize > size)
        ByteReader::failAt(4, "header size " + std::to_string(head.headerSize) + " (the file has " + groupedNumber(size) + " bytes)");
    if (head.entrySize < smallestEntry)
        ByteReader::failAt(8, "entry size " + std::to_string(head.entrySize));
    const std::int64_t room = size - head.headerSize;
    if (head.entryCount < 0 || static_cast<std::int64_t>(head.entryCount) * head.entrySize > room)
        ByteReader::failAt(12, "entry count " + std::to_string(head.entryCount) + " (more than the " + groupedNumber(room) +
                                   " bytes after the header can hold)");
    r.seek(head.headerSize);
    return head;
}

}  // namespace

PlayCountsFile decodePlayCounts(std::string_view bytes, std::size_t keepAtMost)
{
    ByteReader r(bytes);
    const NotesHead head = readHead(r, "mhdp", 4);
    PlayCountsFile file{.headerSize = head.headerSize, .entrySize = head.entrySize, .entryCount = head.entryCount};
    file.entries.resize(std::min(static_cast<std::size_t>(head.entryCount), keepAtMost));
    std::uint32_t PlayCountEntry::*const fields[] = {&PlayCountEntry::plays,   &PlayCountEntry::lastPlayed,
                                                     &PlayCountEntry::bookmarkMs, &PlayCountEntry::rating,
                                                     &PlayCountEntry::unknown16, &PlayCountEntry::skips,
                                                     &PlayCountEntry::lastSkipped};
    for (PlayCountEntry& entry : file.entries) {
        const std::int64_t start = r.pos();
        std::int32_t offset = 0;
        for (const auto field : fields) {
            if (!file.holds(offset))
                break;
            entry.*field = static_cast<std::uint32_t>(r.i32le());
            offset += 4;
        }
        r.seek(start + file.entrySize);
    }
    return file;
}

OnTheGoFile decodeOnTheGo(std::string_view bytes)
{
    ByteReader r(bytes);
    const NotesHead head = readHead(r, "mhpo", 4);
    OnTheGoFile file{.headerSize = head.headerSize, .entrySize = head.entrySize, .entryCount = head.entryCount};
    file.trackIndices.reserve(static_cast<std::size_t>(head.entryCount));
    for (std::int32_t i = 0; i < head.entryCount; ++i) {
        const std::int64_t start = r.pos();
        file.trackIndices.push_back(static_cast<std::uint32_t>(r.i32le()));
        r.seek(start + head.entrySize);
    }
    return file;
}

}  // namespace sonarchive
