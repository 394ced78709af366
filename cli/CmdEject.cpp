#include "CliContext.h"
#include "Commands.h"

#include <DeviceChoice.h>
#include <UDisks2Lister.h>

#include <CLI/CLI.hpp>

#include <iostream>

namespace cli {

namespace {

// The iPod at `root` ("auto": the one detection takes) among those the disk
// service knows.
std::optional<devices::Device> iPodToEject(devices::UDisks2Lister& lister, const std::string& root)
{
    if (root == "auto") {
        std::optional<devices::Device> device = devices::chooseiPod(lister, false);
        if (!device)
            std::cerr << "sonarchive: no iPod found to eject\n";
        return device;
    }
    const std::vector<devices::Device> found = lister.devices();
    if (const devices::Device* device = devices::deviceHolding(found, root))
        return *device;
    std::cerr << "sonarchive: no iPod the desktop's disk service knows is mounted at " << root << '\n';
    return std::nullopt;
}

// Unmounts the iPod's file systems and powers it off through the desktop's disk
// service, so that it shows it can be unplugged. Nothing is forced.
int runEject(const std::string& root)
{
    devices::UDisks2Lister lister;
    std::optional<devices::Device> device;
    try {
        device = iPodToEject(lister, root);
    } catch (const devices::DeviceError& e) {
        std::cerr << "sonarchive: cannot eject: " << e.what() << '\n';
        return kExitFailure;
    }
    if (!device)
        return kExitFailure;
    try {
        const devices::EjectResult result = lister.eject(*device);
        for (const std::string& folder : result.unmounted)
            std::cout << "Unmounted " << folder << '\n';
        std::cout << device->name
                  << (result.poweredOff ? " is powered off" : " is unmounted but could not be powered off")
                  << "; it can be unplugged now\n";
        return kExitOk;
    } catch (const devices::DeviceError& e) {
        if (e.kind() == devices::DeviceError::Kind::Busy)
            std::cerr << "sonarchive: the iPod is still in use (" << e.what()
                      << "); close the programs and terminals that use it and eject again. Nothing was forced\n";
        else
            std::cerr << "sonarchive: " << device->name << " was not ejected: " << e.what() << '\n';
        return kExitFailure;
    }
}

}  // namespace

void registerEjectCommand(CLI::App& app, CliContext& context)
{
    auto* command = app.add_subcommand("eject", "Unmount the iPod and power it off, so that it can be unplugged "
                                                 "(through the desktop's disk service, UDisks2)");
    auto root = std::make_shared<std::string>("auto");
    command->add_option("DEVICE_ROOT", *root, "The device's mount folder, or 'auto' (the default)");
    onChosen(*command, context, [root] { return runEject(*root); });
}

}  // namespace cli
