#include "CliContext.h"
#include "Commands.h"

#include <CLI/CLI.hpp>

#include <iostream>

namespace cli {

using namespace sonarchive;

namespace {

int runReset(const CliContext& context, const std::string& root)
{
    DeviceSession session = openDeviceToChange(context, root);
    if (!session.library)
        return kExitFailure;
    if (!session.library->ResetiPodDB()) {
        reportFailure(*session.library, "the database of " + toUtf8(session.library->iPodDriveLetter()) + " was not reset");
        return kExitFailure;
    }
    std::cout << "The database of " << toUtf8(session.library->iPodDriveLetter())
              << " is now empty; the previous one is kept as iPod_Control/iTunes/Sonarchive.bak when there was one";
    if (session.library->replacedSignatureScheme() != 0)
        std::cout << ". The previous database was signed: the iPod's own desktop software will have to sign the new one "
                     "before the iPod shows music again";
    std::cout << '\n';
    return kExitOk;
}

}  // namespace

void registerResetCommand(CLI::App& app, CliContext& context)
{
    auto* command = app.add_subcommand("reset", "Replace the device's database with an empty one (media files stay)");
    auto root = addDeviceRoot(*command);
    onChosen(*command, context, [&context, root] { return runReset(context, *root); });
}

}  // namespace cli
