#pragma once

#include "Dialogs.h"
#include "TrackGrid.h"
#include "TrackTableModel.h"

#include <sonarchive/Artwork.h>
#include <sonarchive/PlaylistView.h>
#include <sonarchive/TrackInfo.h>

#include <QHash>
#include <QObject>
#include <QSet>

#include <filesystem>
#include <vector>

class QComboBox;
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
        QComboBox* cboPlaylist;  // which tracks the grid shows
        QLabel* lblTicked;       // how many are ticked and their size
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

    // The playlist chooser: "All Tracks", then each playlist with its count, then
    // the podcasts. Choosing one shows its tracks in playlist order, repeats
    // kept; ticks stay with their tracks from one choice to the next.
    const std::vector<sonarchive::PlaylistView>& playlists() const { return m_playlists; }
    void showChoice(int choice);                        // an index of the chooser
    int choiceOf(const QString& playlistName) const;    // its chooser index; -1 when there is none
    const sonarchive::PlaylistView* shownPlaylist() const;  // null while all tracks show
    static QString allTracksCaption() { return QStringLiteral("All Tracks"); }

    // The ticked rows' tracks in table order (the playlist's), repeats kept.
    std::vector<std::int32_t> tickedTrackIds() const;
    // "3 of 120 tracks ticked, 12.5 MB"; what the status line under the grid says.
    QString tickedText() const;

    // Ticks (or unticks) every row of the tracks shown, those the filter hides included.
    void SetAllChecks(bool checked);
    QString GetTrackLocation(std::int32_t id) const;
    // Where the device whose tracks these are is mounted (empty before a load).
    std::filesystem::path deviceRoot() const;
    // Whether a load succeeded and its records are still held ("<< Back" drops them).
    bool isLoaded() const { return m_loaded; }
    const sonarchive::TrackInfo* findTrack(std::int32_t id) const;  // the first of that identifier; null when none
    // The highlighted row: the lowest row holding a selected cell, the active cell counting as selected.
    GridRow highlightedRow();

    void setStatus(const QString& text);
    QString statusText() const;

    TrackGrid& grid() { return *m_grid; }
    TrackTableModel& TracksRS() { return m_table; }
    const std::vector<sonarchive::TrackInfo>& TrackInfos() const { return m_trackInfos; }
    // The covers the device keeps for the loaded tracks (none before a load).
    const sonarchive::ArtworkDatabase& covers() const { return m_covers; }

signals:
    void loadStarted();
    void databaseRead();  // the library has read the device's database
    void loadFinished(bool loaded);
    void rowsReplaced();  // another choice's tracks are in the grid

private:
    void rebuildTrackIndex();
    void fillPlaylistChooser();
    void fillRows(const std::vector<const sonarchive::TrackInfo*>& tracks);
    void rememberTicks();
    void updateTickedText();

    Widgets m_w;
    sonarchive::_clsSonarchive& m_library;
    DeviceConnection& m_connection;
    Dialogs& m_dialogs;
    QWidget* m_owner;
    TrackTableModel m_table;
    TrackGrid* m_grid;
    std::vector<sonarchive::TrackInfo> m_trackInfos;
    sonarchive::ArtworkDatabase m_covers;
    QHash<std::int32_t, int> m_trackIndex;  // identifier -> first index in m_trackInfos
    std::vector<sonarchive::PlaylistView> m_playlists;
    std::vector<int> m_choices;  // chooser index -> index in m_playlists; -1 for all tracks
    int m_shownChoice = 0;
    QSet<std::int32_t> m_tickedIds;  // tracks ticked before the rows were last replaced
    bool m_loading = false;
    bool m_loaded = false;
};

}  // namespace tracklift
