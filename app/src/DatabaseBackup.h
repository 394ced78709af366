#pragma once

#include "Dialogs.h"

#include <QObject>

#include <filesystem>
#include <functional>

class QUrl;
class QWidget;

namespace sonarchive {
class _clsSonarchive;
}

namespace tracklift {

class DeviceConnection;

// "Back Up iPod Database...": before anything else reads or writes a failing
// device, its database and the files kept beside it (iPod_Control/iTunes and
// iPod_Control/Device) are copied into a new dated folder in a folder the user
// picks, read-only, with the copy's progress window; a summary then says what
// became of them. The database is not loaded for it. With a device loaded, its
// root is backed up and the library stays pointed at it; else the drive is
// found as a load finds it.
class DatabaseBackup final : public QObject {
    Q_OBJECT
public:
    DatabaseBackup(DeviceConnection& connection, sonarchive::_clsSonarchive& library, Dialogs& dialogs, QWidget* owner);

    void mnuBackUpDatabase_Click();

    // Where the loaded device is; empty while none is loaded.
    void setLoadedRoot(std::function<std::filesystem::path()> loadedRoot) { m_loadedRoot = std::move(loadedRoot); }
    // How the backup's folder is opened from the summary (the desktop's file manager by default).
    void setUrlOpener(std::function<bool(const QUrl&)> opener) { m_urlOpener = std::move(opener); }

private:
    DeviceConnection& m_connection;
    sonarchive::_clsSonarchive& m_library;
    Dialogs& m_dialogs;
    QWidget* m_owner;
    std::function<bool(const QUrl&)> m_urlOpener;
    std::function<std::filesystem::path()> m_loadedRoot;
};

}  // namespace tracklift
