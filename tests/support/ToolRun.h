#pragma once

#include <string>

namespace testsupport {

// What a command printed and how it ended.
struct ToolRun {
    int exitCode = -1;  // -1 when it did not exit by itself
    std::string out;
    std::string errors;
};

// Runs a shell command with standard input not a terminal and collects its
// output and its errors apart.
ToolRun runCommand(const std::string& command);

}  // namespace testsupport
