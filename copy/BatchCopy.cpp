#include "BatchCopy.h"

#include "FileNameFit.h"

#include "FileCopy.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace trackcopy {

static_assert(BatchCopy::kChunkBytes == sonarchive::kFileCopyChunk);

namespace {

using Step = sonarchive::FileCopyError::Step;

std::string systemWords(int error)
{
    return std::strerror(error);
}

// A copy whose size differs from its source's.
class SizeMismatch : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The written copy against the source as it is now, before the copy gets its name.
void verifySize(int fd, const fs::path& source)
{
    struct stat copy {}, original {};
    if (::fstat(fd, &copy) != 0)
        throw sonarchive::FileCopyError(Step::WriteCopy, sonarchive::Error(sonarchive::FailureCode::Io, "cannot check the copy", errno));
    if (::stat(source.c_str(), &original) != 0)
        throw sonarchive::FileCopyError(Step::OpenSource, sonarchive::Error(sonarchive::FailureCode::Io, "cannot check the file", errno));
    if (copy.st_size != original.st_size)
        throw SizeMismatch("the copy has " + std::to_string(copy.st_size) + " bytes where the file has " +
                           std::to_string(original.st_size));
}

}  // namespace

std::string CopyFailure::describe() const
{
    const std::string source = item.source.string();
    if (item.name.empty())
        return source + ": " + reason;
    return item.name + " (" + source + "): " + reason;
}

std::size_t CopyResult::countOf(ItemOutcome outcome) const
{
    return static_cast<std::size_t>(std::count_if(items.begin(), items.end(), [&](const ItemResult& r) { return r.outcome == outcome; }));
}

BatchCopy::BatchCopy(std::vector<CopyItem> items, CopySettings settings) : m_items(std::move(items)), m_settings(std::move(settings)) {}

fs::path BatchCopy::normalisedDestination(const fs::path& destination)
{
    std::string name = destination.filename().string();
    while (!name.empty() && name.back() == '.')
        name.pop_back();
    if (name.empty())
        name = "iPodFile";
    return destination.parent_path() / name;
}

fs::path BatchCopy::keepBothName(const fs::path& destination)
{
    const std::string stem = destination.stem().string();
    const std::string extension = destination.extension().string();
    std::error_code ec;
    fs::path candidate;
    for (unsigned n = 2; n < 100000; ++n) {
        const std::string suffix = " (" + std::to_string(n) + ")" + extension;
        candidate = destination.parent_path() / (fitStem(stem, suffix) + suffix);
        if (!fs::exists(fs::symlink_status(candidate, ec)))
            break;
    }
    return candidate;
}

bool BatchCopy::deviceGone(int error) const
{
    if (sonarchive::isDeviceGoneError(error))
        return true;
    if (m_settings.deviceRoot.empty())
        return false;
    struct stat now {};
    if (::stat(m_settings.deviceRoot.c_str(), &now) != 0)
        return true;  // the device's own folder can't be read: unplugged, not one bad file
    return m_deviceKnown && now.st_dev != m_deviceId;  // unmounted: the folder is the one beneath
}

BatchCopy::FileOutcome BatchCopy::classify(const std::exception& error, CopyFailure& failure) const
{
    const auto* copyError = dynamic_cast<const sonarchive::FileCopyError*>(&error);
    if (!copyError) {
        failure.kind = FailureKind::Other;
        failure.reason = dynamic_cast<const SizeMismatch*>(&error) ? "the copy was not complete: " + std::string(error.what())
                                                                   : error.what();
        return FileOutcome::Failed;
    }
    const int number = copyError->number();
    if (copyError->step() != Step::WriteCopy && deviceGone(number))
        return FileOutcome::Disconnected;
    const std::string words = " (" + systemWords(number ? number : EIO) + ")";
    switch (copyError->step()) {
    case Step::OpenSource:
        if (number == ENOENT || number == ENOTDIR) {
            failure.kind = FailureKind::Missing;
            failure.reason = "the file is missing from the iPod" + words;
            return FileOutcome::Failed;
        }
        [[fallthrough]];
    case Step::ReadSource:
        failure.kind = FailureKind::Unreadable;
        failure.reason = "the iPod's disk could not read this file" + words;
        return FileOutcome::Failed;
    case Step::WriteCopy:
        break;
    }
    failure.kind = FailureKind::Destination;
    if (number == ENOSPC || number == EDQUOT)
        failure.reason = "there is no room left for the copy at " + failure.item.destination.string() + words;
    else if (number == EROFS)
        failure.reason = "the destination folder is read-only" + words;
    else
        failure.reason = "the copy could not be written to " + failure.item.destination.string() + words;
    return FileOutcome::Failed;
}

CopyResult BatchCopy::run(CopyObserver& observer, const std::atomic<bool>& cancel)
{
    CopyResult result;
    result.items.resize(m_items.size());
    CopyProgress progress;
    progress.fileCount = m_items.size();
    std::vector<std::uint64_t> sizes;
    sizes.reserve(m_items.size());
    for (const CopyItem& item : m_items) {
        std::error_code ec;
        const auto size = fs::file_size(item.source, ec);
        sizes.push_back(ec ? 0 : size);
        progress.totalBytes += sizes.back();
    }
    struct stat root {};
    m_deviceKnown = !m_settings.deviceRoot.empty() && ::stat(m_settings.deviceRoot.c_str(), &root) == 0;
    m_deviceId = m_deviceKnown ? root.st_dev : 0;

    bool replaceAll = false;
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        progress.fileIndex = i;
        progress.fileBytes = sizes[i];
        progress.fileBytesDone = 0;
        const std::uint64_t bytesBefore = progress.bytesDone;
        const auto stop = [&](bool disconnected) {
            result.cancelled = !disconnected;
            result.disconnected = disconnected;
            if (!disconnected)
                result.skipped += m_items.size() - i;
        };
        if (cancel.load()) {
            stop(false);
            break;
        }
        ItemResult& itemResult = result.items[i];
        itemResult.destination = normalisedDestination(m_items[i].destination);
        progress.current = itemResult.destination;
        observer.progress(progress);

        const FileOutcome outcome = copyItem(i, sizes[i], replaceAll, progress, observer, cancel, result);
        if (outcome == FileOutcome::Cancelled || outcome == FileOutcome::Disconnected) {
            stop(outcome == FileOutcome::Disconnected);
            break;
        }
        progress.bytesDone = bytesBefore + sizes[i];
    }
    return result;
}

BatchCopy::FileOutcome BatchCopy::copyItem(std::size_t i, std::uint64_t size, bool& replaceAll, CopyProgress& progress,
                                           CopyObserver& observer, const std::atomic<bool>& cancel, CopyResult& result)
{
    const CopyItem& item = m_items[i];
    ItemResult& itemResult = result.items[i];
    fs::path destination = itemResult.destination;
    std::error_code ec;
    const bool exists = fs::exists(fs::symlink_status(destination, ec));
    if (exists && m_settings.skipSameSize) {
        const auto existing = fs::file_size(destination, ec);
        if (!ec && existing == size) {
            ++result.skipped;
            itemResult.outcome = ItemOutcome::Skipped;
            return FileOutcome::Skipped;
        }
    }
    if (exists && !replaceAll) {
        const ReplaceAnswer answer = observer.askReplace(destination);
        if (answer == ReplaceAnswer::Cancel)
            return FileOutcome::Cancelled;
        if (answer == ReplaceAnswer::No) {
            ++result.skipped;
            itemResult.outcome = ItemOutcome::Skipped;
            return FileOutcome::Skipped;
        }
        replaceAll = answer == ReplaceAnswer::YesToAll;
        if (answer == ReplaceAnswer::KeepBoth)
            destination = keepBothName(destination);
        progress.current = destination;
        itemResult.destination = destination;
    }

    CopyFailure failure{{item.source, destination, item.name}, {}, FailureKind::Destination};
    FileOutcome outcome = FileOutcome::Failed;
    fs::create_directories(destination.parent_path(), ec);
    if (ec)
        failure.reason = "the folder " + destination.parent_path().string() + " could not be made (" + ec.message() + ")";
    else
        outcome = copyOne(item, destination, progress, observer, cancel, failure);

    if (outcome == FileOutcome::Copied) {
        ++result.copied;
        itemResult.outcome = ItemOutcome::Copied;
    } else if (outcome == FileOutcome::Failed) {
        itemResult.outcome = ItemOutcome::Failed;
        observer.failed(failure);
        result.failures.push_back(std::move(failure));
    }
    return outcome;
}

BatchCopy::FileOutcome BatchCopy::copyOne(const CopyItem& item, const fs::path& destination, CopyProgress& progress,
                                          CopyObserver& observer, const std::atomic<bool>& cancel, CopyFailure& failure)
{
    const std::uint64_t bytesBefore = progress.bytesDone;
    sonarchive::FileCopyCallbacks callbacks;
    callbacks.progress = [&](std::uint64_t done, std::uint64_t) {
        progress.fileBytesDone = done;
        progress.bytesDone = bytesBefore + done;
        observer.progress(progress);
    };
    callbacks.cancelled = [&] { return cancel.load(); };
    callbacks.retry.attempts = std::max(1, m_settings.readAttempts);
    callbacks.retry.pause = m_settings.retryPause;
    callbacks.retry.again = [&](int error) { return !cancel.load() && !deviceGone(error); };
    callbacks.read = m_settings.read;
    callbacks.complete = [&](int fd, const fs::path&) {
        verifySize(fd, item.source);
        if (m_settings.readOnly)
            (void)::fchmod(fd, 0444);
    };
    try {
        if (sonarchive::copyReplacing(item.source, destination, callbacks) == sonarchive::FileCopyOutcome::Cancelled)
            return FileOutcome::Cancelled;
        return FileOutcome::Copied;
    } catch (const std::exception& e) {
        if (cancel.load())
            return FileOutcome::Cancelled;  // a read the user's cancel cut short is no failure of the file
        return classify(e, failure);
    }
}

}  // namespace trackcopy
