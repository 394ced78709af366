#include "DatabaseBuilder.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/wait.h>

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

struct CopyRun {
    int exitCode = -1;
    std::string errors;
};

// A device with three tracks and their files.
struct Device {
    TempDir dir;
    TempDir out;

    Device()
    {
        std::vector<TrackFixture> tracks = {
            makeTrack(1, u"AC/DC: Live?", u"Band/Name", u"First", u":iPod_Control:Music:F00:AAAA.mp3"),
            makeTrack(2, u"Second", u"", u"", u":iPod_Control:Music:F01:BBBB.m4a"),
            makeTrack(3, u"..", u"..", u"Third", u":iPod_Control:Music:F02:CCCC"),
        };
        installDatabase(dir.path(), buildDatabase(typicalDatabase(tracks)));
        writeFile(dir.path() / "iPod_Control/Music/F00/AAAA.mp3", "one");
        writeFile(dir.path() / "iPod_Control/Music/F01/BBBB.m4a", "two");
        writeFile(dir.path() / "iPod_Control/Music/F02/CCCC", "three");
    }

    CopyRun copy(const std::string& arguments) const
    {
        const fs::path errors = out.path().parent_path() / (out.path().filename().string() + ".err");
        const std::string command = std::string(SONARCHIVE_CLI) + " copy '" + dir.path().string() + "' '" + out.path().string() +
                                    "' " + arguments + " </dev/null >/dev/null 2>'" + errors.string() + "'";
        const int status = std::system(command.c_str());
        CopyRun run{WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(errors)};
        fs::remove(errors);
        return run;
    }
    std::string file(const std::string& relative) const { return readFile(out.path() / relative); }
};

}  // namespace

TEST(CliCopy, CopiesEveryTrackUnderItsCleanedTitle)
{
    Device d;
    const CopyRun run = d.copy("--all");
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_EQ(d.file("ACDC Live.mp3"), "one");
    EXPECT_EQ(d.file("Second.m4a"), "two");
    // ".." + "." with its trailing dots dropped leaves no name: the fallback name.
    EXPECT_EQ(d.file("iPodFile"), "three");
}

TEST(CliCopy, NamePatternCleansEachFieldAndStaysInsideTheFolder)
{
    Device d;
    const CopyRun run = d.copy("--ids 1 2 3 --name '{artist}/{album}/{id} {title}'");
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_EQ(d.file("BandName/First/1 ACDC Live.mp3"), "one");
    EXPECT_EQ(d.file("Unknown/Unknown/2 Second.m4a"), "two");
    EXPECT_EQ(d.file("iPodFile/Third/3 "), "three");  // an artist ".." must not lead out of the folder
}

TEST(CliCopy, ExistingFilesAreSkippedReplacedOrKeptBoth)
{
    Device d;
    writeFile(d.out.path() / "Second.m4a", "old");
    CopyRun run = d.copy("--ids 2");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(d.file("Second.m4a"), "old");
    EXPECT_NE(run.errors.find("exists, skipped"), std::string::npos);

    run = d.copy("--ids 2 --keep-both");
    EXPECT_EQ(d.file("Second.m4a"), "old");
    EXPECT_EQ(d.file("Second (2).m4a"), "two");

    run = d.copy("--ids 2 --overwrite");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(d.file("Second.m4a"), "two");
}

TEST(CliCopy, UnknownIdsFailButTheOthersAreCopied)
{
    Device d;
    const CopyRun run = d.copy("--ids 42 1");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.errors.find("no track with id 42"), std::string::npos);
    EXPECT_EQ(d.file("ACDC Live.mp3"), "one");
}

TEST(CliCopy, UsageErrors)
{
    Device d;
    EXPECT_EQ(d.copy("").exitCode, 2);
    EXPECT_EQ(d.copy("--all --ids 1").exitCode, 2);
    EXPECT_EQ(d.copy("--all --name '{artist}/{nope}'").exitCode, 2);
    EXPECT_EQ(d.copy("--all --overwrite --keep-both").exitCode, 2);
    EXPECT_TRUE(fs::is_empty(d.out.path()));
}
