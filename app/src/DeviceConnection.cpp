#include "DeviceConnection.h"

#include "FormatText.h"
#include "WindowMetrics.h"
#include "frmMenus.h"

#include <sonarchive/Sonarchive.h>

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QStorageInfo>
#include <QWidget>

#include <algorithm>

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

DeviceConnection::DeviceConnection(const Widgets& widgets, sonarchive::_clsSonarchive& library, Dialogs& dialogs, frmMenus& menus,
                                   QWidget* owner)
    : QObject(owner), m_w(widgets), m_library(library), m_dialogs(dialogs), m_menus(menus), m_owner(owner)
{
    // Selecting a mode runs its click handling: the drive button is for manual mode only.
    connect(m_w.optAutomatic, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            m_w.cmdDrive->setEnabled(false);
    });
    connect(m_w.optiPodDrive, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            m_w.cmdDrive->setEnabled(true);
    });
    connect(m_w.cmdDrive, &QPushButton::clicked, this, &DeviceConnection::cmdDrive_Click);
}

// ---- Settings -------------------------------------------------------------

void DeviceConnection::LoadSettings()
{
    const QString key = settingsKey();
    m_loadedSettings.autoDetect = m_register.REGGetSetting(CRegister::HKEY_LOCAL_MACHINE, key, QStringLiteral("AutoDetect"), QStringLiteral("1"));
    if (settingToBool(m_loadedSettings.autoDetect, true))
        m_w.optAutomatic->setChecked(true);
    m_loadedSettings.manualDetect = m_register.REGGetSetting(CRegister::HKEY_LOCAL_MACHINE, key, QStringLiteral("manualDetect"), QStringLiteral("0"));
    if (settingToBool(m_loadedSettings.manualDetect, false))
        m_w.optiPodDrive->setChecked(true);
    m_loadedSettings.manualDetectDrive = m_register.REGGetSetting(CRegister::HKEY_LOCAL_MACHINE, key, QStringLiteral("manualDetectDrive"), kSelectDrive);
    m_w.cmdDrive->setText(escapeMnemonic(m_loadedSettings.manualDetectDrive));
}

void DeviceConnection::SaveSettings()
{
    const QString key = settingsKey();
    QString autoDetect = boolText(m_w.optAutomatic->isChecked());
    QString manualDetect = boolText(m_w.optiPodDrive->isChecked());
    QString drive = driveCaption();
    if (!m_deviceForThisRun.isEmpty() && m_w.optiPodDrive->isChecked() && drive == m_deviceForThisRun) {
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

void DeviceConnection::useDeviceForThisRun(const QString& folder)
{
    m_deviceForThisRun = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    // A folder whose name looks like a volume label ("x [y]") gets an empty label of its own.
    if (m_deviceForThisRun.endsWith(QLatin1Char(']')) && m_deviceForThisRun.contains(QStringLiteral(" [")))
        m_deviceForThisRun += QStringLiteral(" []");
    m_w.optiPodDrive->setChecked(true);
    m_w.cmdDrive->setText(escapeMnemonic(m_deviceForThisRun));
}

bool DeviceConnection::isManualMode() const
{
    return m_w.optiPodDrive->isChecked();
}

void DeviceConnection::chooseManualMode(bool manual)
{
    (manual ? m_w.optiPodDrive : m_w.optAutomatic)->setChecked(true);
}

QString DeviceConnection::driveCaption() const
{
    return unescapeMnemonic(m_w.cmdDrive->text());
}

// ---- Connection and capacity ------------------------------------------------

QString DeviceConnection::driveRootFromCaption(const QString& caption)
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

bool DeviceConnection::ConnectLibrary()
{
    // The library keeps no window handle; 0 stands for the main window.
    bool result = true;
    if (isManualMode()) {
        const QString caption = driveCaption();
        if (caption != kSelectDrive) {
            m_library.initlaize(0, u"Tracklift", driveRootFromCaption(caption).toStdU16String());
        } else {
            warnUser(m_dialogs, m_owner, QStringLiteral("Please, Manually specify the iPod Drive first"));
            result = false;
        }
    } else {
        m_library.initlaize(0, u"Tracklift", {});
    }
    ShowDiskSpace(QString::fromStdU16String(m_library.iPodDriveLetter()));
    m_library.setiPodShuffle(m_capacity.IsSmallDevice);
    return result;
}

void DeviceConnection::ShowDiskSpace(const QString& drive)
{
    const VolumeFigures figures = m_volumeQuery(drive);
    const auto clamp = [](std::uint64_t v) { return static_cast<std::int64_t>(std::min<std::uint64_t>(v, INT64_MAX)); };
    Capacity& c = m_capacity;
    c.TotalSpace = clamp(figures.total);
    c.FreeSpace = clamp(std::min(figures.free, figures.total));
    c.UsedSpace = c.TotalSpace - c.FreeSpace;
    c.IsSmallDevice = c.TotalSpace < 8089934592LL;
    QString freePercent = QStringLiteral("0");
    if (c.TotalSpace > 0) {
        // Percent to one decimal in integers, so that halves round to even; beyond the range
        // of FreeSpace * 100 the divisor is scaled instead.
        if (c.FreeSpace <= INT64_MAX / 100)
            freePercent = formatRatio(c.FreeSpace * 100, c.TotalSpace, 1);
        else
            freePercent = formatRatio(c.FreeSpace, c.TotalSpace / 100, 1);
    }
    c.FreePercent = QLocale().toFloat(freePercent);
    m_w.lblDiskSpace->setText(QStringLiteral("iPod Capcity:") + FormatFileSize(c.TotalSpace) + QStringLiteral(" - Used Space:") +
                              FormatFileSize(c.UsedSpace) + QStringLiteral(" - Free Space:") + FormatFileSize(c.FreeSpace) +
                              QStringLiteral(" (") + freePercent + QStringLiteral("%)"));
}

QString DeviceConnection::capacityText() const
{
    return m_w.lblDiskSpace->text();
}

// ---- Drive menu ------------------------------------------------------------------------------------

QStringList DeviceConnection::mountedDrives()
{
    QStringList drives;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid() || !volume.isReady() || isPseudoFileSystem(volume.fileSystemType()))
            continue;
        drives << volume.rootPath() + QStringLiteral(" [") + volume.name() + QLatin1Char(']');
    }
    return drives;
}

void DeviceConnection::FillDriveMenu()
{
    m_drives = m_driveSource ? m_driveSource() : mountedDrives();
    std::vector<QAction*>& items = m_menus.mnuDriveItem;
    items[0]->setVisible(true);
    while (items.size() > 1) {
        m_menus.mnuDrive->removeAction(items.back());
        items.back()->deleteLater();
        items.pop_back();
    }
    // Mount points keep their letter case: on this system paths are case-sensitive.
    for (const QString& drive : std::as_const(m_drives)) {
        QAction* item = m_menus.mnuDrive->addAction(escapeMnemonic(drive));
        connect(item, &QAction::triggered, this, [this, drive] { mnuDriveItem_Click(drive); });
        items.push_back(item);
    }
    items[0]->setVisible(false);
}

void DeviceConnection::cmdDrive_Click()
{
    FillDriveMenu();
    m_menus.popup(m_menus.mnuDrive, m_w.cmdDrive->mapToGlobal(QPoint(0, m_w.cmdDrive->height())));
}

void DeviceConnection::mnuDriveItem_Click(const QString& caption)
{
    m_w.cmdDrive->setText(escapeMnemonic(caption));
}

void DeviceConnection::restoreAfterPanel()
{
    if (m_w.optAutomatic->isChecked())
        m_w.cmdDrive->setEnabled(false);
}

}  // namespace tracklift
