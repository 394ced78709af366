// The sliding layout: the two pages, the panels that rise from below the
// window, the growing view button, the about panel, help and the drive menu.

#include "WindowMetrics.h"
#include "frmMain.h"
#include "frmMenus.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGraphicsDropShadowEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QStorageInfo>
#include <QTableView>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

namespace tracklift {

namespace {

const QString kAboutText = QStringLiteral(
    "Tracklift is very easy to use tool to Copy your iPod Device(Any Type), you can copy tracks from iPod to your local hard drive.");

// File systems that are not disks a device could be mounted as.
bool isPseudoFileSystem(const QByteArray& type)
{
    static const QList<QByteArray> pseudo = {"proc", "sysfs", "tmpfs", "devtmpfs", "devpts", "cgroup", "cgroup2", "securityfs",
                                             "debugfs", "tracefs", "pstore", "bpf", "mqueue", "hugetlbfs", "autofs", "configfs",
                                             "fusectl", "binfmt_misc", "efivarfs", "nsfs", "ramfs", "rpc_pipefs", "squashfs",
                                             "fuse.portal", "fuse.gvfsd-fuse", "overlay"};
    return pseudo.contains(type);
}

}  // namespace

int frmMain::pixelsFromTwips(int twips) const
{
    return qRound(twips * logicalDpiX() / 1440.0);
}

int frmMain::twipsFromPixels(int pixels) const
{
    return qRound(pixels * 1440.0 / logicalDpiX());
}

int frmMain::windowHeightTwips() const
{
    return twipsFromPixels(height());
}

void frmMain::buildAboutPanel()
{
    frAboutFrame = new QWidget(this);
    frAboutFrame->setObjectName(QStringLiteral("frAboutFrame"));
    frAboutFrame->setAttribute(Qt::WA_StyledBackground);
    frAboutFrame->resize(px(460), px(250));
    auto* heading = new QLabel(QStringLiteral("About"), frAboutFrame);
    heading->setObjectName(QStringLiteral("lblPanelHeading"));
    lblAboutProduct = new QLabel(QStringLiteral("Tracklift %1").arg(QStringLiteral(TRACKLIFT_VERSION)), frAboutFrame);
    lblAboutProduct->setObjectName(QStringLiteral("lblAboutProduct"));
    lblAboutText = new QLabel(kAboutText, frAboutFrame);
    lblAboutText->setObjectName(QStringLiteral("lblAboutText"));
    lblAboutText->setWordWrap(true);
    cmdAboutOK = new QPushButton(QStringLiteral("OK"), frAboutFrame);
    cmdAboutOK->setObjectName(QStringLiteral("cmdAboutOK"));
    cmdAboutOK->setMinimumWidth(px(96));
    connect(cmdAboutOK, &QPushButton::clicked, this, &frmMain::cmdAboutOK_Click);
    connect(cmdAbout, &QPushButton::clicked, this, &frmMain::cmdAbout_Click);
    connect(cmdHelp, &QPushButton::clicked, this, &frmMain::cmdHelp_Click);

    auto* layout = new QVBoxLayout(frAboutFrame);
    layout->setContentsMargins(px(28), px(22), px(28), px(22));
    layout->setSpacing(px(10));
    layout->addWidget(heading);
    layout->addWidget(lblAboutProduct);
    layout->addSpacing(px(6));
    layout->addWidget(lblAboutText);
    layout->addStretch();
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdAboutOK);
    layout->addLayout(buttons);
}

void frmMain::layOutPanels()
{
    // The start page at the origin, the contents page just right of it; the
    // window shows one page at a time. The header and the capacity line stay on
    // top; the information and about panels wait just below the window.
    tmrAnimate = new QTimer(this);
    tmrAnimate->setInterval(10);
    connect(tmrAnimate, &QTimer::timeout, this, &frmMain::tmrAnimate_Timer);
    tmrShowViewButton = new QTimer(this);
    tmrShowViewButton->setInterval(10);
    connect(tmrShowViewButton, &QTimer::timeout, this, &frmMain::tmrShowViewButton_Timer);

    const QSize page(px(kPageWidth), px(kPageHeight));
    frMainFrame->resize(page);
    frContents->resize(page);
    setFixedSize(page);
    m_startLeft = 0;
    placePages();
    frTopHeader->setGeometry(0, 0, page.width(), px(kHeaderHeight));
    lblDiskSpace->setGeometry(0, page.height() - px(kFooterHeight), page.width(), px(kFooterHeight));
    RevealViewButton(false);
    frameMovie->move(pixelsFromTwips(6210), pixelsFromTwips(2130));
    for (QWidget* panel : {frEditFrame, frAboutFrame}) {
        topOf(panel) = windowHeightTwips();
        placePanel(panel);
        panel->hide();  // its shadow would reach into the window
    }
    for (QWidget* panel : {frEditFrame, frAboutFrame}) {
        auto* shadow = new QGraphicsDropShadowEffect(panel);
        shadow->setBlurRadius(px(28));
        shadow->setOffset(0, px(6));
        shadow->setColor(QColor(15, 23, 42, 90));
        panel->setGraphicsEffect(shadow);
    }
    frTopHeader->raise();
    lblDiskSpace->raise();
    frEditFrame->raise();
    frAboutFrame->raise();
}

void frmMain::placePages()
{
    frMainFrame->move(pixelsFromTwips(m_startLeft), 0);
    frContents->move(frMainFrame->x() + frMainFrame->width(), 0);
}

int& frmMain::topOf(const QWidget* panel)
{
    return panel == frAboutFrame ? m_aboutTop : m_editTop;
}

int frmMain::panelTopTwips(const QWidget* panel) const
{
    return panel == frAboutFrame ? m_aboutTop : m_editTop;
}

void frmMain::placePanel(QWidget* panel)
{
    panel->move(width() / 2 - panel->width() / 2, pixelsFromTwips(topOf(panel)));
}

// ---- Animations -------------------------------------------------------------------------

void frmMain::StartPanelAnimation(int kind)
{
    switch (kind) {
    case 0: sMoveObject = QStringLiteral("Main 2 Right"); MoveStep = 800; MoveInterval = 5; break;
    case 1: sMoveObject = QStringLiteral("Main 2 Left"); MoveStep = 800; MoveInterval = 5; break;
    case 6:
        sMoveObject = QStringLiteral("Edit Frame 2 Up"); MoveStep = 300; MoveInterval = 10;
        (MovingPanel ? MovingPanel : frEditFrame)->show();
        break;
    case 7: sMoveObject = QStringLiteral("Edit Frame 2 Down"); MoveStep = 500; MoveInterval = 5; break;
    default: return;
    }
    tmrAnimate->start();
}

void frmMain::tmrAnimate_Timer()
{
    tmrAnimate->setInterval(MoveInterval);
    if (sMoveObject == QLatin1String("Main 2 Left"))
        pageSlideLeft();
    else if (sMoveObject == QLatin1String("Main 2 Right"))
        pageSlideRight();
    else if (sMoveObject == QLatin1String("Edit Frame 2 Up"))
        panelUp();
    else if (sMoveObject == QLatin1String("Edit Frame 2 Down"))
        panelDown();
    else
        tmrAnimate->stop();
}

void frmMain::pageSlideLeft()
{
    const int pageWidth = twipsFromPixels(frMainFrame->width());
    if (m_startLeft < -pageWidth) {
        tmrAnimate->stop();
        m_startLeft = -pageWidth;
        placePages();
        gridView->setFocus();
        return;
    }
    if (m_startLeft + pageWidth < 1200) {
        MoveStep = 100;
        MoveInterval = 10;
    }
    m_startLeft -= MoveStep;
    placePages();
}

void frmMain::pageSlideRight()
{
    if (m_startLeft > 0) {
        tmrAnimate->stop();
        m_startLeft = 0;
        placePages();
        return;
    }
    if (m_startLeft > -1200) {
        MoveStep = 100;
        MoveInterval = 10;
    }
    m_startLeft += MoveStep;
    placePages();
}

void frmMain::panelUp()
{
    QWidget* panel = MovingPanel ? MovingPanel : frEditFrame;
    int& top = topOf(panel);
    if (top < 1450) {
        tmrAnimate->stop();
        top = 1515;
        placePanel(panel);
        return;
    }
    if (top < 2100 && MoveStep > 100) {
        MoveStep = qRound(MoveStep / 2.0);
        MoveInterval *= 2;
    }
    top -= MoveStep;
    placePanel(panel);
}

void frmMain::panelDown()
{
    QWidget* panel = MovingPanel ? MovingPanel : frEditFrame;
    int& top = topOf(panel);
    if (top < windowHeightTwips()) {
        top += MoveStep;
        placePanel(panel);
        return;
    }
    tmrAnimate->stop();
    top = windowHeightTwips();
    placePanel(panel);
    panel->hide();
    frContents->setEnabled(true);
    frMainFrame->setEnabled(true);
    if (panel == frEditFrame || panel == frAboutFrame) {
        if (optShowAllTracks->isChecked()) {
            cmdFilter->setEnabled(false);
            txtFilter->setEnabled(false);
            cmdFilters->setEnabled(false);
        }
        if (txtSearch->text().isEmpty() || txtSearch->text() == searchPlaceholder())
            cmdSearch->setEnabled(false);
        if (optAutomatic->isChecked())
            cmdDrive->setEnabled(false);
    }
    cmdAbout->setEnabled(true);
}

// ---- The pages and the view button ---------------------------------------------------------

void frmMain::RevealViewButton(bool show)
{
    if (!show) {
        tmrShowViewButton->stop();
        m_viewButtonWidth = 0;
        cmdViewContents->setFixedWidth(0);
        cmdViewContents->setVisible(false);
        return;
    }
    cmdViewContents->setText(QString());
    MoveStep = 200;
    MoveInterval = 5;
    cmdViewContents->setVisible(true);
    tmrShowViewButton->start();
}

void frmMain::tmrShowViewButton_Timer()
{
    tmrShowViewButton->setInterval(MoveInterval);
    if (m_viewButtonWidth > kViewButtonTwips) {
        tmrShowViewButton->stop();
        m_viewButtonWidth = kViewButtonTwips;
        cmdViewContents->setFixedWidth(pixelsFromTwips(m_viewButtonWidth));
        cmdViewContents->setText(QStringLiteral("View && Copy iPod Contents>> "));
        cmdViewContents->setFocus();
        cmdAbout->setEnabled(true);
        emit viewButtonRevealed();
        return;
    }
    if (m_viewButtonWidth > 2600) {
        MoveStep = 50;
        MoveInterval = 5;
    }
    m_viewButtonWidth += MoveStep;
    cmdViewContents->setFixedWidth(pixelsFromTwips(m_viewButtonWidth));
}

void frmMain::cmdViewContents_Click()
{
    if (tmrShowViewButton->isActive())
        return;
    resetFilterAndSearch();
    cmdPrevTrack->setEnabled(false);
    cmdNextTrack->setEnabled(false);
    chkSelectAll->setChecked(false);
    StartPanelAnimation(1);
}

void frmMain::showStartPage()
{
    tmrAnimate->stop();
    m_startLeft = 0;
    placePages();
}

bool frmMain::isContentsPageShown() const
{
    return frContents->x() == 0;
}

// ---- About and help ----------------------------------------------------------------------------

void frmMain::cmdAbout_Click()
{
    if (tmrAnimate->isActive())
        return;
    frContents->setEnabled(false);
    frMainFrame->setEnabled(false);
    MovingPanel = frAboutFrame;
    StartPanelAnimation(6);
}

void frmMain::cmdAboutOK_Click()
{
    StartPanelAnimation(7);
}

QString frmMain::programFolder() const
{
    return m_programFolder.isEmpty() ? QCoreApplication::applicationDirPath() : m_programFolder;
}

void frmMain::cmdHelp_Click()
{
    // The user guide beside the program, in the desktop's browser; nothing happens without it.
    const QString path = programFolder() + QStringLiteral("/Help.html");
    if (!QFileInfo(path).isFile())
        return;
    const QUrl url = QUrl::fromLocalFile(path);
    if (m_urlOpener)
        m_urlOpener(url);
    else
        QDesktopServices::openUrl(url);
}

// ---- Drive menu ------------------------------------------------------------------------------------

QStringList frmMain::mountedDrives()
{
    QStringList drives;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid() || !volume.isReady() || isPseudoFileSystem(volume.fileSystemType()))
            continue;
        drives << volume.rootPath() + QStringLiteral(" [") + volume.name() + QLatin1Char(']');
    }
    return drives;
}

void frmMain::FillDriveMenu()
{
    Drives = m_driveSource ? m_driveSource() : mountedDrives();
    std::vector<QAction*>& items = m_menus->mnuDriveItem;
    items[0]->setVisible(true);
    while (items.size() > 1) {
        m_menus->mnuDrive->removeAction(items.back());
        items.back()->deleteLater();
        items.pop_back();
    }
    // Mount points keep their letter case: on this system paths are case-sensitive.
    for (const QString& drive : std::as_const(Drives)) {
        QAction* item = m_menus->mnuDrive->addAction(escapeMnemonic(drive));
        connect(item, &QAction::triggered, this, [this, drive] { mnuDriveItem_Click(drive); });
        items.push_back(item);
    }
    items[0]->setVisible(false);
}

void frmMain::cmdDrive_Click()
{
    FillDriveMenu();
    m_menus->popup(m_menus->mnuDrive, cmdDrive->mapToGlobal(QPoint(0, cmdDrive->height())));
}

void frmMain::mnuDriveItem_Click(const QString& caption)
{
    cmdDrive->setText(escapeMnemonic(caption));
}

}  // namespace tracklift
