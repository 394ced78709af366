#include "DeviceConnection.h"

#include "DeviceWatch.h"
#include "FormatText.h"
#include "WindowMetrics.h"
#include "frmMenus.h"

#include <DeviceChoice.h>
#include <UDisks2Lister.h>
#include <WriteAccess.h>

#include <sonarchive/Sonarchive.h>

#include <QAction>
#include <QEventLoop>
#include <QGuiApplication>
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
#include <exception>
#include <thread>
#include <utility>

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
    : QObject(owner)
    , m_w(widgets)
    , m_library(library)
    , m_dialogs(dialogs)
    , m_menus(menus)
    , m_owner(owner)
    , m_watch(new DeviceWatch(std::make_unique<devices::UDisks2Lister>(), this))
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

    // Plugged in: said on the start page, and in automatic mode the load is the next step.
    connect(m_watch, &DeviceWatch::deviceAdded, this, [this](const devices::Device& device) {
        m_w.lblDeviceNotice->setText(QStringLiteral("iPod connected: ") + QString::fromStdString(device.name));
        if (!isManualMode())
            emit loadSuggested();
        devicesChanged();
    });
    connect(m_watch, &DeviceWatch::deviceRemoved, this, [this] {
        const auto& left = m_watch->devices();
        m_w.lblDeviceNotice->setText(left.empty() ? QString()
                                                  : QStringLiteral("iPod connected: ") + QString::fromStdString(left.back().name));
        devicesChanged();
    });
    connect(m_watch, &DeviceWatch::deviceChanged, this, &DeviceConnection::devicesChanged);
    m_w.cmdEject->setEnabled(false);
    m_watch->start();
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
    if (m_deviceJob)
        return false;  // its buttons rest until the disk service has answered
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
        QString root;
        result = serviceDriveRoot(root);
        if (result)
            m_library.initlaize(0, u"Tracklift", root.toStdU16String());
    }
    const std::string drive = sonarchive::toUtf8(m_library.iPodDriveLetter());
    m_writeNotice = drive.empty() ? QString()
                                  : QString::fromStdString(devices::readOnlyReason(drive, currentDevices(), devices::readMountTable()));
    ShowDiskSpace(QString::fromStdU16String(m_library.iPodDriveLetter()));
    m_library.setiPodShuffle(m_capacity.IsSmallDevice);
    return result;
}

// The iPod the desktop's disk service knows, mounted when it is not. An empty
// root lets the library look itself (no service, or no iPod it knows); false,
// after a warning, when mounting failed.
bool DeviceConnection::serviceDriveRoot(QString& root)
{
    std::optional<devices::Device> device;
    std::optional<devices::DeviceError> failure;
    runDeviceJob([this, &device, &failure] {
        try {
            device = devices::chooseiPod(m_watch->lister(), true);
        } catch (const devices::DeviceError& e) {
            failure = e;
        }
    });
    if (device)
        root = QString::fromStdString(device->driveRoot());
    if (!failure || failure->kind() == devices::DeviceError::Kind::Unavailable)
        return true;
    warnUser(m_dialogs, m_owner, QStringLiteral("The iPod could not be mounted: ") + QString::fromStdString(failure->what()));
    return false;
}

QString DeviceConnection::takeWriteNotice()
{
    return std::exchange(m_writeNotice, QString());
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

// ---- The disk service: eject and hot-plug ----------------------------------------------------------

// Runs a call to the disk service (mounting, ejecting: up to minutes on a slow
// disk) on a thread of its own and returns once it is done. The window keeps
// answering meanwhile; the device buttons rest, and the service is asked
// nothing else from here until then.
void DeviceConnection::runDeviceJob(const std::function<void()>& job)
{
    m_deviceJob = true;
    m_w.cmdEject->setEnabled(false);
    emit deviceJobRunning(true);
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    QEventLoop waiting;
    std::exception_ptr thrown;
    std::thread worker([&job, &waiting, &thrown] {
        try {
            job();
        } catch (...) {
            thrown = std::current_exception();  // thrown again here, on the window's thread
        }
        QMetaObject::invokeMethod(&waiting, &QEventLoop::quit, Qt::QueuedConnection);
    });
    waiting.exec();  // returns early only when the program quits; the job is then waited for
    worker.join();
    QGuiApplication::restoreOverrideCursor();
    m_deviceJob = false;
    emit deviceJobRunning(false);
    m_w.cmdEject->setEnabled(!m_watch->devices().empty());
    if (thrown)
        std::rethrow_exception(thrown);
}

// What the service says now; what it last reported when it can't be asked, or
// while a job of the service runs.
std::vector<devices::Device> DeviceConnection::currentDevices()
{
    if (m_deviceJob)
        return m_watch->devices();
    try {
        return m_watch->lister().devices();
    } catch (const devices::DeviceError&) {
        return m_watch->devices();
    }
}

// The iPod to eject: the one loaded (`loaded`), else the one holding the
// library's drive (`driveRoot`), else the one detection takes.
std::optional<devices::Device> DeviceConnection::deviceToEject(devices::DeviceLister& lister,
                                                               const std::optional<devices::Device>& loaded,
                                                               const std::string& driveRoot)
{
    const std::vector<devices::Device> found = lister.devices();
    for (const devices::Device& device : found)
        if (loaded && device.identity == loaded->identity)
            return device;
    if (const devices::Device* device = devices::deviceHolding(found, driveRoot))
        return *device;
    return devices::chooseiPod(found, nullptr);
}

void DeviceConnection::cmdEject_Click()
{
    if (m_deviceJob)
        return;
    QString failure;
    bool found = false;
    bool poweredOff = false;
    const std::optional<devices::Device> loaded = m_loadedDevice;
    const std::string driveRoot = sonarchive::toUtf8(m_library.iPodDriveLetter());
    runDeviceJob([&, this] {
        try {
            const std::optional<devices::Device> device = deviceToEject(m_watch->lister(), loaded, driveRoot);
            found = device.has_value();
            if (device)
                poweredOff = m_watch->lister().eject(*device).poweredOff;
        } catch (const devices::DeviceError& e) {
            failure = e.kind() == devices::DeviceError::Kind::Busy
                ? QStringLiteral("The iPod is still in use: a program holds a file or folder on it open. Close it and press "
                                 "Eject iPod again; nothing was forced.")
                : QStringLiteral("The iPod was not ejected: ") + QString::fromStdString(e.what());
        }
    });
    if (failure.isEmpty() && !found)
        failure = QStringLiteral("No iPod to eject was found.");
    if (!failure.isEmpty())
        warnUser(m_dialogs, m_owner, failure);
    else
        m_dialogs.messageBox(m_owner,
                             poweredOff ? QStringLiteral("The iPod is powered off; it can be unplugged now.")
                                        : QStringLiteral("The iPod is unmounted but could not be powered off; it can be unplugged now."),
                             applicationTitle(), MessageButtons::OK, MessageIcon::Information);
}

QString DeviceConnection::deviceNotice() const
{
    return m_w.lblDeviceNotice->text();
}

void DeviceConnection::devicesChanged()
{
    m_w.cmdEject->setEnabled(!m_deviceJob && !m_watch->devices().empty());
    followLoadedDevice();
}

void DeviceConnection::rememberLoadedDevice()
{
    forgetLoadedDevice();
    const std::vector<devices::Device> found = currentDevices();
    if (const devices::Device* device = devices::deviceHolding(found, sonarchive::toUtf8(m_library.iPodDriveLetter())))
        m_loadedDevice = *device;
}

void DeviceConnection::forgetLoadedDevice()
{
    m_loadedDevice.reset();
    if (std::exchange(m_loadedDeviceLost, false))
        emit loadedDeviceConnected(true);
}

// The loaded iPod is there while it is mounted where it was loaded from. The
// watch's list is current: this follows its reports, and asks the service nothing.
void DeviceConnection::followLoadedDevice()
{
    if (!m_loadedDevice)
        return;
    const std::vector<devices::Device>& found = m_watch->devices();
    const bool there = std::any_of(found.begin(), found.end(), [this](const devices::Device& d) {
        return d.identity == m_loadedDevice->identity && d.isMounted() && devices::sameFolder(d.mountPoint, m_loadedDevice->mountPoint);
    });
    if (there == m_loadedDeviceLost) {
        m_loadedDeviceLost = !there;
        emit loadedDeviceConnected(there);
    }
}

}  // namespace tracklift
