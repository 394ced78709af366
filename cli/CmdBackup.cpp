#include "CliContext.h"
#include "Commands.h"
#include "InterruptWatch.h"

#include <DeviceBackup.h>

#include <CLI/CLI.hpp>

#include <iostream>

namespace cli {

using namespace sonarchive;

namespace {

// No questions: the backup goes to a folder of its own.
class QuietObserver final : public trackcopy::CopyObserver {
public:
    trackcopy::ReplaceAnswer askReplace(const std::filesystem::path&) override { return trackcopy::ReplaceAnswer::No; }
};

int runBackup(const CliContext& context, const std::string& root, const std::string& destination)
{
    // The database is not loaded: a backup is what to take before anything reads or writes more.
    DeviceSession session = openDevice(context, root);
    if (!session.library)
        return kExitFailure;
    const std::filesystem::path device = toUtf8(session.library->iPodDriveLetter());
    const trackcopy::DeviceBackup backup = trackcopy::DeviceBackup::plan(device, destination);
    for (const std::string& problem : backup.problems())
        std::cerr << "sonarchive: " << problem << '\n';
    if (backup.items().empty()) {
        if (backup.problems().empty())
            std::cerr << "sonarchive: nothing to back up: " << backup.databaseFolder().string() << " holds no iPod database\n";
        return kExitFailure;
    }

    QuietObserver observer;
    const InterruptWatch interrupts;
    const trackcopy::CopyResult result = trackcopy::BatchCopy(backup.items(), backup.settings()).run(observer, InterruptWatch::flag());

    for (const trackcopy::CopyFailure& failure : result.failures)
        std::cerr << "sonarchive: not backed up: " << failure.describe() << '\n';
    const std::size_t count = backup.items().size();
    if (result.disconnected)
        std::cerr << "sonarchive: the iPod was disconnected; " << result.copied << " of " << count
                  << " files were copied; back up again to finish\n";
    std::cout << "backed up " << result.copied << " of " << count << (count == 1 ? " file" : " files") << " to "
              << backup.folder().string() << (result.cancelled ? " (cancelled)" : "") << '\n';
    const bool complete = result.copied == count && backup.problems().empty();
    return complete ? kExitOk : kExitFailure;
}

}  // namespace

void registerBackupCommand(CLI::App& app, CliContext& context)
{
    auto* command = app.add_subcommand(
        "backup", "Copy the device's database and the files beside it (iPod_Control/iTunes, iPod_Control/Device) into a new "
                  "dated folder in DEST_DIR, read-only");
    auto root = addDeviceRoot(*command);
    auto destination = std::make_shared<std::string>();
    command->add_option("DEST_DIR", *destination, "The folder to make the backup's folder in (made when missing)")->required();
    onChosen(*command, context, [&context, root, destination] { return runBackup(context, *root, *destination); });
}

}  // namespace cli
