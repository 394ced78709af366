#pragma once

#include "CliContext.h"

#include <AlbumCovers.h>

#include <sonarchive/Artwork.h>

namespace cli {

// The covers of the loaded device, from its artwork database. What was left
// out is reported on stderr as it is found, one line for each file.
sonarchive::ArtworkDatabase loadCovers(const DeviceSession& session);

// "sonarchive: warning: <file>: <what>" for each warning gathered since the last report.
void reportArtworkWarnings(sonarchive::ArtworkDatabase& covers);

// cover.jpg into each folder of a finished copy that holds the tracks of one
// album (copy --covers); one there already is replaced only when `replace`.
// Failures go to stderr.
trackcopy::AlbumCoverResult writeAlbumCoverFiles(sonarchive::ArtworkDatabase& covers, const trackcopy::CopyPlan& plan,
                                                 const trackcopy::CopyResult& result, bool replace);

}  // namespace cli
