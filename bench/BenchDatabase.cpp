#include "BenchDatabase.h"

#include "DatabaseBuilder.h"
#include "TempDir.h"

#include <memory>

namespace bench {

using namespace testsupport;

namespace {
std::u16string ascii(const std::string& s) { return std::u16string(s.begin(), s.end()); }
}  // namespace

std::string bigDatabaseImage()
{
    constexpr int kTracks = 40000;
    std::vector<TrackFixture> tracks;
    tracks.reserve(kTracks);
    for (int i = 0; i < kTracks; ++i) {
        const std::u16string n = ascii(std::to_string(i));
        auto t = makeTrack(1000 + i, u"A rather ordinary song title " + n, u"Performer of the music " + n,
                           u"Album of collected recordings " + n,
                           u":iPod_Control:Music:F" + ascii(std::to_string(i % 50)) + u":TRK" + n + u".mp3");
        t.strings.push_back({.type = 8, .text = u"Ripped from the original compact disc " + n});
        t.strings.push_back({.type = 12, .text = u"Composer of this piece " + n});
        tracks.push_back(std::move(t));
    }
    DatabaseFixture db = typicalDatabase(tracks);
    auto& playlists = std::get<PlaylistSection>(db.sections[2]).playlists;
    for (int p = 0; p < 19; ++p) {
        PlaylistFixture list{.title = u"Playlist " + ascii(std::to_string(p))};
        for (int k = 0; k < 2000; ++k)
            list.trackIds.push_back(1000 + (p * 2000 + k * 7) % kTracks);
        playlists.push_back(std::move(list));
    }
    return buildDatabase(db);
}

const std::filesystem::path& bigDevice()
{
    static const auto dir = std::make_unique<TempDir>();
    static const bool made = [] {
        installDatabase(dir->path(), bigDatabaseImage());
        return true;
    }();
    (void)made;
    return dir->path();
}

}  // namespace bench
