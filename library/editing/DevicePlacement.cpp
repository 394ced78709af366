#include "DevicePlacement.h"

#include "AsciiCase.h"

#include <sonarchive/ByteText.h>

#include <unordered_set>
#include <vector>

namespace sonarchive {

namespace fs = std::filesystem;

namespace {

char16_t randomLetter(std::mt19937_64& random)
{
    return static_cast<char16_t>(u'A' + std::uniform_int_distribution<int>(0, 25)(random));
}

std::vector<std::string> listFolder(const fs::path& folder)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        names.push_back(it->path().filename().string());
    return names;
}

std::string twoDigits(int n)
{
    return std::string{static_cast<char>('0' + n / 10), static_cast<char>('0' + n % 10)};
}

struct Namer {
    std::mt19937_64& random;
    const std::u16string& extension;

    std::string fileName(int letterCount) const
    {
        std::u16string name;
        for (int i = 0; i < letterCount; ++i)
            name.push_back(randomLetter(random));
        return toUtf8(name + (extension.empty() ? std::u16string() : u"." + extension));
    }
};

// The first folder name A00 to Z99 not taken (names compare without regard to
// case: "a00" on the device takes "A00"); empty when all are.
std::string firstFreeFolder(const std::vector<std::string>& entries)
{
    std::unordered_set<std::string> taken;
    for (const std::string& name : entries)
        if (name.size() == 3)
            taken.insert(upperAscii(name));
    for (char letter = 'A'; letter <= 'Z'; ++letter)
        for (int number = 0; number < 100; ++number)
            if (const std::string folder = letter + twoDigits(number); !taken.contains(folder))
                return folder;
    return {};
}

}  // namespace

DevicePlacement chooseDevicePath(const fs::path& root, const fs::path& music, const std::u16string& extension,
                                 std::mt19937_64& random)
{
    // The music folder as it is spelled on the device, so locations name it exactly.
    std::string musicBelowRoot = music.lexically_relative(root).generic_string();
    if (musicBelowRoot.empty() || musicBelowRoot.starts_with(".."))
        musicBelowRoot = "iPod_Control/Music";
    const Namer name{random, extension};

    DevicePlacement placement;
    const std::vector<std::string> entries = listFolder(music);
    if (entries.empty()) {
        fs::create_directories(music);
        if (fs::create_directory(music / "A00"))
            placement.createdFolder = music / "A00";
        placement.devicePath = "/" + musicBelowRoot + "/A00/" + name.fileName(5);
        return placement;
    }
    if (const std::string folder = firstFreeFolder(entries); !folder.empty()) {
        if (fs::create_directory(music / folder))
            placement.createdFolder = music / folder;
        placement.devicePath = "/" + musicBelowRoot + "/" + folder + "/" + name.fileName(4);
        return placement;
    }
    // Every folder name is taken: a random existing folder and a file name not used there.
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (;;) {
        const std::string folder = toUtf8(std::u16string(1, randomLetter(random))) + twoDigits(static_cast<int>(unit(random) * 99 + 0.5));
        const std::string path = "/" + musicBelowRoot + "/" + folder + "/" + name.fileName(5);
        std::error_code ec;
        if (!fs::exists(root / path.substr(1), ec)) {
            placement.devicePath = path;
            return placement;
        }
    }
}

}  // namespace sonarchive
