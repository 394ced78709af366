#pragma once

#include "LargeBlock.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sonarchive {

// The new database file, assembled with positioned writes: writing past the
// end grows it with zero bytes, and a later write over earlier bytes replaces
// them, exactly as positioned writes into a new file would.
//
// Held whole in memory, or streamed to a file through a window of memory: the
// image grows forward, so what lies behind the window is written out as it
// grows, and the few writes that land behind it (counts filled in once their
// chunk is written) go to their place in the file.
class ImageBuffer {
public:
    static constexpr std::size_t kWindow = 4u << 20;

    // Whole in memory.
    ImageBuffer() = default;
    // Streamed to the open file `fd` (named `name` in failures), which must be
    // empty, through a window of `window` bytes.
    ImageBuffer(int fd, std::string name, std::size_t window = kWindow);
    ~ImageBuffer();
    ImageBuffer(const ImageBuffer&) = delete;
    ImageBuffer& operator=(const ImageBuffer&) = delete;

    void write(std::int64_t pos, std::string_view bytes);
    // Room for `count` bytes at `pos`, grown with zeros; the place to write them,
    // valid until the next call.
    char* at(std::int64_t pos, std::size_t count);
    // Room for an image of about `size` bytes (whole in memory), so it grows without moving.
    void reserve(std::size_t size);
    std::int64_t size() const { return m_size; }
    // The whole image; in memory only.
    std::string_view view() const { return {m_block.data, static_cast<std::size_t>(m_size)}; }
    // Streamed: writes what is still in memory. Throws when the file cannot take it.
    void finish();

private:
    bool streamed() const { return m_fd >= 0; }
    void applyPatch();
    void makeRoom(std::int64_t pos, std::size_t count);
    void moveTo(std::size_t capacity);
    void flushTo(std::int64_t end);

    static constexpr std::int64_t kLimit = 0x7fffffff;  // sizes are 32-bit fields
    LargeBlock m_block;
    std::int64_t m_size = 0;         // bytes in the image
    std::int64_t m_windowStart = 0;  // image offset of m_block.data (streamed)
    int m_fd = -1;
    std::string m_name;
    // A write behind the window waits here until the next call.
    std::vector<char> m_patch;
    std::int64_t m_patchAt = -1;
};

}  // namespace sonarchive
