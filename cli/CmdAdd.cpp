#include "CliContext.h"
#include "Commands.h"
#include "InterruptWatch.h"

#include <sonarchive/clsSonarchiveEvents.h>

#include <CLI/CLI.hpp>

#include <iostream>
#include <unistd.h>

namespace cli {

using namespace sonarchive;

namespace {

// Shows each copy's progress as a bar on a terminal, and turns Ctrl-C into a
// cancellation of the running copy.
class CopyProgress final : public clsSonarchiveEvents {
public:
    explicit CopyProgress(_clsSonarchive& library) : m_library(library), m_terminal(isatty(STDERR_FILENO) != 0) {}

    void CurrentStatus(const std::u16string& sStatus, std::int16_t iPercent) override
    {
        if (InterruptWatch::interrupted())
            m_library.CancelUpdate();
        if (!m_terminal || iPercent < 0)
            return;
        constexpr int kWidth = 30;
        const int filled = iPercent * kWidth / 100;
        std::cerr << '\r' << toUtf8(sStatus) << " [" << std::string(static_cast<std::size_t>(filled), '#')
                  << std::string(static_cast<std::size_t>(kWidth - filled), '-') << "] " << iPercent << "%" << std::flush;
        m_open = iPercent < 100;
        if (!m_open)
            std::cerr << '\n';
    }

    // Ends a bar that a cancelled or failed copy left open.
    void finishLine()
    {
        if (m_open)
            std::cerr << '\n';
        m_open = false;
    }

private:
    _clsSonarchive& m_library;
    bool m_terminal;
    bool m_open = false;
};

int runAdd(const CliContext& context, const std::string& root, const std::vector<std::string>& files, bool allowUnsigned)
{
    DeviceSession session = loadDeviceToChange(context, root, allowUnsigned);
    if (!session.library)
        return kExitFailure;
    _clsSonarchive& library = *session.library;
    CopyProgress progress(library);
    library.setEventListener(&progress);
    InterruptWatch interrupts;

    int status = kExitOk;
    int added = 0;
    for (const std::string& file : files) {
        TrackInfo info;  // a fresh record for every file
        const std::int32_t id = library.AddTrack(fromUtf8(file), info);
        progress.finishLine();
        if (InterruptWatch::interrupted()) {
            std::cerr << "sonarchive: cancelled; " << file << " was not added\n";
            status = 130;
            break;
        }
        if (id > 0) {
            ++added;
            std::cout << id << '\t' << file << '\n';
        } else if (id == -2) {
            std::cerr << "sonarchive: " << library.lastFailure().message << '\n';
            status = kExitFailure;
        } else {
            reportFailure(library, file + " was not added");
            status = kExitFailure;
        }
    }
    library.setEventListener(nullptr);
    if (added > 0 && writeDatabase(session) != kExitOk)
        return kExitFailure;
    return status;
}

}  // namespace

void registerAddCommand(CLI::App& app, CliContext& context)
{
    auto* command = app.add_subcommand("add", "Copy media files onto the device and add them as tracks; "
                                              "prints each new track's id. Ctrl-C cancels the running copy");
    auto root = addDeviceRoot(*command);
    auto files = std::make_shared<std::vector<std::string>>();
    command->add_option("FILE", *files, "Media files (MP3, AAC, M4A, M4B, WAV, AIFF, MP4 and other MPEG containers)")->required();
    auto allowUnsigned = std::make_shared<bool>(false);
    addAllowUnsignedFlag(*command, allowUnsigned);
    onChosen(*command, context, [&context, root, files, allowUnsigned] { return runAdd(context, *root, *files, *allowUnsigned); });
}

}  // namespace cli
