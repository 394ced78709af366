#pragma once

#include "Export.h"

#include <string>
#include <string_view>

namespace sonarchive {

// Byte strings cross the interface as text holding one character per byte:
// byte b is the character U+00bb, and back.
SONARCHIVE_EXPORT std::u16string bytesToText(std::string_view bytes);
SONARCHIVE_EXPORT std::string textToBytes(std::u16string_view text);

// UTF-16 <-> UTF-8 for paths and terminal output; invalid input becomes U+FFFD.
SONARCHIVE_EXPORT std::string toUtf8(std::u16string_view text);
// The same, appended to `out` (no string of its own for each text).
SONARCHIVE_EXPORT void appendUtf8(std::string& out, std::u16string_view text);
SONARCHIVE_EXPORT std::u16string fromUtf8(std::string_view text);

}  // namespace sonarchive
