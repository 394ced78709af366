#include "CliContext.h"
#include "Commands.h"

#include <CLI/CLI.hpp>

void cli::registerCommands(CLI::App& app, CliContext& context)
{
    for (RegisterCommand* add : {registerListCommand, registerPlaylistsCommand, registerDumpCommand, registerCopyCommand,
                         registerCoverCommand, registerDetectCommand, registerEjectCommand, registerProbeCommand,
                         registerRewriteCommand, registerDeleteCommand, registerModifyCommand, registerAddCommand,
                         registerResetCommand, registerRebuildCommand, registerBackupCommand})
        add(app, context);
}

int main(int argc, char** argv)
{
    // Named here, so that the usage line says "sonarchive" however the tool was started.
    CLI::App app{"sonarchive: read and edit the track database of an iPod mounted as a disk", "sonarchive"};
    app.set_version_flag("--version", "sonarchive " SONARCHIVE_VERSION, "Print the version and exit");
    app.require_subcommand(1);
    app.fallthrough();

    cli::CliContext context;
    app.add_option("--repair", context.repair,
                   "Answer to repair questions when not on a terminal: no, reset or rebuild")
        ->check(CLI::IsMember({"no", "reset", "rebuild"}));

    cli::registerCommands(app, context);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? cli::kExitOk : cli::kExitUsage;
    }
    return cli::guarded(context.action);
}
