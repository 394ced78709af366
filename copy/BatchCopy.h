#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <sys/types.h>
#include <vector>

namespace trackcopy {

// One file of a batch: the source and the full destination path.
struct CopyItem {
    std::filesystem::path source;
    std::filesystem::path destination;
    // What the user knows the file as, such as "Night Drive" by Motorway Echo;
    // empty: the source's path says it.
    std::string name;
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

// Why a file was not copied.
enum class FailureKind {
    Unreadable,   // the device's disk could not open or read it
    Missing,      // it is not on the device
    Destination,  // the copy could not be written
    Other,
};

struct CopyFailure {
    CopyItem item;
    std::string reason;  // plain words: "the iPod's disk could not read this file (Input/output error)"
    FailureKind kind = FailureKind::Other;

    // The line that tells the user which file failed and why: its name, its
    // file on the device, the reason.
    std::string describe() const;
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
    // The device went away (unplugged, its bus reset): the batch stopped at the
    // file it was copying, which is left out like those after it.
    bool disconnected = false;
    std::vector<ItemResult> items;  // one per item of the batch, in order

    // Items whose file is at its destination: copied now, or there already.
    std::size_t inPlace() const { return copied + countOf(ItemOutcome::Skipped); }
    std::size_t countOf(ItemOutcome outcome) const;
};

// How a batch treats its files beyond where they go.
struct CopySettings {
    // Updating an earlier copy: a destination that exists with the source's size
    // is skipped without asking; one of another size is put to the observer.
    bool skipSameSize = false;
    // Where the sources' device is mounted. A failure while that folder can't
    // be reached, or is no longer the device's, is the device going away.
    std::filesystem::path deviceRoot;
    // The copies are made read-only (a backup).
    bool readOnly = false;
    // A failed read of a source is tried this many times in all, from where it
    // failed, with this pause between, before the file counts as failed.
    int readAttempts = 3;
    std::chrono::milliseconds retryPause{250};
    // Reads the sources: the system's pread when empty. Tests put a failing or
    // slow one in (-1 with errno set for a failure).
    std::function<ssize_t(int fd, char* buffer, std::size_t size, std::uint64_t offset)> read;
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
// checked against the source's size, finished (see CopyFinisher), and once
// flushed to the disk (many copies at once) renamed into place, so a cancelled
// or failed copy, a kill or a power cut leaves neither a partial file under a
// final name nor a damaged earlier one. A failure is reported
// and the batch goes on with the next file; a device that goes away stops the
// batch once. `cancel` is checked between chunks.
class BatchCopy {
public:
    explicit BatchCopy(std::vector<CopyItem> items, CopySettings settings = {});
    ~BatchCopy();
    BatchCopy(BatchCopy&&) noexcept;
    BatchCopy& operator=(BatchCopy&&) noexcept;

    CopyResult run(CopyObserver& observer, const std::atomic<bool>& cancel);

    // Updating an earlier copy: a destination that is already the copy this
    // batch would make (by the finishing step's judgement, else the source's
    // size) is skipped without asking; another one is put to the observer.
    void setSkipSameSize(bool skip) { m_settings.skipSameSize = skip; }
    bool skipSameSize() const { return m_settings.skipSameSize; }
    void setDeviceRoot(std::filesystem::path root) { m_settings.deviceRoot = std::move(root); }
    const CopySettings& settings() const { return m_settings; }
    CopySettings& settings() { return m_settings; }

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
    // Copies are flushed to the disk and named together, this many files or
    // bytes at a time (and at the end of the batch).
    static constexpr std::size_t kNamedTogether = 256;
    static constexpr std::uint64_t kBytesNamedTogether = 64u << 20;

private:
    struct Run;
    enum class FileOutcome { Copied, Skipped, Failed, Cancelled, Disconnected };
    enum class Existing { Replace, Skip, Stop };

    // One item: its existing destination settled, then copied.
    FileOutcome copyItem(std::size_t index, Run& run);
    Existing existing(std::size_t index, std::filesystem::path& destination, Run& run);
    FileOutcome copyOne(std::size_t index, const std::filesystem::path& destination, Run& run, CopyFailure& failure);
    void nameWaiting(Run& run);
    bool isCurrentCopy(std::size_t index, const std::filesystem::path& destination, std::uint64_t sourceSize) const;
    // Sorts a failed copy: the device gone, or this one file, with why in plain words.
    FileOutcome classify(const std::exception& error, CopyFailure& failure) const;
    // Whether the device is gone: its error says so, or its folder can no longer
    // be reached or is no longer the device's.
    bool deviceGone(int error) const;

    std::vector<CopyItem> m_items;
    CopySettings m_settings;
    std::unique_ptr<CopyFinisher> m_finisher;
    dev_t m_deviceId = 0;  // the device root's file system when the batch started
    bool m_deviceKnown = false;
};

}  // namespace trackcopy
