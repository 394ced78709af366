#include "CliContext.h"
#include "Commands.h"
#include "Covers.h"
#include "InterruptWatch.h"

#include <BatchCopy.h>
#include <CopyPlan.h>
#include <CoverEncoding.h>

#include <CLI/CLI.hpp>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <iostream>
#include <optional>
#include <unistd.h>

namespace cli {

using namespace sonarchive;
using trackcopy::BatchCopy;
using trackcopy::CopyItem;
using trackcopy::ReplaceAnswer;

namespace {

enum class Existing { Ask, Overwrite, Skip, KeepBoth };

struct CopyOptions {
    std::string root;
    std::string destination;
    bool all = false;
    std::vector<std::int32_t> ids;
    std::vector<std::string> playlists;
    std::string pattern;
    std::string artist, album, genre;
    int minRating = 0;
    bool m3u = false;
    bool covers = false;
    bool overwrite = false, skipExisting = false, keepBoth = false, update = false;
    std::string tags = "fill";
};

std::string sizeText(std::uint64_t bytes)
{
    char text[32];
    if (bytes < 1024 * 1024)
        std::snprintf(text, sizeof text, "%.1f KB", static_cast<double>(bytes) / 1024);
    else if (bytes < 1024ull * 1024 * 1024)
        std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / (1024 * 1024));
    else
        std::snprintf(text, sizeof text, "%.2f GB", static_cast<double>(bytes) / (1024 * 1024 * 1024));
    return text;
}

// Progress on a terminal, the replace question, and failures on stderr.
class TerminalObserver final : public trackcopy::CopyObserver {
public:
    explicit TerminalObserver(Existing existing)
        : m_existing(existing), m_bar(isatty(STDERR_FILENO) != 0), m_interactive(isatty(STDIN_FILENO) != 0)
    {
    }

    void progress(const trackcopy::CopyProgress& p) override
    {
        if (!m_bar)
            return;
        constexpr int width = 30;
        const double share = p.totalBytes ? static_cast<double>(p.bytesDone) / static_cast<double>(p.totalBytes) : 0.0;
        const int filled = static_cast<int>(share * width);
        std::string name = p.current.filename().string();
        if (name.size() > 40)
            name = name.substr(0, 37) + "...";
        std::fprintf(stderr, "\r\033[K[%s%s] %3d%%  %zu/%zu  %s of %s  %s", std::string(static_cast<std::size_t>(filled), '#').c_str(),
                     std::string(static_cast<std::size_t>(width - filled), '-').c_str(), static_cast<int>(share * 100),
                     p.fileIndex + 1, p.fileCount, sizeText(p.bytesDone).c_str(), sizeText(p.totalBytes).c_str(), name.c_str());
        std::fflush(stderr);
        m_drawn = true;
    }

    ReplaceAnswer askReplace(const std::filesystem::path& destination) override
    {
        switch (m_existing) {
        case Existing::Overwrite: return ReplaceAnswer::Yes;
        case Existing::KeepBoth: return ReplaceAnswer::KeepBoth;
        case Existing::Skip: return ReplaceAnswer::No;
        case Existing::Ask: break;
        }
        if (!m_interactive) {
            endLine();
            std::cerr << "sonarchive: " << destination.string() << " exists, skipped (see --overwrite, --keep-both)\n";
            return ReplaceAnswer::No;
        }
        endLine();
        for (;;) {
            std::cerr << destination.string() << " exists. Replace it? [y]es, yes to [a]ll, [n]o, [k]eep both, [c]ancel: ";
            std::string answer;
            if (!std::getline(std::cin, answer))
                return ReplaceAnswer::Cancel;
            if (answer == "y") return ReplaceAnswer::Yes;
            if (answer == "a") return ReplaceAnswer::YesToAll;
            if (answer == "n") return ReplaceAnswer::No;
            if (answer == "k") return ReplaceAnswer::KeepBoth;
            if (answer == "c") return ReplaceAnswer::Cancel;
        }
    }

    // On a terminal each failure shows as it happens; the summary lists them all.
    void failed(const trackcopy::CopyFailure& failure) override
    {
        if (!m_bar)
            return;
        endLine();
        std::cerr << "sonarchive: not copied: " << failure.describe() << '\n';
    }

    void untagged(const trackcopy::CopyFailure& note) override
    {
        endLine();
        std::cerr << "sonarchive: copied without tags: " << note.item.destination.string() << " (" << note.reason << ")\n";
    }

    void endLine()
    {
        if (m_drawn)
            std::fputs("\r\033[K", stderr);
        m_drawn = false;
    }

private:
    Existing m_existing;
    bool m_bar;
    bool m_interactive;
    bool m_drawn = false;
};

// What became of the copy: each failure, then the counts, and how to finish.
void reportCopy(const trackcopy::CopyResult& result, const trackcopy::CopyPlan& copies, const std::filesystem::path& destination,
                std::size_t playlistFailures, const trackcopy::AlbumCoverResult* covers)
{
    for (const trackcopy::CopyFailure& failure : result.failures)
        std::cerr << "sonarchive: not copied: " << failure.describe() << '\n';
    const std::size_t count = copies.items().size();
    if (result.disconnected) {
        std::cerr << "sonarchive: the iPod was disconnected; " << result.inPlace() << " of " << count
                  << " files were copied; copy again with the same options to finish\n";
        return;
    }
    std::cerr << "copied " << result.copied << " of " << count << (count == 1 ? " file" : " files") << " to "
              << destination.string();
    if (result.skipped)
        std::cerr << ", " << result.skipped << " skipped";
    if (!result.failures.empty())
        std::cerr << ", " << result.failures.size() << " failed";
    if (!result.untagged.empty())
        std::cerr << ", copied without tags: " << result.untagged.size();
    if (!copies.playlistFiles().empty()) {
        const std::size_t written = copies.playlistFiles().size() - playlistFailures;
        std::cerr << ", " << written << (written == 1 ? " playlist file" : " playlist files") << " written";
    }
    if (covers)
        std::cerr << ", " << covers->written << (covers->written == 1 ? " album cover" : " album covers") << " written";
    if (result.cancelled)
        std::cerr << " (cancelled)";
    std::cerr << '\n';
    if (!result.failures.empty())
        std::cerr << "sonarchive: copy again with --update to copy only the files that are missing or differ\n";
}

// The playlists named on the command line, by name or by index.
bool choosePlaylists(const std::vector<PlaylistView>& all, const std::vector<std::string>& wanted, std::vector<PlaylistView>& chosen)
{
    for (const std::string& name : wanted) {
        auto found = std::find_if(all.begin(), all.end(), [&](const PlaylistView& p) { return toUtf8(p.name) == name; });
        if (found == all.end() && !name.empty() && name.find_first_not_of("0123456789") == std::string::npos)
            found = std::find_if(all.begin(), all.end(), [&](const PlaylistView& p) { return std::to_string(p.index) == name; });
        if (found == all.end()) {
            std::cerr << "sonarchive: no playlist named or numbered '" << name << "' (see 'playlists')\n";
            return false;
        }
        chosen.push_back(*found);
    }
    return true;
}

// What to copy and how to name it; nothing (said on stderr) for options that don't go together.
std::optional<trackcopy::PlanOptions> planOptions(const CopyOptions& options)
{
    const int ways = (options.all ? 1 : 0) + (options.ids.empty() ? 0 : 1) + (options.playlists.empty() ? 0 : 1);
    if (ways != 1) {
        std::cerr << "sonarchive: copy needs one of --all, --ids or --playlist\n";
        return std::nullopt;
    }
    trackcopy::PlanOptions plan;
    plan.destination = options.destination;
    plan.artist = fromUtf8(options.artist);
    plan.album = fromUtf8(options.album);
    plan.genre = fromUtf8(options.genre);
    plan.minRating = options.minRating;
    plan.playlistFiles = options.m3u;
    if (options.pattern.empty())
        return plan;
    std::string error;
    plan.pattern = trackcopy::TrackNamePattern::parse(options.pattern, error);
    if (!plan.pattern) {
        std::cerr << "sonarchive: " << error << '\n';
        return std::nullopt;
    }
    if (plan.pattern->usesPlaylist() && options.playlists.empty()) {
        std::cerr << "sonarchive: {playlist} and {index} need --playlist\n";
        return std::nullopt;
    }
    return plan;
}

// The copies asked for, of the loaded device's tracks; nothing when a playlist named is not there.
std::optional<trackcopy::CopyPlan> planCopies(const _clsSonarchive& library, const CopyOptions& options,
                                              const trackcopy::PlanOptions& plan, std::vector<TrackInfo>& infos)
{
    library.forEachTrackInfo([&](const TrackInfo& info) {
        if (info.iTrackID != -1)  // the deletion mark is no track
            infos.push_back(info);
    });
    const std::vector<PlaylistView> playlists = library.playlists();
    if (options.all)
        return trackcopy::CopyPlan::forAll(infos, playlists, plan);
    if (!options.ids.empty())
        return trackcopy::CopyPlan::forTracks(infos, options.ids, plan);
    std::vector<PlaylistView> chosen;
    if (!choosePlaylists(playlists, options.playlists, chosen))
        return std::nullopt;
    return trackcopy::CopyPlan::forPlaylists(infos, chosen, plan);
}

// The batch run with a progress bar, the existing-file choice the options
// make, and Ctrl-C cancelling it. Copies carrying tags get their album's cover
// when they have no picture of their own.
trackcopy::CopyResult copyFiles(const DeviceSession& session, const trackcopy::CopyPlan& copies, const CopyOptions& options,
                                const ArtworkDatabase& covers)
{
    const Existing existing = options.overwrite || options.update ? Existing::Overwrite
                              : options.skipExisting              ? Existing::Skip
                              : options.keepBoth                  ? Existing::KeepBoth
                                                                  : Existing::Ask;
    TerminalObserver observer(existing);
    const trackcopy::TagMode tags = *trackcopy::tagModeNamed(options.tags);
    BatchCopy batch = copies.batch(tags, tags == trackcopy::TagMode::None
                                             ? trackcopy::CopyTagger::CoverLookup()
                                             : trackcopy::embeddedCovers(copies, covers, [](const Cover& c) { return trackcopy::encodeJpeg(c); }));
    batch.setSkipSameSize(options.update);
    batch.setDeviceRoot(toUtf8(session.library->iPodDriveLetter()));
    const InterruptWatch interrupts;
    const trackcopy::CopyResult result = batch.run(observer, InterruptWatch::flag());
    observer.endLine();
    return result;
}

int runCopy(const CliContext& context, const CopyOptions& options)
{
    const std::optional<trackcopy::PlanOptions> plan = planOptions(options);
    if (!plan)
        return kExitUsage;
    DeviceSession session = loadDevice(context, options.root);
    if (!session.library)
        return kExitFailure;
    std::vector<TrackInfo> infos;
    const std::optional<trackcopy::CopyPlan> copies = planCopies(*session.library, options, *plan, infos);
    if (!copies)
        return kExitFailure;
    for (const std::string& problem : copies->problems())
        std::cerr << "sonarchive: " << problem << '\n';

    ArtworkDatabase covers = options.covers || options.tags != "none" ? loadCovers(session) : ArtworkDatabase();
    const trackcopy::CopyResult result = copyFiles(session, *copies, options, covers);
    reportArtworkWarnings(covers);
    const std::vector<std::string> playlistFailures = copies->writePlaylistFiles(result);
    for (const std::string& failure : playlistFailures)
        std::cerr << "sonarchive: " << failure << '\n';
    const trackcopy::AlbumCoverResult albumCovers =
        options.covers ? writeAlbumCoverFiles(covers, *copies, result, options.overwrite) : trackcopy::AlbumCoverResult{};
    reportCopy(result, *copies, plan->destination, playlistFailures.size(), options.covers ? &albumCovers : nullptr);
    const bool problems = !copies->problems().empty() || !playlistFailures.empty() || !albumCovers.failures.empty();
    return problems || result.cancelled || result.disconnected || !result.failures.empty() ? kExitFailure : kExitOk;
}

}  // namespace

void registerCopyCommand(CLI::App& app, CliContext& context)
{
    auto* command = app.add_subcommand("copy", "Copy tracks of the device into a folder, named after their titles or a pattern");
    auto options = std::make_shared<CopyOptions>();
    addDeviceRoot(*command, options->root);
    command->add_option("DEST_DIR", options->destination, "The folder to copy into (made when missing)")->required();
    auto* all = command->add_flag("--all", options->all, "Copy every track");
    auto* ids = command->add_option("--ids", options->ids, "Copy the tracks with these ids");
    auto* playlist = command->add_option("--playlist", options->playlists,
                                         "Copy the tracks of this playlist (its name or index; may be given more than once)");
    all->excludes(ids)->excludes(playlist);
    ids->excludes(playlist);
    command->add_option("--name", options->pattern,
                        "Name pattern such as '{artist}/{album}/{track:02} {title}'; fields: title artist album genre composer "
                        "year type id track disc rating (stars) plays, and with --playlist also playlist index; {field:02} "
                        "pads a number");
    command->add_flag("--m3u", options->m3u,
                      "Write DEST_DIR/<playlist>.m3u8 for each playlist copied (with --all: every playlist but the master)");
    command->add_flag("--covers", options->covers,
                      "Write the album's cover as cover.jpg into each folder that holds the tracks of one album "
                      "(one there already stays, unless --overwrite)");
    command->add_option("--artist", options->artist, "Only tracks whose artist contains this text (letter case ignored)");
    command->add_option("--album", options->album, "Only tracks whose album contains this text");
    command->add_option("--genre", options->genre, "Only tracks whose genre contains this text");
    command->add_option("--min-rating", options->minRating, "Only tracks rated this many stars or more (1-5)")
        ->check(CLI::Range(0, 5));
    auto* overwrite = command->add_flag("--overwrite", options->overwrite, "Replace files that exist");
    auto* skip = command->add_flag("--skip-existing", options->skipExisting, "Leave files that exist alone");
    auto* keepBoth = command->add_flag("--keep-both", options->keepBoth, "Write \"Title (2).ext\" beside files that exist");
    auto* update = command->add_flag("--update", options->update,
                                     "Skip files already copied (the same size, or a tagged copy of the same file and "
                                     "values); replace the others");
    command->add_option("--tags", options->tags,
                        "What the copies carry of the database: fill (add the title, artist, album, genre, composer, "
                        "comment, year, track and disc numbers, rating and play count where the file has none), db (the "
                        "database's values replace the file's) or none (the device files byte for byte)")
        ->check(CLI::IsMember({"fill", "db", "none"}))
        ->default_str("fill");
    overwrite->excludes(skip)->excludes(keepBoth)->excludes(update);
    skip->excludes(keepBoth)->excludes(update);
    keepBoth->excludes(update);
    onChosen(*command, context, [&context, options] { return runCopy(context, *options); });
}

}  // namespace cli
