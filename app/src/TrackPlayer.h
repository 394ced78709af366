#pragma once

#include "MciInterpreter.h"
#include "TrackGrid.h"
#include "modMCI.h"

#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>

class QLabel;
class QPushButton;
class QTimer;
class QWidget;

namespace tracklift {

class TrackList;

// Plays the highlighted track: audio inside the program through media command
// strings, with the running time; everything else in the outside player.
// Next and previous step through the list without wrapping around.
class TrackPlayer final : public QObject {
    Q_OBJECT
public:
    struct Widgets {
        QWidget* frameMovie;  // the hidden panel the media device draws into
        QPushButton* cmdPrevTrack;
        QPushButton* cmdPlay;
        QPushButton* cmdStop;
        QPushButton* cmdNextTrack;
        QLabel* lblPlayInformation;
        QLabel* lblTime;
        QLabel* lblTotalTime;
        QLabel* lblFileName;
    };

    TrackPlayer(const Widgets& widgets, TrackList& tracks, QWidget* owner);
    ~TrackPlayer() override;

    void cmdPlay_Click();  // play, and open the way to next and previous
    void PlayHighlightedTrack();
    void PlayNextTrack();
    void PlayPreviousTrack();
    void PlayFile(const QString& path, const QString& title, const QString& type);
    void StopPlayback();
    void tmrVideoInfo_Timer();
    // As the contents page opens: next and previous wait for the first play.
    void disableNeighbourButtons();

    std::int32_t CurrentTrackID() const { return m_currentTrackId; }
    const QTimer& tmrVideoInfo() const { return *m_timer; }
    modMCI& MCI() { return *m_mci; }

    // Where the media command strings go; null: the program's own, over Qt Multimedia.
    void setMciDevice(MciDevice* device);
    using ProgramStarter = std::function<bool(const QString& program, const QStringList& arguments, const QString& workingFolder)>;
    void setProgramStarter(ProgramStarter starter) { m_programStarter = std::move(starter); }
    // Where the outside player is looked for first; the program's folder by default.
    void setProgramFolder(const QString& folder) { m_programFolder = folder; }
    QString ffplayProgram() const;

signals:
    void trackStarted(std::int32_t id);
    void playbackStopped();

private:
    void playNeighbour(bool forward);
    void playRow(GridRow row);
    void showPlayInformation(bool shown);

    Widgets m_w;
    TrackList& m_tracks;
    QWidget* m_owner;
    std::unique_ptr<MciInterpreter> m_interpreter;
    std::unique_ptr<modMCI> m_mci;
    QTimer* m_timer;
    ProgramStarter m_programStarter;
    QString m_programFolder;
    std::int32_t m_currentTrackId = 0;
};

}  // namespace tracklift
