#pragma once

#include <QString>

#include <cstdint>

namespace tracklift {

// "512 Bytes", "1.5 KB", "3 MB", "1 GB": two decimals at most, halves to even,
// the user's decimal separator, no trailing zeros.
QString FormatFileSize(std::int64_t bytes);

// "3:05" from 185,999 ms: whole minutes, then seconds as two digits.
QString FormatTrackLength(std::int32_t milliseconds);
// A rating of 0-100 as stars, "★★★★☆" for 80; empty for an unrated track.
QString FormatRating(std::int32_t rating);
// A moment (Unix seconds) in local time, "1 Mar 2024, 13:00"; empty for 0.
QString FormatMoment(std::int64_t unixSeconds);

// numerator / denominator rounded to `decimals` places, halves to even, written
// in its shortest form with the user's decimal separator ("12.5", "3", "0").
QString formatRatio(std::int64_t numerator, std::int64_t denominator, int decimals);

}  // namespace tracklift
