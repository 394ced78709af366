#include "CliContext.h"
#include "Commands.h"
#include "JsonRecords.h"

#include <CLI/CLI.hpp>

#include <filesystem>
#include <iostream>
#include <vector>

namespace cli {

using namespace sonarchive;

namespace {

void printInfo(const TrackInfo& info)
{
    const auto line = [](const char* name, const auto& value) { std::cout << "  " << name << ": " << value << '\n'; };
    line("sTitle", toUtf8(info.sTitle));
    line("sArtist", toUtf8(info.sArtist));
    line("sAlbum", toUtf8(info.sAlbum));
    line("sComposer", toUtf8(info.sComposer));
    line("sGenre", toUtf8(info.sGenre));
    line("sYear", toUtf8(info.sYear));
    line("sComment", toUtf8(info.sComment));
    line("sFiletype", toUtf8(info.sFiletype));
    line("iFileSize", info.iFileSize);
    line("iTrackTimLength", info.iTrackTimLength);
    line("iType", info.iType);
    line("iBitrateInKbs", info.iBitrateInKbs);
    line("iSampleRateInHz", info.iSampleRateInHz);
    line("IsMovie", int(info.IsMovie));
    line("IsVBR", int(info.IsVBR));
    line("sVideoCodec", toUtf8(info.sVideoCodec));
    line("sAudioCodec", toUtf8(info.sAudioCodec));
    line("isFileSupported", info.isFileSupported ? "true" : "false");
    line("iTrackNumber", info.iTrackNumber);
    line("iDiscNumber", info.iDiscNumber);
    line("year", trackYear(info));
}

int runProbe(const CliContext& context, const std::vector<std::string>& files, bool json)
{
    TerminalHost host(TerminalHost::repairModeFrom(context.repair));
    const auto library = createSonarchive();
    library->setUserInterfaceHost(&host);

    int status = kExitOk;
    nlohmann::ordered_json all = nlohmann::ordered_json::array();
    for (const std::string& file : files) {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(file, ec)) {
            std::cerr << "sonarchive: " << file << ": no such file\n";
            status = kExitFailure;
            continue;
        }
        TrackInfo info;
        info.sLocation = fromUtf8(file);
        if (!library->SetTrackInfo(info.sLocation, info))
            status = kExitFailure;  // the library has shown why
        // Why the device can't play it, when the analysis could tell.
        const Failure failure = library->lastFailure();
        const std::string reason = failure.code == FailureCode::Unsupported ? failure.message : std::string();
        if (json) {
            nlohmann::ordered_json one = toJson(info);
            one["unplayable"] = reason;
            all.push_back(std::move(one));
        } else {
            std::cout << file << '\n';
            printInfo(info);
            if (!reason.empty())
                std::cout << "  unplayable: " << reason << '\n';
        }
    }
    if (json)
        std::cout << all.dump(2) << '\n';
    return status;
}

}  // namespace

void registerProbeCommand(CLI::App& app, CliContext& context)
{
    auto* command = app.add_subcommand("probe", "Analyse media files as adding them would: tags, type, length, rates");
    auto files = std::make_shared<std::vector<std::string>>();
    auto json = std::make_shared<bool>(false);
    command->add_option("FILE", *files, "Media files to analyse")->required();
    command->add_flag("--json", *json, "Print each file's track information as JSON");
    onChosen(*command, context, [&context, files, json] { return runProbe(context, *files, *json); });
}

}  // namespace cli
