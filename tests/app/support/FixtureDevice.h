#pragma once

#include "DatabaseBuilder.h"
#include "TempDir.h"

#include <QString>

#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

// A device folder with a database of the given tracks; media files are put in
// place by the test where it needs them.
struct FixtureDevice {
    TempDir dir;

    explicit FixtureDevice(const std::vector<TrackFixture>& tracks) : FixtureDevice(typicalDatabase(tracks)) {}
    explicit FixtureDevice(const DatabaseFixture& database) { installDatabase(dir.path(), buildDatabase(database)); }
    QString root() const { return QString::fromStdString(dir.path().string()); }
    // The file a location string such as ":iPod_Control:Music:F00:ABCD.mp3" names.
    std::filesystem::path file(const std::string& location) const;
};

// A short real MP3 made by ffmpeg; empty when ffmpeg is not available.
std::string makeMp3(const std::filesystem::path& path, int seconds = 1, int frequency = 440);

}  // namespace testsupport
