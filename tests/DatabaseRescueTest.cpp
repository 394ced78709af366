// The database on a failing disk: a read that fails is tried again, one that
// keeps failing is reported and never repaired, and every write first keeps
// the database it replaces.

#include "TestDevice.h"

#include <AtomicFile.h>
#include <clsSonarchive.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <sys/stat.h>

using namespace sonarchive;
using namespace testsupport;
namespace fs = std::filesystem;

namespace {

// While alive, the library's reads at `step` ("open" or "read") fail with
// `error` the first `times` times (every time when negative).
class FailingReads {
public:
    FailingReads(std::string step, int error, int times = -1)
    {
        setFileFaultHook([this, step = std::move(step), error, times](const char* now) {
            if (now != step || (times >= 0 && failed >= times))
                return;
            ++failed;
            throw std::system_error(error, std::generic_category());
        });
    }
    ~FailingReads() { setFileFaultHook(nullptr); }
    FailingReads(const FailingReads&) = delete;
    FailingReads& operator=(const FailingReads&) = delete;
    int failed = 0;
};

fs::path backupOf(const TestDevice& d)
{
    return d.dir.path() / "iPod_Control/iTunes/Sonarchive.bak";
}

ino_t inodeOf(const fs::path& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

}  // namespace

TEST(DatabaseRescue, AReadThatFailsOnceIsTriedAgain)
{
    TestDevice d;
    d.install(typicalDatabase({makeTrack(1, u"One")}));
    FailingReads reads("read", EIO, 2);
    ASSERT_TRUE(d.db.LoadiPodDB());
    EXPECT_EQ(reads.failed, 2);
    EXPECT_TRUE(d.host.prompts.empty());
    EXPECT_EQ(d.db.GetTrackInfo(1).sTitle, u"One");
}

TEST(DatabaseRescue, ADatabaseTheDiskCannotReadIsReportedOnceAndNeverRepaired)
{
    for (const auto& [step, error, words] : {std::tuple{"read", EIO, "cannot read"}, std::tuple{"open", EIO, "cannot open"},
                                             std::tuple{"open", EACCES, "cannot open"}, std::tuple{"read", ENODEV, "cannot read"}}) {
        SCOPED_TRACE(std::string(step) + " " + std::to_string(error));
        TestDevice d;
        d.install(typicalDatabase({makeTrack(1, u"One")}));
        const std::string before = d.bytes();
        for (int i = 0; i < 4; ++i)
            d.host.answer(MessageResult::Yes);  // whatever a repair question would be answered
        FailingReads reads(step, error);
        EXPECT_FALSE(d.db.LoadiPodDB());
        ASSERT_EQ(d.host.prompts.size(), 1u);
        EXPECT_EQ(d.host.prompts[0].text, u"The iPod's disk could not read its database, so nothing was loaded and nothing was "
                                          u"changed (" + fromUtf8(std::string(words) + " " + d.file().string() + ": " +
                                                                  std::strerror(error)) + u").");
        EXPECT_EQ(d.host.prompts[0].title, u"iPod Disk Error");
        EXPECT_EQ(d.host.prompts[0].buttons, MessageButtons::OK);
        EXPECT_EQ(d.host.prompts[0].icon, MessageIcon::Critical);
        EXPECT_EQ(d.db.lastFailure().code, FailureCode::Unreadable);
        EXPECT_EQ(d.db.lastFailure().number, error);
        // Tried three times where the disk may recover; a device gone or a refusal only once.
        EXPECT_EQ(reads.failed, error == EIO ? 3 : 1);
        EXPECT_EQ(d.bytes(), before);
        EXPECT_FALSE(fs::exists(backupOf(d)));
    }
}

TEST(DatabaseRescue, EveryWriteFirstKeepsTheDatabaseItReplaces)
{
    TestDevice d;
    d.install(typicalDatabase({makeTrack(1, u"One"), makeTrack(2, u"Two")}));
    const std::string original = d.bytes();
    ASSERT_TRUE(d.db.LoadiPodDB());
    d.deleteTrack(2);
    ASSERT_TRUE(d.db.writeDatabase());
    EXPECT_EQ(readFile(backupOf(d)), original);
    const std::string shorter = d.bytes();

    // Each write keeps the database as it was just before it...
    ASSERT_TRUE(d.db.writeDatabase());
    EXPECT_EQ(readFile(backupOf(d)), shorter);
    const ino_t kept = inodeOf(backupOf(d));
    // ...and leaves a backup alone that holds those bytes already.
    ASSERT_GE(d.db.addPlaylist(u"Later", {1}), 0);
    ASSERT_TRUE(d.db.writeDatabase());
    EXPECT_EQ(readFile(backupOf(d)), shorter);
    EXPECT_EQ(inodeOf(backupOf(d)), kept);
    EXPECT_NE(d.bytes(), shorter);
}

TEST(DatabaseRescue, ADatabaseThatCannotBeKeptIsNotReplaced)
{
    TestDevice d;
    d.install(typicalDatabase({makeTrack(1, u"One")}));
    ASSERT_TRUE(d.db.LoadiPodDB());
    d.deleteTrack(1);
    const std::string before = d.bytes();
    FailingReads reads("read", EIO);
    EXPECT_FALSE(d.db.writeDatabase());
    EXPECT_EQ(d.db.lastFailure().code, FailureCode::Unreadable);
    EXPECT_EQ(d.bytes(), before);
    EXPECT_FALSE(fs::exists(backupOf(d)));
    ASSERT_EQ(d.host.prompts.size(), 1u);
    EXPECT_EQ(d.host.prompts[0].icon, MessageIcon::Critical);
}
