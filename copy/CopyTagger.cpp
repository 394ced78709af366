#include "CopyTagger.h"

#include "TagWriter.h"

#include <cstdio>

namespace fs = std::filesystem;

namespace trackcopy {

CopyTagger::CopyTagger(TagMode mode, std::vector<TrackTags> tags) : m_mode(mode), m_tags(std::move(tags)) {}

std::string CopyTagger::markerOf(std::size_t item, const fs::path& source, std::uint64_t sourceSize) const
{
    char values[17];
    std::snprintf(values, sizeof values, "%016llx", static_cast<unsigned long long>(m_tags.at(item).fingerprint()));
    return "source " + source.filename().string() + ", " + std::to_string(sourceSize) + " bytes; tags " +
           std::string(tagModeName(m_mode)) + "; values " + values;
}

std::optional<std::string> CopyTagger::finish(std::size_t item, const fs::path& source, const fs::path& temporary)
{
    const TagKind kind = tagKindOf(source);
    if (kind == TagKind::None) {
        const std::string extension = source.extension().string();
        return extension.empty() ? "no tags can be written into a file without an extension"
                                 : "no tags can be written into a " + extension + " file";
    }
    TagWriter writer(m_tags.at(item), m_mode);
    writer.setMarker(markerOf(item, source, fs::file_size(temporary)), kPictureMark);
    if (m_cover)
        writer.setCover([this, item] { return m_cover(item); });
    const TagWriteResult result = writer.write(temporary, kind);
    switch (result.outcome) {
    case TagWriteResult::Outcome::Written: return std::nullopt;
    case TagWriteResult::Outcome::Unchanged: return result.reason;
    case TagWriteResult::Outcome::Damaged: throw CopySpoiled(result.reason);
    }
    return std::nullopt;
}

bool CopyTagger::isCurrentCopy(std::size_t item, const fs::path& source, std::uint64_t sourceSize, const fs::path& existing)
{
    const TagKind kind = tagKindOf(source);
    const std::optional<std::string> marker = kind == TagKind::None ? std::nullopt : TagWriter::marker(existing, kind);
    if (!marker) {  // a kind that takes no tags: copied as it is
        std::error_code ec;
        const auto size = fs::file_size(existing, ec);
        return !ec && size == sourceSize;
    }
    const std::string expected = markerOf(item, source, sourceSize);
    if (*marker == expected + kPictureMark)
        return true;
    // A copy without a picture (as all copies were marked before pictures
    // were) is made again once the track has a cover to put in.
    return *marker == expected && !(m_cover && !m_cover(item).empty());
}

}  // namespace trackcopy
