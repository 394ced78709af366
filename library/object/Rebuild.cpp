// Starting the device database afresh: reset to the empty template, or rebuild
// it from the media files already on the device.

#include "AsciiCase.h"
#include "AtomicFile.h"
#include "DatabaseBackup.h"
#include "Error.h"
#include "LibraryLocation.h"
#include "clsSonarchive.h"

#include <fstream>
#include <sstream>
#include <system_error>

namespace sonarchive {

namespace fs = std::filesystem;

namespace {

std::string readWhole(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw systemError(errno ? errno : EIO, "cannot open " + path.string());
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (in.bad())
        throw systemError(errno ? errno : EIO, "cannot read " + path.string());
    return std::move(bytes).str();
}

bool endsWithNoCase(const std::string& name, std::string_view ending)
{
    if (name.size() < ending.size())
        return false;
    for (std::size_t i = 0; i < ending.size(); ++i) {
        if (asciiLower(name[name.size() - ending.size() + i]) != ending[i])
            return false;
    }
    return true;
}

// The kind of track a file becomes in a rebuild, by its name alone; 0 skips it.
std::int32_t rebuildKind(const std::string& name, bool shuffle)
{
    for (const char* audio : {".mp3", ".wav", ".aac", ".aiff", ".aif", ".m4a", ".m4b"})
        if (endsWithNoCase(name, audio))
            return 1;
    if (endsWithNoCase(name, ".mp4") && !shuffle)
        return 2;
    return 0;
}

// Every file below `folder`: each folder's own files first, in the order the
// folder lists them, then those of its subfolders in that same order. Links to
// folders are not followed, so a loop on the device cannot trap the walk.
void listFiles(const fs::path& folder, std::vector<fs::path>& files)
{
    std::vector<fs::path> subfolders;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        if (!entry.is_symlink() && entry.is_directory())
            subfolders.push_back(entry.path());
        else if (entry.is_regular_file())
            files.push_back(entry.path());
    }
    for (const fs::path& subfolder : subfolders)
        listFiles(subfolder, files);
}

}  // namespace

fs::path clsSonarchive::templateDatabase() const
{
    return m_templateDatabase.empty() ? libraryDataFile("Sonarchive") : m_templateDatabase;
}

bool clsSonarchive::RestoreDatabaseFile()
{
    m_lastFailure = {};
    m_replacedSignatureScheme = 0;
    std::error_code ec;
    if (siPodDrive.empty() || !fs::is_directory(fs::path(toUtf8(siPodDrive)), ec)) {
        m_lastFailure = {FailureCode::NotConnected, ENOENT, "the drive " + toUtf8(siPodDrive) + " is not there"};
        return false;
    }
    const fs::path source = templateDatabase();
    if (!fs::is_regular_file(source, ec)) {
        m_lastFailure = {FailureCode::NotFound, ENOENT, "the template database " + source.string() + " is missing"};
        message(u"Sonarchive file is missing, Please reinstall the application", {}, MessageButtons::OK, MessageIcon::Critical);
        return false;
    }
    try {
        restoreTemplate();
        return fs::is_regular_file(databasePath(), ec);
    } catch (const std::exception& e) {
        m_paths.clear();
        m_lastFailure = failureOf(e);
        message(u"Error occured while copying iPod DB.\r\nError Number:" +
                    fromUtf8(std::to_string(m_lastFailure.number ? m_lastFailure.number : EIO)) + u":" +
                    fromUtf8(m_lastFailure.message),
                {}, MessageButtons::OK, MessageIcon::Critical);
        return false;
    }
}

// The template in place of the database, the folders made as needed; the
// database replaced stays recoverable beside the new one as "Sonarchive.bak".
void clsSonarchive::restoreTemplate()
{
    std::error_code ec;
    for (const std::u16string_view folder : {u"iPod_Control", u"iPod_Control/iTunes"}) {
        m_paths.clear();
        const fs::path path = devicePath(folder);
        if (!fs::is_directory(path) && !fs::create_directory(path, ec) && ec)
            throw systemError(ec.value(), "cannot make the folder " + path.string());
        if (!fs::is_directory(path))
            throw Error(FailureCode::Io, path.string() + " is not a folder", ENOTDIR);
    }
    m_paths.clear();
    const std::string bytes = readWhole(templateDatabase());
    const fs::path target = databasePath();
    std::string oldHeader;
    if (keepDatabaseBackup(target, templateDatabase(), &oldHeader))
        m_replacedSignatureScheme = signatureSchemeOf(oldHeader);
    replaceFileAtomically(target, bytes);
    m_paths.clear();
    // What the device recorded about the old track list means nothing for the new one.
    SinceLastSync notes;
    notes.load(devicePath(u"iPod_Control/iTunes"), 0);
    notes.setAside();
    m_sinceSync.clear();
}

bool clsSonarchive::ResetiPodDB()
{
    return RestoreDatabaseFile();
}

bool clsSonarchive::ReBuildDB()
{
    const auto status = [this](const std::u16string& text) {
        if (m_events)
            m_events->RebuildStatus(text);
    };
    // A cancellation left over from an earlier operation would otherwise stop
    // this rebuild before its first file and write an empty database.
    clearCancelRequest();
    if (!RestoreDatabaseFile()) {
        status(u"Rebuilding Failed.");
        return false;
    }
    status(u"Loading Current DB...");
    for (int i = 0; i < 5; ++i)
        host().pumpMessages();
    if (!LoadiPodDB())
        return false;
    try {
        if (!addEveryMediaFile())
            return false;  // the device holds the template; nothing is written
    } catch (const std::exception& e) {
        m_lastFailure = failureOf(e);
        status(u"ERROR");
        return false;
    }
    status(u"Writting DB...");
    if (!writeDatabase())
        return false;  // its message has been shown; the template stays on the device
    status(u"DONE");
    return true;
}

// Each media file below the music folder added without copying, in the order
// the folders list them, until the user cancels. False when there is none.
bool clsSonarchive::addEveryMediaFile()
{
    if (m_events)
        m_events->RebuildStatus(u"Retrieving Files...");
    for (int i = 0; i < 5; ++i)
        host().pumpMessages();
    std::vector<fs::path> files;
    const fs::path music = devicePath(u"iPod_Control/Music");
    if (fs::is_directory(music))
        listFiles(music, files);
    if (files.empty()) {
        m_lastFailure = {FailureCode::NotFound, ENOENT, "there are no media files on the iPod to rebuild from"};
        return false;
    }
    for (const fs::path& file : files) {
        if (cancelRequested())
            break;
        const std::u16string path = fromUtf8(file.string());
        if (m_events)
            m_events->RebuildStatus(u"Adding File  " + path);
        host().pumpMessages();
        host().pumpMessages();
        const std::int32_t kind = rebuildKind(file.filename().string(), m_iPodShuffle);
        if (kind == 0)
            continue;
        // Each file gets a record of its own, so nothing of the previous file's
        // analysis can stick to it. A file AddTrack rejects is left out.
        TrackInfo info;
        info.iType = kind;
        AddTrack(path, info, true, path, false, 0);
    }
    return true;
}

}  // namespace sonarchive
