#pragma once

#include "CRegister.h"
#include "Dialogs.h"
#include "DialogsHost.h"
#include "DiskSpace.h"
#include "TrackGrid.h"
#include "TrackTableModel.h"
#include "clsRowLoop.h"
#include "modMCI.h"

#include <sonarchive/Sonarchive.h>

#include <QHash>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class QCheckBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableView;
class QTimer;
class QUrl;

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

    // Pages, panels and the view button.
    void RevealViewButton(bool show);
    void cmdViewContents_Click();
    void showStartPage();  // at once, without sliding
    bool isContentsPageShown() const;
    void StartPanelAnimation(int kind);
    void tmrAnimate_Timer();
    void tmrShowViewButton_Timer();
    void cmdAbout_Click();
    void cmdAboutOK_Click();
    void cmdHelp_Click();
    QString sMoveObject;
    int MoveStep = 0;      // twips per tick
    int MoveInterval = 0;  // milliseconds between ticks
    QWidget* MovingPanel = nullptr;
    QTimer* tmrAnimate;
    QTimer* tmrShowViewButton;
    // Positions and sizes the animations work in, in twips.
    int startPageLeftTwips() const { return m_startLeft; }
    int panelTopTwips(const QWidget* panel) const;
    int viewButtonWidthTwips() const { return m_viewButtonWidth; }
    int windowHeightTwips() const;
    int twipsFromPixels(int pixels) const;
    int pixelsFromTwips(int twips) const;

    // Drive selection.
    void cmdDrive_Click();
    void FillDriveMenu();
    void mnuDriveItem_Click(const QString& caption);
    QStringList Drives;  // "<mount point> [<label>]" of each mounted volume
    static QStringList mountedDrives();
    void setDriveSource(std::function<QStringList()> source) { m_driveSource = std::move(source); }

    // Where the help file and the outside player are looked for; the program's folder by default.
    void setProgramFolder(const QString& folder) { m_programFolder = folder; }
    QString programFolder() const;
    void setUrlOpener(std::function<bool(const QUrl&)> opener) { m_urlOpener = std::move(opener); }

    // Playback.
    void cmdPlay_Click();
    void PlayHighlightedTrack();
    void PlayNextTrack();
    void PlayPreviousTrack();
    void PlayFile(const QString& path, const QString& title, const QString& type);
    void StopPlayback();
    void tmrVideoInfo_Timer();
    std::int32_t CurrentTrackID = 0;
    QTimer* tmrVideoInfo;
    modMCI& MCI() { return *m_mci; }
    void setMciDevice(MciDevice* device);  // null: the program's own, over Qt Multimedia
    using ProgramStarter = std::function<bool(const QString& program, const QStringList& arguments, const QString& workingFolder)>;
    void setProgramStarter(ProgramStarter starter) { m_programStarter = std::move(starter); }
    QString ffplayProgram() const;

    // Track information.
    void cmdEditTrack_Click();
    bool ShowTrackInformation();
    void FillTrackPanel(std::int32_t id);
    static QString FormatStartStopTime(std::int32_t ms);
    void cmdCancelEdit_Click();
    std::int32_t InfoTrackID = 0;

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
    QPushButton* cmdHelp;
    QPushButton* cmdEditTrack;
    QWidget* frameMovie;
    QWidget* frPlayer;
    QPushButton* cmdPrevTrack;
    QPushButton* cmdPlay;
    QPushButton* cmdStop;
    QPushButton* cmdNextTrack;
    QLabel* lblPlayInformation;
    QLabel* lblTime;
    QLabel* lblTotalTime;
    QLabel* lblFileName;

    QWidget* frEditFrame;
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
    QPushButton* cmdCancelEdit;

    QWidget* frAboutFrame;
    QLabel* lblAboutProduct;
    QLabel* lblAboutText;
    QPushButton* cmdAboutOK;

    static QString settingsKey() { return QStringLiteral("Software\\Corvane Tracklift\\Settings"); }
    static constexpr int kViewButtonTwips = 3075;

signals:
    void viewButtonRevealed();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildStartPage();
    void buildContentsPage();
    void layOutPanels();
    int px(int pixelsAt96Dpi) const;
    MessageResult warn(const QString& text);
    void buildSearchTools();
    void buildTrackPanel();
    void buildAboutPanel();
    void buildPlayer();
    void playNeighbour(bool forward);
    void placePages();
    void placePanel(QWidget* panel);
    int& topOf(const QWidget* panel);
    bool timeBoxKeyAllowed(QLineEdit* box, QKeyEvent* key) const;
    void refuseTextBoxMenu(QLineEdit* box, const QPoint& position);
    GridRow highlightedRow();
    void pageSlideLeft();
    void pageSlideRight();
    void panelUp();
    void panelDown();
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
    int m_startLeft = 0;        // twips
    int m_editTop = 0;          // twips
    int m_aboutTop = 0;         // twips
    int m_viewButtonWidth = 0;  // twips
    std::unique_ptr<MciInterpreter> m_mciInterpreter;
    std::unique_ptr<modMCI> m_mci;
    ProgramStarter m_programStarter;
    std::function<QStringList()> m_driveSource;
    std::function<bool(const QUrl&)> m_urlOpener;
    QString m_programFolder;
    bool m_closing = false;
    bool m_loading = false;
};

}  // namespace tracklift
