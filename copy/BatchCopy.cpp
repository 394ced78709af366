#include "BatchCopy.h"

#include "FileNameFit.h"

#include "FileCopy.h"

namespace fs = std::filesystem;

namespace trackcopy {

static_assert(BatchCopy::kChunkBytes == sonarchive::kFileCopyChunk);

BatchCopy::BatchCopy(std::vector<CopyItem> items) : m_items(std::move(items)) {}

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

    bool replaceAll = false;
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        const CopyItem& item = m_items[i];
        progress.fileIndex = i;
        progress.fileBytes = sizes[i];
        progress.fileBytesDone = 0;
        const std::uint64_t bytesBefore = progress.bytesDone;
        if (cancel.load()) {
            result.cancelled = true;
            result.skipped += m_items.size() - i;
            break;
        }
        fs::path destination = normalisedDestination(item.destination);
        progress.current = destination;
        observer.progress(progress);
        ItemResult& itemResult = result.items[i];
        itemResult.destination = destination;

        std::error_code ec;
        const bool exists = fs::exists(fs::symlink_status(destination, ec));
        if (exists && m_skipSameSize) {
            const auto size = fs::file_size(destination, ec);
            if (!ec && size == sizes[i]) {
                ++result.skipped;
                itemResult.outcome = ItemOutcome::Skipped;
                progress.bytesDone = bytesBefore + sizes[i];
                continue;
            }
        }
        if (exists && !replaceAll) {
            const ReplaceAnswer answer = observer.askReplace(destination);
            if (answer == ReplaceAnswer::Cancel) {
                result.cancelled = true;
                result.skipped += m_items.size() - i;
                break;
            }
            if (answer == ReplaceAnswer::No) {
                ++result.skipped;
                itemResult.outcome = ItemOutcome::Skipped;
                progress.bytesDone = bytesBefore + sizes[i];
                continue;
            }
            if (answer == ReplaceAnswer::YesToAll)
                replaceAll = true;
            if (answer == ReplaceAnswer::KeepBoth)
                destination = keepBothName(destination);
            progress.current = destination;
            itemResult.destination = destination;
        }

        std::string reason;
        FileOutcome outcome = FileOutcome::Failed;
        fs::create_directories(destination.parent_path(), ec);
        if (ec)
            reason = "cannot create the folder " + destination.parent_path().string() + ": " + ec.message();
        else
            outcome = copyOne(item.source, destination, progress, observer, cancel, reason);

        if (outcome == FileOutcome::Copied) {
            ++result.copied;
            itemResult.outcome = ItemOutcome::Copied;
        } else if (outcome == FileOutcome::Cancelled) {
            result.cancelled = true;
            result.skipped += m_items.size() - i;
            break;
        } else {
            itemResult.outcome = ItemOutcome::Failed;
            CopyFailure failure{{item.source, destination}, reason};
            observer.failed(failure);
            result.failures.push_back(std::move(failure));
        }
        progress.bytesDone = bytesBefore + sizes[i];
    }
    return result;
}

BatchCopy::FileOutcome BatchCopy::copyOne(const fs::path& source, const fs::path& destination, CopyProgress& progress,
                                          CopyObserver& observer, const std::atomic<bool>& cancel,
                                          std::string& reason)
{
    const std::uint64_t bytesBefore = progress.bytesDone;
    try {
        const auto outcome = sonarchive::copyReplacing(source, destination,
                                                       {.progress = [&](std::uint64_t done, std::uint64_t) {
                                                            progress.fileBytesDone = done;
                                                            progress.bytesDone = bytesBefore + done;
                                                            observer.progress(progress);
                                                        },
                                                        .cancelled = [&] { return cancel.load(); }});
        if (outcome == sonarchive::FileCopyOutcome::Cancelled) {
            reason = "cancelled";
            return FileOutcome::Cancelled;
        }
        return FileOutcome::Copied;
    } catch (const std::exception& e) {
        reason = e.what();
        return FileOutcome::Failed;
    }
}

}  // namespace trackcopy
