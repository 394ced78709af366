#pragma once

#include "Dialogs.h"

#include <QObject>

#include <vector>

class QWidget;

namespace tracklift {

class TrackList;

// Copies the ticked tracks into a folder the user picks, in one batch, each
// under its cleaned title and the extension of its file on the device.
class TrackCopier final : public QObject {
    Q_OBJECT
public:
    TrackCopier(TrackList& tracks, Dialogs& dialogs, QWidget* owner);

    void CopyCheckedTracks();

private:
    // The batch for the ticked rows, in grid order; rows without a file are left out.
    std::vector<CopyItem> copyItems(QString folder);

    TrackList& m_tracks;
    Dialogs& m_dialogs;
    QWidget* m_owner;
};

}  // namespace tracklift
