// Where a track added to the device goes: a folder of its own below the music
// folder (A00 to Z99) and a random file name.

#include "AsciiCase.h"
#include "clsSonarchive.h"

#include <unordered_set>

namespace sonarchive {

namespace fs = std::filesystem;

char16_t clsSonarchive::RandomLetter()
{
    return static_cast<char16_t>(u'A' + std::uniform_int_distribution<int>(0, 25)(m_random));
}

std::int32_t clsSonarchive::RandomPosition()
{
    return std::uniform_int_distribution<std::int32_t>(1, 4999)(m_random);
}

std::vector<std::string> clsSonarchive::ListFolder(const fs::path& folder)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        names.push_back(it->path().filename().string());
    return names;
}

clsSonarchive::DevicePlacement clsSonarchive::ChooseDevicePath(const std::u16string& extension)
{
    const fs::path root = toUtf8(siPodDrive);
    const fs::path music = devicePath(u"iPod_Control/Music");
    // The music folder as it is spelled on the device, so locations name it exactly.
    std::string musicBelowRoot = music.lexically_relative(root).generic_string();
    if (musicBelowRoot.empty() || musicBelowRoot.starts_with(".."))
        musicBelowRoot = "iPod_Control/Music";

    const auto letters = [this](int count) {
        std::u16string name;
        for (int i = 0; i < count; ++i)
            name.push_back(RandomLetter());
        return name;
    };
    const auto fileName = [&](int letterCount) {
        return toUtf8(letters(letterCount) + (extension.empty() ? std::u16string() : u"." + extension));
    };
    const auto twoDigits = [](int n) { return std::string{static_cast<char>('0' + n / 10), static_cast<char>('0' + n % 10)}; };

    DevicePlacement placement;
    const std::vector<std::string> entries = ListFolder(music);
    if (entries.empty()) {
        fs::create_directories(music);
        if (fs::create_directory(music / "A00"))
            placement.createdFolder = music / "A00";
        placement.devicePath = "/" + musicBelowRoot + "/A00/" + fileName(5);
        m_paths.clear();
        return placement;
    }

    // Names compare without regard to case: "a00" on the device takes "A00".
    std::unordered_set<std::string> taken;
    for (const std::string& name : entries)
        if (name.size() == 3)
            taken.insert(upperAscii(name));
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        for (int number = 0; number < 100; ++number) {
            const std::string folder = letter + twoDigits(number);
            if (taken.contains(folder))
                continue;
            if (fs::create_directory(music / folder))
                placement.createdFolder = music / folder;
            placement.devicePath = "/" + musicBelowRoot + "/" + folder + "/" + fileName(4);
            m_paths.clear();
            return placement;
        }
    }

    // Every folder name is taken: a random existing folder and a file name not used there.
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (;;) {
        const std::string folder = toUtf8(std::u16string(1, RandomLetter())) + twoDigits(static_cast<int>(unit(m_random) * 99 + 0.5));
        const std::string path = "/" + musicBelowRoot + "/" + folder + "/" + fileName(5);
        std::error_code ec;
        if (!fs::exists(root / path.substr(1), ec)) {
            placement.devicePath = path;
            return placement;
        }
    }
}

}  // namespace sonarchive
