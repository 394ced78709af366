#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace trackcopy {

// The longest file name the usual Linux file systems accept, in bytes of UTF-8.
inline constexpr std::size_t kMaxFileNameBytes = 255;

// `stem` cut at a character boundary so that stem + suffix fits in `limit`
// bytes of UTF-8 (suffix is the part that must stay whole, such as ".mp3").
// NUL characters, which no file name may hold, are dropped.
std::string fitStem(std::string_view stem, std::string_view suffix, std::size_t limit = kMaxFileNameBytes);

// The file name for a track: stem (already cleaned) + "." + extension, the stem
// shortened so that the name fits. The name keeps its trailing "." when there
// is no extension; the copy drops it, as the original platform did.
std::string trackFileName(const std::u16string& cleanedTitle, const std::u16string& extension);

}  // namespace trackcopy
