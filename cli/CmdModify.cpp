#include "CliContext.h"
#include "Commands.h"

#include <CLI/CLI.hpp>

#include <iostream>
#include <optional>

namespace cli {

using namespace sonarchive;

namespace {

struct Changes {
    std::optional<std::string> title, album, artist, genre, comment, composer, year;
    std::optional<std::int32_t> startMs, stopMs;
    std::optional<int> skipWhenShuffle, rememberPosition;
    bool allowUnsigned = false;
};

int runModify(const CliContext& context, const std::string& root, std::int32_t id, const Changes& c)
{
    DeviceSession session = loadDeviceToChange(context, root, c.allowUnsigned);
    if (!session.library)
        return kExitFailure;
    TrackInfo info;
    try {
        info = session.library->GetTrackInfo(id);
    } catch (const std::out_of_range&) {
        std::cerr << "sonarchive: no track with id " << id << '\n';
        return kExitFailure;
    }
    const std::pair<std::u16string TrackInfo::*, const std::optional<std::string>*> texts[] = {
        {&TrackInfo::sTitle, &c.title},     {&TrackInfo::sAlbum, &c.album},     {&TrackInfo::sArtist, &c.artist},
        {&TrackInfo::sGenre, &c.genre},     {&TrackInfo::sComment, &c.comment}, {&TrackInfo::sComposer, &c.composer}};
    for (const auto& [field, value] : texts)
        if (*value)
            info.*field = fromUtf8(**value);
    if (c.year)
        info.sYear = fromUtf8(*c.year);  // stored as the integer the field holds
    if (c.startMs)
        info.iStartTime = *c.startMs;
    if (c.stopMs)
        info.iStopTime = *c.stopMs;
    if (c.skipWhenShuffle)
        info.iSkipWhenShuffle = static_cast<std::uint8_t>(*c.skipWhenShuffle);
    if (c.rememberPosition)
        info.iRememberPlayBackPos = static_cast<std::uint8_t>(*c.rememberPosition);
    session.library->ModifyTrack(id, info);
    return writeDatabase(session);
}

}  // namespace

void registerModifyCommand(CLI::App& app, CliContext& context)
{
    auto* command = app.add_subcommand("modify", "Change a track's texts and playback fields and write the database");
    auto root = addDeviceRoot(*command);
    auto id = std::make_shared<std::int32_t>(0);
    auto c = std::make_shared<Changes>();
    command->add_option("ID", *id, "Track id (see 'list')")->required();
    command->add_option("--title", c->title);
    command->add_option("--album", c->album);
    command->add_option("--artist", c->artist);
    command->add_option("--genre", c->genre);
    command->add_option("--comment", c->comment);
    command->add_option("--composer", c->composer);
    command->add_option("--year", c->year, "The year, 1 to 9999; 0 or empty for none")
        ->check([](const std::string& value) {
            const bool digits = value.size() <= 4 && value.find_first_not_of("0123456789") == std::string::npos;
            return digits ? std::string() : "a year is a number of at most 4 digits";
        });
    command->add_option("--start-ms", c->startMs, "Playback start time");
    command->add_option("--stop-ms", c->stopMs, "Playback stop time");
    command->add_option("--skip-when-shuffle", c->skipWhenShuffle)->check(CLI::IsMember({0, 1}));
    command->add_option("--remember-position", c->rememberPosition)->check(CLI::IsMember({0, 1}));
    command->add_flag("--allow-unsigned", c->allowUnsigned,
                      "Write a signed database although its signature can't be renewed (the iPod may then show no music "
                      "until its own software signs it again)");
    onChosen(*command, context, [&context, root, id, c] { return runModify(context, *root, *id, *c); });
}

}  // namespace cli
