#include "CliContext.h"
#include "Commands.h"
#include "JsonRecords.h"

#include <CLI/CLI.hpp>

#include <iostream>

namespace cli {

using namespace sonarchive;

namespace {

int runList(const CliContext& context, const std::string& root, bool json)
{
    DeviceSession session = loadDevice(context, root);
    if (!session.library)
        return kExitFailure;
    const MHSD_T tracks = session.library->GetAllTracks();
    const MHLT& list = tracks.m_mhlt;

    nlohmann::ordered_json all = nlohmann::ordered_json::array();
    for (const MHIT& track : validEntries(list.m_mhit, list.iNumberOfllTracks)) {
        const TrackInfo info = session.library->GetTrackInfo(track.iUniqueID);
        if (json) {
            all.push_back(toJson(info));
            continue;
        }
        const int year = trackYear(info);
        std::cout << info.iTrackID << '\t' << toUtf8(info.sTitle) << '\t' << toUtf8(info.sArtist) << '\t'
                  << toUtf8(info.sAlbum) << '\t' << (year ? std::to_string(year) : std::string()) << '\t'
                  << toUtf8(info.sLocation) << '\n';
    }
    if (json)
        std::cout << all.dump(2) << '\n';
    return kExitOk;
}

}  // namespace

void registerListCommand(CLI::App& app, CliContext& context)
{
    auto* command = app.add_subcommand("list", "List every track of the device: id, title, artist, album, year, file");
    auto root = std::make_shared<std::string>();
    auto json = std::make_shared<bool>(false);
    command->add_option("DEVICE_ROOT", *root, "The device's mount folder, or 'auto'")->required();
    command->add_flag("--json", *json, "Print every track's full information as JSON");
    command->callback([&context, root, json] { context.action = [&context, root, json] { return runList(context, *root, *json); }; });
}

}  // namespace cli
