#include "BatchCopy.h"

#include "FileNameFit.h"

#include "AsciiCase.h"
#include "FileCopy.h"

#include <cerrno>
#include <system_error>
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
};

namespace {

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
    for (fs::path& destination : planned) {
        if (given.insert(nameKey(destination)).second)
            continue;
        for (unsigned n = 2;; ++n) {
            fs::path candidate = numberedName(destination, n);
            const std::string key = nameKey(candidate);
            if (!own.count(key) && given.insert(key).second) {
                destination = std::move(candidate);
                break;
            }
        }
    }
    return planned;
}

// A failure of the finishing step, in the words of the copy's other failures.
[[noreturn]] void finishFailed(const std::system_error& e, const fs::path& destination)
{
    const int number = e.code().value();
    if (e.code().category() == std::generic_category() && (number == ENOSPC || number == EDQUOT))
        throw std::runtime_error("cannot write " + destination.string() + ": there is no room left on the disk");
    throw std::runtime_error("cannot write the tags into " + destination.string() + ": " + e.code().message());
}

}  // namespace

BatchCopy::BatchCopy(std::vector<CopyItem> items) : m_items(std::move(items)) {}
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

    for (std::size_t i = 0; i < m_items.size(); ++i) {
        if (cancel.load() || !copyItem(i, run)) {
            run.result.cancelled = true;
            run.result.skipped += m_items.size() - i;
            break;
        }
    }
    return std::move(run.result);
}

bool BatchCopy::copyItem(std::size_t index, Run& run)
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
            return false;
        if (choice == Existing::Skip) {
            ++run.result.skipped;
            itemResult.outcome = ItemOutcome::Skipped;
            progress.bytesDone = bytesBefore + run.sizes[index];
            return true;
        }
        progress.current = destination;
        itemResult.destination = destination;
    }

    std::string reason;
    FileOutcome outcome = FileOutcome::Failed;
    fs::create_directories(destination.parent_path(), ec);
    if (ec)
        reason = "cannot create the folder " + destination.parent_path().string() + ": " + ec.message();
    else
        outcome = copyOne(index, destination, run, reason);

    if (outcome == FileOutcome::Cancelled)
        return false;
    if (outcome == FileOutcome::Copied) {
        ++run.result.copied;
        itemResult.outcome = ItemOutcome::Copied;
    } else {
        itemResult.outcome = ItemOutcome::Failed;
        CopyFailure failure{{m_items[index].source, destination}, reason};
        run.observer.failed(failure);
        run.result.failures.push_back(std::move(failure));
    }
    progress.bytesDone = bytesBefore + run.sizes[index];
    return true;
}

BatchCopy::Existing BatchCopy::existing(std::size_t index, fs::path& destination, Run& run)
{
    if (m_skipSameSize && isCurrentCopy(index, destination, run.sizes[index]))
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

BatchCopy::FileOutcome BatchCopy::copyOne(std::size_t index, const fs::path& destination, Run& run, std::string& reason)
{
    const fs::path& source = m_items[index].source;
    CopyProgress& progress = run.progress;
    const std::uint64_t bytesBefore = progress.bytesDone;
    std::optional<std::string> untagged;
    sonarchive::FileCopyCallbacks callbacks{.progress = [&](std::uint64_t done, std::uint64_t) {
                                                progress.fileBytesDone = done;
                                                progress.bytesDone = bytesBefore + done;
                                                run.observer.progress(progress);
                                            },
                                            .cancelled = [&] { return run.cancel.load(); },
                                            .complete = {}};
    if (m_finisher)
        callbacks.complete = [&](int, const fs::path& temporary) {
            try {
                untagged = m_finisher->finish(index, source, temporary);
            } catch (const std::system_error& e) {
                finishFailed(e, destination);
            }
        };
    try {
        sonarchive::FileCopyOutcome outcome;
        try {
            outcome = sonarchive::copyReplacing(source, destination, callbacks);
        } catch (const CopySpoiled& spoiled) {
            untagged = spoiled.what();  // made again as it is on the device
            callbacks.complete = nullptr;
            outcome = sonarchive::copyReplacing(source, destination, callbacks);
        }
        if (outcome == sonarchive::FileCopyOutcome::Cancelled) {
            reason = "cancelled";
            return FileOutcome::Cancelled;
        }
    } catch (const std::exception& e) {
        reason = e.what();
        return FileOutcome::Failed;
    }
    if (untagged) {
        CopyFailure note{{source, destination}, *untagged};
        run.observer.untagged(note);
        run.result.untagged.push_back(std::move(note));
    }
    return FileOutcome::Copied;
}

}  // namespace trackcopy
