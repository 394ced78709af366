#include "TrackCopier.h"

#include "CleanFileName.h"
#include "FileNameFit.h"
#include "TrackList.h"

#include <QFile>
#include <QFileInfo>
#include <QWidget>

namespace tracklift {

namespace {

std::filesystem::path toPath(const QString& path)
{
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

bool isTicked(const TrackGrid& grid, GridRow row)
{
    return grid.cellValue(row, TrackTableModel::CheckBox).toInt() == 1;
}

}  // namespace

TrackCopier::TrackCopier(TrackList& tracks, Dialogs& dialogs, QWidget* owner)
    : QObject(owner), m_tracks(tracks), m_dialogs(dialogs), m_owner(owner)
{
}

void TrackCopier::CopyCheckedTracks()
{
    const TrackGrid& grid = m_tracks.grid();
    GridRow row = grid.firstRow();
    if (row == kNoRow)
        return;
    while (!isTicked(grid, row)) {
        row = grid.nextRow(row);
        if (row == kNoRow) {
            warnUser(m_dialogs, m_owner, QStringLiteral("Please, Select track or more to copy."));
            return;
        }
    }

    const QString folder = m_dialogs.browseForFolder(m_owner, QStringLiteral("Please, Select the Destination folder."));
    if (folder.isEmpty())
        return;
    const std::vector<CopyItem> items = copyItems(folder);
    if (!items.empty())
        m_dialogs.copyFiles(m_owner, items);
}

std::vector<CopyItem> TrackCopier::copyItems(QString folder)
{
    using C = TrackTableModel::Column;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    const TrackGrid& grid = m_tracks.grid();
    std::vector<CopyItem> items;
    for (GridRow row = grid.firstRow(); row != kNoRow; row = grid.nextRow(row)) {
        if (!isTicked(grid, row))
            continue;
        const QString path = m_tracks.GetTrackLocation(grid.cellText(row, C::ID).toInt());
        if (path.isEmpty())
            continue;
        const QString fileName = QFileInfo(path).fileName();
        const auto dot = fileName.lastIndexOf(QLatin1Char('.'));
        const QString extension = dot >= 0 ? fileName.mid(dot + 1) : QString();
        // The cleaned title is shortened where needed so that the name fits the file system.
        const std::string name = trackcopy::trackFileName(trackcopy::CleanFileName(grid.cellText(row, C::Title).toStdU16String()),
                                                          extension.toStdU16String());
        items.push_back({toPath(path), toPath(folder) / name});
    }
    return items;
}

}  // namespace tracklift
