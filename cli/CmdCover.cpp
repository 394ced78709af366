#include "CliContext.h"
#include "Commands.h"
#include "Covers.h"

#include <AlbumCovers.h>
#include <CoverEncoding.h>

#include <CLI/CLI.hpp>

#include <algorithm>
#include <iostream>

namespace cli {

using namespace sonarchive;

namespace {

struct CoverOptions {
    std::string root;
    std::int32_t id = 0;
    std::string output;
};

int runCover(const CliContext& context, const CoverOptions& options)
{
    std::string extension = std::filesystem::path(options.output).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(), [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; });
    if (extension != ".png" && extension != ".jpg" && extension != ".jpeg") {
        std::cerr << "sonarchive: the cover is written as PNG or JPEG: name the file OUT.png or OUT.jpg\n";
        return kExitUsage;
    }
    DeviceSession session = loadDevice(context, options.root);
    if (!session.library)
        return kExitFailure;
    std::optional<TrackInfo> track;
    session.library->forEachTrackInfo([&](const TrackInfo& info) {
        if (!track && info.iTrackID == options.id && info.iTrackID != -1)
            track = info;
    });
    if (!track) {
        std::cerr << "sonarchive: no track with id " << options.id << '\n';
        return kExitFailure;
    }
    ArtworkDatabase covers = loadCovers(session);
    const std::optional<Cover> cover = covers.cover(*track);
    reportArtworkWarnings(covers);
    if (!cover) {
        std::cerr << "sonarchive: track " << options.id << " has no cover\n";
        return kExitFailure;
    }
    std::string error;
    if (!trackcopy::writeFileWhole(options.output, extension == ".png" ? trackcopy::encodePng(*cover) : trackcopy::encodeJpeg(*cover),
                                   error)) {
        std::cerr << "sonarchive: " << error << '\n';
        return kExitFailure;
    }
    std::cout << options.output << ": the " << cover->width << "x" << cover->height << " cover of track " << options.id << '\n';
    return kExitOk;
}

}  // namespace

void registerCoverCommand(CLI::App& app, CliContext& context)
{
    auto* command = app.add_subcommand("cover", "Write a track's cover, as the iPod keeps it, to a PNG or JPEG file");
    auto options = std::make_shared<CoverOptions>();
    addDeviceRoot(*command, options->root);
    command->add_option("ID", options->id, "The track's id (see 'list')")->required();
    command->add_option("OUT", options->output, "The picture file to write: OUT.png or OUT.jpg")->required();
    onChosen(*command, context, [&context, options] { return runCover(context, *options); });
}

}  // namespace cli
