#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
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
    Skipped,     // its destination exists and stays (answered No, or already copied when updating)
    Failed,
};

struct ItemResult {
    ItemOutcome outcome = ItemOutcome::NotReached;
    std::filesystem::path destination;  // where it went (a "Keep Both" or "Name (2)" name included)
};

struct CopyResult {
    std::size_t copied = 0;
    std::size_t skipped = 0;  // answered No, or the batch was cancelled before them
    std::vector<CopyFailure> failures;
    // Copied, but left as on the device: the finishing step (tags) could not
    // work on them, with why. Counted among the copied.
    std::vector<CopyFailure> untagged;
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
    virtual void untagged(const CopyFailure& note) { (void)note; }
};

// Thrown by a finishing step that damaged the copy on the way: the item is
// copied again and left as on the device, with this reason.
class CopySpoiled : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A step of the batch on each complete copy under its temporary name, before
// it gets its final name (writing tags into it), and how the batch tells a copy
// it made earlier when updating. Called on the thread that runs the batch.
class CopyFinisher {
public:
    virtual ~CopyFinisher() = default;
    // Works on `temporary`, the complete copy of item `item` from `source`.
    // Returns why the copy was left as copied, or nothing when it was finished.
    // Throws CopySpoiled as above; any other exception fails the item.
    virtual std::optional<std::string> finish(std::size_t item, const std::filesystem::path& source,
                                              const std::filesystem::path& temporary) = 0;
    // Whether `existing` is the copy this batch would make of item `item` now.
    virtual bool isCurrentCopy(std::size_t item, const std::filesystem::path& source, std::uint64_t sourceSize,
                               const std::filesystem::path& existing) = 0;
};

// Copies a list of files, each to its own destination, in order. Missing
// folders are made. Two items of the batch never share a destination: an item
// whose name an earlier item of the batch took gets the next free "Name (2).ext".
// A destination that was there before is replaced only when the observer
// agrees. Each file is written under a temporary name beside its destination,
// finished (see CopyFinisher) and renamed into place when complete, so a
// cancelled or failed copy leaves neither a partial file nor a damaged earlier
// one. A failure is reported and the batch goes on with the next file.
// `cancel` is checked between chunks.
class BatchCopy {
public:
    explicit BatchCopy(std::vector<CopyItem> items);
    ~BatchCopy();
    BatchCopy(BatchCopy&&) noexcept;
    BatchCopy& operator=(BatchCopy&&) noexcept;

    CopyResult run(CopyObserver& observer, const std::atomic<bool>& cancel);

    // Updating an earlier copy: a destination that is already the copy this
    // batch would make (by the finishing step's judgement, else the source's
    // size) is skipped without asking; another one is put to the observer.
    void setSkipSameSize(bool skip) { m_skipSameSize = skip; }
    bool skipSameSize() const { return m_skipSameSize; }

    void setFinisher(std::unique_ptr<CopyFinisher> finisher);
    CopyFinisher* finisher() const { return m_finisher.get(); }

    const std::vector<CopyItem>& items() const { return m_items; }

    // The destination of each item as this batch writes it: normalised, and a
    // name that an earlier item took (letter case aside) numbered "Name (2).ext",
    // "Name (3).ext"..., never a name another item has of its own.
    std::vector<std::filesystem::path> plannedDestinations() const;

    // The destination as the platform stores it: trailing dots of the name dropped.
    static std::filesystem::path normalisedDestination(const std::filesystem::path& destination);
    // "Title (2).ext", "Title (3).ext", ... : the first name not taken yet, fitted to the name limit.
    static std::filesystem::path keepBothName(const std::filesystem::path& destination);

    // The bytes copied between two looks at `cancel` (the file copy's chunk).
    static constexpr std::size_t kChunkBytes = 4u << 20;

private:
    struct Run;
    enum class FileOutcome { Copied, Failed, Cancelled };
    enum class Existing { Replace, Skip, Stop };

    bool copyItem(std::size_t index, Run& run);  // false when the batch stops
    Existing existing(std::size_t index, std::filesystem::path& destination, Run& run);
    FileOutcome copyOne(std::size_t index, const std::filesystem::path& destination, Run& run, std::string& reason);
    bool isCurrentCopy(std::size_t index, const std::filesystem::path& destination, std::uint64_t sourceSize) const;

    std::vector<CopyItem> m_items;
    bool m_skipSameSize = false;
    std::unique_ptr<CopyFinisher> m_finisher;
};

}  // namespace trackcopy
