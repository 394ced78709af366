#pragma once

#include "CRegister.h"
#include "Dialogs.h"
#include "DiskSpace.h"

#include <QObject>
#include <QStringList>

#include <cstdint>
#include <functional>

class QLabel;
class QPushButton;
class QRadioButton;
class QWidget;

namespace sonarchive {
class _clsSonarchive;
}

namespace tracklift {

class frmMenus;

// How the program reaches the device: automatic detection or a drive the user
// picks from the drive menu, the settings that remember that choice between
// runs, handing the drive to the library, and the capacity line it then shows.
class DeviceConnection final : public QObject {
    Q_OBJECT
public:
    struct Widgets {
        QRadioButton* optAutomatic;
        QRadioButton* optiPodDrive;
        QPushButton* cmdDrive;
        QLabel* lblDiskSpace;
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

private:
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
};

}  // namespace tracklift
