#include "frmMain.h"

#include "CleanFileName.h"
#include "FileNameFit.h"
#include "FormatText.h"
#include "WindowMetrics.h"
#include "frmMenus.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>

using namespace sonarchive;

// The resources are compiled into a static library: they are registered by hand.
static void registerTrackliftResources()
{
    Q_INIT_RESOURCE(tracklift);
}

namespace tracklift {

namespace {

const QString kSelectDrive = QStringLiteral("Select Drive...");

// "True"/"False" in any letter case, or a number (0 is false); anything else keeps the fallback.
bool settingToBool(const QString& text, bool fallback)
{
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    bool isNumber = false;
    const double number = t.toDouble(&isNumber);
    return isNumber ? number != 0 : fallback;
}

QString boolText(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

// Blanks (only) removed at both ends.
QString trimBlanks(const QString& text)
{
    qsizetype first = 0, last = text.size();
    while (first < last && text[first] == QLatin1Char(' '))
        ++first;
    while (last > first && text[last - 1] == QLatin1Char(' '))
        --last;
    return text.mid(first, last - first);
}

// The window's look, kept as a style sheet among the program's resources.
QString windowStyleSheet()
{
    registerTrackliftResources();
    QFile file(QStringLiteral(":/tracklift/tracklift.qss"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromUtf8(file.readAll());
}

std::filesystem::path toPath(const QString& path)
{
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}


}  // namespace

frmMain::frmMain(Dialogs& dialogs, std::unique_ptr<_clsSonarchive> library, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
    , m_dialogs(dialogs)
    , m_host(dialogs, this)
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
    layOutPanels();

    // The library object lives as long as the window; nothing is asked of it before a load.
    m_library = library ? std::move(library) : createSonarchive();
    m_library->setUserInterfaceHost(&m_host);

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

int frmMain::px(int pixelsAt96Dpi) const
{
    return qRound(pixelsAt96Dpi * logicalDpiY() / 96.0);
}

void frmMain::buildStartPage()
{
    frTopHeader = new QWidget(this);
    frTopHeader->setObjectName(QStringLiteral("frTopHeader"));
    frTopHeader->setAttribute(Qt::WA_StyledBackground);
    lblTitle = new QLabel(applicationTitle(), frTopHeader);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    auto* subtitle = new QLabel(QStringLiteral("Copy tracks from your iPod to this computer"), frTopHeader);
    subtitle->setObjectName(QStringLiteral("lblSubtitle"));
    cmdMinimize = new QPushButton(QStringLiteral("\u2013"), frTopHeader);
    cmdMinimize->setObjectName(QStringLiteral("cmdMinimize"));
    cmdMinimize->setToolTip(QStringLiteral("Minimize"));
    cmdClose = new QPushButton(QStringLiteral("\u2715"), frTopHeader);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setToolTip(QStringLiteral("Close"));
    cmdHelp = new QPushButton(QStringLiteral("Help"), frTopHeader);
    cmdHelp->setObjectName(QStringLiteral("cmdHelp"));
    cmdAbout = new QPushButton(QStringLiteral("About"), frTopHeader);
    cmdAbout->setObjectName(QStringLiteral("cmdAbout"));
    for (QPushButton* b : {cmdHelp, cmdAbout})
        b->setProperty("headerText", true);
    for (QPushButton* b : {cmdHelp, cmdAbout, cmdMinimize, cmdClose})
        b->setFocusPolicy(Qt::NoFocus);
    auto* header = new QHBoxLayout(frTopHeader);
    header->setContentsMargins(px(20), 0, px(6), 0);
    header->setSpacing(px(12));
    header->addWidget(lblTitle);
    header->addWidget(subtitle);
    header->addStretch();
    header->addWidget(cmdHelp);
    header->addWidget(cmdAbout);
    header->addSpacing(px(8));
    header->addWidget(cmdMinimize);
    header->addWidget(cmdClose);
    frTopHeader->installEventFilter(this);
    connect(cmdMinimize, &QPushButton::clicked, this, &frmMain::minimizeWindow);
    connect(cmdClose, &QPushButton::clicked, this, &frmMain::cmdClose_Click);

    frMainFrame = new QWidget(this);
    frMainFrame->setObjectName(QStringLiteral("frMainFrame"));
    frMainFrame->setAttribute(Qt::WA_StyledBackground);

    auto* heading = new QLabel(QStringLiteral("Your iPod's music and videos, on this computer"), frMainFrame);
    heading->setObjectName(QStringLiteral("lblHeading"));
    auto* intro = new QLabel(QStringLiteral("Connect the iPod, load its contents, tick the tracks you want and copy them to a folder."),
                             frMainFrame);
    intro->setObjectName(QStringLiteral("lblIntro"));
    intro->setWordWrap(true);

    auto* connection = new QWidget(frMainFrame);
    connection->setObjectName(QStringLiteral("frConnection"));
    connection->setAttribute(Qt::WA_StyledBackground);
    auto* connectionTitle = new QLabel(QStringLiteral("Connection"), connection);
    connectionTitle->setObjectName(QStringLiteral("lblConnection"));
    optAutomatic = new QRadioButton(QStringLiteral("Automatically detect the iPod if connected"), connection);
    optiPodDrive = new QRadioButton(QStringLiteral("Manually specify the iPod Drive"), connection);
    cmdDrive = new QPushButton(kSelectDrive, connection);
    cmdDrive->setObjectName(QStringLiteral("cmdDrive"));
    cmdDrive->setEnabled(false);
    cmdDrive->setMinimumWidth(px(220));
    auto* modes = new QButtonGroup(this);
    modes->addButton(optAutomatic);
    modes->addButton(optiPodDrive);
    auto* connectionLayout = new QVBoxLayout(connection);
    connectionLayout->setContentsMargins(px(18), px(14), px(18), px(16));
    connectionLayout->setSpacing(px(10));
    connectionLayout->addWidget(connectionTitle);
    connectionLayout->addWidget(optAutomatic);
    auto* manualRow = new QHBoxLayout;
    manualRow->addWidget(optiPodDrive);
    manualRow->addSpacing(px(12));
    manualRow->addWidget(cmdDrive);
    manualRow->addStretch();
    connectionLayout->addLayout(manualRow);
    // Selecting a mode runs its click handling: the drive button is for manual mode only.
    connect(optAutomatic, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            cmdDrive->setEnabled(false);
    });
    connect(optiPodDrive, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            cmdDrive->setEnabled(true);
    });
    connect(cmdDrive, &QPushButton::clicked, this, &frmMain::cmdDrive_Click);

    cmdLoadiPod = new QPushButton(QStringLiteral("Load iPod Contents"), frMainFrame);
    cmdLoadiPod->setObjectName(QStringLiteral("cmdLoadiPod"));
    cmdViewContents = new QPushButton(frMainFrame);
    cmdViewContents->setObjectName(QStringLiteral("cmdViewContents"));
    cmdViewContents->setFixedWidth(0);
    cmdViewContents->setVisible(false);
    lblStatus = new QLabel(QStringLiteral("Waiting to load iPod contents"), frMainFrame);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    connect(cmdLoadiPod, &QPushButton::clicked, this, &frmMain::cmdLoadiPod_Click);
    connect(cmdViewContents, &QPushButton::clicked, this, &frmMain::cmdViewContents_Click);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(px(12));
    buttons->addWidget(cmdLoadiPod);
    buttons->addWidget(cmdViewContents);
    buttons->addStretch();

    auto* page = new QVBoxLayout(frMainFrame);
    page->setContentsMargins(px(40), px(kHeaderHeight + 34), px(40), px(kFooterHeight + 24));
    page->setSpacing(px(10));
    page->addWidget(heading);
    page->addWidget(intro);
    page->addSpacing(px(18));
    page->addWidget(connection);
    page->addSpacing(px(22));
    page->addLayout(buttons);
    page->addSpacing(px(6));
    page->addWidget(lblStatus);
    page->addStretch();

    lblDiskSpace = new QLabel(QStringLiteral("...iPod Disk Space..."), this);
    lblDiskSpace->setObjectName(QStringLiteral("lblDiskSpace"));
}

void frmMain::buildContentsPage()
{
    frContents = new QWidget(this);
    frContents->setObjectName(QStringLiteral("frContents"));
    frContents->setAttribute(Qt::WA_StyledBackground);

    chkSelectAll = new QCheckBox(QStringLiteral("Select All/ UnSelect All"), frContents);
    connect(chkSelectAll, &QCheckBox::toggled, this, &frmMain::SetAllChecks);
    frTools = new QWidget(frContents);
    auto* tools = new QHBoxLayout(frTools);
    tools->setContentsMargins(0, 0, 0, 0);
    frTools->setObjectName(QStringLiteral("frTools"));
    frActions = new QWidget(frContents);
    frActions->setObjectName(QStringLiteral("frActions"));
    auto* actions = new QHBoxLayout(frActions);
    actions->setContentsMargins(0, 0, 0, 0);
    actions->setSpacing(px(6));
    actions->addWidget(chkSelectAll);
    actions->addStretch();

    gridView = new QTableView(frContents);
    gridView->setObjectName(QStringLiteral("Grid"));
    gridView->setAlternatingRowColors(true);
    gridView->setSelectionBehavior(QAbstractItemView::SelectRows);
    gridView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    gridView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    gridView->setSortingEnabled(true);
    gridView->setWordWrap(false);
    gridView->setShowGrid(false);
    gridView->horizontalHeader()->setHighlightSections(false);
    gridView->horizontalHeader()->setMinimumSectionSize(px(16));  // the check box column is narrow
    gridView->horizontalHeader()->setStretchLastSection(true);     // the last column takes what is left
    gridView->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    gridView->verticalHeader()->setVisible(false);
    gridView->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    gridView->verticalHeader()->setDefaultSectionSize(px(24));
    gridView->sortByColumn(-1, Qt::AscendingOrder);  // table order until the user clicks a header
    m_grid = new TrackGrid(gridView, this);

    cmdCancel = new QPushButton(QStringLiteral("<< Back"), frContents);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCopy2Computer = new QPushButton(QStringLiteral("Copy Selected Tracks to computer"), frContents);
    cmdCopy2Computer->setObjectName(QStringLiteral("cmdCopy2Computer"));
    connect(cmdCancel, &QPushButton::clicked, this, &frmMain::cmdCancel_Click);
    connect(cmdCopy2Computer, &QPushButton::clicked, this, &frmMain::CopyCheckedTracks);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(cmdCancel);
    bottom->addStretch();
    bottom->addWidget(cmdCopy2Computer);

    auto* page = new QVBoxLayout(frContents);
    page->setContentsMargins(px(16), px(kHeaderHeight + 12), px(16), px(kFooterHeight + 12));
    page->setSpacing(px(10));
    page->addWidget(frTools);
    page->addWidget(gridView, 1);
    page->addWidget(frActions);
    page->addLayout(bottom);
}

// ---- Settings -------------------------------------------------------------

void frmMain::LoadSettings()
{
    const QString key = settingsKey();
    m_loadedSettings.autoDetect = m_register.REGGetSetting(CRegister::HKEY_LOCAL_MACHINE, key, QStringLiteral("AutoDetect"), QStringLiteral("1"));
    if (settingToBool(m_loadedSettings.autoDetect, true))
        optAutomatic->setChecked(true);
    m_loadedSettings.manualDetect = m_register.REGGetSetting(CRegister::HKEY_LOCAL_MACHINE, key, QStringLiteral("manualDetect"), QStringLiteral("0"));
    if (settingToBool(m_loadedSettings.manualDetect, false))
        optiPodDrive->setChecked(true);
    m_loadedSettings.manualDetectDrive = m_register.REGGetSetting(CRegister::HKEY_LOCAL_MACHINE, key, QStringLiteral("manualDetectDrive"), kSelectDrive);
    cmdDrive->setText(escapeMnemonic(m_loadedSettings.manualDetectDrive));
}

void frmMain::SaveSettings()
{
    const QString key = settingsKey();
    QString autoDetect = boolText(optAutomatic->isChecked());
    QString manualDetect = boolText(optiPodDrive->isChecked());
    QString drive = unescapeMnemonic(cmdDrive->text());
    if (!m_deviceForThisRun.isEmpty() && optiPodDrive->isChecked() && drive == m_deviceForThisRun) {
        // The drive given on the command line was for that run only.
        autoDetect = m_loadedSettings.autoDetect;
        manualDetect = m_loadedSettings.manualDetect;
        drive = m_loadedSettings.manualDetectDrive;
    }
    // A store that cannot be written drops the settings without a word.
    m_register.REGSaveSetting(CRegister::HKEY_LOCAL_MACHINE, key, QStringLiteral("AutoDetect"), autoDetect);
    m_register.REGSaveSetting(CRegister::HKEY_LOCAL_MACHINE, key, QStringLiteral("manualDetect"), manualDetect);
    m_register.REGSaveSetting(CRegister::HKEY_LOCAL_MACHINE, key, QStringLiteral("manualDetectDrive"), drive);
}

void frmMain::useDeviceForThisRun(const QString& folder)
{
    m_deviceForThisRun = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    // A folder whose name looks like a volume label ("x [y]") gets an empty label of its own.
    if (m_deviceForThisRun.endsWith(QLatin1Char(']')) && m_deviceForThisRun.contains(QStringLiteral(" [")))
        m_deviceForThisRun += QStringLiteral(" []");
    optiPodDrive->setChecked(true);
    cmdDrive->setText(escapeMnemonic(m_deviceForThisRun));
}

// ---- Connection and capacity ------------------------------------------------

QString frmMain::driveRootFromCaption(const QString& caption)
{
    // "<mount point> [<label>]": the mount point, then "/" as the root.
    QString mountPoint = caption;
    const auto bracket = caption.lastIndexOf(QStringLiteral(" ["));
    if (bracket > 0 && caption.endsWith(QLatin1Char(']')))
        mountPoint = caption.left(bracket);
    if (!mountPoint.endsWith(QLatin1Char('/')))
        mountPoint += QLatin1Char('/');
    return mountPoint;
}

MessageResult frmMain::warn(const QString& text)
{
    return m_dialogs.messageBox(this, text, applicationTitle(), MessageButtons::OK, MessageIcon::Exclamation);
}

bool frmMain::ConnectLibrary()
{
    // The library keeps no window handle; 0 stands for this window.
    bool result = true;
    if (optiPodDrive->isChecked()) {
        const QString caption = unescapeMnemonic(cmdDrive->text());
        if (caption != kSelectDrive) {
            m_library->initlaize(0, u"Tracklift", driveRootFromCaption(caption).toStdU16String());
        } else {
            warn(QStringLiteral("Please, Manually specify the iPod Drive first"));
            result = false;
        }
    } else {
        m_library->initlaize(0, u"Tracklift", {});
    }
    ShowDiskSpace(QString::fromStdU16String(m_library->iPodDriveLetter()));
    m_library->setiPodShuffle(IsSmallDevice);
    return result;
}

void frmMain::ShowDiskSpace(const QString& drive)
{
    const VolumeFigures figures = m_volumeQuery(drive);
    const auto clamp = [](std::uint64_t v) { return static_cast<std::int64_t>(std::min<std::uint64_t>(v, INT64_MAX)); };
    TotalSpace = clamp(figures.total);
    FreeSpace = clamp(std::min(figures.free, figures.total));
    UsedSpace = TotalSpace - FreeSpace;
    IsSmallDevice = TotalSpace < 8089934592LL;
    QString freePercent = QStringLiteral("0");
    if (TotalSpace > 0) {
        // Percent to one decimal in integers, so that halves round to even; beyond the range
        // of FreeSpace * 100 the divisor is scaled instead.
        if (FreeSpace <= INT64_MAX / 100)
            freePercent = formatRatio(FreeSpace * 100, TotalSpace, 1);
        else
            freePercent = formatRatio(FreeSpace, TotalSpace / 100, 1);
    }
    FreePercent = QLocale().toFloat(freePercent);
    lblDiskSpace->setText(QStringLiteral("iPod Capcity:") + FormatFileSize(TotalSpace) + QStringLiteral(" - Used Space:") +
                          FormatFileSize(UsedSpace) + QStringLiteral(" - Free Space:") + FormatFileSize(FreeSpace) +
                          QStringLiteral(" (") + freePercent + QStringLiteral("%)"));
}

// ---- Track list -----------------------------------------------------------

void frmMain::cmdLoadiPod_Click()
{
    if (m_loading)
        return;  // a load already runs (the library lets events through while it works)
    m_loading = true;
    lblStatus->setText(QStringLiteral("Please Wait, Loading..."));
    lblStatus->repaint();
    cmdAbout->setEnabled(false);
    if (LoadSonarchive()) {
        FillTrackList();
        lblStatus->setText(QStringLiteral("iPod Contents are Loaded"));
        FormatGrid();
        ShowDiskSpace(QString::fromStdU16String(m_library->iPodDriveLetter()));
        m_library->setiPodShuffle(IsSmallDevice);
    } else {
        lblStatus->setText(QStringLiteral("Failed to Load iPod Contents"));
        cmdAbout->setEnabled(true);
    }
    m_loading = false;
}

bool frmMain::LoadSonarchive()
{
    if (!ConnectLibrary())
        return false;
    bool loaded = false;
    try {
        loaded = m_library->LoadiPodDB();
    } catch (const std::exception&) {
        loaded = false;  // reported below like any other failed load
    }
    if (loaded) {
        RevealViewButton(true);
        return true;
    }
    m_dialogs.messageBox(this, QStringLiteral("The iPod Contents are not loaded successfuly, Please check the connection to the iPod"),
                         applicationTitle(), MessageButtons::OK, MessageIcon::Critical);
    return false;
}

bool frmMain::CreateTracksRecordset()
{
    TracksRS.create();
    return TracksRS.isOpen();
}

void frmMain::FillTrackList()
{
    TracksRS.beginBulkLoad();
    CreateTracksRecordset();
    TrackSet = m_library->GetAllTracks();
    const MHLT& list = TrackSet.m_mhlt;
    const std::size_t n = validEntries(list.m_mhit, list.iNumberOfllTracks).size();
    if (n > 0) {
        TrackInfos.resize(n);
        for (std::size_t i = 0; i < n; ++i) {
            try {
                TrackInfos[i] = m_library->GetTrackInfo(list.m_mhit[i].iUniqueID);
            } catch (const std::exception&) {
                TrackInfos[i] = TrackInfo{};  // cannot happen for identifiers taken from the list itself
            }
            AddTrackRow(TrackInfos[i]);
        }
        rebuildTrackIndex();
    }
    TracksRS.endBulkLoad();
}

bool frmMain::AddTrackRow(const TrackInfo& info)
{
    using C = TrackTableModel::Column;
    const int row = TracksRS.addNew();
    const auto text = [](const std::u16string& s) { return QString::fromStdU16String(s); };
    const auto orUnknown = [&](const std::u16string& s) { return s.empty() ? QStringLiteral("Unknown") : text(s).left(250); };
    std::u16string type(info.sTrackType.rbegin(), info.sTrackType.rend());

    // A value that does not fit its column leaves that cell empty; the others are still set.
    TracksRS.setField(row, C::ID, info.iTrackID);
    TracksRS.setField(row, C::CheckBox, 0);
    TracksRS.setField(row, C::Title, text(info.sTitle).left(250));
    TracksRS.setField(row, C::Album, orUnknown(info.sAlbum));
    TracksRS.setField(row, C::Artist, orUnknown(info.sArtist));
    TracksRS.setField(row, C::Length, FormatTrackLength(info.iTrackTimLength));
    TracksRS.setField(row, C::Type, trimBlanks(text(type)));
    TracksRS.setField(row, C::PlayCount, info.iPlayCount);
    TracksRS.setField(row, C::Quality, QString::number(info.iBitrateInKbs) + QStringLiteral(" kbs"));
    // The year as a person reads it from its four bytes; empty when there is none.
    if (const int year = trackYear(info))
        TracksRS.setField(row, C::Year, QString::number(year));
    TracksRS.setField(row, C::TrackSize, FormatFileSize(trackFileSize(info)));
    TracksRS.moveFirst();
    return true;
}

bool frmMain::FormatGrid()
{
    using C = TrackTableModel::Column;
    m_grid->setCaption(QString());
    m_grid->bind(&TracksRS);
    m_grid->setColumnHidden(C::ID, true);
    m_grid->setColumnHidden(C::FilePath, true);
    for (int c = 0; c < C::ColumnCount; ++c) {
        m_grid->setColumnCheckBox(c, c == C::CheckBox);
        m_grid->setColumnHeader(c, c == C::ID || c == C::CheckBox ? QStringLiteral(" ")
                                                                   : QLatin1String(TrackTableModel::column(c).name));
    }
    m_grid->setColumnWidthTwips(C::ID, 300);
    m_grid->setColumnWidthTwips(C::CheckBox, 300);
    for (int c : {C::Title, C::Album, C::Artist})
        m_grid->setColumnWidthTwips(c, 1400);
    for (int c : {C::Length, C::Type, C::Quality, C::Year, C::TrackSize})
        m_grid->setColumnWidthTwips(c, 900);
    return true;
}

void frmMain::SetAllChecks(bool checked)
{
    for (GridRow row = m_grid->firstRow(); row != kNoRow; row = m_grid->nextRow(row))
        m_grid->setCellValue(row, TrackTableModel::CheckBox, checked ? 1 : 0);
}

void frmMain::rebuildTrackIndex()
{
    m_trackIndex.clear();
    m_trackIndex.reserve(static_cast<qsizetype>(TrackInfos.size()));
    for (std::size_t i = 0; i < TrackInfos.size(); ++i)
        if (!m_trackIndex.contains(TrackInfos[i].iTrackID))  // the first match wins
            m_trackIndex.insert(TrackInfos[i].iTrackID, static_cast<int>(i));
}

QString frmMain::GetTrackLocation(std::int32_t id) const
{
    const auto found = m_trackIndex.constFind(id);
    if (found == m_trackIndex.constEnd() || static_cast<std::size_t>(*found) >= TrackInfos.size())
        return {};
    return QString::fromStdU16String(TrackInfos[static_cast<std::size_t>(*found)].sLocation);
}

void frmMain::cmdCancel_Click()
{
    TrackSet.m_mhlt.m_mhit.clear();
    TrackInfos.clear();
    m_trackIndex.clear();
    StopPlayback();
    StartPanelAnimation(0);
    RevealViewButton(false);
    lblStatus->setText(QStringLiteral("Waiting to load iPod Contents"));
}

// ---- Copy to the computer ---------------------------------------------------

void frmMain::CopyCheckedTracks()
{
    using C = TrackTableModel::Column;
    GridRow row = m_grid->firstRow();
    if (row == kNoRow)
        return;
    while (m_grid->cellValue(row, C::CheckBox).toInt() != 1) {
        row = m_grid->nextRow(row);
        if (row == kNoRow) {
            warn(QStringLiteral("Please, Select track or more to copy."));
            return;
        }
    }

    QString folder = m_dialogs.browseForFolder(this, QStringLiteral("Please, Select the Destination folder."));
    if (folder.isEmpty())
        return;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');

    std::vector<CopyItem> items;
    for (row = m_grid->firstRow(); row != kNoRow; row = m_grid->nextRow(row)) {
        if (m_grid->cellValue(row, C::CheckBox).toInt() != 1)
            continue;
        const QString path = GetTrackLocation(m_grid->cellText(row, C::ID).toInt());
        if (path.isEmpty())
            continue;
        const QString fileName = QFileInfo(path).fileName();
        const auto dot = fileName.lastIndexOf(QLatin1Char('.'));
        const QString extension = dot >= 0 ? fileName.mid(dot + 1) : QString();
        // The cleaned title is shortened where needed so that the name fits the file system.
        const std::string name = trackcopy::trackFileName(trackcopy::CleanFileName(m_grid->cellText(row, C::Title).toStdU16String()),
                                               extension.toStdU16String());
        items.push_back({toPath(path), toPath(folder) / name});
    }
    if (!items.empty())
        m_dialogs.copyFiles(this, items);
}

// ---- Pages ------------------------------------------------------------------

// ---- Window commands ----------------------------------------------------------

void frmMain::DragWindow()
{
    if (QWindow* window = windowHandle())
        window->startSystemMove();
}

void frmMain::minimizeWindow()
{
    setWindowState(windowState() | Qt::WindowMinimized);
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
    if (watched == frTopHeader && event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        DragWindow();
        return true;
    }
    if ((watched == txtStartTime || watched == txtStopTime || watched == txtYear) && event->type() == QEvent::KeyPress &&
        !timeBoxKeyAllowed(static_cast<QLineEdit*>(watched), static_cast<QKeyEvent*>(event)))
        return true;  // the key is dropped
    if (watched == txtFilter || watched == txtSearch) {
        auto* box = static_cast<QLineEdit*>(watched);
        if (event->type() == QEvent::FocusIn)
            textBoxGotFocus(box);
        else if (event->type() == QEvent::FocusOut)
            textBoxLostFocus(box);
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace tracklift
