#include "DatabaseBackup.h"

#include "CopyDialogs.h"
#include "DeviceConnection.h"

#include <DeviceBackup.h>

#include <sonarchive/Sonarchive.h>

#include <QDesktopServices>
#include <QFile>
#include <QUrl>

namespace tracklift {

DatabaseBackup::DatabaseBackup(DeviceConnection& connection, sonarchive::_clsSonarchive& library, Dialogs& dialogs, QWidget* owner)
    : QObject(owner), m_connection(connection), m_library(library), m_dialogs(dialogs), m_owner(owner)
{
}

void DatabaseBackup::mnuBackUpDatabase_Click()
{
    std::filesystem::path device = m_loadedRoot ? m_loadedRoot() : std::filesystem::path();
    if (device.empty()) {
        // Without a drive the connection or the detection has said why.
        if (!m_connection.ConnectLibrary() || m_library.iPodDriveLetter().empty())
            return;
        device = sonarchive::toUtf8(m_library.iPodDriveLetter());
    }
    const QString folder = m_dialogs.browseForFolder(m_owner, QStringLiteral("Please, Select the folder to keep the iPod Database backup in."));
    if (folder.isEmpty())
        return;

    const trackcopy::DeviceBackup backup =
        trackcopy::DeviceBackup::plan(device, std::filesystem::path(QFile::encodeName(folder).toStdString()));
    if (backup.items().empty()) {
        QString why;
        for (const std::string& problem : backup.problems())
            why += QStringLiteral("\n") + QString::fromStdString(problem);
        m_dialogs.messageBox(m_owner, QStringLiteral("The iPod Database could not be backed up:") + why, applicationTitle(),
                             MessageButtons::OK, MessageIcon::Critical);
        return;
    }
    BatchCopy batch(backup.items(), backup.settings());
    const CopyResult result = m_dialogs.copyFiles(m_owner, batch);
    const QUrl url = QUrl::fromLocalFile(QFile::decodeName(QByteArray::fromStdString(backup.folder().string())));
    CopySummaryDialog summary(
        result, backup.problems(),
        [this, url] {
            if (m_urlOpener)
                m_urlOpener(url);
            else
                QDesktopServices::openUrl(url);
        },
        m_owner, CopySummaryDialog::Kind::Backup);
    m_dialogs.execDialog(summary);
}

}  // namespace tracklift
