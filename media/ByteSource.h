#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace sonarchive {

// Random-access bytes of a media file: the readers only ever ask for a stretch
// at a position and get what exists there, never more.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::int64_t size() const = 0;
    // Up to `count` bytes from `pos`; fewer (or none) where the data ends.
    // Throws an Io Error when the medium fails to deliver bytes that exist.
    virtual std::string read(std::int64_t pos, std::int64_t count) const = 0;

    // Exactly `count` bytes from `pos`, the missing tail filled with zeros.
    std::string readPadded(std::int64_t pos, std::int64_t count) const;
};

// Bytes held in memory (hand-built fixtures, fuzz input).
class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::string_view data) : m_data(data) {}
    std::int64_t size() const override { return static_cast<std::int64_t>(m_data.size()); }
    std::string read(std::int64_t pos, std::int64_t count) const override;

private:
    std::string_view m_data;
};

// A file opened for reading only; closed when the source goes.
class FileSource final : public ByteSource {
public:
    ~FileSource() override;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    // Null when the file does not exist or cannot be opened for reading.
    static std::unique_ptr<FileSource> open(const std::filesystem::path& path);

    std::int64_t size() const override { return m_size; }
    std::string read(std::int64_t pos, std::int64_t count) const override;

private:
    FileSource(int fd, std::int64_t size) : m_fd(fd), m_size(size) {}
    int m_fd = -1;
    std::int64_t m_size = 0;
};

}  // namespace sonarchive
