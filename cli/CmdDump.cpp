#include "CliContext.h"
#include "Commands.h"
#include "JsonRecords.h"

#include <CLI/CLI.hpp>

#include <iostream>

namespace cli {

using namespace sonarchive;

namespace {

int runDump(const CliContext& context, const std::string& root)
{
    DeviceSession session = loadDevice(context, root);
    if (!session.library)
        return kExitFailure;
    const auto& library = *session.library;
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
    std::cout << out.dump(2) << '\n';
    return kExitOk;
}

}  // namespace

void registerDumpCommand(CLI::App& app, CliContext& context)
{
    auto* command = app.add_subcommand("dump", "Print every record of the device database as JSON");
    auto root = std::make_shared<std::string>();
    command->add_option("DEVICE_ROOT", *root, "The device's mount folder, or 'auto'")->required();
    auto json = std::make_shared<bool>(true);
    command->add_flag("--json", *json, "JSON output (the only form)");
    // The flag's storage lives as long as the command's action.
    command->callback([&context, root, json] { context.action = [&context, root, json] { return runDump(context, *root); }; });
}

}  // namespace cli
