#pragma once

#include "Dialogs.h"

#include <QObject>

#include <sonarchive/TrackInfo.h>

#include <cstdint>

class QCheckBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QWidget;

namespace tracklift {

class TrackList;
class frmMenus;

// The information panel's contents: what the device's database holds for the
// highlighted track, with key filters on the year and time boxes. Nothing is
// written back.
class TrackInformation final : public QObject {
    Q_OBJECT
public:
    struct Widgets {
        QLineEdit* txtTitle;
        QLineEdit* txtAlbum;
        QLineEdit* txtArtist;
        QLineEdit* txtGenre;
        QLineEdit* txtComment;
        QLineEdit* txtComposer;
        QLineEdit* txtYear;
        QCheckBox* chkRemeberPP;
        QCheckBox* chkSkipWhenShuffle;
        QCheckBox* chkStartPT;
        QLineEdit* txtStartTime;
        QCheckBox* chkStopPT;
        QLineEdit* txtStopTime;
        // What the iPod recorded of the track, as it shows it (read only).
        QLabel* lblRating;
        QLabel* lblPlays;
        QLabel* lblLastPlayed;
        QLabel* lblSkips;
        QLabel* lblBookmark;
    };

    TrackInformation(const Widgets& widgets, TrackList& tracks, Dialogs& dialogs, frmMenus& menus, QWidget* owner);

    // Fills the panel for the highlighted track; false (after a warning) when there is none.
    bool ShowTrackInformation();
    void FillTrackPanel(std::int32_t id);
    std::int32_t InfoTrackID() const { return m_infoTrackId; }
    static QString FormatStartStopTime(std::int32_t ms);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FillRecordedPlays(const sonarchive::TrackInfo& info);
    bool timeBoxKeyAllowed(const QLineEdit* box, const QKeyEvent* key) const;
    void refuseTextBoxMenu(QLineEdit* box, const QPoint& position);

    Widgets m_w;
    TrackList& m_tracks;
    Dialogs& m_dialogs;
    frmMenus& m_menus;
    QWidget* m_owner;
    std::int32_t m_infoTrackId = 0;
};

}  // namespace tracklift
