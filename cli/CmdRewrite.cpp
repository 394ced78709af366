#include "CliContext.h"
#include "Commands.h"

#include <CLI/CLI.hpp>

namespace cli {

namespace {

int runRewrite(const CliContext& context, const std::string& root)
{
    DeviceSession session = loadDevice(context, root);
    if (!session.library)
        return kExitFailure;
    return writeDatabase(session);
}

}  // namespace

void registerRewriteCommand(CLI::App& app, CliContext& context)
{
    auto* command = app.add_subcommand("rewrite", "Load the device database and write it back");
    auto root = std::make_shared<std::string>();
    command->add_option("DEVICE_ROOT", *root, "The device's mount folder, or 'auto'")->required();
    command->callback([&context, root] { context.action = [&context, root] { return runRewrite(context, *root); }; });
}

}  // namespace cli
