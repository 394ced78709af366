#pragma once

#include <cstddef>

namespace sonarchive {

// Storage for the largest things the library holds, a loaded file and the
// image of a new one. From 4 MiB on it is mapped on its own and asked for large
// pages where the system allows them: a database of 80 MB is then filled with a
// fraction of the page faults and copied far faster. Mapped storage starts
// zeroed; smaller blocks come from the heap uninitialised.
struct LargeBlock {
    char* data = nullptr;
    std::size_t size = 0;
    bool mapped = false;  // and so already zero
};

LargeBlock allocateLargeBlock(std::size_t size);  // throws std::bad_alloc
void releaseLargeBlock(const LargeBlock& block) noexcept;

}  // namespace sonarchive
