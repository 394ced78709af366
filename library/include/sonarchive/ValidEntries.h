#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace sonarchive {

// The valid entries of a record list: a list holds as many as its record's
// count field says, never more than it has, none for a negative count.
template <typename T>
std::span<const T> validEntries(const std::vector<T>& list, std::int64_t count)
{
    return {list.data(), static_cast<std::size_t>(std::clamp<std::int64_t>(count, 0, static_cast<std::int64_t>(list.size())))};
}

template <typename T>
std::span<T> validEntries(std::vector<T>& list, std::int64_t count)
{
    return {list.data(), static_cast<std::size_t>(std::clamp<std::int64_t>(count, 0, static_cast<std::int64_t>(list.size())))};
}

}  // namespace sonarchive
