#include "CliContext.h"
#include "Commands.h"
#include "Covers.h"
#include "JsonRecords.h"

#include <CLI/CLI.hpp>

#include <charconv>
#include <cstdio>
#include <iostream>

namespace cli {

using namespace sonarchive;

namespace {

// "★★★☆☆" for three stars; nothing for an unrated track.
void appendStars(std::string& out, int stars)
{
    if (stars <= 0)
        return;
    for (int i = 0; i < 5; ++i)
        out += i < stars ? "\u2605" : "\u2606";
}

int runList(const CliContext& context, const std::string& root, bool json)
{
    DeviceSession session = loadDevice(context, root);
    if (!session.library)
        return kExitFailure;
    std::fflush(stdout);
    if (json) {
        const ArtworkDatabase covers = loadCovers(session);
        TrackJsonStream out(stdout);
        session.library->forEachTrackInfo([&](const TrackInfo& info) { out.add(info, covers.hasCover(info)); });
        out.finish();
        return std::fflush(stdout) == 0 ? kExitOk : kExitFailure;
    }
    std::string lines;
    session.library->forEachTrackInfo([&](const TrackInfo& info) {
        char number[24];
        lines.append(number, std::to_chars(number, number + sizeof number, info.iTrackID).ptr);
        for (const std::u16string* text : {&info.sTitle, &info.sArtist, &info.sAlbum}) {
            lines.push_back('\t');
            appendUtf8(lines, *text);
        }
        lines.push_back('\t');
        if (const int year = trackYear(info))
            lines.append(number, std::to_chars(number, number + sizeof number, year).ptr);
        lines.push_back('\t');
        appendUtf8(lines, info.sLocation);
        // Plays and stars came later: after the file, so that the columns before stay where they were.
        lines.push_back('\t');
        lines.append(number, std::to_chars(number, number + sizeof number, info.iPlayCount).ptr);
        lines.push_back('\t');
        appendStars(lines, ratingStars(info.iRating));
        lines.push_back('\n');
        if (lines.size() >= (1 << 16)) {
            std::fwrite(lines.data(), 1, lines.size(), stdout);
            lines.clear();
        }
    });
    std::fwrite(lines.data(), 1, lines.size(), stdout);
    return std::fflush(stdout) == 0 ? kExitOk : kExitFailure;
}

}  // namespace

void registerListCommand(CLI::App& app, CliContext& context)
{
    auto* command = app.add_subcommand("list", "List every track of the device: id, title, artist, album, year, file, plays, stars");
    auto root = addDeviceRoot(*command);
    auto json = std::make_shared<bool>(false);
    command->add_flag("--json", *json, "Print every track's full information as JSON, with whether it has a cover (hasCover)");
    onChosen(*command, context, [&context, root, json] { return runList(context, *root, *json); });
}

}  // namespace cli
