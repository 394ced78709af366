// Lists the tracks of a device through the installed library. A device without
// a database is given the empty one first, from the library's installed template.
#include <sonarchive/Sonarchive.h>

#include <filesystem>
#include <iostream>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: consumer DEVICE_ROOT\n";
        return 2;
    }
    const std::filesystem::path root = argv[1];
    std::unique_ptr<sonarchive::_clsSonarchive> library = sonarchive::createSonarchive();
    library->initlaize(0, u"consumer", sonarchive::fromUtf8(root.string() + "/"));

    if (!std::filesystem::exists(root / "iPod_Control" / "iTunes" / "Sonarchive") && !library->ResetiPodDB()) {
        std::cerr << "consumer: no empty database: " << library->lastFailure().message << '\n';
        return 1;
    }
    if (!library->LoadiPodDB()) {
        std::cerr << "consumer: not loaded: " << library->lastFailure().message << '\n';
        return 1;
    }
    int tracks = 0;
    library->forEachTrackInfo([&](const sonarchive::TrackInfo& track) {
        std::cout << sonarchive::toUtf8(track.sTitle) << '\n';
        ++tracks;
    });
    std::cout << tracks << " tracks\n";
    return 0;
}
