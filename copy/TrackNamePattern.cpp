#include "TrackNamePattern.h"

#include "Blanks.h"
#include "CleanFileName.h"
#include "FileNameFit.h"

#include <sonarchive/ByteText.h>
#include <sonarchive/TrackInfo.h>
#include <sonarchive/TrackValues.h>

#include <algorithm>

namespace trackcopy {

namespace {

bool isNumberField(const std::string& name)
{
    return name == "year" || name == "id" || name == "track" || name == "disc" || name == "index" || name == "rating" ||
           name == "plays";
}

// Characters that only separate fields: what is left beside an empty one goes with it.
bool isSeparatorOnly(const std::string& text)
{
    return !text.empty() && text.find_first_not_of(" -_.,;:~+&") == std::string::npos;
}

}  // namespace

TrackNameFields TrackNameFields::of(const sonarchive::TrackInfo& info)
{
    TrackNameFields fields;
    fields.title = info.sTitle;
    fields.artist = info.sArtist;
    fields.album = info.sAlbum;
    fields.genre = info.sGenre;
    fields.composer = info.sComposer;
    fields.type = std::u16string(info.sTrackType.rbegin(), info.sTrackType.rend());
    fields.year = sonarchive::trackYear(info);
    fields.id = info.iTrackID;
    fields.track = info.iTrackNumber;
    fields.disc = info.iDiscNumber;
    fields.rating = sonarchive::ratingStars(info.iRating);
    fields.plays = info.iPlayCount;
    return fields;
}

const std::vector<std::string>& TrackNamePattern::fieldNames()
{
    static const std::vector<std::string> names = {"title", "artist", "album",    "genre", "composer", "year",  "type",
                                                   "id",    "track",  "disc",     "rating", "plays",   "playlist", "index"};
    return names;
}

std::optional<TrackNamePattern> TrackNamePattern::parse(const std::string& pattern, std::string& error)
{
    TrackNamePattern result;
    std::size_t start = 0;
    while (start <= pattern.size()) {
        const std::size_t slash = std::min(pattern.find('/', start), pattern.size());
        const std::string element = pattern.substr(start, slash - start);
        start = slash + 1;
        if (element.empty())
            continue;
        std::vector<Part> parts;
        std::size_t pos = 0;
        while (pos < element.size()) {
            const std::size_t open = element.find('{', pos);
            const std::size_t close = open == std::string::npos ? std::string::npos : element.find('}', open);
            if (close == std::string::npos) {
                parts.push_back({false, element.substr(pos)});
                break;
            }
            if (open > pos)
                parts.push_back({false, element.substr(pos, open - pos)});
            std::string name = element.substr(open + 1, close - open - 1);
            int width = 0;
            if (const auto colon = name.find(':'); colon != std::string::npos) {
                const std::string digits = name.substr(colon + 1);
                name.resize(colon);
                if (!isNumberField(name) || digits.empty() || digits.size() > 2 ||
                    digits.find_first_not_of("0123456789") != std::string::npos) {
                    error = "{" + element.substr(open + 1, close - open - 1) +
                            "}: only a number field takes a width, such as {track:02}";
                    return std::nullopt;
                }
                width = std::stoi(digits);
            }
            const auto& names = fieldNames();
            if (std::find(names.begin(), names.end(), name) == names.end()) {
                error = "unknown field {" + name + "} in the name pattern";
                return std::nullopt;
            }
            parts.push_back({true, name, width});
            pos = close + 1;
        }
        result.m_elements.push_back(std::move(parts));
    }
    if (result.m_elements.empty()) {
        error = "the name pattern is empty";
        return std::nullopt;
    }
    return result;
}

bool TrackNamePattern::usesPlaylist() const
{
    for (const auto& element : m_elements)
        for (const Part& part : element)
            if (part.isField && (part.text == "playlist" || part.text == "index"))
                return true;
    return false;
}

std::u16string TrackNamePattern::fieldValue(const Part& part, const TrackNameFields& fields)
{
    // Unknown years, tracks and discs are 0 and read as nothing; no stars or plays is a value.
    const auto number = [&](std::int32_t value, bool zeroIsAValue = false) -> std::u16string {
        if (value < 0 || (value == 0 && !zeroIsAValue))
            return {};
        std::string digits = std::to_string(value);
        if (static_cast<int>(digits.size()) < part.width)
            digits.insert(0, static_cast<std::size_t>(part.width) - digits.size(), '0');
        return std::u16string(digits.begin(), digits.end());
    };
    const std::string& name = part.text;
    if (name == "title") return fields.title;
    if (name == "artist") return fields.artist;
    if (name == "album") return fields.album;
    if (name == "genre") return fields.genre;
    if (name == "composer") return fields.composer;
    if (name == "type") return fields.type;
    if (name == "playlist") return fields.playlist;
    if (name == "year") return number(fields.year);
    if (name == "id") return number(fields.id);
    if (name == "track") return number(fields.track);
    if (name == "disc") return number(fields.disc);
    if (name == "rating") return number(fields.rating, true);
    if (name == "plays") return number(fields.plays, true);
    return number(fields.index);
}

std::string TrackNamePattern::elementText(const std::vector<Part>& parts, const TrackNameFields& fields, bool last)
{
    // Each part's text; an empty field is "Unknown" in a folder and nothing in the file name.
    std::vector<std::string> texts;
    std::vector<bool> leftOut;
    for (const Part& part : parts) {
        std::string text = part.text;
        bool empty = false;
        if (part.isField) {
            const std::u16string v = fieldValue(part, fields);
            empty = v.empty();
            text = empty ? (last ? std::string() : std::string("Unknown")) : sonarchive::toUtf8(CleanFileName(v));
        }
        texts.push_back(std::move(text));
        leftOut.push_back(empty && last);
    }
    // In the file name a left-out field takes the separator before it, or, when
    // it comes first, the one after it.
    for (std::size_t k = 0; k < texts.size(); ++k) {
        if (!leftOut[k])
            continue;
        if (k > 0 && !parts[k - 1].isField && isSeparatorOnly(texts[k - 1]))
            texts[k - 1].clear();
        else if (k + 1 < texts.size() && !parts[k + 1].isField && isSeparatorOnly(texts[k + 1]))
            texts[k + 1].clear();
    }
    std::string element;
    for (const std::string& text : texts)
        element += text;
    // What the separators leave at either end of the name.
    return last ? sonarchive::trimmedBlanks(element) : element;
}

std::filesystem::path TrackNamePattern::path(const TrackNameFields& fields, const std::u16string& extension) const
{
    std::filesystem::path result;
    for (std::size_t i = 0; i < m_elements.size(); ++i) {
        const bool last = i + 1 == m_elements.size();
        std::string element = elementText(m_elements[i], fields, last);
        // Nothing left, or "." and ".." (they would lead out of the destination folder).
        if (element.find_first_not_of('.') == std::string::npos)
            element = "iPodFile";
        if (!last) {
            result /= fitStem(element, "");
            continue;
        }
        std::string suffix = ".";
        suffix += fitStem(sonarchive::toUtf8(extension), "", kMaxFileNameBytes - 1);
        result /= fitStem(element, extension.empty() ? std::string() : suffix) + suffix;
    }
    return result;
}

}  // namespace trackcopy
