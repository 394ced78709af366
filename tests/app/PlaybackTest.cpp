#include "TrackliftTestCase.h"

#include <MciInterpreter.h>
#include <TrackList.h>
#include <TrackPlayer.h>
#include <frmMain.h>
#include <modMCI.h>

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

using namespace tracklift;
using namespace testsupport;
using C = TrackTableModel::Column;

namespace {

// A media back end that plays nothing and says what it was asked.
struct FakeMedia final : MediaBackend {
    struct State {
        QStringList calls;
        std::int64_t length = 0;
        std::int64_t position = 0;
        bool openSucceeds = true;
    };
    explicit FakeMedia(State& s) : state(s) {}
    bool open(const QString& path) override
    {
        state.calls << "open " + path;
        return state.openSucceeds;
    }
    void close() override { state.calls << "close"; }
    void play() override { state.calls << "play"; }
    void pause() override { state.calls << "pause"; }
    void seek(std::int64_t ms) override { state.calls << "seek " + QString::number(ms); }
    std::int64_t lengthMs() const override { return state.length; }
    std::int64_t positionMs() const override { return state.position; }
    State& state;
};

// The interpreter over the fake, with every command string kept.
struct RecordingDevice final : MciDevice {
    FakeMedia::State media;
    MciInterpreter interpreter{[this] { return std::make_unique<FakeMedia>(media); }};
    QStringList commands;
    QString sendString(const QString& command) override
    {
        commands << command;
        return interpreter.sendString(command);
    }
};

struct Started {
    QString program;
    QStringList arguments;
    QString folder;
};

}  // namespace

class PlaybackTest : public TrackliftTestCase {
    Q_OBJECT
private slots:
    void init()
    {
        freshStart();
        m_device = std::make_unique<RecordingDevice>();
        m_started.clear();
    }

    void deviceTypesAndPlayTimes()
    {
        QCOMPARE(modMCI::GetDeviceType("/m/clip.avi"), QStringLiteral("AVIVideo"));
        QCOMPARE(modMCI::GetDeviceType("/m/CLIP.AVI"), QStringLiteral("AVIVideo"));
        QCOMPARE(modMCI::GetDeviceType("/m/song.mp3"), QStringLiteral("MPEGVideo"));
        QCOMPARE(modMCI::GetDeviceType("/m/song.m4a"), QStringLiteral("MPEGVideo"));
        QCOMPARE(modMCI::GetDeviceType("/m/x.avi.mp3"), QStringLiteral("MPEGVideo"));
        QCOMPARE(modMCI::GetDeviceType("avi"), QString());
        QCOMPARE(modMCI::GetDeviceType(""), QString());
        QCOMPARE(modMCI::FormatPlayTime(0), QStringLiteral("00:00"));
        QCOMPARE(modMCI::FormatPlayTime(5500), QStringLiteral("00:05"));
        QCOMPARE(modMCI::FormatPlayTime(59999), QStringLiteral("00:59"));
        QCOMPARE(modMCI::FormatPlayTime(60000), QStringLiteral("01:00"));
        QCOMPARE(modMCI::FormatPlayTime(61000), QStringLiteral("01:01"));
        QCOMPARE(modMCI::FormatPlayTime(3600000), QStringLiteral("60:00"));
    }

    void interpreterTakesThePathUpToTheLastType()
    {
        RecordingDevice d;
        QCOMPARE(d.sendString("play animation "), QStringLiteral("The specified device is not open or is not recognized by MCI."));
        QVERIFY(d.media.calls.isEmpty());
        QCOMPARE(d.sendString(" open /media/My iPod/a type b.mp3 type MPEGVideo alias animation parent 0 style 1073741824 "), QString());
        QCOMPARE(d.media.calls, QStringList{"open /media/My iPod/a type b.mp3"});
        QCOMPARE(d.interpreter.deviceType(), QStringLiteral("MPEGVideo"));
        QVERIFY(!d.sendString(" open /x.mp3 type MPEGVideo alias animation ").isEmpty());  // the alias is taken
        d.media.length = 1234;
        d.media.position = 56;
        QCOMPARE(d.sendString("set animation time format ms "), QString());
        QCOMPARE(d.sendString("status animation length "), QStringLiteral("1234"));
        QCOMPARE(d.sendString("status animation position wait "), QStringLiteral("56"));
        QCOMPARE(d.sendString("put animation window at 0 0 193 113 "), QString());
        QCOMPARE(d.sendString("play animation from 0 "), QString());
        QCOMPARE(d.sendString("status other length "), QStringLiteral("The specified device is not open or is not recognized by MCI."));
        QCOMPARE(d.sendString("jump animation "), QStringLiteral("Unrecognized keyword."));
        QCOMPARE(d.sendString("close animation "), QString());
        QVERIFY(!d.interpreter.isOpen());
        QCOMPARE(d.media.calls, (QStringList{"open /media/My iPod/a type b.mp3", "seek 0", "play", "close"}));
        d.media.openSucceeds = false;
        QVERIFY(!d.sendString(" open /gone.mp3 type MPEGVideo alias animation ").isEmpty());
        QVERIFY(!d.interpreter.isOpen());
    }

    void audioPlaysInTheProgramWithItsTimes()
    {
        frmMain w(m_dialogs);
        prepare(w);
        w.trackList().showTracks({trackInfo(7, "Blue Hour", "", "", "mp3", "/media/My iPod/iPod_Control/Music/F00/AB CD.mp3")});
        m_device->media.length = 59999;
        w.trackList().grid().setActiveCell({0, C::Title});
        QVERIFY(!child<QPushButton>(w, "cmdNextTrack")->isEnabled());
        w.cmdPlay_Click();

        const QString hwnd = QString::number(static_cast<quint64>(child<QWidget>(w, "frameMovie")->effectiveWinId()));
        const QString size = QStringLiteral("%1 %2").arg(child<QWidget>(w, "frameMovie")->width()).arg(child<QWidget>(w, "frameMovie")->height());
        QCOMPARE(m_device->commands,
                 (QStringList{"close animation ", "close animation ",
                              " open /media/My iPod/iPod_Control/Music/F00/AB CD.mp3 type MPEGVideo alias animation parent " + hwnd +
                                  " style 1073741824 ",
                              "play animation ", "pause animation ", "play animation ", "put animation window at 0 0 " + size + "  ",
                              "set animation time format ms ", "status animation length "}));
        QCOMPARE(m_device->media.calls.first(), QStringLiteral("open /media/My iPod/iPod_Control/Music/F00/AB CD.mp3"));
        QCOMPARE(w.player().CurrentTrackID(), 7);
        QCOMPARE(child<QLabel>(w, "lblTotalTime")->text(), QStringLiteral("/ 00:59"));
        QCOMPARE(child<QLabel>(w, "lblFileName")->text(), QStringLiteral("Playing Blue Hour"));
        for (QLabel* label : {child<QLabel>(w, "lblPlayInformation"), child<QLabel>(w, "lblTime"), child<QLabel>(w, "lblTotalTime"), child<QLabel>(w, "lblFileName")})
            QVERIFY(label->isVisibleTo(child<QWidget>(w, "frContents")));  // on its page
        QVERIFY(w.player().tmrVideoInfo().isActive());
        QCOMPARE(w.player().tmrVideoInfo().interval(), 1000);
        QVERIFY(child<QPushButton>(w, "cmdNextTrack")->isEnabled());
        QVERIFY(child<QPushButton>(w, "cmdPrevTrack")->isEnabled());
        QVERIFY(m_started.empty());

        // The time runs; a position stuck at 00:00 never ends the track.
        for (int i = 0; i < 3; ++i)
            w.player().tmrVideoInfo_Timer();
        QVERIFY(w.player().tmrVideoInfo().isActive());
        m_device->media.position = 5400;
        w.player().tmrVideoInfo_Timer();
        QCOMPARE(child<QLabel>(w, "lblTime")->text(), QStringLiteral("00:05"));
        QVERIFY(w.player().tmrVideoInfo().isActive());

        // The same second twice: the end of the track. Rewound, paused, labels hidden.
        m_device->commands.clear();
        QSignalSpy stopped(&w.player(), &TrackPlayer::playbackStopped);
        w.player().tmrVideoInfo_Timer();
        QCOMPARE(stopped.count(), 1);
        QVERIFY(!w.player().tmrVideoInfo().isActive());
        QCOMPARE(m_device->commands.mid(2), (QStringList{"play animation from 0 ", "pause animation "}));
        QVERIFY(!child<QLabel>(w, "lblTime")->isVisibleTo(child<QWidget>(w, "frContents")));
        QVERIFY(!child<QLabel>(w, "lblFileName")->isVisibleTo(child<QWidget>(w, "frContents")));
        QVERIFY(m_device->interpreter.isOpen());

        // Playing again starts counting afresh, even at the second the last one stopped at.
        w.cmdPlay_Click();
        QCOMPARE(child<QLabel>(w, "lblTime")->text(), QStringLiteral("00:00"));
        w.player().tmrVideoInfo_Timer();
        QVERIFY(w.player().tmrVideoInfo().isActive());
        QCOMPARE(child<QLabel>(w, "lblTime")->text(), QStringLiteral("00:05"));

        // Stop and "<< Back" rewind too.
        m_device->commands.clear();
        w.StopPlayback();
        QCOMPARE(m_device->commands, (QStringList{"play animation from 0 ", "pause animation "}));
        QVERIFY(!w.player().tmrVideoInfo().isActive());
        w.cmdPlay_Click();
        m_device->commands.clear();
        w.cmdCancel_Click();
        QCOMPARE(m_device->commands, (QStringList{"play animation from 0 ", "pause animation "}));
        QVERIFY(!w.player().tmrVideoInfo().isActive());
    }

    void otherTypesStartTheOutsidePlayer()
    {
        frmMain w(m_dialogs);
        prepare(w);
        w.trackList().showTracks({trackInfo(1, "Clip", "", "", "M4V", "/media/ipod/iPod_Control/Music/F01/VID 1.m4v"),
                       trackInfo(2, "Film", "", "", "MP4", "")});
        TempDir folder;
        w.player().setProgramFolder(QString::fromStdString(folder.path().string()));
        const QString onPath = QStandardPaths::findExecutable("ffplay");
        const QString beside = QString::fromStdString((folder.path() / "ffplay").string());
        QCOMPARE(w.player().ffplayProgram(), onPath.isEmpty() ? beside : onPath);
        QFile player(beside);
        QVERIFY(player.open(QIODevice::WriteOnly));
        player.close();
        player.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(w.player().ffplayProgram(), beside);  // the one beside the program comes first

        w.trackList().grid().setActiveCell({0, C::Title});
        w.cmdPlay_Click();
        QCOMPARE(m_started.size(), std::size_t(1));
        QCOMPARE(m_started[0].program, beside);
        QCOMPARE(m_started[0].arguments, QStringList{"/media/ipod/iPod_Control/Music/F01/VID 1.m4v"});
        QCOMPARE(m_started[0].folder, QStringLiteral("/"));
        QVERIFY(m_device->commands.isEmpty());
        QVERIFY(!w.player().tmrVideoInfo().isActive());
        QVERIFY(!child<QLabel>(w, "lblTime")->isVisibleTo(child<QWidget>(w, "frContents")));
        QCOMPARE(w.player().MCI().MovieFile, QStringLiteral("/media/ipod/iPod_Control/Music/F01/VID 1.m4v"));
        QCOMPARE(w.player().MCI().MovieDevice, QStringLiteral("MPEGVideo"));

        // A track without location hands the player an empty parameter.
        w.PlayNextTrack();
        QCOMPARE(m_started.size(), std::size_t(2));
        QCOMPARE(m_started[1].arguments, QStringList{QString()});
    }

    void nextAndPreviousStopAtTheEnds()
    {
        frmMain w(m_dialogs);
        prepare(w);
        w.trackList().showTracks({trackInfo(1, "One", "", "", "WAV", "/t/1.wav"), trackInfo(2, "Two", "", "", "WAV", "/t/2.wav"),
                       trackInfo(3, "Three", "", "", "WAV", "/t/3.wav")});
        w.PlayNextTrack();  // nothing played yet
        QVERIFY(m_device->commands.isEmpty());

        w.trackList().grid().setActiveCell({0, C::Title});
        QSignalSpy started(&w.player(), &TrackPlayer::trackStarted);
        emit w.trackList().grid().rowDoubleClicked(0);
        QCOMPARE(started.count(), 1);
        QCOMPARE(started.at(0).at(0).toInt(), 1);  // a double click plays as the play button does
        QCOMPARE(w.player().CurrentTrackID(), 1);
        QCOMPARE(m_device->interpreter.path(), QStringLiteral("/t/1.wav"));
        QVERIFY(child<QPushButton>(w, "cmdNextTrack")->isEnabled());
        const auto opened = [&] { return m_device->interpreter.path(); };
        m_device->commands.clear();
        w.PlayPreviousTrack();
        QVERIFY(m_device->commands.isEmpty());  // no wrap-around at the top
        w.PlayNextTrack();
        QCOMPARE(w.player().CurrentTrackID(), 2);
        QCOMPARE(opened(), QStringLiteral("/t/2.wav"));
        QVERIFY(w.trackList().grid().isRowSelected(1));
        QVERIFY(!w.trackList().grid().isRowSelected(0));
        w.PlayNextTrack();
        QCOMPARE(w.player().CurrentTrackID(), 3);
        m_device->commands.clear();
        w.PlayNextTrack();
        QVERIFY(m_device->commands.isEmpty());  // nor at the bottom
        QCOMPARE(w.player().CurrentTrackID(), 3);
        w.PlayPreviousTrack();
        QCOMPARE(w.player().CurrentTrackID(), 2);
        QCOMPARE(opened(), QStringLiteral("/t/2.wav"));
        w.PlayPreviousTrack();
        QCOMPARE(w.player().CurrentTrackID(), 1);
        QCOMPARE(child<QLabel>(w, "lblFileName")->text(), QStringLiteral("Playing One"));
    }

    void nothingHighlightedPlaysNothing()
    {
        frmMain w(m_dialogs);
        prepare(w);
        w.trackList().showTracks({trackInfo(1, "One")});
        w.trackList().grid().setActiveCell({});
        w.cmdPlay_Click();
        QCOMPARE(w.player().CurrentTrackID(), 0);
        QVERIFY(m_device->commands.isEmpty());
        QVERIFY(m_dialogs.prompts.empty());
    }

private:
    void prepare(frmMain& w)
    {
        w.player().setMciDevice(m_device.get());
        w.player().setProgramStarter([this](const QString& program, const QStringList& arguments, const QString& folder) {
            m_started.push_back({program, arguments, folder});
            return true;
        });
    }

    std::unique_ptr<RecordingDevice> m_device;
    std::vector<Started> m_started;
};

QTEST_MAIN(PlaybackTest)
#include "PlaybackTest.moc"
