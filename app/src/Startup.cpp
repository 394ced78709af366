#include "Startup.h"

#include "TrackList.h"

#include "QtDialogs.h"
#include "SingleInstance.h"
#include "frmMain.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

namespace tracklift {

namespace {

// The program's lock, held until the process ends once it has been taken.
SingleInstance& instanceLock()
{
    static std::unique_ptr<SingleInstance> lock;
    if (!lock || lock->anotherInstanceRunning())
        lock = std::make_unique<SingleInstance>();
    return *lock;
}

}  // namespace

std::unique_ptr<frmMain> startTracklift(Dialogs& dialogs, const QStringList& arguments, int& exitCode)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Copies the tracks of an iPod to this computer."));
    parser.addHelpOption();
    const QCommandLineOption device(QStringLiteral("device"),
                                    QStringLiteral("Use the iPod mounted at <dir> for this run (manual mode)."), QStringLiteral("dir"));
    const QCommandLineOption load(QStringLiteral("load"), QStringLiteral("Load the iPod contents at start and show them."));
    const QCommandLineOption playlist(QStringLiteral("playlist"), QStringLiteral("With --load: show the playlist named <name>."),
                                      QStringLiteral("name"));
    const QCommandLineOption copyOptions(QStringLiteral("copy-options"), QStringLiteral("With --load: open the copy options."));
    const QCommandLineOption maximized(QStringLiteral("maximized"), QStringLiteral("Start with the window maximized."));
    parser.addOptions({device, load, playlist, copyOptions, maximized});
    if (!parser.parse(arguments)) {
        std::fprintf(stderr, "tracklift: %s\n", qPrintable(parser.errorText()));
        exitCode = 2;
        return nullptr;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        std::fprintf(stdout, "%s", qPrintable(parser.helpText()));
        exitCode = 0;
        return nullptr;
    }
    if (parser.isSet(device) && !QFileInfo(parser.value(device)).isDir()) {
        std::fprintf(stderr, "tracklift: %s is not a folder\n", qPrintable(parser.value(device)));
        exitCode = 2;
        return nullptr;
    }

    if (instanceLock().anotherInstanceRunning()) {
        dialogs.messageBox(nullptr, QStringLiteral("Tracklift is already running"), applicationTitle(), MessageButtons::OK,
                           MessageIcon::Exclamation);
        exitCode = 1;
        return nullptr;
    }
    QApplication::setApplicationName(applicationTitle());
    QApplication::setApplicationDisplayName(applicationTitle());

    auto window = std::make_unique<frmMain>(dialogs);
    if (parser.isSet(device))
        window->useDeviceForThisRun(parser.value(device));
    if (parser.isSet(load)) {
        frmMain* w = window.get();
        // Once the view button has grown, open the contents page as its click does.
        const QString shown = parser.value(playlist);
        const bool openOptions = parser.isSet(copyOptions);
        QObject::connect(
            w, &frmMain::viewButtonRevealed, w,
            [w, shown, openOptions] {
                w->cmdViewContents_Click();
                if (!shown.isEmpty()) {
                    const int choice = w->trackList().choiceOf(shown);
                    if (choice < 0)
                        std::fprintf(stderr, "tracklift: the device has no playlist named %s\n", qPrintable(shown));
                    else
                        w->trackList().showChoice(choice);
                }
                if (openOptions)
                    QTimer::singleShot(0, w, [w] {
                        w->SetAllChecks(true);  // so that the preview shows a name
                        w->cmdCopyOptions_Click();
                    });
            },
            Qt::SingleShotConnection);
        QTimer::singleShot(0, w, [w] { w->cmdLoadiPod_Click(); });
    }
    if (parser.isSet(maximized)) {
        frmMain* w = window.get();
        QTimer::singleShot(0, w, [w] { w->toggleMaximized(); });  // once it is shown
    }
    exitCode = 0;
    return window;
}

int runTracklift(int argc, char** argv)
{
    QApplication app(argc, argv);
    QtDialogs dialogs;
    int exitCode = 0;
    std::unique_ptr<frmMain> window = startTracklift(dialogs, QApplication::arguments(), exitCode);
    if (!window)
        return exitCode;
    window->show();
    return QApplication::exec();
}

}  // namespace tracklift
