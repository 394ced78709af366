#pragma once

#include "BatchCopy.h"
#include "TrackTags.h"

#include <functional>
#include <string>
#include <vector>

namespace trackcopy {

// The finishing step that writes what the database knows of each track into
// its copy (see TagWriter), with a marker that lets a later update tell the
// copy: the source's name and size, the mode, the values written and whether
// the copy holds a picture (its own or the cover put in). A copy
// that cannot be tagged (raw AAC, a damaged file) is left as on the device,
// with why.
class CopyTagger final : public CopyFinisher {
public:
    // The tags of each item of the batch, in order.
    CopyTagger(TagMode mode, std::vector<TrackTags> tags);

    // The front cover of an item (JPEG bytes), asked for only when its copy
    // has no picture of its own; empty when the track has none. Called on the
    // thread that runs the batch.
    using CoverLookup = std::function<std::string(std::size_t item)>;
    void setCoverLookup(CoverLookup lookup) { m_cover = std::move(lookup); }

    TagMode mode() const { return m_mode; }

    std::optional<std::string> finish(std::size_t item, const std::filesystem::path& source,
                                      const std::filesystem::path& temporary) override;
    // A copy carrying the marker this batch would write is current, unless it
    // holds no picture and the track now has a cover to put in; one that
    // cannot be tagged is current when it has the source's size; any other is not.
    bool isCurrentCopy(std::size_t item, const std::filesystem::path& source, std::uint64_t sourceSize,
                       const std::filesystem::path& existing) override;

    // "source ABCD.mp3, 8700 bytes; tags fill; values 0123456789abcdef"; a
    // copy that holds a picture carries it followed by kPictureMark.
    std::string markerOf(std::size_t item, const std::filesystem::path& source, std::uint64_t sourceSize) const;
    static constexpr const char* kPictureMark = "; cover";

private:
    TagMode m_mode;
    std::vector<TrackTags> m_tags;
    CoverLookup m_cover;
};

}  // namespace trackcopy
