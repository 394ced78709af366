// Playing the highlighted track: audio inside the program through media
// command strings, everything else in the outside player.

#include "QtMediaBackend.h"
#include "frmMain.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QStyle>
#include <QTimer>

namespace tracklift {

void frmMain::buildPlayer()
{
    m_mciInterpreter = std::make_unique<MciInterpreter>([] { return std::make_unique<QtMediaBackend>(); });
    m_mci = std::make_unique<modMCI>(m_mciInterpreter.get());
    tmrVideoInfo = new QTimer(this);
    tmrVideoInfo->setInterval(1000);
    connect(tmrVideoInfo, &QTimer::timeout, this, &frmMain::tmrVideoInfo_Timer);

    frPlayer = new QWidget(frActions);
    frPlayer->setObjectName(QStringLiteral("frPlayer"));
    frPlayer->setAttribute(Qt::WA_StyledBackground);
    const auto button = [this](const char* name, QStyle::StandardPixmap icon, const char* tip) {
        auto* b = new QPushButton(frPlayer);
        b->setObjectName(QLatin1String(name));
        b->setIcon(style()->standardIcon(icon));
        b->setToolTip(QLatin1String(tip));
        b->setProperty("playerButton", true);
        return b;
    };
    cmdPrevTrack = button("cmdPrevTrack", QStyle::SP_MediaSkipBackward, "Play Previous Track");
    cmdPlay = button("cmdPlay", QStyle::SP_MediaPlay, "Play / Pause Highlighted Track");
    cmdStop = button("cmdStop", QStyle::SP_MediaStop, "Stop");
    cmdNextTrack = button("cmdNextTrack", QStyle::SP_MediaSkipForward, "Play Next Track");
    cmdPrevTrack->setEnabled(false);
    cmdNextTrack->setEnabled(false);
    lblPlayInformation = new QLabel(QStringLiteral("Play Information"), frPlayer);
    lblPlayInformation->setObjectName(QStringLiteral("lblPlayInformation"));
    lblFileName = new QLabel(QStringLiteral("."), frPlayer);
    lblFileName->setObjectName(QStringLiteral("lblFileName"));
    lblFileName->setMinimumWidth(px(140));
    lblFileName->setMaximumWidth(px(220));
    lblTime = new QLabel(QStringLiteral("00:00"), frPlayer);
    lblTime->setObjectName(QStringLiteral("lblTime"));
    lblTotalTime = new QLabel(QStringLiteral("/ 00:00"), frPlayer);
    lblTotalTime->setObjectName(QStringLiteral("lblTotalTime"));
    for (QLabel* label : {lblPlayInformation, lblTime, lblTotalTime, lblFileName})
        label->setVisible(false);

    auto* layout = new QHBoxLayout(frPlayer);
    layout->setContentsMargins(px(4), px(2), px(10), px(2));
    layout->setSpacing(px(4));
    for (QPushButton* b : {cmdPrevTrack, cmdPlay, cmdStop, cmdNextTrack})
        layout->addWidget(b);
    layout->addSpacing(px(8));
    auto* info = new QVBoxLayout;
    info->setSpacing(0);
    info->addWidget(lblPlayInformation);
    auto* line = new QHBoxLayout;
    line->setSpacing(px(4));
    line->addWidget(lblFileName);
    line->addWidget(lblTime);
    line->addWidget(lblTotalTime);
    info->addLayout(line);
    layout->addLayout(info);
    auto* actions = static_cast<QHBoxLayout*>(frActions->layout());
    actions->insertWidget(2, frPlayer);
    actions->insertStretch(3);

    connect(cmdPlay, &QPushButton::clicked, this, &frmMain::cmdPlay_Click);
    connect(cmdNextTrack, &QPushButton::clicked, this, &frmMain::PlayNextTrack);
    connect(cmdPrevTrack, &QPushButton::clicked, this, &frmMain::PlayPreviousTrack);
    connect(cmdStop, &QPushButton::clicked, this, &frmMain::StopPlayback);
    connect(m_grid, &TrackGrid::rowDoubleClicked, this, &frmMain::cmdPlay_Click);
}

void frmMain::setMciDevice(MciDevice* device)
{
    m_mci->setDevice(device ? device : m_mciInterpreter.get());
}

void frmMain::cmdPlay_Click()
{
    PlayHighlightedTrack();
    cmdPrevTrack->setEnabled(true);
    cmdNextTrack->setEnabled(true);
}

void frmMain::PlayHighlightedTrack()
{
    const GridRow row = highlightedRow();
    if (row == kNoRow)
        return;  // nothing highlighted: nothing plays, no message
    CurrentTrackID = m_grid->cellText(row, TrackTableModel::ID).toInt();
    PlayFile(GetTrackLocation(CurrentTrackID), m_grid->cellText(row, TrackTableModel::Title),
             m_grid->cellText(row, TrackTableModel::Type));
}

void frmMain::PlayNextTrack()
{
    playNeighbour(true);
}

void frmMain::PlayPreviousTrack()
{
    playNeighbour(false);
}

void frmMain::playNeighbour(bool forward)
{
    if (CurrentTrackID == 0)
        return;
    m_grid->resetAppearances();
    const auto step = [&](GridRow r) { return forward ? m_grid->nextRow(r) : m_grid->previousRow(r); };
    const auto idOf = [&](GridRow r) { return m_grid->cellText(r, TrackTableModel::ID).toInt(); };
    GridRow row = forward ? m_grid->firstRow() : m_grid->lastRow();
    if (row == kNoRow)
        return;
    bool passed = false;
    if (idOf(row) == CurrentTrackID) {
        m_grid->setRowSelected(row, false);
        passed = true;
    }
    // No wrap-around: past the end of the list nothing plays.
    for (GridRow next = step(row); next != kNoRow; next = step(row)) {
        row = next;
        if (passed) {
            m_grid->setRowSelected(row, true);
            m_grid->scrollToRow(row);
            CurrentTrackID = idOf(row);
            PlayFile(GetTrackLocation(CurrentTrackID), m_grid->cellText(row, TrackTableModel::Title),
                     m_grid->cellText(row, TrackTableModel::Type));
            return;
        }
        if (idOf(row) == CurrentTrackID && step(row) != kNoRow) {
            m_grid->setRowSelected(row, false);
            m_grid->setCellSelected({row, TrackTableModel::CheckBox}, false);
            passed = true;
        }
    }
}

QString frmMain::ffplayProgram() const
{
    const QString beside = programFolder() + QStringLiteral("/ffplay");
    if (QFileInfo(beside).isFile() && QFileInfo(beside).isExecutable())
        return beside;
    const QString onPath = QStandardPaths::findExecutable(QStringLiteral("ffplay"));
    return onPath.isEmpty() ? beside : onPath;  // a missing player fails to start, silently
}

void frmMain::PlayFile(const QString& path, const QString& title, const QString& type)
{
    m_mci->MovieWindow = static_cast<quint64>(frameMovie->effectiveWinId());
    m_mci->MovieFile = path;
    m_mci->MovieDevice = modMCI::GetDeviceType(path);
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
    tmrVideoInfo->start();
    // A new track counts from zero: a time left from the previous track must
    // not look like this one standing still.
    lblTime->setText(QStringLiteral("00:00"));
    m_mci->MciCommand(QStringLiteral("close animation"));
    m_mci->OpenMovie();
    m_mci->MciCommand(QStringLiteral("play animation"));
    const int twipsPerPixelX = qRound(1440.0 / logicalDpiX());
    const int twipsPerPixelY = qRound(1440.0 / logicalDpiY());
    m_mci->PositionMovie(qRound(frameMovie->width() * 1440.0 / logicalDpiX()), qRound(frameMovie->height() * 1440.0 / logicalDpiY()),
                         twipsPerPixelX, twipsPerPixelY);
    lblTotalTime->setText(QStringLiteral("/ ") + modMCI::FormatPlayTime(m_mci->MovieLengthMs()));
    lblFileName->setText(QStringLiteral("Playing ") + title);
    for (QLabel* label : {lblPlayInformation, lblTime, lblTotalTime, lblFileName})
        label->setVisible(true);
}

void frmMain::tmrVideoInfo_Timer()
{
    const QString now = modMCI::FormatPlayTime(m_mci->MoviePositionMs());
    if (now == lblTime->text() && now != QLatin1String("00:00")) {
        // The time stands still: the track has ended.
        StopPlayback();
        tmrVideoInfo->stop();
    }
    lblTime->setText(now);
}

void frmMain::StopPlayback()
{
    // The device stays open, rewound and paused.
    m_mci->MciCommand(QStringLiteral("play animation from 0"));
    m_mci->MciCommand(QStringLiteral("pause animation"));
    tmrVideoInfo->stop();
    for (QLabel* label : {lblPlayInformation, lblTime, lblTotalTime, lblFileName})
        label->setVisible(false);
}

}  // namespace tracklift
