#include "CliContext.h"
#include "Commands.h"

#include <CLI/CLI.hpp>

#include <iostream>

namespace cli {

using namespace sonarchive;

namespace {

int runReset(const CliContext& context, const std::string& root)
{
    DeviceSession session = openDevice(context, root);
    if (!session.library)
        return kExitFailure;
    if (!session.library->ResetiPodDB()) {
        std::cerr << "sonarchive: the database of " << toUtf8(session.library->iPodDriveLetter()) << " was not reset\n";
        return kExitFailure;
    }
    std::cout << "The database of " << toUtf8(session.library->iPodDriveLetter())
              << " is now empty; the previous one is kept as iPod_Control/iTunes/Sonarchive.bak when there was one\n";
    return kExitOk;
}

}  // namespace

void registerResetCommand(CLI::App& app, CliContext& context)
{
    auto* command = app.add_subcommand("reset", "Replace the device's database with an empty one (media files stay)");
    auto root = std::make_shared<std::string>();
    command->add_option("DEVICE_ROOT", *root, "The device's mount folder, or 'auto'")->required();
    command->callback([&context, root] { context.action = [&context, root] { return runReset(context, *root); }; });
}

}  // namespace cli
