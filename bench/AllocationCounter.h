#pragma once

#include <cstddef>

namespace bench {

// Heap bytes in use right now and the most in use since the last resetPeak().
std::size_t heapInUse();
std::size_t heapPeak();
void resetPeak();

}  // namespace bench
