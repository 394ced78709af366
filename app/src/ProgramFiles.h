#pragma once

#include <QString>

namespace tracklift {

// A file the program ships with, such as the user guide: beside the program in
// the build tree, else in the program's data folder of the prefix it is
// installed under (<prefix>/share/tracklift for <prefix>/bin). Empty when
// neither holds it.
QString findProgramFile(const QString& programFolder, const QString& name);

}  // namespace tracklift
