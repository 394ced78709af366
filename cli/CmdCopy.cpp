#include "CliContext.h"
#include "Commands.h"

#include <BatchCopy.h>
#include <CleanFileName.h>
#include <FileNameFit.h>
#include <TrackNamePattern.h>

#include <CLI/CLI.hpp>

#include <atomic>
#include <csignal>
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
    std::string pattern;
    bool overwrite = false, skipExisting = false, keepBoth = false;
};

std::atomic<bool> g_interrupted{false};

extern "C" void onInterrupt(int)
{
    g_interrupted = true;
}

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

    void failed(const trackcopy::CopyFailure& failure) override
    {
        endLine();
        std::cerr << "sonarchive: not copied: " << failure.reason << '\n';
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

std::u16string extensionOf(const std::u16string& path)
{
    const auto slash = path.find_last_of(u'/');
    const auto dot = path.find_last_of(u'.');
    return dot == std::u16string::npos || (slash != std::u16string::npos && dot < slash) ? std::u16string() : path.substr(dot + 1);
}

int runCopy(const CliContext& context, const CopyOptions& options)
{
    if (options.all == !options.ids.empty()) {
        std::cerr << "sonarchive: copy needs either --all or --ids\n";
        return kExitUsage;
    }
    std::optional<trackcopy::TrackNamePattern> pattern;
    if (!options.pattern.empty()) {
        std::string error;
        pattern = trackcopy::TrackNamePattern::parse(options.pattern, error);
        if (!pattern) {
            std::cerr << "sonarchive: " << error << '\n';
            return kExitUsage;
        }
    }

    DeviceSession session = loadDevice(context, options.root);
    if (!session.library)
        return kExitFailure;
    const MHSD_T tracks = session.library->GetAllTracks();
    const MHLT& list = tracks.m_mhlt;
    std::vector<std::int32_t> chosen = options.ids;
    if (options.all)
        for (const MHIT& track : validEntries(list.m_mhit, list.iNumberOfllTracks))
            chosen.push_back(track.iUniqueID);

    bool problems = false;
    std::vector<CopyItem> items;
    const std::filesystem::path folder = options.destination;
    for (const std::int32_t id : chosen) {
        TrackInfo info;
        try {
            info = session.library->GetTrackInfo(id);
        } catch (const std::out_of_range&) {
            std::cerr << "sonarchive: no track with id " << id << '\n';
            problems = true;
            continue;
        }
        if (info.sLocation.empty()) {
            std::cerr << "sonarchive: track " << id << " has no file\n";
            problems = true;
            continue;
        }
        const std::u16string extension = extensionOf(info.sLocation);
        std::filesystem::path relative;
        if (pattern) {
            std::u16string type(info.sTrackType.rbegin(), info.sTrackType.rend());
            const int year = trackYear(info);
            const std::u16string yearText = year ? fromUtf8(std::to_string(year)) : std::u16string();
            relative = pattern->path({info.sTitle, info.sArtist, info.sAlbum, info.sGenre, info.sComposer, yearText, type, id},
                                     extension);
        } else {
            relative = trackcopy::trackFileName(trackcopy::CleanFileName(info.sTitle), extension);
        }
        items.push_back({std::filesystem::path(toUtf8(info.sLocation)), folder / relative});
    }

    const Existing existing = options.overwrite ? Existing::Overwrite
                              : options.skipExisting ? Existing::Skip
                              : options.keepBoth ? Existing::KeepBoth : Existing::Ask;
    TerminalObserver observer(existing);
    g_interrupted = false;
    auto previous = std::signal(SIGINT, onInterrupt);
    const trackcopy::CopyResult result = BatchCopy(items).run(observer, g_interrupted);
    std::signal(SIGINT, previous);
    observer.endLine();

    std::cerr << "copied " << result.copied << " of " << items.size() << (items.size() == 1 ? " file" : " files") << " to "
              << folder.string();
    if (result.skipped)
        std::cerr << ", " << result.skipped << " skipped";
    if (!result.failures.empty())
        std::cerr << ", " << result.failures.size() << " failed";
    if (result.cancelled)
        std::cerr << " (cancelled)";
    std::cerr << '\n';
    return problems || result.cancelled || !result.failures.empty() ? kExitFailure : kExitOk;
}

}  // namespace

void registerCopyCommand(CLI::App& app, CliContext& context)
{
    auto* command = app.add_subcommand("copy", "Copy tracks of the device into a folder, named after their titles");
    auto options = std::make_shared<CopyOptions>();
    command->add_option("DEVICE_ROOT", options->root, "The device's mount folder, or 'auto'")->required();
    command->add_option("DEST_DIR", options->destination, "The folder to copy into (made when missing)")->required();
    auto* all = command->add_flag("--all", options->all, "Copy every track");
    auto* ids = command->add_option("--ids", options->ids, "Copy the tracks with these ids");
    all->excludes(ids);
    command->add_option("--name", options->pattern,
                        "Name pattern such as {artist}/{album}/{title}; fields: title artist album genre composer year type id");
    auto* overwrite = command->add_flag("--overwrite", options->overwrite, "Replace files that exist");
    auto* skip = command->add_flag("--skip-existing", options->skipExisting, "Leave files that exist alone");
    auto* keepBoth = command->add_flag("--keep-both", options->keepBoth, "Write \"Title (2).ext\" beside files that exist");
    overwrite->excludes(skip)->excludes(keepBoth);
    skip->excludes(keepBoth);
    command->callback([&context, options] { context.action = [&context, options] { return runCopy(context, *options); }; });
}

}  // namespace cli
