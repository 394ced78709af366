#pragma once

#include <TrackNamePattern.h>
#include <TrackTags.h>

#include <QString>

#include <optional>
#include <vector>

namespace tracklift {

class CRegister;

// How the ticked tracks are named and copied, as the copy options dialog sets
// them and the settings store keeps them between runs.
struct CopyOptions {
    QString pattern = titlePattern();  // a name pattern; the title alone is today's flat copy
    bool skipSameSize = false;         // leave a copy of the same size as it is
    bool playlistFile = true;          // with a playlist shown: write DEST/<playlist>.m3u8
    bool saveCovers = false;           // cover.jpg into each folder that holds one album's tracks
    bool embedCovers = true;           // a copy with tags and no picture of its own gets its album's cover
    trackcopy::TagMode tags = trackcopy::TagMode::Fill;  // what the copies carry of the database

    // The three choices of what the copies carry, as the dialog offers them.
    struct TagChoice {
        trackcopy::TagMode mode;
        QString caption;
    };
    static const std::vector<TagChoice>& tagChoices();

    // The pattern that names a file by its title alone, in one folder.
    static QString titlePattern() { return QStringLiteral("{title}"); }

    struct Preset {
        QString caption;
        QString pattern;
    };
    static const std::vector<Preset>& presets();

    // The parsed pattern; none for the title alone (the plain copy) or when it
    // does not parse, `error` then saying why.
    std::optional<trackcopy::TrackNamePattern> parsedPattern(QString* error = nullptr) const;
    bool patternIsValid() const;

    static CopyOptions load(const CRegister& store);
    void save(const CRegister& store) const;

    friend bool operator==(const CopyOptions&, const CopyOptions&) = default;
};

}  // namespace tracklift
