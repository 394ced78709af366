// The command-line tool on a failing disk, end to end: a device folder shown
// through the fault-injecting file system, read errors and an unplugged device.

#include "DatabaseBuilder.h"
#include "FaultyDevice.h"
#include "TempDir.h"
#include "ToolRun.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <sys/stat.h>
#include <thread>

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

// Five tracks of a few hundred kilobytes on a device folder, and the failing
// disk that shows it.
struct RescueDevice {
    TempDir backing;
    TempDir out;
    std::unique_ptr<FaultyDevice> disk;
    std::vector<std::string> titles = {"One", "Two", "Three", "Four", "Five"};

    RescueDevice()
    {
        std::vector<TrackFixture> tracks;
        for (int i = 0; i < 5; ++i) {
            const std::string location = ":iPod_Control:Music:F0" + std::to_string(i) + ":T" + std::to_string(i) + ".mp3";
            tracks.push_back(makeTrack(i + 1, std::u16string(titles[i].begin(), titles[i].end()), u"Band", u"Album",
                                       std::u16string(location.begin(), location.end())));
            writeFile(track(i), randomBytes(300000 + 1000 * static_cast<std::size_t>(i), static_cast<unsigned>(i)));
        }
        installDatabase(backing.path(), buildDatabase(typicalDatabase(tracks)));
        installBesideDatabase(backing.path(), "Play Counts", playCountsFile(16, std::vector<PlayCountFixture>(5)));
        writeFile(backing.path() / "iPod_Control/Device/SysInfo", "model");
        mount();
    }
    void mount() { disk = std::make_unique<FaultyDevice>(backing.path()); }
    fs::path track(int i) const { return backing.path() / ("iPod_Control/Music/F0" + std::to_string(i) + "/T" + std::to_string(i) + ".mp3"); }
    std::string root() const { return disk->root().string(); }
    std::string onDevice(int i) const { return root() + "/iPod_Control/Music/F0" + std::to_string(i) + "/T" + std::to_string(i) + ".mp3"; }

    ToolRun tool(const std::string& arguments) const { return runCommand(std::string(SONARCHIVE_CLI) + " " + arguments); }
    // The device's files here are no media to tag: copied as they are.
    ToolRun copy(const std::string& options) const
    {
        return tool("copy '" + root() + "' '" + out.path().string() + "' --tags none " + options);
    }

    // The copies there are, each the very bytes of its track; none partial or temporary.
    std::vector<std::string> copies() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(out.path())) {
            const std::string name = entry.path().filename().string();
            names.push_back(name);
            for (int i = 0; i < 5; ++i) {
                if (name == titles[i] + ".mp3") {
                    EXPECT_TRUE(readFile(entry.path()) == readFile(track(i))) << name;
                }
            }
        }
        std::sort(names.begin(), names.end());
        return names;
    }
};

#define MOUNT_OR_SKIP(device)                      \
    if (!(device).disk->mounted())                 \
        GTEST_SKIP() << (device).disk->whyNot();

}  // namespace

TEST(CliRescue, ADatabaseTheDiskCannotReadIsReportedAndNeverRepaired)
{
    RescueDevice d;
    MOUNT_OR_SKIP(d);
    const fs::path database = d.backing.path() / "iPod_Control/iTunes/Sonarchive";
    const std::string before = readFile(database);

    d.disk->setRules(R"({"files": {"iPod_Control/iTunes/Sonarchive": {"eio": 1}}})");
    const ToolRun once = d.tool("list '" + d.root() + "'");
    EXPECT_EQ(once.exitCode, 0) << once.errors;
    EXPECT_NE(once.out.find("\tFive\tBand\t"), std::string::npos) << once.out;

    d.disk->setRules(R"({"files": {"iPod_Control/iTunes/Sonarchive": {"eio": "always"}}})");
    for (const char* repair : {"rebuild", "reset"}) {
        const ToolRun run = d.tool(std::string("--repair=") + repair + " list '" + d.root() + "'");
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.errors, "[iPod Disk Error] The iPod's disk could not read its database, so nothing was loaded and nothing "
                              "was changed (cannot read " + d.root() + "/iPod_Control/iTunes/Sonarchive: Input/output error).\n");
        EXPECT_EQ(run.out, "");
    }
    EXPECT_TRUE(readFile(database) == before);
    EXPECT_FALSE(fs::exists(d.backing.path() / "iPod_Control/iTunes/Sonarchive.bak"));
}

TEST(CliRescue, BadTrackFilesAreNamedTheOthersCopiedAndAnUpdateFinishes)
{
    RescueDevice d;
    MOUNT_OR_SKIP(d);
    // Track 2 fails at every read; track 4 from a bad sector in its middle.
    d.disk->setRules(R"({"files": {"iPod_Control/Music/F01/T1.mp3": {"eio": "always"},
                                  "iPod_Control/Music/F03/T3.mp3": {"eio_from": 200000}}})");
    const ToolRun run = d.copy("--all");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.errors, "sonarchive: not copied: \"Two\" by Band (" + d.onDevice(1) +
                              "): the iPod's disk could not read this file (Input/output error)\n"
                              "sonarchive: not copied: \"Four\" by Band (" + d.onDevice(3) +
                              "): the iPod's disk could not read this file (Input/output error)\n"
                              "copied 3 of 5 files to " + d.out.path().string() + ", 2 failed\n"
                              "sonarchive: copy again with --update to copy only the files that are missing or differ\n");
    EXPECT_EQ(d.copies(), (std::vector<std::string>{"Five.mp3", "One.mp3", "Three.mp3"}));

    // The disk reads them on another day: the update copies just those two.
    d.disk->setRules("{}");
    const ToolRun update = d.copy("--all --update");
    EXPECT_EQ(update.exitCode, 0) << update.errors;
    EXPECT_EQ(update.errors, "copied 2 of 5 files to " + d.out.path().string() + ", 3 skipped\n");
    EXPECT_EQ(d.copies(), (std::vector<std::string>{"Five.mp3", "Four.mp3", "One.mp3", "Three.mp3", "Two.mp3"}));
}

TEST(CliRescue, AnUnpluggedDeviceStopsTheCopyOnceAndTheSameCopyFinishesIt)
{
    RescueDevice d;
    MOUNT_OR_SKIP(d);
    // The file system ends in the middle of the third track, as a pulled cable does.
    d.disk->setRules(R"({"vanish_after_bytes": 750000, "vanish": "exit"})");
    const ToolRun run = d.copy("--all");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.errors, "sonarchive: the iPod was disconnected; 2 of 5 files were copied; copy again with the same options "
                          "to finish\n");
    EXPECT_EQ(d.copies(), (std::vector<std::string>{"One.mp3", "Two.mp3"}));

    d.mount();  // plugged in again
    MOUNT_OR_SKIP(d);
    const ToolRun again = d.copy("--all --update");
    EXPECT_EQ(again.exitCode, 0) << again.errors;
    EXPECT_EQ(d.copies(), (std::vector<std::string>{"Five.mp3", "Four.mp3", "One.mp3", "Three.mp3", "Two.mp3"}));
}

TEST(CliRescue, AMountThatDisappearsMidCopyStopsItWithoutAPartialFile)
{
    RescueDevice d;
    MOUNT_OR_SKIP(d);
    d.disk->setRules(R"({"files": {"iPod_Control/Music/F02/T2.mp3": {"stall": 2, "stall_reads": 1}}})");
    ToolRun run;
    std::thread copying([&] { run = d.copy("--all"); });
    std::this_thread::sleep_for(std::chrono::milliseconds(700));  // the copy waits on the third track
    d.disk->unmount();
    copying.join();
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.errors.find("sonarchive: the iPod was disconnected; "), std::string::npos) << run.errors;
    EXPECT_EQ(run.errors.find("not copied"), std::string::npos) << run.errors;
    // The track under way finished or was left out; nothing after it was tried.
    const std::vector<std::string> copies = d.copies();
    EXPECT_TRUE(copies == (std::vector<std::string>{"One.mp3", "Two.mp3"}) ||
                copies == (std::vector<std::string>{"One.mp3", "Three.mp3", "Two.mp3"}));
}

TEST(CliRescue, BackupCopiesTheDatabaseFoldersReadOnlyAndNamesWhatFailed)
{
    RescueDevice d;
    MOUNT_OR_SKIP(d);
    d.disk->setRules(R"({"files": {"iPod_Control/iTunes/Play Counts": {"eio": "always"}}})");
    const fs::path backups = d.out.path() / "backups";
    const ToolRun run = d.tool("backup '" + d.root() + "' '" + backups.string() + "'");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.errors, "sonarchive: not backed up: " + d.root() +
                              "/iPod_Control/iTunes/Play Counts: the iPod's disk could not read this file (Input/output error)\n");
    ASSERT_EQ(std::distance(fs::directory_iterator(backups), fs::directory_iterator()), 1);
    const fs::path folder = fs::directory_iterator(backups)->path();
    EXPECT_EQ(run.out, "backed up 2 of 3 files to " + folder.string() + "\n");
    EXPECT_TRUE(folder.filename().string().starts_with("iPod Backup "));
    EXPECT_TRUE(readFile(folder / "iPod_Control/iTunes/Sonarchive") == readFile(d.backing.path() / "iPod_Control/iTunes/Sonarchive"));
    EXPECT_EQ(readFile(folder / "iPod_Control/Device/SysInfo"), "model");
    EXPECT_FALSE(fs::exists(folder / "iPod_Control/iTunes/Play Counts"));
    struct stat info {};
    ASSERT_EQ(::stat((folder / "iPod_Control/Device/SysInfo").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0222, 0u);

    d.disk->setRules("{}");
    const ToolRun again = d.tool("backup '" + d.root() + "' '" + backups.string() + "'");
    EXPECT_EQ(again.exitCode, 0) << again.errors;
    EXPECT_EQ(std::distance(fs::directory_iterator(backups), fs::directory_iterator()), 2);
    const std::string second = again.out.substr(again.out.find(backups.string()), again.out.size() - 1 - again.out.find(backups.string()));
    EXPECT_TRUE(readFile(fs::path(second) / "iPod_Control/iTunes/Play Counts") ==
                readFile(d.backing.path() / "iPod_Control/iTunes/Play Counts"));
}
