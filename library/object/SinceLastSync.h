#pragma once

#include <sonarchive/DeviceNotes.h>
#include <sonarchive/TrackInfo.h>
#include <sonarchive/TrackRecords.h>

#include <filesystem>
#include <string>
#include <vector>

namespace sonarchive {

// What the device recorded since its last sync, as a load found it beside the
// database, and what it means for the tracks: merged into what a reader sees,
// folded into the records before a write, and set aside (renamed to ".bak") once
// the new database is in place, so that nothing is counted twice.
class SinceLastSync {
public:
    // Reads "Play Counts" and the On-The-Go files of the folder (names in any
    // letter case) for a track list of `trackCount` tracks. A file that can't be
    // read or decoded is left out with a warning naming it and the byte; nothing
    // here stops a load.
    void load(const std::filesystem::path& iTunesFolder, std::size_t trackCount);
    void clear() { *this = SinceLastSync(); }

    const DeviceNotes& notes() const { return m_notes; }
    const std::vector<std::string>& warnings() const { return m_warnings; }
    // The files found, damaged ones included: what a write sets aside.
    const std::vector<std::filesystem::path>& files() const { return m_files; }

    // The values a person sees for the track at `position` of the track list:
    // plays and skips added, the rating, times and bookmark of the notes where
    // they hold one. Nothing changes once the notes are folded.
    void merge(std::size_t position, TrackInfo& info) const;
    // Puts the notes of `position` into its track record.
    void fold(std::size_t position, MHIT& track) const;
    bool folded() const { return m_folded; }
    void setFolded() { m_folded = true; }
    bool hasPlayCounts() const { return m_notes.playCounts.has_value(); }

    // Renames every file found to its name with ".bak", replacing older ones;
    // one the disk could not read goes to a ".bak" name of its own, so it is
    // neither lost nor replaced. Throws, naming them, when any can't be renamed.
    void setAside() const;
    // Leaves the On-The-Go files where they are at the next setAside(): for a
    // database that has no playlists to put them in.
    void keepOnTheGoFiles();
    // Whether a place of the track list is one of the tracks the notes were
    // loaded for (a track added since is not).
    bool namesLoadedTrack(std::size_t position) const { return position < m_trackCount; }

private:
    void loadPlayCounts(const std::filesystem::path& file, std::size_t trackCount);
    void loadOnTheGo(const std::filesystem::path& file, std::size_t trackCount, std::int32_t number);
    std::string shown(const std::filesystem::path& file) const;
    void noteUnusable(const std::filesystem::path& file, const std::exception& e);
    // Entries past the tracks loaded belong to none (a track added later included).
    bool covers(std::size_t position) const
    {
        return m_notes.playCounts && namesLoadedTrack(position) && position < m_notes.playCounts->entries.size();
    }

    DeviceNotes m_notes;
    std::vector<std::string> m_warnings;
    std::vector<std::filesystem::path> m_files;
    std::vector<std::filesystem::path> m_unread;  // of those, the ones the disk could not read
    std::size_t m_trackCount = 0;
    bool m_folded = false;
};

// The name of the n-th On-The-Go playlist (from 1): "On-The-Go 1", ...
std::u16string onTheGoName(std::size_t number);

}  // namespace sonarchive
