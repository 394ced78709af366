#pragma once

#include "TrackTags.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>

namespace trackcopy {

// The kinds of file a copy's tags can go into, told by the device file's extension.
enum class TagKind {
    None,  // nothing can be written into it (raw AAC, an unknown kind)
    Mpeg,  // MP3: an ID3v2 tag
    Mp4,   // M4A, M4B, M4P, MP4, M4V, MOV: the standard atoms and freeform ones
    Wav,   // an ID3v2 chunk
    Aiff,  // an ID3v2 chunk
};
TagKind tagKindOf(const std::filesystem::path& file);

// What became of one file.
struct TagWriteResult {
    enum class Outcome {
        Written,    // the tags are in the file
        Unchanged,  // it could not be tagged and is as it was; `reason` says why
        Damaged,    // the save gave up half way: the file must be made again
    };
    Outcome outcome = Outcome::Unchanged;
    std::string reason;
};

// Writes what the database knows of one track into a file, saving it once; the
// audio and video data are not touched. Common fields go through the tag's
// property map: title, artist, album, genre, composer, comment, year, track and
// disc numbers with their counts. Then the rating and play count: in ID3v2
// `TXXX` frames FMPS_Rating and FMPS_Playcount and a `POPM` frame; in MP4 the
// freeform atoms ----:com.apple.iTunes:FMPS_Rating and FMPS_Playcount. With a
// marker (below) the file says which copy it is; with a cover source, a file
// without a picture gets the front cover (ID3v2 `APIC`, MP4 `covr`).
class TagWriter {
public:
    // The picture's bytes (JPEG or PNG); empty when the track has none. Asked
    // only for a file without a picture of its own.
    using CoverSource = std::function<std::string()>;

    // The ID3v2 description and MP4 freeform name of the marker a copy carries.
    static constexpr const char* kMarkerName = "SONARCHIVE_COPY";
    // The owner named in the POPM frame: the frame of its 0-255 scale.
    static constexpr const char* kPopularimeterEmail = "Windows Media Player 9 Series";

    TagWriter(TrackTags tags, TagMode mode) : m_tags(std::move(tags)), m_mode(mode) {}
    // The marker the file carries, followed by `withPicture` when the file
    // holds a picture once tagged (its own or the cover put in).
    void setMarker(std::string marker, std::string withPicture = {})
    {
        m_marker = std::move(marker);
        m_pictureMark = std::move(withPicture);
    }
    void setCover(CoverSource cover) { m_cover = std::move(cover); }

    // Throws std::system_error when writing the file failed (a full disk); the
    // file is damaged then.
    TagWriteResult write(const std::filesystem::path& file, TagKind kind) const;

    // The marker a file carries: "" when none, nothing when the file cannot be
    // read as `kind`.
    static std::optional<std::string> marker(const std::filesystem::path& file, TagKind kind);

private:
    TrackTags m_tags;
    TagMode m_mode;
    std::string m_marker;
    std::string m_pictureMark;
    CoverSource m_cover;
};

}  // namespace trackcopy
