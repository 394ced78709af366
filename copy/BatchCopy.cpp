#include "BatchCopy.h"

#include "FileNameFit.h"

#include "AsciiCase.h"
#include "Error.h"
#include "FileCopy.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <sys/stat.h>
#include <system_error>
#include <unordered_map>
#include <unordered_set>

namespace fs = std::filesystem;

namespace trackcopy {

static_assert(BatchCopy::kChunkBytes == sonarchive::kFileCopyChunk);

// The state of one run of a batch.
struct BatchCopy::Run {
    CopyObserver& observer;
    const std::atomic<bool>& cancel;
    CopyResult result;
    CopyProgress progress;
    std::vector<std::uint64_t> sizes;      // of each source, as known before starting
    std::vector<fs::path> planned;         // the destination of each item
    std::unordered_set<std::string> taken;  // the planned names, letter case aside
    bool replaceAll = false;
    // Complete copies waiting to be flushed and named together, with their items
    // and what the finishing step said of each.
    std::vector<sonarchive::UnnamedCopy> unnamed;
    std::vector<std::pair<std::size_t, std::optional<std::string>>> waiting;
    std::uint64_t waitingBytes = 0;
    std::unordered_set<std::string> folders;  // the folders made (or found) already
    ~Run() { sonarchive::discardCopies(unnamed); }  // a run left by an exception names nothing
};

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

// Names that only letter case tells apart are one name on many disks music is
// copied to.
std::string nameKey(const fs::path& path)
{
    return sonarchive::lowerAscii(path.string());
}

// "Name (n).ext", fitted to the name limit.
fs::path numberedName(const fs::path& destination, unsigned n)
{
    const std::string stem = destination.stem().string();
    const std::string suffix = " (" + std::to_string(n) + ")" + destination.extension().string();
    return destination.parent_path() / (fitStem(stem, suffix) + suffix);
}

fs::path keepBothAvoiding(const fs::path& destination, const std::unordered_set<std::string>& taken)
{
    std::error_code ec;
    fs::path candidate;
    for (unsigned n = 2; n < 100000; ++n) {
        candidate = numberedName(destination, n);
        if (!taken.count(nameKey(candidate)) && !fs::exists(fs::symlink_status(candidate, ec)))
            break;
    }
    return candidate;
}

// The destinations of a batch, with the planned names in `given`.
std::vector<fs::path> plan(const std::vector<CopyItem>& items, std::unordered_set<std::string>& given)
{
    std::vector<fs::path> planned;
    planned.reserve(items.size());
    std::unordered_set<std::string> own;  // each item's own name, which no other item is numbered into
    own.reserve(items.size());
    given.reserve(items.size());
    for (const CopyItem& item : items) {
        planned.push_back(BatchCopy::normalisedDestination(item.destination));
        own.insert(nameKey(planned.back()));
    }
    // Where the numbering of each name goes on: many tracks of one name cost
    // one try each, not one for each of those before them.
    std::unordered_map<std::string, unsigned> nextNumber;
    for (fs::path& destination : planned) {
        std::string name = nameKey(destination);
        if (given.insert(name).second)
            continue;
        unsigned& next = nextNumber.try_emplace(std::move(name), 2u).first->second;
        for (;; ++next) {
            fs::path candidate = numberedName(destination, next);
            const std::string key = nameKey(candidate);
            if (!own.count(key) && given.insert(key).second) {
                destination = std::move(candidate);
                ++next;
                break;
            }
        }
    }
    return planned;
}

// A failure of the finishing step: a full disk is a failure to write the copy,
// in the words of the copy's other failures; anything else says it was the tags.
[[noreturn]] void finishFailed(const std::system_error& e, const fs::path& destination)
{
    const int number = e.code().value();
    if (e.code().category() == std::generic_category() && (number == ENOSPC || number == EDQUOT))
        throw sonarchive::FileCopyError(Step::WriteCopy,
                                        sonarchive::Error(sonarchive::FailureCode::NoSpace, "cannot write " + destination.string(), number));
    throw std::runtime_error("cannot write the tags into " + destination.string() + ": " + e.code().message());
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
BatchCopy::~BatchCopy() = default;
BatchCopy::BatchCopy(BatchCopy&&) noexcept = default;
BatchCopy& BatchCopy::operator=(BatchCopy&&) noexcept = default;

void BatchCopy::setFinisher(std::unique_ptr<CopyFinisher> finisher)
{
    m_finisher = std::move(finisher);
}

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
    return keepBothAvoiding(destination, {});
}

std::vector<fs::path> BatchCopy::plannedDestinations() const
{
    std::unordered_set<std::string> given;
    return plan(m_items, given);
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
    Run run{observer, cancel, {}, {}, {}, {}, {}, false};
    run.result.items.resize(m_items.size());
    run.progress.fileCount = m_items.size();
    run.sizes.reserve(m_items.size());
    for (const CopyItem& item : m_items) {
        std::error_code ec;
        const auto size = fs::file_size(item.source, ec);
        run.sizes.push_back(ec ? 0 : size);
        run.progress.totalBytes += run.sizes.back();
    }
    run.planned = plan(m_items, run.taken);
    struct stat root {};
    m_deviceKnown = !m_settings.deviceRoot.empty() && ::stat(m_settings.deviceRoot.c_str(), &root) == 0;
    m_deviceId = m_deviceKnown ? root.st_dev : 0;

    for (std::size_t i = 0; i < m_items.size(); ++i) {
        const FileOutcome outcome = cancel.load() ? FileOutcome::Cancelled : copyItem(i, run);
        if (outcome == FileOutcome::Disconnected) {
            run.result.disconnected = true;
            break;
        }
        if (outcome == FileOutcome::Cancelled) {
            run.result.cancelled = true;
            run.result.skipped += m_items.size() - i;
            break;
        }
    }
    nameWaiting(run);  // copies complete before a cancel or a disconnect are kept too
    return std::move(run.result);
}

// The copies made so far, flushed to the disk at once and given their names:
// only then are they copied. Flushing each one by itself would cost more than
// the copy of a small file.
void BatchCopy::nameWaiting(Run& run)
{
    if (run.unnamed.empty())
        return;
    std::vector<std::pair<std::size_t, sonarchive::FileCopyError>> failed = sonarchive::nameCopies(run.unnamed);
    std::size_t next = 0;
    for (std::size_t k = 0; k < run.waiting.size(); ++k) {
        const auto& [index, untagged] = run.waiting[k];
        const CopyItem& item = m_items[index];
        ItemResult& itemResult = run.result.items[index];
        if (next < failed.size() && failed[next].first == k) {
            CopyFailure failure{{item.source, itemResult.destination, item.name}, {}, FailureKind::Destination};
            classify(failed[next++].second, failure);
            itemResult.outcome = ItemOutcome::Failed;
            run.observer.failed(failure);
            run.result.failures.push_back(std::move(failure));
            continue;
        }
        ++run.result.copied;
        itemResult.outcome = ItemOutcome::Copied;
        if (untagged) {
            CopyFailure note{{item.source, itemResult.destination, item.name}, *untagged, FailureKind::Other};
            run.observer.untagged(note);
            run.result.untagged.push_back(std::move(note));
        }
    }
    run.waiting.clear();
    run.waitingBytes = 0;
}

BatchCopy::FileOutcome BatchCopy::copyItem(std::size_t index, Run& run)
{
    CopyProgress& progress = run.progress;
    progress.fileIndex = index;
    progress.fileBytes = run.sizes[index];
    progress.fileBytesDone = 0;
    const std::uint64_t bytesBefore = progress.bytesDone;
    fs::path destination = run.planned[index];
    progress.current = destination;
    run.observer.progress(progress);
    ItemResult& itemResult = run.result.items[index];
    itemResult.destination = destination;

    std::error_code ec;
    if (fs::exists(fs::symlink_status(destination, ec))) {  // there before the batch began
        const Existing choice = existing(index, destination, run);
        if (choice == Existing::Stop)
            return FileOutcome::Cancelled;
        if (choice == Existing::Skip) {
            ++run.result.skipped;
            itemResult.outcome = ItemOutcome::Skipped;
            progress.bytesDone = bytesBefore + run.sizes[index];
            return FileOutcome::Skipped;
        }
        progress.current = destination;
        itemResult.destination = destination;
    }

    const CopyItem& item = m_items[index];
    CopyFailure failure{{item.source, destination, item.name}, {}, FailureKind::Destination};
    FileOutcome outcome = FileOutcome::Failed;
    ec.clear();
    if (run.folders.insert(destination.parent_path().string()).second) {
        fs::create_directories(destination.parent_path(), ec);
        if (!ec)  // what copies killed in this folder before left
            sonarchive::removeLeftoverCopies(destination.parent_path());
    }
    if (ec) {
        run.folders.erase(destination.parent_path().string());
        failure.reason = "the folder " + destination.parent_path().string() + " could not be made (" + ec.message() + ")";
    } else {
        outcome = copyOne(index, destination, run, failure);
    }

    if (outcome == FileOutcome::Copied) {
        // Waits with the others for its name: a batch of files or bytes at a time.
        run.waitingBytes += run.sizes[index];
        if (run.unnamed.size() >= kNamedTogether || run.waitingBytes >= kBytesNamedTogether)
            nameWaiting(run);
    } else if (outcome == FileOutcome::Failed) {
        itemResult.outcome = ItemOutcome::Failed;
        run.observer.failed(failure);
        run.result.failures.push_back(std::move(failure));
    }
    progress.bytesDone = bytesBefore + run.sizes[index];
    return outcome;
}

BatchCopy::Existing BatchCopy::existing(std::size_t index, fs::path& destination, Run& run)
{
    if (m_settings.skipSameSize && isCurrentCopy(index, destination, run.sizes[index]))
        return Existing::Skip;
    if (run.replaceAll)
        return Existing::Replace;
    switch (run.observer.askReplace(destination)) {
    case ReplaceAnswer::Cancel: return Existing::Stop;
    case ReplaceAnswer::No: return Existing::Skip;
    case ReplaceAnswer::YesToAll: run.replaceAll = true; return Existing::Replace;
    case ReplaceAnswer::Yes: return Existing::Replace;
    case ReplaceAnswer::KeepBoth:
        destination = keepBothAvoiding(destination, run.taken);
        run.taken.insert(nameKey(destination));
        return Existing::Replace;
    }
    return Existing::Skip;
}

bool BatchCopy::isCurrentCopy(std::size_t index, const fs::path& destination, std::uint64_t sourceSize) const
{
    if (m_finisher) {
        try {
            return m_finisher->isCurrentCopy(index, m_items[index].source, sourceSize, destination);
        } catch (const std::exception&) {
            return false;  // not known to be current: put to the observer like any other
        }
    }
    std::error_code ec;
    const auto size = fs::file_size(destination, ec);
    return !ec && size == sourceSize;
}

BatchCopy::FileOutcome BatchCopy::copyOne(std::size_t index, const fs::path& destination, Run& run, CopyFailure& failure)
{
    const CopyItem& item = m_items[index];
    CopyProgress& progress = run.progress;
    const std::uint64_t bytesBefore = progress.bytesDone;
    std::optional<std::string> untagged;
    sonarchive::FileCopyCallbacks callbacks;
    callbacks.progress = [&](std::uint64_t done, std::uint64_t) {
        progress.fileBytesDone = done;
        progress.bytesDone = bytesBefore + done;
        run.observer.progress(progress);
    };
    callbacks.cancelled = [&] { return run.cancel.load(); };
    callbacks.retry.attempts = std::max(1, m_settings.readAttempts);
    callbacks.retry.pause = m_settings.retryPause;
    callbacks.retry.again = [&](int error) { return !run.cancel.load() && !deviceGone(error); };
    callbacks.read = m_settings.read;
    // The copy is whole (its size says so) before anything is written into it.
    const auto complete = [&](int fd, const fs::path& temporary, bool finish) {
        verifySize(fd, item.source);
        if (finish && m_finisher) {
            try {
                untagged = m_finisher->finish(index, item.source, temporary);
            } catch (const std::system_error& e) {
                finishFailed(e, destination);
            }
        }
        if (m_settings.readOnly)
            (void)::fchmod(fd, 0444);
    };
    callbacks.complete = [&](int fd, const fs::path& temporary) { complete(fd, temporary, true); };
    sonarchive::UnnamedCopy copy;
    try {
        sonarchive::FileCopyOutcome outcome;
        try {
            outcome = sonarchive::copyUnnamed(item.source, destination, callbacks, copy);
        } catch (const CopySpoiled& spoiled) {
            untagged = spoiled.what();  // made again as it is on the device
            callbacks.complete = [&](int fd, const fs::path& temporary) { complete(fd, temporary, false); };
            outcome = sonarchive::copyUnnamed(item.source, destination, callbacks, copy);
        }
        if (outcome == sonarchive::FileCopyOutcome::Cancelled)
            return FileOutcome::Cancelled;
    } catch (const std::exception& e) {
        if (run.cancel.load())
            return FileOutcome::Cancelled;  // a read the user's cancel cut short is no failure of the file
        return classify(e, failure);
    }
    run.unnamed.push_back(std::move(copy));
    run.waiting.emplace_back(index, std::move(untagged));
    return FileOutcome::Copied;
}

}  // namespace trackcopy
