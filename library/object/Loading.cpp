// Loading the device database: the file read and indexed by the codec, what the
// device recorded since its last sync read beside it, and, when the file is
// missing or damaged, the questions whether to rebuild or reset it (one the
// disk cannot read is only reported).

#include "DatabaseFile.h"
#include "Error.h"
#include "clsSonarchive.h"

namespace sonarchive {

namespace fs = std::filesystem;

bool clsSonarchive::LoadiPodDB()
{
    m_paths.clear();
    tracksChanged();
    m_databaseLoaded = false;
    m_loadedImage.reset();
    m_index.reset();
    m_readable.reset();
    m_lastFailure = {};
    m_sinceSync.clear();
    try {
        loadOrFail();
        return true;
    } catch (const std::exception& e) {
        m_lastFailure = failureOf(e);
    }
    tracksChanged();
    // A file the disk could not read is not a damaged one; format failures and
    // lack of memory are "other" failures.
    return recoverFromLoadFailure(m_lastFailure.code == FailureCode::NotConnected ? LoadFailure::PathNotFound
                                  : m_lastFailure.code == FailureCode::NotFound   ? LoadFailure::FileNotFound
                                  : m_lastFailure.code == FailureCode::Unreadable ? LoadFailure::Unreadable
                                                                                  : LoadFailure::Other);
}

void clsSonarchive::loadOrFail()
{
    std::error_code ec;
    if (siPodDrive.empty() || !fs::is_directory(fs::path(toUtf8(siPodDrive)), ec))
        throw Error(FailureCode::NotConnected, "the drive " + toUtf8(siPodDrive) + " is not there", ENOENT);
    if (!deviceFolderExists(devicePath(u"iPod_Control/iTunes")))
        throw Error(FailureCode::NotFound, "the drive has no iPod_Control/iTunes folder", ENOENT);

    const auto file = readDatabaseFile(databasePath());
    auto index = std::make_unique<DatabaseIndex>();
    try {
        indexDatabase(file, m_db, *index);
    } catch (const std::exception&) {
        // The records hold what could be decoded before the damage, as a full decode leaves them.
        iFilePos = 1;
        try {
            decodeDatabase(file, m_db);
        } catch (const std::exception&) {
            // what it reached is what the records hold
        }
        throw;
    }
    iFilePos = static_cast<std::int32_t>(m_db.end + 1);
    iDeletedTracks = 0;
    tracksChanged();
    m_index = std::move(index);
    m_loadedImage = file;
    m_databaseLoaded = true;
    m_sinceSync.load(devicePath(u"iPod_Control/iTunes"), trackCount());
}

bool clsSonarchive::decodeImage(const std::shared_ptr<const ByteBuffer>& image, bool indexOnly)
{
    tracksChanged();
    m_sinceSync.clear();
    m_readable.reset();
    try {
        iFilePos = 1;
        m_databaseLoaded = false;
        m_index.reset();
        auto index = indexOnly ? std::make_unique<DatabaseIndex>() : nullptr;
        if (index)
            indexDatabase(image, m_db, *index);
        else
            decodeDatabase(image, m_db);
        iFilePos = static_cast<std::int32_t>(m_db.end + 1);
        tracksChanged();
        m_index = std::move(index);
        m_loadedImage = image;
        m_databaseLoaded = true;
        return true;
    } catch (const std::exception& e) {
        m_lastFailure = failureOf(e);
        tracksChanged();
        return false;
    }
}

bool clsSonarchive::recoverFromLoadFailure(LoadFailure failure)
{
    const std::u16string title = u"iPod DB is Corrupted";
    const std::u16string resetQuestion = u"Do you want to reset the iPod DB?\r\nClick Yes to load an empty DB.";
    std::error_code ec;
    const bool musicFolder = fs::is_directory(devicePath(u"iPod_Control/Music"), ec);
    const auto ask = [&](const std::u16string& prompt) {
        return message(prompt, title, MessageButtons::YesNo, MessageIcon::Exclamation) == MessageResult::Yes;
    };

    switch (failure) {
    case LoadFailure::Unreadable:
        // A repair would replace a database that may be intact and read on the next try.
        message(u"The iPod's disk could not read its database, so nothing was loaded and nothing was changed (" +
                    fromUtf8(m_lastFailure.message) + u").",
                u"iPod Disk Error", MessageButtons::OK, MessageIcon::Critical);
        return false;
    case LoadFailure::PathNotFound:
        message(u"iPod is Not Connected or Not set as disk use", u"iPod is Not connected", MessageButtons::OK,
                MessageIcon::Exclamation);
        return false;
    case LoadFailure::FileNotFound:
        if (musicFolder) {
            if (ask(u"iPod DB is not found, Do you want to rebuild the DB(Using all existing Audio/Video files in the iPod)?"))
                return ReBuildDB();
            return ask(u"iPod DB is Corrupted,Do you want to reset the iPod DB?\r\nClick Yes to load an empty DB.") && resetThenLoad();
        }
        return ask(u"The specified drive is either not the iPod Drive or corrupted iPod drive.\r\n" + resetQuestion) &&
               resetThenLoad();
    case LoadFailure::Other:
        if (musicFolder) {
            if (ask(u"iPod DB is corrupted, Do you want to rebuild the DB(Using all existing Audio files in the iPod)?"))
                return ReBuildDB();
            return ask(resetQuestion) && resetThenLoad();
        }
        return ask(resetQuestion) && resetThenLoad();
    }
    return false;
}

bool clsSonarchive::resetThenLoad()
{
    return RestoreDatabaseFile() && LoadiPodDB();
}

}  // namespace sonarchive
