#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace sonarchive {

// Every byte written at the file's position, or at `offset`; interrupted and
// short writes go on, a full device fails in plain words (sonarchive::Error).
void writeAll(int fd, std::string_view bytes, const std::string& name);
void writeAllAt(int fd, std::string_view bytes, std::int64_t offset, const std::string& name);

// For tests: called before each step of a file replacement ("create", "write",
// "sync", "rename") and at other named points of a write; it may throw to
// simulate a failing device.
void setFileFaultHook(std::function<void(const char* step)> hook);
void fileFaultPoint(const char* step);

}  // namespace sonarchive
