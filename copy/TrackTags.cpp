#include "TrackTags.h"

#include <sonarchive/TrackInfo.h>
#include <sonarchive/TrackValues.h>

#include <algorithm>
#include <array>

namespace trackcopy {

std::string_view tagModeName(TagMode mode)
{
    switch (mode) {
    case TagMode::Fill: return "fill";
    case TagMode::Database: return "db";
    case TagMode::None: return "none";
    }
    return "fill";
}

std::optional<TagMode> tagModeNamed(std::string_view name)
{
    for (const TagMode mode : {TagMode::Fill, TagMode::Database, TagMode::None})
        if (tagModeName(mode) == name)
            return mode;
    return std::nullopt;
}

TrackTags TrackTags::of(const sonarchive::TrackInfo& info)
{
    const auto count = [](std::int32_t value) { return std::max<std::int32_t>(value, 0); };
    TrackTags tags;
    tags.title = info.sTitle;
    tags.artist = info.sArtist;
    tags.album = info.sAlbum;
    tags.genre = info.sGenre;
    tags.composer = info.sComposer;
    tags.comment = info.sComment;
    tags.year = sonarchive::trackYear(info);
    tags.track = count(info.iTrackNumber);
    tags.trackCount = count(info.iTrackCount);
    tags.disc = count(info.iDiscNumber);
    tags.discCount = count(info.iDiscCount);
    tags.rating = std::clamp<std::int32_t>(info.iRating, 0, 100);
    tags.playCount = count(info.iPlayCount);
    return tags;
}

std::uint64_t TrackTags::fingerprint() const
{
    std::uint64_t hash = 14695981039346656037ull;
    const auto mix = [&hash](std::uint64_t value) {
        for (int i = 0; i < 8; ++i) {
            hash ^= (value >> (8 * i)) & 0xFF;
            hash *= 1099511628211ull;
        }
    };
    for (const std::u16string* text : {&title, &artist, &album, &genre, &composer, &comment}) {
        mix(text->size());  // so that "ab" + "" and "a" + "b" differ
        for (const char16_t c : *text)
            mix(c);
    }
    for (const int number : {year, track, trackCount, disc, discCount, rating, playCount})
        mix(static_cast<std::uint64_t>(static_cast<std::uint32_t>(number)));
    return hash;
}

std::string fmpsRating(int rating)
{
    rating = std::clamp(rating, 0, 100);
    if (rating == 100)
        return "1";
    std::string text = "0." + std::string(1, static_cast<char>('0' + rating / 10));
    if (rating % 10)
        text += static_cast<char>('0' + rating % 10);
    return text;
}

int popularimeterRating(int rating)
{
    static constexpr std::array<int, 6> kScale = {0, 1, 64, 128, 196, 255};
    const int stars = (std::clamp(rating, 0, 100) + 10) / 20;
    return kScale[static_cast<std::size_t>(stars)];
}

}  // namespace trackcopy
