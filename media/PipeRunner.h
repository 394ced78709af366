#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace sonarchive {

// Runs a program with its standard output and standard error on one pipe and no
// standard input, capturing what it prints into `outputFile`, whose first line is
// `commandLine`. `arguments` holds the program (a path, or a name looked up on
// PATH) and its arguments; no shell is involved. `pumpMessages` runs at least
// every 40 ms while the program runs. An empty working folder means the current one.
//
// Returns true when the program ran to its end, false when it was still running
// after `timeout` and was ended (with every process it started).
// Throws a media Error 12001 when the pipe cannot be made, 12003 when the program
// cannot be started, and the system's error when the capture cannot be written.
bool RunPiped(const std::string& commandLine, const std::vector<std::string>& arguments,
              const std::filesystem::path& outputFile, const std::filesystem::path& workingFolder,
              const std::function<void()>& pumpMessages,
              std::chrono::milliseconds timeout = std::chrono::seconds(60));

}  // namespace sonarchive
