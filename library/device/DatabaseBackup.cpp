#include "DatabaseBackup.h"

#include "AtomicFile.h"
#include "DatabaseFile.h"
#include "Error.h"

#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <system_error>

namespace sonarchive {

namespace fs = std::filesystem;

namespace {

// The file's bytes, or none when it can't be read: only compared with.
std::optional<std::string> bytesOf(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string bytes{std::istreambuf_iterator<char>(in), {}};
    if (in.bad())
        return std::nullopt;
    return bytes;
}

}  // namespace

fs::path databaseBackupPath(const fs::path& database)
{
    fs::path backup = database;
    backup += ".bak";
    return backup;
}

std::shared_ptr<const ByteBuffer> keepDatabaseBackup(const fs::path& database, const fs::path& templateDatabase)
{
    std::error_code ec;
    if (!fs::is_regular_file(database, ec))
        return nullptr;
    const auto current = readDatabaseFile(database);
    const std::string_view bytes = current->view();
    const fs::path backup = databaseBackupPath(database);
    if (bytesOf(backup) == bytes)
        return current;
    if (!templateDatabase.empty() && bytesOf(templateDatabase) == bytes)
        return current;
    replaceFileAtomically(backup, bytes);
    return current;
}

}  // namespace sonarchive
