#include "InterruptWatch.h"

#include <csignal>

namespace cli {

namespace {

volatile std::sig_atomic_t g_interrupted = 0;
struct sigaction g_previous {};

extern "C" void noteInterrupt(int)
{
    g_interrupted = 1;
}

}  // namespace

InterruptWatch::InterruptWatch()
{
    g_interrupted = 0;
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
    return g_interrupted != 0;
}

}  // namespace cli
