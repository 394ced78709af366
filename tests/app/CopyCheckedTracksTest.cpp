#include "FixtureDevice.h"
#include "TrackliftTestCase.h"

#include <QtDialogs.h>
#include <TrackCopier.h>
#include <TrackList.h>
#include <frmMain.h>

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace tracklift;
using namespace trackcopy;
using namespace testsupport;
using C = TrackTableModel::Column;
namespace fs = std::filesystem;

namespace {

std::string location(int n, const char* extension = ".mp3")
{
    return ":iPod_Control:Music:F0" + std::to_string(n % 10) + ":T" + std::to_string(n) + extension;
}

std::u16string u16(const std::string& s)
{
    return std::u16string(s.begin(), s.end());
}

// A loaded window over a device whose tracks have real media files.
struct LoadedWindow {
    FixtureDevice device;
    ScriptedDialogs& dialogs;
    frmMain window;
    TempDir destination;

    LoadedWindow(ScriptedDialogs& d, const std::vector<TrackFixture>& tracks) : device(tracks), dialogs(d), window(d)
    {
        for (const TrackFixture& t : tracks) {
            const std::string loc = sonarchive_location(t);
            if (loc.empty())
                continue;
            const fs::path file = device.file(loc);
            if (file.extension() == ".mp3")
                makeMp3(file, 1, 200 + 10 * t.id);
            else
                writeFile(file, "media bytes of track " + std::to_string(t.id));
        }
        window.useDeviceForThisRun(device.root());
        window.cmdLoadiPod_Click();
    }

    static std::string sonarchive_location(const TrackFixture& t)
    {
        for (const StringFixture& s : t.strings)
            if (s.type == 2)
                return std::string(s.text.begin(), s.text.end());
        return {};
    }
    QString folder() const { return QString::fromStdString(destination.path().string()); }
    void check(GridRow row) { window.trackList().grid().setCellValue(row, C::CheckBox, 1); }
    void checkAll() { child<QCheckBox>(window, "chkSelectAll")->setChecked(true); }
};

TrackFixture track(int id, const std::u16string& title, const char* extension = ".mp3")
{
    return makeTrack(id, title, u"Artist", u"Album", u16(location(id, extension)));
}

}  // namespace

class CopyCheckedTracksTest : public TrackliftTestCase {
    Q_OBJECT
private slots:
    void nothingCheckedWarns()
    {
        LoadedWindow w(m_dialogs, {track(1, u"One"), track(2, u"Two")});
        w.window.copier().CopyCheckedTracks();
        QCOMPARE(m_dialogs.prompts.size(), std::size_t(1));
        QCOMPARE(m_dialogs.prompts[0].text, QStringLiteral("Please, Select track or more to copy."));
        QCOMPARE(m_dialogs.prompts[0].title, QStringLiteral("Tracklift"));
        QCOMPARE(m_dialogs.prompts[0].icon, MessageIcon::Exclamation);
        QVERIFY(m_dialogs.browserTitles.empty());
        QVERIFY(m_dialogs.copyRequests.empty());
    }

    void cancelledFolderDialogDoesNothing()
    {
        LoadedWindow w(m_dialogs, {track(1, u"One")});
        w.check(0);
        w.window.copier().CopyCheckedTracks();
        QCOMPARE(m_dialogs.browserTitles, std::vector<QString>{QStringLiteral("Please, Select the Destination folder.")});
        QVERIFY(m_dialogs.prompts.empty());
        QVERIFY(m_dialogs.copyRequests.empty());
    }

    void onlyTheLastRowCheckedCopiesThatTrack()
    {
        LoadedWindow w(m_dialogs, {track(1, u"One"), track(2, u"Two"), track(3, u"Three")});
        w.check(2);
        m_dialogs.folders.push_back(w.folder());
        w.window.copier().CopyCheckedTracks();
        QVERIFY(m_dialogs.prompts.empty());
        QCOMPARE(m_dialogs.copyRequests.size(), std::size_t(1));
        QCOMPARE(m_dialogs.copyRequests[0].size(), std::size_t(1));
        const fs::path copied = w.destination.path() / "Three.mp3";
        QCOMPARE(m_dialogs.copyRequests[0][0].destination, copied);
        QVERIFY(fs::exists(copied));
        QVERIFY(!readFile(copied).empty());
        QVERIFY(readFile(copied) == readFile(w.device.file(location(3))));
        QCOMPARE(std::distance(fs::directory_iterator(w.destination.path()), fs::directory_iterator()), 1);
    }

    void namesComeFromCleanedTitles()
    {
        const std::u16string cyrillic(250, u'\u0416');
        LoadedWindow w(m_dialogs, {track(1, u"AC/DC: Live?"), track(2, u" :? "), track(3, u" Leading"),
                                   track(4, u"Bare", ""), track(5, cyrillic), track(6, u"Clip", ".m4v")});
        w.checkAll();
        m_dialogs.folders.push_back(w.folder() + "/");  // a folder already ending in "/" gets no second one
        w.window.copier().CopyCheckedTracks();
        QCOMPARE(m_dialogs.lastResult.copied, std::size_t(6));
        QVERIFY(m_dialogs.lastResult.failures.empty());
        const auto& items = m_dialogs.copyRequests.at(0);
        QCOMPARE(items[0].destination, w.destination.path() / "ACDC Live.mp3");
        QCOMPARE(items[1].destination, w.destination.path() / "iPodFile.mp3");
        QCOMPARE(items[2].destination, w.destination.path() / " Leading.mp3");
        QCOMPARE(items[3].destination, w.destination.path() / "Bare.");
        QCOMPARE(items[5].destination, w.destination.path() / "Clip.m4v");
        QVERIFY(fs::exists(w.destination.path() / "ACDC Live.mp3"));
        QVERIFY(fs::exists(w.destination.path() / "iPodFile.mp3"));
        QVERIFY(fs::exists(w.destination.path() / " Leading.mp3"));
        QVERIFY(fs::exists(w.destination.path() / "Bare"));  // the trailing "." is dropped
        QVERIFY(readFile(w.destination.path() / "Clip.m4v") == readFile(w.device.file(location(6, ".m4v"))));

        // The 250-letter Cyrillic title (500 bytes) is cut at a letter so that the name fits 255 bytes.
        const std::string name = items[4].destination.filename().string();
        QCOMPARE(name, QString(125, QChar(u'\u0416')).toStdString() + ".mp3");
        QVERIFY(readFile(items[4].destination) == readFile(w.device.file(location(5))));
    }

    void rowWithoutALocationIsLeftOut()
    {
        TrackFixture noLocation = makeTrack(2, u"Nowhere");
        noLocation.strings.erase(noLocation.strings.begin() + 1);
        LoadedWindow w(m_dialogs, {track(1, u"One"), noLocation, track(3, u"Three")});
        w.checkAll();
        m_dialogs.folders.push_back(w.folder());
        w.window.copier().CopyCheckedTracks();
        QCOMPARE(m_dialogs.copyRequests.at(0).size(), std::size_t(2));
        QVERIFY(fs::exists(w.destination.path() / "One.mp3"));
        QVERIFY(fs::exists(w.destination.path() / "Three.mp3"));
    }

    void sameTitlesMeetTheReplacePrompt()
    {
        LoadedWindow w(m_dialogs, {track(1, u"Same"), track(2, u"Same"), track(3, u"Same")});
        w.checkAll();
        m_dialogs.folders.push_back(w.folder());
        m_dialogs.replaceAnswers = {ReplaceAnswer::KeepBoth, ReplaceAnswer::No};
        w.window.copier().CopyCheckedTracks();
        QCOMPARE(m_dialogs.replacePrompts.size(), std::size_t(2));
        QVERIFY(readFile(w.destination.path() / "Same.mp3") == readFile(w.device.file(location(1))));
        QVERIFY(readFile(w.destination.path() / "Same (2).mp3") == readFile(w.device.file(location(2))));
        QVERIFY(!fs::exists(w.destination.path() / "Same (3).mp3"));
    }

    void cancelMidCopyLeavesNoPartialFile()
    {
        LoadedWindow w(m_dialogs, {track(1, u"Small"), track(2, u"Big", ".mp4"), track(3, u"Never")});
        writeFile(w.device.file(location(2, ".mp4")), std::string(3 * BatchCopy::kChunkBytes, 'v'));
        w.checkAll();
        m_dialogs.folders.push_back(w.folder());
        m_dialogs.cancelAfterBytes = fs::file_size(w.device.file(location(1))) + BatchCopy::kChunkBytes;
        w.window.copier().CopyCheckedTracks();
        QVERIFY(m_dialogs.lastResult.cancelled);
        QVERIFY(fs::exists(w.destination.path() / "Small.mp3"));
        QCOMPARE(std::distance(fs::directory_iterator(w.destination.path()), fs::directory_iterator()), 1);
    }

    void progressWindowCopiesAndClosesByItself()
    {
        TempDir dir;
        writeFile(dir.path() / "a", std::string(100000, 'a'));
        writeFile(dir.path() / "b", "b");
        writeFile(dir.path() / "out/b copy", "old");
        QtDialogs dialogs;
        // The replace prompt is a modal box: answer it with "Keep Both" when it shows.
        QTimer answerer;
        connect(&answerer, &QTimer::timeout, [] {
            for (QWidget* top : QApplication::topLevelWidgets()) {
                if (!top->isVisible())
                    continue;
                for (QPushButton* button : top->findChildren<QPushButton*>())
                    if (button->text() == QLatin1String("Keep Both"))
                        button->click();
            }
        });
        answerer.start(20);
        const CopyResult result = dialogs.copyFiles(nullptr, {{dir.path() / "a", dir.path() / "out/a copy"},
                                                              {dir.path() / "b", dir.path() / "out/b copy"}},
                                                    {});
        QCOMPARE(result.copied, std::size_t(2));
        QCOMPARE(readFile(dir.path() / "out/a copy"), std::string(100000, 'a'));
        QCOMPARE(readFile(dir.path() / "out/b copy"), std::string("old"));
        QCOMPARE(readFile(dir.path() / "out/b copy (2)"), std::string("b"));
    }
};

QTEST_MAIN(CopyCheckedTracksTest)
#include "CopyCheckedTracksTest.moc"
