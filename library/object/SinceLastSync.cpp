#include "SinceLastSync.h"

#include "AsciiCase.h"
#include "ByteConverters.h"
#include "ByteReader.h"
#include "DatabaseFile.h"
#include "DeviceNotesCodec.h"
#include "Error.h"

#include <sonarchive/ByteText.h>
#include <sonarchive/TrackValues.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <limits>
#include <map>
#include <optional>

namespace sonarchive {

namespace fs = std::filesystem;

namespace {

// Far more than 40,000 entries of 28 bytes: a larger file is not one of these.
constexpr std::uintmax_t kLargestNotesFile = 64u << 20;

// Read as a failing disk allows: each read that fails is tried again where it failed.
std::string readNotesFile(const fs::path& path)
{
    DeviceFile file(path);
    if (file.size() > kLargestNotesFile)
        throw Error(FailureCode::TooLarge, "it has " + groupedNumber(static_cast<std::int64_t>(file.size())) + " bytes, far more than such a file holds", EFBIG);
    std::string bytes(static_cast<std::size_t>(file.size()), '\0');
    if (!file.readExactly(bytes.data(), bytes.size(), 0))
        throw Error(FailureCode::Unreadable, "it became shorter while it was read", EIO);
    return bytes;
}

// The folder's entries by their names in lower case.
std::map<std::string, fs::path> entriesByName(const fs::path& folder)
{
    std::map<std::string, fs::path> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        names.try_emplace(lowerAscii(it->path().filename().string()), it->path());
    return names;
}

std::int32_t added(std::int32_t value, std::uint32_t more)
{
    const std::int64_t sum = static_cast<std::int64_t>(value) + more;
    return static_cast<std::int32_t>(std::min<std::int64_t>(sum, std::numeric_limits<std::int32_t>::max()));
}

}  // namespace

std::u16string onTheGoName(std::size_t number)
{
    return u"On-The-Go " + fromUtf8(std::to_string(number));
}

void SinceLastSync::load(const fs::path& iTunesFolder, std::size_t trackCount)
{
    clear();
    m_trackCount = trackCount;
    const auto names = entriesByName(iTunesFolder);
    if (const auto found = names.find("play counts"); found != names.end())
        loadPlayCounts(found->second, trackCount);
    // "OTGPlaylistInfo", then "_1", "_2", ... up to the first that is missing.
    for (std::size_t n = 0;; ++n) {
        const auto found = names.find(n == 0 ? std::string("otgplaylistinfo") : "otgplaylistinfo_" + std::to_string(n));
        if (found == names.end())
            break;
        loadOnTheGo(found->second, trackCount, static_cast<std::int32_t>(n + 1));
    }
}

// A file that can't be used: one that does not decode is ignored; one the disk
// could not read is also kept apart when set aside, as it may read another time.
void SinceLastSync::noteUnusable(const fs::path& file, const std::exception& e)
{
    const Failure failure = failureOf(e);
    const bool unread = failure.code == FailureCode::Unreadable || failure.code == FailureCode::Io;
    if (unread)
        m_unread.push_back(file);
    m_warnings.push_back(shown(file) + ": " + e.what() + (unread ? "; the file was ignored and will be kept" : "; the file was ignored"));
}

std::string SinceLastSync::shown(const fs::path& file) const
{
    // As a person finds it below the device's root.
    return (file.parent_path().parent_path().filename() / file.parent_path().filename() / file.filename()).generic_string();
}

void SinceLastSync::loadPlayCounts(const fs::path& file, std::size_t trackCount)
{
    m_files.push_back(file);
    try {
        PlayCountsFile counts = decodePlayCounts(readNotesFile(file), trackCount);
        const auto entries = static_cast<std::size_t>(counts.entryCount);
        if (entries < trackCount)
            m_warnings.push_back(shown(file) + " holds " + groupedNumber(static_cast<std::int64_t>(entries)) + " entries for " +
                                 groupedNumber(static_cast<std::int64_t>(trackCount)) + " tracks; the tracks after the first " +
                                 groupedNumber(static_cast<std::int64_t>(entries)) + " show what the last sync recorded");
        else if (entries > trackCount)
            m_warnings.push_back(shown(file) + " holds " + groupedNumber(static_cast<std::int64_t>(entries)) + " entries for " +
                                 groupedNumber(static_cast<std::int64_t>(trackCount)) + " tracks; the entries after the last track were ignored");
        m_notes.playCounts = std::move(counts);
    } catch (const std::exception& e) {
        noteUnusable(file, e);
    }
}

void SinceLastSync::loadOnTheGo(const fs::path& file, std::size_t trackCount, std::int32_t number)
{
    m_files.push_back(file);
    try {
        OnTheGoFile list = decodeOnTheGo(readNotesFile(file));
        list.fileName = file.filename().string();
        list.number = number;
        std::vector<std::string> outside;
        for (std::size_t i = 0; i < list.trackIndices.size(); ++i)
            if (list.trackIndices[i] >= trackCount)
                outside.push_back(std::to_string(i + 1));
        if (!outside.empty()) {
            std::string which;
            for (std::size_t i = 0; i < outside.size() && i < 10; ++i)
                which += (i ? ", " : "") + outside[i];
            if (outside.size() > 10)
                which += ", ...";
            m_warnings.push_back(shown(file) + ": " + std::to_string(outside.size()) +
                                 (outside.size() == 1 ? " entry names a track" : " entries name tracks") + " past the " +
                                 groupedNumber(static_cast<std::int64_t>(trackCount)) + " of the track list (entry " + which +
                                 "); left out of the playlist");
        }
        m_notes.onTheGo.push_back(std::move(list));
    } catch (const std::exception& e) {
        noteUnusable(file, e);
    }
}

namespace {

// What the device counts of a track, times on its clock.
struct Recorded {
    std::int32_t plays, skips, bookmarkMs, rating;
    std::uint32_t lastPlayed, lastSkipped;
};

// The values of the last sync with an entry's notes put in: plays and skips
// added, the rating, times and bookmark of the notes where they hold one.
Recorded withEntry(Recorded v, const PlayCountsFile& counts, const PlayCountEntry& entry)
{
    v.plays = added(v.plays, entry.plays);
    v.skips = added(v.skips, entry.skips);
    if (counts.holdsRating())
        v.rating = static_cast<std::int32_t>(std::min<std::uint32_t>(entry.rating, 255));
    if (entry.lastPlayed)
        v.lastPlayed = entry.lastPlayed;
    if (entry.lastSkipped)
        v.lastSkipped = entry.lastSkipped;
    if (entry.bookmarkMs)
        v.bookmarkMs = static_cast<std::int32_t>(std::min<std::uint32_t>(entry.bookmarkMs, std::numeric_limits<std::int32_t>::max()));
    return v;
}

std::uint32_t deviceTimeIn(const std::string& fourBytes)
{
    return fourBytes.size() == 4 ? ByteReader::u32Of(fourBytes.data()) : 0;
}

}  // namespace

void SinceLastSync::merge(std::size_t position, TrackInfo& info) const
{
    if (m_folded || !covers(position))
        return;
    const PlayCountEntry& entry = m_notes.playCounts->entries[position];
    const Recorded v = withEntry({info.iPlayCount, info.iSkipCount, info.iBookmarkMs, info.iRating, deviceTimeOf(info.iLastPlayed),
                                  deviceTimeOf(info.iLastSkipped)},
                                 *m_notes.playCounts, entry);
    info.iRecentPlays = static_cast<std::int32_t>(std::min<std::uint32_t>(entry.plays, std::numeric_limits<std::int32_t>::max()));
    info.iPlayCount = v.plays;
    info.iSkipCount = v.skips;
    info.iBookmarkMs = v.bookmarkMs;
    info.iRating = v.rating;
    info.iLastPlayed = unixTimeOf(v.lastPlayed);
    info.iLastSkipped = unixTimeOf(v.lastSkipped);
}

void SinceLastSync::fold(std::size_t position, MHIT& track) const
{
    if (!covers(position))
        return;
    const PlayCountEntry& entry = m_notes.playCounts->entries[position];
    const Recorded v = withEntry({track.iPlayCount, track.iSkipCount, track.iBookmarkTime, track.iStartRating,
                                  deviceTimeIn(track.sLastPlayedTime), deviceTimeIn(track.sLastSkipped)},
                                 *m_notes.playCounts, entry);
    track.iPlayCount = v.plays;
    track.iSkipCount = v.skips;
    track.iBookmarkTime = v.bookmarkMs;
    track.iStartRating = static_cast<std::uint8_t>(v.rating);
    // Times the notes don't hold keep the record's bytes as they are.
    if (entry.lastPlayed)
        track.sLastPlayedTime = LongToBytes(static_cast<std::int32_t>(v.lastPlayed));
    if (entry.lastSkipped)
        track.sLastSkipped = LongToBytes(static_cast<std::int32_t>(v.lastSkipped));
}

void SinceLastSync::keepOnTheGoFiles()
{
    std::erase_if(m_files, [this](const fs::path& file) {
        return std::any_of(m_notes.onTheGo.begin(), m_notes.onTheGo.end(),
                           [&](const OnTheGoFile& list) { return list.fileName == file.filename().string(); });
    });
}

namespace {

// A file the disk could not read replaces no older one and is never replaced:
// "<name>.bak", else the first free "<name>.1.bak", ... A name whose state
// the disk can't tell is not taken.
std::optional<fs::path> freeBackupName(const fs::path& file)
{
    for (int n = 0; n < 1000; ++n) {
        fs::path backup = file;
        backup += n == 0 ? std::string(".bak") : "." + std::to_string(n) + ".bak";
        std::error_code ec;
        const fs::file_status status = fs::symlink_status(backup, ec);
        if (status.type() == fs::file_type::not_found)
            return backup;
        if (ec)
            return std::nullopt;
    }
    return std::nullopt;
}

}  // namespace

void SinceLastSync::setAside() const
{
    std::string failed;
    for (const fs::path& file : m_files) {
        const bool unread = std::find(m_unread.begin(), m_unread.end(), file) != m_unread.end();
        fs::path plain = file;
        plain += ".bak";
        const std::optional<fs::path> backup = unread ? freeBackupName(file) : plain;
        std::error_code ec;
        if (backup)
            fs::rename(file, *backup, ec);
        // Every file is tried; those that stay are named together.
        if ((!backup || ec) && fs::symlink_status(file, ec).type() != fs::file_type::not_found)
            failed += (failed.empty() ? "" : ", ") + shown(file);
    }
    if (!failed.empty())
        throw Error(FailureCode::Io, "the new database is in place, but " + failed +
                                         " could not be renamed to a .bak name; rename it by hand before the iPod is used, or its plays count twice",
                    EIO);
}

}  // namespace sonarchive
