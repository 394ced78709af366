#include "Startup.h"

#include "PanelSlides.h"
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
#include <optional>

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

// The program's options. Parsing needs no application object, so the options
// that only print something can be answered before there is one.
struct Options {
    QCommandLineParser parser;
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Displays this help.")};
    QCommandLineOption device{QStringLiteral("device"), QStringLiteral("Use the iPod mounted at <dir> for this run (manual mode)."),
                              QStringLiteral("dir")};
    QCommandLineOption load{QStringLiteral("load"), QStringLiteral("Load the iPod contents at start and show them.")};
    QCommandLineOption playlist{QStringLiteral("playlist"), QStringLiteral("With --load: show the playlist named <name>."),
                                QStringLiteral("name")};
    QCommandLineOption copyOptions{QStringLiteral("copy-options"), QStringLiteral("With --load: open the copy options.")};
    QCommandLineOption trackInfo{QStringLiteral("track-info"),
                                 QStringLiteral("With --load: highlight the track with id <id> and show its information."),
                                 QStringLiteral("id")};
    QCommandLineOption maximized{QStringLiteral("maximized"), QStringLiteral("Start with the window maximized.")};
    QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")}, QStringLiteral("Displays the version.")};

    Options()
    {
        parser.setApplicationDescription(QStringLiteral("Copies the tracks of an iPod to this computer."));
        parser.addOptions({help, version, device, load, playlist, copyOptions, trackInfo, maximized});
    }

    // --help and --version: prints what they ask for and returns the exit code.
    std::optional<int> answerInformation() const
    {
        if (parser.isSet(help)) {
            // The usage line names the program, not the path it was started by.
            QString text = parser.helpText();
            const qsizetype name = text.startsWith(QStringLiteral("Usage: ")) ? 7 : -1;
            const qsizetype end = text.indexOf(QStringLiteral(" [options]"));
            if (name > 0 && end > name)
                text.replace(name, end - name, QStringLiteral("tracklift"));
            std::fprintf(stdout, "%s", qPrintable(text));
            return 0;
        }
        if (parser.isSet(version)) {
            std::fprintf(stdout, "tracklift %s\n", TRACKLIFT_VERSION);
            return 0;
        }
        return std::nullopt;
    }
};

// --track-info: the track's first row highlighted and its information shown, as a click would,
// once the contents page has slid into place.
void showTrackInformation(frmMain& w, const QString& id)
{
    if (w.panels().isSliding()) {
        QTimer::singleShot(50, &w, [&w, id] { showTrackInformation(w, id); });
        return;
    }
    TrackGrid& grid = w.trackList().grid();
    for (GridRow row = grid.firstRow(); row != kNoRow; row = grid.nextRow(row)) {
        if (grid.cellText(row, TrackTableModel::ID) == id) {
            grid.setActiveCell({row, TrackTableModel::Title});
            w.cmdEditTrack_Click();
            return;
        }
    }
    std::fprintf(stderr, "tracklift: the device has no track with id %s\n", qPrintable(id));
}

}  // namespace

std::optional<int> answerInformationOptions(const QStringList& arguments)
{
    // Arguments it does not know may be the application object's own (-platform, -style...).
    Options options;
    if (!options.parser.parse(arguments))
        return std::nullopt;
    return options.answerInformation();
}

std::unique_ptr<frmMain> startTracklift(Dialogs& dialogs, const QStringList& arguments, int& exitCode)
{
    Options options;
    QCommandLineParser& parser = options.parser;
    const QCommandLineOption& device = options.device;
    const QCommandLineOption& load = options.load;
    const QCommandLineOption& playlist = options.playlist;
    const QCommandLineOption& copyOptions = options.copyOptions;
    const QCommandLineOption& trackInfo = options.trackInfo;
    const QCommandLineOption& maximized = options.maximized;
    if (!parser.parse(arguments)) {
        std::fprintf(stderr, "tracklift: %s\n", qPrintable(parser.errorText()));
        exitCode = 2;
        return nullptr;
    }
    if (const std::optional<int> answered = options.answerInformation()) {
        exitCode = *answered;
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
        const QString infoId = parser.value(trackInfo);
        QObject::connect(
            w, &frmMain::viewButtonRevealed, w,
            [w, shown, openOptions, infoId] {
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
                if (!infoId.isEmpty())
                    QTimer::singleShot(0, w, [w, infoId] { showTrackInformation(*w, infoId); });
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
    // --help and --version work without a display, as when a manual page is made from them.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (const std::optional<int> answered = answerInformationOptions(arguments))
        return *answered;

    QApplication app(argc, argv);
    // The desktop entry it is started from, which gives the window its icon on Wayland.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.tracklift.Tracklift"));
    QtDialogs dialogs;
    int exitCode = 0;
    std::unique_ptr<frmMain> window = startTracklift(dialogs, QApplication::arguments(), exitCode);
    if (!window)
        return exitCode;
    window->show();
    return QApplication::exec();
}

}  // namespace tracklift
