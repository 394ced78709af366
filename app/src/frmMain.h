#pragma once

#include "DeviceConnection.h"
#include "Dialogs.h"
#include "DialogsHost.h"
#include "FilterSearch.h"
#include "TrackInformation.h"
#include "TrackPlayer.h"

#include <sonarchive/Sonarchive.h>

#include <QRect>
#include <QWidget>

#include <initializer_list>
#include <utility>

#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QGridLayout;
class QHBoxLayout;
class QLabel;
class QSizeGrip;
class QPushButton;
class QTableView;
class QUrl;

namespace tracklift {

class DatabaseBackup;
class PanelSlides;
class TrackCopier;
class TrackList;
class frmMenus;

// The main window: a borderless window whose pages are placed side by side and
// moved as one. The start page connects and loads; the contents page shows the
// track list and copies the ticked tracks to the computer. The window builds
// its controls and hands them to the parts that do the work; its commands are
// the handlers of those controls.
class frmMain final : public QWidget {
    Q_OBJECT
public:
    explicit frmMain(Dialogs& dialogs, std::unique_ptr<sonarchive::_clsSonarchive> library = nullptr,
                     QWidget* parent = nullptr);
    ~frmMain() override;

    // Starts in manual mode with `folder` as the drive for this run only; the
    // stored settings stay as they were.
    void useDeviceForThisRun(const QString& folder);

    // Settings and the connection to the device.
    void LoadSettings();
    void SaveSettings();
    bool ConnectLibrary();
    void cmdDrive_Click();
    void cmdEject_Click();

    // Track list.
    void cmdLoadiPod_Click();
    void SetAllChecks(bool checked);
    void cmdCancel_Click();

    // Copy to the computer.
    void CopyCheckedTracks();
    void cmdCopyOptions_Click();

    // Filter and search.
    void ApplyFilter(const QString& text);
    void cmdFilter_Click();
    void cmdSearch_Click();

    // Playback.
    void cmdPlay_Click();
    void PlayHighlightedTrack();
    void PlayNextTrack();
    void PlayPreviousTrack();
    void StopPlayback();

    // Track information.
    void cmdEditTrack_Click();
    bool ShowTrackInformation();
    void cmdCancelEdit_Click();

    // Pages, panels and the view button.
    void StartPanelAnimation(int kind);
    void tmrAnimate_Timer();
    void tmrShowViewButton_Timer();
    void RevealViewButton(bool show);
    void cmdViewContents_Click();
    void cmdAbout_Click();
    void cmdAboutOK_Click();
    void showStartPage();  // at once, without sliding
    bool isContentsPageShown() const;

    // The tools menu: "Back Up iPod Database...".
    void cmdTools_Click();
    void mnuBackUpDatabase_Click();

    // Window commands.
    void cmdHelp_Click();
    void DragWindow();
    void minimizeWindow();
    void toggleMaximized();  // the header's middle button and a double click on the header
    bool isWindowMaximized() const { return m_maximized; }
    void cmdClose_Click();
    // Where the help file and the outside player are looked for; the program's folder by default.
    void setProgramFolder(const QString& folder);
    void setUrlOpener(std::function<bool(const QUrl&)> opener);

    // The parts of the window.
    sonarchive::_clsSonarchive& TrackLibrary() { return *m_library; }
    frmMenus& Menus() { return *m_menus; }
    DeviceConnection& connection() { return *m_connection; }
    TrackList& trackList() { return *m_trackList; }
    TrackCopier& copier() { return *m_copier; }
    DatabaseBackup& databaseBackup() { return *m_backup; }
    FilterSearch& filterSearch() { return *m_filterSearch; }
    TrackPlayer& player() { return *m_player; }
    TrackInformation& trackInformation() { return *m_trackInformation; }
    PanelSlides& panels() { return *m_panels; }

signals:
    void viewButtonRevealed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int px(int pixelsAt96Dpi) const;
    void buildStartPage();
    void buildHeader();
    QWidget* connectionPanel();
    void buildContentsPage();
    QHBoxLayout* listChoiceRow();
    void buildTrackGrid();
    QHBoxLayout* copyRow();
    void orderContentsTabs();
    void buildSearchTools();
    void buildTrackPanel();
    QGridLayout* trackFieldsLayout();
    QGridLayout* recordedPlaysLayout();
    QGridLayout* trackPlaybackLayout();
    QGridLayout* panelGrid();
    void addPanelRow(QGridLayout* grid, int row, std::initializer_list<std::pair<const char*, QWidget*>> fields);
    QLabel* panelLabel(const char* text, const char* objectName);
    void buildPlayer();
    void buildAboutPanel();
    void createParts();
    void wireCommands();

    Dialogs& m_dialogs;
    DialogsHost m_host;
    std::unique_ptr<sonarchive::_clsSonarchive> m_library;
    frmMenus* m_menus = nullptr;
    DeviceConnection* m_connection = nullptr;
    TrackList* m_trackList = nullptr;
    TrackCopier* m_copier = nullptr;
    DatabaseBackup* m_backup = nullptr;
    FilterSearch* m_filterSearch = nullptr;
    TrackPlayer* m_player = nullptr;
    TrackInformation* m_trackInformation = nullptr;
    PanelSlides* m_panels = nullptr;
    std::function<bool(const QUrl&)> m_urlOpener;
    QString m_programFolder;
    bool m_closing = false;
    bool m_maximized = false;
    QRect m_normalGeometry;

    // Controls: those each part works with, then the others.
    DeviceConnection::Widgets m_connectionControls{};
    FilterSearch::Widgets m_filterControls{};
    TrackPlayer::Widgets m_playerControls{};
    TrackInformation::Widgets m_infoControls{};
    QWidget* frTopHeader;
    QLabel* lblTitle;
    QPushButton* cmdMinimize;
    QPushButton* cmdMaximize;
    QPushButton* cmdClose;
    QSizeGrip* sizeGrip;
    QPushButton* cmdTools;
    QPushButton* cmdHelp;
    QPushButton* cmdAbout;
    QWidget* frMainFrame;
    QPushButton* cmdLoadiPod;
    QPushButton* cmdViewContents;
    QLabel* lblStatus;

    QWidget* frContents;
    QWidget* frTools;    // the strip above the track list, for its tools
    QWidget* frActions;  // below the track list: select all, the player, track information
    QCheckBox* chkSelectAll;
    QComboBox* cboPlaylist;
    QLabel* lblTicked;
    QTableView* gridView;
    QPushButton* cmdCopy2Computer;
    QPushButton* cmdCopyOptions;
    QPushButton* cmdCancel;
    QPushButton* cmdEditTrack;
    QLabel* lblDisconnected;  // while the loaded iPod is gone

    QWidget* frPlayer;

    QWidget* frEditFrame;
    QPushButton* cmdCancelEdit;

    QWidget* frAboutFrame;
    QLabel* lblAboutProduct;
    QLabel* lblAboutText;
    QPushButton* cmdAboutOK;
};

}  // namespace tracklift
