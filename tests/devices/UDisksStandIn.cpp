#include "UDisksStandIn.h"

#include <sdbus-c++/sdbus-c++.h>

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <signal.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace testsupport {

namespace {

constexpr auto kStartTimeout = std::chrono::seconds(20);

bool onPath(const std::string& program)
{
    const char* path = std::getenv("PATH");
    std::istringstream folders(path ? path : "/usr/bin:/bin");
    for (std::string folder; std::getline(folders, folder, ':');)
        if (!folder.empty() && access((fs::path(folder) / program).c_str(), X_OK) == 0)
            return true;
    return false;
}

// Starts `argv` with its standard output on `outFd` (or the log file) and its
// errors in the log file. The child only calls what is safe after a fork.
pid_t spawn(const std::vector<std::string>& argv, int outFd, const fs::path& log)
{
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const std::string logPath = log.string();
    const pid_t pid = fork();
    if (pid != 0)
        return pid;
    const int logFd = open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    dup2(outFd >= 0 ? outFd : logFd, STDOUT_FILENO);
    dup2(logFd, STDERR_FILENO);
    const int devNull = open("/dev/null", O_RDONLY);
    dup2(devNull, STDIN_FILENO);
    execvp(args[0], args.data());
    _exit(127);
}

void stop(pid_t& pid)
{
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    pid = -1;
}

std::string quotedJson(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + '"';
}

void rememberAddress(bool& had, std::string& saved)
{
    const char* address = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
    had = address != nullptr;
    saved = address ? address : "";
}

void restoreAddress(bool had, const std::string& saved)
{
    if (had)
        setenv("DBUS_SYSTEM_BUS_ADDRESS", saved.c_str(), 1);
    else
        unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
}

}  // namespace

std::string UDisksStandIn::missingParts()
{
    if (!onPath("dbus-daemon"))
        return "no dbus-daemon (Debian package dbus): the disk service's stand-in can't run";
    if (std::system("/usr/bin/python3 -c 'import dbusmock' >/dev/null 2>&1") != 0)
        return "no python3-dbusmock: the disk service's stand-in can't run";
    return {};
}

UDisksStandIn::UDisksStandIn(const std::vector<std::string>& plugged)
{
    rememberAddress(m_hadAddress, m_savedAddress);
    if (startBus() && startService(plugged))
        waitForService();
}

UDisksStandIn::~UDisksStandIn()
{
    stop(m_service);
    stop(m_bus);
    restoreAddress(m_hadAddress, m_savedAddress);
}

bool UDisksStandIn::startBus()
{
    const fs::path config = m_dir.path() / "bus.conf";
    std::ofstream(config) << "<busconfig>\n  <type>system</type>\n  <listen>unix:path=" << (m_dir.path() / "bus").string()
                          << "</listen>\n  <auth>EXTERNAL</auth>\n  <policy context=\"default\">\n"
                             "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n    <allow eavesdrop=\"true\"/>\n"
                             "    <allow own=\"*\"/>\n  </policy>\n</busconfig>\n";
    int out[2];
    if (pipe(out) != 0) {
        m_failure = "no pipe for dbus-daemon";
        return false;
    }
    m_bus = spawn({"dbus-daemon", "--config-file=" + config.string(), "--nofork", "--print-address=1"}, out[1],
                  m_dir.path() / "bus.log");
    close(out[1]);
    // The address is its first line.
    pollfd ready{out[0], POLLIN, 0};
    char buffer[512];
    const ssize_t got = poll(&ready, 1, static_cast<int>(std::chrono::milliseconds(kStartTimeout).count())) > 0
                            ? read(out[0], buffer, sizeof buffer - 1) : -1;
    close(out[0]);
    if (got <= 0) {
        m_failure = "dbus-daemon did not start: see " + (m_dir.path() / "bus.log").string();
        return false;
    }
    m_address.assign(buffer, static_cast<std::size_t>(got));
    m_address.erase(m_address.find_last_not_of("\r\n") + 1);
    setenv("DBUS_SYSTEM_BUS_ADDRESS", m_address.c_str(), 1);
    return true;
}

bool UDisksStandIn::startService(const std::vector<std::string>& plugged)
{
    std::string disks;
    for (const std::string& disk : plugged)
        disks += (disks.empty() ? "" : ", ") + quotedJson(disk);
    const std::string parameters = "{\"mount_root\": " + quotedJson((m_dir.path() / "media").string()) + ", \"journal\": "
                                   + quotedJson((m_dir.path() / "journal").string()) + ", \"plugged\": [" + disks + "]}";
    m_service = spawn({"/usr/bin/python3", "-m", "dbusmock", "--system", "--template", UDISKS_STANDIN_TEMPLATE, "--parameters",
                       parameters},
                      -1, m_dir.path() / "service.log");
    return m_service > 0;
}

bool UDisksStandIn::waitForService()
{
    const auto deadline = std::chrono::steady_clock::now() + kStartTimeout;
    while (std::chrono::steady_clock::now() < deadline) {
        try {
            auto bus = sdbus::createSystemBusConnection();
            bool owned = false;
            sdbus::createProxy(*bus, "org.freedesktop.DBus", "/org/freedesktop/DBus")
                ->callMethod("NameHasOwner")
                .onInterface("org.freedesktop.DBus")
                .withArguments(std::string("org.freedesktop.UDisks2"))
                .storeResultsTo(owned);
            if (owned)
                return true;
        } catch (const sdbus::Error&) {
        }
        if (waitpid(m_service, nullptr, WNOHANG) == m_service) {
            m_service = -1;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::ifstream log(m_dir.path() / "service.log");
    m_failure = "the disk service's stand-in did not start:\n" + std::string(std::istreambuf_iterator<char>(log), {});
    return false;
}

std::vector<std::string> UDisksStandIn::journal() const
{
    std::vector<std::string> lines;
    std::ifstream in(m_dir.path() / "journal");
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

void UDisksStandIn::control(const std::string& method, const std::string& disk)
{
    auto bus = sdbus::createSystemBusConnection();
    sdbus::createProxy(*bus, "org.freedesktop.UDisks2", "/org/freedesktop/UDisks2")
        ->callMethod(method)
        .onInterface("org.freedesktop.DBus.Mock")
        .withArguments(disk);
}

void UDisksStandIn::plug(const std::string& disk)
{
    control("Plug", disk);
}

void UDisksStandIn::unplug(const std::string& disk)
{
    control("Unplug", disk);
}

void UDisksStandIn::mountQuietly(const std::string& disk)
{
    control("MountQuietly", disk);
}

void UDisksStandIn::setBusy(const std::string& disk, bool busy)
{
    auto bus = sdbus::createSystemBusConnection();
    sdbus::createProxy(*bus, "org.freedesktop.UDisks2", "/org/freedesktop/UDisks2")
        ->callMethod("SetBusy")
        .onInterface("org.freedesktop.DBus.Mock")
        .withArguments(disk, busy);
}

void UDisksStandIn::setSlow(const std::string& disk, double seconds)
{
    auto bus = sdbus::createSystemBusConnection();
    sdbus::createProxy(*bus, "org.freedesktop.UDisks2", "/org/freedesktop/UDisks2")
        ->callMethod("SetSlow")
        .onInterface("org.freedesktop.DBus.Mock")
        .withArguments(disk, seconds);
}

NoSystemBus::NoSystemBus()
{
    rememberAddress(m_hadAddress, m_savedAddress);
    setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + (m_dir.path() / "no-bus").string()).c_str(), 1);
}

NoSystemBus::~NoSystemBus()
{
    restoreAddress(m_hadAddress, m_savedAddress);
}

}  // namespace testsupport
