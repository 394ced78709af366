#include "JsonRecords.h"

#include <sonarchive/RecordFields.h>

#include <type_traits>

namespace cli {

using namespace sonarchive;
using Json = nlohmann::ordered_json;

namespace {

Json text(const std::u16string& value) { return toUtf8(value); }
Json bytes(const std::string& value) { return toUtf8(bytesToText(value)); }
Json raw(const RawBytes& value) { return Json{{"size", value.size()}}; }

template <typename Record, typename Fields>
void addFields(Json& out, const Record& record, const Fields& fields)
{
    forEachField(fields, [&](const auto& field) {
        const auto& value = record.*(field.member);
        using T = std::remove_cvref_t<decltype(value)>;
        if constexpr (std::is_same_v<T, std::u16string>)
            out[field.name] = text(value);
        else if constexpr (std::is_same_v<T, std::string>)
            out[field.name] = bytes(value);
        else
            out[field.name] = static_cast<std::int64_t>(value);
    });
}

Json sectionHead(const SectionHead& s)
{
    return Json{{"sID", text(s.sID)}, {"iHeaderSize", s.iHeaderSize}, {"iTotalSize", s.iTotalSize},
                {"iType", s.iType}, {"sHeaderData", raw(s.sHeaderData)}, {"sAllData", raw(s.sAllData)}};
}

Json stringRecord(const MHOD_S& record)
{
    Json out;
    addFields(out, record, kMHOD_SFields);
    out["sString"] = text(record.sString);
    out["sAllMHOD"] = raw(record.sAllMHOD);
    return out;
}

}  // namespace

Json toJson(const TrackInfo& i)
{
    return Json{{"sTitle", text(i.sTitle)}, {"sAlbum", text(i.sAlbum)}, {"sArtist", text(i.sArtist)},
                {"sComposer", text(i.sComposer)}, {"sGenre", text(i.sGenre)}, {"sYear", text(i.sYear)},
                {"year", trackYear(i)},
                {"sComment", text(i.sComment)}, {"sFiletype", text(i.sFiletype)}, {"sLocation", text(i.sLocation)},
                {"sVolume", text(i.sVolume)}, {"iFileSize", trackFileSize(i)}, {"iTrackTimLength", i.iTrackTimLength},
                {"iType", i.iType}, {"iBitrateInKbs", i.iBitrateInKbs}, {"iSampleRateInHz", i.iSampleRateInHz},
                {"iStartTime", i.iStartTime}, {"iStopTime", i.iStopTime}, {"iSkipWhenShuffle", i.iSkipWhenShuffle},
                {"iRememberPlayBackPos", i.iRememberPlayBackPos}, {"IsMovie", i.IsMovie}, {"IsVBR", i.IsVBR},
                {"iPlayCount", i.iPlayCount}, {"sTrackType", text(i.sTrackType)}, {"iTrackID", i.iTrackID},
                {"sVideoCodec", text(i.sVideoCodec)}, {"sAudioCodec", text(i.sAudioCodec)},
                {"isFileSupported", i.isFileSupported}, {"iTrackNumber", i.iTrackNumber}, {"iDiscNumber", i.iDiscNumber}};
}

Json toJson(const MHBD& header)
{
    Json out;
    addFields(out, header, kMHBDFields);
    out["sHeaderData"] = raw(header.sHeaderData);
    out["sAllData"] = raw(header.sAllData);
    return out;
}

Json toJson(const MHSD_T& section)
{
    Json out = sectionHead(section);
    const MHLT& list = section.m_mhlt;
    Json tracks = Json::array();
    for (const MHIT& track : validEntries(list.m_mhit, list.iNumberOfllTracks)) {
        Json t;
        addFields(t, track, kMHITFields);
        t["sAllData"] = raw(track.sAllData);
        Json strings = Json::array();
        for (const MHOD_S& record : validEntries(track.m_mhod, track.iNumberOfMHODS))
            strings.push_back(stringRecord(record));
        t["m_mhod"] = std::move(strings);
        tracks.push_back(std::move(t));
    }
    out["m_mhlt"] = Json{{"sID", text(list.sID)}, {"iHeaderSize", list.iHeaderSize},
                         {"iNumberOfllTracks", list.iNumberOfllTracks}, {"sAllHeader", raw(list.sAllHeader)},
                         {"m_mhit", std::move(tracks)}, {"iTracks2Delete", list.iTracks2Delete}};
    return out;
}

Json toJson(const MHSD_P& section)
{
    Json out = sectionHead(section);
    const MHLP& list = section.m_mhlp;
    Json playlists = Json::array();
    for (const MHYP& playlist : validEntries(list.m_mhyp, list.iNumberOfPlaylists)) {
        Json pl;
        addFields(pl, playlist, kMHYPFields);
        pl["sAllData"] = raw(playlist.sAllData);
        pl["m_mhod_s"] = stringRecord(playlist.m_mhod_s);
        Json records = Json::array();
        for (const MHOD_PCD& r : validEntries(playlist.m_mhod_pcd, playlist.iChildsCount - 1)) {
            records.push_back(Json{{"sID", text(r.sID)}, {"iHeaderSize", r.iHeaderSize}, {"iTotalSize", r.iTotalSize},
                                   {"iType", r.iType}, {"sAllMHOD", raw(r.sAllMHOD)}});
        }
        pl["m_mhod_pcd"] = std::move(records);
        Json items = Json::array();
        Json itemRecords = Json::array();
        const std::size_t itemCount = validEntries(playlist.m_mhip, std::min<std::int64_t>(playlist.iPlaylistItemsCount, playlist.m_mhod_poe.size())).size();
        for (std::size_t k = 0; k < itemCount; ++k) {
            Json item;
            addFields(item, playlist.m_mhip[k], kMHIPFields);
            items.push_back(std::move(item));
            Json record;
            addFields(record, playlist.m_mhod_poe[k], kMHOD_POEFields);
            record["sAllMHOD"] = raw(playlist.m_mhod_poe[k].sAllMHOD);
            itemRecords.push_back(std::move(record));
        }
        pl["m_mhip"] = std::move(items);
        pl["m_mhod_poe"] = std::move(itemRecords);
        pl["iMHYPs2Delete"] = playlist.iMHYPs2Delete;
        playlists.push_back(std::move(pl));
    }
    out["m_mhlp"] = Json{{"sID", text(list.sID)}, {"iHeaderSize", list.iHeaderSize},
                         {"iNumberOfPlaylists", list.iNumberOfPlaylists}, {"sHeaderData", raw(list.sHeaderData)},
                         {"m_mhyp", std::move(playlists)}};
    return out;
}

Json toJson(const MHSD_A& section) { return sectionHead(section); }
Json toJson(const MHSD_NP& section) { return sectionHead(section); }

}  // namespace cli
