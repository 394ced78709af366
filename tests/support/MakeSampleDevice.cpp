// Writes a small sample device (database + iPod_Control folders) into a folder,
// for trying the tools without an iPod.
#include "DatabaseBuilder.h"

#include <iostream>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: make-sample-device FOLDER\n";
        return 2;
    }
    using namespace testsupport;
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
