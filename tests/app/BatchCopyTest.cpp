#include "TempDir.h"

#include <BatchCopy.h>

#include <QTest>

#include <deque>
#include <random>
#include <sys/stat.h>

using namespace tracklift;
using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;
namespace fs = std::filesystem;

namespace {

class Script final : public CopyObserver {
public:
    void progress(const CopyProgress& p) override
    {
        ++progressCalls;
        last = p;
        if (cancelAt && p.bytesDone >= cancelAt)
            cancel = true;
    }
    ReplaceAnswer askReplace(const fs::path& destination) override
    {
        asked.push_back(destination);
        if (answers.empty())
            return ReplaceAnswer::No;
        const auto a = answers.front();
        answers.pop_front();
        return a;
    }
    void failed(const CopyFailure& f) override { failures.push_back(f); }

    std::atomic<bool> cancel{false};
    std::uint64_t cancelAt = 0;
    std::deque<ReplaceAnswer> answers;
    std::vector<fs::path> asked;
    std::vector<CopyFailure> failures;
    CopyProgress last;
    int progressCalls = 0;
};

std::string randomBytes(std::size_t size, unsigned seed)
{
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(generator());
    return bytes;
}

bool onlyExpectedFiles(const fs::path& folder, std::size_t count)
{
    std::size_t n = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().filename().string().starts_with(".tracklift-partial"))
            return false;
        ++n;
    }
    return n == count;
}

}  // namespace

class BatchCopyTest : public QObject {
    Q_OBJECT
private slots:
    void copiesEachSourceToItsDestinationMakingFolders()
    {
        TempDir dir;
        const std::string a = randomBytes(3 * 1024 * 1024 + 17, 1), b = randomBytes(0, 2), c = randomBytes(999, 3);
        writeFile(dir.path() / "src/a.mp3", a);
        writeFile(dir.path() / "src/b.wav", b);
        writeFile(dir.path() / "src/c", c);
        BatchCopy batch({{dir.path() / "src/a.mp3", dir.path() / "out/new/Song A.mp3"},
                         {dir.path() / "src/b.wav", dir.path() / "out/Song B.wav"},
                         {dir.path() / "src/c", dir.path() / "out/No Extension."}});
        Script script;
        const CopyResult result = batch.run(script, script.cancel);
        QCOMPARE(result.copied, std::size_t(3));
        QVERIFY(result.failures.empty());
        QVERIFY(!result.cancelled);
        QVERIFY(readFile(dir.path() / "out/new/Song A.mp3") == a);
        QVERIFY(readFile(dir.path() / "out/Song B.wav") == b);
        QVERIFY(readFile(dir.path() / "out/No Extension") == c);  // the trailing "." is dropped
        QVERIFY(onlyExpectedFiles(dir.path() / "out", 3));
        QCOMPARE(script.last.totalBytes, std::uint64_t(a.size() + b.size() + c.size()));
        QCOMPARE(script.last.fileCount, std::size_t(3));
    }

    void copiesAreReadableLikeOrdinaryFiles()
    {
        TempDir dir;
        writeFile(dir.path() / "src", "x");
        Script script;
        BatchCopy({{dir.path() / "src", dir.path() / "dst"}}).run(script, script.cancel);
        struct stat info {};
        QCOMPARE(::stat((dir.path() / "dst").c_str(), &info), 0);
        QVERIFY(info.st_mode & S_IRUSR);
        QVERIFY(info.st_mode & S_IWUSR);
    }

    void failuresAreReportedAndTheRestGoesOn()
    {
        TempDir dir;
        writeFile(dir.path() / "good", "good");
        writeFile(dir.path() / "blocker", "a file where a folder should be");
        BatchCopy batch({{dir.path() / "missing.mp3", dir.path() / "out/one.mp3"},
                         {dir.path() / "good", dir.path() / "blocker/two.mp3"},
                         {dir.path() / "good", dir.path() / "out/three.mp3"}});
        Script script;
        const CopyResult result = batch.run(script, script.cancel);
        QCOMPARE(result.copied, std::size_t(1));
        QCOMPARE(result.failures.size(), std::size_t(2));
        QCOMPARE(script.failures.size(), std::size_t(2));
        QVERIFY(result.failures[0].reason.find("No such file or directory") != std::string::npos);
        QVERIFY(readFile(dir.path() / "out/three.mp3") == "good");
        QVERIFY(onlyExpectedFiles(dir.path() / "out", 1));
    }

    void replaceAnswers()
    {
        TempDir dir;
        writeFile(dir.path() / "new", "new");
        for (const char* name : {"a.mp3", "b.mp3", "c.mp3", "d.mp3", "e.mp3"})
            writeFile(dir.path() / "out" / name, "old");
        writeFile(dir.path() / "out/c (2).mp3", "taken");
        std::vector<CopyItem> items;
        for (const char* name : {"a.mp3", "b.mp3", "c.mp3", "d.mp3", "e.mp3"})
            items.push_back({dir.path() / "new", dir.path() / "out" / name});
        Script script;
        script.answers = {ReplaceAnswer::Yes, ReplaceAnswer::No, ReplaceAnswer::KeepBoth, ReplaceAnswer::YesToAll};
        const CopyResult result = BatchCopy(items).run(script, script.cancel);
        QCOMPARE(script.asked.size(), std::size_t(4));  // e.mp3 is replaced without asking
        QCOMPARE(script.asked[2], dir.path() / "out/c.mp3");
        QCOMPARE(readFile(dir.path() / "out/a.mp3"), std::string("new"));
        QCOMPARE(readFile(dir.path() / "out/b.mp3"), std::string("old"));
        QCOMPARE(readFile(dir.path() / "out/c.mp3"), std::string("old"));
        QCOMPARE(readFile(dir.path() / "out/c (2).mp3"), std::string("taken"));
        QCOMPARE(readFile(dir.path() / "out/c (3).mp3"), std::string("new"));
        QCOMPARE(readFile(dir.path() / "out/d.mp3"), std::string("new"));
        QCOMPARE(readFile(dir.path() / "out/e.mp3"), std::string("new"));
        QCOMPARE(result.copied, std::size_t(4));
        QCOMPARE(result.skipped, std::size_t(1));
    }

    void cancelInTheReplacePromptStopsTheBatch()
    {
        TempDir dir;
        writeFile(dir.path() / "new", "new");
        writeFile(dir.path() / "out/b.mp3", "old");
        Script script;
        script.answers = {ReplaceAnswer::Cancel};
        const CopyResult result = BatchCopy({{dir.path() / "new", dir.path() / "out/a.mp3"},
                                             {dir.path() / "new", dir.path() / "out/b.mp3"},
                                             {dir.path() / "new", dir.path() / "out/c.mp3"}})
                                      .run(script, script.cancel);
        QVERIFY(result.cancelled);
        QCOMPARE(result.copied, std::size_t(1));
        QCOMPARE(result.skipped, std::size_t(2));
        QCOMPARE(readFile(dir.path() / "out/b.mp3"), std::string("old"));
        QVERIFY(!fs::exists(dir.path() / "out/c.mp3"));
    }

    void keepBothNameFitsTheNameLimit()
    {
        TempDir dir;
        const std::string stem(251, 'a');
        writeFile(dir.path() / (stem + ".mp3"), "x");
        const fs::path other = BatchCopy::keepBothName(dir.path() / (stem + ".mp3"));
        QCOMPARE(other.filename().string(), std::string(247, 'a') + " (2).mp3");
    }

    void cancelMidFileLeavesNoPartialFileAndKeepsTheOldOne()
    {
        TempDir dir;
        const std::string big = randomBytes(3 * BatchCopy::kChunkBytes + 5, 4);
        writeFile(dir.path() / "big.mp4", big);
        writeFile(dir.path() / "out/first.mp4", "small");
        writeFile(dir.path() / "out/Movie.mp4", "the earlier copy");
        Script script;
        script.answers = {ReplaceAnswer::Yes};
        script.cancelAt = BatchCopy::kChunkBytes;  // after the first chunk of the big file
        const CopyResult result = BatchCopy({{dir.path() / "big.mp4", dir.path() / "out/Movie.mp4"},
                                             {dir.path() / "big.mp4", dir.path() / "out/never.mp4"}})
                                      .run(script, script.cancel);
        QVERIFY(result.cancelled);
        QCOMPARE(result.copied, std::size_t(0));
        QCOMPARE(readFile(dir.path() / "out/Movie.mp4"), std::string("the earlier copy"));
        QVERIFY(!fs::exists(dir.path() / "out/never.mp4"));
        QVERIFY(onlyExpectedFiles(dir.path() / "out", 2));
    }
};

QTEST_GUILESS_MAIN(BatchCopyTest)
#include "BatchCopyTest.moc"
