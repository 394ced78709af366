#include "JsonRecords.h"

#include <sonarchive/RecordFields.h>

#include <charconv>
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

namespace {

// The fields of a TrackInfo in the order their JSON names them.
template <typename Visit>
void visitTrackInfo(const TrackInfo& i, Visit&& visit)
{
    visit("sTitle", i.sTitle);
    visit("sAlbum", i.sAlbum);
    visit("sArtist", i.sArtist);
    visit("sComposer", i.sComposer);
    visit("sGenre", i.sGenre);
    visit("sYear", i.sYear);
    visit("year", std::int64_t(trackYear(i)));
    visit("sComment", i.sComment);
    visit("sFiletype", i.sFiletype);
    visit("sLocation", i.sLocation);
    visit("sVolume", i.sVolume);
    visit("iFileSize", std::int64_t(trackFileSize(i)));
    visit("iTrackTimLength", std::int64_t(i.iTrackTimLength));
    visit("iType", std::int64_t(i.iType));
    visit("iBitrateInKbs", std::int64_t(i.iBitrateInKbs));
    visit("iSampleRateInHz", std::int64_t(i.iSampleRateInHz));
    visit("iStartTime", std::int64_t(i.iStartTime));
    visit("iStopTime", std::int64_t(i.iStopTime));
    visit("iSkipWhenShuffle", std::int64_t(i.iSkipWhenShuffle));
    visit("iRememberPlayBackPos", std::int64_t(i.iRememberPlayBackPos));
    visit("IsMovie", std::int64_t(i.IsMovie));
    visit("IsVBR", std::int64_t(i.IsVBR));
    visit("iPlayCount", std::int64_t(i.iPlayCount));
    visit("sTrackType", i.sTrackType);
    visit("iTrackID", std::int64_t(i.iTrackID));
    visit("sVideoCodec", i.sVideoCodec);
    visit("sAudioCodec", i.sAudioCodec);
    visit("isFileSupported", i.isFileSupported);
    visit("iTrackNumber", std::int64_t(i.iTrackNumber));
    visit("iDiscNumber", std::int64_t(i.iDiscNumber));
}

// UTF-8 text as a JSON string, escaped as nlohmann's dump escapes it.
void appendJsonString(std::string& out, std::string_view utf8)
{
    static constexpr char kHex[] = "0123456789abcdef";
    out.push_back('"');
    for (const char c : utf8) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                out += "\\u00";
                out.push_back(kHex[(c >> 4) & 0xF]);
                out.push_back(kHex[c & 0xF]);
            } else {
                out.push_back(c);
            }
        }
    }
    out.push_back('"');
}

}  // namespace

Json toJson(const TrackInfo& i)
{
    Json out = Json::object();
    visitTrackInfo(i, [&](const char* name, const auto& value) {
        using T = std::remove_cvref_t<decltype(value)>;
        if constexpr (std::is_same_v<T, std::u16string>)
            out[name] = toUtf8(value);
        else
            out[name] = value;
    });
    return out;
}

TrackJsonStream::TrackJsonStream(std::FILE* out) : m_out(out)
{
    m_buffer.reserve(kFlushAt + 4096);
}

TrackJsonStream::~TrackJsonStream()
{
    finish();
}

void TrackJsonStream::add(const TrackInfo& info)
{
    m_buffer += m_count++ == 0 ? "[\n  {" : ",\n  {";
    bool first = true;
    visitTrackInfo(info, [&](const char* name, const auto& value) {
        m_buffer += first ? "\n    \"" : ",\n    \"";
        first = false;
        m_buffer += name;
        m_buffer += "\": ";
        using T = std::remove_cvref_t<decltype(value)>;
        if constexpr (std::is_same_v<T, std::u16string>) {
            m_text.clear();
            appendUtf8(m_text, value);
            appendJsonString(m_buffer, m_text);
        } else if constexpr (std::is_same_v<T, bool>) {
            m_buffer += value ? "true" : "false";
        } else {
            char digits[24];
            const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
            m_buffer.append(digits, end);
        }
    });
    m_buffer += "\n  }";
    if (m_buffer.size() >= kFlushAt)
        flush();
}

void TrackJsonStream::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    m_buffer += m_count == 0 ? "[]\n" : "\n]\n";
    flush();
}

void TrackJsonStream::flush()
{
    std::fwrite(m_buffer.data(), 1, m_buffer.size(), m_out);
    m_buffer.clear();
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
