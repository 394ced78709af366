#pragma once

#include <sonarchive/Export.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace sonarchive {

// An immutable block of bytes shared by the records made from it (a loaded file).
class SONARCHIVE_EXPORT ByteBuffer {
public:
    ByteBuffer() = default;
    // Uninitialised storage of `size` bytes to be filled before it is shared.
    explicit ByteBuffer(std::size_t size);
    explicit ByteBuffer(std::string_view bytes);
    ~ByteBuffer();
    ByteBuffer(const ByteBuffer&) = delete;
    ByteBuffer& operator=(const ByteBuffer&) = delete;

    char* data() { return m_data; }
    std::size_t size() const { return m_size; }
    std::string_view view() const { return {m_data, m_size}; }

private:
    char* m_data = nullptr;
    std::size_t m_size = 0;
    std::size_t m_capacity = 0;
    bool m_mapped = false;
};

// A byte string held as raw bytes of the device file. Large raw copies (the whole
// file, a section, a track record) are slices of one immutable buffer shared by
// every record of a load; a copy of the value shares the bytes but can never
// change them, so callers still get independent values.
class RawBytes {
public:
    RawBytes() = default;
    RawBytes(std::string_view bytes)  // NOLINT(google-explicit-constructor): a byte string is its value
        : m_buffer(std::make_shared<const ByteBuffer>(bytes))
        , m_size(static_cast<std::uint32_t>(bytes.size()))
    {
    }
    RawBytes(const std::string& bytes) : RawBytes(std::string_view(bytes)) {}
    RawBytes(const char* bytes) : RawBytes(std::string_view(bytes)) {}

    // A slice [offset, offset + size) of a shared buffer, clipped to its end.
    RawBytes(std::shared_ptr<const ByteBuffer> buffer, std::size_t offset, std::size_t size)
        : m_buffer(std::move(buffer))
    {
        const std::size_t available = m_buffer && offset < m_buffer->size() ? m_buffer->size() - offset : 0;
        m_offset = static_cast<std::uint32_t>(available ? offset : 0);
        m_size = static_cast<std::uint32_t>(size < available ? size : available);
    }

    std::string_view view() const { return m_buffer ? m_buffer->view().substr(m_offset, m_size) : std::string_view(); }
    std::string str() const { return std::string(view()); }
    std::size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }

    friend bool operator==(const RawBytes& a, const RawBytes& b) { return a.view() == b.view(); }

private:
    std::shared_ptr<const ByteBuffer> m_buffer;
    std::uint32_t m_offset = 0;
    std::uint32_t m_size = 0;
};

}  // namespace sonarchive
