#include "Covers.h"

#include <CoverEncoding.h>

#include <iostream>

namespace cli {

using namespace sonarchive;

ArtworkDatabase loadCovers(const DeviceSession& session)
{
    ArtworkDatabase covers = ArtworkDatabase::load(toUtf8(session.library->iPodDriveLetter()));
    reportArtworkWarnings(covers);
    return covers;
}

void reportArtworkWarnings(ArtworkDatabase& covers)
{
    for (const ArtworkWarning& warning : covers.takeWarnings())
        std::cerr << "sonarchive: warning: " << warning.file << ": " << warning.message << '\n';
}

trackcopy::AlbumCoverResult writeAlbumCoverFiles(ArtworkDatabase& covers, const trackcopy::CopyPlan& plan,
                                                 const trackcopy::CopyResult& result, bool replace)
{
    const std::vector<trackcopy::AlbumFolder> folders = trackcopy::albumFolders(plan, result);
    if (folders.empty())
        return {};
    const trackcopy::AlbumCoverResult written =
        trackcopy::writeAlbumCovers(folders, covers, [](const Cover& cover) { return trackcopy::encodeJpeg(cover); }, replace);
    reportArtworkWarnings(covers);
    for (const std::string& failure : written.failures)
        std::cerr << "sonarchive: " << failure << '\n';
    return written;
}

}  // namespace cli
