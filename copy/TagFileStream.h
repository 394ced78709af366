#pragma once

#include <taglib/tiostream.h>

#include <filesystem>
#include <string>

namespace trackcopy {

// The file the tag library reads and writes, over a plain descriptor. Unlike
// the library's own stream it keeps the first failed write (a full disk, a
// device gone), so a save that silently left a damaged file is known; reads
// never ask for more than the file holds, so a damaged size field cannot make
// a huge allocation. A file opened for writing of up to kInMemoryLimit bytes
// is read whole and worked on in memory, and what changed is written back by
// flush(): a save that moves the audio then costs one write.
class TagFileStream final : public TagLib::IOStream {
public:
    enum class Access { Read, ReadWrite };
    // Files up to this size are worked on in memory. A larger one is edited in
    // place: a tag that fits its old room (as those of most ripped music do)
    // then costs a write of the tag alone.
    static constexpr long kInMemoryLimit = 1L << 20;

    TagFileStream(const std::filesystem::path& path, Access access);
    ~TagFileStream() override;
    TagFileStream(const TagFileStream&) = delete;
    TagFileStream& operator=(const TagFileStream&) = delete;

    // The error number of the open or of the first read or write that failed; 0 when none.
    int error() const { return m_error; }
    // Whether any byte of the file was changed (or a write to it was tried).
    bool written() const { return m_written; }
    // Writes what was changed in memory to the file. False when that failed
    // (see error()).
    bool flush();

    TagLib::FileName name() const override;
    TagLib::ByteVector readBlock(unsigned long length) override;
    void writeBlock(const TagLib::ByteVector& data) override;
    void insert(const TagLib::ByteVector& data, unsigned long start = 0, unsigned long replace = 0) override;
    void removeBlock(unsigned long start = 0, unsigned long length = 0) override;
    bool readOnly() const override;
    bool isOpen() const override;
    void seek(long offset, Position p = Beginning) override;
    long tell() const override;
    long length() override;
    void truncate(long length) override;

private:
    bool putAt(const char* data, std::size_t size, long offset);
    bool putOnDisk(const char* data, std::size_t size, long offset);
    void changedInMemory(std::size_t from, std::size_t to);
    bool getAt(char* data, std::size_t size, long offset);
    // Moves the bytes from `from` to the end of the file so that they start at `to`.
    bool moveTail(long from, long to);
    void fail(int error);

    std::string m_path;
    int m_fd = -1;
    bool m_writable = false;
    long m_position = 0;
    long m_size = 0;
    int m_error = 0;
    bool m_written = false;
    bool m_inMemory = false;
    // The bytes in memory that differ from the file's: from..to (or the end).
    std::size_t m_dirtyFrom = std::string::npos, m_dirtyTo = 0;
    std::string m_bytes;  // the whole file, when worked on in memory
};

}  // namespace trackcopy
