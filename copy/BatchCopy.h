#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace trackcopy {

// One file of a batch: the source and the full destination path.
struct CopyItem {
    std::filesystem::path source;
    std::filesystem::path destination;
};

// What to do with a destination that exists already.
enum class ReplaceAnswer { Yes, YesToAll, No, Cancel, KeepBoth };

struct CopyProgress {
    std::size_t fileIndex = 0;  // zero-based index of the current item
    std::size_t fileCount = 0;
    std::filesystem::path current;  // destination being written
    std::uint64_t fileBytesDone = 0;
    std::uint64_t fileBytes = 0;
    std::uint64_t bytesDone = 0;   // over the whole batch
    std::uint64_t totalBytes = 0;  // sizes of the sources known before starting
};

struct CopyFailure {
    CopyItem item;
    std::string reason;
};

// What became of one item of a batch.
enum class ItemOutcome {
    NotReached,  // the batch was cancelled before it
    Copied,
    Skipped,     // its destination exists and stays (answered No, or the same size when updating)
    Failed,
};

struct ItemResult {
    ItemOutcome outcome = ItemOutcome::NotReached;
    std::filesystem::path destination;  // where it went (a "Keep Both" name included)
};

struct CopyResult {
    std::size_t copied = 0;
    std::size_t skipped = 0;  // answered No, or the batch was cancelled before them
    std::vector<CopyFailure> failures;
    bool cancelled = false;
    std::vector<ItemResult> items;  // one per item of the batch, in order
};

// Receives the events of a running batch. Called on the thread that runs it.
class CopyObserver {
public:
    virtual ~CopyObserver() = default;
    virtual void progress(const CopyProgress& progress) { (void)progress; }
    virtual ReplaceAnswer askReplace(const std::filesystem::path& destination) = 0;
    virtual void failed(const CopyFailure& failure) { (void)failure; }
};

// Copies a list of files, each to its own destination, in order. Missing
// folders are made; an existing destination is replaced only when the observer
// agrees. Each file is written under a temporary name beside its destination and
// renamed into place when complete, so a cancelled or failed copy leaves neither
// a partial file nor a damaged earlier one. A failure is reported and the batch
// goes on with the next file. `cancel` is checked between chunks.
class BatchCopy {
public:
    explicit BatchCopy(std::vector<CopyItem> items);

    CopyResult run(CopyObserver& observer, const std::atomic<bool>& cancel);

    // Updating an earlier copy: a destination that exists with the source's size
    // is skipped without asking; one of another size is put to the observer.
    void setSkipSameSize(bool skip) { m_skipSameSize = skip; }

    const std::vector<CopyItem>& items() const { return m_items; }

    // The destination as the platform stores it: trailing dots of the name dropped.
    static std::filesystem::path normalisedDestination(const std::filesystem::path& destination);
    // "Title (2).ext", "Title (3).ext", ... : the first name not taken yet, fitted to the name limit.
    static std::filesystem::path keepBothName(const std::filesystem::path& destination);

    // The bytes copied between two looks at `cancel` (the file copy's chunk).
    static constexpr std::size_t kChunkBytes = 4u << 20;

private:
    enum class FileOutcome { Copied, Failed, Cancelled };
    FileOutcome copyOne(const std::filesystem::path& source, const std::filesystem::path& destination,
                        CopyProgress& progress, CopyObserver& observer, const std::atomic<bool>& cancel,
                        std::string& reason);

    std::vector<CopyItem> m_items;
    bool m_skipSameSize = false;
};

}  // namespace trackcopy
