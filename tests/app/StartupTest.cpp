#include "FixtureDevice.h"
#include "TrackliftTestCase.h"

#include <PanelSlides.h>
#include <SingleInstance.h>
#include <Startup.h>
#include <TrackList.h>
#include <frmMain.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>

using namespace tracklift;
using namespace testsupport;

class StartupTest : public TrackliftTestCase {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(m_runtime.path().string()));
    }

    void lockIsHeldByOneInstanceOnly()
    {
        SingleInstance first(QStringLiteral("TrackliftLockTest"));
        QVERIFY(!first.anotherInstanceRunning());
        QCOMPARE(first.lockFile(), QString::fromStdString(m_runtime.path().string()) + "/TrackliftLockTest");
        {
            SingleInstance second(QStringLiteral("TrackliftLockTest"));
            QVERIFY(second.anotherInstanceRunning());
        }
        SingleInstance third(QStringLiteral("TrackliftLockTest"));
        QVERIFY(third.anotherInstanceRunning());  // the first still holds it
    }

    void secondInstanceIsRefused()
    {
        // Another process holds the program's lock.
        SingleInstance other;
        QVERIFY(!other.anotherInstanceRunning());
        ScriptedDialogs dialogs;
        int exitCode = -1;
        QVERIFY(!startTracklift(dialogs, {"tracklift"}, exitCode));
        QCOMPARE(exitCode, 1);
        QCOMPARE(dialogs.prompts.size(), std::size_t(1));
        QCOMPARE(dialogs.prompts[0].text, QStringLiteral("Tracklift is already running"));
        QCOMPARE(dialogs.prompts[0].title, QStringLiteral("Tracklift"));
        QCOMPARE(dialogs.prompts[0].icon, MessageIcon::Exclamation);
        QCOMPARE(dialogs.prompts[0].buttons, MessageButtons::OK);
    }

    void startsWithTheDeviceGivenOnTheCommandLine()
    {
        FixtureDevice device({makeTrack(1, u"One")});
        ScriptedDialogs dialogs;
        int exitCode = -1;
        auto window = startTracklift(dialogs, {"tracklift", "--device", device.root()}, exitCode);
        QVERIFY(window);
        QCOMPARE(exitCode, 0);
        window->cmdLoadiPod_Click();
        QCOMPARE(window->trackList().statusText(), QStringLiteral("iPod Contents are Loaded"));
        QVERIFY(dialogs.prompts.empty());
    }

    void loadOptionOpensTheContentsOnceTheViewButtonHasGrown()
    {
        FixtureDevice device({makeTrack(1, u"One"), makeTrack(2, u"Two")});
        ScriptedDialogs dialogs;
        int exitCode = -1;
        auto window = startTracklift(dialogs, {"tracklift", "--device", device.root(), "--load"}, exitCode);
        QVERIFY(window);
        QTRY_VERIFY_WITH_TIMEOUT(window->isContentsPageShown(), 10000);
        QCOMPARE(window->panels().viewButtonWidthTwips(), PanelSlides::kViewButtonTwips);
        QCOMPARE(window->trackList().grid().rowCount(), 2);
        QVERIFY(dialogs.prompts.empty());
    }

    void badArgumentsEndTheProgram()
    {
        ScriptedDialogs dialogs;
        int exitCode = -1;
        QVERIFY(!startTracklift(dialogs, {"tracklift", "--device", "/no/such/folder"}, exitCode));
        QCOMPARE(exitCode, 2);
        QVERIFY(!startTracklift(dialogs, {"tracklift", "--bogus"}, exitCode));
        QCOMPARE(exitCode, 2);
    }

private:
    TempDir m_runtime;
};

QTEST_MAIN(StartupTest)
#include "StartupTest.moc"
