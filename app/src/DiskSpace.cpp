#include "DiskSpace.h"

#include <QFile>

#include <sys/statvfs.h>

namespace tracklift {

VolumeFigures queryVolume(const QString& root)
{
    struct statvfs figures {};
    if (root.isEmpty() || ::statvfs(QFile::encodeName(root).constData(), &figures) != 0)
        return {};
    // Free space as the user may use it (the blocks kept back for the system excluded).
    return {static_cast<std::uint64_t>(figures.f_blocks) * figures.f_frsize,
            static_cast<std::uint64_t>(figures.f_bavail) * figures.f_frsize};
}

}  // namespace tracklift
