#include "FixtureDevice.h"

#include <cstdlib>

namespace testsupport {

std::filesystem::path FixtureDevice::file(const std::string& location) const
{
    std::string relative = location;
    for (char& c : relative)
        if (c == ':')
            c = '/';
    while (!relative.empty() && relative.front() == '/')
        relative.erase(0, 1);
    return dir.path() / relative;
}

std::string makeMp3(const std::filesystem::path& path, int seconds, int frequency)
{
    std::filesystem::create_directories(path.parent_path());
    const std::string command = "ffmpeg -nostdin -loglevel error -y -f lavfi -i sine=frequency=" + std::to_string(frequency) +
                                ":duration=" + std::to_string(seconds) + " -b:a 64k '" + path.string() + "'";
    if (std::system(command.c_str()) != 0)
        return {};
    return readFile(path);
}

}  // namespace testsupport
