#include "ProgramFiles.h"

#include <QDir>
#include <QFileInfo>

// Where the install puts the program's data, relative to the program's folder;
// the build sets it from the install folders.
#ifndef TRACKLIFT_DATA_FROM_PROGRAM
#define TRACKLIFT_DATA_FROM_PROGRAM "../share/tracklift"
#endif

namespace tracklift {

QString findProgramFile(const QString& programFolder, const QString& name)
{
    const QDir folder(programFolder);
    for (const QString& path : {folder.filePath(name), folder.filePath(QStringLiteral(TRACKLIFT_DATA_FROM_PROGRAM "/") + name)}) {
        if (QFileInfo(path).isFile())
            return QDir::cleanPath(path);
    }
    return {};
}

}  // namespace tracklift
