#pragma once

#include <sonarchive/DeviceNotes.h>

#include <cstdint>
#include <string_view>

namespace sonarchive {

// Decoders of the files beside the database in which the device notes what was
// played since the last sync. A damaged file throws FormatError at the byte
// where it stops making sense. Of "Play Counts" only the first `keepAtMost`
// entries are kept (those of the tracks there are); the count stays the file's.
PlayCountsFile decodePlayCounts(std::string_view bytes, std::size_t keepAtMost = SIZE_MAX);
OnTheGoFile decodeOnTheGo(std::string_view bytes);

}  // namespace sonarchive
