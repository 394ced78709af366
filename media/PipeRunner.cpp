#include "PipeRunner.h"
#include "FileDescriptor.h"

#include "MediaError.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <memory>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace sonarchive {

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kPumpIntervalMs = 40;
constexpr std::size_t kPiece = 4096;

struct SpawnSetup {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    SpawnSetup()
    {
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_init(&attributes);
    }
    ~SpawnSetup()
    {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }
};

// The child and everything it started: it leads its own process group.
void endProcessGroup(pid_t pid, bool reaped)
{
    ::kill(-pid, SIGKILL);
    if (!reaped) {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
}

pid_t startChild(const std::vector<std::string>& arguments, const std::filesystem::path& workingFolder, int writeEnd)
{
    if (arguments.empty())
        throw mediaerror::processCreation(ENOENT);
    SpawnSetup setup;
    posix_spawn_file_actions_addopen(&setup.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&setup.actions, writeEnd, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&setup.actions, writeEnd, STDERR_FILENO);
    if (!workingFolder.empty())
        posix_spawn_file_actions_addchdir_np(&setup.actions, workingFolder.c_str());

    sigset_t noSignals, defaults;
    sigemptyset(&noSignals);
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigmask(&setup.attributes, &noSignals);
    posix_spawnattr_setsigdefault(&setup.attributes, &defaults);
    posix_spawnattr_setpgroup(&setup.attributes, 0);
    posix_spawnattr_setflags(&setup.attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    pid_t pid = 0;
    const int error = ::posix_spawnp(&pid, argv[0], &setup.actions, &setup.attributes, argv.data(), environ);
    if (error != 0)
        throw mediaerror::processCreation(error);
    return pid;
}

// A running child: the leader of its process group, the read end of the pipe
// holding its output, and the capture file.
struct Child {
    pid_t pid;
    int output;
    std::FILE* capture;
};

// Copies what the pipe holds now into the capture, a piece at a time and at most
// 16 pieces, so a flood of output still lets the messages run and the deadline
// be checked. True when every writer has gone.
bool copyAvailable(const Child& child)
{
    char piece[kPiece];
    for (int pieces = 0; pieces < 16; ++pieces) {
        const ssize_t n = ::read(child.output, piece, sizeof piece);
        if (n > 0) {
            std::fwrite(piece, 1, static_cast<std::size_t>(n), child.capture);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        return n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
    }
    return false;
}

// Waits for output until the next pump is due, then copies it; true when the
// output has ended.
bool awaitOutput(const Child& child, Clock::time_point deadline)
{
    pollfd watch{child.output, POLLIN, 0};
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    ::poll(&watch, 1, static_cast<int>(std::clamp<long long>(left, 0, kPumpIntervalMs)));
    return copyAvailable(child);
}

// Copies the child's output until it has exited and closed its output, letting
// the caller's messages run meanwhile. False when the deadline came first: the
// child and everything it started are ended, as they are when the message pump
// throws (its exception goes on).
bool captureUntilExit(const Child& child, const std::function<void()>& pumpMessages, Clock::time_point deadline)
{
    bool exited = false;
    bool closed = false;
    try {
        while (!(exited && closed)) {
            if (pumpMessages)
                pumpMessages();
            if (!closed)
                closed = awaitOutput(child, deadline);
            else
                ::poll(nullptr, 0, 5);  // output done; waiting for the exit status
            if (!exited) {
                int status = 0;
                exited = ::waitpid(child.pid, &status, WNOHANG) == child.pid;
            }
            if (!(exited && closed) && Clock::now() >= deadline) {
                // Still running (or something it started still holds the pipe): end it all.
                endProcessGroup(child.pid, exited);
                return false;
            }
        }
    } catch (...) {
        endProcessGroup(child.pid, exited);  // the caller's message pump failed: leave nothing running
        throw;
    }
    return true;
}

}  // namespace

bool RunPiped(const std::string& commandLine, const std::vector<std::string>& arguments,
              const std::filesystem::path& outputFile, const std::filesystem::path& workingFolder,
              const std::function<void()>& pumpMessages, std::chrono::milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        throw mediaerror::pipeCreation(errno);
    FileDescriptor readEnd(fds[0]);
    FileDescriptor writeEnd(fds[1]);

    const pid_t pid = startChild(arguments, workingFolder, writeEnd.get());
    writeEnd.reset();

    std::unique_ptr<std::FILE, int (*)(std::FILE*)> capture(std::fopen(outputFile.c_str(), "wb"), &std::fclose);
    if (!capture) {
        const int error = errno;
        endProcessGroup(pid, false);
        throw mediaerror::fromErrno(error);
    }
    std::fputs(commandLine.c_str(), capture.get());
    std::fputc('\n', capture.get());
    ::fcntl(readEnd.get(), F_SETFL, ::fcntl(readEnd.get(), F_GETFL) | O_NONBLOCK);

    const Child child{pid, readEnd.get(), capture.get()};
    if (!captureUntilExit(child, pumpMessages, deadline))
        return false;
    if (pumpMessages)
        pumpMessages();
    if (std::fflush(capture.get()) != 0)
        throw mediaerror::fromErrno(errno);
    return true;
}

}  // namespace sonarchive
