#pragma once

#include <frmMain.h>

#include <sonarchive/TrackInfo.h>

#include <QString>
#include <QTimer>

#include <vector>

namespace testsupport {

// A track record as the library hands it over.
inline sonarchive::TrackInfo trackInfo(std::int32_t id, const QString& title, const QString& album = {}, const QString& artist = {},
                                       const QString& type = QStringLiteral("MP3"), const QString& location = {})
{
    sonarchive::TrackInfo info;
    info.iTrackID = id;
    info.sTitle = title.toStdU16String();
    info.sAlbum = album.toStdU16String();
    info.sArtist = artist.toStdU16String();
    QString reversed(type);
    std::reverse(reversed.begin(), reversed.end());
    info.sTrackType = reversed.toStdU16String();
    info.sLocation = location.toStdU16String();
    return info;
}

// Puts the records into the window as a load does, without a device.
inline void showTracks(tracklift::frmMain& w, const std::vector<sonarchive::TrackInfo>& infos)
{
    w.CreateTracksRecordset();
    w.TrackInfos = infos;
    for (const auto& info : infos)
        w.AddTrackRow(info);
    w.rebuildTrackIndex();
    w.FormatGrid();
}

// Runs the running animations to their end by calling their ticks; returns the ticks taken.
inline int finishAnimations(tracklift::frmMain& w)
{
    int ticks = 0;
    while ((w.tmrShowViewButton->isActive() || w.tmrAnimate->isActive()) && ticks < 10000) {
        if (w.tmrShowViewButton->isActive())
            w.tmrShowViewButton_Timer();
        else
            w.tmrAnimate_Timer();
        ++ticks;
    }
    return ticks;
}

}  // namespace testsupport
