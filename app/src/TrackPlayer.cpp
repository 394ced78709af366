#include "TrackPlayer.h"

#include "QtMediaBackend.h"
#include "TrackList.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>
#include <QWidget>

namespace tracklift {

namespace {

constexpr int kTimeTickMs = 1000;

}  // namespace

TrackPlayer::TrackPlayer(const Widgets& widgets, TrackList& tracks, QWidget* owner)
    : QObject(owner)
    , m_w(widgets)
    , m_tracks(tracks)
    , m_owner(owner)
    , m_interpreter(std::make_unique<MciInterpreter>([] { return std::make_unique<QtMediaBackend>(); }))
    , m_mci(std::make_unique<modMCI>(m_interpreter.get()))
    , m_timer(new QTimer(this))
{
    m_timer->setInterval(kTimeTickMs);
    connect(m_timer, &QTimer::timeout, this, &TrackPlayer::tmrVideoInfo_Timer);
    connect(m_w.cmdPlay, &QPushButton::clicked, this, &TrackPlayer::cmdPlay_Click);
    connect(m_w.cmdNextTrack, &QPushButton::clicked, this, &TrackPlayer::PlayNextTrack);
    connect(m_w.cmdPrevTrack, &QPushButton::clicked, this, &TrackPlayer::PlayPreviousTrack);
    connect(m_w.cmdStop, &QPushButton::clicked, this, &TrackPlayer::StopPlayback);
    connect(&m_tracks.grid(), &TrackGrid::rowDoubleClicked, this, &TrackPlayer::cmdPlay_Click);
    disableNeighbourButtons();
    showPlayInformation(false);
}

TrackPlayer::~TrackPlayer() = default;

void TrackPlayer::setMciDevice(MciDevice* device)
{
    m_mci->setDevice(device ? device : m_interpreter.get());
}

void TrackPlayer::disableNeighbourButtons()
{
    m_w.cmdPrevTrack->setEnabled(false);
    m_w.cmdNextTrack->setEnabled(false);
}

void TrackPlayer::cmdPlay_Click()
{
    PlayHighlightedTrack();
    m_w.cmdPrevTrack->setEnabled(true);
    m_w.cmdNextTrack->setEnabled(true);
}

void TrackPlayer::PlayHighlightedTrack()
{
    const GridRow row = m_tracks.highlightedRow();
    if (row == kNoRow)
        return;  // nothing highlighted: nothing plays, no message
    playRow(row);
}

void TrackPlayer::playRow(GridRow row)
{
    const TrackGrid& grid = m_tracks.grid();
    m_currentTrackId = grid.cellText(row, TrackTableModel::ID).toInt();
    PlayFile(m_tracks.GetTrackLocation(m_currentTrackId), grid.cellText(row, TrackTableModel::Title),
             grid.cellText(row, TrackTableModel::Type));
}

void TrackPlayer::PlayNextTrack()
{
    playNeighbour(true);
}

void TrackPlayer::PlayPreviousTrack()
{
    playNeighbour(false);
}

void TrackPlayer::playNeighbour(bool forward)
{
    if (m_currentTrackId == 0)
        return;
    TrackGrid& grid = m_tracks.grid();
    grid.resetAppearances();
    const auto step = [&](GridRow r) { return forward ? grid.nextRow(r) : grid.previousRow(r); };
    const auto idOf = [&](GridRow r) { return grid.cellText(r, TrackTableModel::ID).toInt(); };
    GridRow row = forward ? grid.firstRow() : grid.lastRow();
    if (row == kNoRow)
        return;
    bool passed = false;
    if (idOf(row) == m_currentTrackId) {
        grid.setRowSelected(row, false);
        passed = true;
    }
    // No wrap-around: past the end of the list nothing plays.
    for (GridRow next = step(row); next != kNoRow; next = step(row)) {
        row = next;
        if (passed) {
            grid.setRowSelected(row, true);
            grid.scrollToRow(row);
            playRow(row);
            return;
        }
        if (idOf(row) == m_currentTrackId && step(row) != kNoRow) {
            grid.setRowSelected(row, false);
            grid.setCellSelected({row, TrackTableModel::CheckBox}, false);
            passed = true;
        }
    }
}

QString TrackPlayer::ffplayProgram() const
{
    const QString folder = m_programFolder.isEmpty() ? QCoreApplication::applicationDirPath() : m_programFolder;
    const QString beside = folder + QStringLiteral("/ffplay");
    if (QFileInfo(beside).isFile() && QFileInfo(beside).isExecutable())
        return beside;
    const QString onPath = QStandardPaths::findExecutable(QStringLiteral("ffplay"));
    return onPath.isEmpty() ? beside : onPath;  // a missing player fails to start, silently
}

void TrackPlayer::PlayFile(const QString& path, const QString& title, const QString& type)
{
    m_mci->MovieWindow = static_cast<quint64>(m_w.frameMovie->effectiveWinId());
    m_mci->MovieFile = path;
    m_mci->MovieDevice = modMCI::GetDeviceType(path);
    emit trackStarted(m_currentTrackId);
    const QString upper = type.toUpper();
    if (upper != QLatin1String("WAV") && upper != QLatin1String("MP3") && upper != QLatin1String("AAC")) {
        // The outside player shows its own window and runs on its own.
        const QString program = ffplayProgram();
        if (m_programStarter)
            m_programStarter(program, {path}, QStringLiteral("/"));
        else
            QProcess::startDetached(program, {path}, QStringLiteral("/"));
        return;
    }
    m_timer->start();
    // A new track counts from zero: a time left from the previous track must
    // not look like this one standing still.
    m_w.lblTime->setText(QStringLiteral("00:00"));
    m_mci->MciCommand(QStringLiteral("close animation"));
    m_mci->OpenMovie();
    m_mci->MciCommand(QStringLiteral("play animation"));
    const double dpiX = m_owner->logicalDpiX();
    const double dpiY = m_owner->logicalDpiY();
    m_mci->PositionMovie(qRound(m_w.frameMovie->width() * 1440.0 / dpiX), qRound(m_w.frameMovie->height() * 1440.0 / dpiY),
                         qRound(1440.0 / dpiX), qRound(1440.0 / dpiY));
    m_w.lblTotalTime->setText(QStringLiteral("/ ") + modMCI::FormatPlayTime(m_mci->MovieLengthMs()));
    m_w.lblFileName->setText(QStringLiteral("Playing ") + title);
    showPlayInformation(true);
}

void TrackPlayer::tmrVideoInfo_Timer()
{
    const QString now = modMCI::FormatPlayTime(m_mci->MoviePositionMs());
    if (now == m_w.lblTime->text() && now != QLatin1String("00:00")) {
        // The time stands still: the track has ended.
        StopPlayback();
        m_timer->stop();
    }
    m_w.lblTime->setText(now);
}

void TrackPlayer::StopPlayback()
{
    // The device stays open, rewound and paused.
    m_mci->MciCommand(QStringLiteral("play animation from 0"));
    m_mci->MciCommand(QStringLiteral("pause animation"));
    m_timer->stop();
    showPlayInformation(false);
    emit playbackStopped();
}

void TrackPlayer::showPlayInformation(bool shown)
{
    for (QLabel* label : {m_w.lblPlayInformation, m_w.lblTime, m_w.lblTotalTime, m_w.lblFileName})
        label->setVisible(shown);
}

}  // namespace tracklift
