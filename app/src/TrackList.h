#pragma once

#include "Dialogs.h"
#include "TrackGrid.h"
#include "TrackTableModel.h"

#include <sonarchive/TrackRecords.h>
#include <sonarchive/TrackInfo.h>

#include <QHash>
#include <QObject>

#include <vector>

class QLabel;
class QTableView;

namespace sonarchive {
class _clsSonarchive;
}

namespace tracklift {

class DeviceConnection;

// The device's track list: loading it from the library, the records of its
// tracks (TrackInfos, in the library's order) with a look-up by identifier, and
// the table model behind the grid with one checkable row per track.
class TrackList final : public QObject {
    Q_OBJECT
public:
    struct Widgets {
        QLabel* lblStatus;
        QTableView* gridView;
    };

    TrackList(const Widgets& widgets, sonarchive::_clsSonarchive& library, DeviceConnection& connection, Dialogs& dialogs,
              QWidget* owner);

    // The load command: connect, read the database, build the rows.
    void cmdLoadiPod_Click();
    bool LoadSonarchive();
    void FillTrackList();
    bool CreateTracksRecordset();
    bool AddTrackRow(const sonarchive::TrackInfo& info);
    bool FormatGrid();
    // Shows these records as a load of them would, without asking the library.
    void showTracks(std::vector<sonarchive::TrackInfo> infos);
    // "<< Back": the records go; the rows stay until the next load.
    void dropRecords();

    void SetAllChecks(bool checked);
    QString GetTrackLocation(std::int32_t id) const;
    const sonarchive::TrackInfo* findTrack(std::int32_t id) const;  // the first of that identifier; null when none
    // The highlighted row: the lowest row holding a selected cell, the active cell counting as selected.
    GridRow highlightedRow();

    void setStatus(const QString& text);
    QString statusText() const;

    TrackGrid& grid() { return *m_grid; }
    TrackTableModel& TracksRS() { return m_table; }
    const sonarchive::MHSD_T& TrackSet() const { return m_trackSet; }
    const std::vector<sonarchive::TrackInfo>& TrackInfos() const { return m_trackInfos; }

signals:
    void loadStarted();
    void databaseRead();  // the library has read the device's database
    void loadFinished(bool loaded);

private:
    void rebuildTrackIndex();

    Widgets m_w;
    sonarchive::_clsSonarchive& m_library;
    DeviceConnection& m_connection;
    Dialogs& m_dialogs;
    QWidget* m_owner;
    TrackTableModel m_table;
    TrackGrid* m_grid;
    sonarchive::MHSD_T m_trackSet;
    std::vector<sonarchive::TrackInfo> m_trackInfos;
    QHash<std::int32_t, int> m_trackIndex;  // identifier -> first index in m_trackInfos
    bool m_loading = false;
};

}  // namespace tracklift
