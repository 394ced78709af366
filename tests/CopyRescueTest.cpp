// The copy engine on a failing disk, through its reader seam: reads tried again
// from where they failed, each failure named, a device that goes away, cancel
// during a stalled read, checked and read-only copies; and the device backup.

#include "TempDir.h"

#include <BatchCopy.h>
#include <DeviceBackup.h>
#include <FileCopy.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace trackcopy;
using testsupport::randomBytes;
using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;
namespace fs = std::filesystem;

namespace {

class Observer final : public CopyObserver {
public:
    void progress(const CopyProgress& p) override
    {
        if (onProgress)
            onProgress(p);
    }
    ReplaceAnswer askReplace(const fs::path&) override { return ReplaceAnswer::No; }
    void failed(const CopyFailure& f) override { failures.push_back(f.describe()); }

    std::function<void(const CopyProgress&)> onProgress;
    std::vector<std::string> failures;
};

// The file an open descriptor reads.
std::string fileOf(int fd)
{
    return fs::read_symlink("/proc/self/fd/" + std::to_string(fd)).filename().string();
}

// A reader that fails as told, file by file, and records every read.
struct FailingDisk {
    struct Read {
        std::string file;
        std::uint64_t offset;
    };
    std::mutex lock;
    std::vector<Read> reads;
    std::function<int(const std::string& file, std::uint64_t offset, int tried)> failure;  // errno, or 0 to read

    CopySettings settings()
    {
        CopySettings s;
        s.retryPause = std::chrono::milliseconds(1);
        s.read = [this](int fd, char* buffer, std::size_t size, std::uint64_t offset) -> ssize_t {
            const std::string file = fileOf(fd);
            int tried = 0;
            {
                const std::lock_guard guard(lock);
                for (const Read& r : reads)
                    tried += r.file == file && r.offset == offset;
                reads.push_back({file, offset});
            }
            if (const int error = failure ? failure(file, offset, tried) : 0) {
                errno = error;
                return -1;
            }
            return ::pread(fd, buffer, size, static_cast<off_t>(offset));
        };
        return s;
    }
    std::size_t readsOf(const std::string& file)
    {
        return static_cast<std::size_t>(std::count_if(reads.begin(), reads.end(), [&](const Read& r) { return r.file == file; }));
    }
};

// Only the copies, no temporary file beside them.
std::vector<std::string> filesIn(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

struct Tracks {
    TempDir dir;
    fs::path device = dir.path() / "ipod";
    fs::path out = dir.path() / "out";
    std::vector<CopyItem> items;

    explicit Tracks(std::initializer_list<std::pair<const char*, std::string>> files)
    {
        for (const auto& [name, bytes] : files) {
            writeFile(device / "Music" / name, bytes);
            items.push_back({device / "Music" / name, out / (std::string(name) + ".copy"), "\"" + std::string(name) + "\" by Band"});
        }
    }
};

}  // namespace

TEST(CopyRescue, AFailedReadIsTriedAgainFromWhereItFailed)
{
    const std::string big = randomBytes(2 * BatchCopy::kChunkBytes + 17, 5);
    Tracks t({{"A", big}});
    FailingDisk disk;
    // The second chunk fails twice, then reads: a sector that comes back.
    disk.failure = [](const std::string&, std::uint64_t offset, int tried) { return offset == BatchCopy::kChunkBytes && tried < 2 ? EIO : 0; };
    Observer observer;
    std::atomic<bool> cancel{false};
    const CopyResult result = BatchCopy(t.items, disk.settings()).run(observer, cancel);
    EXPECT_EQ(result.copied, 1u);
    EXPECT_TRUE(readFile(t.out / "A.copy") == big);
    ASSERT_EQ(disk.reads.size(), 5u);  // 0, the second chunk three times, the third: no byte read twice from the start
    EXPECT_EQ(disk.reads[1].offset, BatchCopy::kChunkBytes);
    EXPECT_EQ(disk.reads[3].offset, BatchCopy::kChunkBytes);
    EXPECT_EQ(disk.reads[4].offset, 2 * BatchCopy::kChunkBytes);
}

TEST(CopyRescue, AFileThatKeepsFailingIsNamedAndTheCopyGoesOn)
{
    Tracks t({{"A", "one"}, {"B", randomBytes(100000, 6)}, {"C", "three"}});
    FailingDisk disk;
    disk.failure = [](const std::string& file, std::uint64_t, int) { return file == "B" ? EIO : 0; };
    Observer observer;
    std::atomic<bool> cancel{false};
    const CopyResult result = BatchCopy(t.items, disk.settings()).run(observer, cancel);
    EXPECT_EQ(result.copied, 2u);
    EXPECT_FALSE(result.disconnected);
    ASSERT_EQ(result.failures.size(), 1u);
    EXPECT_EQ(result.failures[0].kind, FailureKind::Unreadable);
    const std::string line = "\"B\" by Band (" + (t.device / "Music/B").string() +
                             "): the iPod's disk could not read this file (Input/output error)";
    EXPECT_EQ(result.failures[0].describe(), line);
    EXPECT_EQ(observer.failures, std::vector<std::string>{line});
    EXPECT_EQ(disk.readsOf("B"), 3u);  // three tries
    EXPECT_EQ(result.items[1].outcome, ItemOutcome::Failed);
    EXPECT_EQ(filesIn(t.out), (std::vector<std::string>{"A.copy", "C.copy"}));  // nothing of B, not even a temporary file
    EXPECT_EQ(readFile(t.out / "C.copy"), "three");

    // A file that is not there says so.
    fs::remove(t.device / "Music/A");
    fs::remove(t.out / "A.copy");
    const CopyResult again = BatchCopy({t.items[0]}, disk.settings()).run(observer, cancel);
    ASSERT_EQ(again.failures.size(), 1u);
    EXPECT_EQ(again.failures[0].kind, FailureKind::Missing);
    EXPECT_EQ(again.failures[0].reason, "the file is missing from the iPod (No such file or directory)");
}

TEST(CopyRescue, ADeviceThatGoesAwayStopsTheCopyOnce)
{
    // The device answers "no such device": no retry, no failure per file, nothing after.
    Tracks t({{"A", "one"}, {"B", "two"}, {"C", "three"}});
    FailingDisk disk;
    disk.failure = [](const std::string& file, std::uint64_t, int) { return file == "A" ? 0 : ENODEV; };
    Observer observer;
    std::atomic<bool> cancel{false};
    CopyResult result = BatchCopy(t.items, disk.settings()).run(observer, cancel);
    EXPECT_TRUE(result.disconnected);
    EXPECT_FALSE(result.cancelled);
    EXPECT_EQ(result.copied, 1u);
    EXPECT_TRUE(result.failures.empty());
    EXPECT_EQ(result.inPlace(), 1u);
    EXPECT_EQ(disk.readsOf("B"), 1u);
    EXPECT_EQ(disk.readsOf("C"), 0u);
    EXPECT_EQ(result.items[1].outcome, ItemOutcome::NotReached);
    EXPECT_EQ(filesIn(t.out), std::vector<std::string>{"A.copy"});

    // Plain I/O errors while the device's own folder can no longer be read: gone too, found out at the first error.
    fs::remove_all(t.out);
    disk.reads.clear();
    disk.failure = [&](const std::string& file, std::uint64_t, int) {
        if (file != "B")
            return 0;
        fs::rename(t.device, t.dir.path() / "pulled");
        return EIO;
    };
    CopySettings settings = disk.settings();
    settings.deviceRoot = t.device;
    result = BatchCopy(t.items, settings).run(observer, cancel);
    EXPECT_TRUE(result.disconnected);
    EXPECT_TRUE(result.failures.empty());
    EXPECT_EQ(disk.readsOf("B"), 1u);
    EXPECT_EQ(filesIn(t.out), std::vector<std::string>{"A.copy"});
}

TEST(CopyRescue, CancelDuringAStalledReadTakesEffectWhenTheReadReturns)
{
    // A file read in one go: the copy whose last read was waited for is dropped too.
    Tracks t({{"A", randomBytes(1000, 7)}, {"B", "two"}});
    FailingDisk disk;
    std::atomic<bool> cancel{false};
    std::atomic<bool> stalled{false};
    disk.failure = [&](const std::string&, std::uint64_t, int) {
        stalled = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the disk takes its time
        return 0;
    };
    Observer observer;
    CopyResult result;
    std::thread worker([&] { result = BatchCopy(t.items, disk.settings()).run(observer, cancel); });
    while (!stalled)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    cancel = true;
    worker.join();
    EXPECT_TRUE(result.cancelled);
    EXPECT_EQ(result.copied, 0u);
    EXPECT_EQ(disk.reads.size(), 1u);  // the read under way finished; no other began
    EXPECT_TRUE(!fs::exists(t.out) || fs::is_empty(t.out));
}

TEST(CopyRescue, ACopyGetsItsNameOnlyWhenWholeAndCheckedBySize)
{
    const std::string big = randomBytes(2 * BatchCopy::kChunkBytes, 8);
    Tracks t({{"A", big}, {"B", "grows"}});
    FailingDisk disk;
    bool seenPartial = false;
    Observer observer;
    observer.onProgress = [&](const CopyProgress& p) {
        if (p.fileIndex == 0 && p.fileBytesDone > 0 && p.fileBytesDone < p.fileBytes) {
            seenPartial = true;
            EXPECT_FALSE(fs::exists(t.out / "A.copy"));  // written under another name meanwhile
        }
        // B gets longer on the device once read: the copy does not match it.
        if (p.fileIndex == 1 && p.fileBytesDone == 5)
            writeFile(t.device / "Music/B", "grows and grows");
    };
    CopySettings settings = disk.settings();
    settings.readOnly = true;
    std::atomic<bool> cancel{false};
    const CopyResult result = BatchCopy(t.items, settings).run(observer, cancel);
    EXPECT_TRUE(seenPartial);
    EXPECT_TRUE(readFile(t.out / "A.copy") == big);
    struct stat info {};
    ASSERT_EQ(::stat((t.out / "A.copy").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0444u);
    ASSERT_EQ(result.failures.size(), 1u);
    EXPECT_EQ(result.failures[0].reason, "the copy was not complete: the copy has 5 bytes where the file has 15");
    EXPECT_EQ(filesIn(t.out), std::vector<std::string>{"A.copy"});
}

TEST(CopyRescue, ANewFileNeverReplacesOneThatAppearedMeanwhile)
{
    TempDir dir;
    writeFile(dir.path() / "source", "new");
    sonarchive::FileCopyCallbacks callbacks;
    callbacks.complete = [&](int, const fs::path&) { writeFile(dir.path() / "target", "someone else's"); };
    EXPECT_THROW(sonarchive::copyToNewFile(dir.path() / "source", dir.path() / "target", callbacks), sonarchive::FileCopyError);
    EXPECT_EQ(readFile(dir.path() / "target"), "someone else's");
    EXPECT_EQ(filesIn(dir.path()), (std::vector<std::string>{"source", "target"}));
}

TEST(DeviceBackup, CopiesTheDatabaseFoldersInAnyLetterCaseIntoANewDatedFolder)
{
    TempDir dir;
    const fs::path device = dir.path() / "ipod";
    writeFile(device / "IPOD_CONTROL/ITUNES/Sonarchive", "database");
    writeFile(device / "IPOD_CONTROL/ITUNES/Play Counts", "counts");
    writeFile(device / "IPOD_CONTROL/ITUNES/OTGPlaylistInfo_1", "on the go");
    writeFile(device / "IPOD_CONTROL/ITUNES/Sub/Extra", "extra");
    writeFile(device / "IPOD_CONTROL/Device/SysInfo", "model");
    writeFile(device / "IPOD_CONTROL/Music/F00/A.mp3", "music stays");
    fs::create_symlink("/etc/passwd", device / "IPOD_CONTROL/ITUNES/link");

    const auto when = std::chrono::system_clock::from_time_t(1700000000);
    const fs::path first = DeviceBackup::folderFor(dir.path() / "out", when);
    EXPECT_EQ(first.parent_path(), dir.path() / "out");
    EXPECT_TRUE(first.filename().string().starts_with("iPod Backup 2023-11-"));
    fs::create_directories(first);
    EXPECT_EQ(DeviceBackup::folderFor(dir.path() / "out", when).filename().string(), first.filename().string() + " (2)");

    const DeviceBackup backup = DeviceBackup::plan(device, dir.path() / "out", when);
    EXPECT_TRUE(backup.problems().empty());
    ASSERT_EQ(backup.items().size(), 5u);
    Observer observer;
    std::atomic<bool> cancel{false};
    const CopyResult result = BatchCopy(backup.items(), backup.settings()).run(observer, cancel);
    EXPECT_EQ(result.copied, 5u);
    const fs::path copy = backup.folder() / "IPOD_CONTROL";
    EXPECT_EQ(readFile(copy / "ITUNES/Sonarchive"), "database");
    EXPECT_EQ(readFile(copy / "ITUNES/Play Counts"), "counts");
    EXPECT_EQ(readFile(copy / "ITUNES/OTGPlaylistInfo_1"), "on the go");
    EXPECT_EQ(readFile(copy / "ITUNES/Sub/Extra"), "extra");
    EXPECT_EQ(readFile(copy / "Device/SysInfo"), "model");
    EXPECT_FALSE(fs::exists(copy / "Music"));
    EXPECT_FALSE(fs::exists(copy / "ITUNES/link"));
    EXPECT_EQ(fs::status(copy / "ITUNES/Sonarchive").permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);

    EXPECT_EQ(DeviceBackup::plan(dir.path() / "empty", dir.path() / "out").problems(),
              std::vector<std::string>{"the iPod's folders could not be read: No such file or directory"});
}
