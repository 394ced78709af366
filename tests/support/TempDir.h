#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

namespace testsupport {

// A fresh folder below the system's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    // The folder as a drive root: its path with a trailing "/".
    std::u16string root() const;

private:
    std::filesystem::path m_path;
};

void writeFile(const std::filesystem::path& path, const std::string& bytes);
std::string readFile(const std::filesystem::path& path);
// Bytes no compressor or deduplicator can shrink, the same for the same seed.
std::string randomBytes(std::size_t size, unsigned seed);

}  // namespace testsupport
