#include "CliContext.h"
#include "Commands.h"
#include "JsonRecords.h"

#include <CLI/CLI.hpp>

#include <iostream>

namespace cli {

using namespace sonarchive;

namespace {

// Every record of a loaded database, as JSON.
nlohmann::ordered_json records(const _clsSonarchive& library)
{
    nlohmann::ordered_json out;
    // A signed database is written back only as it was read (see --allow-unsigned).
    out["signed"] = library.signatureScheme() != 0;
    out["signatureScheme"] = library.signatureScheme();
    out["MHBD"] = toJson(library.GetDBInfo());
    out["MHSD_T"] = toJson(library.GetAllTracks());
    out["playlists"] = toJson(library.GetAllPlayLists());
    out["podcasts"] = toJson(library.GetAllPodcasts());
    out["MHSD_A"] = toJson(library.GetAllAlbumPlayLists());
    out["MHSD_NP"] = toJson(library.GetAllNewPlayLists());
    out["sinceLastSync"] = toJson(library.deviceNotes());
    return out;
}

}  // namespace

void registerDumpCommand(CLI::App& app, CliContext& context)
{
    auto* command = app.add_subcommand("dump", "Print every record of the device database as JSON");
    auto root = addDeviceRoot(*command);
    auto json = std::make_shared<bool>(true);
    command->add_flag("--json", *json, "JSON output (the only form)");
    // The flag's storage lives as long as the command's action.
    onChosen(*command, context, [&context, root, json] {
        const DeviceSession session = loadDevice(context, *root);
        if (!session.library)
            return kExitFailure;
        std::cout << records(*session.library).dump(2) << '\n';
        return kExitOk;
    });
}

}  // namespace cli
