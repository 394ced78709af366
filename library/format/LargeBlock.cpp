#include "LargeBlock.h"

#include <sonarchive/RawBytes.h>

#include <cstring>
#include <new>

#include <sys/mman.h>

namespace sonarchive {

namespace {

constexpr std::size_t kMappedFrom = 4u << 20;
constexpr std::size_t kLargePage = 2u << 20;

std::size_t roundedUp(std::size_t size, std::size_t unit)
{
    return (size + unit - 1) / unit * unit;
}

}  // namespace

LargeBlock allocateLargeBlock(std::size_t size)
{
    if (size < kMappedFrom)
        return {new char[size ? size : 1], size, false};
    // One large page more than needed, so the block can start on a large-page boundary.
    const std::size_t length = roundedUp(size, kLargePage) + kLargePage;
    void* area = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (area == MAP_FAILED)
        throw std::bad_alloc();
    const auto start = reinterpret_cast<std::uintptr_t>(area);
    const std::uintptr_t aligned = roundedUp(start, kLargePage);
    // Give back the unaligned head and the unused tail; the rest is the block.
    if (aligned > start)
        ::munmap(area, aligned - start);
    const std::size_t kept = roundedUp(size, kLargePage);
    if (start + length > aligned + kept)
        ::munmap(reinterpret_cast<void*>(aligned + kept), start + length - (aligned + kept));
    (void)::madvise(reinterpret_cast<void*>(aligned), kept, MADV_HUGEPAGE);  // a hint: small pages work too
    return {reinterpret_cast<char*>(aligned), kept, true};
}

void releaseLargeBlock(const LargeBlock& block) noexcept
{
    if (block.mapped)
        ::munmap(block.data, block.size);
    else
        delete[] block.data;
}

ByteBuffer::ByteBuffer(std::size_t size) : m_size(size)
{
    const LargeBlock block = allocateLargeBlock(size);
    m_data = block.data;
    m_capacity = block.size;
    m_mapped = block.mapped;
}

ByteBuffer::ByteBuffer(std::string_view bytes) : ByteBuffer(bytes.size())
{
    if (!bytes.empty())
        std::memcpy(m_data, bytes.data(), bytes.size());
}

ByteBuffer::~ByteBuffer()
{
    if (m_data)
        releaseLargeBlock({m_data, m_capacity, m_mapped});
}

}  // namespace sonarchive
