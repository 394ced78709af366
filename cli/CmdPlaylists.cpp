#include "CliContext.h"
#include "Commands.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <iostream>

namespace cli {

using namespace sonarchive;

namespace {

int runPlaylists(const CliContext& context, const std::string& root, bool json)
{
    DeviceSession session = loadDevice(context, root);
    if (!session.library)
        return kExitFailure;
    const std::vector<PlaylistView> playlists = session.library->playlists();
    if (!json) {
        for (const PlaylistView& p : playlists)
            std::cout << p.index << '\t' << playlistKindName(p.kind) << '\t' << p.trackIds.size() << '\t' << toUtf8(p.name) << '\n';
        return kExitOk;
    }
    nlohmann::ordered_json all = nlohmann::ordered_json::array();
    for (const PlaylistView& p : playlists)
        all.push_back({{"index", p.index}, {"name", toUtf8(p.name)}, {"kind", playlistKindName(p.kind)}, {"ids", p.trackIds}});
    std::cout << all.dump(2) << '\n';
    return kExitOk;
}

}  // namespace

void registerPlaylistsCommand(CLI::App& app, CliContext& context)
{
    auto* command = app.add_subcommand("playlists", "List the device's playlists: index, kind, track count, name");
    auto root = std::make_shared<std::string>();
    auto json = std::make_shared<bool>(false);
    command->add_option("DEVICE_ROOT", *root, "The device's mount folder, or 'auto'")->required();
    command->add_flag("--json", *json, "Print each playlist with the ids of its tracks as JSON");
    command->callback([&context, root, json] { context.action = [&context, root, json] { return runPlaylists(context, *root, *json); }; });
}

}  // namespace cli
