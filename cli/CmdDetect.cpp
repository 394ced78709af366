#include "CliContext.h"
#include "Commands.h"

#include <CLI/CLI.hpp>

#include <iostream>

namespace cli {

using namespace sonarchive;

namespace {

// Prints the root of the iPod's drive. The library's questions (a drive without
// its database folder, no drive, no device) go to the terminal; without a
// terminal they are answered No, and nothing found means exit status 1.
int runDetect(const CliContext& context, bool confirm)
{
    TerminalHost host(TerminalHost::repairModeFrom(context.repair));
    const auto library = createSonarchive();
    library->setUserInterfaceHost(&host);
    const std::u16string drive = library->GetiPodDriveString(0, u"sonarchive", confirm);
    if (drive.empty()) {
        std::cerr << "sonarchive: no iPod drive found or chosen\n";
        return kExitFailure;
    }
    std::cout << toUtf8(drive) << '\n';
    return kExitOk;
}

}  // namespace

void registerDetectCommand(CLI::App& app, CliContext& context)
{
    auto* command = app.add_subcommand("detect", "Find the mounted iPod and print its drive root");
    auto confirm = std::make_shared<bool>(false);
    command->add_flag("--confirm", *confirm, "Show the detected drive as a notice before printing it");
    onChosen(*command, context, [&context, confirm] { return runDetect(context, *confirm); });
}

}  // namespace cli
