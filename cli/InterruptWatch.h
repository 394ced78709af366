#pragma once

#include <atomic>

namespace cli {

// While alive, Ctrl-C does not end the program but is noted, so the running
// operation can be cancelled cleanly. A second Ctrl-C ends the program.
class InterruptWatch {
public:
    InterruptWatch();
    ~InterruptWatch();
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

    static bool interrupted();
    // The flag a cancellable operation looks at.
    static const std::atomic<bool>& flag();
};

}  // namespace cli
