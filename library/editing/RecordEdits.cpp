#include "RecordEdits.h"

#include "DatabaseCodec.h"
#include "Error.h"

#include <sonarchive/ByteText.h>
#include <sonarchive/TrackValues.h>
#include <sonarchive/ValidEntries.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <limits>

namespace sonarchive {

namespace {

constexpr std::size_t kTextLimit = 500;  // UTF-16 units kept of each text
constexpr std::int32_t kTrackHeaderSize = 328;
constexpr std::int32_t kItemHeaderSize = 76;
constexpr std::int32_t kItemRecordSize = 44;
constexpr std::int32_t kItemRecordType = 100;  // a playlist item's position record

struct TextKind {
    std::int32_t type;
    std::u16string TrackInfo::*text;
};

// The order in which a track's text records are made or appended.
constexpr std::array<TextKind, 6> kTextKinds = {{{kMhodTitle, &TrackInfo::sTitle},
                                                 {kMhodAlbum, &TrackInfo::sAlbum},
                                                 {kMhodArtist, &TrackInfo::sArtist},
                                                 {kMhodComment, &TrackInfo::sComment},
                                                 {kMhodComposer, &TrackInfo::sComposer},
                                                 {kMhodGenre, &TrackInfo::sGenre}}};

}  // namespace

std::u16string cutText(const std::u16string& text)
{
    if (text.size() <= kTextLimit)
        return text;
    std::size_t length = kTextLimit;
    if (text[length - 1] >= 0xD800 && text[length - 1] <= 0xDBFF)
        --length;
    return text.substr(0, length);
}

std::vector<MHOD_S> textRecords(const TrackInfo& info, const std::u16string& sourcePath)
{
    std::vector<MHOD_S> records;
    for (const TextKind& kind : kTextKinds) {
        std::u16string text = cutText(info.*kind.text);
        if (kind.type == kMhodTitle && text.empty())
            text = fromUtf8(std::filesystem::path(toUtf8(sourcePath)).stem().string());
        if (kind.type == kMhodTitle || !text.empty())
            records.push_back(makeStringRecord(kind.type, std::move(text)));
    }
    return records;
}

void setRecords(MHIT& track, std::vector<MHOD_S> records)
{
    track.m_mhod = std::move(records);
    track.iNumberOfMHODS = static_cast<std::int32_t>(track.m_mhod.size());
    track.iTotalSize = trackRecordSize(track);
}

MHIT newTrackRecord(const TrackInfo& info, std::int32_t id, std::int64_t libraryId)
{
    const std::int64_t sampleRate = std::int64_t(info.iSampleRateInHz) * 32768;
    if (sampleRate > std::numeric_limits<std::int32_t>::max() || sampleRate < std::numeric_limits<std::int32_t>::min())
        throw Error(FailureCode::TooLarge,
                    "Overflow: a sample rate of " + std::to_string(info.iSampleRateInHz) + " Hz does not fit the track record");
    MHIT track;
    track.sID = u"mhit";
    track.iHeaderSize = kTrackHeaderSize;
    track.iTotalSize = kTrackHeaderSize;
    track.iUniqueID = id;
    track.iVisible = 1;
    track.sFiletype = info.sFiletype.size() >= 4 ? info.sFiletype : info.sFiletype + u" ";
    track.iType1 = info.IsVBR;
    track.iType2 = info.sFiletype == u"MP3" ? 1 : 0;
    track.iTrackSize = info.iFileSize;
    track.iTrackTimeLength = info.iTrackTimLength;
    track.iTrackNumber = info.iTrackNumber;
    track.iDiscNumber = info.iDiscNumber;
    track.sTrackYear = yearField(info.sYear);
    track.iBitrate = info.iBitrateInKbs;
    track.iSampleRate = static_cast<std::int32_t>(sampleRate);
    track.iSampleRate2 = track.iSampleRate;
    track.iStartTime = info.iStartTime;
    track.iStopTime = info.iStopTime;
    track.iSkipWhenShuffle = info.iSkipWhenShuffle;
    track.iRememPlaybackPos = info.iRememberPlayBackPos;
    track.iDB_ID = libraryId;
    track.iDB_ID2 = libraryId;
    track.iUnk1 = -1;
    track.iUnk3 = 12;
    track.iHasArtwork = 2;
    track.iMovieFileFlag = info.IsMovie;
    track.iMediaType = info.iType;
    track.iGaplessTrackFlag = 1;
    return track;
}

std::int32_t applyTrackInfo(MHIT& track, const TrackInfo& info)
{
    const std::int32_t oldTotal = track.iTotalSize;
    track.iRememPlaybackPos = info.iRememberPlayBackPos;
    track.iSkipWhenShuffle = info.iSkipWhenShuffle;
    track.iStartTime = info.iStartTime;
    track.iStopTime = info.iStopTime;
    track.iType1 = info.IsVBR;
    track.sTrackYear = yearField(info.sYear);

    track.m_mhod.resize(validEntries(track.m_mhod, track.iNumberOfMHODS).size());
    std::array<bool, kTextKinds.size()> present{};
    for (MHOD_S& record : track.m_mhod) {
        if (!hasStandardLayout(record))
            continue;
        for (std::size_t k = 0; k < kTextKinds.size(); ++k) {
            if (record.iType == kTextKinds[k].type) {
                record.sString = info.*(kTextKinds[k].text);
                present[k] = true;
            }
        }
        fitStringRecord(record);
    }
    for (std::size_t k = 0; k < kTextKinds.size(); ++k)
        if (!present[k])
            track.m_mhod.push_back(makeStringRecord(kTextKinds[k].type, cutText(info.*(kTextKinds[k].text))));
    track.iNumberOfMHODS = static_cast<std::int32_t>(track.m_mhod.size());
    track.iTotalSize = trackRecordSize(track);
    return track.iTotalSize - oldTotal;
}

bool hasMasterPlaylist(const MHSD_P& section)
{
    return !section.sID.empty() && section.m_mhlp.iNumberOfPlaylists >= 1 && !section.m_mhlp.m_mhyp.empty();
}

MHYP& firstPlaylist(MHSD_P& section, const char* what)
{
    if (!hasMasterPlaylist(section))
        throw Error(FailureCode::Other, std::string("The database has no ") + what + " to add the track to");
    return section.m_mhlp.m_mhyp.front();
}

void appendItem(MHSD_P& section, MHYP& playlist, std::int32_t trackId, std::int32_t position, const MHYP* formOf)
{
    // Items of early devices have no data record: a playlist whose items are all
    // of that kind gets one more of the same kind.
    const auto n = static_cast<std::size_t>(std::max(playlist.iPlaylistItemsCount, 0));
    const MHYP& model = formOf ? *formOf : playlist;
    const auto known = validEntries(model.m_mhip, model.iPlaylistItemsCount);
    const bool withoutRecords = !known.empty() && std::all_of(known.begin(), known.end(), [](const MHIP& item) { return item.iChildCount == 0; });
    MHIP item;
    item.sID = u"mhip";
    item.iHeaderSize = withoutRecords ? known.back().iHeaderSize : kItemHeaderSize;
    item.iTotalSize = withoutRecords ? item.iHeaderSize : kItemHeaderSize + kItemRecordSize;
    item.iChildCount = withoutRecords ? 0 : 1;
    item.iGroupID = trackId;
    item.iTrackID = trackId;
    MHOD_POE data;
    if (!withoutRecords) {
        data.sID = u"mhod";
        data.iHeaderSize = 24;
        data.iTotalSize = kItemRecordSize;
        data.iType = kItemRecordType;
        data.iPosition = position;
        data.sUnk3 = std::string(16, '\0');
    }
    const std::int32_t added = item.iTotalSize;
    playlist.m_mhip.resize(n + 1);
    playlist.m_mhod_poe.resize(n + 1);
    playlist.m_mhip[n] = std::move(item);
    playlist.m_mhod_poe[n] = std::move(data);
    playlist.iTotlaSize += added;
    section.iTotalSize += added;
    playlist.iPlaylistItemsCount = static_cast<std::int32_t>(n + 1);
}

MHYP newPlaylist(const MHYP& master, std::u16string title, std::string identifier)
{
    MHYP playlist;
    playlist.sID = u"mhyp";
    playlist.iHeaderSize = master.iHeaderSize;
    playlist.sAllData = master.sAllData;
    playlist.sUnk1 = master.sUnk1;
    playlist.sTimeStamp = master.sTimeStamp;
    playlist.iListSortOrder = master.iListSortOrder;
    playlist.sPerPlayListID = std::move(identifier);
    playlist.iMHODCount = 1;
    playlist.m_mhod_s = makeStringRecord(kMhodTitle, std::move(title));
    playlist.iChildsCount = 1;
    playlist.iTotlaSize = playlist.iHeaderSize + playlist.m_mhod_s.iTotalSize;
    return playlist;
}

void markItemsDeleted(MHSD_P& section, std::int32_t trackId)
{
    for (MHYP& playlist : validEntries(section.m_mhlp.m_mhyp, section.m_mhlp.iNumberOfPlaylists)) {
        for (MHIP& item : validEntries(playlist.m_mhip, playlist.iPlaylistItemsCount)) {
            if (item.iTrackID != trackId)
                continue;
            item.iTrackID = -1;
            ++playlist.iMHYPs2Delete;
            playlist.iTotlaSize -= item.iTotalSize;
            section.iTotalSize -= item.iTotalSize;
        }
    }
}

}  // namespace sonarchive
