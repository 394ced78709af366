#pragma once

#include <string>

namespace trackcopy {

// A track title made usable as a file name: the nine characters \ / * : " < > | ?
// are removed; a name left blank becomes "iPodFile". Blanks at either end stay.
std::u16string CleanFileName(const std::u16string& name);

}  // namespace trackcopy
