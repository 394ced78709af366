#pragma once

#include <sonarchive/RawBytes.h>

#include <filesystem>
#include <memory>

namespace sonarchive {

// Before anything replaces the device's database, the database as it is now is
// kept beside it as "<database>.bak" (written as safely as the database), so
// every write can be undone. Nothing is written when the backup there already
// holds the same bytes, or when the database is the empty template: keeping
// that would push out the backup of a real database, as a reset followed by a
// write (a rebuild, an add) otherwise does. Returns the database read, or null
// when there is none. Throws when it can't be read or the backup can't be
// written: the write must not go on then.
std::shared_ptr<const ByteBuffer> keepDatabaseBackup(const std::filesystem::path& database,
                                                     const std::filesystem::path& templateDatabase);

// "<database>.bak".
std::filesystem::path databaseBackupPath(const std::filesystem::path& database);

}  // namespace sonarchive
