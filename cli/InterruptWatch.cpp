#include "InterruptWatch.h"

#include <csignal>

namespace cli {

namespace {

std::atomic<bool> g_interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from the signal handler");
struct sigaction g_previous {};

extern "C" void noteInterrupt(int)
{
    g_interrupted = true;
}

}  // namespace

InterruptWatch::InterruptWatch()
{
    g_interrupted = false;
    struct sigaction action {};
    action.sa_handler = noteInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;  // the next Ctrl-C has its usual effect
    sigaction(SIGINT, &action, &g_previous);
}

InterruptWatch::~InterruptWatch()
{
    sigaction(SIGINT, &g_previous, nullptr);
}

bool InterruptWatch::interrupted()
{
    return g_interrupted.load();
}

const std::atomic<bool>& InterruptWatch::flag()
{
    return g_interrupted;
}

}  // namespace cli
