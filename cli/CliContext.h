#pragma once

#include "TerminalHost.h"

#include <sonarchive/Sonarchive.h>

#include <CLI/CLI.hpp>

#include <functional>
#include <memory>
#include <string>

namespace cli {

enum ExitCode { kExitOk = 0, kExitFailure = 1, kExitUsage = 2 };

// State shared by the commands: global options and the chosen command's action.
struct CliContext {
    std::string repair = "no";
    std::function<int()> action;
};

// A library object connected to the terminal, with a device chosen.
struct DeviceSession {
    std::unique_ptr<sonarchive::_clsSonarchive> library;
    std::unique_ptr<TerminalHost> host;
};

// Creates the library for DEVICE_ROOT ("auto" detects the device: an iPod the
// desktop's disk service knows, mounted when it is not, else what the library
// finds itself; a missing trailing "/" is added). Returns no library when no
// device could be chosen.
// `allowUnsigned` lets its writes replace a signed database (--allow-unsigned).
DeviceSession openDevice(const CliContext& context, const std::string& deviceRoot, bool allowUnsigned = false);

// openDevice() followed by LoadiPodDB(); no library when either fails.
DeviceSession loadDevice(const CliContext& context, const std::string& deviceRoot, bool allowUnsigned = false);

// The same for the commands that change the device: once it is chosen, they
// first say why it can't be changed when it can't (an HFS+ or read-only mount).
DeviceSession openDeviceToChange(const CliContext& context, const std::string& deviceRoot, bool allowUnsigned = false);
DeviceSession loadDeviceToChange(const CliContext& context, const std::string& deviceRoot, bool allowUnsigned = false);

// Writes the database and tells whether it went through; a failure's reason
// goes to stderr.
int writeDatabase(DeviceSession& session);

// "sonarchive: <what>: <the library's last failure>" on stderr.
void reportFailure(const sonarchive::_clsSonarchive& library, const std::string& what);

// The DEVICE_ROOT argument of the commands that work on a device: the mount
// folder, or "auto". The first form keeps the value where the action can reach it.
std::shared_ptr<std::string> addDeviceRoot(CLI::App& command);
void addDeviceRoot(CLI::App& command, std::string& root);

// Makes `run` the tool's action when `command` is the one given; what `run`
// captures lives as long as the action.
void onChosen(CLI::App& command, CliContext& context, std::function<int()> run);

// The --allow-unsigned flag of the commands that write.
void addAllowUnsignedFlag(CLI::App& command, const std::shared_ptr<bool>& allow);

// Runs an action, turning escaping errors into a message and exit code 1.
int guarded(const std::function<int()>& action);

}  // namespace cli
