#pragma once

#include <filesystem>
#include <string>

namespace sonarchive {

// Before anything replaces the device's database, the database as it is now is
// kept beside it as "<database>.bak" (written as safely as the database), so
// every write can be undone. Nothing is written when the backup there already
// holds the same bytes, or when the database is the empty template: keeping
// that would push out the backup of a real database, as a reset followed by a
// write (a rebuild, an add) otherwise does. The files are compared and copied
// a chunk at a time, with the retries of a failing disk. False when there is no
// database; `head` then stays empty, else it receives the database's first
// bytes (its header). Throws when the database can't be read or the backup
// can't be written: the write must not go on then.
bool keepDatabaseBackup(const std::filesystem::path& database, const std::filesystem::path& templateDatabase,
                        std::string* head = nullptr);

}  // namespace sonarchive
