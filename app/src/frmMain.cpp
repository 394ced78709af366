#include "frmMain.h"

#include "DatabaseBackup.h"
#include "PanelSlides.h"
#include "ProgramFiles.h"
#include "TrackCopier.h"
#include "TrackList.h"
#include "frmMenus.h"

#include <sonarchive/Sonarchive.h>

#include <QCheckBox>
#include <QComboBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QSizeGrip>
#include <QTableView>
#include <QUrl>
#include <QWindow>

// The resources are compiled into a static library: they are registered by hand.
static void registerTrackliftResources()
{
    Q_INIT_RESOURCE(tracklift);
}

namespace tracklift {

namespace {

// The window's look, kept as a style sheet among the program's resources.
QString windowStyleSheet()
{
    registerTrackliftResources();
    QFile file(QStringLiteral(":/tracklift/tracklift.qss"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromUtf8(file.readAll());
}

}  // namespace

frmMain::frmMain(Dialogs& dialogs, std::unique_ptr<sonarchive::_clsSonarchive> library, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
    , m_dialogs(dialogs)
    , m_host(dialogs, this)
    , m_library(library ? std::move(library) : sonarchive::createSonarchive())
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(applicationTitle());
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(windowStyleSheet());

    m_menus = new frmMenus(this);
    m_menus->setMenuColours(QColor(0xf4, 0xf6, 0xf9), QColor(0x0f, 0x17, 0x2a));
    buildStartPage();
    buildContentsPage();
    buildSearchTools();
    buildTrackPanel();
    buildPlayer();
    buildAboutPanel();
    orderContentsTabs();
    createParts();
    m_panels->layOut();
    wireCommands();

    // The library object lives as long as the window; nothing is asked of it before a load.
    m_library->setUserInterfaceHost(&m_host);
    m_host.setWriteNotice([this] { return m_connection->takeWriteNotice(); });

    LoadSettings();

    // Ending the session or quitting by other means saves as closing does.
    if (QCoreApplication* application = QCoreApplication::instance())
        connect(application, &QCoreApplication::aboutToQuit, this, [this] {
            if (!m_closing)
                SaveSettings();
            m_closing = true;
        });
}

frmMain::~frmMain()
{
    m_library->setUserInterfaceHost(nullptr);
}

void frmMain::createParts()
{
    m_connection = new DeviceConnection(m_connectionControls, *m_library, m_dialogs, *m_menus, this);
    m_trackList = new TrackList({lblStatus, gridView, cboPlaylist, lblTicked}, *m_library, *m_connection, m_dialogs, this);
    m_copier = new TrackCopier(*m_trackList, m_dialogs, this);
    m_backup = new DatabaseBackup(*m_connection, *m_library, m_dialogs, this);
    // A loaded device is backed up where it was loaded from; the library stays pointed at it.
    m_backup->setLoadedRoot([this] { return m_trackList->isLoaded() ? m_trackList->deviceRoot() : std::filesystem::path(); });
    m_filterSearch = new FilterSearch(m_filterControls, m_trackList->grid(), *m_menus, this);
    m_player = new TrackPlayer(m_playerControls, *m_trackList, this);
    m_trackInformation = new TrackInformation(m_infoControls, *m_trackList, m_dialogs, *m_menus, this);
    m_panels = new PanelSlides({this, frTopHeader, m_connectionControls.lblDiskSpace, frMainFrame, frContents, frEditFrame,
                                frAboutFrame, m_playerControls.frameMovie, gridView, cmdViewContents, cmdAbout, sizeGrip},
                               this);
}

void frmMain::wireCommands()
{
    frTopHeader->installEventFilter(this);
    connect(cmdMinimize, &QPushButton::clicked, this, &frmMain::minimizeWindow);
    connect(cmdMaximize, &QPushButton::clicked, this, &frmMain::toggleMaximized);
    connect(cmdClose, &QPushButton::clicked, this, &frmMain::cmdClose_Click);
    connect(cmdTools, &QPushButton::clicked, this, &frmMain::cmdTools_Click);
    connect(m_menus->mnuBackUpDatabase, &QAction::triggered, this, &frmMain::mnuBackUpDatabase_Click);
    connect(cmdHelp, &QPushButton::clicked, this, &frmMain::cmdHelp_Click);
    connect(cmdAbout, &QPushButton::clicked, this, &frmMain::cmdAbout_Click);
    connect(cmdAboutOK, &QPushButton::clicked, this, &frmMain::cmdAboutOK_Click);
    connect(cmdLoadiPod, &QPushButton::clicked, this, &frmMain::cmdLoadiPod_Click);
    connect(cmdViewContents, &QPushButton::clicked, this, &frmMain::cmdViewContents_Click);
    connect(chkSelectAll, &QCheckBox::toggled, this, &frmMain::SetAllChecks);
    connect(cmdCancel, &QPushButton::clicked, this, &frmMain::cmdCancel_Click);
    connect(cmdCopy2Computer, &QPushButton::clicked, this, &frmMain::CopyCheckedTracks);
    connect(cmdCopyOptions, &QPushButton::clicked, this, &frmMain::cmdCopyOptions_Click);
    connect(m_connectionControls.cmdEject, &QPushButton::clicked, this, &frmMain::cmdEject_Click);
    // Another playlist's tracks: the filter applies to them too, and Select All starts unticked.
    connect(m_trackList, &TrackList::rowsReplaced, this, [this] {
        m_filterSearch->reapplyFilter();
        const QSignalBlocker quiet(chkSelectAll);
        chkSelectAll->setChecked(false);
    });
    connect(cmdEditTrack, &QPushButton::clicked, this, &frmMain::cmdEditTrack_Click);
    connect(cmdCancelEdit, &QPushButton::clicked, this, &frmMain::cmdCancelEdit_Click);

    // The about button rests while a load runs; the view button grows once the database is read.
    connect(m_trackList, &TrackList::loadStarted, cmdAbout, [this] { cmdAbout->setEnabled(false); });
    connect(m_trackList, &TrackList::databaseRead, m_panels, [this] { m_panels->RevealViewButton(true); });
    connect(m_trackList, &TrackList::loadFinished, cmdAbout, [this](bool loaded) {
        if (!loaded)
            cmdAbout->setEnabled(true);
    });
    connect(m_panels, &PanelSlides::viewButtonRevealed, this, &frmMain::viewButtonRevealed);
    // The iPod loaded is followed while it comes and goes; copying waits while it is gone.
    connect(m_trackList, &TrackList::loadStarted, m_connection, &DeviceConnection::forgetLoadedDevice);
    connect(m_trackList, &TrackList::loadFinished, m_connection, [this](bool loaded) {
        if (loaded)
            m_connection->rememberLoadedDevice();
    });
    // A plugged iPod offers its load on the start page; the contents page keeps the focus where it is.
    connect(m_connection, &DeviceConnection::loadSuggested, this, [this] {
        if (!isContentsPageShown())
            cmdLoadiPod->setFocus();
    });
    // While the disk service mounts or ejects, nothing else that would use the device starts.
    connect(m_connection, &DeviceConnection::deviceJobRunning, this, [this](bool running) {
        cmdLoadiPod->setEnabled(!running);
        cmdTools->setEnabled(!running);
    });
    connect(m_connection, &DeviceConnection::loadedDeviceConnected, this, [this](bool connected) {
        if (!connected)
            m_player->StopPlayback();
        cmdCopy2Computer->setEnabled(connected);
        lblDisconnected->setVisible(!connected);
    });
    // A panel gone down leaves the controls beneath as their options demand.
    connect(m_panels, &PanelSlides::panelLowered, this, [this] {
        m_filterSearch->restoreAfterPanel();
        m_connection->restoreAfterPanel();
    });
}

// ---- Settings and the connection ---------------------------------------------------

void frmMain::useDeviceForThisRun(const QString& folder)
{
    m_connection->useDeviceForThisRun(folder);
}

void frmMain::LoadSettings()
{
    m_connection->LoadSettings();
}

void frmMain::SaveSettings()
{
    m_connection->SaveSettings();
}

bool frmMain::ConnectLibrary()
{
    return m_connection->ConnectLibrary();
}

void frmMain::cmdDrive_Click()
{
    m_connection->cmdDrive_Click();
}

void frmMain::cmdEject_Click()
{
    m_player->StopPlayback();  // a track played from the device keeps it in use
    m_connection->cmdEject_Click();
}

// ---- Track list and copying ----------------------------------------------------------

void frmMain::cmdLoadiPod_Click()
{
    m_trackList->cmdLoadiPod_Click();
}

void frmMain::SetAllChecks(bool checked)
{
    m_trackList->SetAllChecks(checked);
}

void frmMain::cmdCancel_Click()
{
    m_trackList->dropRecords();
    m_connection->forgetLoadedDevice();
    m_player->StopPlayback();
    m_panels->StartPanelAnimation(PanelSlides::PagesRight);
    m_panels->RevealViewButton(false);
    m_trackList->setStatus(QStringLiteral("Waiting to load iPod Contents"));
}

void frmMain::CopyCheckedTracks()
{
    if (m_connection->isLoadedDeviceLost()) {
        warnUser(m_dialogs, this, lblDisconnected->text());
        return;
    }
    m_copier->CopyCheckedTracks();
}

void frmMain::cmdCopyOptions_Click()
{
    m_copier->cmdCopyOptions_Click();
}

// ---- Filter and search ----------------------------------------------------------------

void frmMain::ApplyFilter(const QString& text)
{
    m_filterSearch->ApplyFilter(text);
}

void frmMain::cmdFilter_Click()
{
    m_filterSearch->cmdFilter_Click();
}

void frmMain::cmdSearch_Click()
{
    m_filterSearch->cmdSearch_Click();
}

// ---- Playback and track information ----------------------------------------------------

void frmMain::cmdPlay_Click()
{
    m_player->cmdPlay_Click();
}

void frmMain::PlayHighlightedTrack()
{
    m_player->PlayHighlightedTrack();
}

void frmMain::PlayNextTrack()
{
    m_player->PlayNextTrack();
}

void frmMain::PlayPreviousTrack()
{
    m_player->PlayPreviousTrack();
}

void frmMain::StopPlayback()
{
    m_player->StopPlayback();
}

bool frmMain::ShowTrackInformation()
{
    return m_trackInformation->ShowTrackInformation();
}

void frmMain::cmdEditTrack_Click()
{
    if (!ShowTrackInformation())
        return;
    cmdAbout->setEnabled(false);
    frContents->setEnabled(false);
    m_panels->raisePanel(frEditFrame);
}

void frmMain::cmdCancelEdit_Click()
{
    m_panels->lowerPanel(frEditFrame);
}

// ---- Pages, panels and the view button ---------------------------------------------------

void frmMain::StartPanelAnimation(int kind)
{
    m_panels->StartPanelAnimation(kind);
}

void frmMain::tmrAnimate_Timer()
{
    m_panels->tmrAnimate_Timer();
}

void frmMain::tmrShowViewButton_Timer()
{
    m_panels->tmrShowViewButton_Timer();
}

void frmMain::RevealViewButton(bool show)
{
    m_panels->RevealViewButton(show);
}

void frmMain::cmdViewContents_Click()
{
    if (m_panels->isViewButtonGrowing())
        return;
    m_filterSearch->resetFilterAndSearch();
    m_player->disableNeighbourButtons();
    chkSelectAll->setChecked(false);
    m_panels->StartPanelAnimation(PanelSlides::PagesLeft);
}

void frmMain::cmdAbout_Click()
{
    m_panels->cmdAbout_Click();
}

void frmMain::cmdAboutOK_Click()
{
    m_panels->cmdAboutOK_Click();
}

void frmMain::showStartPage()
{
    m_panels->showStartPage();
}

bool frmMain::isContentsPageShown() const
{
    return m_panels->isContentsPageShown();
}

// ---- Window commands ----------------------------------------------------------

void frmMain::setUrlOpener(std::function<bool(const QUrl&)> opener)
{
    m_urlOpener = opener;
    m_copier->setUrlOpener(opener);
    m_backup->setUrlOpener(std::move(opener));
}

void frmMain::setProgramFolder(const QString& folder)
{
    m_programFolder = folder;
    m_player->setProgramFolder(folder);
}

void frmMain::cmdTools_Click()
{
    m_menus->popup(m_menus->mnuTools, cmdTools->mapToGlobal(QPoint(0, cmdTools->height())));
}

void frmMain::mnuBackUpDatabase_Click()
{
    m_backup->mnuBackUpDatabase_Click();
}

void frmMain::cmdHelp_Click()
{
    // The user guide, in the desktop's browser; nothing happens without it.
    const QString folder = m_programFolder.isEmpty() ? QCoreApplication::applicationDirPath() : m_programFolder;
    const QString path = findProgramFile(folder, QStringLiteral("Help.html"));
    if (path.isEmpty())
        return;
    const QUrl url = QUrl::fromLocalFile(path);
    if (m_urlOpener)
        m_urlOpener(url);
    else
        QDesktopServices::openUrl(url);
}

void frmMain::DragWindow()
{
    if (QWindow* window = windowHandle())
        window->startSystemMove();
}

void frmMain::minimizeWindow()
{
    setWindowState(windowState() | Qt::WindowMinimized);
}

void frmMain::toggleMaximized()
{
    // The window has no frame for a window manager to maximise: it takes the
    // screen's free area itself, and gives it back.
    if (m_maximized) {
        resize(m_normalGeometry.size());
        move(m_normalGeometry.topLeft());
    } else {
        m_normalGeometry = QRect(pos(), size());
        if (QScreen* s = screen()) {
            const QRect area = s->availableGeometry();
            resize(area.size());
            move(area.topLeft());
        }
    }
    m_maximized = !m_maximized;
    cmdMaximize->setToolTip(m_maximized ? QStringLiteral("Restore") : QStringLiteral("Maximize"));
}

void frmMain::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_panels)
        m_panels->fitToWindow();
}

void frmMain::cmdClose_Click()
{
    SaveSettings();
    m_closing = true;
    close();
    QCoreApplication::quit();
}

void frmMain::closeEvent(QCloseEvent* event)
{
    if (!m_closing)
        SaveSettings();
    m_closing = true;
    event->accept();
}

bool frmMain::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == frTopHeader && event->type() == QEvent::MouseButtonDblClick &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        toggleMaximized();
        return true;
    }
    if (watched == frTopHeader && event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        DragWindow();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace tracklift
