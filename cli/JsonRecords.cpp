#include "JsonRecords.h"

#include <sonarchive/RecordFields.h>

#include <charconv>
#include <vector>
#include <type_traits>

namespace cli {

using namespace sonarchive;
using Json = nlohmann::ordered_json;
using namespace std::string_view_literals;

namespace {

Json text(const std::u16string& value) { return toUtf8(value); }
Json bytes(const std::string& value) { return toUtf8(bytesToText(value)); }
Json raw(const RawBytes& value) { return Json{{"size", value.size()}}; }

// A record's decoded fields, named as in the record.
template <typename Record, typename Fields>
Json fieldsOf(const Record& record, const Fields& fields)
{
    Json out;
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
    return out;
}

// The valid entries of a record list, each made into JSON by `make`.
template <typename T, typename Make>
Json arrayOf(const std::vector<T>& list, std::int64_t count, Make make)
{
    Json out = Json::array();
    for (const T& entry : validEntries(list, count))
        out.push_back(make(entry));
    return out;
}

Json sectionHead(const SectionHead& s)
{
    return Json{{"sID", text(s.sID)}, {"iHeaderSize", s.iHeaderSize}, {"iTotalSize", s.iTotalSize},
                {"iType", s.iType}, {"sHeaderData", raw(s.sHeaderData)}, {"sAllData", raw(s.sAllData)}};
}

Json stringRecord(const MHOD_S& record)
{
    Json out = fieldsOf(record, kMHOD_SFields);
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
    visit("sTitle"sv, i.sTitle);
    visit("sAlbum"sv, i.sAlbum);
    visit("sArtist"sv, i.sArtist);
    visit("sComposer"sv, i.sComposer);
    visit("sGenre"sv, i.sGenre);
    visit("sYear"sv, i.sYear);
    visit("year"sv, std::int64_t(trackYear(i)));
    visit("sComment"sv, i.sComment);
    visit("sFiletype"sv, i.sFiletype);
    visit("sLocation"sv, i.sLocation);
    visit("sVolume"sv, i.sVolume);
    visit("iFileSize"sv, std::int64_t(trackFileSize(i)));
    visit("iTrackTimLength"sv, std::int64_t(i.iTrackTimLength));
    visit("iType"sv, std::int64_t(i.iType));
    visit("iBitrateInKbs"sv, std::int64_t(i.iBitrateInKbs));
    visit("iSampleRateInHz"sv, std::int64_t(i.iSampleRateInHz));
    visit("iStartTime"sv, std::int64_t(i.iStartTime));
    visit("iStopTime"sv, std::int64_t(i.iStopTime));
    visit("iSkipWhenShuffle"sv, std::int64_t(i.iSkipWhenShuffle));
    visit("iRememberPlayBackPos"sv, std::int64_t(i.iRememberPlayBackPos));
    visit("IsMovie"sv, std::int64_t(i.IsMovie));
    visit("IsVBR"sv, std::int64_t(i.IsVBR));
    visit("iPlayCount"sv, std::int64_t(i.iPlayCount));
    visit("sTrackType"sv, i.sTrackType);
    visit("iTrackID"sv, std::int64_t(i.iTrackID));
    visit("sVideoCodec"sv, i.sVideoCodec);
    visit("sAudioCodec"sv, i.sAudioCodec);
    visit("isFileSupported"sv, i.isFileSupported);
    visit("iTrackNumber"sv, std::int64_t(i.iTrackNumber));
    visit("iDiscNumber"sv, std::int64_t(i.iDiscNumber));
    // What the device recorded since its last sync, merged (iPlayCount above too).
    visit("rating"sv, std::int64_t(i.iRating));
    visit("lastPlayed"sv, i.iLastPlayed);
    visit("skipCount"sv, std::int64_t(i.iSkipCount));
    visit("bookmarkMs"sv, std::int64_t(i.iBookmarkMs));
    visit("recentPlays"sv, std::int64_t(i.iRecentPlays));
}

// UTF-16 text as a JSON string in UTF-8, escaped as nlohmann's dump escapes it:
// ASCII goes straight in, everything else through the library's conversion.
void appendJsonString(std::string& out, std::u16string_view text)
{
    static constexpr char kHex[] = "0123456789abcdef";
    out.push_back('"');
    std::size_t i = 0;
    while (i < text.size()) {
        // A run of printable ASCII that needs no escape, written at once.
        std::size_t end = i;
        while (end < text.size() && text[end] >= 0x20 && text[end] < 0x80 && text[end] != u'"' && text[end] != u'\\')
            ++end;
        if (end > i) {
            const std::size_t at = out.size();
            out.resize(at + (end - i));
            for (std::size_t k = i; k < end; ++k)
                out[at + (k - i)] = static_cast<char>(text[k]);
            i = end;
            continue;
        }
        const char16_t unit = text[i];
        if (unit >= 0x80) {
            while (end < text.size() && text[end] >= 0x80)
                ++end;
            appendUtf8(out, text.substr(i, end - i));  // never needs escaping
            i = end;
            continue;
        }
        ++i;
        switch (unit) {
        case u'"': out += "\\\""; break;
        case u'\\': out += "\\\\"; break;
        case u'\b': out += "\\b"; break;
        case u'\f': out += "\\f"; break;
        case u'\n': out += "\\n"; break;
        case u'\r': out += "\\r"; break;
        case u'\t': out += "\\t"; break;
        default:
            out += "\\u00";
            out.push_back(kHex[(unit >> 4) & 0xF]);
            out.push_back(kHex[unit & 0xF]);
        }
    }
    out.push_back('"');
}

}  // namespace

Json toJson(const TrackInfo& i)
{
    Json out = Json::object();
    visitTrackInfo(i, [&](std::string_view name, const auto& value) {
        using T = std::remove_cvref_t<decltype(value)>;
        if constexpr (std::is_same_v<T, std::u16string>)
            out[std::string(name)] = toUtf8(value);
        else
            out[std::string(name)] = value;
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
    // What goes before each value: the line break, the indent and the key, made once.
    static const std::vector<std::string> keys = [] {
        std::vector<std::string> made;
        visitTrackInfo(TrackInfo{}, [&](std::string_view name, const auto&) {
            made.push_back(std::string(made.empty() ? "\n    \"" : ",\n    \"") + std::string(name) + "\": ");
        });
        return made;
    }();
    m_buffer += m_count++ == 0 ? "[\n  {"sv : ",\n  {"sv;
    std::size_t field = 0;
    visitTrackInfo(info, [&](std::string_view, const auto& value) {
        m_buffer += keys[field++];
        using T = std::remove_cvref_t<decltype(value)>;
        if constexpr (std::is_same_v<T, std::u16string>) {
            appendJsonString(m_buffer, value);
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
    Json out = fieldsOf(header, kMHBDFields);
    out["sHeaderData"] = raw(header.sHeaderData);
    out["sAllData"] = raw(header.sAllData);
    return out;
}

namespace {

Json trackRecord(const MHIT& track)
{
    Json t = fieldsOf(track, kMHITFields);
    t["sAllData"] = raw(track.sAllData);
    t["m_mhod"] = arrayOf(track.m_mhod, track.iNumberOfMHODS, stringRecord);
    return t;
}

Json playlistRecord(const MHYP& playlist)
{
    Json pl = fieldsOf(playlist, kMHYPFields);
    pl["sAllData"] = raw(playlist.sAllData);
    pl["m_mhod_s"] = stringRecord(playlist.m_mhod_s);
    pl["m_mhod_pcd"] = arrayOf(playlist.m_mhod_pcd, playlist.iChildsCount - 1, [](const MHOD_PCD& r) {
        return Json{{"sID", text(r.sID)}, {"iHeaderSize", r.iHeaderSize}, {"iTotalSize", r.iTotalSize},
                    {"iType", r.iType}, {"sAllMHOD", raw(r.sAllMHOD)}};
    });
    // Items and their records pair up: as many as both lists hold.
    const auto items = static_cast<std::int64_t>(
        validEntries(playlist.m_mhip, std::min<std::int64_t>(playlist.iPlaylistItemsCount, playlist.m_mhod_poe.size())).size());
    pl["m_mhip"] = arrayOf(playlist.m_mhip, items, [](const MHIP& item) { return fieldsOf(item, kMHIPFields); });
    pl["m_mhod_poe"] = arrayOf(playlist.m_mhod_poe, items, [](const MHOD_POE& record) {
        Json r = fieldsOf(record, kMHOD_POEFields);
        r["sAllMHOD"] = raw(record.sAllMHOD);
        return r;
    });
    pl["iMHYPs2Delete"] = playlist.iMHYPs2Delete;
    return pl;
}

}  // namespace

Json toJson(const MHSD_T& section)
{
    const MHLT& list = section.m_mhlt;
    Json out = sectionHead(section);
    out["m_mhlt"] = Json{{"sID", text(list.sID)}, {"iHeaderSize", list.iHeaderSize},
                         {"iNumberOfllTracks", list.iNumberOfllTracks}, {"sAllHeader", raw(list.sAllHeader)},
                         {"m_mhit", arrayOf(list.m_mhit, list.iNumberOfllTracks, trackRecord)},
                         {"iTracks2Delete", list.iTracks2Delete}};
    return out;
}

Json toJson(const MHSD_P& section)
{
    const MHLP& list = section.m_mhlp;
    Json out = sectionHead(section);
    out["m_mhlp"] = Json{{"sID", text(list.sID)}, {"iHeaderSize", list.iHeaderSize},
                         {"iNumberOfPlaylists", list.iNumberOfPlaylists}, {"sHeaderData", raw(list.sHeaderData)},
                         {"m_mhyp", arrayOf(list.m_mhyp, list.iNumberOfPlaylists, playlistRecord)}};
    return out;
}

Json toJson(const DeviceNotes& notes)
{
    const auto head = [](std::int32_t headerSize, std::int32_t entrySize, std::int32_t entryCount) {
        return Json{{"headerSize", headerSize}, {"entrySize", entrySize}, {"entryCount", entryCount}};
    };
    Json out = Json::object();
    if (const auto& counts = notes.playCounts) {
        Json file = head(counts->headerSize, counts->entrySize, counts->entryCount);
        Json entries = Json::array();
        for (const PlayCountEntry& e : counts->entries)
            entries.push_back({{"plays", e.plays}, {"lastPlayed", e.lastPlayed}, {"bookmarkMs", e.bookmarkMs}, {"rating", e.rating},
                               {"unknown16", e.unknown16}, {"skips", e.skips}, {"lastSkipped", e.lastSkipped}});
        file["entries"] = std::move(entries);
        out["playCounts"] = std::move(file);
    } else {
        out["playCounts"] = nullptr;
    }
    Json lists = Json::array();
    for (const OnTheGoFile& list : notes.onTheGo) {
        Json file = head(list.headerSize, list.entrySize, list.entryCount);
        file["file"] = list.fileName;
        file["trackIndices"] = list.trackIndices;
        lists.push_back(std::move(file));
    }
    out["onTheGo"] = std::move(lists);
    return out;
}

Json toJson(const MHSD_A& section) { return sectionHead(section); }
Json toJson(const MHSD_NP& section) { return sectionHead(section); }

}  // namespace cli
