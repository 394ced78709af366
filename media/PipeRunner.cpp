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
        throw MediaError(MediaError::kProcessCreation, "Could not create piped process. LastError " + std::to_string(ENOENT));
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
        throw MediaError(MediaError::kProcessCreation, "Could not create piped process. LastError " + std::to_string(error));
    return pid;
}

}  // namespace

bool RunPiped(const std::string& commandLine, const std::vector<std::string>& arguments,
              const std::filesystem::path& outputFile, const std::filesystem::path& workingFolder,
              const std::function<void()>& pumpMessages, std::chrono::milliseconds timeout)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + timeout;
    const auto pump = [&] {
        if (pumpMessages)
            pumpMessages();
    };

    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        throw MediaError(MediaError::kPipeCreation, "Could not create pipe LastError " + std::to_string(errno));
    FileDescriptor readEnd(fds[0]);
    FileDescriptor writeEnd(fds[1]);

    const pid_t pid = startChild(arguments, workingFolder, writeEnd.get());
    writeEnd.reset();

    std::unique_ptr<std::FILE, int (*)(std::FILE*)> capture(std::fopen(outputFile.c_str(), "wb"), &std::fclose);
    if (!capture) {
        const int error = errno;
        endProcessGroup(pid, false);
        throw MediaError::fromErrno(error);
    }
    std::fputs(commandLine.c_str(), capture.get());
    std::fputc('\n', capture.get());
    ::fcntl(readEnd.get(), F_SETFL, ::fcntl(readEnd.get(), F_GETFL) | O_NONBLOCK);

    bool exited = false;
    bool closed = false;
    try {
        char piece[kPiece];
        while (!(exited && closed)) {
            pump();
            if (!closed) {
                pollfd watch{readEnd.get(), POLLIN, 0};
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
                ::poll(&watch, 1, static_cast<int>(std::clamp<long long>(left, 0, kPumpIntervalMs)));
                // What is there now, a piece at a time; a flood of output still lets
                // the messages run and the deadline be checked.
                for (int pieces = 0; pieces < 16; ++pieces) {
                    const ssize_t n = ::read(readEnd.get(), piece, sizeof piece);
                    if (n > 0) {
                        std::fwrite(piece, 1, static_cast<std::size_t>(n), capture.get());
                        continue;
                    }
                    if (n == 0)
                        closed = true;  // every writer has gone
                    else if (errno == EINTR)
                        continue;
                    else if (errno != EAGAIN && errno != EWOULDBLOCK)
                        closed = true;
                    break;
                }
            } else {
                ::poll(nullptr, 0, 5);  // output done; waiting for the exit status
            }
            if (!exited) {
                int status = 0;
                exited = ::waitpid(pid, &status, WNOHANG) == pid;
            }
            if (!(exited && closed) && Clock::now() >= deadline) {
                // Still running (or something it started still holds the pipe): end it all.
                endProcessGroup(pid, exited);
                return false;
            }
        }
    } catch (...) {
        endProcessGroup(pid, exited);  // the caller's message pump failed: leave nothing running
        throw;
    }
    pump();
    if (std::fflush(capture.get()) != 0)
        throw MediaError::fromErrno(errno);
    return true;
}

}  // namespace sonarchive
