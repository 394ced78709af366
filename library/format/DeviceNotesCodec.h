#pragma once

#include <sonarchive/DeviceNotes.h>

#include <string_view>

namespace sonarchive {

// Decoders of the files beside the database in which the device notes what was
// played since the last sync. A damaged file throws FormatError at the byte
// where it stops making sense.
PlayCountsFile decodePlayCounts(std::string_view bytes);
OnTheGoFile decodeOnTheGo(std::string_view bytes);

}  // namespace sonarchive
