#pragma once

namespace CLI {
class App;
}

namespace cli {

struct CliContext;

// Each command lives in its own file and adds itself to the tool through one
// function of this type; registerCommands() calls them all, in the order the
// usage text lists them.
using RegisterCommand = void(CLI::App& app, CliContext& context);

RegisterCommand registerCommands;

// Reading the device's database
RegisterCommand registerListCommand, registerPlaylistsCommand, registerDumpCommand, registerCopyCommand, registerCoverCommand;
// Finding devices and looking at media files
RegisterCommand registerDetectCommand, registerEjectCommand, registerProbeCommand;
// Changing the database
RegisterCommand registerRewriteCommand, registerDeleteCommand, registerModifyCommand, registerAddCommand;
// Starting over when the database is lost, and keeping it before anything else
RegisterCommand registerResetCommand, registerRebuildCommand, registerBackupCommand;

}  // namespace cli
