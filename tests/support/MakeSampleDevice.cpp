// Writes a sample device (database + iPod_Control folders) into a folder, for
// trying the tools without an iPod: four tracks, or with --tracks N a database
// of N tracks shaped as other software writes them (584-byte track headers,
// eight sections, 50 playlists, podcasts), every 1,000th track a film of 2 GiB
// and more, with years as devices keep them.
#include "DatabaseBuilder.h"

#include <cstdlib>
#include <iostream>
#include <string>

int main(int argc, char** argv)
{
    using namespace testsupport;
    const std::string usage = "usage: make-sample-device FOLDER [--tracks N]\n";
    if (argc != 2 && !(argc == 4 && std::string(argv[2]) == "--tracks")) {
        std::cerr << usage;
        return 2;
    }
    if (argc == 2) {
        std::vector<TrackFixture> tracks = {
            makeTrack(101, u"Morning Light", u"The Lanterns", u"First Album", u":iPod_Control:Music:F00:AAAA.mp3"),
            makeTrack(102, u"Harbour", u"The Lanterns", u"First Album", u":iPod_Control:Music:F00:AAAB.mp3"),
            makeTrack(103, u"\u00c9t\u00e9 indien", u"Claire Dumas", u"Saisons", u":iPod_Control:Music:F01:AAAC.mp3"),
            makeTrack(104, u"Night Drive", u"Unknown", u"Singles", u":iPod_Control:Music:F02:AAAD.mp3"),
        };
        installDatabase(argv[1], buildDatabase(typicalDatabase(tracks)));
        std::cout << argv[1] << '\n';
        return 0;
    }
    const long count = std::strtol(argv[3], nullptr, 10);
    if (count < 1 || count > 1000000) {
        std::cerr << usage;
        return 2;
    }
    std::vector<TrackFixture> tracks;
    tracks.reserve(static_cast<std::size_t>(count));
    for (std::int32_t id = 1; id <= count; ++id) {
        const std::u16string n = fromNumber(id);
        TrackFixture t = makeTrack(id, u"Track " + n, u"Artist " + fromNumber(id % 500), u"Album " + fromNumber(id % 3000),
                                   u":iPod_Control:Music:F" + fromNumber(id % 50) + u":T" + n + u".mp3");
        t.year = yearBytes(1950 + id % 75);
        if (id % 1000 == 0)
            t.trackSize = static_cast<std::int32_t>(0x80000000u + static_cast<std::uint32_t>(id) * 1000u);
        tracks.push_back(std::move(t));
    }
    installDatabase(argv[1], buildDatabase(otherSoftwareShape(std::move(tracks), {.playlists = 49, .albumListBytes = 8600000,
                                                                                  .podcastEpisodes = 20})));
    std::cout << argv[1] << '\n';
    return 0;
}
