#pragma once

#include "Dialogs.h"

#include <QStringList>

#include <memory>
#include <optional>

namespace tracklift {

class frmMain;

// The program's start: the single-instance rule, then the main window.
// Options: --device DIR (manual mode with DIR as the drive for this run),
// --load (press "Load iPod Contents" at once and open the contents page when it works).
// Returns the window, or nothing when the program must end with `exitCode`.
std::unique_ptr<frmMain> startTracklift(Dialogs& dialogs, const QStringList& arguments, int& exitCode);

// --help and --version, which need no application object nor display: prints
// their answer and returns the exit code; nothing for any other command line.
std::optional<int> answerInformationOptions(const QStringList& arguments);

// Starts, shows the window and runs the event loop; the program's main().
int runTracklift(int argc, char** argv);

}  // namespace tracklift
