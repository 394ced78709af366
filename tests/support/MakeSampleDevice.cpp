// Writes a sample device (database + iPod_Control folders) into a folder, for
// trying the tools without an iPod: four tracks, or with --tracks N the large
// database of the measurements (see largeDatabase()).
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
    installDatabase(argv[1], buildDatabase(largeDatabase(static_cast<int>(count))));
    std::cout << argv[1] << '\n';
    return 0;
}
