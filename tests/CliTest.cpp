// The command-line tool end to end, on devices built in temporary folders.
#include "DatabaseBuilder.h"
#include "TempDir.h"

#include <sonarchive/ByteText.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <sys/wait.h>

using namespace testsupport;

namespace {

struct Result {
    int status = -1;
    std::string out;
};

// Runs the tool with standard input not a terminal; stderr is dropped.
Result run(const std::string& arguments)
{
    const std::string command = std::string(SONARCHIVE_CLI) + " " + arguments + " </dev/null 2>/dev/null";
    Result result;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return result;
    char buffer[4096];
    std::size_t got = 0;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.out.append(buffer, got);
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string quoted(const std::filesystem::path& path) { return "'" + path.string() + "'"; }

}  // namespace

TEST(Cli, ListsTracksAsJsonWithTheFieldNames)
{
    TempDir dir;
    const auto device = dir.path() / "My iPod";
    installDatabase(device, buildDatabase(typicalDatabase({makeTrack(5, u"\u00c9t\u00e9", u"Claire"), makeTrack(6, u"Two")})));
    const Result r = run("list " + quoted(device) + " --json");
    ASSERT_EQ(r.status, 0);
    const auto tracks = nlohmann::json::parse(r.out);
    ASSERT_EQ(tracks.size(), 2u);
    EXPECT_EQ(tracks[0]["sTitle"], "\u00c9t\u00e9");
    EXPECT_EQ(tracks[0]["iTrackID"], 5);
    EXPECT_EQ(tracks[0]["sTrackType"], "3PM");
    EXPECT_EQ(tracks[1]["sLocation"], device.string() + "/iPod_Control/Music/F00/ABCD.mp3");
    EXPECT_EQ(tracks[0]["year"], 1999);
    EXPECT_EQ(tracks[0].size(), 28u);
}

TEST(Cli, DumpsEveryRecord)
{
    TempDir dir;
    installDatabase(dir.path(), buildDatabase(typicalDatabase({makeTrack(5, u"A")})));
    const Result r = run("dump " + quoted(dir.path()) + " --json");
    ASSERT_EQ(r.status, 0);
    const auto db = nlohmann::json::parse(r.out);
    EXPECT_EQ(db["MHBD"]["sID"], "mhbd");
    EXPECT_EQ(db["MHSD_T"]["m_mhlt"]["m_mhit"][0]["iUniqueID"], 5);
    EXPECT_EQ(db["MHSD_T"]["m_mhlt"]["m_mhit"][0]["sFiletype"], "MP3 ");
    EXPECT_EQ(db["MHSD_T"]["m_mhlt"]["m_mhit"][0].size(), 86u);
    EXPECT_EQ(db["playlists"]["m_mhlp"]["m_mhyp"][0]["m_mhod_s"]["sString"], "iPod");
}

TEST(Cli, ModifiesAndDeletesThenWritesOnce)
{
    TempDir dir;
    installDatabase(dir.path(), buildDatabase(typicalDatabase({makeTrack(5, u"A"), makeTrack(6, u"B")})));
    EXPECT_EQ(run("modify " + quoted(dir.path()) + " 6 --title 'New title' --year 1987 --skip-when-shuffle 1").status, 0);
    EXPECT_EQ(run("delete " + quoted(dir.path()) + " 5").status, 0);
    const auto tracks = nlohmann::json::parse(run("list " + quoted(dir.path()) + " --json").out);
    ASSERT_EQ(tracks.size(), 1u);
    EXPECT_EQ(tracks[0]["sTitle"], "New title");
    EXPECT_EQ(tracks[0]["year"], 1987);
    EXPECT_EQ(tracks[0]["sYear"], std::string("\xC3\x83\x07\0\0", 5));  // the field's bytes C3 07 00 00, one character each
    EXPECT_EQ(tracks[0]["iSkipWhenShuffle"], 1);
    EXPECT_EQ(run("rewrite " + quoted(dir.path())).status, 0);
}

TEST(Cli, ExitStatusTellsFailureFromMisuse)
{
    TempDir dir;
    EXPECT_EQ(run("list " + quoted(dir.path() / "nothing")).status, 1);
    installDatabase(dir.path(), buildDatabase(typicalDatabase({makeTrack(5, u"A")})));
    EXPECT_EQ(run("delete " + quoted(dir.path()) + " 77").status, 1);
    EXPECT_EQ(run("modify " + quoted(dir.path()) + " 5 --year 12345").status, 2);
    EXPECT_EQ(run("list").status, 2);
    EXPECT_EQ(run("frobnicate").status, 2);
}
