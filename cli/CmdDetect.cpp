#include "CliContext.h"
#include "Commands.h"

#include <DeviceChoice.h>
#include <DeviceManager.h>
#include <UDisks2Lister.h>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <iostream>

namespace cli {

using namespace sonarchive;

namespace {

struct DetectOptions {
    bool confirm = false;
    bool mount = false;
    bool json = false;
};

// Every iPod the listers find, with where it was found: the desktop's disk
// service ("udisks") or the library's own look at the system ("sysfs").
int printDevices(bool mount)
{
    devices::DeviceManager manager = devices::DeviceManager::forSystem();
    if (mount) {
        try {
            devices::chooseiPod(*manager.lister(devices::DeviceSource::UDisks), true);
        } catch (const devices::DeviceError& e) {
            if (e.kind() != devices::DeviceError::Kind::Unavailable)
                throw;
        }
    }
    nlohmann::ordered_json all = nlohmann::ordered_json::array();
    for (const devices::Device& d : manager.devices())
        all.push_back({{"source", devices::sourceName(d.source)},
                       {"name", d.name},
                       {"label", d.label},
                       {"device", d.deviceFile},
                       {"size", d.size},
                       {"fileSystem", d.fileSystemType},
                       {"mountPoint", d.isMounted() ? nlohmann::ordered_json(d.mountPoint) : nlohmann::ordered_json()},
                       {"readOnly", d.readOnly}});
    std::cout << all.dump(2) << '\n';
    return kExitOk;
}

// The iPod the disk service knows, mounted when asked to; its drive root is
// printed when it holds the database folder. Nothing when the service knows none.
std::optional<int> detectThroughService(TerminalHost& host, const DetectOptions& options, std::string& unavailable)
{
    devices::UDisks2Lister lister;
    std::optional<devices::Device> device;
    try {
        device = devices::chooseiPod(lister, options.mount);
    } catch (const devices::DeviceError& e) {
        if (e.kind() != devices::DeviceError::Kind::Unavailable)
            throw;
        unavailable = e.what();
    }
    if (!device)
        return std::nullopt;
    const std::string root = device->driveRoot();
    if (device->isMounted() && devices::hasDatabaseFolder(root)) {
        if (options.confirm)
            host.messageBox(u"iPod Drive is detect as " + fromUtf8(root) + u", If this is incorrect, so please Manually specify the iPod Drive",
                            u"sonarchive", MessageButtons::OK, MessageIcon::Information);
        std::cout << root << '\n';
        return kExitOk;
    }
    if (device->isMounted())
        std::cerr << "sonarchive: " << device->name << " is mounted at " << device->mountPoint
                  << ", but it holds no iPod_Control/iTunes folder\n";
    // An iPod not mounted may be the one meant.
    const std::vector<devices::Device> found = lister.devices();
    const auto unmounted = std::find_if(found.rbegin(), found.rend(), [](const devices::Device& d) { return !d.isMounted(); });
    if (unmounted != found.rend())
        std::cerr << "sonarchive: " << unmounted->name << " (" << unmounted->deviceFile
                  << ") is not mounted; 'sonarchive detect --mount' mounts it\n";
    return kExitFailure;
}

// Prints the root of the iPod's drive: the one the desktop's disk service
// knows, else the one the library finds. The library's questions (a drive
// without its database folder, no drive, no device) go to the terminal;
// without a terminal they are answered No, and nothing found means exit status 1.
int runDetect(const CliContext& context, const DetectOptions& options)
{
    if (options.json)
        return printDevices(options.mount);
    TerminalHost host(TerminalHost::repairModeFrom(context.repair));
    std::string unavailable;
    if (const std::optional<int> status = detectThroughService(host, options, unavailable))
        return *status;
    const auto library = createSonarchive();
    library->setUserInterfaceHost(&host);
    const std::u16string drive = library->GetiPodDriveString(0, u"sonarchive", options.confirm);
    if (drive.empty()) {
        std::cerr << "sonarchive: no iPod drive found or chosen\n";
        if (options.mount && !unavailable.empty())
            std::cerr << "sonarchive: an iPod that is not mounted can't be mounted: " << unavailable << '\n';
        return kExitFailure;
    }
    std::cout << toUtf8(drive) << '\n';
    return kExitOk;
}

}  // namespace

void registerDetectCommand(CLI::App& app, CliContext& context)
{
    auto* command = app.add_subcommand("detect", "Find the iPod and print its drive root");
    auto options = std::make_shared<DetectOptions>();
    command->add_flag("--confirm", options->confirm, "Show the detected drive as a notice before printing it");
    command->add_flag("--mount", options->mount,
                      "Mount the iPod first when it is not (through the desktop's disk service, UDisks2)");
    command->add_flag("--json", options->json,
                      "Print every iPod found as JSON: name, label, device, size, file system, mount point, and its "
                      "source (udisks or sysfs)");
    onChosen(*command, context, [&context, options] { return runDetect(context, *options); });
}

}  // namespace cli
