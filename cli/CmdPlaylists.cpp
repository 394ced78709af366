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

int runNewPlaylist(const CliContext& context, const std::string& root, const std::string& name, const std::vector<std::int32_t>& ids,
                   bool allowUnsigned)
{
    DeviceSession session = loadDeviceToChange(context, root, allowUnsigned);
    if (!session.library)
        return kExitFailure;
    const std::optional<std::int32_t> index = session.library->addPlaylist(fromUtf8(name), ids);
    if (!index) {
        std::cerr << "sonarchive: cannot make the playlist: " << session.library->lastFailure().message << '\n';
        return kExitFailure;
    }
    const int written = writeDatabase(session);
    if (written == kExitOk)
        std::cout << *index << '\n';
    return written;
}

}  // namespace

void registerPlaylistsCommand(CLI::App& app, CliContext& context)
{
    auto* command = app.add_subcommand("playlists", "List the device's playlists: index, kind, track count, name");
    auto root = addDeviceRoot(*command);
    auto json = std::make_shared<bool>(false);
    command->add_flag("--json", *json, "Print each playlist with the ids of its tracks as JSON");
    onChosen(*command, context, [&context, root, json] { return runPlaylists(context, *root, *json); });

    auto* make = app.add_subcommand("new-playlist", "Add a playlist of these tracks, in this order, and write the database");
    auto deviceRoot = addDeviceRoot(*make);
    auto name = std::make_shared<std::string>();
    auto ids = std::make_shared<std::vector<std::int32_t>>();
    make->add_option("NAME", *name, "The playlist's name")->required();
    make->add_option("ID", *ids, "Track ids (see 'list'); one may be given more than once");
    auto allowUnsigned = std::make_shared<bool>(false);
    addAllowUnsignedFlag(*make, allowUnsigned);
    onChosen(*make, context, [&context, deviceRoot, name, ids, allowUnsigned] {
        return runNewPlaylist(context, *deviceRoot, *name, *ids, *allowUnsigned);
    });
}

}  // namespace cli
