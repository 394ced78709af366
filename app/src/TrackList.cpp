#include "TrackList.h"

#include "DeviceConnection.h"
#include "FormatText.h"
#include "Blanks.h"

#include <sonarchive/Sonarchive.h>

#include <QComboBox>
#include <QLabel>
#include <QTableView>
#include <QWidget>

using namespace sonarchive;

namespace tracklift {

namespace {

// Column widths of the grid, in twips.
constexpr int kNarrowColumnTwips = 300;   // ID, CheckBox
constexpr int kTextColumnTwips = 1400;    // Title, Album, Artist
constexpr int kFigureColumnTwips = 900;   // Length, Type, PlayCount, Rating, Quality, Year, TrackSize

}  // namespace

TrackList::TrackList(const Widgets& widgets, _clsSonarchive& library, DeviceConnection& connection, Dialogs& dialogs, QWidget* owner)
    : QObject(owner)
    , m_w(widgets)
    , m_library(library)
    , m_connection(connection)
    , m_dialogs(dialogs)
    , m_owner(owner)
    , m_grid(new TrackGrid(widgets.gridView, this))
{
    connect(&m_table, &TrackTableModel::ticksChanged, this, &TrackList::updateTickedText);
    connect(m_w.cboPlaylist, &QComboBox::activated, this, &TrackList::showChoice);
    fillPlaylistChooser();
    updateTickedText();
}

void TrackList::cmdLoadiPod_Click()
{
    if (m_loading)
        return;  // a load already runs (the library lets events through while it works)
    m_loading = true;
    m_loaded = false;
    setStatus(QStringLiteral("Please Wait, Loading..."));
    m_w.lblStatus->repaint();
    emit loadStarted();
    const bool loaded = LoadSonarchive();
    if (loaded) {
        m_tickedIds.clear();
        FillTrackList();
        m_covers = ArtworkDatabase::load(toUtf8(m_library.iPodDriveLetter()));
        m_covers.takeWarnings();  // a damaged artwork database only leaves tracks without covers
        try {
            m_playlists = m_library.playlists();
        } catch (const std::exception&) {
            m_playlists.clear();  // the tracks are there; only the chooser stays short
        }
        fillPlaylistChooser();
        setStatus(QStringLiteral("iPod Contents are Loaded"));
        m_loaded = true;
        FormatGrid();
        m_connection.ShowDiskSpace(QString::fromStdU16String(m_library.iPodDriveLetter()));
        m_library.setiPodShuffle(m_connection.capacity().IsSmallDevice);
    } else {
        setStatus(QStringLiteral("Failed to Load iPod Contents"));
    }
    m_loading = false;
    emit loadFinished(loaded);
}

bool TrackList::LoadSonarchive()
{
    if (!m_connection.ConnectLibrary())
        return false;
    bool loaded = false;
    try {
        loaded = m_library.LoadiPodDB();
    } catch (const std::exception&) {
        loaded = false;  // reported below like any other failed load
    }
    if (loaded) {
        emit databaseRead();
        return true;
    }
    // A disk that could not be read has had its one message from the library, reason included.
    if (m_library.lastFailure().code == sonarchive::FailureCode::Unreadable)
        return false;
    m_dialogs.messageBox(m_owner, QStringLiteral("The iPod Contents are not loaded successfuly, Please check the connection to the iPod"),
                         applicationTitle(), MessageButtons::OK, MessageIcon::Critical);
    return false;
}

std::filesystem::path TrackList::deviceRoot() const
{
    return std::filesystem::path(sonarchive::toUtf8(m_library.iPodDriveLetter()));
}

bool TrackList::CreateTracksRecordset()
{
    m_table.create();
    return m_table.isOpen();
}

void TrackList::FillTrackList()
{
    m_table.beginBulkLoad();
    CreateTracksRecordset();
    // Straight from the library's records: no copy of the whole track list.
    m_trackInfos.clear();
    m_library.forEachTrackInfo([this](const TrackInfo& info) {
        m_trackInfos.push_back(info);
        AddTrackRow(m_trackInfos.back());
    });
    rebuildTrackIndex();
    m_table.endBulkLoad();
    m_shownChoice = 0;
    updateTickedText();
}

void TrackList::showTracks(std::vector<TrackInfo> infos)
{
    m_table.beginBulkLoad();
    CreateTracksRecordset();
    m_trackInfos = std::move(infos);
    for (const TrackInfo& info : m_trackInfos)
        AddTrackRow(info);
    rebuildTrackIndex();
    m_table.endBulkLoad();
    m_playlists.clear();
    m_tickedIds.clear();
    m_shownChoice = 0;
    fillPlaylistChooser();
    updateTickedText();
    FormatGrid();
}

// ---- The playlist chooser ----------------------------------------------------------

void TrackList::fillPlaylistChooser()
{
    QComboBox* chooser = m_w.cboPlaylist;
    chooser->clear();
    m_choices.clear();
    chooser->addItem(allTracksCaption());
    m_choices.push_back(-1);
    const auto caption = [](const PlaylistView& p, const QString& unnamed) {
        QString name = QString::fromStdU16String(p.name).trimmed();
        if (name.isEmpty())
            name = unnamed;
        return QStringLiteral("%1 (%2)").arg(name).arg(p.trackIds.size());
    };
    for (std::size_t i = 0; i < m_playlists.size(); ++i) {
        const PlaylistView& p = m_playlists[i];
        if (p.kind == PlaylistKind::Normal || p.kind == PlaylistKind::Smart) {
            chooser->addItem(caption(p, QStringLiteral("Playlist %1").arg(p.index + 1)));
            m_choices.push_back(static_cast<int>(i));
        }
    }
    for (std::size_t i = 0; i < m_playlists.size(); ++i)
        if (m_playlists[i].kind == PlaylistKind::Podcasts) {
            chooser->addItem(caption(m_playlists[i], QStringLiteral("Podcasts")));
            m_choices.push_back(static_cast<int>(i));
        }
    // Lists made on the iPod since its last sync come last.
    for (std::size_t i = 0; i < m_playlists.size(); ++i)
        if (m_playlists[i].kind == PlaylistKind::OnTheGo) {
            chooser->addItem(caption(m_playlists[i], QStringLiteral("On-The-Go")));
            m_choices.push_back(static_cast<int>(i));
        }
    chooser->setCurrentIndex(0);
    chooser->setEnabled(m_choices.size() > 1);
}

void TrackList::showChoice(int choice)
{
    if (choice < 0 || static_cast<std::size_t>(choice) >= m_choices.size())
        return;
    rememberTicks();
    std::vector<const TrackInfo*> tracks;
    const int playlist = m_choices[static_cast<std::size_t>(choice)];
    if (playlist < 0) {
        tracks.reserve(m_trackInfos.size());
        for (const TrackInfo& info : m_trackInfos)
            tracks.push_back(&info);
    } else {
        const PlaylistView& p = m_playlists[static_cast<std::size_t>(playlist)];
        tracks.reserve(p.trackIds.size());
        for (const std::int32_t id : p.trackIds)
            if (const TrackInfo* info = findTrack(id))
                tracks.push_back(info);
    }
    m_shownChoice = choice;
    fillRows(tracks);
    if (m_w.cboPlaylist->currentIndex() != choice)
        m_w.cboPlaylist->setCurrentIndex(choice);
    FormatGrid();
    emit rowsReplaced();
}

int TrackList::choiceOf(const QString& playlistName) const
{
    for (std::size_t i = 1; i < m_choices.size(); ++i)
        if (QString::fromStdU16String(m_playlists[static_cast<std::size_t>(m_choices[i])].name).trimmed() == playlistName.trimmed())
            return static_cast<int>(i);
    return -1;
}

const PlaylistView* TrackList::shownPlaylist() const
{
    if (m_shownChoice <= 0 || static_cast<std::size_t>(m_shownChoice) >= m_choices.size())
        return nullptr;
    return &m_playlists[static_cast<std::size_t>(m_choices[static_cast<std::size_t>(m_shownChoice)])];
}

void TrackList::fillRows(const std::vector<const TrackInfo*>& tracks)
{
    using C = TrackTableModel::Column;
    m_table.beginBulkLoad();
    m_table.beginTickBatch();
    CreateTracksRecordset();
    for (const TrackInfo* info : tracks) {
        AddTrackRow(*info);
        if (m_tickedIds.contains(info->iTrackID))
            m_table.setField(m_table.rows() - 1, C::CheckBox, 1);
    }
    m_table.endTickBatch();
    m_table.endBulkLoad();
    updateTickedText();
}

void TrackList::rememberTicks()
{
    // A track is ticked when any of its rows is.
    using C = TrackTableModel::Column;
    QSet<std::int32_t> shown, ticked;
    for (int row = 0; row < m_table.rows(); ++row) {
        const std::int32_t id = m_table.value(row, C::ID).toInt();
        shown.insert(id);
        if (m_table.value(row, C::CheckBox).toInt() == 1)
            ticked.insert(id);
    }
    for (const std::int32_t id : shown)
        if (ticked.contains(id))
            m_tickedIds.insert(id);
        else
            m_tickedIds.remove(id);
}

std::vector<std::int32_t> TrackList::tickedTrackIds() const
{
    using C = TrackTableModel::Column;
    std::vector<std::int32_t> ids;
    for (int row = 0; row < m_table.rows(); ++row)
        if (m_table.value(row, C::CheckBox).toInt() == 1)
            ids.push_back(m_table.value(row, C::ID).toInt());
    return ids;
}

QString TrackList::tickedText() const
{
    const TrackTableModel::Ticks ticks = m_table.ticks();
    const int tracks = m_table.distinctIds();
    if (ticks.count == 0)
        return tracks == 1 ? QStringLiteral("1 track, none ticked") : QStringLiteral("%1 tracks, none ticked").arg(tracks);
    return QStringLiteral("%1 of %2 tracks ticked, %3").arg(ticks.count).arg(tracks).arg(FormatFileSize(ticks.bytes));
}

void TrackList::updateTickedText()
{
    m_w.lblTicked->setText(tickedText());
}

bool TrackList::AddTrackRow(const TrackInfo& info)
{
    using C = TrackTableModel::Column;
    const int row = m_table.addNew();
    const auto text = [](const std::u16string& s) { return QString::fromStdU16String(s); };
    const auto orUnknown = [&](const std::u16string& s) { return s.empty() ? QStringLiteral("Unknown") : text(s).left(250); };
    std::u16string type(info.sTrackType.rbegin(), info.sTrackType.rend());

    // A value that does not fit its column leaves that cell empty; the others are still set.
    m_table.setField(row, C::ID, info.iTrackID);
    m_table.setField(row, C::CheckBox, 0);
    m_table.setField(row, C::Title, text(info.sTitle).left(250));
    m_table.setField(row, C::Album, orUnknown(info.sAlbum));
    m_table.setField(row, C::Artist, orUnknown(info.sArtist));
    m_table.setField(row, C::Length, FormatTrackLength(info.iTrackTimLength));
    m_table.setField(row, C::Type, text(trimmedBlanks(type)));  // blanks only
    m_table.setField(row, C::PlayCount, info.iPlayCount);
    m_table.setField(row, C::Rating, FormatRating(info.iRating));
    m_table.setField(row, C::Quality, QString::number(info.iBitrateInKbs) + QStringLiteral(" kbs"));
    // The year as a person reads it from its four bytes; empty when there is none.
    if (const int year = trackYear(info))
        m_table.setField(row, C::Year, QString::number(year));
    m_table.setField(row, C::TrackSize, FormatFileSize(trackFileSize(info)));
    // Figures sort by their exact values, not by the rounded texts.
    m_table.setSortNumber(row, C::Length, info.iTrackTimLength);
    m_table.setSortNumber(row, C::Rating, info.iRating);
    m_table.setSortNumber(row, C::Quality, info.iBitrateInKbs);
    m_table.setSortNumber(row, C::Year, trackYear(info));
    m_table.setSortNumber(row, C::TrackSize, static_cast<qint64>(trackFileSize(info)));
    m_table.moveFirst();
    return true;
}

bool TrackList::FormatGrid()
{
    using C = TrackTableModel::Column;
    m_grid->setCaption(QString());
    m_grid->bind(&m_table);
    m_grid->setColumnHidden(C::ID, true);
    m_grid->setColumnHidden(C::FilePath, true);
    for (int c = 0; c < C::ColumnCount; ++c) {
        m_grid->setColumnCheckBox(c, c == C::CheckBox);
        m_grid->setColumnHeader(c, c == C::ID || c == C::CheckBox ? QStringLiteral(" ")
                                                                   : QLatin1String(TrackTableModel::column(c).name));
    }
    m_grid->setColumnWidthTwips(C::ID, kNarrowColumnTwips);
    m_grid->setColumnWidthTwips(C::CheckBox, kNarrowColumnTwips);
    for (int c : {C::Title, C::Album, C::Artist})
        m_grid->setColumnWidthTwips(c, kTextColumnTwips);
    for (int c : {C::Length, C::Type, C::PlayCount, C::Rating, C::Quality, C::Year, C::TrackSize})
        m_grid->setColumnWidthTwips(c, kFigureColumnTwips);
    m_grid->setStretchColumn(C::Title);  // titles get the room the window has
    return true;
}

void TrackList::SetAllChecks(bool checked)
{
    m_table.setAllTicked(checked);
}

void TrackList::rebuildTrackIndex()
{
    m_trackIndex.clear();
    m_trackIndex.reserve(static_cast<qsizetype>(m_trackInfos.size()));
    for (std::size_t i = 0; i < m_trackInfos.size(); ++i)
        if (!m_trackIndex.contains(m_trackInfos[i].iTrackID))  // the first match wins
            m_trackIndex.insert(m_trackInfos[i].iTrackID, static_cast<int>(i));
}

const TrackInfo* TrackList::findTrack(std::int32_t id) const
{
    const auto found = m_trackIndex.constFind(id);
    if (found == m_trackIndex.constEnd() || static_cast<std::size_t>(*found) >= m_trackInfos.size())
        return nullptr;
    return &m_trackInfos[static_cast<std::size_t>(*found)];
}

QString TrackList::GetTrackLocation(std::int32_t id) const
{
    const TrackInfo* info = findTrack(id);
    return info ? QString::fromStdU16String(info->sLocation) : QString();
}

void TrackList::dropRecords()
{
    m_loaded = false;
    m_trackInfos.clear();
    m_covers = {};
    m_trackIndex.clear();
    m_playlists.clear();
    m_tickedIds.clear();
    m_shownChoice = 0;
    fillPlaylistChooser();
}

GridRow TrackList::highlightedRow()
{
    // The active cell counts as selected; of all rows with a selected cell the
    // lowest one is the highlighted track.
    const GridCell active = m_grid->activeCell();
    if (!active.isNull()) {
        m_grid->setCellSelected(active, true);
        m_grid->setCellSelected({active.row, TrackTableModel::CheckBox}, true);
    }
    return m_grid->lastRowWithSelection();
}

void TrackList::setStatus(const QString& text)
{
    m_w.lblStatus->setText(text);
}

QString TrackList::statusText() const
{
    return m_w.lblStatus->text();
}

}  // namespace tracklift
