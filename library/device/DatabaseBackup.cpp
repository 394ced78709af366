#include "DatabaseBackup.h"

#include "AtomicFile.h"
#include "DatabaseFile.h"
#include "Error.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <system_error>

namespace sonarchive {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kChunk = 1u << 20;

// `count` bytes at `offset`, all of them: the file must not end before.
void readOrFail(DeviceFile& file, char* buffer, std::size_t count, std::uint64_t offset, const fs::path& path)
{
    if (!file.readExactly(buffer, count, offset))
        throw Error(FailureCode::Unreadable, path.string() + " became shorter while it was read", EIO);
}

// Whether `other` holds exactly the bytes of the database; false when it is
// missing or can't be read (it is only compared with), a throw when the
// database can't be read.
bool sameBytes(DeviceFile& database, const fs::path& path, const fs::path& other)
{
    std::optional<DeviceFile> compared;
    try {
        compared.emplace(other);
    } catch (const Error&) {
        return false;
    }
    if (compared->size() != database.size())
        return false;
    const auto mine = std::make_unique_for_overwrite<char[]>(kChunk);
    const auto theirs = std::make_unique_for_overwrite<char[]>(kChunk);
    for (std::uint64_t done = 0; done < database.size();) {
        const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, database.size() - done));
        readOrFail(database, mine.get(), count, done, path);
        try {
            readOrFail(*compared, theirs.get(), count, done, other);
        } catch (const Error&) {
            return false;
        }
        if (std::memcmp(mine.get(), theirs.get(), count) != 0)
            return false;
        done += count;
    }
    return true;
}

}  // namespace

bool keepDatabaseBackup(const fs::path& database, const fs::path& templateDatabase, std::string* head)
{
    std::error_code ec;
    if (!fs::is_regular_file(database, ec))
        return false;
    DeviceFile file(database);
    if (head) {
        head->resize(static_cast<std::size_t>(std::min<std::uint64_t>(file.size(), 4096)));
        readOrFail(file, head->data(), head->size(), 0, database);
    }
    fs::path backup = database;
    backup += ".bak";
    if (sameBytes(file, database, backup) || (!templateDatabase.empty() && sameBytes(file, database, templateDatabase)))
        return true;
    replaceFileAtomically(backup, [&](int fd, const std::string& name) {
        const auto chunk = std::make_unique_for_overwrite<char[]>(kChunk);
        for (std::uint64_t done = 0; done < file.size();) {
            const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, file.size() - done));
            readOrFail(file, chunk.get(), count, done, database);
            writeAll(fd, std::string_view(chunk.get(), count), name);
            done += count;
        }
    });
    return true;
}

}  // namespace sonarchive
