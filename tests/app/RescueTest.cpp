// Tracklift on a failing iPod: the copy summary naming each failure and how to
// finish, a device that goes away, the progress window while a read stalls, the
// database the disk cannot read, and the backup from the Tools menu. Through the
// copy engine's reader seam everywhere, and on a real failing disk (FUSE) where
// one can be mounted.

#include "FaultyDevice.h"
#include "FixtureDevice.h"
#include "TrackliftTestCase.h"

#include <CopyDialogs.h>
#include <CopyProgressDialog.h>
#include <DatabaseBackup.h>
#include <QtDialogs.h>
#include <TrackCopier.h>
#include <TrackList.h>
#include <frmMain.h>
#include <frmMenus.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QElapsedTimer>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace tracklift;
using namespace testsupport;
namespace fs = std::filesystem;

namespace {

std::string location(int id)
{
    return ":iPod_Control:Music:F0" + std::to_string(id) + ":T" + std::to_string(id) + ".mp3";
}

std::u16string u16(const std::string& text)
{
    return std::u16string(text.begin(), text.end());
}

const std::vector<std::string> kTitles = {"One", "Two", "Three", "Four"};

// Four tracks by one band with their files, and a window that has loaded them.
struct RescueWindow {
    FixtureDevice device{[] {
        std::vector<TrackFixture> tracks;
        for (int id = 1; id <= 4; ++id)
            tracks.push_back(makeTrack(id, u16(kTitles[static_cast<std::size_t>(id - 1)]), u"Band", u"Album", u16(location(id))));
        return tracks;
    }()};
    TempDir destination;
    frmMain window;

    explicit RescueWindow(ScriptedDialogs& dialogs) : window(dialogs)
    {
        for (int id = 1; id <= 4; ++id)
            writeFile(device.file(location(id)), std::string(static_cast<std::size_t>(1000 * id), static_cast<char>('a' + id)));
        installBesideDatabase(device.dir.path(), "Play Counts", playCountsFile(16, std::vector<PlayCountFixture>(4)));
    }
    void load(const QString& root)
    {
        window.useDeviceForThisRun(root);
        window.cmdLoadiPod_Click();
    }
    QString folder() const { return QString::fromStdString(destination.path().string()); }
    void copyAll(ScriptedDialogs& dialogs)
    {
        CopyOptions options = window.copier().options();
        options.tags = trackcopy::TagMode::None;  // the device's files here are no media to tag
        window.copier().setOptions(options);
        child<QCheckBox>(window, "chkSelectAll")->setChecked(true);
        dialogs.folders.push_back(folder());
        window.CopyCheckedTracks();
    }
};

// What the summary of the last copy said.
struct Summary {
    QString text, failures, hint;
};

std::function<int(QDialog&)> readSummary(Summary& into)
{
    return [&into](QDialog& d) {
        auto& dialog = static_cast<CopySummaryDialog&>(d);
        into = {dialog.summaryText(), dialog.failureText(), dialog.hintText()};
        return int(QDialog::Accepted);
    };
}

// A reader that fails every read of the files named, with `error`.
decltype(CopySettings::read) failingOn(std::vector<std::string> names, int error)
{
    return [names = std::move(names), error](int fd, char* buffer, std::size_t size, std::uint64_t offset) -> ssize_t {
        const std::string file = fs::read_symlink("/proc/self/fd/" + std::to_string(fd)).filename().string();
        if (std::find(names.begin(), names.end(), file) != names.end()) {
            errno = error;
            return -1;
        }
        return ::pread(fd, buffer, size, static_cast<off_t>(offset));
    };
}

// The progress window of a copy whose third file stalls: how often it drew
// while the read was blocked, and what Cancel did before the read returned.
struct StalledCopy {
    CopyResult result;
    int paintsWhileStalled = 0;
    QString buttonAfterCancel;
    bool openAfterCancel = false;
};

class PaintCounter final : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

StalledCopy copyThroughAStall(const std::vector<CopyItem>& items, const CopySettings& settings)
{
    StalledCopy copy;
    PaintCounter counter;
    CopyProgressDialog* dialog = nullptr;
    QElapsedTimer clock;
    QTimer ticks;
    int atStall = -1;
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        if (!dialog) {
            for (QWidget* top : QApplication::topLevelWidgets())
                if (auto* found = qobject_cast<CopyProgressDialog*>(top); found && found->isVisible()) {
                    dialog = found;
                    dialog->installEventFilter(&counter);
                    clock.start();
                }
            return;
        }
        dialog->update();  // a window that is alive draws again
        if (atStall < 0 && clock.elapsed() >= 300)
            atStall = counter.paints;
        if (atStall >= 0 && copy.buttonAfterCancel.isEmpty() && clock.elapsed() >= 900) {
            copy.paintsWhileStalled = counter.paints - atStall;
            for (QPushButton* button : dialog->findChildren<QPushButton*>())
                if (button->text() == QLatin1String("Cancel"))
                    button->click();
            for (QPushButton* button : dialog->findChildren<QPushButton*>())
                copy.buttonAfterCancel += button->text();
            copy.openAfterCancel = dialog->isVisible();
        }
    });
    ticks.start(20);
    QtDialogs dialogs;
    BatchCopy batch(items, settings);
    copy.result = dialogs.copyFiles(nullptr, batch);
    return copy;
}

}  // namespace

class RescueTest : public TrackliftTestCase {
    Q_OBJECT
private slots:
    void failuresNameTheirTracksAndTheListGoesToTheClipboard()
    {
        RescueWindow w(m_dialogs);
        w.load(w.device.root());
        m_dialogs.deviceRead = failingOn({"T2.mp3", "T4.mp3"}, EIO);
        Summary summary;
        m_dialogs.dialogSteps.push_back([&](QDialog& d) {
            readSummary(summary)(d);
            child<QPushButton>(d, "cmdCopyFailureList")->click();
            return int(QDialog::Accepted);
        });
        w.copyAll(m_dialogs);
        QCOMPARE(m_dialogs.copySettings.back().deviceRoot, fs::path(w.device.dir.path().string() + "/"));
        QCOMPARE(summary.text, QStringLiteral("The copy is finished.\nCopied: 2 files\nSkipped: 0 files\nFailed: 2 files"));
        const QString device = w.device.root();
        const QString expected = QStringLiteral("\"Two\" by Band (%1/iPod_Control/Music/F02/T2.mp3): the iPod's disk could not read "
                                                "this file (Input/output error)\n"
                                                "\"Four\" by Band (%1/iPod_Control/Music/F04/T4.mp3): the iPod's disk could not read "
                                                "this file (Input/output error)")
                                     .arg(device);
        QCOMPARE(summary.failures, expected);
        QCOMPARE(summary.hint, QStringLiteral("To copy only the files that are missing, copy again with \"Skip files already copied "
                                              "(same size)\" ticked in Copy Options."));
        QCOMPARE(QGuiApplication::clipboard()->text(), expected + QLatin1Char('\n'));
        QVERIFY(!fs::exists(w.destination.path() / "Two.mp3"));
        QCOMPARE(readFile(w.destination.path() / "Three.mp3"), std::string(3000, 'd'));
    }

    void aLongFailureListStaysInsideTheSummary()
    {
        CopyResult result;
        for (int i = 0; i < 400; ++i)
            result.failures.push_back({{"/media/ipod/iPod_Control/Music/F00/T" + std::to_string(i) + ".mp3", "/out/x.mp3",
                                        "\"A title long enough to need the room " + std::to_string(i) + "\" by Some Band"},
                                       "the iPod's disk could not read this file (Input/output error)",
                                       trackcopy::FailureKind::Unreadable});
        result.copied = 12;
        result.items.resize(412);
        CopySummaryDialog dialog(result, {}, {});
        dialog.show();
        QCOMPARE(dialog.failureText().count(QLatin1Char('\n')), 399);
        QVERIFY(dialog.height() < 600);  // the list scrolls; the buttons stay in view
        QVERIFY(child<QPushButton>(dialog, "cmdCopyFailureList")->isVisible());
        QVERIFY(child<QWidget>(dialog, "cmdSummaryOK")->isVisible());
    }

    void aDisconnectedIPodIsSaidOnceWithHowToFinish()
    {
        RescueWindow w(m_dialogs);
        w.load(w.device.root());
        m_dialogs.deviceRead = failingOn({"T3.mp3"}, ENODEV);
        Summary summary;
        m_dialogs.dialogSteps.push_back(readSummary(summary));
        w.copyAll(m_dialogs);
        QCOMPARE(summary.text, QStringLiteral("The iPod was disconnected; 2 of 4 files were copied; copy again with the same options "
                                              "to finish.\nCopied: 2 files\nSkipped: 0 files\nFailed: 0 files"));
        QCOMPARE(summary.failures, QString());
        QVERIFY(!summary.hint.isEmpty());
        QVERIFY(!fs::exists(w.destination.path() / "Three.mp3"));
        QVERIFY(!fs::exists(w.destination.path() / "Four.mp3"));
    }

    void aStalledReadKeepsTheProgressWindowDrawingAndCancelWaitsForIt()
    {
        TempDir dir;
        std::vector<CopyItem> items;
        for (const char* name : {"a", "b", "slow", "after"}) {
            writeFile(dir.path() / "device" / name, std::string(5000, name[0]));
            items.push_back({dir.path() / "device" / name, dir.path() / "out" / name, name});
        }
        const auto check = [&](const StalledCopy& copy) {
            QVERIFY(copy.result.cancelled);
            QVERIFY2(copy.paintsWhileStalled >= 3, qPrintable(QString::number(copy.paintsWhileStalled)));
            // Cancel was taken and waits for the blocked read: the window stays until it returns.
            QCOMPARE(copy.buttonAfterCancel, QStringLiteral("Cancelling..."));
            QVERIFY(copy.openAfterCancel);
            std::vector<std::string> copied;
            for (const auto& entry : fs::directory_iterator(dir.path() / "out"))
                copied.push_back(entry.path().filename().string());
            std::sort(copied.begin(), copied.end());
            QCOMPARE(copied, (std::vector<std::string>{"a", "b"}));  // nothing half-written, nothing after
        };

        // Through the engine's seam: the read of "slow" takes 1.5 s.
        CopySettings settings;
        settings.read = [](int fd, char* buffer, std::size_t size, std::uint64_t offset) -> ssize_t {
            if (fs::read_symlink("/proc/self/fd/" + std::to_string(fd)).filename() == "slow")
                std::this_thread::sleep_for(std::chrono::milliseconds(1500));
            return ::pread(fd, buffer, size, static_cast<off_t>(offset));
        };
        check(copyThroughAStall(items, settings));

        // On a real disk that stalls.
        fs::remove_all(dir.path() / "out");
        FaultyDevice disk(dir.path() / "device");
        if (!disk.mounted())
            QSKIP(disk.whyNot().c_str());
        disk.setRules(R"({"files": {"slow": {"stall": 1.5, "stall_reads": 1}}})");
        for (CopyItem& item : items)
            item.source = disk.root() / item.source.filename();
        check(copyThroughAStall(items, {.deviceRoot = disk.root()}));
    }

    void theCopyAndTheLoadOnAFailingDisk()
    {
        RescueWindow w(m_dialogs);
        FaultyDevice disk(w.device.dir.path());
        if (!disk.mounted())
            QSKIP(disk.whyNot().c_str());
        const QString root = QString::fromStdString(disk.root().string());
        disk.setRules(R"({"files": {"iPod_Control/Music/F01/T1.mp3": {"eio": "always"}}})");
        w.load(root);
        Summary summary;
        m_dialogs.dialogSteps.push_back(readSummary(summary));
        w.copyAll(m_dialogs);
        QCOMPARE(summary.text, QStringLiteral("The copy is finished.\nCopied: 3 files\nSkipped: 0 files\nFailed: 1 file"));
        QCOMPARE(summary.failures, QStringLiteral("\"One\" by Band (%1/iPod_Control/Music/F01/T1.mp3): the iPod's disk could not "
                                                  "read this file (Input/output error)").arg(root));

        // The database the disk cannot read: one message, the library's, and nothing repaired.
        m_dialogs.prompts.clear();
        m_dialogs.answers = {MessageResult::Yes, MessageResult::Yes};
        disk.setRules(R"({"files": {"iPod_Control/iTunes/Sonarchive": {"eio": "always"}}})");
        w.window.cmdLoadiPod_Click();
        QCOMPARE(m_dialogs.prompts.size(), std::size_t(1));
        QCOMPARE(m_dialogs.prompts[0].title, QStringLiteral("iPod Disk Error"));
        QCOMPARE(m_dialogs.prompts[0].icon, MessageIcon::Critical);
        QVERIFY(m_dialogs.prompts[0].text.startsWith(QStringLiteral("The iPod's disk could not read its database")));
        QCOMPARE(w.window.trackList().statusText(), QStringLiteral("Failed to Load iPod Contents"));
        QVERIFY(!fs::exists(w.device.dir.path() / "iPod_Control/iTunes/Sonarchive.bak"));
    }

    void backUpTheDatabaseFromTheToolsMenu()
    {
        RescueWindow w(m_dialogs);
        w.window.useDeviceForThisRun(w.device.root());
        QList<QUrl> opened;
        w.window.setUrlOpener([&](const QUrl& url) {
            opened << url;
            return true;
        });
        child<QPushButton>(w.window, "cmdTools")->click();
        QCOMPARE(w.window.Menus().lastShown(), w.window.Menus().mnuTools);
        QCOMPARE(w.window.Menus().mnuTools->actions().at(0)->text(), QStringLiteral("Back Up iPod Database..."));

        m_dialogs.folders.push_back(w.folder());
        QString text;
        m_dialogs.dialogSteps.push_back([&](QDialog& d) {
            text = static_cast<CopySummaryDialog&>(d).summaryText();
            child<QPushButton>(d, "cmdOpenDestination")->click();
            return int(QDialog::Accepted);
        });
        w.window.Menus().mnuBackUpDatabase->trigger();
        QCOMPARE(m_dialogs.browserTitles.back(), QStringLiteral("Please, Select the folder to keep the iPod Database backup in."));
        QCOMPARE(text, QStringLiteral("The backup is finished.\nBacked up: 2 files\nFailed: 0 files"));
        QVERIFY(m_dialogs.copySettings.back().readOnly);
        std::vector<fs::path> made(fs::directory_iterator(w.destination.path()), fs::directory_iterator());
        QCOMPARE(made.size(), std::size_t(1));
        QVERIFY(made[0].filename().string().starts_with("iPod Backup "));
        QVERIFY(readFile(made[0] / "iPod_Control/iTunes/Play Counts") == readFile(w.device.dir.path() / "iPod_Control/iTunes/Play Counts"));
        QVERIFY(readFile(made[0] / "iPod_Control/iTunes/Sonarchive") == readFile(w.device.dir.path() / "iPod_Control/iTunes/Sonarchive"));
        struct stat info {};
        QCOMPARE(::stat((made[0] / "iPod_Control/iTunes/Sonarchive").c_str(), &info), 0);
        QCOMPARE(info.st_mode & 0222, 0u);
        QCOMPARE(opened, QList<QUrl>({QUrl::fromLocalFile(QString::fromStdString(made[0].string()))}));
        QVERIFY(w.window.trackList().TrackInfos().empty());  // the database was not loaded for it
    }

    void aLoadedDeviceIsBackedUpWhereItWasLoadedFrom()
    {
        RescueWindow w(m_dialogs);
        w.load(w.device.root());
        QCOMPARE(w.window.trackList().TrackInfos().size(), std::size_t(4));
        const std::u16string loadedRoot = w.window.TrackLibrary().iPodDriveLetter();
        FixtureDevice other({makeTrack(9, u"Elsewhere")});
        w.window.useDeviceForThisRun(other.root());  // the drive chosen now is another device

        m_dialogs.folders.push_back(w.folder());
        m_dialogs.dialogSteps.push_back([](QDialog&) { return int(QDialog::Accepted); });
        w.window.Menus().mnuBackUpDatabase->trigger();
        std::vector<fs::path> made(fs::directory_iterator(w.destination.path()), fs::directory_iterator());
        QCOMPARE(made.size(), std::size_t(1));
        QVERIFY(readFile(made[0] / "iPod_Control/iTunes/Sonarchive") == readFile(w.device.dir.path() / "iPod_Control/iTunes/Sonarchive"));
        // The library still points at the loaded device, its tracks as they were.
        QVERIFY(w.window.TrackLibrary().iPodDriveLetter() == loadedRoot);
        QCOMPARE(w.window.trackList().TrackInfos().size(), std::size_t(4));
        QCOMPARE(w.window.trackList().TrackInfos()[0].sTitle, std::u16string(u"One"));
        QVERIFY(m_dialogs.prompts.empty());
    }
};

QTEST_MAIN(RescueTest)
#include "RescueTest.moc"
