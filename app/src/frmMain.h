#pragma once

#include "CRegister.h"
#include "Dialogs.h"
#include "DialogsHost.h"
#include "DiskSpace.h"
#include "TrackGrid.h"
#include "TrackTableModel.h"
#include "clsRowLoop.h"

#include <sonarchive/Sonarchive.h>

#include <QHash>
#include <QWidget>

#include <memory>
#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableView;

namespace tracklift {

// The main window: a borderless window whose pages are placed side by side and
// moved as one. The start page connects and loads; the contents page shows the
// track list and copies the ticked tracks to the computer.
class frmMenus;

class frmMain final : public QWidget {
    Q_OBJECT
public:
    explicit frmMain(Dialogs& dialogs, std::unique_ptr<sonarchive::_clsSonarchive> library = nullptr,
                     QWidget* parent = nullptr);
    ~frmMain() override;

    // Starts in manual mode with `folder` as the drive for this run only; the
    // stored settings stay as they were.
    void useDeviceForThisRun(const QString& folder);

    // Settings.
    void LoadSettings();
    void SaveSettings();

    // Connection and capacity.
    bool ConnectLibrary();
    void ShowDiskSpace(const QString& drive);
    void setVolumeQuery(VolumeQuery query) { m_volumeQuery = std::move(query); }
    static QString driveRootFromCaption(const QString& caption);

    // Track list.
    void cmdLoadiPod_Click();
    bool LoadSonarchive();
    void FillTrackList();
    bool CreateTracksRecordset();
    bool AddTrackRow(const sonarchive::TrackInfo& info);
    bool FormatGrid();
    void SetAllChecks(bool checked);
    QString GetTrackLocation(std::int32_t id) const;
    void cmdCancel_Click();

    // Copy to the computer.
    void CopyCheckedTracks();

    // Filter and search.
    void ApplyFilter(const QString& text);
    void ShowAllRows(bool show);
    void cmdFilter_Click();
    void cmdSearch_Click();
    void optShowAllTracks_Click();
    void optFilterTracks_Click();
    void setFilterColumn(const QString& menuCaption);  // a choice from the filter menu
    int filterColumn() const;
    void textBoxGotFocus(QLineEdit* box);
    void textBoxLostFocus(QLineEdit* box);
    void resetFilterAndSearch();
    clsRowLoop& objRowLoop() { return *m_rowLoop; }
    QString SearchText;
    static QString filterPlaceholder() { return QStringLiteral("Type Filter Text..."); }
    static QString searchPlaceholder() { return QStringLiteral("Type Search Text..."); }

    // Pages and the view button (the sliding animations build on these).
    void RevealViewButton(bool show);
    void cmdViewContents_Click();
    void showStartPage();
    bool isContentsPageShown() const;

    // Window commands.
    void DragWindow();
    void minimizeWindow();
    void cmdClose_Click();

    // Objects the window owns for its whole life, and the loaded records.
    sonarchive::_clsSonarchive& TrackLibrary() { return *m_library; }
    TrackGrid& Grid() { return *m_grid; }
    frmMenus& Menus() { return *m_menus; }
    TrackTableModel TracksRS;
    sonarchive::MHSD_T TrackSet;
    std::vector<sonarchive::TrackInfo> TrackInfos;

    // Capacity figures of the device volume.
    std::int64_t TotalSpace = 0;
    std::int64_t UsedSpace = 0;
    std::int64_t FreeSpace = 0;
    float FreePercent = 0;
    bool IsSmallDevice = false;

    // Controls.
    QWidget* frTopHeader;
    QLabel* lblTitle;
    QPushButton* cmdMinimize;
    QPushButton* cmdClose;
    QWidget* frMainFrame;
    QWidget* frContents;
    QWidget* frTools;  // the strip above the track list, for its tools
    QWidget* frActions;  // below the track list: select all, the player, track information
    QRadioButton* optShowAllTracks;
    QRadioButton* optFilterTracks;
    QPushButton* cmdFilters;
    QLineEdit* txtFilter;
    QPushButton* cmdFilter;
    QLineEdit* txtSearch;
    QPushButton* cmdSearch;
    QLabel* lblStatus;
    QPushButton* cmdLoadiPod;
    QRadioButton* optAutomatic;
    QRadioButton* optiPodDrive;
    QPushButton* cmdDrive;
    QPushButton* cmdViewContents;
    QPushButton* cmdAbout;
    QLabel* lblDiskSpace;
    QCheckBox* chkSelectAll;
    QTableView* gridView;
    QPushButton* cmdCopy2Computer;
    QPushButton* cmdCancel;

    static QString settingsKey() { return QStringLiteral("Software\\Corvane Tracklift\\Settings"); }
    static constexpr int kViewButtonTwips = 3075;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildStartPage();
    void buildContentsPage();
    void layOutPanels();
    int px(int pixelsAt96Dpi) const;
    int pixelsFromTwips(int twips) const;
    MessageResult warn(const QString& text);
    void buildSearchTools();
    void textBoxChanged(QLineEdit* box);
    void objRowLoop_RowFound(GridRow row, GridCell& eventData, bool& cancel);
    void objRowLoop_EndOfRows(GridRow startingRow, GridCell eventData);

public:
    void rebuildTrackIndex();  // after TrackInfos changed

private:

    Dialogs& m_dialogs;
    DialogsHost m_host;
    std::unique_ptr<sonarchive::_clsSonarchive> m_library;
    TrackGrid* m_grid = nullptr;
    frmMenus* m_menus = nullptr;
    clsRowLoop* m_rowLoop = nullptr;
    CRegister m_register;
    VolumeQuery m_volumeQuery = queryVolume;
    QHash<std::int32_t, int> m_trackIndex;  // identifier -> first index in TrackInfos

    struct StoredSettings {
        QString autoDetect, manualDetect, manualDetectDrive;
    };
    StoredSettings m_loadedSettings;
    QString m_deviceForThisRun;
    bool m_closing = false;
    bool m_loading = false;
};

}  // namespace tracklift
