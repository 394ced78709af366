#include "CopyPlan.h"

#include "AsciiCase.h"
#include "CleanFileName.h"
#include "FileNameFit.h"

#include <sonarchive/ByteText.h>
#include <sonarchive/TrackValues.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <unordered_map>

namespace trackcopy {

namespace fs = std::filesystem;
using sonarchive::PlaylistKind;
using sonarchive::PlaylistView;
using sonarchive::TrackInfo;

namespace {

std::u16string extensionOf(const std::u16string& path)
{
    const auto slash = path.find_last_of(u'/');
    const auto dot = path.find_last_of(u'.');
    return dot == std::u16string::npos || (slash != std::u16string::npos && dot < slash) ? std::u16string() : path.substr(dot + 1);
}

std::unordered_map<std::int32_t, const TrackInfo*> indexById(const std::vector<TrackInfo>& tracks)
{
    std::unordered_map<std::int32_t, const TrackInfo*> index;
    index.reserve(tracks.size());
    for (const TrackInfo& info : tracks)
        index.try_emplace(info.iTrackID, &info);  // the first track of an id, as the library finds it
    return index;
}

}  // namespace

std::string CopyPlan::trackName(const TrackInfo& info)
{
    std::string name = "\"" + sonarchive::toUtf8(info.sTitle) + "\"";
    if (!info.sArtist.empty())
        name += " by " + sonarchive::toUtf8(info.sArtist);
    return name;
}

bool CopyPlan::kept(const TrackInfo& info, const PlanOptions& options) const
{
    using sonarchive::containsAsciiNoCase;
    return containsAsciiNoCase(info.sArtist, options.artist) && containsAsciiNoCase(info.sAlbum, options.album) &&
           containsAsciiNoCase(info.sGenre, options.genre) && sonarchive::ratingStars(info.iRating) >= options.minRating;
}

fs::path CopyPlan::relativePath(const TrackInfo& info, const std::optional<TrackNamePattern>& pattern, const std::u16string& playlist,
                                std::int32_t index)
{
    const std::u16string extension = extensionOf(info.sLocation);
    if (!pattern)
        return trackFileName(CleanFileName(info.sTitle), extension);
    TrackNameFields fields = TrackNameFields::of(info);
    fields.playlist = playlist;
    fields.index = index;
    return pattern->path(fields, extension);
}

void CopyPlan::add(const Planned& track, const PlanOptions& options)
{
    const TrackInfo& info = *track.info;
    if (info.sLocation.empty()) {
        m_problems.push_back("track " + std::to_string(info.iTrackID) + " has no file");
        return;
    }
    const fs::path relative = relativePath(info, options.pattern, track.playlist, track.index);
    m_itemOfTrack.try_emplace(info.iTrackID, m_items.size());
    m_items.push_back({fs::path(sonarchive::toUtf8(info.sLocation)), options.destination / relative, trackName(info)});
    m_itemTracks.push_back(info.iTrackID);
    m_itemInfos.push_back(&info);
}

void CopyPlan::addPlaylistFile(const PlaylistView& playlist, const PlanOptions& options)
{
    PlaylistFile file;
    for (const std::int32_t id : playlist.trackIds)
        if (const auto found = m_itemOfTrack.find(id); found != m_itemOfTrack.end())
            file.entries.push_back(found->second);

    std::u16string name = playlist.name;
    if (name.find_first_not_of(u' ') == std::u16string::npos)
        name = u"Playlist " + sonarchive::fromUtf8(std::to_string(playlist.index + 1));
    const std::string stem = fitStem(sonarchive::toUtf8(CleanFileName(name)), ".m3u8");
    // Two playlists of one name get files of their own.
    fs::path path = options.destination / (stem + ".m3u8");
    for (int n = 2; std::any_of(m_playlistFiles.begin(), m_playlistFiles.end(), [&](const PlaylistFile& f) { return f.path == path; }); ++n) {
        const std::string suffix = " (" + std::to_string(n) + ").m3u8";
        path = options.destination / (fitStem(stem, suffix) + suffix);
    }
    file.path = std::move(path);
    m_playlistFiles.push_back(std::move(file));
}

CopyPlan CopyPlan::forTracks(const std::vector<TrackInfo>& tracks, const std::vector<std::int32_t>& ids, const PlanOptions& options)
{
    CopyPlan plan;
    plan.m_destination = options.destination;
    const auto index = indexById(tracks);
    for (const std::int32_t id : ids) {
        const auto found = index.find(id);
        if (found == index.end()) {
            plan.m_problems.push_back("no track with id " + std::to_string(id));
            continue;
        }
        if (plan.m_itemOfTrack.count(id))
            continue;  // named twice: copied once
        if (plan.kept(*found->second, options))
            plan.add({found->second, {}, 0}, options);
    }
    return plan;
}

CopyPlan CopyPlan::forAll(const std::vector<TrackInfo>& tracks, const std::vector<PlaylistView>& playlists, const PlanOptions& options)
{
    CopyPlan plan;
    plan.m_destination = options.destination;
    for (const TrackInfo& info : tracks)
        if (plan.kept(info, options))
            plan.add({&info, {}, 0}, options);
    if (options.playlistFiles)
        for (const PlaylistView& playlist : playlists)
            if (playlist.kind != PlaylistKind::Master)
                plan.addPlaylistFile(playlist, options);
    return plan;
}

CopyPlan CopyPlan::forPlaylists(const std::vector<TrackInfo>& tracks, const std::vector<PlaylistView>& chosen, const PlanOptions& options)
{
    CopyPlan plan;
    plan.m_destination = options.destination;
    const auto index = indexById(tracks);
    std::set<std::int32_t> planned;
    for (const PlaylistView& playlist : chosen) {
        std::int32_t position = 0;
        for (const std::int32_t id : playlist.trackIds) {
            ++position;
            const auto found = index.find(id);
            if (found == index.end() || !planned.insert(id).second || !plan.kept(*found->second, options))
                continue;
            plan.add({found->second, playlist.name, position}, options);
        }
    }
    if (options.playlistFiles)
        for (const PlaylistView& playlist : chosen)
            plan.addPlaylistFile(playlist, options);
    return plan;
}

BatchCopy CopyPlan::batch(TagMode tags, CopyTagger::CoverLookup cover) const
{
    BatchCopy copy(m_items);
    if (tags == TagMode::None)
        return copy;
    std::vector<TrackTags> values;
    values.reserve(m_itemInfos.size());
    for (const TrackInfo* info : m_itemInfos)
        values.push_back(TrackTags::of(*info));
    auto tagger = std::make_unique<CopyTagger>(tags, std::move(values));
    tagger->setCoverLookup(std::move(cover));
    copy.setFinisher(std::move(tagger));
    return copy;
}

std::string CopyPlan::playlistText(const PlaylistFile& file, const CopyResult& result) const
{
    std::string text = "#EXTM3U\n";
    for (const std::size_t item : file.entries) {
        if (item >= result.items.size())
            continue;
        const ItemResult& copied = result.items[item];
        if (copied.outcome != ItemOutcome::Copied && copied.outcome != ItemOutcome::Skipped)
            continue;  // no file to point to
        const TrackInfo& info = *m_itemInfos[item];
        const std::int64_t seconds = (static_cast<std::int64_t>(info.iTrackTimLength) + 500) / 1000;
        const std::u16string label = info.sArtist.empty() ? info.sTitle : info.sArtist + u" - " + info.sTitle;
        std::string line = sonarchive::toUtf8(label);
        std::replace(line.begin(), line.end(), '\n', ' ');
        std::replace(line.begin(), line.end(), '\r', ' ');
        text += "#EXTINF:" + std::to_string(seconds) + "," + line + "\n";
        text += copied.destination.lexically_relative(m_destination).generic_string() + "\n";
    }
    return text;
}

std::vector<std::string> CopyPlan::writePlaylistFiles(const CopyResult& result) const
{
    std::vector<std::string> failures;
    for (const PlaylistFile& file : m_playlistFiles) {
        // Written beside its place and renamed into it, so a failure leaves no half file.
        const fs::path temporary = file.path.parent_path() / ".sonarchive-playlist.partial";
        std::error_code ec;
        fs::create_directories(file.path.parent_path(), ec);
        {
            std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
            out << playlistText(file, result);
            out.close();
            if (!out) {
                fs::remove(temporary, ec);
                failures.push_back("cannot write " + file.path.string());
                continue;
            }
        }
        fs::rename(temporary, file.path, ec);
        if (ec) {
            fs::remove(temporary, ec);
            failures.push_back("cannot write " + file.path.string() + ": " + ec.message());
        }
    }
    return failures;
}

}  // namespace trackcopy
