#include "TrackList.h"

#include "DeviceConnection.h"
#include "FormatText.h"

#include <sonarchive/Sonarchive.h>

#include <QLabel>
#include <QTableView>
#include <QWidget>

using namespace sonarchive;

namespace tracklift {

namespace {

// Blanks (only) removed at both ends.
QString trimBlanks(const QString& text)
{
    qsizetype first = 0, last = text.size();
    while (first < last && text[first] == QLatin1Char(' '))
        ++first;
    while (last > first && text[last - 1] == QLatin1Char(' '))
        --last;
    return text.mid(first, last - first);
}

// Column widths of the grid, in twips.
constexpr int kNarrowColumnTwips = 300;   // ID, CheckBox
constexpr int kTextColumnTwips = 1400;    // Title, Album, Artist
constexpr int kFigureColumnTwips = 900;   // Length, Type, Quality, Year, TrackSize

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
}

void TrackList::cmdLoadiPod_Click()
{
    if (m_loading)
        return;  // a load already runs (the library lets events through while it works)
    m_loading = true;
    setStatus(QStringLiteral("Please Wait, Loading..."));
    m_w.lblStatus->repaint();
    emit loadStarted();
    const bool loaded = LoadSonarchive();
    if (loaded) {
        FillTrackList();
        setStatus(QStringLiteral("iPod Contents are Loaded"));
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
    m_dialogs.messageBox(m_owner, QStringLiteral("The iPod Contents are not loaded successfuly, Please check the connection to the iPod"),
                         applicationTitle(), MessageButtons::OK, MessageIcon::Critical);
    return false;
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
    m_trackSet = m_library.GetAllTracks();
    const MHLT& list = m_trackSet.m_mhlt;
    const std::size_t n = validEntries(list.m_mhit, list.iNumberOfllTracks).size();
    if (n > 0) {
        m_trackInfos.resize(n);
        for (std::size_t i = 0; i < n; ++i) {
            try {
                m_trackInfos[i] = m_library.GetTrackInfo(list.m_mhit[i].iUniqueID);
            } catch (const std::exception&) {
                m_trackInfos[i] = TrackInfo{};  // cannot happen for identifiers taken from the list itself
            }
            AddTrackRow(m_trackInfos[i]);
        }
        rebuildTrackIndex();
    }
    m_table.endBulkLoad();
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
    FormatGrid();
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
    m_table.setField(row, C::Type, trimBlanks(text(type)));
    m_table.setField(row, C::PlayCount, info.iPlayCount);
    m_table.setField(row, C::Quality, QString::number(info.iBitrateInKbs) + QStringLiteral(" kbs"));
    // The year as a person reads it from its four bytes; empty when there is none.
    if (const int year = trackYear(info))
        m_table.setField(row, C::Year, QString::number(year));
    m_table.setField(row, C::TrackSize, FormatFileSize(trackFileSize(info)));
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
    for (int c : {C::Length, C::Type, C::Quality, C::Year, C::TrackSize})
        m_grid->setColumnWidthTwips(c, kFigureColumnTwips);
    return true;
}

void TrackList::SetAllChecks(bool checked)
{
    for (GridRow row = m_grid->firstRow(); row != kNoRow; row = m_grid->nextRow(row))
        m_grid->setCellValue(row, TrackTableModel::CheckBox, checked ? 1 : 0);
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
    m_trackSet.m_mhlt.m_mhit.clear();
    m_trackInfos.clear();
    m_trackIndex.clear();
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
