#pragma once

namespace CLI {
class App;
}

namespace cli {

struct CliContext;

// Each command lives in its own file and registers itself here.
void registerListCommand(CLI::App& app, CliContext& context);
void registerPlaylistsCommand(CLI::App& app, CliContext& context);
void registerDumpCommand(CLI::App& app, CliContext& context);
void registerCopyCommand(CLI::App& app, CliContext& context);
void registerDetectCommand(CLI::App& app, CliContext& context);
void registerProbeCommand(CLI::App& app, CliContext& context);
void registerRewriteCommand(CLI::App& app, CliContext& context);
void registerDeleteCommand(CLI::App& app, CliContext& context);
void registerModifyCommand(CLI::App& app, CliContext& context);
void registerAddCommand(CLI::App& app, CliContext& context);
void registerResetCommand(CLI::App& app, CliContext& context);
void registerRebuildCommand(CLI::App& app, CliContext& context);

}  // namespace cli
