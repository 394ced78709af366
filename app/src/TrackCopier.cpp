#include "TrackCopier.h"

#include "CopyDialogs.h"
#include "CoverImage.h"
#include "TrackList.h"

#include <AlbumCovers.h>
#include <CopyPlan.h>

#include <QDesktopServices>
#include <QFile>
#include <QUrl>
#include <QWidget>

#include <set>

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
    : QObject(owner), m_tracks(tracks), m_dialogs(dialogs), m_owner(owner), m_options(CopyOptions::load(m_register))
{
}

void TrackCopier::setOptions(const CopyOptions& options)
{
    m_options = options;
    m_options.save(m_register);
}

void TrackCopier::cmdCopyOptions_Click()
{
    CopyOptionsDialog dialog(m_options, [this](const CopyOptions& o) { return previewName(o); }, m_tracks.shownPlaylist() != nullptr,
                             m_owner);
    if (m_dialogs.execDialog(dialog) == QDialog::Accepted)
        setOptions(dialog.options());
}

QString TrackCopier::previewName(const CopyOptions& options) const
{
    const std::vector<std::int32_t> ticked = m_tracks.tickedTrackIds();
    if (ticked.empty())
        return {};
    const sonarchive::TrackInfo* info = m_tracks.findTrack(ticked.front());
    if (!info)
        return {};
    const sonarchive::PlaylistView* playlist = m_tracks.shownPlaylist();
    const auto path = trackcopy::CopyPlan::relativePath(*info, options.parsedPattern(), playlist ? playlist->name : std::u16string(),
                                                        playlist ? 1 : 0);
    return QString::fromStdString(path.generic_string());
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
    const std::optional<trackcopy::CopyPlan> batch = plan(folder);
    if (!batch)
        return;
    // With nothing to copy (no ticked track has a file) the summary still says why.
    CopyResult result;
    if (!batch->items().empty()) {
        const bool embed = m_options.embedCovers && m_options.tags != trackcopy::TagMode::None;
        BatchCopy copy = batch->batch(m_options.tags, embed ? trackcopy::embeddedCovers(*batch, m_tracks.covers(), coverJpegBytes)
                                                            : trackcopy::CopyTagger::CoverLookup());
        copy.setSkipSameSize(m_options.skipSameSize);
        copy.setDeviceRoot(m_tracks.deviceRoot());
        result = m_dialogs.copyFiles(m_owner, copy);
    }
    std::vector<std::string> otherFailures = batch->problems();
    if (!batch->items().empty())
        for (std::string& failure : batch->writePlaylistFiles(result))
            otherFailures.push_back(std::move(failure));
    if (m_options.saveCovers) {
        // A cover.jpg already there is the user's: it stays.
        const trackcopy::AlbumCoverResult covers =
            trackcopy::writeAlbumCovers(trackcopy::albumFolders(*batch, result), m_tracks.covers(), coverJpegBytes, false);
        otherFailures.insert(otherFailures.end(), covers.failures.begin(), covers.failures.end());
    }
    CopySummaryDialog summary(result, otherFailures, [this, folder] { openFolder(folder); }, m_owner);
    m_dialogs.execDialog(summary);
}

std::optional<trackcopy::CopyPlan> TrackCopier::plan(const QString& folder) const
{
    trackcopy::PlanOptions options;
    options.destination = toPath(folder);
    options.pattern = m_options.parsedPattern();
    const std::vector<sonarchive::TrackInfo>& tracks = m_tracks.TrackInfos();

    if (const sonarchive::PlaylistView* shown = m_tracks.shownPlaylist()) {
        // The ticked entries of the playlist, in its order; the playlist file lists just those.
        sonarchive::PlaylistView chosen = *shown;
        chosen.trackIds = m_tracks.tickedTrackIds();
        options.playlistFiles = m_options.playlistFile;
        return trackcopy::CopyPlan::forPlaylists(tracks, {chosen}, options);
    }

    // The ticked rows in the grid's order, each track once.
    using C = TrackTableModel::Column;
    const TrackGrid& grid = m_tracks.grid();
    std::vector<std::int32_t> ids;
    std::set<std::int32_t> seen;
    for (GridRow row = grid.firstRow(); row != kNoRow; row = grid.nextRow(row)) {
        if (!isTicked(grid, row))
            continue;
        const std::int32_t id = grid.cellValue(row, C::ID).toInt();
        if (seen.insert(id).second)
            ids.push_back(id);
    }
    return trackcopy::CopyPlan::forTracks(tracks, ids, options);
}

void TrackCopier::openFolder(const QString& folder) const
{
    const QUrl url = QUrl::fromLocalFile(folder);
    if (m_urlOpener)
        m_urlOpener(url);
    else
        QDesktopServices::openUrl(url);
}

}  // namespace tracklift
