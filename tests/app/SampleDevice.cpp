// Writes a sample device below a folder: a database of a few dozen tracks by
// made-up artists and, for each, a short real MP3 made by ffmpeg.
//
//   tracklift-sample-device DIR [--tracks N]

#include "FixtureDevice.h"

#include <cstdio>
#include <cstdlib>
#include <string>

using namespace testsupport;

namespace {

struct Album {
    const char16_t* artist;
    const char16_t* album;
    const char* year;
    std::vector<const char16_t*> titles;
};

const std::vector<Album> kAlbums = {
    {u"The Paper Lanterns", u"Harbour Lights", "2009", {u"Low Tide", u"Harbour Lights", u"Salt & Rust", u"Paper Boats", u"Last Ferry Home"}},
    {u"Mira Okonkwo", u"Night Garden", "2015", {u"Moonflower", u"Quiet Streets", u"Glasshouse", u"Fireflies (Acoustic)"}},
    {u"Static Parade", u"Loud Weather", "2012", {u"Thunder Road Trip", u"AC/DC: Live?", u"Umbrella Weather", u"Neon Rain"}},
    {u"Elsa Brandt Trio", u"Blue Hours", "2018", {u"Blue Hour", u"Waltz for Ana", u"Late Train", u"Coda"}},
    {u"Ансамбль Полёт", u"Северный ветер", "2011", {u"Северный ветер", u"Белые ночи", u"Дорога домой"}},
    {u"Kōji Tanaka", u"", "2020", {u"Sakura Drift", u"Morning Bell"}},
    {u"", u"Field Recordings", "2007", {u"Rain on a Tin Roof", u"Forest at Dawn"}},
    {u"Dust & Echo", u"Highway Psalms", "2016", {u"Mile Marker 9", u"Gasoline Hymn", u"Desert Radio", u"Slow Burn", u"Headlights"}},
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: tracklift-sample-device DIR [--tracks N]\n");
        return 2;
    }
    const std::filesystem::path root = argv[1];
    int extra = 0;
    if (argc == 4 && std::string(argv[2]) == "--tracks")
        extra = std::max(0, std::atoi(argv[3]));

    std::vector<TrackFixture> tracks;
    int id = 100;
    for (const Album& album : kAlbums) {
        int number = 0;
        for (const char16_t* title : album.titles) {
            ++id;
            ++number;
            const std::string file = "T" + std::to_string(id) + ".mp3";
            const std::string folder = "F" + std::to_string(10 + id % 20);
            const std::string location = ":iPod_Control:Music:" + folder + ":" + file;
            TrackFixture t = makeTrack(id, title, album.artist, album.album, std::u16string(location.begin(), location.end()));
            t.year = album.year;
            t.playCount = (id * 7) % 23;
            t.bitrate = 64;
            t.lengthMs = 2000 + 1000 * (number % 3);
            const std::string bytes = makeMp3(root / "iPod_Control/Music" / folder / file, t.lengthMs / 1000, 220 + 40 * number);
            if (bytes.empty()) {
                std::fprintf(stderr, "tracklift-sample-device: ffmpeg could not make %s\n", file.c_str());
                return 1;
            }
            t.trackSize = static_cast<std::int32_t>(bytes.size());
            tracks.push_back(t);
        }
    }
    // Further tracks without media, for trying out long lists.
    for (int i = 0; i < extra; ++i) {
        ++id;
        const std::string location = ":iPod_Control:Music:F" + std::to_string(10 + id % 20) + ":X" + std::to_string(id) + ".mp3";
        const std::string n = std::to_string(i + 1);
        TrackFixture t = makeTrack(id, u"Track " + std::u16string(n.begin(), n.end()), u"Various", u"Long List",
                                   std::u16string(location.begin(), location.end()));
        t.trackSize = 3000000 + i;
        t.lengthMs = 180000 + i * 37 % 120000;
        t.bitrate = 128;
        tracks.push_back(t);
    }
    installDatabase(root, buildDatabase(typicalDatabase(tracks)));
    std::printf("%zu tracks written below %s\n", tracks.size(), root.string().c_str());
    return 0;
}
