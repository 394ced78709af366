#pragma once

#include <sonarchive/Export.h>
#include "TrackInfo.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace sonarchive {

// Values of a track as a person reads them, from the raw fields the records
// and TrackInfo hold.

// The year held in the four bytes of a track's year field: the little-endian
// integer when it is 1 to 9999 (how devices and other software keep it);
// otherwise the leading ASCII digits when only zero bytes follow them (how this
// library kept it once); otherwise 0, no year.
SONARCHIVE_EXPORT int trackYear(std::string_view yearBytes);
// The same for TrackInfo.sYear: the four bytes GetTrackInfo hands out, or a
// year a client has set as text.
SONARCHIVE_EXPORT int trackYear(const TrackInfo& info);

// The four bytes the library stores for a year given as text: a year in
// digits ("1999", or the year of a date such as "1999-05-01") as the integer
// (CF 07 00 00); four bytes that are not digit text, such as the sYear that
// GetTrackInfo hands out, as they are; anything else, no year (zero bytes).
SONARCHIVE_EXPORT std::string yearField(std::u16string_view year);

// The device's clock: seconds since 1904-01-01, unsigned 32-bit, 0 for "never".
// As Unix seconds (0 stays 0), and back (a time before 1904 or past 2040 is 0).
SONARCHIVE_EXPORT std::int64_t unixTimeOf(std::uint32_t deviceTime);
SONARCHIVE_EXPORT std::uint32_t deviceTimeOf(std::int64_t unixTime);
// The same for a time stamp held as its four bytes, little-endian.
SONARCHIVE_EXPORT std::int64_t unixTimeOf(std::string_view fourBytes);

// Stars (0-5) of a rating of 0-100 (20 per star), rounded down.
inline int ratingStars(std::int32_t rating) { return rating <= 0 ? 0 : rating >= 100 ? 5 : rating / 20; }

// The media file's size: the 32-bit field is unsigned, so a file of 2 to 4 GiB
// is not negative.
inline std::uint32_t trackFileSize(const TrackInfo& info) { return static_cast<std::uint32_t>(info.iFileSize); }

// Files the 32-bit size field can describe: less than 4 GiB.
inline constexpr std::uint64_t kLargestTrackFile = 0xFFFFFFFFull;

}  // namespace sonarchive
