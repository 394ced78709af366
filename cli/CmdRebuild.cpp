#include "CliContext.h"
#include "Commands.h"
#include "InterruptWatch.h"

#include <sonarchive/clsSonarchiveEvents.h>

#include <CLI/CLI.hpp>

#include <iostream>

namespace cli {

using namespace sonarchive;

namespace {

// Prints the rebuild's status lines as they come; Ctrl-C stops it before the next file.
class RebuildProgress final : public clsSonarchiveEvents {
public:
    explicit RebuildProgress(_clsSonarchive& library) : m_library(library) {}
    void RebuildStatus(const std::u16string& sStatus) override
    {
        if (InterruptWatch::interrupted())
            m_library.CancelUpdate();
        std::cout << toUtf8(sStatus) << std::endl;
    }

private:
    _clsSonarchive& m_library;
};

int runRebuild(const CliContext& context, const std::string& root, bool shuffle, bool allowUnsigned)
{
    DeviceSession session = openDeviceToChange(context, root, allowUnsigned);
    if (!session.library)
        return kExitFailure;
    _clsSonarchive& library = *session.library;
    library.setiPodShuffle(shuffle);
    RebuildProgress progress(library);
    library.setEventListener(&progress);
    InterruptWatch interrupts;
    const bool rebuilt = library.ReBuildDB();
    library.setEventListener(nullptr);
    if (!rebuilt) {
        reportFailure(library, "the database of " + toUtf8(library.iPodDriveLetter()) + " was not rebuilt");
        return kExitFailure;
    }
    if (library.replacedSignatureScheme() != 0)
        std::cout << "The previous database was signed: the iPod's own desktop software will have to sign the new one "
                     "before the iPod shows music again\n";
    return InterruptWatch::interrupted() ? 130 : kExitOk;
}

}  // namespace

void registerRebuildCommand(CLI::App& app, CliContext& context)
{
    auto* command = app.add_subcommand("rebuild", "Make a new database from the media files already on the device");
    auto root = addDeviceRoot(*command);
    auto shuffle = std::make_shared<bool>(false);
    command->add_flag("--shuffle", *shuffle, "The device is a shuffle model: video files are left out");
    auto allowUnsigned = std::make_shared<bool>(false);
    addAllowUnsignedFlag(*command, allowUnsigned);
    onChosen(*command, context, [&context, root, shuffle, allowUnsigned] { return runRebuild(context, *root, *shuffle, *allowUnsigned); });
}

}  // namespace cli
