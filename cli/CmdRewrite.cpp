#include "CliContext.h"
#include "Commands.h"

#include <CLI/CLI.hpp>

namespace cli {

namespace {

int runRewrite(const CliContext& context, const std::string& root, bool allowUnsigned)
{
    DeviceSession session = loadDeviceToChange(context, root, allowUnsigned);
    if (!session.library)
        return kExitFailure;
    return writeDatabase(session);
}

}  // namespace

void registerRewriteCommand(CLI::App& app, CliContext& context)
{
    auto* command = app.add_subcommand("rewrite", "Load the device database and write it back");
    auto root = addDeviceRoot(*command);
    auto allowUnsigned = std::make_shared<bool>(false);
    addAllowUnsignedFlag(*command, allowUnsigned);
    onChosen(*command, context, [&context, root, allowUnsigned] { return runRewrite(context, *root, *allowUnsigned); });
}

}  // namespace cli
