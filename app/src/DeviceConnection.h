#pragma once

#include "CRegister.h"
#include "Dialogs.h"
#include "DiskSpace.h"

#include <Device.h>

#include <QObject>
#include <QStringList>

#include <cstdint>
#include <string>
#include <functional>
#include <optional>
#include <vector>

class QLabel;
class QPushButton;
class QRadioButton;
class QWidget;

namespace sonarchive {
class _clsSonarchive;
}

namespace devices {
class DeviceLister;
}

namespace tracklift {

class DeviceWatch;
class frmMenus;

// How the program reaches the device: automatic detection or a drive the user
// picks from the drive menu, the settings that remember that choice between
// runs, handing the drive to the library, and the capacity line it then shows.
// Through the desktop's disk service it also mounts the iPod for automatic
// detection, ejects it, and follows iPods as they are plugged in and out.
class DeviceConnection final : public QObject {
    Q_OBJECT
public:
    struct Widgets {
        QRadioButton* optAutomatic;
        QRadioButton* optiPodDrive;
        QPushButton* cmdDrive;
        QLabel* lblDiskSpace;
        QPushButton* cmdEject;       // "Eject iPod", while the disk service reports an iPod
        QLabel* lblDeviceNotice;     // "iPod connected: NAME", on the start page
        QPushButton* cmdLoadiPod;
    };
    // Figures of the device volume, refreshed by ShowDiskSpace.
    struct Capacity {
        std::int64_t TotalSpace = 0;
        std::int64_t UsedSpace = 0;
        std::int64_t FreeSpace = 0;
        float FreePercent = 0;
        bool IsSmallDevice = false;
    };

    DeviceConnection(const Widgets& widgets, sonarchive::_clsSonarchive& library, Dialogs& dialogs, frmMenus& menus,
                     QWidget* owner);

    // Settings.
    void LoadSettings();
    void SaveSettings();
    static QString settingsKey() { return QStringLiteral("Software\\Corvane Tracklift\\Settings"); }

    // Manual mode with `folder` as the drive for this run only; the stored settings stay as they were.
    void useDeviceForThisRun(const QString& folder);

    // The mode, as the option buttons show it; choosing one runs its click handling.
    bool isManualMode() const;
    void chooseManualMode(bool manual);
    QString driveCaption() const;  // as the user reads it ("&" single)

    // Hands the library its drive before a load; false when manual mode has no drive yet.
    bool ConnectLibrary();
    void ShowDiskSpace(const QString& drive);
    const Capacity& capacity() const { return m_capacity; }
    QString capacityText() const;
    void setVolumeQuery(VolumeQuery query) { m_volumeQuery = std::move(query); }

    // The drive menu.
    void cmdDrive_Click();
    void FillDriveMenu();
    void mnuDriveItem_Click(const QString& caption);
    const QStringList& Drives() const { return m_drives; }  // "<mount point> [<label>]" of each mounted volume
    void setDriveSource(std::function<QStringList()> source) { m_driveSource = std::move(source); }
    static QStringList mountedDrives();
    static QString driveRootFromCaption(const QString& caption);

    // After a panel over the pages closes: the drive button is for manual mode only.
    void restoreAfterPanel();

    // The iPods the desktop's disk service reports, as they come and go.
    DeviceWatch& deviceWatch() { return *m_watch; }
    // "Eject iPod": unmounts the iPod (the one loaded, else the one detection
    // takes) and powers it off, so that it can be unplugged. Nothing is forced.
    void cmdEject_Click();
    QString deviceNotice() const;

    // The iPod a load read from, followed as it comes and goes: lost when it
    // is unplugged or unmounted, back once it is mounted where it was.
    void rememberLoadedDevice();
    void forgetLoadedDevice();
    bool isLoadedDeviceLost() const { return m_loadedDeviceLost; }

    // Why the device connected last can't be changed (read-only, HFS+); given
    // once, to be said before the first of the library's questions that would
    // change it. Empty when it can be changed.
    QString takeWriteNotice();

signals:
    void loadedDeviceConnected(bool connected);
    // An iPod was plugged in while in automatic mode: loading it is the next step.
    void loadSuggested();
    // A call to the disk service (mounting, ejecting) runs, or has ended: what
    // would start another rests meanwhile.
    void deviceJobRunning(bool running);

private:
    bool serviceDriveRoot(QString& root);
    void runDeviceJob(const std::function<void()>& job);
    std::vector<devices::Device> currentDevices();
    static std::optional<devices::Device> deviceToEject(devices::DeviceLister& lister,
                                                        const std::optional<devices::Device>& loaded,
                                                        const std::string& driveRoot);
    void devicesChanged();
    void followLoadedDevice();

    Widgets m_w;
    sonarchive::_clsSonarchive& m_library;
    Dialogs& m_dialogs;
    frmMenus& m_menus;
    QWidget* m_owner;
    CRegister m_register;
    VolumeQuery m_volumeQuery = queryVolume;
    std::function<QStringList()> m_driveSource;
    QStringList m_drives;
    Capacity m_capacity;

    struct StoredSettings {
        QString autoDetect, manualDetect, manualDetectDrive;
    };
    StoredSettings m_loadedSettings;
    QString m_deviceForThisRun;

    DeviceWatch* m_watch;
    std::optional<devices::Device> m_loadedDevice;
    bool m_loadedDeviceLost = false;
    bool m_deviceJob = false;  // a call to the disk service runs on its own thread
    QString m_writeNotice;
};

}  // namespace tracklift
