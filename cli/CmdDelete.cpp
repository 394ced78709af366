#include "CliContext.h"
#include "Commands.h"

#include <CLI/CLI.hpp>

#include <iostream>

namespace cli {

using namespace sonarchive;

namespace {

int runDelete(const CliContext& context, const std::string& root, const std::vector<std::int32_t>& ids, bool allowUnsigned)
{
    DeviceSession session = loadDeviceToChange(context, root, allowUnsigned);
    if (!session.library)
        return kExitFailure;
    int status = kExitOk;
    for (std::int32_t id : ids) {
        try {
            (void)session.library->GetTrackInfo(id);
        } catch (const std::out_of_range&) {
            std::cerr << "sonarchive: no track with id " << id << '\n';
            status = kExitFailure;
            continue;
        }
        std::int32_t trackId = id;
        session.library->DeleteTrack(trackId);
    }
    const int written = writeDatabase(session);
    return written != kExitOk ? written : status;
}

}  // namespace

void registerDeleteCommand(CLI::App& app, CliContext& context)
{
    auto* command = app.add_subcommand("delete", "Delete tracks (and their media files) and write the database once");
    auto root = addDeviceRoot(*command);
    auto ids = std::make_shared<std::vector<std::int32_t>>();
    command->add_option("ID", *ids, "Track ids (see 'list')")->required();
    auto allowUnsigned = std::make_shared<bool>(false);
    addAllowUnsignedFlag(*command, allowUnsigned);
    onChosen(*command, context, [&context, root, ids, allowUnsigned] { return runDelete(context, *root, *ids, *allowUnsigned); });
}

}  // namespace cli
